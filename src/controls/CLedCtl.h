#pragma once

#include <QImage>
#include <QWidget>

namespace vantrel {

// A two-picture indicator lamp: the standard picture when lit, the alternate one when dark. It
// takes no input and reports nothing; the window switches it and it repaints itself.
class CLedCtl : public QWidget {
    Q_OBJECT

public:
    CLedCtl(QWidget* parent, int id);

    int Id() const;

    // Through LoadPicture; true when the file decoded.
    bool LoadStdImage(const QString& path);  // lit
    bool LoadAltImage(const QString& path);  // dark

    void SetLedOn(bool on);
    bool IsLedOn() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_id;
    bool m_on = false;  // a new LED is dark
    QImage m_lit;
    QImage m_dark;
};

}  // namespace vantrel
