#include "controls/CKnob.h"

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

CKnob::CKnob(QWidget* parent, int id) : QWidget(parent), m_id(id) {
    // A click focuses the knob like a button; it is not a Tab stop.
    setFocusPolicy(Qt::ClickFocus);
}

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

void CKnob::SetRange(float minimum, float maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void CKnob::SetValue(float value) {
    m_value = value;
    update();
}

void CKnob::SetDisabled(bool disabled) {
    // A knob that looks disabled must not turn: the flag and the widget's state are one.
    setEnabled(!disabled);
    update();
}

int CKnob::FrameIndex() const {
    const double range = static_cast<double>(m_maximum) - static_cast<double>(m_minimum);
    if (m_lastFrameIndex <= 0 || range == 0.0) return 0;
    // In double, the maximum gives the last frame exactly; truncation (not rounding) picks the
    // frame below for any value short of a frame's position.
    const double k = (static_cast<double>(m_value) - m_minimum) * m_lastFrameIndex / range;
    if (std::isnan(k)) return 0;
    return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(m_lastFrameIndex)));
}

bool CKnob::event(QEvent* event) {
    // While focused the knob takes every key, Tab and Enter included.
    if (event->type() == QEvent::KeyPress && isEnabled() && hasFocus()) {
        HandleKey(static_cast<QKeyEvent*>(event)->key());
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

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

void CKnob::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CKnob::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void CKnob::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_lastPoint = event->position().toPoint();
    m_dragging = true;
    event->accept();
}

void CKnob::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    m_value += static_cast<float>(m_lastPoint.y() - point.y()) * m_dragRate;
    if (m_value > m_maximum) m_value = m_maximum;
    if (m_value < m_minimum) m_value = m_minimum;
    m_lastPoint = point;
    NotifyChanged();
    event->accept();
}

void CKnob::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    event->accept();
}

void CKnob::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_value = m_defaultValue;
    NotifyChanged();
    event->accept();
}

void CKnob::wheelEvent(QWheelEvent* event) {
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
    NotifyChanged();
    event->accept();
}

void CKnob::HandleKey(int key) {
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
    NotifyChanged();
}

void CKnob::Raise(float amount) {
    if (m_value < m_maximum) m_value += amount;
    if (m_value > m_maximum) m_value = m_maximum;
}

void CKnob::Lower(float amount) {
    if (m_value > m_minimum) m_value -= amount;
    if (m_value < m_minimum) m_value = m_minimum;
}

void CKnob::NotifyChanged() {
    update();
    NotifyHost(this, ControlMessage{UM_KNOB_CHANGED, m_id, m_id, 0, {}});
}

}  // namespace vantrel
