#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/Scales.h"
#include "model/SetupTransfer.h"
#include "support/Hex.h"
#include "support/PatternImage.h"

namespace vantrel {
namespace {

using test::Hex;

std::size_t At(int i) { return static_cast<std::size_t>(i); }

std::string ValueHex(const DeviceImage& image, std::size_t pairOffset) {
    return Hex(image.data() + pairOffset + kValueWordOffset, 4);
}

using test::PatternImage;

// A grid frequency 10^(1 + 0.01 k), as the model holds it.
float GridFreq(int k) { return QuantizeCrossoverFreq(std::pow(10.0, 1.0 + 0.01 * k), 0); }

constexpr std::uint8_t kSlopes[] = {6, 12, 24, 36, 48};

// Tunes for the round trip, each over all four setups and four channels; `i` runs over them.
using Tune = std::function<void(ChannelRecord&, int i)>;

void EverySlope(ChannelRecord& ch, int i, std::uint8_t on) {
    ch.HighPassOn = on;
    ch.HighPassSlope = kSlopes[i % 5];
    ch.HighPassFreq = GridFreq(20 + 19 * i);  // 16 Hz to 20893 Hz, across 12000 Hz
    ch.LowPassOn = on;
    ch.LowPassSlope = kSlopes[(i + 1) % 5];
    ch.LowPassFreq = GridFreq(330 - 19 * i);
}

const struct {
    const char* name;
    Tune tune;
} kTunes[] = {
    {"every slope, on", [](ChannelRecord& ch, int i) { EverySlope(ch, i, 1); }},
    {"every slope, off", [](ChannelRecord& ch, int i) { EverySlope(ch, i, 0); }},
    {"one filter on, one off",
     [](ChannelRecord& ch, int i) {
         EverySlope(ch, i, 1);
         (i % 2 == 0 ? ch.HighPassOn : ch.LowPassOn) = 0;
     }},
    {"bypasses, muted channel, delay off",
     [](ChannelRecord& ch, int i) {
         ch.Mute = i % 3 == 0 ? 1 : 0;
         ch.EQBypass = i % 2 == 0 ? 1 : 0;
         for (int j = 0; j < kCustomPointCount; ++j) {
             ch.CustomEQ[At(j)].Bypass = (i + j) % 2 == 0 ? 1 : 0;
             ch.CustomEQ[At(j)].Gain = QuantizeEqGain(-1.3 * (i + j));
         }
         for (int b = 0; b < kEqBandCount; ++b) {
             ch.EQBand[At(b)].Gain = QuantizeEqGain(-0.7 * b + 4);
         }
         ch.DelayOn = i % 4 == 1 ? 1 : 0;
         ch.DelayTime = QuantizeDelayTime(0.38 * i);
         ch.Trim = QuantizeTrim(-1.7 * i);
         ch.LevelVal = static_cast<float>(i);
     }},
    {"limits",
     [](ChannelRecord& ch, int i) {
         const bool high = i % 2 == 0;
         ch.DelayOn = 1;
         ch.DelayTime = high ? 20.0f : 0.0f;
         ch.Trim = high ? 30.0f : 0.0f;
         ch.LevelVal = high ? 16.0f : 0.0f;
         ch.HighPassOn = 1;
         ch.HighPassFreq = high ? 20893.0f : 16.0f;
         for (EqPoint& p : ch.CustomEQ) {
             p.Freq = high ? 20893.0f : 16.0f;
             p.Gain = high ? 6.0f : -24.0f;
             p.Q = high ? 24.0f : 0.4f;
         }
         for (EqPoint& band : ch.EQBand) band.Gain = high ? 6.0f : -15.0f;
     }},
};

SetupArray Tuned(const Tune& tune) {
    SetupArray setups{};
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < kImageChannelCount; ++c) {
            ChannelRecord& ch = setups[At(s)].Channels[At(c)];
            for (int j = 0; j < kCustomPointCount; ++j) {
                ch.CustomEQ[At(j)].Freq = GridFreq(100 + 60 * j + 7 * c + s);
                ch.CustomEQ[At(j)].Q = QuantizeQ(0.7 + 3.1 * j + c);
                ch.CustomEQ[At(j)].Gain = QuantizeEqGain(1.1 * j - 2 * s);
            }
            tune(ch, s * kImageChannelCount + c);
        }
    }
    return setups;
}

float OnGrid(float hz) { return QuantizeCrossoverFreq(hz, 0); }

// Fields the two conversions carry that do not match within their grids.
std::string Differences(const ChannelRecord& want, const ChannelRecord& got) {
    std::string out;
    auto check = [&](bool same, const std::string& field) {
        if (!same) out += field + " ";
    };
    auto near = [](float a, float b, double tolerance) {
        return std::fabs(static_cast<double>(a) - static_cast<double>(b)) <= tolerance;
    };
    check(want.LevelVal == got.LevelVal, "LevelVal");
    check(want.DelayOn == got.DelayOn, "DelayOn");
    check(QuantizeDelayTime(got.DelayTime) == QuantizeDelayTime(want.DelayTime), "DelayTime");
    check(QuantizeTrim(-got.Trim) == QuantizeTrim(-want.Trim), "Trim");
    check(want.EQBypass == got.EQBypass, "EQBypass");
    check(want.HighPassOn == got.HighPassOn, "HighPassOn");
    check(want.HighPassSlope == got.HighPassSlope, "HighPassSlope");
    check(OnGrid(got.HighPassFreq) == OnGrid(want.HighPassFreq), "HighPassFreq");
    check(want.LowPassOn == got.LowPassOn, "LowPassOn");
    check(want.LowPassSlope == got.LowPassSlope, "LowPassSlope");
    check(OnGrid(got.LowPassFreq) == OnGrid(want.LowPassFreq), "LowPassFreq");
    for (int j = 0; j < kCustomPointCount; ++j) {
        const EqPoint& w = want.CustomEQ[At(j)];
        const EqPoint& g = got.CustomEQ[At(j)];
        const std::string point = "CustomEQ[" + std::to_string(j) + "].";
        check(w.Bypass == g.Bypass, point + "Bypass");
        check(near(w.Freq, g.Freq, 1.0 / 4096), point + "Freq");
        check(near(w.Gain, g.Gain, 1e-6), point + "Gain");
        check(near(w.Q, g.Q, 1e-6), point + "Q");
    }
    for (int b = 0; b < kEqBandCount; ++b) {
        check(near(want.EQBand[At(b)].Gain, got.EQBand[At(b)].Gain, 1e-6),
              "EQBand[" + std::to_string(b) + "]");
    }
    return out;
}

TEST(SetupTransfer, StoreThenDownloadCarriesEveryField) {
    for (const auto& t : kTunes) {
        const SetupArray window = Tuned(t.tune);
        SetupArray worker{};
        DeviceImage image = PatternImage();
        StoreConversion(window, worker, image, 4);
        SetupArray downloaded{};
        DownloadConversion(image, 4, downloaded);
        for (int s = 0; s < kSetupCount; ++s) {
            for (int c = 0; c < kImageChannelCount; ++c) {
                const ChannelRecord& want = window[At(s)].Channels[At(c)];
                EXPECT_EQ(Differences(want, downloaded[At(s)].Channels[At(c)]), "")
                    << t.name << ", setup " << s << ", channel " << c;
                EXPECT_EQ(Differences(want, worker[At(s)].Channels[At(c)]), "")
                    << t.name << ": worker copy, setup " << s << ", channel " << c;
            }
        }
    }
}

TEST(StoreConversion, WritesRawValuesAndTheWholeSwitchRecord) {
    SetupArray window{};
    ChannelRecord& ch = window[1].Channels[2];
    ch.Mute = 1;
    ch.Trim = 3.5f;
    ch.DelayOn = 0;
    ch.DelayTime = 1.5f;
    ch.LevelVal = 9.0f;
    ch.EQBypass = 1;
    ch.EQBand[4].Gain = -3.5f;
    ch.CustomEQ[1].Bypass = 1;
    ch.CustomEQ[1].Gain = 5.0f;
    ch.LowPassOn = 0;
    ch.LowPassSlope = 24;
    ch.LevelLock = 1;  // not a stored field
    ch.EQBand[4].Q = 9.0f;
    ChannelRecord& delayed = window[3].Channels[0];
    delayed.DelayOn = 1;
    delayed.CustomEQ[3].Bypass = 1;

    SetupArray worker{};
    DeviceImage image = PatternImage();
    StoreConversion(window, worker, image, 4);

    const std::size_t base = SetupImageOffset(1);
    // Muted, delay off, bypassed: the raw values all the same.
    EXPECT_EQ(ValueHex(image, base + OutputGainOffset(2)), "55 8C 4B 22");
    EXPECT_EQ(ValueHex(image, base + DelayPairOffset(2)), "00 01 80 00");
    EXPECT_EQ(ValueHex(image, base + BandOffset(2, 4)), "F2 00 00 00");
    EXPECT_EQ(ValueHex(image, base + CustomPointOffset(2, 1)), "14 00 00 00");
    EXPECT_EQ(ValueHex(image, base + CustomPointOffset(2, 1) + kPointFreqPair), "80 3E 80 00");
    for (int u = 0; u < 4; ++u) {
        EXPECT_EQ(ValueHex(image, base + LowPassOffset(2) + SectionTypePairOffset(u)),
                  "FF FF FF FF");
    }
    EXPECT_NE(ValueHex(image, base + LowPassOffset(2) + CoefficientPairOffset(1)), "00 00 00 00");
    EXPECT_EQ(Hex(image.data() + SwitchRecordOffset(1, 2), 8), "09 00 00 01 00 01 00 00");
    EXPECT_EQ(Hex(image.data() + SwitchRecordOffset(3, 0), 8), "01 01 01 00 00 00 00 01");
    // What the amplifier keeps for itself stays.
    const DeviceImage pattern = PatternImage();
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < kImageChannelCount; ++c) {
            EXPECT_EQ(ValueHex(image, SetupImageOffset(s) + HighPassOffset(c)), "EE EE EE EE");
            EXPECT_EQ(ValueHex(image, SetupImageOffset(s) + LowPassOffset(c)), "EE EE EE EE");
            EXPECT_EQ(ValueHex(image, SetupImageOffset(s) + BandOffset(c, 26) + 8), "EE EE EE EE");
        }
        for (std::size_t p = 0; p < kPairsPerSetup; ++p) {
            const std::size_t at = SetupImageOffset(s) + kPairSize * p;
            ASSERT_EQ(ReadParamPair(image, at)->Control, ReadParamPair(pattern, at)->Control);
        }
    }
    EXPECT_EQ(Hex(image.data() + kIdentityAreaOffset, kIdentityAreaSize),
              Hex(pattern.data() + kIdentityAreaOffset, kIdentityAreaSize));

    // The worker's copy has the stored fields and nothing else.
    const ChannelRecord& copy = worker[1].Channels[2];
    EXPECT_EQ(Differences(ch, copy), "");
    EXPECT_EQ(copy.Mute, 1);
    EXPECT_EQ(copy.LevelLock, 0);
    EXPECT_EQ(copy.EQBand[4].Q, 3.0f);
}

TEST(StoreConversion, CoversTheChannelsTheAmplifierHas) {
    const struct {
        std::uint8_t channelCode;
        int covered;
    } cases[] = {{1, 2}, {2, 2}, {4, 4}, {6, 4}, {255, 4}, {0, 2}};
    SetupArray window{};
    for (SetupRecord& setup : window) {
        for (ChannelRecord& ch : setup.Channels) ch.LevelVal = 7.0f;
    }
    for (const auto& k : cases) {
        EXPECT_EQ(TransferChannelCount(k.channelCode), k.covered);
        SetupArray worker{};
        DeviceImage image = PatternImage();
        StoreConversion(window, worker, image, k.channelCode);
        for (int s = 0; s < kSetupCount; ++s) {
            for (int c = 0; c < kChannelCount; ++c) {
                const bool covered = c < k.covered;
                EXPECT_EQ(worker[At(s)].Channels[At(c)].LevelVal, covered ? 7.0f : 1.0f)
                    << int{k.channelCode} << ", setup " << s << ", channel " << c;
                if (c >= kImageChannelCount) continue;
                EXPECT_EQ(image[SwitchRecordOffset(s, c)], covered ? 7 : 0xAA);
                EXPECT_EQ(ValueHex(image, SetupImageOffset(s) + OutputGainOffset(c)),
                          covered ? "80 00 00 00" : "EE EE EE EE");
            }
        }
        SetupArray downloaded{};
        downloaded[0].Channels[3].LevelVal = 12.0f;
        DownloadConversion(image, k.channelCode, downloaded);
        EXPECT_EQ(downloaded[0].Channels[3].LevelVal, k.covered == 4 ? 7.0f : 12.0f);
    }
}

// Words planted into a stored image of start values, and what the download makes of them.
TEST(DownloadConversion, ReadsEachWordIntoASoundValue) {
    constexpr int s = 2;
    constexpr int c = 1;
    const std::size_t base = SetupImageOffset(s);
    using Field = std::function<double(const ChannelRecord&)>;
    const Field trim = [](const ChannelRecord& ch) { return ch.Trim; };
    const Field delay = [](const ChannelRecord& ch) { return ch.DelayTime; };
    const Field hpFreq = [](const ChannelRecord& ch) { return ch.HighPassFreq; };
    const Field pointFreq = [](const ChannelRecord& ch) { return ch.CustomEQ[2].Freq; };
    const Field pointQ = [](const ChannelRecord& ch) { return ch.CustomEQ[2].Q; };
    const Field pointGain = [](const ChannelRecord& ch) { return ch.CustomEQ[2].Gain; };
    const Field bandGain = [](const ChannelRecord& ch) { return ch.EQBand[9].Gain; };
    const struct {
        const char* name;
        std::size_t pair;
        std::uint32_t word;
        Field field;
        double value;
    } cases[] = {
        {"unity gain, 0x80000000", OutputGainOffset(c), 0x80000000u, trim, 0.0},
        {"gain of a channel muted by an edit", OutputGainOffset(c), 0, trim, 30.0},
        {"gain above unity", OutputGainOffset(c), 0xFFFFFFFFu, trim, 0.0},
        {"gain for 6 dB", OutputGainOffset(c), 0x4026E73Cu, trim, 6.0},
        {"delay 3.02 ms", DelayPairOffset(c), 0x0003051Eu, delay, 3.02},
        {"negative delay", DelayPairOffset(c), 0xFFFF0000u, delay, 0.0},
        {"delay beyond 20 ms", DelayPairOffset(c), 0x7FFFFFFFu, delay, 20.0},
        {"cos word for 50 Hz", HighPassOffset(c) + CosPairOffset(0), 0x7FFF4C54u, hpFreq, 50.0},
        {"cos word -1", HighPassOffset(c) + CosPairOffset(0), 0x80000000u, hpFreq, 20893.0},
        {"cos word nearly +1", HighPassOffset(c) + CosPairOffset(0), 0x7FFFFFFFu, hpFreq, 16.0},
        {"frequency word 80 3E 80 00", CustomPointOffset(c, 2) + kPointFreqPair, 0x803E8000u,
         pointFreq, 1000.0},
        {"frequency word without bit 31", CustomPointOffset(c, 2) + kPointFreqPair, 0x003E8000u,
         pointFreq, 1000.0},
        {"frequency word 0", CustomPointOffset(c, 2) + kPointFreqPair, 0, pointFreq, 16.0},
        {"frequency word all ones", CustomPointOffset(c, 2) + kPointFreqPair, 0xFFFFFFFFu,
         pointFreq, 20893.0},
        {"Q 0", CustomPointOffset(c, 2) + kPointQPair, 0, pointQ, 0.4f},
        {"negative Q", CustomPointOffset(c, 2) + kPointQPair, 0xF4000000u, pointQ, 0.4f},
        {"custom gain -3.5", CustomPointOffset(c, 2), 0xF2000000u, pointGain, -3.5},
        {"custom gain +31", CustomPointOffset(c, 2), 0x7C000000u, pointGain, 6.0},
        {"band gain -32", BandOffset(c, 9), 0x80000000u, bandGain, -15.0},
    };
    SetupArray start{};
    DeviceImage stored{};
    SetupArray unused{};
    StoreConversion(start, unused, stored, 4);
    for (const auto& k : cases) {
        DeviceImage image = stored;
        StoreValueWord(image, base + k.pair, k.word);
        SetupArray downloaded{};
        DownloadConversion(image, 4, downloaded);
        EXPECT_NEAR(k.field(downloaded[s].Channels[c]), k.value, 0.002) << k.name;
    }
}

TEST(DownloadConversion, MuteComesFromTheHighPassEnableByte) {
    const struct {
        std::uint32_t highPass;
        std::uint32_t lowPass;
        std::uint8_t mute;
    } cases[] = {
        {0x40000000u, 0x40000000u, 0}, {0x80000000u, 0, 0}, {0xC0000000u, 0, 0},
        {0x3FFFFFFFu, 0x40000000u, 1}, {0, 0x40000000u, 1},
    };
    for (const auto& k : cases) {
        DeviceImage image{};
        StoreValueWord(image, SetupImageOffset(3) + HighPassOffset(3), k.highPass);
        StoreValueWord(image, SetupImageOffset(3) + LowPassOffset(3), k.lowPass);
        SetupArray downloaded{};
        DownloadConversion(image, 4, downloaded);
        EXPECT_EQ(downloaded[3].Channels[3].Mute, k.mute) << std::hex << k.highPass;
    }

    // The full rebuild writes the enable pairs from MasterMute.
    ParameterModel model;
    model.Setups[1].MasterMute = 1;
    DeviceImage image{};
    for (int s = 0; s < kSetupCount; ++s) RebuildSetupImage(image, model, s);
    SetupArray downloaded{};
    DownloadConversion(image, 4, downloaded);
    EXPECT_EQ(downloaded[0].Channels[2].Mute, 0);
    EXPECT_EQ(downloaded[1].Channels[2].Mute, 1);
}

bool InRange(const ChannelRecord& ch) {
    auto within = [](float v, double lo, double hi) {
        return std::isfinite(v) && v >= lo && v <= hi;
    };
    auto slope = [](std::uint8_t v) { return v == 6 || v == 12 || v == 24 || v == 36 || v == 48; };
    bool ok = within(ch.DelayTime, 0, 20) && within(ch.Trim, 0, 30) && within(ch.LevelVal, 0, 16) &&
              within(ch.HighPassFreq, 16, 20893) && within(ch.LowPassFreq, 16, 20893) &&
              slope(ch.HighPassSlope) && slope(ch.LowPassSlope) && ch.Mute <= 1 &&
              ch.DelayOn <= 1 && ch.EQBypass <= 1 && ch.HighPassOn <= 1 && ch.LowPassOn <= 1;
    for (const EqPoint& p : ch.CustomEQ) {
        ok = ok && within(p.Freq, 16, 20893) && within(p.Gain, -24, 6) && within(p.Q, 0.4, 24) &&
             p.Bypass <= 1;
    }
    for (const EqPoint& b : ch.EQBand) ok = ok && within(b.Gain, -15, 6);
    return ok;
}

TEST(DownloadConversion, AnyBytesGiveValuesTheModelCanHold) {
    std::uint32_t seed = 12345;
    auto random = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    const std::function<std::uint8_t(std::size_t)> fills[] = {
        [](std::size_t) { return std::uint8_t{0x00}; },
        [](std::size_t) { return std::uint8_t{0xFF}; },
        [](std::size_t) { return std::uint8_t{0x80}; },
        [](std::size_t) { return std::uint8_t{0x7F}; },
        [](std::size_t i) { return static_cast<std::uint8_t>(i % 4 == 0 ? 0x80 : 0x00); },
        [&](std::size_t) { return random(); },
        [&](std::size_t) { return random(); },
    };
    for (std::size_t f = 0; f < std::size(fills); ++f) {
        DeviceImage image;
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = fills[f](i);
        SetupArray downloaded{};
        DownloadConversion(image, 4, downloaded);
        for (int s = 0; s < kSetupCount; ++s) {
            for (int c = 0; c < kImageChannelCount; ++c) {
                EXPECT_TRUE(InRange(downloaded[At(s)].Channels[At(c)]))
                    << "fill " << f << ", setup " << s << ", channel " << c;
            }
        }
    }
}

// --- takeover ---

DeviceCatalogue Catalogue() {
    DeviceCatalogue catalogue;
    catalogue.Entries = {
        {"Four", 4, "ClassD", 400, 3},
        {"Two", 1, "ClassAB", 200, 9},
        {"Bass", 2, "ClassD Bass", 800, 12},
    };
    return catalogue;
}

DeviceImage ImageWithModelCode(std::uint8_t code) {
    DeviceImage image{};
    image[kModelCodeOffset] = code;
    return image;
}

// Every field away from the start and reset values.
void Scribble(ChannelRecord& ch) {
    ch.Mute = 1;
    ch.LevelLock = 1;
    ch.LevelVal = 9.0f;
    ch.HighPassOn = 1;
    ch.HighPassLock = 1;
    ch.HighPassFreq = 120.0f;
    ch.HighPassSlope = 24;
    ch.LowPassOn = 1;
    ch.LowPassFreq = 3000.0f;
    ch.LowPassSlope = 36;
    ch.DelayOn = 1;
    ch.DelayTime = 4.0f;
    ch.Trim = 5.0f;
    ch.EQBypass = 1;
    for (EqPoint& p : ch.CustomEQ) {
        p.Bypass = 1;
        p.Freq = 700.0f;
        p.Gain = -4.0f;
        p.Q = 7.0f;
    }
    for (EqPoint& b : ch.EQBand) {
        b.Gain = 2.0f;
        b.Q = 5.0f;
    }
}

TEST(TakeOverSetups, TwoChannelAmplifier) {
    ParameterModel window;
    for (SetupRecord& setup : window.Setups) {
        for (ChannelRecord& ch : setup.Channels) Scribble(ch);
    }
    SetupArray downloaded{};
    for (SetupRecord& setup : downloaded) {
        for (ChannelRecord& ch : setup.Channels) {
            ch.DelayOn = 1;
            ch.DelayTime = 3.013f;
            ch.Trim = 31.2f;
            ch.LevelVal = 17.0f;
            ch.HighPassOn = 1;
            ch.HighPassSlope = 36;
            ch.HighPassFreq = 1234.0f;
            ch.LowPassFreq = 20000.0f;
            ch.CustomEQ[2].Freq = 5.0f;
            ch.CustomEQ[2].Gain = -7.3f;
            ch.CustomEQ[2].Q = 2.2f;
            ch.CustomEQ[2].Bypass = 1;
            ch.EQBand[3].Gain = 1.5f;
        }
    }

    const DeviceCatalogue catalogue = Catalogue();
    const DeviceModelEntry* entry =
        TakeOverSetups(window, downloaded, ImageWithModelCode(9), 0, 2, catalogue);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Name, "Two");
    EXPECT_EQ(window.ChannelNum, 1);
    EXPECT_EQ(window.Mode, 0);
    EXPECT_EQ(window.ANS, 0);
    EXPECT_EQ(window.CurrentSetupIndex, 2);

    for (int s = 0; s < kSetupCount; ++s) {
        const SetupRecord& setup = window.Setups[At(s)];
        EXPECT_EQ(setup.GroupFlag, 3);
        EXPECT_EQ(setup.GroupEQFlag, 3);
        EXPECT_EQ(setup.MasterMute, 0);
        for (int c = 0; c < 2; ++c) {
            const ChannelRecord& ch = setup.Channels[At(c)];
            EXPECT_EQ(ch.Mute, 0);
            EXPECT_EQ(ch.EQBypass, 0);
            EXPECT_EQ(ch.DelayOn, 1);
            EXPECT_FLOAT_EQ(ch.DelayTime, 3.02f);
            EXPECT_FLOAT_EQ(ch.Trim, 30.0f);
            EXPECT_EQ(ch.LevelVal, 16.0f);
            EXPECT_EQ(ch.HighPassOn, 1);
            EXPECT_EQ(ch.HighPassSlope, 36);
            EXPECT_EQ(ch.HighPassFreq, QuantizeCrossoverFreq(1234.0, 0));
            EXPECT_EQ(ch.LowPassFreq, QuantizeCrossoverFreq(20000.0, 0));
            EXPECT_EQ(ch.CustomEQ[2].Freq, 16.0f);
            EXPECT_EQ(ch.CustomEQ[2].Gain, -7.3f);
            EXPECT_EQ(ch.CustomEQ[2].Q, 2.2f);
            EXPECT_EQ(ch.CustomEQ[2].Bypass, 1);
            EXPECT_EQ(ch.EQBand[3].Gain, 1.5f);
            EXPECT_EQ(ch.LevelLock, 1) << "locks are not downloaded";
        }
        for (int c = 2; c < kChannelCount; ++c) {
            const ChannelRecord& ch = setup.Channels[At(c)];
            const std::string where =
                "setup " + std::to_string(s) + ", channel " + std::to_string(c);
            EXPECT_EQ(ch.Mute + ch.EQBypass + ch.DelayOn + ch.HighPassOn + ch.LowPassOn, 0)
                << where;
            EXPECT_EQ(ch.DelayTime + ch.Trim + ch.LevelVal, 0.0f) << where;
            EXPECT_EQ(ch.HighPassFreq, 50.0f) << where;
            EXPECT_EQ(ch.HighPassSlope, 6) << where;
            EXPECT_EQ(ch.LowPassFreq, 10000.0f) << where;
            EXPECT_EQ(ch.LowPassSlope, 6) << where;
            for (const EqPoint& p : ch.CustomEQ) {
                EXPECT_TRUE(p.Bypass == 0 && p.Freq == 1000.0f && p.Gain == 0.0f && p.Q == 3.0f)
                    << where;
            }
            for (const EqPoint& b : ch.EQBand) EXPECT_EQ(b.Gain, 0.0f) << where;
        }
    }
}

TEST(TakeOverSetups, ModelFromTheCatalogue) {
    const DeviceCatalogue full = Catalogue();
    const DeviceCatalogue empty;
    const struct {
        const char* name;
        const DeviceCatalogue* catalogue;
        std::uint8_t code;
        const char* entry;  // nullptr: none
        std::uint8_t channelNum;
        std::uint8_t mode;
        float pointFreq;  // custom point of 5000 Hz after the takeover
    } cases[] = {
        {"match", &full, 3, "Four", 4, 0, QuantizeCrossoverFreq(5000.0, 0)},
        {"bass amplifier", &full, 12, "Bass", 2, 2, 302.0f},
        {"no match: first entry", &full, 77, "Four", 4, 0, QuantizeCrossoverFreq(5000.0, 0)},
        {"empty catalogue: kept", &empty, 3, nullptr, 6, 2, 302.0f},
    };
    for (const auto& k : cases) {
        ParameterModel window;
        window.ChannelNum = 6;
        window.Mode = 2;
        SetupArray downloaded{};
        downloaded[0].Channels[1].CustomEQ[0].Freq = 5000.0f;
        const DeviceModelEntry* entry =
            TakeOverSetups(window, downloaded, ImageWithModelCode(k.code), 255, 0, *k.catalogue);
        if (k.entry == nullptr) {
            EXPECT_EQ(entry, nullptr) << k.name;
        } else {
            ASSERT_NE(entry, nullptr) << k.name;
            EXPECT_EQ(entry->Name, k.entry) << k.name;
        }
        EXPECT_EQ(window.ChannelNum, k.channelNum) << k.name;
        EXPECT_EQ(window.Mode, k.mode) << k.name;
        EXPECT_EQ(window.ANS, 255) << k.name;
        EXPECT_EQ(window.Setups[0].Channels[1].CustomEQ[0].Freq, k.pointFreq) << k.name;
        EXPECT_EQ(window.Setups[0].GroupFlag, 0x15) << k.name;
        EXPECT_EQ(window.Setups[0].GroupEQFlag, 0x01) << k.name;
    }
}

TEST(TakeOverSetups, SixChannelModelKeepsTheChannelsTheImageLacks) {
    ParameterModel window;
    for (SetupRecord& setup : window.Setups) {
        for (ChannelRecord& ch : setup.Channels) Scribble(ch);
    }
    DeviceCatalogue catalogue;
    catalogue.Entries = {{"Six", 6, "ClassD", 600, 1}};
    SetupArray downloaded{};
    TakeOverSetups(window, downloaded, ImageWithModelCode(1), 255, 0, catalogue);
    EXPECT_EQ(window.ChannelNum, 6);
    for (const SetupRecord& setup : window.Setups) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(setup.Channels[At(c)].Trim, 0.0f);
        for (int c = 4; c < 6; ++c) {
            EXPECT_EQ(setup.Channels[At(c)].Trim, 5.0f);
            EXPECT_EQ(setup.Channels[At(c)].Mute, 1);
        }
        EXPECT_EQ(setup.MasterMute, 0);
    }
}

TEST(TakeOverSetups, MasterMuteAndActiveSetup) {
    const struct {
        std::uint8_t active;
        int current;
    } setups[] = {{0, 0}, {3, 3}, {4, 0}, {7, 0}, {255, 0}};
    for (const auto& k : setups) {
        EXPECT_EQ(ActiveSetupIndex(k.active), k.current);
        ParameterModel window;
        SetupArray downloaded{};
        for (int c = 0; c < 4; ++c) downloaded[1].Channels[At(c)].Mute = 1;
        for (int c = 0; c < 3; ++c) downloaded[2].Channels[At(c)].Mute = 1;
        TakeOverSetups(window, downloaded, ImageWithModelCode(3), 255, k.active, Catalogue());
        EXPECT_EQ(window.CurrentSetupIndex, k.current) << int{k.active};
        EXPECT_EQ(window.Setups[1].MasterMute, 1);
        EXPECT_EQ(window.Setups[2].MasterMute, 0);
    }
}

}  // namespace
}  // namespace vantrel
