#pragma once

#include <QColor>
#include <QWidget>

namespace vantrel {

// The level bar: fills from the left edge in its colour, in proportion to a level in per cent.
// It takes no input and reports nothing.
class CProgressBar : public QWidget {
    Q_OBJECT

public:
    CProgressBar(QWidget* parent, int id);

    int Id() const;

    void SetColor(const QColor& color);
    QColor Color() const;

    // Levels outside 0..100 are clamped, and the clamped value is the one kept.
    void SetLevel(int level);
    int GetLevel() const;

    // Columns painted in the bar's colour: width x level / 100, truncated.
    int FilledColumns() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_id;
    int m_level = 0;
    QColor m_color = QColor(0, 0, 0);
};

}  // namespace vantrel
