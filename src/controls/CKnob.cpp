#include "controls/CKnob.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/ControlHost.h"
#include "controls/PictureCache.h"

namespace vantrel {

namespace {

// The dimmed grey colour matrix: every channel becomes 0.15 R + 0.295 G + 0.055 B, alpha kept.
// It is linear without an offset, so it applies to premultiplied pixels unchanged.
QImage DimmedGrey(const QImage& picture) {
    if (picture.isNull()) return {};
    QImage dimmed = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < dimmed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(dimmed.scanLine(y));
        for (int x = 0; x < dimmed.width(); ++x) {
            const QRgb pixel = line[x];
            const int grey =
                qRound(0.15 * qRed(pixel) + 0.295 * qGreen(pixel) + 0.055 * qBlue(pixel));
            line[x] = qRgba(grey, grey, grey, qAlpha(pixel));
        }
    }
    return dimmed;
}

}  // namespace

CKnob::CKnob(QWidget* parent, int id) : CValueCtrl(parent, id) {}

void CKnob::LoadStandardStrip(const QString& storedPath) {
    SetStandardStrip(LoadPicture(storedPath));
}

void CKnob::LoadAlternateStrip(const QString& storedPath) {
    SetAlternateStrip(LoadPicture(storedPath));
}

void CKnob::SetStandardStrip(const QImage& strip) {
    m_standard = strip;
    m_dimmed = DimmedGrey(strip);
    update();
}

void CKnob::SetAlternateStrip(const QImage& strip) {
    m_alternate = strip;
    update();
}

void CKnob::SetStripGeometry(int stepHeight, int firstFrameCentre, int lastFrameIndex) {
    m_stepHeight = stepHeight;
    m_firstFrameCentre = firstFrameCentre;
    m_lastFrameIndex = lastFrameIndex;
    update();
}

void CKnob::SetDisabled(bool disabled) {
    // A knob that looks disabled must not turn: the flag and the widget's state are one.
    setEnabled(!disabled);
    update();
}

int CKnob::FrameIndex() const {
    const double range = static_cast<double>(Maximum()) - static_cast<double>(Minimum());
    if (m_lastFrameIndex <= 0 || range == 0.0) return 0;
    // In double, the maximum gives the last frame exactly; truncation (not rounding) picks the
    // frame below for any value short of a frame's position.
    const double k = (static_cast<double>(Value()) - Minimum()) * m_lastFrameIndex / range;
    if (std::isnan(k)) return 0;
    return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(m_lastFrameIndex)));
}

std::uint32_t CKnob::ChangedMessage() const { return UM_KNOB_CHANGED; }

void CKnob::paintEvent(QPaintEvent*) {
    if (m_standard.isNull() || m_stepHeight <= 0) return;
    const QImage& strip = !isEnabled() ? m_dimmed : hasFocus() ? m_standard : m_alternate;
    if (strip.isNull()) return;

    // Top of the frame in the strip; 64 bits because the geometry comes unchecked from the skin.
    long long sourceTop =
        static_cast<long long>(FrameIndex()) * m_stepHeight + m_firstFrameCentre - m_stepHeight / 2;
    long long frameHeight = m_stepHeight;
    if (sourceTop < 0) {
        // The frame is cut at the top of the strip: draw what is left lower, so its bottom stays
        // at the bottom of the picture area.
        frameHeight += sourceTop;
        sourceTop = 0;
    }
    if (frameHeight <= 0 || sourceTop >= strip.height()) return;
    const int destinationTop = m_stepHeight - static_cast<int>(frameHeight);
    const QRect source =
        QRect(0, static_cast<int>(sourceTop), strip.width(), static_cast<int>(frameHeight))
            .intersected(strip.rect());
    if (source.isEmpty()) return;

    QPainter painter(this);
    painter.drawImage(QPoint(0, destinationTop), strip, source);
}

}  // namespace vantrel
