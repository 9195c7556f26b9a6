#include "model/ParameterModel.h"

#include <algorithm>
#include <cstddef>

namespace vantrel {

// clang-format off
const std::array<const char*, kChannelMarkCount> ChannelMarkList = {
    "Not used",
    "FL Full", "FL Tweeter", "FL Midrange", "FL Woofer",
    "FR Full", "FR Tweeter", "FR Midrange", "FR Woofer",
    "RL Full", "RL Tweeter", "RL Midrange", "RL Woofer",
    "RR Full", "RR Tweeter", "RR Midrange", "RR Woofer",
    "C Full",  "C Tweeter",  "C Midrange",  "C Woofer",
};
// clang-format on

const std::array<int, kEqBandCount> EqBandFrequencies = {
    40,   50,   63,   80,   100,  125,  160,  200,  250,  315,  400,   500,   630,   800,
    1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000,
};

namespace {

constexpr float kMode2LowPassFreq = 302.0f;
constexpr std::uint8_t kMode2LowPassSlope = 48;
constexpr float kMode2CustomFreq = 100.0f;

bool IsSetupIndex(int s) { return s >= 0 && s < kSetupCount; }
bool IsChannelIndex(int c) { return c >= 0 && c < kChannelCount; }

std::size_t At(int i) { return static_cast<std::size_t>(i); }

// Both bits of c's pair set in a two-bits-per-pair flag byte.
bool PairLinked(std::uint8_t flags, int c) {
    const int pair = c / 2;
    const unsigned both = 3u << (2 * pair);
    return (flags & both) == both;
}

// The current setup, or nothing when CurrentSetupIndex has gone out of range (a bad preset file):
// the channel operations then leave the model alone instead of writing past the array.
SetupRecord* CurrentSetupOrNull(ParameterModel& model) {
    if (!IsSetupIndex(model.CurrentSetupIndex)) return nullptr;
    return &model.Setups[At(model.CurrentSetupIndex)];
}

// Strip part of a reset (level, crossovers, delay and trim), shared by ResetSetup and
// ResetChannelStrip.
void ResetStrip(ChannelRecord& ch, bool mode2) {
    ch.Mute = 0;
    ch.LevelLock = 0;
    ch.LevelVal = 1.0f;
    ch.HighPassOn = 0;
    ch.HighPassLock = 0;
    ch.HighPassFreq = 50.0f;
    ch.HighPassSlope = 6;
    ch.LowPassLock = 0;
    if (mode2) {
        ch.LowPassOn = 1;
        ch.LowPassFreq = kMode2LowPassFreq;
        ch.LowPassSlope = kMode2LowPassSlope;
    } else {
        ch.LowPassOn = 0;
        ch.LowPassFreq = 10000.0f;
        ch.LowPassSlope = 6;
    }
    ch.DelayOn = 0;
    ch.DelayTime = 0.0f;
    ch.Trim = 0.0f;
}

// EQ part of a reset. Custom point Bypass and band Bypass are never written.
void ResetEq(ChannelRecord& ch, float customFreq) {
    ch.EQBypass = 0;
    for (EqPoint& p : ch.CustomEQ) {
        p.Freq = customFreq;
        p.Gain = 0.0f;
        p.Q = 3.0f;
    }
    for (std::size_t b = 0; b < ch.EQBand.size(); ++b) {
        ch.EQBand[b].Freq = static_cast<float>(EqBandFrequencies[b]);
        ch.EQBand[b].Gain = 0.0f;
        ch.EQBand[b].Q = 3.0f;
    }
}

void ResetSetupHeader(SetupRecord& setup, bool mode2) {
    setup.MasterMute = 0;
    setup.Reserved = 0;
    setup.GroupFlag = mode2 ? 0x03 : 0x15;
    setup.GroupEQFlag = mode2 ? 0x03 : 0x01;
}

void ResetOneStrip(SetupRecord& setup, int c, bool mode2) {
    ResetStrip(setup.Channels[At(c)], mode2);
    // The level belongs to the pair's strip.
    setup.Channels[At(PartnerChannel(c))].LevelVal = 1.0f;
}

void ResetOneEq(SetupRecord& setup, int c, bool mode2) {
    ChannelRecord& ch = setup.Channels[At(c)];
    ResetEq(ch, mode2 ? kMode2CustomFreq : 1000.0f);
    ch.Mute = 0;
}

}  // namespace

int EffectiveChannelCount(const ParameterModel& model) {
    // A one-channel model runs as a linked pair, so 1 counts as 2. Other counts a catalogue or
    // file may hold are raised to whole pairs (0 -> 2, 3 -> 4, 5 -> 6) and capped at six, so no
    // loop over a setup's channels can leave the six-channel array.
    const int n = model.ChannelNum;
    if (n <= 2) return 2;
    if (n >= 6) return 6;
    return (n + 1) / 2 * 2;
}

int ImageChannelCount(const ParameterModel& model) {
    const int n = EffectiveChannelCount(model);
    return n < kImageChannelCount ? n : kImageChannelCount;
}

int PartnerChannel(int c) { return (c % 2 == 0) ? c + 1 : c - 1; }

void InitSetups(ParameterModel& model) {
    for (SetupRecord& setup : model.Setups) {
        ResetSetupHeader(setup, false);
        for (ChannelRecord& ch : setup.Channels) {
            ResetStrip(ch, false);
            ResetEq(ch, 1000.0f);
            for (EqPoint& p : ch.CustomEQ) p.Bypass = 0;
        }
    }
    model.ANS = 255;
}

std::vector<int> PairTargets(std::uint8_t groupFlag, int pair) {
    std::vector<int> targets;
    for (int c = 2 * pair; c <= 2 * pair + 1; ++c) {
        if (((groupFlag >> c) & 1u) != 0) targets.push_back(c);
    }
    return targets;
}

int ShownStripChannel(std::uint8_t groupFlag, int pair) {
    return ((groupFlag >> (2 * pair + 1)) & 1u) != 0 ? 2 * pair + 1 : 2 * pair;
}

void ResetSetup(ParameterModel& model, int s) {
    if (!IsSetupIndex(s)) return;
    const bool mode2 = model.Mode == 2;
    SetupRecord& setup = model.Setups[At(s)];
    ResetSetupHeader(setup, mode2);
    const int count = EffectiveChannelCount(model);
    for (int c = 0; c < count; ++c) {
        ChannelRecord& ch = setup.Channels[At(c)];
        ResetStrip(ch, mode2);
        ResetEq(ch, mode2 ? kMode2CustomFreq : 1000.0f);
    }
    model.ANS = 255;
}

void CopyChannelStrip(ParameterModel& model, int s, int c, int t, bool withDelay) {
    if (!IsSetupIndex(s) || !IsChannelIndex(c) || !IsChannelIndex(t)) return;
    SetupRecord& setup = model.Setups[At(s)];
    // Copy the source first: c may be t's partner, and the level writes below must not be read
    // back as the source.
    const ChannelRecord src = setup.Channels[At(c)];
    ChannelRecord& dst = setup.Channels[At(t)];
    ChannelRecord& partner = setup.Channels[At(PartnerChannel(t))];

    if (withDelay) {
        dst.DelayOn = src.DelayOn;
        dst.DelayTime = src.DelayTime;
        dst.Trim = src.Trim;
    }
    dst.LevelLock = src.LevelLock;
    dst.LevelVal = src.LevelVal;
    partner.LevelLock = src.LevelLock;
    partner.LevelVal = src.LevelVal;
    dst.HighPassFreq = src.HighPassFreq;
    dst.HighPassLock = src.HighPassLock;
    dst.HighPassOn = src.HighPassOn;
    dst.HighPassSlope = src.HighPassSlope;
    dst.LowPassFreq = src.LowPassFreq;
    dst.LowPassLock = src.LowPassLock;
    dst.LowPassOn = src.LowPassOn;
    dst.LowPassSlope = src.LowPassSlope;
    dst.Mute = src.Mute;
    dst.EQBypass = src.EQBypass;
}

void CopyChannelEq(ParameterModel& model, int s, int c, int t) {
    if (!IsSetupIndex(s) || !IsChannelIndex(c) || !IsChannelIndex(t)) return;
    SetupRecord& setup = model.Setups[At(s)];
    const ChannelRecord& src = setup.Channels[At(c)];
    ChannelRecord& dst = setup.Channels[At(t)];
    if (&src == &dst) return;
    dst.CustomEQ = src.CustomEQ;  // every field of a point: Freq, Gain, Q, Bypass
    for (std::size_t b = 0; b < dst.EQBand.size(); ++b) dst.EQBand[b].Gain = src.EQBand[b].Gain;
    dst.EQBypass = src.EQBypass;
}

void ResetChannelStrip(ParameterModel& model, int c) {
    SetupRecord* setup = CurrentSetupOrNull(model);
    if (setup == nullptr || !IsChannelIndex(c)) return;
    const bool mode2 = model.Mode == 2;
    ResetOneStrip(*setup, c, mode2);
    if (PairLinked(setup->GroupFlag, c)) ResetOneStrip(*setup, PartnerChannel(c), mode2);
}

void ResetChannelEq(ParameterModel& model, int c) {
    SetupRecord* setup = CurrentSetupOrNull(model);
    if (setup == nullptr || !IsChannelIndex(c)) return;
    const bool mode2 = model.Mode == 2;
    ResetOneEq(*setup, c, mode2);
    // GroupEQFlag holds one bit per channel; "both bits of c's pair" are bits 2p and 2p+1.
    if (PairLinked(setup->GroupEQFlag, c)) ResetOneEq(*setup, PartnerChannel(c), mode2);
}

namespace {

bool SamePoint(const EqPoint& a, const EqPoint& b, bool withBypass) {
    return a.Freq == b.Freq && a.Gain == b.Gain && a.Q == b.Q &&
           (!withBypass || a.Bypass == b.Bypass);
}

bool SameChannelTune(const ChannelRecord& a, const ChannelRecord& b) {
    if (a.Mute != b.Mute || a.LevelVal != b.LevelVal || a.HighPassOn != b.HighPassOn ||
        a.HighPassFreq != b.HighPassFreq || a.HighPassSlope != b.HighPassSlope ||
        a.LowPassOn != b.LowPassOn || a.LowPassFreq != b.LowPassFreq ||
        a.LowPassSlope != b.LowPassSlope || a.DelayOn != b.DelayOn ||
        a.DelayTime != b.DelayTime || a.Trim != b.Trim || a.EQBypass != b.EQBypass) {
        return false;
    }
    for (std::size_t j = 0; j < a.CustomEQ.size(); ++j) {
        if (!SamePoint(a.CustomEQ[j], b.CustomEQ[j], true)) return false;
    }
    for (std::size_t j = 0; j < a.EQBand.size(); ++j) {
        if (!SamePoint(a.EQBand[j], b.EQBand[j], false)) return false;
    }
    return true;
}

}  // namespace

bool SameAmplifierTune(const std::array<SetupRecord, kSetupCount>& a,
                       const std::array<SetupRecord, kSetupCount>& b, int channelCount) {
    const int n = std::clamp(channelCount, 0, kChannelCount);
    for (std::size_t s = 0; s < a.size(); ++s) {
        for (int c = 0; c < n; ++c) {
            if (!SameChannelTune(a[s].Channels[At(c)], b[s].Channels[At(c)])) return false;
        }
    }
    return true;
}

}  // namespace vantrel
