#include "model/SetupTransfer.h"

#include <cmath>

#include "model/Scales.h"

namespace vantrel {

namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

std::uint8_t Flag(std::uint8_t v) { return v != 0 ? 1 : 0; }

std::int32_t Signed(std::uint32_t word) {
    return static_cast<std::int32_t>(word);  // two's complement, defined since C++20
}

// Limits that also catch NaN: whatever is not within or above the range takes the lower limit.
double Limit(double x, double lo, double hi) {
    if (x > hi) return hi;
    if (!(x >= lo)) return lo;
    return x;
}

float Store(double x) { return static_cast<float>(x) + 0.0f; }  // + 0 turns -0 into 0

// truncate(x / step + 0.5) x step, then limited.
float OnGrid(double x, double step, double lo, double hi) {
    return Store(Limit(std::trunc(x / step + 0.5) * step, lo, hi));
}

constexpr std::uint8_t kSlopes[] = {6, 12, 24, 36, 48};  // by section count, see below

// --- store ---

void StoreChannel(DeviceImage& image, int s, int c, const ChannelRecord& ch) {
    ChannelSwitches sw;
    sw.Level = LevelByte(ch.LevelVal);
    sw.DelayOn = Flag(ch.DelayOn);
    sw.StoredDelayOn = Flag(ch.DelayOn);
    sw.EQBypass = Flag(ch.EQBypass);
    for (std::size_t j = 0; j < sw.CustomBypass.size(); ++j) {
        sw.CustomBypass[j] = Flag(ch.CustomEQ[j].Bypass);
    }
    WriteChannelSwitches(image, s, c, sw);

    const std::size_t base = SetupImageOffset(s);
    WriteValue(image, base + DelayPairOffset(c), static_cast<double>(ch.DelayTime) * kDelayScale);
    WriteValue(image, base + OutputGainOffset(c), TrimFactor(ch.Trim) * kUnitScale);
    WriteCrossoverSections(image, base + HighPassOffset(c), static_cast<double>(ch.HighPassFreq),
                           ch.HighPassSlope, ch.HighPassOn != 0);
    WriteCrossoverSections(image, base + LowPassOffset(c), static_cast<double>(ch.LowPassFreq),
                           ch.LowPassSlope, ch.LowPassOn != 0);
    for (int j = 0; j < kCustomPointCount; ++j) {
        const EqPoint& p = ch.CustomEQ[At(j)];
        const std::size_t point = base + CustomPointOffset(c, j);
        WriteValue(image, point + kPointGainPair, static_cast<double>(p.Gain) * kGainScale);
        WriteValue(image, point + kPointQPair, static_cast<double>(p.Q) * kGainScale);
        StoreValueWord(image, point + kPointFreqPair, CustomPointFreqWord(p.Freq));
    }
    for (int b = 0; b < kEqBandCount; ++b) {
        WriteValue(image, base + BandOffset(c, b),
                   static_cast<double>(ch.EQBand[At(b)].Gain) * kGainScale);
    }
}

// The fields the store conversion reads; the worker keeps its own copy of them.
void CopyStoredFields(const ChannelRecord& from, ChannelRecord& to) {
    to.Mute = from.Mute;
    to.LevelVal = from.LevelVal;
    to.DelayOn = from.DelayOn;
    to.DelayTime = from.DelayTime;
    to.Trim = from.Trim;
    to.HighPassOn = from.HighPassOn;
    to.HighPassFreq = from.HighPassFreq;
    to.HighPassSlope = from.HighPassSlope;
    to.LowPassOn = from.LowPassOn;
    to.LowPassFreq = from.LowPassFreq;
    to.LowPassSlope = from.LowPassSlope;
    to.EQBypass = from.EQBypass;
    to.CustomEQ = from.CustomEQ;  // every field of a point: Freq, Gain, Q, Bypass
    for (std::size_t b = 0; b < to.EQBand.size(); ++b) to.EQBand[b].Gain = from.EQBand[b].Gain;
}

// --- download ---

struct Crossover {
    std::uint8_t On = 0;
    float Freq = 0.0f;
    std::uint8_t Slope = 6;
};

Crossover ReadCrossover(const DeviceImage& image, std::size_t block) {
    Crossover x;
    // A signed word over 2^31 lies in [-1, 1) already; the limit keeps acos defined regardless.
    const double cosValue =
        Limit(Signed(LoadValueWord(image, block + CosPairOffset(0))) / kUnitScale, -1.0, 1.0);
    const double omega = std::acos(cosValue);
    x.Freq = Store(Limit(omega * kSampleRate / kTwoPi, kMinFreq, kMaxFreq));

    int active = 0;
    while (active < kCrossoverSections &&
           LoadValueWord(image, block + SectionTypePairOffset(active)) != kSectionInactive) {
        ++active;
    }
    if (active > 0) {
        x.On = 1;
        if (active == 1) {
            const bool secondOrder = LoadValueWord(image, block + SectionTypePairOffset(0)) != 0;
            x.Slope = secondOrder ? 12 : 6;
        } else {
            x.Slope = kSlopes[active];
        }
        return x;
    }

    // A filter that is off keeps its coefficients: they tell its slope.
    int nonZero = 0;
    while (nonZero < kCrossoverSections &&
           LoadValueWord(image, block + CoefficientPairOffset(nonZero)) != 0) {
        ++nonZero;
    }
    if (nonZero == 1) {
        const double k =
            Signed(LoadValueWord(image, block + CoefficientPairOffset(0))) / kUnitScale;
        const double k1 = FirstOrderCoefficient(omega);
        const double k2 = SecondOrderCoefficient(omega, kPi / 4.0);
        x.Slope = std::fabs(k2 - k) < std::fabs(k1 - k) ? 12 : 6;
    } else {
        x.Slope = nonZero == 0 ? 6 : kSlopes[nonZero];
    }
    return x;
}

void DownloadChannel(const DeviceImage& image, int s, int c, ChannelRecord& ch) {
    const std::size_t base = SetupImageOffset(s);
    const ChannelSwitches sw = ReadChannelSwitches(image, s, c).value_or(ChannelSwitches{});

    ch.DelayOn = Flag(sw.DelayOn);
    ch.DelayTime = Store(
        Limit(Signed(LoadValueWord(image, base + DelayPairOffset(c))) / kDelayScale, 0.0, 20.0));
    // Unsigned: unity gain is 0x80000000, which read signed is -1 and has no logarithm. A channel
    // muted by a single edit has gain 0 and no trim left to tell; it gets the largest attenuation.
    const double gain = LoadValueWord(image, base + OutputGainOffset(c)) / kUnitScale;
    ch.Trim = gain > 0.0 ? Store(Limit(20.0 * std::log10(1.0 / gain), 0.0, 30.0)) : 30.0f;
    ch.LevelVal = static_cast<float>(sw.Level > 16 ? 16 : sw.Level);
    ch.EQBypass = Flag(sw.EQBypass);

    for (int b = 0; b < kEqBandCount; ++b) {
        const double db = Signed(LoadValueWord(image, base + BandOffset(c, b))) / kGainScale;
        ch.EQBand[At(b)].Gain = Store(Limit(db, -15.0, 6.0));
    }
    for (int j = 0; j < kCustomPointCount; ++j) {
        EqPoint& p = ch.CustomEQ[At(j)];
        const std::size_t point = base + CustomPointOffset(c, j);
        p.Bypass = Flag(sw.CustomBypass[At(j)]);
        const std::uint32_t freq = LoadValueWord(image, point + kPointFreqPair) & ~kFreqWordFlag;
        p.Freq = Store(Limit(freq / kFreqScale, kMinFreq, kMaxFreq));
        p.Gain = Store(
            Limit(Signed(LoadValueWord(image, point + kPointGainPair)) / kGainScale, -24.0, 6.0));
        p.Q =
            Store(Limit(Signed(LoadValueWord(image, point + kPointQPair)) / kGainScale, 0.4, 24.0));
    }

    // Bits 6 and 7 of the enable word's first byte clear: the amplifier has the channel muted.
    const std::uint32_t enable =
        LoadValueWord(image, base + HighPassOffset(c) + EnablePairOffset());
    ch.Mute = (enable >> 24 & 0xC0u) == 0 ? 1 : 0;

    const Crossover hp = ReadCrossover(image, base + HighPassOffset(c));
    ch.HighPassOn = hp.On;
    ch.HighPassFreq = hp.Freq;
    ch.HighPassSlope = hp.Slope;
    const Crossover lp = ReadCrossover(image, base + LowPassOffset(c));
    ch.LowPassOn = lp.On;
    ch.LowPassFreq = lp.Freq;
    ch.LowPassSlope = lp.Slope;
}

// --- takeover ---

void TakeOverChannel(const ChannelRecord& from, ChannelRecord& to, std::uint8_t mode) {
    to.Mute = from.Mute;
    to.EQBypass = from.EQBypass;
    to.DelayOn = from.DelayOn;
    to.DelayTime = OnGrid(from.DelayTime, 0.02, 0.0, 20.0);
    to.Trim = OnGrid(from.Trim, 0.1, 0.0, 30.0);
    to.LevelVal = OnGrid(Limit(from.LevelVal, 0.0, 16.0), 1.0, 0.0, 16.0);
    to.HighPassOn = from.HighPassOn;
    to.HighPassSlope = from.HighPassSlope;
    to.LowPassOn = from.LowPassOn;
    to.LowPassSlope = from.LowPassSlope;
    to.HighPassFreq = QuantizeCrossoverFreq(from.HighPassFreq, mode);
    to.LowPassFreq = QuantizeCrossoverFreq(from.LowPassFreq, mode);
    for (std::size_t j = 0; j < to.CustomEQ.size(); ++j) {
        to.CustomEQ[j].Bypass = from.CustomEQ[j].Bypass;
        to.CustomEQ[j].Freq = QuantizeCrossoverFreq(from.CustomEQ[j].Freq, mode);
        to.CustomEQ[j].Gain = from.CustomEQ[j].Gain;
        to.CustomEQ[j].Q = from.CustomEQ[j].Q;
    }
    for (std::size_t b = 0; b < to.EQBand.size(); ++b) to.EQBand[b].Gain = from.EQBand[b].Gain;
}

// A channel the amplifier does not have; locks, marks and the band frequencies stay.
void ResetAbsentChannel(ChannelRecord& ch) {
    ch.Mute = 0;
    ch.EQBypass = 0;
    ch.DelayOn = 0;
    ch.DelayTime = 0.0f;
    ch.Trim = 0.0f;
    ch.LevelVal = 0.0f;
    ch.HighPassOn = 0;
    ch.HighPassFreq = 50.0f;
    ch.HighPassSlope = 6;
    ch.LowPassOn = 0;
    ch.LowPassFreq = 10000.0f;
    ch.LowPassSlope = 6;
    for (EqPoint& p : ch.CustomEQ) {
        p.Bypass = 0;
        p.Freq = 1000.0f;
        p.Gain = 0.0f;
        p.Q = 3.0f;
    }
    for (EqPoint& band : ch.EQBand) band.Gain = 0.0f;
}

}  // namespace

int TransferChannelCount(std::uint8_t channelCode) {
    // The one rule for the channel count lives with the model; the code is read like ChannelNum.
    ParameterModel probe;
    probe.ChannelNum = channelCode;
    return ImageChannelCount(probe);
}

int ActiveSetupIndex(std::uint8_t activeSetup) {
    return activeSetup < kSetupCount ? activeSetup : 0;
}

void StoreConversion(const SetupArray& window, SetupArray& worker, DeviceImage& image,
                     std::uint8_t channelCode) {
    const int count = TransferChannelCount(channelCode);
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < count; ++c) {
            const ChannelRecord& ch = window[At(s)].Channels[At(c)];
            StoreChannel(image, s, c, ch);
            CopyStoredFields(ch, worker[At(s)].Channels[At(c)]);
        }
    }
}

void DownloadConversion(const DeviceImage& image, std::uint8_t channelCode, SetupArray& worker) {
    const int count = TransferChannelCount(channelCode);
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < count; ++c) DownloadChannel(image, s, c, worker[At(s)].Channels[At(c)]);
    }
}

const DeviceModelEntry* TakeOverSetups(ParameterModel& window, const SetupArray& downloaded,
                                       const DeviceImage& image, std::uint8_t noiseKiller,
                                       std::uint8_t activeSetup, const DeviceCatalogue& catalogue) {
    const DeviceModelEntry* entry =
        ApplyCatalogueEntry(catalogue, image[kModelCodeOffset], window.ChannelNum, window.Mode);
    window.ANS = noiseKiller;

    const int effective = EffectiveChannelCount(window);
    const int copied = ImageChannelCount(window);
    for (int s = 0; s < kSetupCount; ++s) {
        SetupRecord& setup = window.Setups[At(s)];
        bool allMuted = true;
        for (int c = 0; c < copied; ++c) {
            TakeOverChannel(downloaded[At(s)].Channels[At(c)], setup.Channels[At(c)], window.Mode);
            allMuted = allMuted && setup.Channels[At(c)].Mute != 0;
        }
        for (int c = effective; c < kChannelCount; ++c) ResetAbsentChannel(setup.Channels[At(c)]);
        setup.MasterMute = allMuted ? 1 : 0;
        const bool single = window.ChannelNum == 1;
        setup.GroupFlag = single ? 0x03 : 0x15;
        setup.GroupEQFlag = single ? 0x03 : 0x01;
    }
    window.CurrentSetupIndex = ActiveSetupIndex(activeSetup);
    return entry;
}

}  // namespace vantrel
