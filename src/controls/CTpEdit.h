#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

class QKeyEvent;

namespace vantrel {

// A borderless single-line entry, centred, whose text is drawn over the window background. Enter
// reports the entry to the window: UM_EDIT_ENTERED with wParam = the identifier, lParam = 0. The
// key goes no further, so a dialog's default button never fires from it.
class CTpEdit : public QLineEdit {
    Q_OBJECT

public:
    CTpEdit(QWidget* parent, int id);

    int Id() const { return m_id; }

    void SetText(const QString& text);
    QString Text() const { return text(); }
    void SetTextColor(const QColor& color);
    QColor TextColor() const { return m_textColor; }
    // A read-only box still reports Enter; the window's handler decides what a locked value means.
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return isReadOnly(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_id;
    QColor m_textColor{0, 0, 0};
};

}  // namespace vantrel
