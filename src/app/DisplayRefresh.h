#pragma once

#include <QColor>
#include <array>
#include <cstdint>

#include "model/ParameterModel.h"

namespace vantrel {

struct SkinControls;
class CSpectrumDisplya;

// Keeps the skinned controls in step with the model: rewrites every shown value of a setup, lays
// out the channel columns and pair strips for the amplifier's channel count, and makes the EQ
// selection follow the pair last edited. Holds no widgets of its own; the window owns both the
// controls and the model, and both outlive this object.
class DisplayRefresh {
public:
    static inline const QColor kUnselectedColor{180, 180, 180};
    static constexpr int kRecolourOnly = 0xFF;

    DisplayRefresh(SkinControls& controls, ParameterModel& model);

    // The spectrum window is created after the controls; null until then.
    void SetSpectrumWindow(CSpectrumDisplya* window) { m_spectrumWindow = window; }
    // The monitor's adaptor-link flag and the worker's channel-assignment block (MarkIndex of
    // channels 1 to 6), handed over by the window so this stays independent of the worker.
    void SetAdaptorLink(bool linkUp, const std::array<std::uint8_t, kChannelCount>& channelAssign);
    // The graphic band whose frequency and gain the EQ page's two boxes show; limited to 0..26.
    void SetSelectedBand(int band);
    int SelectedBand() const { return m_selectedBand; }

    // Rewrites every displayed value from `setup` and lays out the strips. A setup outside 0..3
    // is ignored (returns false).
    bool RefreshSetupDisplay(int setup);
    // Enables the columns and strips of the effective channel count, disables the rest; clears
    // MasterMute of the current setup and, for a one-channel model, links pair 1.
    void LayoutChannelStrips();
    // mask = 3 << 2p after an edit in pair p: GroupEQFlag becomes GroupFlag & mask. kRecolourOnly
    // changes no model field. Recolours the channel labels and redraws the curves either way.
    void SyncEqSelection(int setup, int mask);

    // The channel the EQ page shows: the highest set bit of the flag, channel 1 (index 0) for 0.
    static int ShownEqChannel(std::uint8_t groupEqFlag);
    int ShownEqChannel() const;  // of the current setup
    // GroupEQFlag of the setup last shown, for the spectrum window and the window's focus handling.
    std::uint8_t SavedEqGroup() const { return m_savedEqGroup; }
    // Colour of channel c's labels and curve; grey when its GroupEQFlag bit is clear.
    static QColor ChannelColor(int c);
    static QColor LabelColor(std::uint8_t groupEqFlag, int c);

private:
    // A bad CurrentSetupIndex would make every editor index past the setups; it is limited to
    // 0..3 in the model before use.
    int CurrentSetup();
    void ShowPairStrip(const SetupRecord& setup, int pair);
    void ShowChannelColumn(const SetupRecord& setup, int c, int channelCount);
    void ShowEqChannel(const SetupRecord& setup);
    void PointCurvesAt(SetupRecord& setup, int channelCount);
    void EnablePairStrip(const ChannelRecord& ch, int pair);
    void DisablePairStrip(int pair);
    void EnableColumn(int c);
    void DisableColumn(int c);
    void LinkSinglePair(SetupRecord& setup);

    SkinControls& m_controls;
    ParameterModel& m_model;
    CSpectrumDisplya* m_spectrumWindow = nullptr;
    bool m_adaptorLink = false;
    std::array<std::uint8_t, kChannelCount> m_channelAssign{};
    int m_selectedBand = 0;
    std::uint8_t m_savedEqGroup = 1;
};

}  // namespace vantrel
