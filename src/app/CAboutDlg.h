#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace vantrel {

// The About box: its title and version line come from the settings (OEM/AboutTitle and
// OEM/AboutVer); empty values leave them empty.
class CAboutDlg : public QDialog {
public:
    static constexpr int kVersionLabelId = 1310;

    CAboutDlg(const QString& title, const QString& version, QWidget* parent = nullptr);
    QString VersionText() const;

private:
    QLabel* m_version;
};

}  // namespace vantrel
