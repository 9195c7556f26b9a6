#pragma once

#include <QColor>
#include <QListWidget>
#include <QRect>
#include <QString>

class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;

namespace vantrel {

// The channel-mark list. Closed it is one line showing the current mark over the window
// background; a click opens it downward, 22 lines high, with the current mark repeated first and
// then every name of ChannelMarkList; the next click chooses the entry under the pointer (the
// repeated first entry keeps the mark), closes it and reports UM_LIST_SELECTED with wParam = the
// identifier, lParam = 0. Enter opens and closes it the same way but reports nothing; losing the
// focus closes it unchanged and reports nothing.
class CTpComboBox : public QListWidget {
    Q_OBJECT

public:
    static constexpr int kOpenLines = 22;

    CTpComboBox(QWidget* parent, int id);

    int Id() const { return m_id; }

    // Shows `mark` (limited to the list's range) as the single entry. An open list closes first,
    // without reporting: its entries would no longer match the marks.
    void SetMark(int mark);
    int Mark() const { return m_mark; }
    bool IsOpen() const { return m_open; }
    // Leaves the list without entries (a channel the amplifier does not have); the mark is kept.
    void Clear();

    void SetTextColor(const QColor& color);
    QColor TextColor() const { return m_textColor; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Open();
    // Back to one line; with `takeSelection` the selected entry becomes the mark.
    void Close(bool takeSelection);
    // Back to the closed geometry, entries untouched.
    void Collapse();
    void ShowMarkOnly();
    void AddEntry(const QString& text);
    int RowHeight() const;
    void ApplyRowHeight();
    void PaintParentBackground(const QRect& rect);

    int m_id;
    int m_mark = 0;
    bool m_open = false;
    QRect m_closedGeometry;
    QColor m_textColor{255, 0, 0};
};

}  // namespace vantrel
