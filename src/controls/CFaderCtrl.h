#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace vantrel {

// The skin's vertical slider: a thumb picture travelling over whatever the parent painted. It
// reports every change with UM_FADER_CHANGED and a left-button press with UM_FADER_PRESSED
// (wParam = the identifier, lParam = 0), so the window can select the band before a drag.
class CFaderCtrl : public QWidget {
    Q_OBJECT

public:
    CFaderCtrl(QWidget* parent, int id);

    int Id() const { return m_id; }

    // Thumb while focused; the alternate one is shown otherwise. Paths as written in the skin.
    void LoadStandardPicture(const QString& storedPath);
    void LoadAlternatePicture(const QString& storedPath);
    void SetStandardPicture(const QImage& picture);
    void SetAlternatePicture(const QImage& picture);

    // Where the fader stands in its parent; the height is the thumb's travel. The control moves
    // itself there before it is painted (it may have been created with another size).
    void SetPlacementRect(const QRect& rect);
    QRect PlacementRect() const { return m_placement; }

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

    // Top of the thumb in client coordinates for the current value; beyond the travel for values
    // outside the range.
    int ThumbTop() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
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
    void Settle();
    void Repaint();
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
    QRect m_placement;  // empty until the creator sets it
    QImage m_standard;
    QImage m_alternate;
};

}  // namespace vantrel
