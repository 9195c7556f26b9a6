#include "controls/CFaderCtrl.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/ControlHost.h"
#include "controls/PictureCache.h"

namespace vantrel {

namespace {

// Truncates toward zero; values far outside any window (or not numbers at all, which only
// SetValue can bring in) must not overflow the conversion.
int TruncateToInt(double y, int fallback) {
    if (std::isnan(y)) return fallback;
    return static_cast<int>(std::clamp(y, -1.0e6, 1.0e6));
}

}  // namespace

CFaderCtrl::CFaderCtrl(QWidget* parent, int id) : CValueCtrl(parent, id) {}

void CFaderCtrl::LoadStandardPicture(const QString& storedPath) {
    SetStandardPicture(LoadPicture(storedPath));
}

void CFaderCtrl::LoadAlternatePicture(const QString& storedPath) {
    SetAlternatePicture(LoadPicture(storedPath));
}

void CFaderCtrl::SetStandardPicture(const QImage& picture) {
    m_standard = picture;
    update();
}

void CFaderCtrl::SetAlternatePicture(const QImage& picture) {
    m_alternate = picture;
    update();
}

void CFaderCtrl::SetPlacementRect(const QRect& rect) {
    m_placement = rect;
    Repaint();
}

int CFaderCtrl::ThumbTop() const {
    const int span = m_placement.isEmpty() ? height() : m_placement.height();
    const int travel = span - m_standard.height();
    const double range = static_cast<double>(Maximum()) - static_cast<double>(Minimum());
    // Without a range there is no position to compute: rest at the bottom.
    if (range == 0.0) return travel;
    const double y = travel - (static_cast<double>(Value()) - Minimum()) / range * travel;
    return TruncateToInt(y, travel);
}

std::uint32_t CFaderCtrl::ChangedMessage() const { return UM_FADER_CHANGED; }

std::optional<std::uint32_t> CFaderCtrl::PressedMessage() const { return UM_FADER_PRESSED; }

void CFaderCtrl::paintEvent(QPaintEvent*) {
    if (!m_placement.isEmpty() && geometry() != m_placement) {
        // Moved by someone else since our last repaint: go back after this paint.
        QMetaObject::invokeMethod(
            this, [this] { Settle(); }, Qt::QueuedConnection);
    }
    if (m_standard.isNull()) return;
    const QImage& thumb = hasFocus() ? m_standard : m_alternate;
    if (thumb.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, ThumbTop()), thumb);
}

void CFaderCtrl::showEvent(QShowEvent* event) {
    Settle();
    CValueCtrl::showEvent(event);
}

void CFaderCtrl::Settle() {
    // No placement set (or an empty one from the skin): keep the created rectangle.
    if (m_placement.isEmpty() || geometry() == m_placement) return;
    setGeometry(m_placement);
}

void CFaderCtrl::Repaint() {
    // A hidden fader is not painted; it settles when shown.
    if (isVisible()) Settle();
    update();
}

}  // namespace vantrel
