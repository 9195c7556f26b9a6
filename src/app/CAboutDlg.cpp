#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace vantrel {

CAboutDlg::CAboutDlg(const QString& title, const QString& version, QWidget* parent)
    : QDialog(parent), m_version(new QLabel(version, this)) {
    setWindowTitle(title);
    m_version->setObjectName(QString::number(kVersionLabelId));
    m_version->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_version);
    layout->addWidget(buttons);
}

QString CAboutDlg::VersionText() const { return m_version->text(); }

}  // namespace vantrel
