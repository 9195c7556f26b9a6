#include "app/DisplayRefresh.h"

#include <QString>
#include <algorithm>
#include <string>

#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CLedCtl.h"
#include "controls/CProgressBar.h"
#include "controls/CTpComboBox.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "curves/CSpectrumCtl.h"
#include "curves/CSpectrumDisplya.h"
#include "model/Scales.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

constexpr std::size_t kSlopeCount = 5;
constexpr std::array<std::uint8_t, kSlopeCount> kSlopes{6, 12, 24, 36, 48};
// Level mute, lock, plus, minus; high plus, minus; low plus, minus; high and low on and lock;
// five slopes per filter.
constexpr std::size_t kStripButtonCount = 12 + 2 * kSlopeCount;

std::size_t At(int i) { return static_cast<std::size_t>(i); }

bool Bit(std::uint8_t flags, int bit) { return ((flags >> bit) & 1u) != 0; }

// Both channels of pair p in the flag byte.
bool PairSet(std::uint8_t flags, int pair) {
    return Bit(flags, 2 * pair) && Bit(flags, 2 * pair + 1);
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

std::array<CGdipButton*, kSlopeCount> HighSlopeButtons(const SkinControls& k, int p) {
    return {k.High6dBBtn[At(p)], k.High12dBBtn[At(p)], k.High24dBBtn[At(p)], k.High36dBBtn[At(p)],
            k.High48dBBtn[At(p)]};
}

std::array<CGdipButton*, kSlopeCount> LowSlopeButtons(const SkinControls& k, int p) {
    return {k.Low6dBBtn[At(p)], k.Low12dBBtn[At(p)], k.Low24dBBtn[At(p)], k.Low36dBBtn[At(p)],
            k.Low48dBBtn[At(p)]};
}

std::array<CGdipButton*, kStripButtonCount> StripButtons(const SkinControls& k, int p) {
    const std::size_t i = At(p);
    std::array<CGdipButton*, kStripButtonCount> buttons{
        k.LevelMuteBtn[i], k.LevelLockBtn[i],  k.LevelPlusBtn[i], k.LevelReduceBtn[i],
        k.HighPlusBtn[i],  k.HighReduceBtn[i], k.LowPlusBtn[i],   k.LowReduceBtn[i],
        k.HighONBtn[i],    k.LowONBtn[i],      k.HighLockBtn[i],  k.LowLockBtn[i]};
    const auto high = HighSlopeButtons(k, p);
    const auto low = LowSlopeButtons(k, p);
    std::copy(high.begin(), high.end(), buttons.begin() + 12);
    std::copy(low.begin(), low.end(), buttons.begin() + 12 + kSlopeCount);
    return buttons;
}

void CheckSlope(const std::array<CGdipButton*, kSlopeCount>& buttons, std::uint8_t slope) {
    for (std::size_t i = 0; i < kSlopeCount; ++i) buttons[i]->SetCheck(kSlopes[i] == slope);
}

// A filter of an enabled strip: its controls are usable unless the filter is locked.
void EnableFilter(CTpEdit* edit, CGdipButton* plus, CGdipButton* minus,
                  const std::array<CGdipButton*, kSlopeCount>& slopes, bool locked,
                  std::uint8_t slope) {
    edit->setEnabled(true);
    edit->SetReadOnly(locked);
    plus->SetDisabled(locked);
    minus->SetDisabled(locked);
    for (CGdipButton* button : slopes) button->SetDisabled(locked);
    CheckSlope(slopes, slope);
}

bool ValidSetup(int setup) { return setup >= 0 && setup < kSetupCount; }

}  // namespace

DisplayRefresh::DisplayRefresh(SkinControls& controls, ParameterModel& model)
    : m_controls(controls), m_model(model) {}

void DisplayRefresh::SetAdaptorLink(bool linkUp,
                                    const std::array<std::uint8_t, kChannelCount>& channelAssign) {
    m_adaptorLink = linkUp;
    m_channelAssign = channelAssign;
}

void DisplayRefresh::SetSelectedBand(int band) {
    m_selectedBand = std::clamp(band, 0, kEqBandCount - 1);
}

int DisplayRefresh::ShownEqChannel(std::uint8_t groupEqFlag) {
    // Bits 6 and 7 name no channel; they must not pick a seventh or eighth one.
    for (int c = kChannelCount - 1; c > 0; --c) {
        if (Bit(groupEqFlag, c)) return c;
    }
    return 0;
}

int DisplayRefresh::ShownEqChannel() const {
    const int s = std::clamp(m_model.CurrentSetupIndex, 0, kSetupCount - 1);
    return ShownEqChannel(m_model.Setups[At(s)].GroupEQFlag);
}

QColor DisplayRefresh::ChannelColor(int c) {
    if (c < 0 || c >= kChannelCount) return kUnselectedColor;
    return SkinCurveColors()[At(c)];
}

QColor DisplayRefresh::LabelColor(std::uint8_t groupEqFlag, int c) {
    return Bit(groupEqFlag, c) ? ChannelColor(c) : kUnselectedColor;
}

int DisplayRefresh::CurrentSetup() {
    m_model.CurrentSetupIndex = std::clamp(m_model.CurrentSetupIndex, 0, kSetupCount - 1);
    return m_model.CurrentSetupIndex;
}

bool DisplayRefresh::RefreshSetupDisplay(int setup) {
    if (!ValidSetup(setup)) return false;
    const int current = CurrentSetup();
    SetupRecord& shown = m_model.Setups[At(setup)];
    const int n = EffectiveChannelCount(m_model);
    SkinControls& k = m_controls;

    // The layout at the end links pair 1 of a one-channel model; doing it first lets the strip,
    // the EQ page and the label colours below show the flags that will be in force.
    if (m_model.ChannelNum == 1 && setup == current) {
        shown.GroupFlag = 3;
        shown.GroupEQFlag = 3;
    }

    for (int c = 0; c < kChannelCount; ++c) k.ChCBox[At(c)]->SetMark(m_model.MarkIndex[At(c)]);
    for (int i = 0; i < kSetupCount; ++i) k.SetupBtn[At(i)]->SetCheck(i == current);
    k.ExitBtn->SetCheck(m_model.ANS == 0);
    for (int p = 0; p < static_cast<int>(SkinControls::kStrips); ++p) ShowPairStrip(shown, p);
    for (int c = 0; c < kChannelCount; ++c) ShowChannelColumn(shown, c, n);
    ShowEqChannel(shown);

    PointCurvesAt(shown, n);
    m_savedEqGroup = shown.GroupEQFlag;
    SyncEqSelection(setup, kRecolourOnly);
    LayoutChannelStrips();
    return true;
}

void DisplayRefresh::ShowPairStrip(const SetupRecord& setup, int pair) {
    SkinControls& k = m_controls;
    const std::size_t p = At(pair);
    k.GroupBtn[p]->SetCheck(PairSet(setup.GroupFlag, pair));
    k.Eq2GroupBtn[p]->SetCheck(PairSet(setup.GroupEQFlag, pair));

    const ChannelRecord& ch = setup.Channels[At(ShownStripChannel(setup.GroupFlag, pair))];
    k.LevelMuteBtn[p]->SetCheck(ch.Mute);
    k.LevelLockBtn[p]->SetCheck(ch.LevelLock);
    k.HighONBtn[p]->SetCheck(ch.HighPassOn);
    k.LowONBtn[p]->SetCheck(ch.LowPassOn);
    k.HighLockBtn[p]->SetCheck(ch.HighPassLock);
    k.LowLockBtn[p]->SetCheck(ch.LowPassLock);
    CheckSlope(HighSlopeButtons(k, pair), ch.HighPassSlope);
    CheckSlope(LowSlopeButtons(k, pair), ch.LowPassSlope);
    k.LevelEdit[p]->SetText(Text(LevelText(ch.LevelVal)));
    k.LevelEdit[p]->SetReadOnly(ch.LevelLock != 0);
    k.HighPassEdit[p]->SetText(Text(FreqText(ch.HighPassFreq)));
    k.HighPassEdit[p]->SetReadOnly(ch.HighPassLock != 0);
    k.LowPassEdit[p]->SetText(Text(FreqText(ch.LowPassFreq)));
    k.LowPassEdit[p]->SetReadOnly(ch.LowPassLock != 0);
}

void DisplayRefresh::ShowChannelColumn(const SetupRecord& setup, int c, int channelCount) {
    SkinControls& k = m_controls;
    const std::size_t i = At(c);
    const ChannelRecord& ch = setup.Channels[i];
    const bool beyond = c >= channelCount;

    k.GroupCtlBtn[i]->SetCheck(Bit(setup.GroupFlag, c));
    k.EqGroupBtn[i]->SetCheck(Bit(setup.GroupEQFlag, c));
    k.EQMuteBtn[i]->SetCheck(ch.Mute);

    k.ChHPFStc[i]->SetText(Text(OverviewFreqText(ch.HighPassFreq, ch.HighPassOn != 0)));
    k.ChLPFStc[i]->SetText(Text(OverviewFreqText(ch.LowPassFreq, ch.LowPassOn != 0)));
    k.ChFLMkStc[i]->SetText(Text(FilterTypeText(ch, beyond)));
    k.ChDLYStc[i]->SetText(Text(OverviewDelayText(ch)));
    k.ChTRIMStc[i]->SetText(Text(OverviewTrimText(ch)));
    k.ChEQStc[i]->SetText(Text(EqStateText(ch, beyond)));
    k.CHLevelBar[i]->SetLevel(LevelBarPercent(ch.LevelVal));

    k.TimeONBtn[i]->SetCheck(ch.DelayOn);
    k.TimeLedStc[i]->SetLedOn(ch.DelayOn != 0);
    k.TimeDlyKnob[i]->SetValue(ch.DelayTime);
    k.TimeAtnKnob[i]->SetValue(ch.Trim);
    k.DlyTimeEdt[i]->SetText(Text(DelayTimeText(ch.DelayTime)));
    k.DlyDisEdt[i]->SetText(Text(DelayDistanceText(ch.DelayTime)));
    k.TrimEdt[i]->SetText(Text(TrimText(ch.Trim)));
}

void DisplayRefresh::ShowEqChannel(const SetupRecord& setup) {
    SkinControls& k = m_controls;
    const ChannelRecord& ch = setup.Channels[At(ShownEqChannel(setup.GroupEQFlag))];
    k.BypassBtn->SetCheck(ch.EQBypass);
    k.EQBypassBtn->SetCheck(ch.EQBypass);
    for (std::size_t j = 0; j < SkinControls::kBands; ++j) {
        const EqPoint& point = ch.CustomEQ[j];
        k.CEQFcyKnob[j]->SetValue(FreqKnobPosition(point.Freq));
        k.CustmEQFader[j]->SetValue(point.Gain);
        k.CEQQKnob[j]->SetValue(point.Q);
        k.CustmEQFreqEdt[j]->SetText(Text(FreqText(point.Freq)));
        k.CustmEQGainEdt[j]->SetText(Text(GainText(point.Gain)));
        k.CustmEQQEdt[j]->SetText(Text(QText(point.Q)));
        k.CEQPassBtn[j]->SetCheck(point.Bypass);
        // The LED is lit while its point is bypassed; it has to follow the button.
        k.CEQLedStc[j]->SetLedOn(point.Bypass != 0);
    }
    for (std::size_t b = 0; b < At(kEqBandCount); ++b)
        k.EQBandFader[b]->SetValue(ch.EQBand[b].Gain);
    const EqPoint& band = ch.EQBand[At(m_selectedBand)];
    k.EQBandFreqEdt->SetText(Text(FreqText(band.Freq)));
    k.EQBandGainEdt->SetText(Text(GainText(band.Gain)));
}

void DisplayRefresh::PointCurvesAt(SetupRecord& setup, int channelCount) {
    // Writable: the EQ curve's points are dragged straight into the setup.
    for (CSpectrumCtl* curve : {m_controls.SpectrumCurve, m_controls.EQSpectrumCurve}) {
        curve->SetSetup(&setup);
        curve->SetChannelCount(channelCount);
    }
    if (m_spectrumWindow) m_spectrumWindow->SetSetup(&setup, channelCount);
}

void DisplayRefresh::LayoutChannelStrips() {
    SkinControls& k = m_controls;
    const int current = CurrentSetup();
    SetupRecord& setup = m_model.Setups[At(current)];
    const int n = EffectiveChannelCount(m_model);

    setup.MasterMute = 0;
    // The toggle must agree with the flag, or the next click would mute nothing.
    k.MuteBtn->SetCheck(0);

    for (int c = 0; c < kChannelCount; ++c) {
        if (c < n) {
            EnableColumn(c);
        } else {
            DisableColumn(c);
        }
    }
    for (int p = 0; p < static_cast<int>(SkinControls::kStrips); ++p) {
        if (p < n / 2) {
            EnablePairStrip(setup.Channels[At(ShownStripChannel(setup.GroupFlag, p))], p);
        } else {
            DisablePairStrip(p);
        }
    }
    if (m_model.ChannelNum == 1) LinkSinglePair(setup);
}

void DisplayRefresh::EnableColumn(int c) {
    SkinControls& k = m_controls;
    const std::size_t i = At(c);
    // The list may have been emptied while the column was beyond the channel count. With the
    // adaptor up it shows what the amplifier has; the model keeps the mark the list shows.
    if (m_adaptorLink) {
        k.ChCBox[i]->SetMark(m_channelAssign[i]);
        m_model.MarkIndex[i] = k.ChCBox[i]->Mark();
    } else {
        k.ChCBox[i]->SetMark(m_model.MarkIndex[i]);
    }
    k.ChCBox[i]->setEnabled(true);
    k.GroupCtlBtn[i]->SetDisabled(false);
    k.EqGroupBtn[i]->SetDisabled(false);
    k.EQMuteBtn[i]->SetDisabled(false);
    k.TimeONBtn[i]->SetDisabled(false);
    k.TimeDlyKnob[i]->SetDisabled(false);
    k.TimeAtnKnob[i]->SetDisabled(false);
    k.TimeLedStc[i]->setEnabled(true);
    k.ChFLMkStc[i]->setEnabled(true);
    k.ChEQStc[i]->setEnabled(true);
}

void DisplayRefresh::DisableColumn(int c) {
    SkinControls& k = m_controls;
    const std::size_t i = At(c);
    k.ChCBox[i]->Clear();
    k.ChCBox[i]->setEnabled(false);
    for (CGdipButton* button : {k.GroupCtlBtn[i], k.EqGroupBtn[i], k.TimeONBtn[i]}) {
        button->SetCheck(0);
        button->SetDisabled(true);
    }
    k.EQMuteBtn[i]->SetDisabled(true);
    k.TimeDlyKnob[i]->SetDisabled(true);
    k.TimeAtnKnob[i]->SetDisabled(true);
    for (CTpStatic* label : {k.ChFLMkStc[i], k.ChEQStc[i]}) {
        label->SetText(QStringLiteral("-"));
        label->setEnabled(false);
    }
    k.TimeLedStc[i]->SetLedOn(false);
    k.TimeLedStc[i]->setEnabled(false);
    k.CHLevelBar[i]->SetLevel(0);
}

void DisplayRefresh::EnablePairStrip(const ChannelRecord& ch, int pair) {
    SkinControls& k = m_controls;
    const std::size_t p = At(pair);
    k.GroupBtn[p]->SetDisabled(false);
    k.Eq2GroupBtn[p]->SetDisabled(false);
    for (CGdipButton* button : StripButtons(k, pair)) button->SetDisabled(false);

    const bool levelLocked = ch.LevelLock != 0;
    k.LevelLockBtn[p]->SetCheck(levelLocked);
    k.LevelPlusBtn[p]->SetDisabled(levelLocked);
    k.LevelReduceBtn[p]->SetDisabled(levelLocked);
    k.LevelEdit[p]->setEnabled(true);
    k.LevelEdit[p]->SetReadOnly(levelLocked);
    // A one-channel model cannot switch its low-pass.
    k.LowONBtn[p]->SetDisabled(m_model.ChannelNum == 1);

    EnableFilter(k.HighPassEdit[p], k.HighPlusBtn[p], k.HighReduceBtn[p], HighSlopeButtons(k, pair),
                 ch.HighPassLock != 0, ch.HighPassSlope);
    EnableFilter(k.LowPassEdit[p], k.LowPlusBtn[p], k.LowReduceBtn[p], LowSlopeButtons(k, pair),
                 ch.LowPassLock != 0, ch.LowPassSlope);
}

void DisplayRefresh::DisablePairStrip(int pair) {
    SkinControls& k = m_controls;
    const std::size_t p = At(pair);
    auto disable = [](CGdipButton* button) {
        button->SetCheck(0);
        button->SetDisabled(true);
    };
    disable(k.GroupBtn[p]);
    disable(k.Eq2GroupBtn[p]);
    for (CGdipButton* button : StripButtons(k, pair)) disable(button);
    for (CTpEdit* edit : {k.LevelEdit[p], k.HighPassEdit[p], k.LowPassEdit[p]}) {
        edit->setEnabled(false);
    }
}

void DisplayRefresh::LinkSinglePair(SetupRecord& setup) {
    SkinControls& k = m_controls;
    for (CGdipButton* button : {k.GroupCtlBtn[0], k.GroupCtlBtn[1], k.GroupBtn[0], k.EqGroupBtn[0],
                                k.EqGroupBtn[1], k.Eq2GroupBtn[0]}) {
        button->SetDisabled(false);
        button->SetCheck(1);
    }
    const bool eqChanged = setup.GroupEQFlag != 3;
    setup.GroupFlag = 3;
    setup.GroupEQFlag = 3;
    // Called on its own, the labels would still show the old EQ group.
    if (eqChanged) SyncEqSelection(m_model.CurrentSetupIndex, kRecolourOnly);
}

void DisplayRefresh::SyncEqSelection(int setup, int mask) {
    if (!ValidSetup(setup)) return;
    SkinControls& k = m_controls;
    SetupRecord& record = m_model.Setups[At(setup)];
    const int n = EffectiveChannelCount(m_model);

    if (mask != kRecolourOnly) {
        record.GroupEQFlag = static_cast<std::uint8_t>(record.GroupFlag & mask);
        // The EQ page's selection buttons say which channels an EQ edit reaches.
        if (setup == m_model.CurrentSetupIndex) {
            for (int c = 0; c < n; ++c) k.EqGroupBtn[At(c)]->SetCheck(Bit(record.GroupEQFlag, c));
            for (int p = 0; p < n / 2; ++p) {
                k.Eq2GroupBtn[At(p)]->SetCheck(PairSet(record.GroupEQFlag, p));
            }
        }
    }

    for (int c = 0; c < kChannelCount; ++c) {
        const QColor color = LabelColor(record.GroupEQFlag, c);
        k.SpChStc[At(c)]->SetTextColor(color);
        k.EQSpChStc[At(c)]->SetTextColor(color);
    }
    for (int c = 0; c < n; ++c) {
        k.SpChStc[At(c)]->update();
        k.EQSpChStc[At(c)]->update();
    }
    k.SpectrumCurve->update();
    k.EQSpectrumCurve->update();
    if (m_spectrumWindow) {
        m_spectrumWindow->UpdateChannelLabels();
        m_spectrumWindow->ZoomCurve()->update();
    }
}

}  // namespace vantrel
