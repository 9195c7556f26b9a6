#include "controls/CFaderCtrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
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

CFaderCtrl::CFaderCtrl(QWidget* parent, int id) : QWidget(parent), m_id(id) {
    // A click focuses the fader like a button; it is not a Tab stop.
    setFocusPolicy(Qt::ClickFocus);
}

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

void CFaderCtrl::SetRange(float minimum, float maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void CFaderCtrl::SetValue(float value) {
    m_value = value;
    Repaint();
}

int CFaderCtrl::ThumbTop() const {
    const int span = m_placement.isEmpty() ? height() : m_placement.height();
    const int travel = span - m_standard.height();
    const double range = static_cast<double>(m_maximum) - static_cast<double>(m_minimum);
    // Without a range there is no position to compute: rest at the bottom.
    if (range == 0.0) return travel;
    const double y = travel - (static_cast<double>(m_value) - m_minimum) / range * travel;
    return TruncateToInt(y, travel);
}

bool CFaderCtrl::event(QEvent* event) {
    // While focused the fader takes every key, Tab and Enter included, so a key meant for it never
    // moves the focus or presses a dialog button.
    if (event->type() == QEvent::KeyPress && isEnabled() && hasFocus()) {
        HandleKey(static_cast<QKeyEvent*>(event)->key());
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

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
    QWidget::showEvent(event);
}

void CFaderCtrl::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CFaderCtrl::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void CFaderCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_lastPoint = event->position().toPoint();
    m_dragging = true;
    Notify(UM_FADER_PRESSED);
    event->accept();
}

void CFaderCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    m_value += static_cast<float>(m_lastPoint.y() - point.y()) * m_dragRate;
    if (m_value > m_maximum) m_value = m_maximum;
    if (m_value < m_minimum) m_value = m_minimum;
    m_lastPoint = point;
    Repaint();
    Notify(UM_FADER_CHANGED);
    event->accept();
}

void CFaderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    event->accept();
}

void CFaderCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first press of the pair already reported UM_FADER_PRESSED; this is not a new drag.
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_value = m_defaultValue;
    Repaint();
    Notify(UM_FADER_CHANGED);
    event->accept();
}

void CFaderCtrl::wheelEvent(QWheelEvent* event) {
    // One step per wheel event whatever its size; a purely horizontal one is not ours.
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    if (delta > 0) {
        Raise(m_step);
    } else {
        Lower(m_step);
    }
    Repaint();
    Notify(UM_FADER_CHANGED);
    event->accept();
}

void CFaderCtrl::HandleKey(int key) {
    switch (key) {
        case Qt::Key_Up:
            Raise(m_step);
            break;
        case Qt::Key_Down:
            Lower(m_step);
            break;
        case Qt::Key_Right:
            Raise(m_pageMultiplier * m_step);
            break;
        case Qt::Key_Left:
            Lower(m_pageMultiplier * m_step);
            break;
        default:
            break;
    }
    Repaint();
    Notify(UM_FADER_CHANGED);
}

void CFaderCtrl::Raise(float amount) {
    if (m_value < m_maximum) m_value += amount;
    if (m_value > m_maximum) m_value = m_maximum;
}

void CFaderCtrl::Lower(float amount) {
    if (m_value > m_minimum) m_value -= amount;
    if (m_value < m_minimum) m_value = m_minimum;
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

void CFaderCtrl::Notify(std::uint32_t message) {
    NotifyHost(this, ControlMessage{message, m_id, m_id, 0, {}});
}

}  // namespace vantrel
