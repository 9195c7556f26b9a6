#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "model/Scales.h"

namespace vantrel {
namespace {

float Pow10(double x) { return static_cast<float>(std::pow(10.0, x)); }

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- conversions, one table per quantity ----

struct Case {
    const char* what;
    double in;
    float want;
};

void ExpectCases(const char* name, float (*convert)(double), std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const float got = convert(c.in);
        EXPECT_FLOAT_EQ(got, c.want) << name << ": " << c.what;
        EXPECT_FALSE(std::signbit(got) && got == 0.0f) << name << ": " << c.what << " gave -0";
    }
}

TEST(ScalesTest, QuantizeLevelLimitsBeforeRoundingHalfUp) {
    ExpectCases("QuantizeLevel", QuantizeLevel,
                {
                    {"50 % is step 8", 50, 8},
                    {"120 % is cut to 16", 120, 16},
                    {"100 %", 100, 16},
                    {"99 % rounds to 16", 99, 16},
                    {"half a step rounds up", 3.125, 1},
                    {"just under half a step", 3.1, 0},
                    {"negative is 0", -5, 0},
                    {"NaN reads as 0", kNan, 0},
                    {"infinity is 16", kInf, 16},
                });
}

float Crossover0(double hz) { return QuantizeCrossoverFreq(hz, 0); }
float Crossover2(double hz) { return QuantizeCrossoverFreq(hz, 2); }

TEST(ScalesTest, QuantizeCrossoverFreqOnHundredthDecadeGrid) {
    ExpectCases("QuantizeCrossoverFreq mode 0", Crossover0,
                {
                    {"20000 Hz is 10^4.3", 20000, Pow10(4.3)},
                    {"1000 Hz stays", 1000, 1000},
                    {"5 Hz is 16", 5, 16},
                    {"16 Hz: grid point 10^1.2 is below 16", 16, 16},
                    {"20893 Hz: grid point 10^4.32 is below the limit", 20893, Pow10(4.32)},
                    {"25000 Hz is cut to 20893", 25000, 20893},
                    {"1011 Hz is below the midpoint 10^3.005", 1011, Pow10(3.0)},
                    {"1012 Hz is the next point", 1012, Pow10(3.01)},
                    {"0 Hz is 16", 0, 16},
                    {"negative is 16", -300, 16},
                    {"NaN is 16", kNan, 16},
                    {"infinity is the limit", kInf, 20893},
                });
    ExpectCases("QuantizeCrossoverFreq mode 2", Crossover2,
                {
                    {"20000 Hz is 302", 20000, 302},
                    {"302 Hz: grid point 10^2.48 stays", 302, Pow10(2.48)},
                    {"310 Hz: grid point 10^2.49 is above 302", 310, 302},
                    {"5 Hz is 16", 5, 16},
                });
}

TEST(ScalesTest, QuantizeEqFreqOnFiftiethDecadeGrid) {
    ExpectCases("QuantizeEqFreq", QuantizeEqFreq,
                {
                    {"1000 Hz stays 1000", 1000, 1000},
                    {"500 Hz is 10^2.7", 500, Pow10(2.7)},
                    {"1020 Hz is below the midpoint 10^3.01", 1020, 1000},
                    {"1030 Hz is 10^3.02", 1030, Pow10(3.02)},
                    {"5 Hz is 16", 5, 16},
                    {"30000 Hz is 20893", 30000, 20893},
                });
}

TEST(ScalesTest, CustomPointKnob) {
    EXPECT_FLOAT_EQ(FreqKnobPosition(1000), 3.0f);
    EXPECT_FLOAT_EQ(FreqKnobPosition(QuantizeEqFreq(1000)), 3.0f);
    EXPECT_FLOAT_EQ(FreqKnobPosition(100), 2.0f);
    EXPECT_FLOAT_EQ(FreqKnobPosition(500), 2.7f);  // 2.69897 / 0.02 = 134.95
    EXPECT_FLOAT_EQ(FreqKnobMinimum(), 1.2f);
    EXPECT_FLOAT_EQ(FreqKnobMaximum(), 4.32f);
    EXPECT_FLOAT_EQ(FreqKnobPosition(0), FreqKnobMinimum());
    EXPECT_FLOAT_EQ(FreqKnobPosition(kInf), FreqKnobMaximum());

    EXPECT_FLOAT_EQ(FreqFromKnob(3.0, 0), 1000.0f);
    EXPECT_FLOAT_EQ(FreqFromKnob(3.0, 2), 302.0f);
    EXPECT_FLOAT_EQ(FreqFromKnob(2.0, 2), 100.0f);
    EXPECT_FLOAT_EQ(FreqFromKnob(4.32, 0), Pow10(4.32));
    EXPECT_FLOAT_EQ(FreqFromKnob(1.2, 0), 16.0f);
}

TEST(ScalesTest, StepCrossoverFreqIsOneHundredthDecadeLimited) {
    struct StepCase {
        const char* what;
        double hz;
        int direction;
        std::uint8_t mode;
        float want;
    };
    const StepCase cases[] = {
        {"up from 1000", 1000, +1, 0, Pow10(3.01)},
        {"down from 1000", 1000, -1, 0, Pow10(2.99)},
        {"off the grid stays off the grid", 1005, +1, 0, Pow10(std::log10(1005.0) + 0.01)},
        {"up at the top", 20893, +1, 0, 20893},
        {"up at the bass top", 302, +1, 2, 302},
        {"down from the bass top", 302, -1, 2, Pow10(std::log10(302.0) - 0.01)},
        {"down at the bottom", 16, -1, 0, 16},
        {"above the bass limit comes down to it", 1000, -1, 2, 302},
    };
    for (const StepCase& c : cases) {
        EXPECT_FLOAT_EQ(StepCrossoverFreq(c.hz, c.direction, c.mode), c.want) << c.what;
    }
    EXPECT_FLOAT_EQ(MaxCrossoverFreq(0), 20893.0f);
    EXPECT_FLOAT_EQ(MaxCrossoverFreq(2), 302.0f);
}

TEST(ScalesTest, DelayTimeAndDistance) {
    ExpectCases("QuantizeDelayTime", QuantizeDelayTime,
                {
                    {"on the grid", 5, 5},
                    {"rounds to 0.02", 5.013, 5.02f},
                    {"rounds down", 5.009, 5.0},
                    {"above 20", 25, 20},
                    {"negative", -1, 0},
                    {"tiny negative", -0.005, 0},
                    {"one step negative gives 0, not -0", -0.02, 0},
                });
    ExpectCases("QuantizeDelayDistance", QuantizeDelayDistance,
                {
                    {"700 cm is 680 cm = 20 ms", 700, 20},
                    {"34 cm is 1 ms", 34, 1},
                    {"0.34 cm rounds up to 0.68 cm", 0.34, 0.02f},
                    {"0.3 cm rounds down", 0.3, 0},
                    {"negative", -10, 0},
                });
}

TEST(ScalesTest, TrimIsTypedNegative) {
    ExpectCases("QuantizeTrim", QuantizeTrim,
                {
                    {"positive input is cut to 0 dB", 3, 0},
                    {"-40 is 30", -40, 30},
                    {"-12.34 is 12.3", -12.34, 12.3f},
                    {"-12.36 is 12.4", -12.36, 12.4f},
                    {"a little positive gives 0", 0.04, 0},
                    {"one step positive gives 0, not -0", 0.1, 0},
                    {"0", 0, 0},
                });
}

TEST(ScalesTest, QAndGain) {
    ExpectCases("QuantizeQ", QuantizeQ,
                {
                    {"0.1 is 0.4", 0.1, 0.4f},
                    {"30 is 24", 30, 24},
                    {"2.04 is 2.0", 2.04, 2.0f},
                    {"2.06 is 2.1", 2.06, 2.1f},
                    {"NaN reads as 0, i.e. 0.4", kNan, 0.4f},
                });
    ExpectCases("QuantizeEqGain", QuantizeEqGain,
                {
                    {"-30 is -24", -30, -24},
                    {"-0.26 is -0.3", -0.26, -0.3f},
                    {"0.26 is 0.3", 0.26, 0.3f},
                    {"-0.25 is half away from zero", -0.25, -0.3f},
                    {"0.25 is half away from zero", 0.25, 0.3f},
                    {"-0.04 is 0, not -0", -0.04, 0},
                    {"10 is 6", 10, 6},
                    {"-24 stays", -24, -24},
                });
}

// ---- typed text ----

TEST(ScalesTest, ParseTypedNumber) {
    struct ParseCase {
        const char* text;
        std::optional<double> want;
    };
    const ParseCase cases[] = {
        {"", std::nullopt}, {"   ", std::nullopt}, {" \t", std::nullopt},
        {"50", 50.0},       {" 12.5 Hz", 12.5},    {"50.00 %", 50.0},
        {"-40", -40.0},     {"1e3", 1000.0},       {"1,5", 1.0},
        // Garbage is no number at all, never 0: the box goes back to what it showed.
        {"abc", std::nullopt}, {"-", std::nullopt}, {"nan", std::nullopt},
        {"inf", std::nullopt}, {".", std::nullopt}, {"Hz 100", std::nullopt},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(ParseTypedNumber(c.text), c.want) << '"' << c.text << '"';
    }
}

// Typed entries from the text in the box to the value stored and the text shown after.
TEST(ScalesTest, TypedEntryRoundTrip) {
    struct EntryCase {
        const char* text;
        float (*convert)(double);
        float want;
        std::string (*show)(float);
        const char* shown;
    };
    const EntryCase cases[] = {
        {"50", QuantizeLevel, 8, LevelText, "50.00 %"},
        {"120", QuantizeLevel, 16, LevelText, "100.00 %"},
        {"20000", Crossover0, Pow10(4.3), FreqText, "19953 Hz"},
        {"20000", Crossover2, 302, FreqText, "302 Hz"},
        {"5", Crossover0, 16, FreqText, "16 Hz"},
        {"3", QuantizeTrim, 0, TrimText, "0.0 dB"},
        {"-40", QuantizeTrim, 30, TrimText, "-30.0 dB"},
        {"700", QuantizeDelayDistance, 20, DelayDistanceText, "680.0 cm"},
        {"700", QuantizeDelayDistance, 20, DelayTimeText, "20.00 ms"},
        {"0.1", QuantizeQ, 0.4f, QText, "0.4"},
        {"-30", QuantizeEqGain, -24, GainText, "-24.0 dB"},
        {"-0.26", QuantizeEqGain, -0.3f, GainText, "-0.3 dB"},
        {"1000", QuantizeEqFreq, 1000, FreqText, "1000 Hz"},
    };
    for (const EntryCase& c : cases) {
        const std::optional<double> typed = ParseTypedNumber(c.text);
        ASSERT_TRUE(typed.has_value()) << c.text;
        const float value = c.convert(*typed);
        EXPECT_FLOAT_EQ(value, c.want) << c.text;
        EXPECT_EQ(c.show(value), c.shown) << c.text;
    }
}

// ---- display texts ----

TEST(ScalesTest, LevelTexts) {
    EXPECT_EQ(LevelText(1), "6.25 %");
    EXPECT_EQ(LevelText(0), "0.00 %");
    EXPECT_EQ(LevelBarPercent(1), 6);
    EXPECT_EQ(LevelBarPercent(15), 93);
    EXPECT_EQ(LevelBarPercent(16), 100);
    EXPECT_EQ(LevelBarPercent(0), 0);
}

TEST(ScalesTest, FrequencyTexts) {
    EXPECT_EQ(FreqText(Pow10(4.32)), "20893 Hz");
    EXPECT_EQ(FreqText(15.5f), "16 Hz");
    EXPECT_EQ(OverviewFreqText(Pow10(3.01), true), "1023");
    EXPECT_EQ(OverviewFreqText(1000, false), "-");
    EXPECT_EQ(BandFreqPressedText(0), "40 Hz");
    EXPECT_EQ(BandFreqPressedText(26), "16000 Hz");
    EXPECT_EQ(BandFreqPressedText(27), "");
    EXPECT_EQ(BandFreqPressedText(-1), "");
}

TEST(ScalesTest, FilterTypeText) {
    struct FilterCase {
        std::uint8_t hp, lp;
        bool beyond;
        const char* want;
    };
    const FilterCase cases[] = {
        {1, 0, false, "HPF"}, {0, 1, false, "LPF"}, {1, 1, false, "BPF"}, {0, 0, false, "OFF"},
        {0, 0, true, "-"},    {1, 0, true, "HPF"},  {0, 1, true, "LPF"},
    };
    for (const FilterCase& c : cases) {
        ChannelRecord ch;
        ch.HighPassOn = c.hp;
        ch.LowPassOn = c.lp;
        EXPECT_EQ(FilterTypeText(ch, c.beyond), c.want) << int(c.hp) << int(c.lp) << c.beyond;
    }
}

TEST(ScalesTest, DelayTrimAndEqTexts) {
    EXPECT_EQ(DelayTimeText(QuantizeDelayTime(5.013)), "5.02 ms");
    EXPECT_EQ(DelayDistanceText(0.02f), "0.7 cm");
    EXPECT_EQ(TrimText(0), "0.0 dB");
    EXPECT_EQ(TrimText(12.3f), "-12.3 dB");

    ChannelRecord ch;
    ch.DelayTime = 1.5f;
    ch.Trim = 6.5f;
    EXPECT_EQ(OverviewDelayText(ch), "-");
    EXPECT_EQ(OverviewTrimText(ch), "-");
    ch.DelayOn = 1;
    EXPECT_EQ(OverviewDelayText(ch), "1.50");
    EXPECT_EQ(OverviewTrimText(ch), "-6.5");

    EXPECT_EQ(EqStateText(ch, false), "ON");
    EXPECT_EQ(EqStateText(ch, true), "-");
    ch.EQBypass = 1;
    EXPECT_EQ(EqStateText(ch, false), "OFF");
    EXPECT_EQ(EqStateText(ch, true), "-");

    EXPECT_EQ(GainText(6), "6.0 dB");
    EXPECT_EQ(QText(24), "24.0");
}

}  // namespace
}  // namespace vantrel
