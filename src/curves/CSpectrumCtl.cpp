#include "curves/CSpectrumCtl.h"

namespace vantrel {

CSpectrumCtl::CSpectrumCtl(QWidget* parent, int id) : QWidget(parent), m_id(id) {}

void CSpectrumCtl::SetPlotRange(float left, float top, float right, float bottom) {
    m_fmin = left;
    m_gmin = top;
    m_fmax = right;
    m_gmax = bottom;
}

void CSpectrumCtl::SetChannelColor(int c, const QColor& color) {
    if (c < 0 || c >= kChannelCount) return;
    m_colors[static_cast<std::size_t>(c)] = color;
}

QColor CSpectrumCtl::ChannelColor(int c) const {
    if (c < 0 || c >= kChannelCount) return {};
    return m_colors[static_cast<std::size_t>(c)];
}

}  // namespace vantrel
