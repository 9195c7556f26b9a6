#include "controls/CTpEdit.h"

#include <QKeyEvent>
#include <QPalette>

#include "controls/CTpStatic.h"
#include "controls/ControlHost.h"

namespace vantrel {

CTpEdit::CTpEdit(QWidget* parent, int id) : QLineEdit(parent), m_id(id) {
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    // The style fills the panel with the Base brush; a clear one leaves the window background.
    QPalette clear = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        clear.setBrush(group, QPalette::Base, Qt::transparent);
    }
    setPalette(clear);
    setAutoFillBackground(false);
    ApplySkinTextColor(*this, QPalette::Text, m_textColor);
}

void CTpEdit::SetText(const QString& text) { setText(text); }

void CTpEdit::SetTextColor(const QColor& color) {
    m_textColor = color;
    ApplySkinTextColor(*this, QPalette::Text, color);
}

void CTpEdit::SetReadOnly(bool readOnly) { setReadOnly(readOnly); }

void CTpEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        NotifyHost(this, ControlMessage{UM_EDIT_ENTERED, m_id, m_id, 0, {}});
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace vantrel
