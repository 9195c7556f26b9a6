#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace vantrel {

// The skin's rotary control: one frame of a vertical film strip of pre-rendered knob positions,
// chosen from the value. Every change is reported with UM_KNOB_CHANGED (wParam = the identifier,
// lParam = 0); a press reports nothing.
class CKnob : public QWidget {
    Q_OBJECT

public:
    CKnob(QWidget* parent, int id);

    int Id() const { return m_id; }

    // Strip while focused (also the source of the dimmed picture); the alternate one is shown
    // otherwise. Paths as written in the skin.
    void LoadStandardStrip(const QString& storedPath);
    void LoadAlternateStrip(const QString& storedPath);
    void SetStandardStrip(const QImage& strip);
    void SetAlternateStrip(const QImage& strip);

    // Frame geometry of both strips: frames of `stepHeight` rows whose centres lie at
    // `firstFrameCentre`, + stepHeight, ... up to frame `lastFrameIndex`.
    void SetStripGeometry(int stepHeight, int firstFrameCentre, int lastFrameIndex);
    int StepHeight() const { return m_stepHeight; }
    int FirstFrameCentre() const { return m_firstFrameCentre; }
    int LastFrameIndex() const { return m_lastFrameIndex; }

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

    // A disabled knob shows its dimmed picture and takes no input; the same holds while the
    // widget itself is disabled.
    void SetDisabled(bool disabled);
    bool IsDisabled() const { return !isEnabled(); }

    // The frame shown for the current value, always within 0..LastFrameIndex().
    int FrameIndex() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
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
    void NotifyChanged();

    int m_id;
    float m_value = 0.0f;
    float m_defaultValue = 0.0f;
    float m_minimum = 0.0f;
    float m_maximum = 0.0f;
    float m_step = 0.0f;
    float m_pageMultiplier = 1.0f;
    float m_dragRate = 0.0f;
    int m_stepHeight = 0;
    int m_firstFrameCentre = 0;
    int m_lastFrameIndex = 0;
    bool m_dragging = false;
    QPoint m_lastPoint;
    QImage m_standard;
    QImage m_alternate;
    QImage m_dimmed;  // m_standard through the dimmed grey matrix, made when m_standard changes
};

}  // namespace vantrel
