#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel {

inline constexpr int kSetupCount = 4;
inline constexpr int kChannelCount = 6;
inline constexpr int kCustomPointCount = 4;
inline constexpr int kEqBandCount = 27;
inline constexpr int kChannelMarkCount = 21;
// The amplifier's parameter memory holds four channels per setup.
inline constexpr int kImageChannelCount = 4;

struct EqPoint {
    float Freq = 1000.0f;  // Hz
    float Gain = 0.0f;     // dB
    float Q = 3.0f;
    std::uint8_t Bypass = 0;  // custom points only
};

struct ChannelRecord {
    std::uint8_t Mute = 0;
    std::uint8_t LevelLock = 0;
    float LevelVal = 1.0f;  // whole level steps 0..16
    std::uint8_t HighPassOn = 0;
    std::uint8_t HighPassLock = 0;
    float HighPassFreq = 50.0f;
    std::uint8_t HighPassSlope = 6;  // dB per octave: 6, 12, 24, 36 or 48
    std::uint8_t LowPassOn = 0;
    std::uint8_t LowPassLock = 0;
    float LowPassFreq = 10000.0f;
    std::uint8_t LowPassSlope = 6;
    std::uint8_t DelayOn = 0;
    float DelayTime = 0.0f;  // ms, 0..20
    float Trim = 0.0f;       // dB of attenuation, 0..30
    std::array<EqPoint, kCustomPointCount> CustomEQ{};
    std::array<EqPoint, kEqBandCount> EQBand{};
    std::uint8_t EQBypass = 0;
};

struct SetupRecord {
    std::uint8_t MasterMute = 0;
    std::uint8_t Reserved = 0;
    std::uint8_t GroupFlag = 0x15;   // two bits per channel pair
    std::uint8_t GroupEQFlag = 0x01;  // one bit per channel
    std::array<ChannelRecord, kChannelCount> Channels{};
    // Each channel's speaker distance to the listening position in cm, as measured for time
    // alignment; 0 when not measured. The amplifier never sees it.
    std::array<float, kChannelCount> Distance{};
};

struct ParameterModel {
    std::array<SetupRecord, kSetupCount> Setups{};
    std::int32_t CurrentSetupIndex = 0;
    std::uint8_t ANS = 255;
    std::uint8_t ChannelNum = 4;
    std::uint8_t Mode = 0;
    std::array<std::int32_t, kChannelCount> MarkIndex{};  // 0..20 into ChannelMarkList

    SetupRecord& CurrentSetup() { return Setups[static_cast<std::size_t>(CurrentSetupIndex)]; }
    const SetupRecord& CurrentSetup() const {
        return Setups[static_cast<std::size_t>(CurrentSetupIndex)];
    }
};

// Channel-mark names, index 0..20: "Not used", then FL, FR, RL, RR, C each with Full, Tweeter,
// Midrange, Woofer.
extern const std::array<const char*, kChannelMarkCount> ChannelMarkList;
// Centre frequencies of the 27 graphic bands, Hz, band 1 first.
extern const std::array<int, kEqBandCount> EqBandFrequencies;

// ChannelNum with 1 counted as 2: the number of channels every loop over a setup covers.
int EffectiveChannelCount(const ParameterModel& model);
// The channels of a setup that have a place in the device image: the effective count, at most
// four. A six-channel model keeps channels 5 and 6 in the model and presets only.
int ImageChannelCount(const ParameterModel& model);
// The other channel of c's pair: c + 1 for even c, c - 1 for odd c.
int PartnerChannel(int c);
// Channels of pair p that an edit of the pair strip reaches: 2p when its GroupFlag bit is set,
// then 2p + 1 when its bit is set.
std::vector<int> PairTargets(std::uint8_t groupFlag, int pair);
// The channel the strip of pair p shows: 2p + 1 when its bit is set, else 2p.
int ShownStripChannel(std::uint8_t groupFlag, int pair);

// The setups hold the same tune for the amplifier: every value the amplifier plays (mute, level,
// filters, delay section, EQ) of the first `channelCount` channels of each setup. Locks, the
// group flags and MasterMute are the window's own and are not compared.
bool SameAmplifierTune(const std::array<SetupRecord, kSetupCount>& a,
                       const std::array<SetupRecord, kSetupCount>& b, int channelCount);

// Start values of all four setups and all six channels; ANS 255.
void InitSetups(ParameterModel& model);
// Reset values for setup `s` (first effective-channel-count channels only, custom point Bypass
// kept); ANS 255. The display refresh is the caller's.
void ResetSetup(ParameterModel& model, int s);
// Copies strip settings from channel c to t in setup s (level and level lock also to t's partner).
void CopyChannelStrip(ParameterModel& model, int s, int c, int t, bool withDelay);
// Copies custom points, band gains and EQBypass from channel c to t in setup s.
void CopyChannelEq(ParameterModel& model, int s, int c, int t);
// Reset of one channel's strip in the current setup, and of its partner when the pair is linked
// (GroupFlag); EQ settings stay.
void ResetChannelStrip(ParameterModel& model, int c);
// Reset of one channel's EQ in the current setup, and of its partner when both its GroupEQFlag
// pair bits are set; unmutes the channel; custom point Bypass stays.
void ResetChannelEq(ParameterModel& model, int c);

}  // namespace vantrel
