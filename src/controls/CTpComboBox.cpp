#include "controls/CTpComboBox.h"

#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QResizeEvent>
#include <algorithm>
#include <cstdint>

#include "controls/CTpStatic.h"
#include "controls/ControlHost.h"
#include "model/ParameterModel.h"

namespace vantrel {

namespace {

QString MarkText(int mark) {
    return QString::fromLatin1(ChannelMarkList[static_cast<std::size_t>(mark)]);
}

int LimitMark(int mark) { return std::clamp(mark, 0, kChannelMarkCount - 1); }

}  // namespace

CTpComboBox::CTpComboBox(QWidget* parent, int id) : QListWidget(parent), m_id(id) {
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Closed, only the text is drawn: the window background shows through.
    viewport()->setAutoFillBackground(false);
    ApplySkinTextColor(*this, QPalette::Text, m_textColor);
    ShowMarkOnly();
}

void CTpComboBox::SetMark(int mark) {
    m_mark = LimitMark(mark);
    Collapse();
    ShowMarkOnly();
}

void CTpComboBox::Clear() {
    Collapse();
    clear();
    update();
}

void CTpComboBox::SetTextColor(const QColor& color) {
    m_textColor = color;
    ApplySkinTextColor(*this, QPalette::Text, color);
}

void CTpComboBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The view's own handling selects the entry under the pointer; the toggle below reads it.
    QListWidget::mousePressEvent(event);
    if (!m_open) {
        Open();
        return;
    }
    Close(true);
    NotifyHost(this, ControlMessage{UM_LIST_SELECTED, m_id, m_id, 0, {}});
}

// The choice is made on the press. The view would finish its own selection on the release, over
// the line that replaced the open list; closed, the mark is plain text.
void CTpComboBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (!m_open) clearSelection();
}

void CTpComboBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        if (m_open) {
            Close(true);
        } else {
            Open();
        }
        return;
    }
    QListWidget::keyPressEvent(event);
}

void CTpComboBox::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    if (m_open) Close(false);
}

void CTpComboBox::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    if (!m_open) ApplyRowHeight();
}

void CTpComboBox::paintEvent(QPaintEvent* event) {
    // Open, the list lies over other controls; show the window background under it instead of
    // their pictures so the names stay readable.
    if (m_open) PaintParentBackground(event->rect());
    QListWidget::paintEvent(event);
}

void CTpComboBox::Open() {
    m_closedGeometry = geometry();
    m_open = true;
    clear();
    AddEntry(MarkText(m_mark));
    for (int mark = 0; mark < kChannelMarkCount; ++mark) AddEntry(MarkText(mark));
    setCurrentRow(0);
    raise();
    const std::int64_t openHeight = std::min<std::int64_t>(
        std::int64_t{kOpenLines} * m_closedGeometry.height(), QWIDGETSIZE_MAX);
    setGeometry(m_closedGeometry.x(), m_closedGeometry.y(), m_closedGeometry.width(),
                static_cast<int>(openHeight));
    doItemsLayout();
    scrollToTop();
    update();
}

void CTpComboBox::Close(bool takeSelection) {
    if (!m_open) return;
    if (takeSelection) {
        // No entry selected (Ctrl+Space deselects one) keeps the mark rather than
        // producing one outside the list.
        const QModelIndexList selected = selectionModel()->selectedRows();
        const int row = selected.isEmpty() ? -1 : selected.first().row();
        if (row >= 1 && row <= kChannelMarkCount) m_mark = row - 1;
    }
    Collapse();
    ShowMarkOnly();
}

void CTpComboBox::Collapse() {
    if (!m_open) return;
    m_open = false;
    setGeometry(m_closedGeometry);
}

void CTpComboBox::ShowMarkOnly() {
    clear();
    AddEntry(MarkText(m_mark));
    doItemsLayout();
    update();
}

void CTpComboBox::AddEntry(const QString& text) {
    auto* item = new QListWidgetItem(text, this);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    item->setSizeHint(QSize(std::max(0, width()), RowHeight()));
}

// Every line is as high as the closed list, so the 22 lines fill the open list exactly.
int CTpComboBox::RowHeight() const {
    return std::max(0, m_open ? m_closedGeometry.height() : height());
}

void CTpComboBox::ApplyRowHeight() {
    const QSize hint(std::max(0, width()), RowHeight());
    for (int row = 0; row < count(); ++row) item(row)->setSizeHint(hint);
}

void CTpComboBox::PaintParentBackground(const QRect& rect) {
    QWidget* parent = parentWidget();
    if (!parent || rect.isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    QPixmap backdrop(rect.size() * ratio);
    backdrop.setDevicePixelRatio(ratio);
    backdrop.fill(Qt::transparent);
    const QRect source(viewport()->mapTo(parent, rect.topLeft()), rect.size());
    // The parent's own painting only, without its children: the page background.
    parent->render(&backdrop, QPoint(), QRegion(source), QWidget::DrawWindowBackground);
    QPainter painter(viewport());
    painter.drawPixmap(rect.topLeft(), backdrop);
}

}  // namespace vantrel
