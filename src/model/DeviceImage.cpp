#include "model/DeviceImage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {

namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

bool IsSetup(int s) { return s >= 0 && s < kSetupCount; }
bool IsBand(int b) { return b >= 0 && b < kEqBandCount; }
bool IsPoint(int j) { return j >= 0 && j < kCustomPointCount; }

// A channel the image of this model holds.
bool IsImageChannel(const ParameterModel& model, int c) {
    return c >= 0 && c < ImageChannelCount(model);
}

bool Fits(std::size_t offset, std::size_t length) {
    return offset <= kDeviceImageSize && length <= kDeviceImageSize - offset;
}

// The setup and channel an update works on, after all index checks; null when any fails.
const ChannelRecord* Channel(const ParameterModel& model, int s, int c) {
    if (!IsSetup(s) || !IsImageChannel(model, c)) return nullptr;
    return &model.Setups[At(s)].Channels[At(c)];
}

bool WriteSwitchByte(DeviceImage& image, int s, int c, std::size_t byte, std::uint8_t value) {
    if (!IsSetup(s) || c < 0 || c >= kImageChannelCount || byte >= kSwitchRecordSize) return false;
    image[SwitchRecordOffset(s, c) + byte] = value;
    return true;
}

std::uint8_t Flag(std::uint8_t v) { return v != 0 ? 1 : 0; }

double Gain(const EqPoint& p) { return static_cast<double>(p.Gain); }

void WriteOutputGain(DeviceImage& image, std::size_t base, int c, const ChannelRecord& ch,
                     bool gated) {
    WriteValue(image, base + OutputGainOffset(c), OutputGainFactor(ch, gated) * kUnitScale);
}

void WriteDelay(DeviceImage& image, std::size_t base, int c, const ChannelRecord& ch) {
    const double ms = ch.DelayOn != 0 ? static_cast<double>(ch.DelayTime) : 0.0;
    WriteValue(image, base + DelayPairOffset(c), ms * kDelayScale);
}

void WriteBandGains(DeviceImage& image, std::size_t base, int c, const ChannelRecord& ch) {
    for (int b = 0; b < kEqBandCount; ++b) {
        const double db = ch.EQBypass != 0 ? 0.0 : Gain(ch.EQBand[At(b)]);
        WriteValue(image, base + BandOffset(c, b), db * kGainScale);
    }
}

void WritePointGain(DeviceImage& image, std::size_t base, int c, int j, const EqPoint& p) {
    const double db = p.Bypass != 0 ? 0.0 : Gain(p);
    WriteValue(image, base + CustomPointOffset(c, j) + kPointGainPair, db * kGainScale);
}

void WritePointQ(DeviceImage& image, std::size_t base, int c, int j, const EqPoint& p) {
    WriteValue(image, base + CustomPointOffset(c, j) + kPointQPair,
               static_cast<double>(p.Q) * kGainScale);
}

void WritePointFreq(DeviceImage& image, std::size_t base, int c, int j, const EqPoint& p) {
    StoreValueWord(image, base + CustomPointOffset(c, j) + kPointFreqPair,
                   CustomPointFreqWord(p.Freq));
}

void WritePoint(DeviceImage& image, std::size_t base, int c, int j, const EqPoint& p) {
    WritePointGain(image, base, c, j, p);
    WritePointQ(image, base, c, j, p);
    WritePointFreq(image, base, c, j, p);
}

std::size_t CrossoverOffset(CrossoverKind kind, int c) {
    return kind == CrossoverKind::HighPass ? HighPassOffset(c) : LowPassOffset(c);
}

void WriteCrossover(DeviceImage& image, std::size_t base, int c, const ChannelRecord& ch,
                    CrossoverKind kind) {
    if (kind == CrossoverKind::HighPass) {
        WriteCrossoverSections(image, base + HighPassOffset(c),
                               static_cast<double>(ch.HighPassFreq), ch.HighPassSlope,
                               ch.HighPassOn != 0);
    } else {
        WriteCrossoverSections(image, base + LowPassOffset(c), static_cast<double>(ch.LowPassFreq),
                               ch.LowPassSlope, ch.LowPassOn != 0);
    }
}

}  // namespace

std::optional<SetupImage> SetupImageOf(DeviceImage& image, int setup) {
    if (!IsSetup(setup)) return std::nullopt;
    return SetupImage(image.data() + SetupImageOffset(setup), kSetupImageSize);
}

std::optional<ConstSetupImage> SetupImageOf(const DeviceImage& image, int setup) {
    if (!IsSetup(setup)) return std::nullopt;
    return ConstSetupImage(image.data() + SetupImageOffset(setup), kSetupImageSize);
}

std::optional<ParamPair> ReadParamPair(const DeviceImage& image, std::size_t offset) {
    if (!Fits(offset, kPairSize)) return std::nullopt;
    auto word = [&](std::size_t at) {
        return static_cast<std::uint32_t>(image[at]) << 24 |
               static_cast<std::uint32_t>(image[at + 1]) << 16 |
               static_cast<std::uint32_t>(image[at + 2]) << 8 |
               static_cast<std::uint32_t>(image[at + 3]);
    };
    return ParamPair{word(offset + kControlWordOffset), word(offset + kValueWordOffset)};
}

std::optional<ChannelSwitches> ReadChannelSwitches(const DeviceImage& image, int setup,
                                                   int channel) {
    if (!IsSetup(setup) || channel < 0 || channel >= kImageChannelCount) return std::nullopt;
    const std::uint8_t* r = image.data() + SwitchRecordOffset(setup, channel);
    ChannelSwitches sw;
    sw.Level = r[kSwitchLevel];
    sw.DelayOn = r[kSwitchDelayOn];
    sw.StoredDelayOn = r[kSwitchStoredDelayOn];
    sw.EQBypass = r[kSwitchEqBypass];
    for (std::size_t j = 0; j < sw.CustomBypass.size(); ++j) {
        sw.CustomBypass[j] = r[kSwitchCustomBypass + j];
    }
    return sw;
}

bool WriteChannelSwitches(DeviceImage& image, int setup, int channel, const ChannelSwitches& sw) {
    if (!IsSetup(setup) || channel < 0 || channel >= kImageChannelCount) return false;
    std::uint8_t* r = image.data() + SwitchRecordOffset(setup, channel);
    r[kSwitchLevel] = sw.Level;
    r[kSwitchDelayOn] = sw.DelayOn;
    r[kSwitchStoredDelayOn] = sw.StoredDelayOn;
    r[kSwitchEqBypass] = sw.EQBypass;
    for (std::size_t j = 0; j < sw.CustomBypass.size(); ++j) {
        r[kSwitchCustomBypass + j] = sw.CustomBypass[j];
    }
    return true;
}

std::uint32_t EncodeValueWord(double scaled) {
    // The cast from double to an integer is undefined outside the integer's range, and a model
    // read from a file can hold anything: NaN and out-of-range values are settled first.
    constexpr double kTwo63 = 9223372036854775808.0;
    std::int64_t whole = 0;
    if (std::isnan(scaled)) {
        whole = 0;
    } else if (scaled >= kTwo63) {
        whole = std::numeric_limits<std::int64_t>::max();
    } else if (scaled < -kTwo63) {
        whole = std::numeric_limits<std::int64_t>::min();
    } else {
        whole = static_cast<std::int64_t>(scaled);  // truncates toward zero
    }
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole) & 0xFFFFFFFFu);
}

bool StoreValueWord(DeviceImage& image, std::size_t pairOffset, std::uint32_t word) {
    if (!Fits(pairOffset, kPairSize)) return false;
    std::uint8_t* v = image.data() + pairOffset + kValueWordOffset;
    v[0] = static_cast<std::uint8_t>(word >> 24);
    v[1] = static_cast<std::uint8_t>(word >> 16);
    v[2] = static_cast<std::uint8_t>(word >> 8);
    v[3] = static_cast<std::uint8_t>(word);
    return true;
}

bool WriteValue(DeviceImage& image, std::size_t pairOffset, double scaled) {
    return StoreValueWord(image, pairOffset, EncodeValueWord(scaled));
}

std::uint32_t LoadValueWord(const DeviceImage& image, std::size_t pairOffset) {
    const std::optional<ParamPair> pair = ReadParamPair(image, pairOffset);
    return pair ? pair->Value : 0;
}

std::uint8_t LevelByte(float levelVal) {
    const double v = static_cast<double>(levelVal);
    if (!(v > 0.0)) return 0;  // also NaN
    if (v >= 16.0) return 16;
    return static_cast<std::uint8_t>(v);
}

double TrimFactor(float trim) { return std::pow(10.0, -static_cast<double>(trim) / 20.0); }

double OutputGainFactor(const ChannelRecord& ch, bool gated) {
    if (ch.Mute != 0) return 0.0;
    if (gated && ch.DelayOn == 0) return 1.0;
    return TrimFactor(ch.Trim);
}

std::uint32_t CustomPointFreqWord(float hz) {
    return EncodeValueWord(static_cast<double>(hz) * kFreqScale) | kFreqWordFlag;
}

double CrossoverOmega(double freqHz) { return kTwoPi * freqHz / kSampleRate; }

double FirstOrderCoefficient(double omega) {
    const double s = std::sin(omega);
    const double c = std::cos(omega);
    return (s + c - 1.0) / (c - s - 1.0);
}

double SecondOrderCoefficient(double omega, double theta) {
    const double b = 2.0 * std::sin(theta) * std::sin(omega);
    const double k = (2.0 - b) / (2.0 + b);
    return omega > kHalfPi ? -k : k;
}

bool WriteCrossoverSections(DeviceImage& image, std::size_t blockOffset, double freqHz,
                            std::uint8_t slope, bool on) {
    if (!Fits(blockOffset, kCrossoverBlockSize)) return false;
    const double omega = CrossoverOmega(freqHz);
    const int order = slope / 6;
    const std::uint32_t cosWord = EncodeValueWord(std::cos(omega) * kUnitScale);
    int left = order;
    for (int u = 0; u < kCrossoverSections; ++u) {
        double k = 0.0;
        std::uint32_t type = kSectionInactive;
        if (left == 1) {
            k = FirstOrderCoefficient(omega);
            type = kSectionFirstOrder;
            left = 0;
        } else if (left >= 2) {
            const double theta = (2.0 * (order / 2) - 2.0 * u - 1.0) * kPi / (2.0 * order);
            k = SecondOrderCoefficient(omega, theta);
            type = kSectionSecondOrder;
            left -= 2;
        }
        // An inactive section still carries its type and the cos word; the amplifier only skips it.
        if (!on) type = kSectionInactive;
        WriteValue(image, blockOffset + CoefficientPairOffset(u), k * kUnitScale);
        StoreValueWord(image, blockOffset + CosPairOffset(u), cosWord);
        StoreValueWord(image, blockOffset + SectionTypePairOffset(u), type);
    }
    return true;
}

void ImagePosts::AddRange(std::size_t offset, std::size_t length) {
    if (!Fits(offset, length)) return;
    ImagePost p;
    p.What = ImagePost::Kind::Params;
    p.Range = {offset, length};
    m_posts.push_back(p);
}

void ImagePosts::AddLevel(const LevelMessage& message) {
    ImagePost p;
    p.What = ImagePost::Kind::Level;
    p.Level = message;
    m_posts.push_back(p);
}

void ImagePosts::Append(const ImagePosts& other) {
    m_posts.insert(m_posts.end(), other.m_posts.begin(), other.m_posts.end());
}

ImagePosts RebuildSetupImage(DeviceImage& image, const ParameterModel& model, int setup) {
    ImagePosts posts;
    if (!IsSetup(setup)) return posts;
    const SetupRecord& rec = model.Setups[At(setup)];
    const std::size_t base = SetupImageOffset(setup);
    const std::uint32_t enable = rec.MasterMute == 0 ? kCrossoverEnabled : 0;
    const int count = ImageChannelCount(model);
    for (int c = 0; c < count; ++c) {
        const ChannelRecord& ch = rec.Channels[At(c)];
        WriteOutputGain(image, base, c, ch, true);
        WriteCrossover(image, base, c, ch, CrossoverKind::HighPass);
        StoreValueWord(image, base + HighPassOffset(c) + EnablePairOffset(), enable);
        WriteCrossover(image, base, c, ch, CrossoverKind::LowPass);
        StoreValueWord(image, base + LowPassOffset(c) + EnablePairOffset(), enable);
        WriteDelay(image, base, c, ch);
        WriteBandGains(image, base, c, ch);
        for (int j = 0; j < kCustomPointCount; ++j) {
            WritePoint(image, base, c, j, ch.CustomEQ[At(j)]);
        }
    }
    for (int c = 0; c < count; ++c) {
        WriteSwitchByte(image, setup, c, kSwitchLevel, LevelByte(rec.Channels[At(c)].LevelVal));
    }
    posts.AddRange(base, kSetupImageSize);
    return posts;
}

std::optional<LevelMessage> UpdateLevel(DeviceImage& image, const ParameterModel& model, int setup,
                                        int channel) {
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return std::nullopt;
    const std::uint8_t level = LevelByte(ch->LevelVal);
    WriteSwitchByte(image, setup, channel, kSwitchLevel, level);
    return LevelMessage{channel, level};
}

ImagePosts UpdateDelay(DeviceImage& image, const ParameterModel& model, int setup, int channel) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr || ch->DelayOn == 0) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteDelay(image, base, channel, *ch);
    posts.AddRange(base + kDelayAreaOffset, kDelayAreaSize);
    return posts;
}

ImagePosts UpdateDelaySwitch(DeviceImage& image, const ParameterModel& model, int setup,
                             int channel) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteSwitchByte(image, setup, channel, kSwitchDelayOn, Flag(ch->DelayOn));
    WriteDelay(image, base, channel, *ch);
    WriteOutputGain(image, base, channel, *ch, true);
    posts.AddRange(base + kDelayAreaOffset, kDelayAreaSize);
    posts.AddRange(base + OutputGainOffset(channel), kPairSize);
    return posts;
}

ImagePosts UpdateTrim(DeviceImage& image, const ParameterModel& model, int setup, int channel) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr || ch->DelayOn == 0) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteOutputGain(image, base, channel, *ch, true);
    posts.AddRange(base + OutputGainOffset(channel), kPairSize);
    return posts;
}

ImagePosts UpdateChannelMute(DeviceImage& image, const ParameterModel& model, int setup,
                             int channel) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteOutputGain(image, base, channel, *ch, true);
    posts.AddRange(base + OutputGainOffset(channel), kPairSize);
    return posts;
}

ImagePosts UpdateMasterMute(DeviceImage& image, const ParameterModel& model, int setup) {
    ImagePosts posts;
    if (!IsSetup(setup)) return posts;
    const std::size_t base = SetupImageOffset(setup);
    const int count = ImageChannelCount(model);
    for (int c = 0; c < count; ++c) {
        // Gated, as the full rebuild writes it: a trim applies only while its delay section is on.
        WriteOutputGain(image, base, c, model.Setups[At(setup)].Channels[At(c)], true);
        posts.AddRange(base + OutputGainOffset(c), kPairSize);
    }
    return posts;
}

ImagePosts UpdateCrossover(DeviceImage& image, const ParameterModel& model, int setup, int channel,
                           CrossoverKind kind) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteCrossover(image, base, channel, *ch, kind);
    posts.AddRange(base + CrossoverOffset(kind, channel), kCrossoverBlockSize);
    return posts;
}

ImagePosts UpdateBandGain(DeviceImage& image, const ParameterModel& model, int setup, int channel,
                          int band) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr || !IsBand(band) || ch->EQBypass != 0) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteValue(image, base + BandOffset(channel, band), Gain(ch->EQBand[At(band)]) * kGainScale);
    posts.AddRange(base + BandOffset(channel, band), kBandRecordSize);
    return posts;
}

ImagePosts UpdateEqBypass(DeviceImage& image, const ParameterModel& model, int setup, int channel) {
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return {};
    WriteSwitchByte(image, setup, channel, kSwitchEqBypass, Flag(ch->EQBypass));
    return UpdateAllBandGains(image, model, setup, channel);
}

ImagePosts UpdateAllBandGains(DeviceImage& image, const ParameterModel& model, int setup,
                              int channel) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteBandGains(image, base, channel, *ch);
    posts.AddRange(base + ChannelEqOffset(channel), kGraphicEqSize);
    return posts;
}

ImagePosts UpdateCustomPointBypass(DeviceImage& image, const ParameterModel& model, int setup,
                                   int channel, int point) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr || !IsPoint(point)) return posts;
    const EqPoint& p = ch->CustomEQ[At(point)];
    const std::size_t base = SetupImageOffset(setup);
    WriteSwitchByte(image, setup, channel, kSwitchCustomBypass + At(point), Flag(p.Bypass));
    WritePointGain(image, base, channel, point, p);
    posts.AddRange(base + CustomPointOffset(channel, point), kCustomPointSize);
    return posts;
}

namespace {

using PointWordWriter = void (*)(DeviceImage&, std::size_t, int, int, const EqPoint&);

// One word of a custom point that is not bypassed, and the range that carries it.
ImagePosts UpdateActivePointWord(DeviceImage& image, const ParameterModel& model, int setup,
                                 int channel, int point, PointWordWriter write,
                                 std::size_t postOffset, std::size_t postLength) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr || !IsPoint(point) || ch->CustomEQ[At(point)].Bypass != 0) return posts;
    const std::size_t base = SetupImageOffset(setup);
    write(image, base, channel, point, ch->CustomEQ[At(point)]);
    posts.AddRange(base + CustomPointOffset(channel, point) + postOffset, postLength);
    return posts;
}

}  // namespace

ImagePosts UpdateCustomPointGain(DeviceImage& image, const ParameterModel& model, int setup,
                                 int channel, int point) {
    return UpdateActivePointWord(image, model, setup, channel, point, WritePointGain, 0,
                                 kCustomPointSize);
}

ImagePosts UpdateCustomPointQ(DeviceImage& image, const ParameterModel& model, int setup,
                              int channel, int point) {
    return UpdateActivePointWord(image, model, setup, channel, point, WritePointQ, 0,
                                 kCustomPointSize);
}

ImagePosts UpdateCustomPointFreq(DeviceImage& image, const ParameterModel& model, int setup,
                                 int channel, int point) {
    return UpdateActivePointWord(image, model, setup, channel, point, WritePointFreq,
                                 kPointFreqPair, kPairSize);
}

ImagePosts UpdateChannelEq(DeviceImage& image, const ParameterModel& model, int setup,
                           int channel) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return posts;
    const std::size_t base = SetupImageOffset(setup);
    WriteOutputGain(image, base, channel, *ch, true);
    WriteBandGains(image, base, channel, *ch);
    for (int j = 0; j < kCustomPointCount; ++j) {
        WritePoint(image, base, channel, j, ch->CustomEQ[At(j)]);
    }
    posts.AddRange(base + OutputGainOffset(channel), kPairSize);
    posts.AddRange(base + ChannelEqOffset(channel), kChannelEqSize);
    return posts;
}

ImagePosts UpdateLinkedPairCopy(DeviceImage& image, const ParameterModel& model, int setup,
                                int channel) {
    ImagePosts posts;
    const ChannelRecord* ch = Channel(model, setup, channel);
    if (ch == nullptr) return posts;
    const std::size_t base = SetupImageOffset(setup);
    // Gated, as the full rebuild writes it; with the delay section on the last post sends the
    // same word again.
    WriteOutputGain(image, base, channel, *ch, true);
    WriteCrossover(image, base, channel, *ch, CrossoverKind::HighPass);
    WriteCrossover(image, base, channel, *ch, CrossoverKind::LowPass);
    const std::uint8_t level = LevelByte(ch->LevelVal);
    WriteSwitchByte(image, setup, channel, kSwitchLevel, level);
    posts.AddRange(base + OutputGainOffset(channel), kPairSize);
    posts.AddRange(base + HighPassOffset(channel), kCrossoverBlockSize);
    posts.AddRange(base + LowPassOffset(channel), kCrossoverBlockSize);
    posts.AddLevel({channel, level});
    if (ch->DelayOn != 0) {
        WriteDelay(image, base, channel, *ch);
        posts.AddRange(base + kDelayAreaOffset, kDelayAreaSize);
        posts.AddRange(base + OutputGainOffset(channel), kPairSize);
    }
    return posts;
}

ImageRange EditRangeInSetup(std::size_t at) {
    const auto within = [at](std::size_t start, std::size_t size) {
        return ImageRange{start + (at - start) / size * size, size};
    };
    const std::size_t eqEnd = ChannelEqOffset(kImageChannelCount);
    if (at < kChannelEqOffset) return {kDelayAreaOffset, kDelayAreaSize};
    if (at < eqEnd) {
        const std::size_t channel = ChannelEqOffset(static_cast<int>((at - kChannelEqOffset) /
                                                                     kChannelEqSize));
        if (at - channel < kGraphicEqSize) return within(channel, kBandRecordSize);
        return within(channel + kGraphicEqSize, kCustomPointSize);
    }
    if (at < kOutputGainOffset) return within(eqEnd, kCrossoverBlockSize);
    return within(kOutputGainOffset, kPairSize);
}

namespace {

bool SamePoint(const EqPoint& a, const EqPoint& b) {
    return a.Freq == b.Freq && a.Gain == b.Gain && a.Q == b.Q && a.Bypass == b.Bypass;
}

// Rewrites the words of setup `s` whose values changed from `was` to `now`, and its switch
// records. Words of values that did not change stay as they are: they may hold what the
// amplifier itself computed, which the model's grids cannot always give back exactly.
void RewriteChangedWords(DeviceImage& image, const SetupRecord& was, const SetupRecord& now,
                         int s, int count) {
    const std::size_t base = SetupImageOffset(s);
    const std::uint32_t enable = now.MasterMute == 0 ? kCrossoverEnabled : 0;
    for (int c = 0; c < count; ++c) {
        const ChannelRecord& a = was.Channels[At(c)];
        const ChannelRecord& b = now.Channels[At(c)];
        if (a.Mute != b.Mute || a.Trim != b.Trim || a.DelayOn != b.DelayOn) {
            WriteOutputGain(image, base, c, b, true);
        }
        if (a.HighPassOn != b.HighPassOn || a.HighPassFreq != b.HighPassFreq ||
            a.HighPassSlope != b.HighPassSlope) {
            WriteCrossover(image, base, c, b, CrossoverKind::HighPass);
        }
        if (a.LowPassOn != b.LowPassOn || a.LowPassFreq != b.LowPassFreq ||
            a.LowPassSlope != b.LowPassSlope) {
            WriteCrossover(image, base, c, b, CrossoverKind::LowPass);
        }
        if (was.MasterMute != now.MasterMute) {
            StoreValueWord(image, base + HighPassOffset(c) + EnablePairOffset(), enable);
            StoreValueWord(image, base + LowPassOffset(c) + EnablePairOffset(), enable);
        }
        if (a.DelayOn != b.DelayOn || a.DelayTime != b.DelayTime) WriteDelay(image, base, c, b);
        const bool bandsChanged =
            a.EQBypass != b.EQBypass ||
            !std::equal(a.EQBand.begin(), a.EQBand.end(), b.EQBand.begin(),
                        [](const EqPoint& x, const EqPoint& y) { return x.Gain == y.Gain; });
        if (bandsChanged) WriteBandGains(image, base, c, b);
        for (int j = 0; j < kCustomPointCount; ++j) {
            if (!SamePoint(a.CustomEQ[At(j)], b.CustomEQ[At(j)])) {
                WritePoint(image, base, c, j, b.CustomEQ[At(j)]);
            }
        }
        // The switches the single edits keep, so the image compares equal to a stored one of
        // the same tune.
        ChannelSwitches sw = ReadChannelSwitches(image, s, c).value_or(ChannelSwitches{});
        sw.Level = LevelByte(b.LevelVal);
        sw.DelayOn = b.DelayOn;
        sw.EQBypass = b.EQBypass;
        for (int j = 0; j < kCustomPointCount; ++j) {
            sw.CustomBypass[At(j)] = b.CustomEQ[At(j)].Bypass;
        }
        WriteChannelSwitches(image, s, c, sw);
    }
}

}  // namespace

ImagePosts UpdateTuneChange(DeviceImage& image, const ParameterModel& before,
                            const ParameterModel& after) {
    ImagePosts posts;
    const int current = after.CurrentSetupIndex;
    if (!IsSetup(current)) return posts;
    const std::size_t base = SetupImageOffset(current);
    std::array<std::uint8_t, kSetupImageSize> old{};
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(base), kSetupImageSize, old.begin());

    const int count = ImageChannelCount(after);
    for (int s = 0; s < kSetupCount; ++s) {
        RewriteChangedWords(image, before.Setups[At(s)], after.Setups[At(s)], s, count);
    }

    for (std::size_t at = 0; at < kSetupImageSize; ++at) {
        if (old[at] == image[base + at]) continue;
        const ImageRange range = EditRangeInSetup(at);
        posts.AddRange(base + range.Offset, range.Length);
        at = range.Offset + range.Length - 1;  // the range is posted whole
    }
    for (int c = 0; c < count; ++c) {
        const std::uint8_t level = LevelByte(after.Setups[At(current)].Channels[At(c)].LevelVal);
        const bool changed =
            before.CurrentSetupIndex != current ||
            LevelByte(before.Setups[At(current)].Channels[At(c)].LevelVal) != level;
        if (changed) posts.AddLevel({c, level});
    }
    return posts;
}

}  // namespace vantrel
