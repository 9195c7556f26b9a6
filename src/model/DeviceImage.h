#pragma once

// Byte image of the amplifier's parameter memory, its value encodings, the full rebuild of a setup
// and the updates after single edits.
//
// Every writer here checks its setup, channel, band and point indices and writes nothing for one
// outside the image: setups 0..3, channels below ImageChannelCount(model) (never more than four),
// bands 0..26, custom points 0..3. A model with five or six channels keeps channels 5 and 6 in the
// model and in presets only; the image has no room for them.
//
// Arithmetic is in double throughout: the model's floats widen exactly, the filter constants carry
// more digits than a float holds, and each scaled value is truncated once, by the one encoder.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/ParameterModel.h"

namespace vantrel {

// --- Layout of the image (offsets from the start of the image) -----------------------------------

inline constexpr std::uint16_t kDeviceImageAddress = 20592;  // in the amplifier's memory
inline constexpr std::size_t kDeviceImageSize = 12176;

inline constexpr std::size_t kSwitchAreaOffset = 0;
inline constexpr std::size_t kSwitchRecordSize = 8;
inline constexpr int kSwitchRecordCount = 16;  // record = setup x 4 + channel
inline constexpr std::size_t kIdentityAreaOffset = 128;
inline constexpr std::size_t kIdentityAreaSize = 16;
inline constexpr std::size_t kModelCodeOffset = 137;  // amplifier model code, never written here
inline constexpr std::size_t kSetupImagesOffset = 144;
inline constexpr std::size_t kSetupImageSize = 3008;

inline constexpr std::size_t kPairSize = 8;
inline constexpr std::size_t kControlWordOffset = 0;  // within a pair; never written here
inline constexpr std::size_t kValueWordOffset = 4;
inline constexpr std::size_t kPairsPerSetup = kSetupImageSize / kPairSize;  // 376

// --- Layout of one setup image (offsets from the start of the setup image) ----------------------

inline constexpr std::size_t kDelayAreaOffset = 0;
inline constexpr std::size_t kDelayAreaSize = 32;  // the four delay pairs, always posted together
inline constexpr std::size_t kChannelEqOffset = 32;
inline constexpr std::size_t kChannelEqSize = 528;  // graphic EQ and custom points of a channel
inline constexpr std::size_t kGraphicEqSize = 432;
inline constexpr std::size_t kBandRecordSize = 16;  // two pairs; only the first one's value is ours
inline constexpr std::size_t kCustomPointsOffset = 464;
inline constexpr std::size_t kCustomPointSize = 24;
inline constexpr std::size_t kPointGainPair = 0;  // pair offsets within a custom point
inline constexpr std::size_t kPointQPair = 8;
inline constexpr std::size_t kPointFreqPair = 16;
inline constexpr std::size_t kHighPassOffset = 2456;  // channel 0; channel c lies 104 c lower
inline constexpr std::size_t kLowPassOffset = 2872;
inline constexpr std::size_t kCrossoverBlockSize = 104;
inline constexpr int kCrossoverSections = 4;
inline constexpr std::size_t kOutputGainOffset = 2976;

// --- Value words ---------------------------------------------------------------------------------

inline constexpr std::uint32_t kSectionSecondOrder = 1;
inline constexpr std::uint32_t kSectionFirstOrder = 0;
inline constexpr std::uint32_t kSectionInactive = 0xFFFFFFFFu;
inline constexpr std::uint32_t kCrossoverEnabled = 0x40000000u;
inline constexpr std::uint32_t kFreqWordFlag = 0x80000000u;  // set in every custom point frequency

inline constexpr double kDelayScale = 65536.0;      // ms
inline constexpr double kGainScale = 67108864.0;    // 2^26, dB and Q
inline constexpr double kFreqScale = 4096.0;        // Hz
inline constexpr double kUnitScale = 2147483648.0;  // 2^31: output gain, cos and coefficients

// Filter constants with the digits the amplifier's tables use.
inline constexpr double kSampleRate = 48000.0;
inline constexpr double kTwoPi = 6.28318530718;
inline constexpr double kPi = 3.14159265359;
inline constexpr double kHalfPi = 1.570796326795;

using DeviceImage = std::array<std::uint8_t, kDeviceImageSize>;

// One setup's 3008 bytes within a DeviceImage.
using SetupImage = std::span<std::uint8_t, kSetupImageSize>;
using ConstSetupImage = std::span<const std::uint8_t, kSetupImageSize>;

// Nothing for a setup outside 0..3.
std::optional<SetupImage> SetupImageOf(DeviceImage& image, int setup);
std::optional<ConstSetupImage> SetupImageOf(const DeviceImage& image, int setup);

// Offset helpers. They compute, they do not check: pass valid indices (the writers below check
// again, against the image size, before they touch a byte).
constexpr std::size_t SetupImageOffset(int setup) {
    return kSetupImagesOffset + kSetupImageSize * static_cast<std::size_t>(setup);
}
constexpr std::size_t SwitchRecordOffset(int setup, int channel) {
    return kSwitchAreaOffset +
           kSwitchRecordSize * static_cast<std::size_t>(setup * kImageChannelCount + channel);
}
// Within a setup image:
constexpr std::size_t DelayPairOffset(int channel) {
    return kDelayAreaOffset + kPairSize * static_cast<std::size_t>(channel);
}
constexpr std::size_t ChannelEqOffset(int channel) {
    return kChannelEqOffset + kChannelEqSize * static_cast<std::size_t>(channel);
}
constexpr std::size_t BandOffset(int channel, int band) {
    return ChannelEqOffset(channel) + kBandRecordSize * static_cast<std::size_t>(band);
}
constexpr std::size_t CustomPointOffset(int channel, int point) {
    return kCustomPointsOffset + kChannelEqSize * static_cast<std::size_t>(channel) +
           kCustomPointSize * static_cast<std::size_t>(point);
}
constexpr std::size_t HighPassOffset(int channel) {
    return kHighPassOffset - kCrossoverBlockSize * static_cast<std::size_t>(channel);
}
constexpr std::size_t LowPassOffset(int channel) {
    return kLowPassOffset - kCrossoverBlockSize * static_cast<std::size_t>(channel);
}
constexpr std::size_t OutputGainOffset(int channel) {
    return kOutputGainOffset + kPairSize * static_cast<std::size_t>(channel);
}
// Pairs of a crossover block, from the block's start.
constexpr std::size_t EnablePairOffset() { return 0; }
constexpr std::size_t CoefficientPairOffset(int section) {
    return kPairSize * static_cast<std::size_t>(1 + 3 * section);
}
constexpr std::size_t CosPairOffset(int section) {
    return kPairSize * static_cast<std::size_t>(2 + 3 * section);
}
constexpr std::size_t SectionTypePairOffset(int section) {
    return kPairSize * static_cast<std::size_t>(3 + 3 * section);
}

// A control word and its value word as they stand in the image.
struct ParamPair {
    std::uint32_t Control = 0;
    std::uint32_t Value = 0;
};

// Nothing when the pair at `offset` (from the image start) does not lie within the image.
std::optional<ParamPair> ReadParamPair(const DeviceImage& image, std::size_t offset);

// Switch record of one channel of one setup.
struct ChannelSwitches {
    std::uint8_t Level = 0;
    std::uint8_t DelayOn = 0;
    std::uint8_t StoredDelayOn = 0;  // byte 2: written by the store conversion only
    std::uint8_t EQBypass = 0;
    std::array<std::uint8_t, kCustomPointCount> CustomBypass{};
};
inline constexpr std::size_t kSwitchLevel = 0;
inline constexpr std::size_t kSwitchDelayOn = 1;
inline constexpr std::size_t kSwitchStoredDelayOn = 2;
inline constexpr std::size_t kSwitchEqBypass = 3;
inline constexpr std::size_t kSwitchCustomBypass = 4;  // + point

// Nothing for a setup outside 0..3 or a channel outside 0..3.
std::optional<ChannelSwitches> ReadChannelSwitches(const DeviceImage& image, int setup,
                                                   int channel);
bool WriteChannelSwitches(DeviceImage& image, int setup, int channel, const ChannelSwitches& sw);

// --- The encoder ---------------------------------------------------------------------------------

// Scaled value -> value word: truncated toward zero to a 64-bit integer, cut to its low 32 bits.
// NaN gives 0 and values beyond the 64-bit range saturate, so no input is undefined.
std::uint32_t EncodeValueWord(double scaled);
// Writes `word` big-endian into bytes 4..7 of the pair at `pairOffset` (from the image start).
// False, and nothing written, when the pair does not lie within the image.
bool StoreValueWord(DeviceImage& image, std::size_t pairOffset, std::uint32_t word);
// EncodeValueWord then StoreValueWord.
bool WriteValue(DeviceImage& image, std::size_t pairOffset, double scaled);
// The big-endian value word of the pair at `pairOffset`; 0 when it lies outside the image.
std::uint32_t LoadValueWord(const DeviceImage& image, std::size_t pairOffset);

// --- Values --------------------------------------------------------------------------------------

// The level byte: LevelVal truncated to 0..16 (NaN reads as 0).
std::uint8_t LevelByte(float levelVal);
// Output gain as a factor (1 = unity): 0 when muted; else 10^(-Trim/20), except that the gated
// variant gives unity while the delay section is off.
double OutputGainFactor(const ChannelRecord& ch, bool gated);
// 10^(-Trim/20): the factor the output gain carries whatever mute and delay say.
double TrimFactor(float trim);
// Custom point frequency word: Freq x 4096 with bit 31 set.
std::uint32_t CustomPointFreqWord(float hz);
// omega = 2 pi f / 48000.
double CrossoverOmega(double freqHz);
// Coefficient of a first-order section.
double FirstOrderCoefficient(double omega);
// Coefficient of a second-order section of angle theta, negated above a quarter of the rate.
double SecondOrderCoefficient(double omega, double theta);

enum class CrossoverKind : std::uint8_t { HighPass, LowPass };

// Writes the cos, coefficient and section-type words of one crossover block (not its enable pair)
// from a frequency, a slope in dB per octave and the on flag. `blockOffset` is from the image
// start; false and nothing written when the block does not lie within the image.
bool WriteCrossoverSections(DeviceImage& image, std::size_t blockOffset, double freqHz,
                            std::uint8_t slope, bool on);

// --- Rebuild and updates -------------------------------------------------------------------------

// Bytes to post with TM_SET_PARAMS_0 + slot, from the image start.
struct ImageRange {
    std::size_t Offset = 0;
    std::size_t Length = 0;
    friend bool operator==(const ImageRange&, const ImageRange&) = default;
};

// TM_SET_LEVEL_0 + slot: wParam = channel, lParam = level byte.
struct LevelMessage {
    int Channel = 0;
    std::uint8_t Level = 0;
    friend bool operator==(const LevelMessage&, const LevelMessage&) = default;
};

struct ImagePost {
    enum class Kind : std::uint8_t { Params, Level };
    Kind What = Kind::Params;
    ImageRange Range{};    // Params
    LevelMessage Level{};  // Level
};

// What an update asks to post, in post order. The worker keeps pending posts by range, so the
// slot a post travels on does not decide whether it is sent: there is no limit on the count.
class ImagePosts {
public:
    void AddRange(std::size_t offset, std::size_t length);
    void AddLevel(const LevelMessage& message);
    void Append(const ImagePosts& other);

    std::size_t Count() const { return m_posts.size(); }
    bool Empty() const { return m_posts.empty(); }
    const ImagePost& operator[](std::size_t i) const { return m_posts[i]; }
    auto begin() const { return m_posts.begin(); }
    auto end() const { return m_posts.end(); }

private:
    std::vector<ImagePost> m_posts;
};

// Recomputes setup `setup` from the model: per image channel the output gain (gated), both
// crossover blocks with their enable pairs, the delay, the band gains and the custom points; then
// the level bytes. Posts the whole 3008-byte setup image; nothing for a bad setup index.
ImagePosts RebuildSetupImage(DeviceImage& image, const ParameterModel& model, int setup);

// Updates after single edits. Values come from model.Setups[setup].Channels[channel]; each writes
// the words of setup `setup` only (normally the current one) and returns what to post, or nothing
// when it is skipped or an index is out of range.

// Level byte of the switch record; the level travels as a message of its own.
std::optional<LevelMessage> UpdateLevel(DeviceImage& image, const ParameterModel& model, int setup,
                                        int channel);
// Delay pair, only when DelayOn; posts the four delay pairs.
ImagePosts UpdateDelay(DeviceImage& image, const ParameterModel& model, int setup, int channel);
// Switch byte 1, delay pair (0 when off) and gated output gain; posts the delay pairs, then the
// output pair.
ImagePosts UpdateDelaySwitch(DeviceImage& image, const ParameterModel& model, int setup,
                             int channel);
// Gated output gain, only when DelayOn.
ImagePosts UpdateTrim(DeviceImage& image, const ParameterModel& model, int setup, int channel);
// Gated output gain.
ImagePosts UpdateChannelMute(DeviceImage& image, const ParameterModel& model, int setup,
                             int channel);
// Output gain (gated, as the rebuild writes it) of every image channel; one post per channel.
ImagePosts UpdateMasterMute(DeviceImage& image, const ParameterModel& model, int setup);
// Crossover block without its enable pair.
ImagePosts UpdateCrossover(DeviceImage& image, const ParameterModel& model, int setup, int channel,
                           CrossoverKind kind);
// Gain word of one graphic band; skipped while EQBypass.
ImagePosts UpdateBandGain(DeviceImage& image, const ParameterModel& model, int setup, int channel,
                          int band);
// Switch byte 3 and the 27 band gains (0 while bypassed); posts the graphic EQ.
ImagePosts UpdateEqBypass(DeviceImage& image, const ParameterModel& model, int setup, int channel);
// The 27 band gains after all bands of a channel were reset; posts the graphic EQ.
ImagePosts UpdateAllBandGains(DeviceImage& image, const ParameterModel& model, int setup,
                              int channel);
// Switch byte 4 + point and the point's gain word (0 while bypassed); posts the point.
ImagePosts UpdateCustomPointBypass(DeviceImage& image, const ParameterModel& model, int setup,
                                   int channel, int point);
// Gain word, Q word, frequency word of a custom point; each skipped while the point is bypassed.
ImagePosts UpdateCustomPointGain(DeviceImage& image, const ParameterModel& model, int setup,
                                 int channel, int point);
ImagePosts UpdateCustomPointQ(DeviceImage& image, const ParameterModel& model, int setup,
                              int channel, int point);
ImagePosts UpdateCustomPointFreq(DeviceImage& image, const ParameterModel& model, int setup,
                                 int channel, int point);
// Output gain (gated), band gains and custom points; posts the output pair, then the channel's
// 528 EQ bytes.
ImagePosts UpdateChannelEq(DeviceImage& image, const ParameterModel& model, int setup, int channel);
// After a pair link: output gain (gated), both crossovers, level and, when DelayOn, delay and
// trim. Posts output pair, high-pass, low-pass, the level message, then (DelayOn only) the delay
// pairs and the output pair again.
ImagePosts UpdateLinkedPairCopy(DeviceImage& image, const ParameterModel& model, int setup,
                                int channel);

// The range an edit of the byte at `at` (from a setup image's start) posts: the delay pairs, a
// band record, a custom point, a crossover block or an output pair.
ImageRange EditRangeInSetup(std::size_t at);

// After the tune changed from `before` to `after` as a whole (an undo, a comparison with the
// stored tune): in every setup the words of the values that changed are rewritten (the others
// keep what they hold, which may be the amplifier's own computation) and the switch records
// follow `after`; what differs in the current setup of `after` is posted range by range as
// single edits post it, then the level of every image channel whose level changed.
ImagePosts UpdateTuneChange(DeviceImage& image, const ParameterModel& before,
                            const ParameterModel& after);

}  // namespace vantrel
