#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "curves/ChannelResponse.h"
#include "model/ParameterModel.h"

namespace vantrel {
namespace {

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Graphic bands at their usual centres and Q, everything flat.
ChannelRecord FlatChannel() {
    ChannelRecord ch;
    for (int b = 0; b < kEqBandCount; ++b) {
        ch.EQBand[b].Freq = static_cast<float>(EqBandFrequencies[b]);
        ch.EQBand[b].Q = 3.0f;
    }
    return ch;
}

// Every band and point active, both crossovers on.
ChannelRecord BusyChannel() {
    ChannelRecord ch = FlatChannel();
    ch.HighPassOn = 1;
    ch.HighPassFreq = 35.0f;
    ch.HighPassSlope = 24;
    ch.LowPassOn = 1;
    ch.LowPassFreq = 12000.0f;
    ch.LowPassSlope = 12;
    ch.CustomEQ = {{{60.0f, 6.0f, 0.7f, 0},
                    {250.0f, -12.0f, 4.0f, 0},
                    {3000.0f, -24.0f, 24.0f, 0},
                    {8000.0f, 4.5f, 2.0f, 0}}};
    for (int b = 0; b < kEqBandCount; ++b) {
        const float gain = static_cast<float>((b * 7) % 22 - 15);
        ch.EQBand[b].Gain = gain == 0.0f ? 3.5f : gain;
    }
    return ch;
}

// The drawing axis: 1000 columns, 12.6 Hz to 25119 Hz on a log scale.
std::vector<float> DrawingAxis() {
    std::vector<float> freqs(1000);
    for (std::size_t i = 0; i < freqs.size(); ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(freqs.size() - 1);
        freqs[i] = static_cast<float>(12.6 * std::pow(25119.0 / 12.6, t));
    }
    return freqs;
}

float RowAt(const ChannelRecord& ch, float f) {
    float out = kNan;
    ChannelResponseRow(ch, &f, 1, &out);
    return out;
}

struct Expect {
    float f;
    float want;
};

struct Case {
    const char* what;
    void (*setup)(ChannelRecord&);
    std::vector<Expect> expect;
};

// Each case is checked through both entry points: the per-call function and the drawing row.
void ExpectCases(const std::vector<Case>& cases, float tolerance) {
    for (const Case& c : cases) {
        ChannelRecord ch = FlatChannel();
        c.setup(ch);
        for (const Expect& e : c.expect) {
            EXPECT_NEAR(ChannelResponseDb(ch, e.f), e.want, tolerance) << c.what << " at " << e.f;
            EXPECT_NEAR(RowAt(ch, e.f), e.want, tolerance) << c.what << " at " << e.f << " (row)";
        }
    }
}

constexpr float kButter2 = -3.0103f;     // -10 log10(2): any Butterworth at its corner
constexpr float kPeakSide = 0.5701f;     // +6 dB, Q 3, an octave off centre
constexpr float kCutAt1200 = -13.8936f;  // -15 dB, Q 1.5 at 1000 Hz, seen at 1200 Hz

TEST(ChannelResponseTest, EdgeCases) {
    const std::vector<Expect> flat = {{12.6f, 0}, {100, 0}, {1000, 0}, {10000, 0}, {25119, 0}};
    ExpectCases(
        {
            {"flat channel", [](ChannelRecord&) {}, flat},
            {"flat, all bypasses set",
             [](ChannelRecord& ch) {
                 ch.EQBypass = 1;
                 for (EqPoint& p : ch.CustomEQ) p.Bypass = 1;
             },
             flat},
            {"flat, mute, level, delay and trim do not enter",
             [](ChannelRecord& ch) {
                 ch.Mute = 1;
                 ch.LevelVal = 0;
                 ch.DelayOn = 1;
                 ch.DelayTime = 20;
                 ch.Trim = 30;
             },
             flat},
            {"high-pass 100 Hz 12 dB/oct",
             [](ChannelRecord& ch) {
                 ch.HighPassOn = 1;
                 ch.HighPassFreq = 100;
                 ch.HighPassSlope = 12;
             },
             {{100, kButter2}, {25, -24.0993f}, {20000, 0}}},
            {"low-pass 100 Hz 12 dB/oct mirrors it",
             [](ChannelRecord& ch) {
                 ch.LowPassOn = 1;
                 ch.LowPassFreq = 100;
                 ch.LowPassSlope = 12;
             },
             {{100, kButter2}, {400, -24.0993f}}},
            {"filter switched off keeps its settings out",
             [](ChannelRecord& ch) {
                 ch.HighPassFreq = 1000;
                 ch.HighPassSlope = 48;
                 ch.LowPassFreq = 20;
                 ch.LowPassSlope = 48;
             },
             {{100, 0}, {1000, 0}}},
            {"point +6 dB Q 3 at 1000 Hz",
             [](ChannelRecord& ch) {
                 ch.CustomEQ[1] = {1000, 6, 3, 0};
             },
             {{1000, 6}, {500, kPeakSide}, {2000, kPeakSide}}},
            {"point -6 dB Q 3 at 1000 Hz is its mirror image",
             [](ChannelRecord& ch) {
                 ch.CustomEQ[1] = {1000, -6, 3, 0};
             },
             {{1000, -6}, {500, -kPeakSide}, {2000, -kPeakSide}}},
            {"band -15 dB Q 1.5 at 1000 Hz",
             [](ChannelRecord& ch) {
                 ch.EQBand[14] = {1000, -15, 1.5f, 0};
             },
             {{1000, -15}, {1200, kCutAt1200}}},
            {"band Bypass flag is not looked at",
             [](ChannelRecord& ch) {
                 ch.EQBand[14] = {1000, -15, 1.5f, 1};
             },
             {{1200, kCutAt1200}}},
            {"EQBypass removes bands, not points",
             [](ChannelRecord& ch) {
                 ch.EQBand[14] = {1000, -15, 1.5f, 0};
                 ch.CustomEQ[3] = {1000, 6, 3, 0};
                 ch.EQBypass = 1;
             },
             {{1000, 6}, {500, kPeakSide}}},
            {"bypassed point with gain contributes nothing",
             [](ChannelRecord& ch) {
                 ch.CustomEQ[0] = {1000, -24, 3, 1};
                 ch.CustomEQ[2] = {500, 6, 3, 0};
             },
             {{1000, kPeakSide}, {500, 6}}},
            {"terms add: point on band on crossover",
             [](ChannelRecord& ch) {
                 ch.HighPassOn = 1;
                 ch.HighPassFreq = 1000;
                 ch.HighPassSlope = 12;
                 ch.EQBand[14] = {1000, -15, 1.5f, 0};
                 ch.CustomEQ[0] = {1000, 6, 3, 0};
             },
             {{1000, kButter2 - 15 + 6}}},
        },
        0.001f);
}

// The same analog formulas, in double and in a different form: relative frequency r = f / F,
// and a cut computed as the negated boost of the same size.
double ReferencePeakDb(double centre, double gain, double q, double f) {
    if (gain == 0.0) return 0.0;
    const double r = f / centre;
    const double x = (1.0 - r * r) * (1.0 - r * r);
    const double y = (r / q) * (r / q);
    const double aSq = std::pow(10.0, std::abs(gain) / 10.0);
    const double boost = 10.0 * std::log10((x + aSq * y) / (x + y));
    return gain > 0.0 ? boost : -boost;
}

double ReferenceChannelDb(const ChannelRecord& ch, double f) {
    double db = 0.0;
    if (ch.HighPassOn != 0) {
        const int order = ch.HighPassSlope / 6;
        db -= 10.0 * std::log10(1.0 + std::pow(ch.HighPassFreq / f, 2 * order));
    }
    if (ch.LowPassOn != 0) {
        const int order = ch.LowPassSlope / 6;
        db -= 10.0 * std::log10(1.0 + std::pow(f / ch.LowPassFreq, 2 * order));
    }
    for (const EqPoint& p : ch.CustomEQ) {
        if (p.Bypass == 0) db += ReferencePeakDb(p.Freq, p.Gain, p.Q, f);
    }
    if (ch.EQBypass == 0) {
        for (const EqPoint& b : ch.EQBand) db += ReferencePeakDb(b.Freq, b.Gain, b.Q, f);
    }
    return db;
}

TEST(ChannelResponseTest, MatchesDoublePrecisionReference) {
    ChannelRecord steep = FlatChannel();
    steep.HighPassOn = 1;
    steep.HighPassFreq = 80;
    steep.HighPassSlope = 48;
    steep.LowPassOn = 1;
    steep.LowPassFreq = 2000;
    steep.LowPassSlope = 6;
    steep.CustomEQ = {{{120, -24, 24, 0}, {120, 6, 0.4f, 0}, {700, -3.3f, 9.5f, 0}, {5, 6, 3, 1}}};
    steep.EQBand[3].Gain = -15;
    steep.EQBand[3].Q = 0.4f;
    steep.EQBand[26].Gain = 6;
    steep.EQBand[26].Q = 24;

    ChannelRecord bypassed = BusyChannel();
    bypassed.EQBypass = 1;
    bypassed.HighPassSlope = 36;
    bypassed.LowPassSlope = 6;
    bypassed.CustomEQ[2].Bypass = 1;

    const std::vector<float> axis = DrawingAxis();
    for (const ChannelRecord& ch : {BusyChannel(), steep, bypassed}) {
        for (float f : axis) {
            const double want = ReferenceChannelDb(ch, f);
            // Float frequencies, per-band values and sums stay within about 2e-5 dB here.
            EXPECT_NEAR(ChannelResponseDb(ch, f), want, 2e-4 + 1e-6 * std::abs(want)) << f;
        }
    }
}

TEST(ChannelResponseTest, RowMatchesPerCallOnBusyChannel) {
    const ChannelRecord ch = BusyChannel();
    const std::vector<float> axis = DrawingAxis();
    std::vector<float> row(axis.size(), kNan);
    ChannelResponseRow(ch, axis.data(), axis.size(), row.data());
    for (std::size_t i = 0; i < axis.size(); ++i) {
        EXPECT_NEAR(row[i], ChannelResponseDb(ch, axis[i]), 0.005) << axis[i];
    }
}

// Preset files are editable by hand, so any value may arrive. Nothing may turn into NaN or
// infinity, and the drawing row must agree with the per-call function on the same rules.
TEST(ChannelResponseTest, OddRecordsStayFinite) {
    const std::vector<Case> cases = {
        {"frequencies that are not positive or finite draw flat",
         [](ChannelRecord& ch) { ch = BusyChannel(); },
         {{0, 0}, {-1, 0}, {kNan, 0}, {kInf, 0}, {-kInf, 0}}},
        {"Q 0 drops the band",
         [](ChannelRecord& ch) {
             ch.EQBand[14] = {1000, -15, 0, 0};
         },
         {{1000, 0}}},
        {"negative Q drops the point",
         [](ChannelRecord& ch) {
             ch.CustomEQ[0] = {1000, 6, -3, 0};
         },
         {{1000, 0}}},
        {"centre 0 drops the point",
         [](ChannelRecord& ch) {
             ch.CustomEQ[0] = {0, 6, 3, 0};
         },
         {{1000, 0}, {12.6f, 0}}},
        {"NaN centre, gain and Q drop their bands",
         [](ChannelRecord& ch) {
             ch.EQBand[0] = {kNan, 6, 3, 0};
             ch.EQBand[1] = {50, kNan, 3, 0};
             ch.EQBand[2] = {63, 6, kNan, 0};
         },
         {{50, 0}}},
        {"infinite gain is limited to 200 dB",
         [](ChannelRecord& ch) {
             ch.CustomEQ[0] = {1000, kInf, 3, 0};
         },
         {{1000, 200}}},
        {"slope 0 is no filter",
         [](ChannelRecord& ch) {
             ch.HighPassOn = 1;
             ch.HighPassFreq = 100;
             ch.HighPassSlope = 0;
         },
         {{100, 0}, {10, 0}}},
        {"slope 10 uses exponent 3",
         [](ChannelRecord& ch) {
             ch.LowPassOn = 1;
             ch.LowPassFreq = 100;
             ch.LowPassSlope = 10;
         },
         {{100, kButter2}, {200, -9.5424f}}},
        {"corner 0 or NaN is no filter",
         [](ChannelRecord& ch) {
             ch.HighPassOn = 1;
             ch.HighPassFreq = 0;
             ch.LowPassOn = 1;
             ch.LowPassFreq = kNan;
         },
         {{100, 0}}},
        {"steepest byte slopes, crossed far apart",
         [](ChannelRecord& ch) {
             ch = BusyChannel();
             ch.HighPassFreq = 20000;
             ch.HighPassSlope = 255;
             ch.LowPassFreq = 16;
             ch.LowPassSlope = 255;
         },
         {}},
        {"every band at full boost",
         [](ChannelRecord& ch) {
             for (EqPoint& p : ch.EQBand) p.Gain = 1e9f;
             for (EqPoint& p : ch.CustomEQ) p.Gain = kInf;
         },
         {}},
        {"extreme centres and Q",
         [](ChannelRecord& ch) {
             ch.CustomEQ = {{{1e-40f, 6, 3, 0},
                             {5e29f, -24, 1e-40f, 0},
                             {1000, 6, 3e38f, 0},
                             {3e38f, 6, 3, 0}}};
         },
         {}},
    };
    ExpectCases(cases, 0.001f);

    std::vector<float> freqs = DrawingAxis();
    freqs.insert(freqs.end(), {0.0f, -1.0f, kNan, kInf, 1e-40f, 1e-20f, 5e29f, 1e31f});
    std::vector<float> row(freqs.size());
    for (const Case& c : cases) {
        ChannelRecord ch = FlatChannel();
        c.setup(ch);
        ChannelResponseRow(ch, freqs.data(), freqs.size(), row.data());
        for (std::size_t i = 0; i < freqs.size(); ++i) {
            const float one = ChannelResponseDb(ch, freqs[i]);
            ASSERT_TRUE(std::isfinite(one)) << c.what << " at " << freqs[i];
            ASSERT_TRUE(std::isfinite(row[i])) << c.what << " at " << freqs[i] << " (row)";
            EXPECT_NEAR(row[i], one, 0.005 + 1e-6 * std::abs(one)) << c.what << " at " << freqs[i];
        }
    }
}

}  // namespace
}  // namespace vantrel
