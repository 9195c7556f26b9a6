#include "controls/CValueCtrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "controls/ControlHost.h"

namespace vantrel {

CValueCtrl::CValueCtrl(QWidget* parent, int id) : QWidget(parent), m_id(id) {
    // A click focuses the control like a button; it is not a Tab stop.
    setFocusPolicy(Qt::ClickFocus);
}

void CValueCtrl::SetRange(float minimum, float maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void CValueCtrl::SetValue(float value) {
    m_value = value;
    Repaint();
}

void CValueCtrl::Notify(std::uint32_t message) {
    NotifyHost(this, ControlMessage{message, m_id, m_id, 0, {}});
}

bool CValueCtrl::event(QEvent* event) {
    // While focused the control takes every key, Tab and Enter included, so a key meant for it
    // never moves the focus or presses a dialog button.
    if (event->type() == QEvent::KeyPress && isEnabled() && hasFocus()) {
        HandleKey(static_cast<QKeyEvent*>(event)->key());
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void CValueCtrl::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CValueCtrl::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void CValueCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_lastPoint = event->position().toPoint();
    m_dragging = true;
    if (const auto pressed = PressedMessage()) Notify(*pressed);
    event->accept();
}

void CValueCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    m_value += static_cast<float>(m_lastPoint.y() - point.y()) * m_dragRate;
    if (m_value > m_maximum) m_value = m_maximum;
    if (m_value < m_minimum) m_value = m_minimum;
    m_lastPoint = point;
    Changed();
    event->accept();
}

void CValueCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    event->accept();
}

void CValueCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first press of the pair already went through mousePressEvent; this is not a new drag.
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_value = m_defaultValue;
    Changed();
    event->accept();
}

void CValueCtrl::wheelEvent(QWheelEvent* event) {
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
    Changed();
    event->accept();
}

void CValueCtrl::HandleKey(int key) {
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
    Changed();
}

void CValueCtrl::Raise(float amount) {
    if (m_value < m_maximum) m_value += amount;
    if (m_value > m_maximum) m_value = m_maximum;
}

void CValueCtrl::Lower(float amount) {
    if (m_value > m_minimum) m_value -= amount;
    if (m_value < m_minimum) m_value = m_minimum;
}

void CValueCtrl::Changed() {
    Repaint();
    Notify(ChangedMessage());
}

}  // namespace vantrel
