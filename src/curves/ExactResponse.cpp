#include "curves/ExactResponse.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>

namespace vantrel {
namespace {

constexpr double kNyquist = kSampleRate / 2.0;
// Custom point centres are held just below half the rate, where a peaking section still has a
// bandwidth (its sine would vanish at half the rate).
constexpr double kMaxPointHz = 0.4999 * kSampleRate;
constexpr double kMsPerSecond = 1000.0;
// 10 log10(x) = kDbPerNeper ln(x).
constexpr double kDbPerNeper = 4.342944819032518;

std::uint32_t Word(ConstSetupImage image, std::size_t pairOffset) {
    const std::uint8_t* v = image.data() + pairOffset + kValueWordOffset;
    return static_cast<std::uint32_t>(v[0]) << 24 | static_cast<std::uint32_t>(v[1]) << 16 |
           static_cast<std::uint32_t>(v[2]) << 8 | static_cast<std::uint32_t>(v[3]);
}

// Value words are two's complement.
double Signed(std::uint32_t word) { return static_cast<double>(static_cast<std::int32_t>(word)); }

double HoldCoefficient(double k) {
    return std::clamp(k, -kMaxPoleCoefficient, kMaxPoleCoefficient);
}

// Angular frequency in radians per sample, held to 0..pi; NaN reads as 0.
double Omega(double hz) {
    if (!(hz > 0.0)) return 0.0;
    return kTwoPi * std::min(hz, kNyquist) / kSampleRate;
}

double HoldDb(double db) {
    if (!(db > kExactFloorDb)) return kExactFloorDb;  // also NaN
    return std::min(db, kExactCeilingDb);
}

void Add(ExactChannel& ch, const Biquad& section) {
    if (ch.SectionCount < kMaxExactSections) {
        ch.Sections[static_cast<std::size_t>(ch.SectionCount++)] = section;
    }
}

void DecodeCrossover(ConstSetupImage image, std::size_t block, bool highPass, ExactChannel& ch) {
    // The master mute clears the enable word of both blocks; the amplifier then passes nothing.
    if (Word(image, block + EnablePairOffset()) == 0) ch.Blocked = true;
    for (int u = 0; u < kCrossoverSections; ++u) {
        const std::uint32_t type = Word(image, block + SectionTypePairOffset(u));
        if (type != kSectionFirstOrder && type != kSectionSecondOrder) continue;
        double k =
            HoldCoefficient(Signed(Word(image, block + CoefficientPairOffset(u))) / kUnitScale);
        if (type == kSectionFirstOrder) {
            Add(ch, FirstOrderSection(k, highPass));
            continue;
        }
        const double cosOmega =
            HoldCoefficient(Signed(Word(image, block + CosPairOffset(u))) / kUnitScale);
        // The amplifier's convention: above a quarter of the rate (cos omega < 0) a second-order
        // section's coefficient is stored negated.
        if (cosOmega < 0.0) k = -k;
        Add(ch, SecondOrderSection(k, cosOmega, highPass));
    }
}

// |b0 + b1 z^-1 + b2 z^-2|^2 on the unit circle as A + s (B + s C) with s = sin^2(w/2). Written
// in s rather than cos w, so that a zero at DC stays exact: no large terms cancel for a steep
// high-pass far below its corner.
struct PowerPoly {
    double A = 1.0;
    double B = 0.0;
    double C = 0.0;
    double At(double s) const { return A + s * (B + s * C); }
};

PowerPoly Power(double b0, double b1, double b2) {
    const double sum = b0 + b1 + b2;
    return {sum * sum, -4.0 * (b0 * b1 + b1 * b2 + 4.0 * b0 * b2), 16.0 * b0 * b2};
}

struct RowSection {
    PowerPoly num;
    PowerPoly den;
};

// z^-1 and z^-2 on the unit circle at w.
struct UnitCircle {
    double c1;
    double s1;
    double c2;
    double s2;
};

UnitCircle AtOmega(double w) {
    const double c1 = std::cos(w);
    const double s1 = -std::sin(w);
    return {c1, s1, c1 * c1 - s1 * s1, 2.0 * c1 * s1};
}

struct Complex {
    double re = 1.0;
    double im = 0.0;
    void operator*=(const Complex& o) {
        const double r = re * o.re - im * o.im;
        im = re * o.im + im * o.re;
        re = r;
    }
};

// Complex product of the numerators and of the denominators, without the library's complex
// multiply (which checks for infinities on every step). Sections are taken two at a time into
// separate products, so that consecutive multiplies do not wait on each other.
void ComplexProducts(const ExactChannel& ch, const UnitCircle& z, double& nRe, double& nIm,
                     double& dRe, double& dIm) {
    std::array<Complex, 2> num{};
    std::array<Complex, 2> den{};
    for (int i = 0; i < ch.SectionCount; ++i) {
        const Biquad& q = ch.Sections[static_cast<std::size_t>(i)];
        const auto lane = static_cast<std::size_t>(i & 1);
        num[lane] *= {q.b0 + q.b1 * z.c1 + q.b2 * z.c2, q.b1 * z.s1 + q.b2 * z.s2};
        den[lane] *= {1.0 + q.a1 * z.c1 + q.a2 * z.c2, q.a1 * z.s1 + q.a2 * z.s2};
    }
    num[0] *= num[1];
    den[0] *= den[1];
    nRe = num[0].re;
    nIm = num[0].im;
    dRe = den[0].re;
    dIm = den[0].im;
}

double DelayPhase(const ExactChannel& ch, double w) { return -w * kSampleRate * ch.DelaySeconds; }

// The channel's complex response at w, gain and delay included. The poles lie inside the unit
// circle, so the denominator never vanishes.
std::complex<double> ResponseAt(const ExactChannel& ch, double w, const UnitCircle& z) {
    if (ch.Silent()) return {0.0, 0.0};
    double nRe = 0.0;
    double nIm = 0.0;
    double dRe = 0.0;
    double dIm = 0.0;
    ComplexProducts(ch, z, nRe, nIm, dRe, dIm);
    const double scale = ch.Gain / (dRe * dRe + dIm * dIm);
    const double hRe = (nRe * dRe + nIm * dIm) * scale;
    const double hIm = (nIm * dRe - nRe * dIm) * scale;
    if (ch.DelaySeconds == 0.0) return {hRe, hIm};
    const double phi = DelayPhase(ch, w);
    const double c = std::cos(phi);
    const double s = std::sin(phi);
    return {hRe * c - hIm * s, hRe * s + hIm * c};
}

}  // namespace

Biquad FirstOrderSection(double k, bool highPass) {
    // Low-pass (1 + A) / 2 and high-pass (1 - A) / 2 of the allpass A = (k + z^-1) / (1 + k z^-1).
    const double g = highPass ? (1.0 - k) / 2.0 : (1.0 + k) / 2.0;
    return {g, highPass ? -g : g, 0.0, k, 0.0};
}

Biquad SecondOrderSection(double k, double cosOmega, bool highPass) {
    const double g = (highPass ? 1.0 + cosOmega : 1.0 - cosOmega) * (1.0 + k) / 4.0;
    return {g, highPass ? -2.0 * g : 2.0 * g, g, -cosOmega * (1.0 + k), k};
}

Biquad PeakingSection(double gainDb, double hz, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = kTwoPi * hz / kSampleRate;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double c = std::cos(w0);
    const double a0 = 1.0 + alpha / a;
    return {(1.0 + alpha * a) / a0, -2.0 * c / a0, (1.0 - alpha * a) / a0, -2.0 * c / a0,
            (1.0 - alpha / a) / a0};
}

ExactChannel DecodeExactChannel(ConstSetupImage image, int channel,
                                const std::array<float, kEqBandCount>* bandQ) {
    ExactChannel ch;
    if (channel < 0 || channel >= kImageChannelCount) {
        ch.Gain = 0.0;
        return ch;
    }
    ch.Gain = static_cast<double>(Word(image, OutputGainOffset(channel))) / kUnitScale;
    const double ms = Signed(Word(image, DelayPairOffset(channel))) / kDelayScale;
    ch.DelaySeconds = std::max(ms, 0.0) / kMsPerSecond;

    DecodeCrossover(image, HighPassOffset(channel), true, ch);
    DecodeCrossover(image, LowPassOffset(channel), false, ch);

    // A band whose gain word is 0 (flat, or the EQ bypassed) is no section at all.
    for (int b = 0; b < kEqBandCount; ++b) {
        const std::uint32_t word = Word(image, BandOffset(channel, b));
        if (word == 0) continue;
        double q = kGraphicBandQ;
        if (bandQ) {
            const double modelQ = (*bandQ)[static_cast<std::size_t>(b)];
            if (modelQ > 0.0) q = std::min(modelQ, kMaxExactQ);  // NaN keeps the default
            q = std::max(q, kMinExactQ);
        }
        Add(ch, PeakingSection(Signed(word) / kGainScale,
                               EqBandFrequencies[static_cast<std::size_t>(b)], q));
    }
    for (int j = 0; j < kCustomPointCount; ++j) {
        const std::size_t at = CustomPointOffset(channel, j);
        const std::uint32_t gain = Word(image, at + kPointGainPair);
        const double q = Signed(Word(image, at + kPointQPair)) / kGainScale;
        const double hz =
            static_cast<double>(Word(image, at + kPointFreqPair) & ~kFreqWordFlag) / kFreqScale;
        if (gain == 0 || !(q > 0.0) || !(hz > 0.0)) continue;
        Add(ch, PeakingSection(Signed(gain) / kGainScale, std::min(hz, kMaxPointHz),
                               std::clamp(q, kMinExactQ, kMaxExactQ)));
    }
    return ch;
}

std::complex<double> ExactResponseAt(const ExactChannel& channel, double hz) {
    const double w = Omega(hz);
    return ResponseAt(channel, w, AtOmega(w));
}

ExactValue ExactResponse(const ExactChannel& channel, double hz) {
    const float f = static_cast<float>(std::clamp(std::isnan(hz) ? 0.0 : hz, 0.0, kNyquist));
    float db = 0.0f;
    float phase = 0.0f;
    ExactResponseRow(channel, &f, 1, &db, &phase);
    return {db, phase};
}

void ExactResponseRow(const ExactChannel& channel, const float* freqs, std::size_t count,
                      float* outDb, float* phase) {
    if (freqs == nullptr || outDb == nullptr) return;
    if (channel.Silent()) {
        std::fill(outDb, outDb + count, static_cast<float>(kExactFloorDb));
        if (phase) std::fill(phase, phase + count, 0.0f);
        return;
    }
    std::array<RowSection, kMaxExactSections> sections{};
    const auto n = static_cast<std::size_t>(channel.SectionCount);
    for (std::size_t i = 0; i < n; ++i) {
        const Biquad& q = channel.Sections[i];
        sections[i] = {Power(q.b0, q.b1, q.b2), Power(1.0, q.a1, q.a2)};
    }
    const double gainSq = channel.Gain * channel.Gain;
    for (std::size_t p = 0; p < count; ++p) {
        const double w = Omega(freqs[p]);
        const double half = std::sin(w / 2.0);
        const double s = half * half;
        double num = gainSq;
        double den = 1.0;
        for (std::size_t i = 0; i < n; ++i) {
            num *= sections[i].num.At(s);
            den *= sections[i].den.At(s);
        }
        // The poles are held inside the unit circle, so den > 0; a zero num reads as the floor.
        outDb[p] = static_cast<float>(HoldDb(kDbPerNeper * std::log(num / den)));
        if (phase) {
            double nRe = 0.0;
            double nIm = 0.0;
            double dRe = 0.0;
            double dIm = 0.0;
            ComplexProducts(channel, AtOmega(w), nRe, nIm, dRe, dIm);
            const double filter = std::atan2(nIm * dRe - nRe * dIm, nRe * dRe + nIm * dIm);
            phase[p] = static_cast<float>(std::remainder(filter + DelayPhase(channel, w), kTwoPi));
        }
    }
}

double ExactPairSumDb(const ExactChannel& a, const ExactChannel& b, double hz) {
    const float f = static_cast<float>(std::clamp(std::isnan(hz) ? 0.0 : hz, 0.0, kNyquist));
    float db = 0.0f;
    ExactPairSumRow(a, b, &f, 1, &db);
    return db;
}

void ExactPairSumRow(const ExactChannel& a, const ExactChannel& b, const float* freqs,
                     std::size_t count, float* outDb) {
    if (freqs == nullptr || outDb == nullptr) return;
    for (std::size_t p = 0; p < count; ++p) {
        const double w = Omega(freqs[p]);
        const UnitCircle z = AtOmega(w);
        const std::complex<double> sum = ResponseAt(a, w, z) + ResponseAt(b, w, z);
        outDb[p] = static_cast<float>(HoldDb(10.0 * std::log10(std::norm(sum))));
    }
}

ExactSetup DecodeExactSetup(const SetupRecord& setup, int channelCount, DeviceImage& scratch) {
    // RebuildSetupImage works on a whole model; the setup goes into slot 0 of one of our own.
    auto model = std::make_unique<ParameterModel>();
    model->Setups[0] = setup;
    model->ChannelNum = static_cast<std::uint8_t>(std::clamp(channelCount, 0, kChannelCount));
    RebuildSetupImage(scratch, *model, 0);
    const ConstSetupImage image = *SetupImageOf(std::as_const(scratch), 0);

    ExactSetup result;
    result.Count = std::min(std::clamp(channelCount, 0, kChannelCount), ImageChannelCount(*model));
    for (int c = 0; c < result.Count; ++c) {
        const ChannelRecord& ch = setup.Channels[static_cast<std::size_t>(c)];
        std::array<float, kEqBandCount> bandQ{};
        for (int b = 0; b < kEqBandCount; ++b) {
            bandQ[static_cast<std::size_t>(b)] = ch.EQBand[static_cast<std::size_t>(b)].Q;
        }
        result.Channels[static_cast<std::size_t>(c)] = DecodeExactChannel(image, c, &bandQ);
    }
    return result;
}

ExactSetup DecodeExactSetup(const SetupRecord& setup, int channelCount) {
    auto scratch = std::make_unique<DeviceImage>();
    scratch->fill(0);
    return DecodeExactSetup(setup, channelCount, *scratch);
}

}  // namespace vantrel
