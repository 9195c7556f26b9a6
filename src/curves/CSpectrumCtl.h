#pragma once

#include <QColor>
#include <QWidget>
#include <array>

#include "model/ParameterModel.h"

namespace vantrel {

// The response curve control. For now it keeps what the window hands it at creation (plot range,
// channel colours, point editing, the setup to draw) and draws nothing of its own.
class CSpectrumCtl : public QWidget {
public:
    CSpectrumCtl(QWidget* parent, int id);

    int Id() const { return m_id; }

    // Plot edges as the skin names them: "ValLeft" is the frequency at the left edge, "ValRigth"
    // the one at the right edge, "ValTop" the gain drawn at the bottom edge and "ValBottom" the
    // gain drawn at the top edge.
    void SetPlotRange(float left, float top, float right, float bottom);
    float MinFrequency() const { return m_fmin; }
    float MaxFrequency() const { return m_fmax; }
    float MinGain() const { return m_gmin; }
    float MaxGain() const { return m_gmax; }

    // Colour of channel c (0..5); other indices are ignored.
    void SetChannelColor(int c, const QColor& color);
    QColor ChannelColor(int c) const;

    void SetEditable(bool editable) { m_editable = editable; }
    bool IsEditable() const { return m_editable; }

    // The setup whose channels are drawn; not owned, none at creation.
    void SetSetup(const SetupRecord* setup) { m_setup = setup; }
    const SetupRecord* Setup() const { return m_setup; }

    void SetChannelCount(int count) { m_channelCount = count; }
    int ChannelCount() const { return m_channelCount; }

private:
    int m_id;
    float m_fmin = 12.6f;
    float m_fmax = 25119.0f;
    float m_gmin = -27.0f;
    float m_gmax = 9.0f;
    std::array<QColor, kChannelCount> m_colors{};
    bool m_editable = false;
    const SetupRecord* m_setup = nullptr;
    int m_channelCount = kChannelCount;
};

}  // namespace vantrel
