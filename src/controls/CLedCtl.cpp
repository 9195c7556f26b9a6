#include "controls/CLedCtl.h"

#include <QPainter>

#include "controls/PictureCache.h"

namespace vantrel {

CLedCtl::CLedCtl(QWidget* parent, int id) : QWidget(parent), m_id(id) {}

int CLedCtl::Id() const { return m_id; }

bool CLedCtl::LoadStdImage(const QString& path) {
    m_lit = LoadPicture(path);
    update();
    return !m_lit.isNull();
}

bool CLedCtl::LoadAltImage(const QString& path) {
    m_dark = LoadPicture(path);
    update();
    return !m_dark.isNull();
}

void CLedCtl::SetLedOn(bool on) {
    if (m_on == on) return;
    m_on = on;
    update();
}

bool CLedCtl::IsLedOn() const { return m_on; }

void CLedCtl::paintEvent(QPaintEvent*) {
    // Without its lit picture the lamp draws nothing of its own, in either state.
    if (m_lit.isNull()) return;
    const QImage& picture = m_on ? m_lit : m_dark;
    if (picture.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture);
}

}  // namespace vantrel
