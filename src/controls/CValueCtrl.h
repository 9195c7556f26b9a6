#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <optional>

namespace vantrel {

// What the fader and the knob share: a value within a range, moved by the wheel (one step per
// event), the arrow keys while focused (Up/Down one step, Right/Left one page), a vertical drag at
// the drag rate, and a double-click back to the default. Every change is reported to the host
// with ChangedMessage() (wParam = the identifier, lParam = 0).
class CValueCtrl : public QWidget {
    Q_OBJECT

public:
    int Id() const { return m_id; }

    void SetRange(float minimum, float maximum);
    void SetStep(float step) { m_step = step; }
    void SetPageMultiplier(float multiplier) { m_pageMultiplier = multiplier; }
    void SetDragRate(float ratePerPixel) { m_dragRate = ratePerPixel; }
    void SetDefaultValue(float value) { m_defaultValue = value; }
    // Shows a value from the model: stored as given (not clamped), repainted, nothing reported.
    void SetValue(float value);

    float Value() const { return m_value; }
    float DefaultValue() const { return m_defaultValue; }
    float Minimum() const { return m_minimum; }
    float Maximum() const { return m_maximum; }
    float Step() const { return m_step; }
    float PageMultiplier() const { return m_pageMultiplier; }
    float DragRate() const { return m_dragRate; }

protected:
    CValueCtrl(QWidget* parent, int id);

    // The message sent after every change.
    virtual std::uint32_t ChangedMessage() const = 0;
    // The message sent when the left button goes down; none by default.
    virtual std::optional<std::uint32_t> PressedMessage() const { return std::nullopt; }
    // Shows the current value; called after every change and by SetValue.
    virtual void Repaint() { update(); }

    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void HandleKey(int key);
    void Raise(float amount);
    void Lower(float amount);
    void Changed();
    void Notify(std::uint32_t message);

    int m_id;
    float m_value = 0.0f;
    float m_defaultValue = 0.0f;
    float m_minimum = 0.0f;
    float m_maximum = 0.0f;
    float m_step = 0.0f;
    float m_pageMultiplier = 1.0f;
    float m_dragRate = 0.0f;
    bool m_dragging = false;
    QPoint m_lastPoint;
};

}  // namespace vantrel
