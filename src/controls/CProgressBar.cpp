#include "controls/CProgressBar.h"

#include <QPainter>
#include <algorithm>

namespace vantrel {

CProgressBar::CProgressBar(QWidget* parent, int id) : QWidget(parent), m_id(id) {}

int CProgressBar::Id() const { return m_id; }

void CProgressBar::SetColor(const QColor& color) {
    m_color = color;
    update();
}

QColor CProgressBar::Color() const { return m_color; }

void CProgressBar::SetLevel(int level) {
    m_level = std::clamp(level, 0, 100);
    update();
}

int CProgressBar::GetLevel() const { return m_level; }

int CProgressBar::FilledColumns() const { return width() * m_level / 100; }

void CProgressBar::paintEvent(QPaintEvent*) {
    const int columns = FilledColumns();
    if (columns <= 0 || height() <= 0) return;
    // The rest of the bar shows whatever the parent painted.
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, columns, height()), m_color);
}

}  // namespace vantrel
