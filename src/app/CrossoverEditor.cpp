#include "app/CrossoverEditor.h"

#include <array>

#include "controls/CGdipButton.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "model/Scales.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

constexpr std::size_t kSlopeCount = 5;
constexpr std::array<std::uint8_t, kSlopeCount> kSlopes{6, 12, 24, 36, 48};
constexpr CrossoverKind kKinds[] = {CrossoverKind::HighPass, CrossoverKind::LowPass};

const char* const kCrossingText = "Lowpass freq and Highpass freq can't cross!";
const char* const kCrossingCaption = "Warning";

std::size_t At(int i) { return static_cast<std::size_t>(i); }

// The model fields of one filter and the frequency of the other filter of the same channel.
struct FilterFields {
    std::uint8_t ChannelRecord::*on;
    std::uint8_t ChannelRecord::*lock;
    float ChannelRecord::*freq;
    std::uint8_t ChannelRecord::*slope;
    float ChannelRecord::*otherFreq;
};

const FilterFields& FieldsOf(CrossoverKind kind) {
    static constexpr FilterFields kHigh{&ChannelRecord::HighPassOn, &ChannelRecord::HighPassLock,
                                        &ChannelRecord::HighPassFreq, &ChannelRecord::HighPassSlope,
                                        &ChannelRecord::LowPassFreq};
    static constexpr FilterFields kLow{&ChannelRecord::LowPassOn, &ChannelRecord::LowPassLock,
                                       &ChannelRecord::LowPassFreq, &ChannelRecord::LowPassSlope,
                                       &ChannelRecord::HighPassFreq};
    return kind == CrossoverKind::HighPass ? kHigh : kLow;
}

// The controls of one filter in strip p.
struct FilterControls {
    CGdipButton* plus;
    CGdipButton* minus;
    CTpEdit* edit;
    CGdipButton* onButton;
    CGdipButton* lockButton;
    std::array<CGdipButton*, kSlopeCount> slopes;
};

FilterControls ControlsOf(const SkinControls& k, CrossoverKind kind, int pair) {
    const std::size_t p = At(pair);
    if (kind == CrossoverKind::HighPass) {
        return {k.HighPlusBtn[p],
                k.HighReduceBtn[p],
                k.HighPassEdit[p],
                k.HighONBtn[p],
                k.HighLockBtn[p],
                {k.High6dBBtn[p], k.High12dBBtn[p], k.High24dBBtn[p], k.High36dBBtn[p],
                 k.High48dBBtn[p]}};
    }
    return {k.LowPlusBtn[p],
            k.LowReduceBtn[p],
            k.LowPassEdit[p],
            k.LowONBtn[p],
            k.LowLockBtn[p],
            {k.Low6dBBtn[p], k.Low12dBBtn[p], k.Low24dBBtn[p], k.Low36dBBtn[p], k.Low48dBBtn[p]}};
}

// A locked filter's buttons carry the disabled flag; a strip beyond the channel count is disabled.
bool Usable(const CGdipButton* button) { return !button->IsDisabled() && button->isEnabled(); }

// How a change meets the crossing rule: whether reaching the other frequency already counts as a
// crossing, and which channels of the pair warn (bit 0 the first, bit 1 the second).
struct CrossingRule {
    bool equalCrosses;
    unsigned warnChannels;
};

// A step toward the other frequency may reach it silently and warns on every channel. A step away
// can only meet it when both stand at a limit; then one box per click: the low-pass plus warns for
// the pair's first channel, the high-pass minus for its second.
CrossingRule StepRule(CrossoverKind kind, int direction) {
    const bool towardOther = (kind == CrossoverKind::HighPass) == (direction > 0);
    if (towardOther) return {false, 3u};
    return {true, kind == CrossoverKind::HighPass ? 2u : 1u};
}

bool Crosses(CrossoverKind kind, float value, float other, bool equalCrosses) {
    if (value == other) return equalCrosses;
    return kind == CrossoverKind::HighPass ? value > other : value < other;
}

bool Warns(const CrossingRule& rule, int channel) {
    return ((rule.warnChannels >> (channel % 2)) & 1u) != 0;
}

}  // namespace

void CrossoverEditor::Register(HandlerTable& table) {
    const SkinControls& k = m_ctx.controls;
    for (int p = 0; p < static_cast<int>(SkinControls::kStrips); ++p) {
        for (const CrossoverKind kind : kKinds) {
            const FilterControls f = ControlsOf(k, kind, p);
            table.Add(WM_COMMAND, f.plus->Id(),
                      [this, kind, p](const ControlMessage&) { OnStep(kind, p, +1); });
            table.Add(WM_COMMAND, f.minus->Id(),
                      [this, kind, p](const ControlMessage&) { OnStep(kind, p, -1); });
            table.Add(UM_EDIT_ENTERED, f.edit->Id(),
                      [this, kind, p](const ControlMessage&) { OnTyped(kind, p); });
            table.Add(WM_COMMAND, f.onButton->Id(),
                      [this, kind, p](const ControlMessage&) { OnSwitch(kind, p); });
            table.Add(WM_COMMAND, f.lockButton->Id(),
                      [this, kind, p](const ControlMessage&) { OnLock(kind, p); });
            for (std::size_t i = 0; i < kSlopeCount; ++i) {
                table.Add(WM_COMMAND, f.slopes[i]->Id(),
                          [this, kind, p, i](const ControlMessage&) { OnSlope(kind, p, i); });
            }
        }
    }
}

void CrossoverEditor::OnStep(CrossoverKind kind, int pair, int direction) {
    const FilterControls k = ControlsOf(m_ctx.controls, kind, pair);
    CGdipButton* button = direction > 0 ? k.plus : k.minus;
    if (!Usable(button)) return;
    const FilterFields& f = FieldsOf(kind);
    const CrossingRule rule = StepRule(kind, direction);
    SetupRecord& setup = m_ctx.Setup();
    const std::vector<int> targets = PairTargets(setup.GroupFlag, pair);
    for (const int c : targets) {
        ChannelRecord& ch = setup.Channels[At(c)];
        ch.*f.freq = StepCrossoverFreq(ch.*f.freq, direction, m_ctx.model.Mode);
        if (Crosses(kind, ch.*f.freq, ch.*f.otherFreq, rule.equalCrosses)) {
            ch.*f.freq = ch.*f.otherFreq;
            if (Warns(rule, c)) {
                // A held button must not pile up boxes.
                button->StopAutoRepeat();
                button->SetCheck(0);
                m_ctx.Warn(kCrossingText, kCrossingCaption);
            }
        }
        ShowOverview(kind, c);
    }
    ShowBox(kind, pair);
    m_ctx.SyncPair(pair);
    button->SetCheck(0);
    SendBlocks(kind, targets);
}

void CrossoverEditor::OnTyped(CrossoverKind kind, int pair) {
    const FilterControls k = ControlsOf(m_ctx.controls, kind, pair);
    // Locked: the box is read-only and a typed value changes nothing, here or on the amplifier.
    if (!Usable(k.plus)) return;
    const std::optional<double> typed = ParseTypedNumber(k.edit->Text().toStdString());
    if (!typed) {
        ShowBox(kind, pair);
        return;
    }
    const FilterFields& f = FieldsOf(kind);
    SetupRecord& setup = m_ctx.Setup();
    const std::vector<int> targets = PairTargets(setup.GroupFlag, pair);
    // A value corrected at the first channel is the value tried at the second. Unlike a step, a
    // typed value equal to the other frequency warns.
    float value = QuantizeCrossoverFreq(*typed, m_ctx.model.Mode);
    for (const int c : targets) {
        ChannelRecord& ch = setup.Channels[At(c)];
        if (Crosses(kind, value, ch.*f.otherFreq, true)) {
            value = ch.*f.otherFreq;
            m_ctx.Warn(kCrossingText, kCrossingCaption);
        }
        ch.*f.freq = value;
        ShowOverview(kind, c);
    }
    ShowBox(kind, pair);
    m_ctx.SyncPair(pair);
    SendBlocks(kind, targets);
}

void CrossoverEditor::OnSwitch(CrossoverKind kind, int pair) {
    const FilterControls k = ControlsOf(m_ctx.controls, kind, pair);
    if (!Usable(k.onButton)) return;
    const FilterFields& f = FieldsOf(kind);
    const std::uint8_t on = k.onButton->GetCheck() != 0 ? 1 : 0;
    SetupRecord& setup = m_ctx.Setup();
    const std::vector<int> targets = PairTargets(setup.GroupFlag, pair);
    for (const int c : targets) {
        setup.Channels[At(c)].*f.on = on;
        ShowOverview(kind, c);
    }
    m_ctx.SyncPair(pair);
    ShowFilterType(m_ctx.SetupIndex(), 3 << (2 * pair));
    // Switched off, the block reaches the amplifier as inactive sections.
    SendBlocks(kind, targets, true);
}

void CrossoverEditor::OnLock(CrossoverKind kind, int pair) {
    const FilterControls k = ControlsOf(m_ctx.controls, kind, pair);
    if (!Usable(k.lockButton)) return;
    const FilterFields& f = FieldsOf(kind);
    const bool locked = k.lockButton->GetCheck() != 0;
    SetupRecord& setup = m_ctx.Setup();
    for (const int c : PairTargets(setup.GroupFlag, pair)) {
        setup.Channels[At(c)].*f.lock = locked ? 1 : 0;
    }
    k.plus->SetDisabled(locked);
    k.minus->SetDisabled(locked);
    k.edit->SetReadOnly(locked);
    const std::uint8_t slope =
        setup.Channels[At(ShownStripChannel(setup.GroupFlag, pair))].*f.slope;
    for (std::size_t i = 0; i < kSlopeCount; ++i) {
        k.slopes[i]->SetDisabled(locked);
        if (!locked) k.slopes[i]->SetCheck(kSlopes[i] == slope);
    }
    // The lock lives in the model and the preset file only.
    m_ctx.SyncPair(pair);
}

void CrossoverEditor::OnSlope(CrossoverKind kind, int pair, std::size_t slopeIndex) {
    const FilterControls k = ControlsOf(m_ctx.controls, kind, pair);
    if (!Usable(k.slopes[slopeIndex])) return;
    // One of five: a click never releases the pressed slope.
    for (std::size_t i = 0; i < kSlopeCount; ++i) k.slopes[i]->SetCheck(i == slopeIndex);
    const FilterFields& f = FieldsOf(kind);
    SetupRecord& setup = m_ctx.Setup();
    const std::vector<int> targets = PairTargets(setup.GroupFlag, pair);
    for (const int c : targets) setup.Channels[At(c)].*f.slope = kSlopes[slopeIndex];
    m_ctx.SyncPair(pair);
    SendBlocks(kind, targets);
}

void CrossoverEditor::ShowOverview(CrossoverKind kind, int channel) {
    const FilterFields& f = FieldsOf(kind);
    const ChannelRecord& ch = m_ctx.Setup().Channels[At(channel)];
    auto& labels =
        kind == CrossoverKind::HighPass ? m_ctx.controls.ChHPFStc : m_ctx.controls.ChLPFStc;
    labels[At(channel)]->SetText(ToQString(OverviewFreqText(ch.*f.freq, ch.*f.on != 0)));
}

void CrossoverEditor::ShowBox(CrossoverKind kind, int pair) {
    const SetupRecord& setup = m_ctx.Setup();
    const ChannelRecord& ch = setup.Channels[At(ShownStripChannel(setup.GroupFlag, pair))];
    ControlsOf(m_ctx.controls, kind, pair)
        .edit->SetText(ToQString(FreqText(ch.*FieldsOf(kind).freq)));
}

void CrossoverEditor::ShowFilterType(int setup, int pairMask) {
    const SetupRecord& record = m_ctx.model.Setups[At(setup)];
    const int channelCount = m_ctx.ChannelCount();
    for (int c = 0; c < kChannelCount; ++c) {
        if ((((pairMask & record.GroupFlag) >> c) & 1) == 0) continue;
        m_ctx.controls.ChFLMkStc[At(c)]->SetText(
            ToQString(FilterTypeText(record.Channels[At(c)], c >= channelCount)));
    }
}

void CrossoverEditor::SendBlocks(CrossoverKind kind, const std::vector<int>& channels,
                                 bool evenWhenOff) {
    const FilterFields& f = FieldsOf(kind);
    const int setup = m_ctx.SetupIndex();
    for (const int c : channels) {
        if (!evenWhenOff && m_ctx.model.Setups[At(setup)].Channels[At(c)].*f.on == 0) continue;
        m_ctx.sink.Send([this, setup, c, kind](DeviceImage& image) {
            return UpdateCrossover(image, m_ctx.model, setup, c, kind);
        });
    }
}

}  // namespace vantrel
