#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "curves/ChannelResponse.h"
#include "curves/ExactResponse.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"

namespace vantrel {
namespace {

constexpr double kFs = 48000.0;
const double kHalfPowerDb = 10.0 * std::log10(0.5);  // -3.0103
const double kDoubleDb = 20.0 * std::log10(2.0);     // +6.0206

ChannelRecord Flat() {
    ChannelRecord ch;
    for (int b = 0; b < kEqBandCount; ++b) {
        ch.EQBand[static_cast<std::size_t>(b)].Freq =
            static_cast<float>(EqBandFrequencies[static_cast<std::size_t>(b)]);
    }
    return ch;
}

ChannelRecord Crossover(bool highPass, float hz, std::uint8_t slope) {
    ChannelRecord ch = Flat();
    if (highPass) {
        ch.HighPassOn = 1;
        ch.HighPassFreq = hz;
        ch.HighPassSlope = slope;
    } else {
        ch.LowPassOn = 1;
        ch.LowPassFreq = hz;
        ch.LowPassSlope = slope;
    }
    return ch;
}

// Channels 0 and 1 of a four-channel setup, through the scratch image as the control draws them.
ExactSetup Decode(const ChannelRecord& a, const ChannelRecord& b = Flat(),
                  bool masterMute = false) {
    SetupRecord setup;
    setup.MasterMute = masterMute ? 1 : 0;
    setup.Channels[0] = a;
    setup.Channels[1] = b;
    return DecodeExactSetup(setup, 4);
}

double Db(const ChannelRecord& ch, double hz) {
    return ExactResponse(Decode(ch).Channels[0], hz).Db;
}

// A Butterworth filter of order n made with the bilinear transform, prewarped to its corner:
// |H|^2 = 1 / (1 + r^2n), r = tan(w/2) / tan(wc/2) for the low-pass and its inverse for the
// high-pass. The crossover sections are such filters, so this holds at every frequency.
double BilinearButterworthDb(bool highPass, double fc, int order, double f) {
    double r = std::tan(M_PI * f / kFs) / std::tan(M_PI * fc / kFs);
    if (highPass) r = 1.0 / r;
    return -10.0 * std::log10(1.0 + std::pow(r, 2 * order));
}

TEST(ExactResponse, CrossoversAreBilinearButterworthFilters) {
    struct Case {
        bool highPass;
        float corner;
        std::uint8_t slope;
    };
    // Corners above 12 kHz take the amplifier's sign convention for second-order sections.
    const Case cases[] = {{true, 80.0f, 6},      {true, 80.0f, 12},     {true, 1000.0f, 24},
                          {true, 1000.0f, 36},   {true, 16000.0f, 48},  {false, 500.0f, 6},
                          {false, 2000.0f, 12},  {false, 5000.0f, 24},  {false, 14000.0f, 36},
                          {false, 16000.0f, 48}, {false, 20000.0f, 12}, {true, 13000.0f, 12},
                          {false, 250.0f, 48}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.highPass ? "HP " : "LP ") << c.corner << " Hz "
                                        << int(c.slope) << " dB/oct");
        const ChannelRecord ch = Crossover(c.highPass, c.corner, c.slope);
        const int order = c.slope / 6;
        EXPECT_NEAR(Db(ch, c.corner), kHalfPowerDb, 0.01);
        for (double f = 20.0; f < 23500.0; f *= 1.1) {
            const double expected = BilinearButterworthDb(c.highPass, c.corner, order, f);
            if (expected < -110.0) continue;  // near the floor
            ASSERT_NEAR(Db(ch, f), expected, 0.01) << f << " Hz";
        }
        // An octave far enough from the corner, below half the rate's warping and above the
        // floor, falls by 6 dB per order.
        const double octaves = order >= 4 ? 1.0 : order >= 2 ? 2.0 : 3.0;
        const double near =
            c.highPass ? c.corner / std::exp2(octaves) : c.corner * std::exp2(octaves);
        const double far = c.highPass ? near / 2.0 : near * 2.0;
        if (std::max(near, far) <= 2000.0 && std::min(near, far) >= 20.0) {
            EXPECT_NEAR(Db(ch, near) - Db(ch, far), 6.0 * order, 0.1 + 0.005 * 6.0 * order);
        }
    }
}

TEST(ExactResponse, PeakingBandsReachTheirGainAtTheirCentre) {
    ChannelRecord band = Flat();
    band.EQBand[14].Gain = 6.0f;  // 1 kHz, Q 3
    ChannelRecord cut = Flat();
    cut.CustomEQ[1] = {3000.0f, -9.0f, 2.0f, 0};
    ChannelRecord high = Flat();
    high.CustomEQ[2] = {18000.0f, 4.5f, 5.0f, 0};
    EXPECT_NEAR(Db(band, 1000.0), 6.0, 0.01);
    EXPECT_NEAR(Db(cut, 3000.0), -9.0, 0.01);
    EXPECT_NEAR(Db(high, 18000.0), 4.5, 0.01);
    EXPECT_NEAR(Db(band, 30.0), 0.0, 0.01);

    ChannelRecord ch = band;
    ch.CustomEQ[1] = cut.CustomEQ[1];
    ch.CustomEQ[2] = high.CustomEQ[2];
    // A bypassed EQ and a bypassed point draw nothing; the band's model Q is the one used.
    ChannelRecord off = ch;
    off.EQBypass = 1;
    off.CustomEQ[1].Bypass = 1;
    off.CustomEQ[2].Bypass = 1;
    EXPECT_NEAR(Db(off, 1000.0), 0.0, 1e-6);
    EXPECT_NEAR(Db(off, 3000.0), 0.0, 1e-6);
    ChannelRecord wide = Flat();
    wide.EQBand[14].Gain = 6.0f;
    wide.EQBand[14].Q = 1.0f;
    EXPECT_GT(Db(wide, 1500.0), Db(band, 1500.0) + 1.0);
}

TEST(ExactResponse, DelayTurnsOnlyThePhase) {
    ChannelRecord ch = Flat();
    ch.DelayOn = 1;
    ch.DelayTime = 1.5f;
    const ExactChannel exact = Decode(ch).Channels[0];
    for (double f = 20.0; f < 24000.0; f *= 1.3) {
        const ExactValue v = ExactResponse(exact, f);
        EXPECT_NEAR(v.Db, 0.0, 1e-5) << f;
        const double expected = std::remainder(-2.0 * M_PI * f * 1.5e-3, 2.0 * M_PI);
        // Compared as angles, so that +pi and -pi agree.
        EXPECT_NEAR(std::abs(std::remainder(v.PhaseRad - expected, 2.0 * M_PI)), 0.0, 1e-3) << f;
    }
}

TEST(ExactResponse, OutputGainSetsTheLevelAndSilenceReadsAsTheFloor) {
    ChannelRecord trimmed = Flat();
    trimmed.DelayOn = 1;
    trimmed.Trim = 6.0f;
    ChannelRecord ungated = trimmed;
    ungated.DelayOn = 0;  // the trim applies only with the delay section on
    ChannelRecord muted = Flat();
    muted.Mute = 1;
    for (const double f : {50.0, 1000.0, 15000.0}) {
        EXPECT_NEAR(Db(trimmed, f), -6.0, 0.001);
        EXPECT_NEAR(Db(ungated, f), 0.0, 0.001);
        EXPECT_EQ(Db(muted, f), kExactFloorDb);
        // The master mute switches the crossover blocks off.
        EXPECT_EQ(ExactResponse(Decode(Flat(), Flat(), true).Channels[0], f).Db, kExactFloorDb);
    }
}

// The same words decoded here by hand and the transfer functions evaluated as polynomials in
// z^-1 with std::complex: the response must follow, in level and phase, over the whole band.
TEST(ExactResponse, AgreesWithTheWordsEvaluatedByHand) {
    ParameterModel model;
    InitSetups(model);
    ChannelRecord& ch = model.Setups[0].Channels[2];
    ch.HighPassOn = 1;
    ch.HighPassFreq = 63.0f;
    ch.HighPassSlope = 36;
    ch.LowPassOn = 1;
    ch.LowPassFreq = 14500.0f;  // above a quarter of the rate
    ch.LowPassSlope = 24;
    ch.EQBand[3].Gain = -7.5f;
    ch.EQBand[20].Gain = 3.0f;
    ch.CustomEQ[0] = {120.0f, -4.0f, 1.4f, 0};
    ch.CustomEQ[3] = {9000.0f, 2.0f, 8.0f, 0};
    ch.DelayOn = 1;
    ch.DelayTime = 2.25f;
    ch.Trim = 1.5f;
    auto image = std::make_unique<DeviceImage>();
    image->fill(0);
    RebuildSetupImage(*image, model, 0);
    const ConstSetupImage setup = *SetupImageOf(std::as_const(*image), 0);

    auto word = [&](std::size_t pair) {
        const std::uint8_t* v = setup.data() + pair + 4;
        return static_cast<std::int32_t>(std::uint32_t{v[0]} << 24 | std::uint32_t{v[1]} << 16 |
                                         std::uint32_t{v[2]} << 8 | std::uint32_t{v[3]});
    };
    using C = std::complex<double>;
    auto hand = [&](double f) {
        const C z = std::polar(1.0, -2.0 * M_PI * f / kFs);  // z^-1
        C h = 1.0;
        for (const bool hp : {true, false}) {
            const std::size_t block = hp ? 2456 - 104 * 2 : 2872 - 104 * 2;
            for (int u = 0; u < 4; ++u) {
                const std::size_t sec = block + 8 + 24 * static_cast<std::size_t>(u);
                double k = word(sec) / 2147483648.0;
                const double c = word(sec + 8) / 2147483648.0;
                const std::int32_t type = word(sec + 16);
                if (type == 0) {
                    const C allpass = (k + z) / (1.0 + k * z);
                    h *= hp ? (1.0 - allpass) / 2.0 : (1.0 + allpass) / 2.0;
                } else if (type == 1) {
                    if (c < 0) k = -k;
                    const C den = 1.0 - c * (1.0 + k) * z + k * z * z;
                    const C num = hp ? (1.0 + c) * (1.0 + k) / 4.0 * (1.0 - z) * (1.0 - z)
                                     : (1.0 - c) * (1.0 + k) / 4.0 * (1.0 + z) * (1.0 + z);
                    h *= num / den;
                }
            }
        }
        auto peak = [&](double db, double f0, double q) {
            const double a = std::pow(10.0, db / 40.0);
            const double w0 = 2.0 * M_PI * f0 / kFs;
            const double alpha = std::sin(w0) / (2.0 * q);
            h *= (1.0 + alpha * a - 2.0 * std::cos(w0) * z + (1.0 - alpha * a) * z * z) /
                 (1.0 + alpha / a - 2.0 * std::cos(w0) * z + (1.0 - alpha / a) * z * z);
        };
        for (int b = 0; b < kEqBandCount; ++b) {
            const std::int32_t g = word(32 + 528 * 2 + 16 * static_cast<std::size_t>(b));
            if (g != 0) peak(g / 67108864.0, EqBandFrequencies[static_cast<std::size_t>(b)], 3.0);
        }
        for (int j = 0; j < 4; ++j) {
            const std::size_t p = 464 + 528 * 2 + 24 * static_cast<std::size_t>(j);
            const std::int32_t g = word(p);
            if (g != 0) {
                peak(g / 67108864.0,
                     (static_cast<std::uint32_t>(word(p + 16)) & 0x7FFFFFFFu) / 4096.0,
                     word(p + 8) / 67108864.0);
            }
        }
        const double gain = static_cast<std::uint32_t>(word(2976 + 16)) / 2147483648.0;
        const double tau = word(16) / 65536.0 / 1000.0;
        return h * gain * std::polar(1.0, -2.0 * M_PI * f * tau);
    };

    const ExactChannel exact = DecodeExactSetup(model.Setups[0], 4).Channels[2];
    std::vector<float> freqs;
    for (double f = 15.0; f < 23900.0; f *= 1.05) freqs.push_back(static_cast<float>(f));
    std::vector<float> row(freqs.size());
    std::vector<float> phase(freqs.size());
    ExactResponseRow(exact, freqs.data(), freqs.size(), row.data(), phase.data());
    for (std::size_t i = 0; i < freqs.size(); ++i) {
        const double f = freqs[i];
        const C expected = hand(f);
        SCOPED_TRACE(testing::Message() << f << " Hz");
        if (std::abs(expected) < 1e-5) {  // -100 dB: the low-pass right at half the rate
            EXPECT_LT(row[i], -95.0);
            continue;
        }
        EXPECT_NEAR(row[i], 20.0 * std::log10(std::abs(expected)), 0.002);
        EXPECT_NEAR(std::abs(std::remainder(phase[i] - std::arg(expected), 2.0 * M_PI)), 0.0, 2e-3);
        EXPECT_NEAR(std::abs(ExactResponseAt(exact, f) - expected), 0.0,
                    1e-6 + 1e-4 * std::abs(expected));
    }
}

TEST(ExactResponse, PairSumsFollowTheAcoustics) {
    const double corner = 2000.0;
    struct Case {
        const char* what;
        ChannelRecord a;
        ChannelRecord b;
        double hz;
        double expectedDb;  // or below -60 dB when NaN
    };
    ChannelRecord delayed = Flat();
    delayed.DelayOn = 1;
    delayed.DelayTime = 0.5f;  // half a period of 1 kHz
    const double cancels = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"identical channels add 6 dB", Flat(), Flat(), 440.0, kDoubleDb},
        {"half a period apart they cancel", Flat(), delayed, 1000.0, cancels},
        {"a quarter period apart they add 3 dB", Flat(), delayed, 500.0, -kHalfPowerDb},
        // First-order high- and low-pass add up to the input at every frequency.
        {"first-order crossover at the corner", Crossover(true, corner, 6),
         Crossover(false, corner, 6), corner, 0.0},
        {"first-order crossover above", Crossover(true, corner, 6), Crossover(false, corner, 6),
         7 * corner, 0.0},
        // Second-order Butterworth halves are half a turn apart at the corner: a notch.
        {"second-order crossover", Crossover(true, corner, 12), Crossover(false, corner, 12),
         corner, cancels},
        // Fourth-order ones are in phase there, each at -3 dB: +3 dB.
        {"fourth-order crossover", Crossover(true, corner, 24), Crossover(false, corner, 24),
         corner, -kHalfPowerDb},
        {"fourth-order crossover above a quarter of the rate", Crossover(true, 15000.0f, 24),
         Crossover(false, 15000.0f, 24), 15000.0, -kHalfPowerDb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ExactSetup setup = Decode(c.a, c.b);
        const double sum = ExactPairSumDb(setup.Channels[0], setup.Channels[1], c.hz);
        if (std::isnan(c.expectedDb)) {
            EXPECT_LT(sum, -60.0);
        } else {
            EXPECT_NEAR(sum, c.expectedDb, 0.01);
        }
        const float f = static_cast<float>(c.hz);
        float row = 0.0f;
        ExactPairSumRow(setup.Channels[0], setup.Channels[1], &f, 1, &row);
        EXPECT_NEAR(row, sum, 1e-3);
    }
}

TEST(ExactResponse, DiffersFromTheClassicCurveNearHalfTheRate) {
    // The analog display model and the 48 kHz filters agree in the midrange and part near the
    // top: the bilinear low-pass falls to nothing at 24 kHz.
    const ChannelRecord lp = Crossover(false, 16000.0f, 24);
    EXPECT_NEAR(Db(lp, 2000.0), ChannelResponseDb(lp, 2000.0f), 0.01);
    const double classic = ChannelResponseDb(lp, 20000.0f);
    const double exact = Db(lp, 20000.0);
    EXPECT_NEAR(classic, -8.4, 0.1);
    EXPECT_NEAR(exact, -26.7, 0.1);
}

TEST(ExactResponse, OnlyFourChannelsHaveAPlaceInTheImage) {
    SetupRecord setup;
    EXPECT_EQ(DecodeExactSetup(setup, 6).Count, 4);
    EXPECT_EQ(DecodeExactSetup(setup, 2).Count, 2);
    EXPECT_EQ(DecodeExactSetup(setup, 0).Count, 0);
    auto image = std::make_unique<DeviceImage>();
    image->fill(0);
    const ConstSetupImage words = *SetupImageOf(std::as_const(*image), 0);
    EXPECT_TRUE(DecodeExactChannel(words, 4).Silent());
    EXPECT_TRUE(DecodeExactChannel(words, -1).Silent());
}

TEST(ExactResponse, AnyBytesGiveFiniteLevels) {
    struct Fill {
        const char* what;
        std::uint32_t seed;  // 0: the pattern below, repeated
        std::vector<std::uint8_t> pattern;
    };
    const Fill fills[] = {
        {"zeros", 0, {0x00}},
        {"ones", 0, {0xFF}},
        {"most negative words", 0, {0x80, 0x00, 0x00, 0x00}},
        {"largest words", 0, {0x7F, 0xFF, 0xFF, 0xFF}},
        {"second-order type everywhere", 0, {0x00, 0x00, 0x00, 0x01}},
        {"random 1", 1, {}},
        {"random 2", 2, {}},
        {"random 3", 3, {}},
    };
    const std::vector<float> freqs = {-1.0f,
                                      0.0f,
                                      1e-30f,
                                      5.0f,
                                      1000.0f,
                                      23999.0f,
                                      24000.0f,
                                      30000.0f,
                                      1e30f,
                                      std::numeric_limits<float>::infinity(),
                                      std::numeric_limits<float>::quiet_NaN()};
    for (const Fill& fill : fills) {
        SCOPED_TRACE(fill.what);
        std::vector<std::uint8_t> bytes(kSetupImageSize);
        std::mt19937 random(fill.seed);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = fill.seed != 0 ? static_cast<std::uint8_t>(random())
                                      : fill.pattern[i % fill.pattern.size()];
        }
        const ConstSetupImage image(bytes.data(), kSetupImageSize);
        std::array<ExactChannel, kImageChannelCount> channels;
        for (int c = 0; c < kImageChannelCount; ++c) {
            channels[static_cast<std::size_t>(c)] = DecodeExactChannel(image, c);
        }
        std::vector<float> db(freqs.size());
        std::vector<float> phase(freqs.size());
        for (const ExactChannel& ch : channels) {
            ExactResponseRow(ch, freqs.data(), freqs.size(), db.data(), phase.data());
            for (std::size_t i = 0; i < freqs.size(); ++i) {
                ASSERT_TRUE(db[i] >= kExactFloorDb && db[i] <= kExactCeilingDb) << db[i];
                ASSERT_TRUE(std::isfinite(phase[i]));
                const ExactValue v = ExactResponse(ch, freqs[i]);
                ASSERT_TRUE(v.Db >= kExactFloorDb && v.Db <= kExactCeilingDb);
                ASSERT_TRUE(std::isfinite(v.PhaseRad));
                const double sum = ExactPairSumDb(ch, channels[0], freqs[i]);
                ASSERT_TRUE(sum >= kExactFloorDb && sum <= kExactCeilingDb) << sum;
            }
        }
    }
}

}  // namespace
}  // namespace vantrel
