#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "model/DeviceImage.h"
#include "support/Hex.h"
#include "support/PatternImage.h"

namespace vantrel {
namespace {

using test::Bytes;
using test::Hex;

constexpr int kSetup = 2;  // not 0, so a missing setup base shows

std::size_t At(int i) { return static_cast<std::size_t>(i); }

// Absolute offset of a pair given by its offset within setup kSetup.
std::size_t InSetup(std::size_t offset, int setup = kSetup) {
    return SetupImageOffset(setup) + offset;
}

std::string ValueHex(const DeviceImage& image, std::size_t pairOffset) {
    return Hex(image.data() + pairOffset + kValueWordOffset, 4);
}

std::int32_t SignedValue(const DeviceImage& image, std::size_t pairOffset) {
    return static_cast<std::int32_t>(LoadValueWord(image, pairOffset));
}

using test::PatternImage;

std::vector<std::uint32_t> ControlWords(const DeviceImage& image) {
    std::vector<std::uint32_t> words;
    for (int s = 0; s < kSetupCount; ++s) {
        for (std::size_t p = 0; p < kPairsPerSetup; ++p) {
            words.push_back(ReadParamPair(image, SetupImageOffset(s) + kPairSize * p)->Control);
        }
    }
    return words;
}

ParameterModel FourChannels() {
    ParameterModel model;
    model.ChannelNum = 4;
    return model;
}

ChannelRecord& Ch(ParameterModel& model, int c, int setup = kSetup) {
    return model.Setups[At(setup)].Channels[At(c)];
}

// "8@5120 104@4808 L1=12": posts in order, for readable failures.
std::string Describe(const ImagePosts& posts) {
    std::ostringstream out;
    for (const ImagePost& p : posts) {
        if (out.tellp() > 0) out << ' ';
        if (p.What == ImagePost::Kind::Params) {
            out << p.Range.Length << '@' << p.Range.Offset;
        } else {
            out << 'L' << p.Level.Channel << '=' << int{p.Level.Level};
        }
    }
    return out.str();
}

std::string R(std::size_t length, std::size_t offsetInSetup) {
    return std::to_string(length) + "@" + std::to_string(InSetup(offsetInSetup));
}

TEST(ValueEncoder, TruncatesTowardZeroAndKeepsTheLow32Bits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double scaled;
        std::uint32_t word;
    } cases[] = {
        {0.0, 0x00000000u},
        {1.9, 0x00000001u},
        {-1.9, 0xFFFFFFFFu},
        {2147483648.0, 0x80000000u},  // unity gain
        {-2147483648.0, 0x80000000u},
        {4294967296.0 + 5.0, 0x00000005u},
        {-4294967296.0 - 0.5, 0x00000000u},
        // No input is undefined: NaN gives 0, values beyond 64 bits saturate.
        {nan, 0x00000000u},
        {inf, 0xFFFFFFFFu},
        {-inf, 0x00000000u},
        {1e300, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeValueWord(c.scaled), c.word) << c.scaled;
    }

    DeviceImage image = PatternImage();
    ASSERT_TRUE(WriteValue(image, InSetup(0), -3.5 * kGainScale));
    EXPECT_EQ(Hex(image.data() + InSetup(0), 8), "C0 DE 00 00 F2 00 00 00");
    // A pair that would reach past the image is refused whole.
    const DeviceImage before = image;
    EXPECT_FALSE(StoreValueWord(image, kDeviceImageSize - 4, 0x12345678u));
    EXPECT_FALSE(WriteValue(image, std::numeric_limits<std::size_t>::max() - 2, 1.0));
    EXPECT_EQ(image, before);
}

// One field at a time through the full rebuild, channel 1 of setup 2.
TEST(RebuildSetupImage, EncodesEachValueWord) {
    constexpr int c = 1;
    const struct {
        const char* name;
        std::function<void(ChannelRecord&)> tune;
        std::size_t pair;  // within the setup image
        const char* value;
    } cases[] = {
        {"custom point 1000 Hz", [](ChannelRecord&) {}, CustomPointOffset(c, 2) + kPointFreqPair,
         "80 3E 80 00"},
        {"custom point 20893 Hz", [](ChannelRecord& ch) { ch.CustomEQ[2].Freq = 20893.0f; },
         CustomPointOffset(c, 2) + kPointFreqPair, "85 19 D0 00"},
        {"custom point Q 2.5", [](ChannelRecord& ch) { ch.CustomEQ[3].Q = 2.5f; },
         CustomPointOffset(c, 3) + kPointQPair, "0A 00 00 00"},
        {"custom point gain -3.5", [](ChannelRecord& ch) { ch.CustomEQ[0].Gain = -3.5f; },
         CustomPointOffset(c, 0) + kPointGainPair, "F2 00 00 00"},
        {"bypassed custom point gain",
         [](ChannelRecord& ch) {
             ch.CustomEQ[0].Gain = 4.0f;
             ch.CustomEQ[0].Bypass = 1;
         },
         CustomPointOffset(c, 0) + kPointGainPair, "00 00 00 00"},
        {"band gain -3.5", [](ChannelRecord& ch) { ch.EQBand[26].Gain = -3.5f; }, BandOffset(c, 26),
         "F2 00 00 00"},
        {"band gain under EQ bypass",
         [](ChannelRecord& ch) {
             ch.EQBand[26].Gain = -3.5f;
             ch.EQBypass = 1;
         },
         BandOffset(c, 26), "00 00 00 00"},
        {"trim 0, delay on", [](ChannelRecord& ch) { ch.DelayOn = 1; }, OutputGainOffset(c),
         "80 00 00 00"},
        {"trim 3.5, delay on",
         [](ChannelRecord& ch) {
             ch.DelayOn = 1;
             ch.Trim = 3.5f;
         },
         OutputGainOffset(c), "55 8C 4B 22"},
        {"trim 30, delay on",
         [](ChannelRecord& ch) {
             ch.DelayOn = 1;
             ch.Trim = 30.0f;
         },
         OutputGainOffset(c), "04 0C 37 13"},
        {"trim with the delay section off: unity",
         [](ChannelRecord& ch) {
             ch.Trim = 3.5f;
             ch.DelayTime = 4.0f;
         },
         OutputGainOffset(c), "80 00 00 00"},
        {"muted",
         [](ChannelRecord& ch) {
             ch.DelayOn = 1;
             ch.Mute = 1;
         },
         OutputGainOffset(c), "00 00 00 00"},
        {"delay 1.5 ms",
         [](ChannelRecord& ch) {
             ch.DelayOn = 1;
             ch.DelayTime = 1.5f;
         },
         DelayPairOffset(c), "00 01 80 00"},
        {"delay with the delay section off: 0", [](ChannelRecord& ch) { ch.DelayTime = 1.5f; },
         DelayPairOffset(c), "00 00 00 00"},
    };
    for (const auto& k : cases) {
        ParameterModel model = FourChannels();
        k.tune(Ch(model, c));
        DeviceImage image = PatternImage();
        RebuildSetupImage(image, model, kSetup);
        EXPECT_EQ(ValueHex(image, InSetup(k.pair)), k.value) << k.name;
    }
}

struct Section {
    std::uint32_t type;
    bool coefficient;  // non-zero
};

TEST(CrossoverBlock, SectionsFollowTheSlope) {
    const Section first{kSectionFirstOrder, true};
    const Section second{kSectionSecondOrder, true};
    const Section none{kSectionInactive, false};
    const struct {
        std::uint8_t slope;
        std::array<Section, 4> sections;
    } cases[] = {
        {6, {first, none, none, none}},         {12, {second, none, none, none}},
        {24, {second, second, none, none}},     {36, {second, second, second, none}},
        {48, {second, second, second, second}},
    };
    for (const auto& k : cases) {
        for (const double freq : {50.0, 1000.0, 15000.0}) {
            DeviceImage image = PatternImage();
            ASSERT_TRUE(
                WriteCrossoverSections(image, InSetup(HighPassOffset(0)), freq, k.slope, true));
            const std::size_t block = InSetup(HighPassOffset(0));
            const std::uint32_t cosWord = LoadValueWord(image, block + CosPairOffset(0));
            for (int u = 0; u < 4; ++u) {
                const Section& want = k.sections[At(u)];
                EXPECT_EQ(LoadValueWord(image, block + SectionTypePairOffset(u)), want.type)
                    << int{k.slope} << " dB, " << freq << " Hz, section " << u;
                EXPECT_EQ(LoadValueWord(image, block + CoefficientPairOffset(u)) != 0,
                          want.coefficient)
                    << int{k.slope} << " dB, " << freq << " Hz, section " << u;
                EXPECT_EQ(LoadValueWord(image, block + CosPairOffset(u)), cosWord);
            }
            EXPECT_EQ(ValueHex(image, block + EnablePairOffset()), "EE EE EE EE");
        }
    }
}

TEST(CrossoverBlock, WordsAgainstAnIndependentComputation) {
    // Words computed apart from this code, in double with the amplifier's constants.
    const struct {
        double freq;
        std::uint8_t slope;
        const char* cos;
        std::array<const char*, 4> coefficients;
    } cases[] = {
        {50, 6, "7F FF 4C 54", {"80 D5 C4 6C", "00 00 00 00", "00 00 00 00", "00 00 00 00"}},
        {16, 6, "7F FF ED 9A", {"80 44 8E B0", "00 00 00 00", "00 00 00 00", "00 00 00 00"}},
        {80, 24, "7F FE 34 0C", {"7D 8C 09 4E", "7E FA 6B B3", "00 00 00 00", "00 00 00 00"}},
        // Above 12000 Hz the second-order coefficients change sign, the first-order one not.
        {15000, 6, "CF 04 3A B3", {"19 75 F5 E0", "00 00 00 00", "00 00 00 00", "00 00 00 00"}},
        {15000, 12, "CF 04 3A B3", {"E5 28 0C 13", "00 00 00 00", "00 00 00 00", "00 00 00 00"}},
        {15000, 48, "CF 04 3A B3", {"F9 B2 3F A5", "EF 37 DA 6A", "D6 D4 BE F6", "A7 18 4F 02"}},
    };
    for (const auto& k : cases) {
        DeviceImage image = PatternImage();
        const std::size_t block = InSetup(LowPassOffset(3));
        WriteCrossoverSections(image, block, k.freq, k.slope, true);
        EXPECT_EQ(ValueHex(image, block + CosPairOffset(3)), k.cos) << k.freq;
        for (int u = 0; u < 4; ++u) {
            EXPECT_EQ(ValueHex(image, block + CoefficientPairOffset(u)), k.coefficients[At(u)])
                << k.freq << " Hz, " << int{k.slope} << " dB, section " << u;
        }
    }
}

TEST(CrossoverBlock, TwentyFourDbIsTwoButterworthSections) {
    for (const double freq : {100.0, 3000.0}) {
        DeviceImage image{};
        const std::size_t block = InSetup(HighPassOffset(2));
        WriteCrossoverSections(image, block, freq, 24, true);
        const double sinOmega = std::sin(CrossoverOmega(freq));
        const double expected[] = {1.848, 0.765};
        for (int u = 0; u < 2; ++u) {
            // k = (2 - B) / (2 + B) with B = 2 sin(theta) sin(omega).
            const double k = SignedValue(image, block + CoefficientPairOffset(u)) / kUnitScale;
            const double b = 2.0 * (1.0 - k) / (1.0 + k);
            EXPECT_NEAR(b / sinOmega, expected[u], 0.0005) << freq << " Hz, section " << u;
        }
    }
}

TEST(CrossoverBlock, FilterThatIsOffKeepsCosAndCoefficients) {
    for (const std::uint8_t slope : std::array<std::uint8_t, 5>{6, 12, 24, 36, 48}) {
        DeviceImage on = PatternImage();
        DeviceImage off = PatternImage();
        const std::size_t block = InSetup(LowPassOffset(1));
        WriteCrossoverSections(on, block, 2000.0, slope, true);
        WriteCrossoverSections(off, block, 2000.0, slope, false);
        for (int u = 0; u < 4; ++u) {
            EXPECT_EQ(LoadValueWord(off, block + SectionTypePairOffset(u)), kSectionInactive);
            StoreValueWord(on, block + SectionTypePairOffset(u), kSectionInactive);
        }
        EXPECT_EQ(on, off) << int{slope} << " dB: only the types may differ";
    }
}

TEST(CrossoverBlock, EnablePairComesFromTheFullRebuildOnly) {
    ParameterModel model = FourChannels();
    DeviceImage image = PatternImage();
    RebuildSetupImage(image, model, kSetup);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(ValueHex(image, InSetup(HighPassOffset(c))), "40 00 00 00");
        EXPECT_EQ(ValueHex(image, InSetup(LowPassOffset(c))), "40 00 00 00");
    }
    model.Setups[kSetup].MasterMute = 1;
    for (int c = 0; c < 4; ++c) {
        UpdateCrossover(image, model, kSetup, c, CrossoverKind::HighPass);
        UpdateCrossover(image, model, kSetup, c, CrossoverKind::LowPass);
        UpdateLinkedPairCopy(image, model, kSetup, c);
    }
    EXPECT_EQ(ValueHex(image, InSetup(HighPassOffset(3))), "40 00 00 00");
    RebuildSetupImage(image, model, kSetup);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(ValueHex(image, InSetup(HighPassOffset(c))), "00 00 00 00");
        EXPECT_EQ(ValueHex(image, InSetup(LowPassOffset(c))), "00 00 00 00");
    }
}

// A tune that touches every kind of word, four channels.
ParameterModel GoldenTune() {
    ParameterModel model = FourChannels();
    SetupRecord& setup = model.Setups[kSetup];
    for (int c = 0; c < 4; ++c) {
        ChannelRecord& ch = setup.Channels[At(c)];
        for (int b = 0; b < kEqBandCount; ++b) {
            ch.EQBand[At(b)].Gain = static_cast<float>((b % 7) - 3) * 0.5f + static_cast<float>(c);
        }
        for (int j = 0; j < kCustomPointCount; ++j) {
            ch.CustomEQ[At(j)].Freq = 125.0f * static_cast<float>(1 << j) + static_cast<float>(c);
            ch.CustomEQ[At(j)].Gain = -2.5f * static_cast<float>(j + 1) + 1.0f;
            ch.CustomEQ[At(j)].Q = 0.5f + static_cast<float>(j + c);
        }
        ch.LevelVal = static_cast<float>(4 * c + 1);
    }
    // 24 and 12 dB, delay and trim, a bypassed point.
    ChannelRecord& c0 = setup.Channels[0];
    c0.HighPassOn = 1;
    c0.HighPassFreq = 80.0f;
    c0.HighPassSlope = 24;
    c0.LowPassOn = 1;
    c0.LowPassFreq = 5000.0f;
    c0.LowPassSlope = 12;
    c0.DelayOn = 1;
    c0.DelayTime = 1.5f;
    c0.Trim = 3.5f;
    c0.CustomEQ[1].Bypass = 1;
    // High-pass off, 48 dB low-pass above 12 kHz, muted with the delay section off.
    ChannelRecord& c1 = setup.Channels[1];
    c1.HighPassOn = 0;
    c1.HighPassFreq = 50.0f;
    c1.HighPassSlope = 6;
    c1.LowPassOn = 1;
    c1.LowPassFreq = 15000.0f;
    c1.LowPassSlope = 48;
    c1.Mute = 1;
    c1.DelayOn = 0;
    c1.DelayTime = 7.0f;
    c1.Trim = 10.0f;
    // EQ bypassed, 36 dB, low-pass off, delay and trim at their limits.
    ChannelRecord& c2 = setup.Channels[2];
    c2.EQBypass = 1;
    c2.HighPassOn = 1;
    c2.HighPassFreq = 200.0f;
    c2.HighPassSlope = 36;
    c2.LowPassOn = 0;
    c2.LowPassFreq = 2000.0f;
    c2.LowPassSlope = 12;
    c2.DelayOn = 1;
    c2.DelayTime = 20.0f;
    c2.Trim = 30.0f;
    // Frequency limits, 6 dB both.
    ChannelRecord& c3 = setup.Channels[3];
    c3.HighPassOn = 1;
    c3.HighPassFreq = 16.0f;
    c3.HighPassSlope = 6;
    c3.LowPassOn = 1;
    c3.LowPassFreq = 20893.0f;
    c3.LowPassSlope = 6;
    c3.CustomEQ[3].Freq = 20893.0f;
    c3.CustomEQ[3].Gain = -24.0f;
    c3.CustomEQ[3].Q = 24.0f;
    return model;
}

std::filesystem::path GoldenPath() {
    return std::filesystem::path(VANTREL_SOURCE_DIR) / "tests/model/golden/setup_image.hex";
}

// One pair per line, "offset: control  value", offsets within the setup image.
std::string GoldenText(const DeviceImage& image) {
    std::string text =
        "# RebuildSetupImage of GoldenTune (tests/model/DeviceImageTest.cpp), setup 3, over\n"
        "# control words C0DE0000 + pair and value words EEEEEEEE: EE means never written.\n"
        "# Regenerate with VANTREL_UPDATE_GOLDEN=1 and check the difference by hand.\n";
    char offset[16];
    for (std::size_t p = 0; p < kPairsPerSetup; ++p) {
        const std::uint8_t* pair = image.data() + InSetup(p * kPairSize);
        std::snprintf(offset, sizeof offset, "%04zu: ", p * kPairSize);
        text += offset + Hex(pair, 4) + "  " + Hex(pair + 4, 4) + "\n";
    }
    return text;
}

std::vector<std::uint8_t> ReadGolden() {
    std::ifstream in(GoldenPath());
    std::vector<std::uint8_t> bytes;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::uint8_t> pair = Bytes(line.substr(line.find(':') + 1));
        bytes.insert(bytes.end(), pair.begin(), pair.end());
    }
    return bytes;
}

TEST(RebuildSetupImage, MatchesTheGoldenImage) {
    DeviceImage image = PatternImage();
    const ImagePosts posts = RebuildSetupImage(image, GoldenTune(), kSetup);
    EXPECT_EQ(Describe(posts), R(kSetupImageSize, 0));

    // Spot checks computed apart from this code.
    EXPECT_EQ(ValueHex(image, InSetup(HighPassOffset(0) + CoefficientPairOffset(0))),
              "7D 8C 09 4E");
    EXPECT_EQ(ValueHex(image, InSetup(HighPassOffset(0) + CoefficientPairOffset(1))),
              "7E FA 6B B3");
    EXPECT_EQ(ValueHex(image, InSetup(LowPassOffset(1) + CoefficientPairOffset(3))), "A7 18 4F 02");
    EXPECT_EQ(ValueHex(image, InSetup(HighPassOffset(3) + CoefficientPairOffset(0))),
              "80 44 8E B0");
    EXPECT_EQ(ValueHex(image, InSetup(OutputGainOffset(0))), "55 8C 4B 22");
    EXPECT_EQ(ValueHex(image, InSetup(OutputGainOffset(2))), "04 0C 37 13");
    EXPECT_EQ(ValueHex(image, InSetup(DelayPairOffset(0))), "00 01 80 00");
    EXPECT_EQ(ValueHex(image, InSetup(CustomPointOffset(3, 3) + kPointFreqPair)), "85 19 D0 00");

    const std::string text = GoldenText(image);
    if (std::getenv("VANTREL_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(GoldenPath(), std::ios::binary) << text;
    }
    const std::vector<std::uint8_t> golden = ReadGolden();
    ASSERT_EQ(golden.size(), kSetupImageSize) << GoldenPath();
    for (std::size_t p = 0; p < kPairsPerSetup; ++p) {
        const std::size_t at = p * kPairSize;
        EXPECT_EQ(Hex(image.data() + InSetup(at), kPairSize), Hex(golden.data() + at, kPairSize))
            << "pair at setup offset " << at;
    }
    // Outside its setup image the rebuild writes only the level bytes of that setup.
    DeviceImage expected = PatternImage();
    std::copy(golden.begin(), golden.end(), expected.begin() + InSetup(0));
    for (int c = 0; c < 4; ++c) {
        expected[SwitchRecordOffset(kSetup, c)] = static_cast<std::uint8_t>(4 * c + 1);
    }
    EXPECT_TRUE(image == expected);
}

TEST(RebuildSetupImage, WritesOnlyTheChannelsTheImageHolds) {
    // Six channels: channels 5 and 6 have no room; writing them would land in channel 1's EQ.
    ParameterModel six = GoldenTune();
    six.ChannelNum = 6;
    for (int c = 4; c < 6; ++c) {
        Ch(six, c).DelayOn = 1;
        Ch(six, c).DelayTime = 9.0f;
        Ch(six, c).LevelVal = 15.0f;
        Ch(six, c).HighPassOn = 1;
    }
    DeviceImage fromSix = PatternImage();
    RebuildSetupImage(fromSix, six, kSetup);
    DeviceImage fromFour = PatternImage();
    RebuildSetupImage(fromFour, GoldenTune(), kSetup);
    EXPECT_TRUE(fromSix == fromFour);

    // Two channels: channels 3 and 4 of the image keep what they had.
    ParameterModel two = GoldenTune();
    two.ChannelNum = 2;
    DeviceImage image = PatternImage();
    RebuildSetupImage(image, two, kSetup);
    for (int c = 2; c < 4; ++c) {
        EXPECT_EQ(ValueHex(image, InSetup(OutputGainOffset(c))), "EE EE EE EE");
        EXPECT_EQ(ValueHex(image, InSetup(HighPassOffset(c))), "EE EE EE EE");
        EXPECT_EQ(ValueHex(image, InSetup(BandOffset(c, 0))), "EE EE EE EE");
        EXPECT_EQ(image[SwitchRecordOffset(kSetup, c)], 0xAA);
    }
    EXPECT_EQ(ValueHex(image, InSetup(OutputGainOffset(1))), "00 00 00 00");
}

// Every update, with the last band and point, so a table can run them all.
struct NamedUpdate {
    const char* name;
    std::function<ImagePosts(DeviceImage&, const ParameterModel&, int, int)> run;
};

std::vector<NamedUpdate> AllUpdates() {
    return {
        {"rebuild", [](DeviceImage& i, const ParameterModel& m, int s,
                       int) { return RebuildSetupImage(i, m, s); }},
        {"level",
         [](DeviceImage& i, const ParameterModel& m, int s, int c) {
             ImagePosts posts;
             if (const auto level = UpdateLevel(i, m, s, c)) posts.AddLevel(*level);
             return posts;
         }},
        {"delay", UpdateDelay},
        {"delay switch", UpdateDelaySwitch},
        {"trim", UpdateTrim},
        {"channel mute", UpdateChannelMute},
        {"master mute", [](DeviceImage& i, const ParameterModel& m, int s,
                           int) { return UpdateMasterMute(i, m, s); }},
        {"high-pass", [](DeviceImage& i, const ParameterModel& m, int s,
                         int c) { return UpdateCrossover(i, m, s, c, CrossoverKind::HighPass); }},
        {"low-pass", [](DeviceImage& i, const ParameterModel& m, int s,
                        int c) { return UpdateCrossover(i, m, s, c, CrossoverKind::LowPass); }},
        {"band gain", [](DeviceImage& i, const ParameterModel& m, int s,
                         int c) { return UpdateBandGain(i, m, s, c, kEqBandCount - 1); }},
        {"EQ bypass", UpdateEqBypass},
        {"all band gains", UpdateAllBandGains},
        {"point bypass", [](DeviceImage& i, const ParameterModel& m, int s,
                            int c) { return UpdateCustomPointBypass(i, m, s, c, 3); }},
        {"point gain", [](DeviceImage& i, const ParameterModel& m, int s,
                          int c) { return UpdateCustomPointGain(i, m, s, c, 3); }},
        {"point Q", [](DeviceImage& i, const ParameterModel& m, int s,
                       int c) { return UpdateCustomPointQ(i, m, s, c, 3); }},
        {"point frequency", [](DeviceImage& i, const ParameterModel& m, int s,
                               int c) { return UpdateCustomPointFreq(i, m, s, c, 3); }},
        {"channel EQ", UpdateChannelEq},
        {"linked-pair copy", UpdateLinkedPairCopy},
    };
}

TEST(DeviceImageUpdates, PostTheirRangesInOrder) {
    constexpr int c = 1;
    const std::string gain = R(8, OutputGainOffset(c));
    const std::string hp = R(104, HighPassOffset(c));
    const std::string lp = R(104, LowPassOffset(c));
    const std::string delays = R(32, 0);
    const std::string point = R(24, CustomPointOffset(c, 3));
    const struct {
        const char* update;
        std::function<void(ChannelRecord&)> tune;
        std::string posts;
    } cases[] = {
        {"level", [](ChannelRecord& ch) { ch.LevelVal = 12.0f; }, "L1=12"},
        {"delay", [](ChannelRecord& ch) { ch.DelayOn = 1; }, delays},
        {"delay", [](ChannelRecord&) {}, ""},
        {"delay switch", [](ChannelRecord&) {}, delays + " " + gain},
        {"trim", [](ChannelRecord& ch) { ch.DelayOn = 1; }, gain},
        {"trim", [](ChannelRecord&) {}, ""},
        {"channel mute", [](ChannelRecord&) {}, gain},
        {"master mute", [](ChannelRecord&) {},
         R(8, OutputGainOffset(0)) + " " + gain + " " + R(8, OutputGainOffset(2)) + " " +
             R(8, OutputGainOffset(3))},
        {"high-pass", [](ChannelRecord&) {}, hp},
        {"low-pass", [](ChannelRecord&) {}, lp},
        {"band gain", [](ChannelRecord&) {}, R(16, BandOffset(c, 26))},
        {"band gain", [](ChannelRecord& ch) { ch.EQBypass = 1; }, ""},
        {"EQ bypass", [](ChannelRecord&) {}, R(432, ChannelEqOffset(c))},
        {"all band gains", [](ChannelRecord&) {}, R(432, ChannelEqOffset(c))},
        {"point bypass", [](ChannelRecord& ch) { ch.CustomEQ[3].Bypass = 1; }, point},
        {"point gain", [](ChannelRecord&) {}, point},
        {"point gain", [](ChannelRecord& ch) { ch.CustomEQ[3].Bypass = 1; }, ""},
        {"point Q", [](ChannelRecord&) {}, point},
        {"point Q", [](ChannelRecord& ch) { ch.CustomEQ[3].Bypass = 1; }, ""},
        {"point frequency", [](ChannelRecord&) {}, R(8, CustomPointOffset(c, 3) + 16)},
        {"point frequency", [](ChannelRecord& ch) { ch.CustomEQ[3].Bypass = 1; }, ""},
        {"channel EQ", [](ChannelRecord&) {}, gain + " " + R(528, ChannelEqOffset(c))},
        {"linked-pair copy", [](ChannelRecord& ch) { ch.LevelVal = 7.0f; },
         gain + " " + hp + " " + lp + " L1=7"},
        {"linked-pair copy",
         [](ChannelRecord& ch) {
             ch.LevelVal = 7.0f;
             ch.DelayOn = 1;
         },
         gain + " " + hp + " " + lp + " L1=7 " + delays + " " + gain},
    };
    const std::vector<NamedUpdate> updates = AllUpdates();
    for (const auto& k : cases) {
        const auto update = std::find_if(updates.begin(), updates.end(), [&](const NamedUpdate& u) {
            return std::string(u.name) == k.update;
        });
        ASSERT_NE(update, updates.end()) << k.update;
        ParameterModel model = FourChannels();
        k.tune(Ch(model, c));
        DeviceImage image = PatternImage();
        EXPECT_EQ(Describe(update->run(image, model, kSetup, c)), k.posts) << k.update;
    }
}

TEST(DeviceImageUpdates, WriteTheOutputGainTheFullRebuildWrites) {
    // A trim applies only while its delay section is on, on every path: with the section off
    // every update leaves unity gain, with it on the trimmed gain.
    const std::string trimmed = Hex(Bytes("40 26 E7 3C"));  // 10^(-6/20) x 2^31
    const char* updates[] = {"channel mute", "delay switch", "master mute",
                             "channel EQ",   "linked-pair copy", "rebuild"};
    for (const int delayOn : {0, 1}) {
        ParameterModel model = FourChannels();
        Ch(model, 2).Trim = 6.0f;
        Ch(model, 2).DelayOn = static_cast<std::uint8_t>(delayOn);
        const std::size_t pair = InSetup(OutputGainOffset(2));
        for (const NamedUpdate& u : AllUpdates()) {
            for (const char* name : updates) {
                if (std::string(u.name) != name) continue;
                DeviceImage image = PatternImage();
                u.run(image, model, kSetup, 2);
                EXPECT_EQ(ValueHex(image, pair), delayOn ? trimmed : "80 00 00 00")
                    << name << " delay on " << delayOn;
            }
        }
    }
}

TEST(DeviceImageUpdates, WriteTheirSwitchBytes) {
    ParameterModel model = FourChannels();
    ChannelRecord& ch = Ch(model, 3);
    ch.DelayOn = 1;
    ch.DelayTime = 2.0f;
    ch.EQBypass = 1;
    ch.CustomEQ[2].Bypass = 1;
    ch.LevelVal = 17.0f;  // beyond the level range: the amplifier gets 16
    DeviceImage image = PatternImage();
    const std::size_t record = SwitchRecordOffset(kSetup, 3);

    EXPECT_EQ(UpdateLevel(image, model, kSetup, 3), (LevelMessage{3, 16}));
    UpdateDelaySwitch(image, model, kSetup, 3);
    UpdateEqBypass(image, model, kSetup, 3);
    UpdateCustomPointBypass(image, model, kSetup, 3, 2);
    // Byte 2 belongs to the store conversion; the other custom bypass bytes were not switched.
    EXPECT_EQ(Hex(image.data() + record, 8), "10 01 AA 01 AA AA 01 AA");
    EXPECT_EQ(ValueHex(image, InSetup(DelayPairOffset(3))), "00 02 00 00");
    EXPECT_EQ(ValueHex(image, InSetup(BandOffset(3, 5))), "00 00 00 00");
    EXPECT_EQ(ValueHex(image, InSetup(CustomPointOffset(3, 2))), "00 00 00 00");

    // Switching off writes delay 0 and unity gain.
    ch.DelayOn = 0;
    ch.EQBypass = 0;
    ch.Trim = 12.0f;
    ch.EQBand[5].Gain = 6.0f;
    UpdateDelaySwitch(image, model, kSetup, 3);
    UpdateEqBypass(image, model, kSetup, 3);
    EXPECT_EQ(Hex(image.data() + record, 4), "10 00 AA 00");
    EXPECT_EQ(ValueHex(image, InSetup(DelayPairOffset(3))), "00 00 00 00");
    EXPECT_EQ(ValueHex(image, InSetup(OutputGainOffset(3))), "80 00 00 00");
    EXPECT_EQ(ValueHex(image, InSetup(BandOffset(3, 5))), "18 00 00 00");
}

TEST(DeviceImageUpdates, BypassedCustomPointKeepsItsGainWordUntilTheRebuild) {
    ParameterModel model = FourChannels();
    EqPoint& p = Ch(model, 0).CustomEQ[1];
    p.Gain = 5.0f;
    DeviceImage image = PatternImage();
    UpdateCustomPointGain(image, model, kSetup, 0, 1);
    const std::size_t gain = InSetup(CustomPointOffset(0, 1) + kPointGainPair);
    EXPECT_EQ(ValueHex(image, gain), "14 00 00 00");

    // Bypassed by a setting that did not go through the bypass switch (a paste, say).
    p.Bypass = 1;
    p.Gain = -6.0f;
    p.Q = 9.0f;
    p.Freq = 50.0f;
    const DeviceImage before = image;
    EXPECT_TRUE(UpdateCustomPointGain(image, model, kSetup, 0, 1).Empty());
    EXPECT_TRUE(UpdateCustomPointQ(image, model, kSetup, 0, 1).Empty());
    EXPECT_TRUE(UpdateCustomPointFreq(image, model, kSetup, 0, 1).Empty());
    EXPECT_TRUE(image == before);

    RebuildSetupImage(image, model, kSetup);
    EXPECT_EQ(ValueHex(image, gain), "00 00 00 00");
    p.Bypass = 0;
    UpdateCustomPointBypass(image, model, kSetup, 0, 1);
    EXPECT_EQ(ValueHex(image, gain), "E8 00 00 00");
}

TEST(DeviceImageUpdates, LeaveEveryControlWordAlone) {
    ParameterModel model = GoldenTune();
    for (int c = 0; c < 4; ++c) Ch(model, c).DelayOn = 1;  // no update skipped
    DeviceImage image = PatternImage();
    const std::vector<std::uint32_t> controls = ControlWords(image);
    const std::size_t setupStart = InSetup(0);
    for (const NamedUpdate& u : AllUpdates()) {
        for (int c = 0; c < 4; ++c) {
            for (const ImagePost& post : u.run(image, model, kSetup, c)) {
                if (post.What != ImagePost::Kind::Params) continue;
                EXPECT_GE(post.Range.Offset, setupStart) << u.name;
                EXPECT_LE(post.Range.Offset + post.Range.Length, setupStart + kSetupImageSize)
                    << u.name;
            }
            ASSERT_EQ(ControlWords(image), controls) << u.name << ", channel " << c;
        }
    }
    for (int b = 0; b < kEqBandCount; ++b) UpdateBandGain(image, model, kSetup, 0, b);
    for (int j = 0; j < kCustomPointCount; ++j) {
        UpdateCustomPointBypass(image, model, kSetup, 2, j);
        UpdateCustomPointGain(image, model, kSetup, 2, j);
        UpdateCustomPointQ(image, model, kSetup, 2, j);
        UpdateCustomPointFreq(image, model, kSetup, 2, j);
    }
    EXPECT_EQ(ControlWords(image), controls);
}

TEST(DeviceImageUpdates, NeverWriteOutsideTheImage) {
    ParameterModel four = GoldenTune();
    for (int c = 0; c < kChannelCount; ++c) {
        Ch(four, c).DelayOn = 1;
        Ch(four, c, 3).DelayOn = 1;
    }
    ParameterModel six = four;
    six.ChannelNum = 6;
    ParameterModel two = four;
    two.ChannelNum = 2;
    const struct {
        const char* name;
        const ParameterModel* model;
        int setup;
        int channel;
    } cases[] = {
        {"channel 5 of six", &six, 3, 4}, {"channel 6 of six", &six, 3, 5},
        {"channel 3 of two", &two, 3, 2}, {"channel -1", &four, 0, -1},
        {"channel 1000", &four, 3, 1000}, {"setup 7", &four, 7, 0},
        {"setup 4", &four, 4, 3},         {"setup -1", &four, -1, 0},
    };
    for (const auto& k : cases) {
        for (const NamedUpdate& u : AllUpdates()) {
            // Rebuild and master mute have no channel argument; their setup check is what counts.
            const bool setupOnly =
                std::string(u.name) == "rebuild" || std::string(u.name) == "master mute";
            if (setupOnly && k.setup >= 0 && k.setup < kSetupCount) continue;
            DeviceImage image = PatternImage();
            EXPECT_TRUE(u.run(image, *k.model, k.setup, k.channel).Empty())
                << k.name << ", " << u.name;
            EXPECT_TRUE(image == PatternImage()) << k.name << ", " << u.name;
        }
    }
    // Band and point indices.
    DeviceImage image = PatternImage();
    for (const int band : {-1, 27, 1 << 30}) {
        EXPECT_TRUE(UpdateBandGain(image, four, 0, 0, band).Empty());
    }
    for (const int bad : {-1, 4, 1 << 30}) {
        EXPECT_TRUE(UpdateCustomPointBypass(image, four, 0, 0, bad).Empty());
        EXPECT_TRUE(UpdateCustomPointGain(image, four, 0, 0, bad).Empty());
        EXPECT_TRUE(UpdateCustomPointQ(image, four, 0, 0, bad).Empty());
        EXPECT_TRUE(UpdateCustomPointFreq(image, four, 0, 0, bad).Empty());
    }
    EXPECT_TRUE(image == PatternImage());
    EXPECT_FALSE(SetupImageOf(image, 4).has_value());
    EXPECT_FALSE(ReadChannelSwitches(image, 0, 4).has_value());
    EXPECT_FALSE(WriteChannelSwitches(image, -1, 0, ChannelSwitches{}));
    EXPECT_FALSE(ReadParamPair(image, kDeviceImageSize - 7).has_value());
}

// A change of the whole tune posts each range that changed once, as a single edit of it would, and
// the levels that changed; nothing else, and nothing of the other setups. Words of values that
// did not change are left as they are.
TEST(DeviceImageUpdates, ATuneChangeRewritesAndPostsOnlyWhatDiffers) {
    ParameterModel before = FourChannels();
    before.CurrentSetupIndex = kSetup;
    DeviceImage image = PatternImage();
    for (int s = 0; s < kSetupCount; ++s) RebuildSetupImage(image, before, s);
    // A word as the amplifier computed it, which the model's grid would not give back.
    const std::size_t amplifierWord = InSetup(HighPassOffset(2) + CosPairOffset(0));
    StoreValueWord(image, amplifierWord, 0x12345678u);
    EXPECT_EQ(Describe(UpdateTuneChange(image, before, before)), "");

    ParameterModel after = before;
    Ch(after, 1).EQBand[3].Gain = 2.0f;
    Ch(after, 1).CustomEQ[3].Freq = 500.0f;
    Ch(after, 2).LowPassFreq = 5000.0f;
    Ch(after, 3).LevelVal = 4.0f;
    Ch(after, 3).DelayOn = 1;
    Ch(after, 3).DelayTime = 1.0f;
    Ch(after, 0, 0).Trim = 9.0f;  // another setup: rewritten, not posted
    Ch(after, 0, 0).DelayOn = 1;
    EXPECT_EQ(Describe(UpdateTuneChange(image, before, after)),
              R(32, 0) + " " + R(16, BandOffset(1, 3)) + " " + R(24, CustomPointOffset(1, 3)) +
                  " " + R(104, LowPassOffset(2)) + " L3=4");
    EXPECT_EQ(ValueHex(image, SetupImageOffset(0) + OutputGainOffset(0)), "2D 6A 86 6F");  // -9 dB
    EXPECT_EQ(image[SwitchRecordOffset(kSetup, 3) + kSwitchDelayOn], 1);
    EXPECT_EQ(ValueHex(image, amplifierWord), "12 34 56 78") << "an unchanged filter keeps it";

    // Back again: the same ranges.
    EXPECT_EQ(Describe(UpdateTuneChange(image, after, before)),
              R(32, 0) + " " + R(16, BandOffset(1, 3)) + " " + R(24, CustomPointOffset(1, 3)) +
                  " " + R(104, LowPassOffset(2)) + " L3=1");
}

TEST(DeviceImageUpdates, EditRangesCoverTheSetupImage) {
    const struct {
        std::size_t at;
        ImageRange range;
    } cases[] = {
        {0, {0, 32}},
        {31, {0, 32}},
        {32, {32, 16}},
        {BandOffset(3, 26) + 15, {BandOffset(3, 26), 16}},
        {CustomPointOffset(0, 0), {CustomPointOffset(0, 0), 24}},
        {CustomPointOffset(3, 3) + 23, {CustomPointOffset(3, 3), 24}},
        {HighPassOffset(3), {HighPassOffset(3), 104}},
        {LowPassOffset(0) + 103, {LowPassOffset(0), 104}},
        {OutputGainOffset(3) + 7, {OutputGainOffset(3), 8}},
    };
    for (const auto& k : cases) EXPECT_EQ(EditRangeInSetup(k.at), k.range) << k.at;
}

}  // namespace
}  // namespace vantrel
