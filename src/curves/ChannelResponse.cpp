#include "curves/ChannelResponse.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vantrel {
namespace {

constexpr double kPi = 3.14159265359;
constexpr double kTwoPi = 2.0 * kPi;
// 10 · log10(x) = k · ln(x); the drawing path uses ln, which is the cheaper call.
constexpr double kDbPerNeper = 4.342944819032518;

// Records come from hand-editable preset files, so every value is checked before use. A term
// whose frequency or Q is not a positive finite number drops out (0 dB). Frequencies are also
// kept below 1e30 Hz: far above anything audible, it keeps 2π·f a finite float and leaves the
// squares and products below well inside the double range.
constexpr float kMaxHz = 1e30f;
// Gains beyond the model's -24..+6 dB are limited to this, which keeps A² at most 1e20.
constexpr double kMaxGainDb = 200.0;
// The drawing path multiplies the boost ratios of all bands before taking one log; above this
// sum of boosts (dB) the product could leave the double range and it computes term by term.
constexpr double kMaxRowBoostDb = 3000.0;
// Products outside this range may have lost precision on the way; such points are recomputed.
constexpr double kMinRowProduct = 1e-300;
constexpr double kMaxRowProduct = 1e300;

constexpr int kMaxRowBands = kCustomPointCount + kEqBandCount;

bool IsUsableHz(float hz) { return hz > 0.0f && hz < kMaxHz; }  // also false for NaN

bool IsUsableQ(float q) { return q > 0.0f && q <= std::numeric_limits<float>::max(); }

// The gain a band contributes with, or false when it contributes nothing.
bool BandGainDb(float gain, double& db) {
    if (gain == 0.0f || std::isnan(gain)) return false;
    db = std::clamp(static_cast<double>(gain), -kMaxGainDb, kMaxGainDb);
    return true;
}

// 2π·f rounded to a float, as both paths must see the same value.
double Radians(float hz) { return static_cast<float>(kTwoPi * static_cast<double>(hz)); }

// Twice the Butterworth order (6 dB/oct per order), or 0 when the filter draws nothing. A slope
// below 3 dB/oct gives 0 and is taken as no filter: the formula would otherwise turn it into a
// flat -3 dB.
int ButterworthExponent(std::uint8_t on, float fc, std::uint8_t slope) {
    if (on == 0 || !IsUsableHz(fc)) return 0;
    return 2 * slope / 6;
}

// -10 · log10(1 + x^e) for x > 0. Where x^e leaves the double range the 1 no longer counts and
// the log of x^e is taken directly, so odd slopes and corner frequencies stay finite.
double ButterworthDb(double x, int e) {
    const double power = std::pow(x, e);
    if (std::isfinite(power)) return -10.0 * std::log10(1.0 + power);
    return -10.0 * e * std::log10(x);
}

double IntPow(double x, int e) {
    double result = 1.0;
    while (e > 0) {
        if ((e & 1) != 0) result *= x;
        x *= x;
        e >>= 1;
    }
    return result;
}

// One peaking band in the form the drawing path evaluates: with d = W² - w² and p = k · w²,
// the power ratio is (d² + num · p) / (d² + den · p).
struct RowBand {
    double centreSq;  // W²
    double k;         // W² / Q²
    double num;       // A² for a boost, 1 for a cut
    double den;       // 1 for a boost, 1 / A² for a cut
};

bool PrepareRowBand(const EqPoint& point, RowBand& band, double& boostDb) {
    double gainDb = 0.0;
    if (!BandGainDb(point.Gain, gainDb) || !IsUsableHz(point.Freq) || !IsUsableQ(point.Q))
        return false;
    const double wCentre = Radians(point.Freq);
    const double q = point.Q;
    const double aSq = std::pow(10.0, gainDb / 10.0);
    band.centreSq = wCentre * wCentre;
    band.k = band.centreSq / (q * q);
    if (gainDb > 0.0) {
        band.num = aSq;
        band.den = 1.0;
        boostDb += gainDb;
    } else {
        band.num = 1.0;
        band.den = 1.0 / aSq;
    }
    return true;
}

}  // namespace

float PeakDb(float F, float G, float Q, float f) {
    double gainDb = 0.0;
    if (!BandGainDb(G, gainDb) || !IsUsableHz(F) || !IsUsableQ(Q) || !IsUsableHz(f)) return 0.0f;
    const double w = Radians(f);
    const double wCentre = Radians(F);
    const double a = std::pow(10.0, gainDb / 20.0);
    const double d = wCentre * wCentre - w * w;
    const double width = wCentre * w / Q;
    double n = 0.0;
    double m = 0.0;
    if (gainDb > 0.0) {
        n = d * d + (a * width) * (a * width);
        m = d * d + width * width;
    } else {
        n = d * d + width * width;
        m = d * d + (width / a) * (width / a);
    }
    return static_cast<float>(10.0 * (std::log10(n) - std::log10(m)));
}

float ChannelResponseDb(ChannelRecord channel, float f) {
    // The response is only defined for positive frequencies; anything else draws as flat.
    if (!IsUsableHz(f)) return 0.0f;
    const double hz = f;

    float highPass = 0.0f;
    const int eHigh =
        ButterworthExponent(channel.HighPassOn, channel.HighPassFreq, channel.HighPassSlope);
    if (eHigh > 0) highPass = static_cast<float>(ButterworthDb(channel.HighPassFreq / hz, eHigh));

    float lowPass = 0.0f;
    const int eLow =
        ButterworthExponent(channel.LowPassOn, channel.LowPassFreq, channel.LowPassSlope);
    if (eLow > 0) lowPass = static_cast<float>(ButterworthDb(hz / channel.LowPassFreq, eLow));

    float points = 0.0f;
    for (const EqPoint& point : channel.CustomEQ) {
        if (point.Bypass == 0) points += PeakDb(point.Freq, point.Gain, point.Q, f);
    }

    float bands = 0.0f;
    if (channel.EQBypass == 0) {
        for (const EqPoint& band : channel.EQBand) bands += PeakDb(band.Freq, band.Gain, band.Q, f);
    }

    return bands + ((lowPass + highPass) + points);
}

void ChannelResponseRow(const ChannelRecord& channel, const float* freqs, std::size_t count,
                        float* out) {
    if (freqs == nullptr || out == nullptr) return;

    std::array<RowBand, kMaxRowBands> bands{};
    int bandCount = 0;
    double boostDb = 0.0;
    for (const EqPoint& point : channel.CustomEQ) {
        if (point.Bypass == 0 && PrepareRowBand(point, bands[bandCount], boostDb)) ++bandCount;
    }
    if (channel.EQBypass == 0) {
        for (const EqPoint& band : channel.EQBand) {
            if (PrepareRowBand(band, bands[bandCount], boostDb)) ++bandCount;
        }
    }
    if (boostDb > kMaxRowBoostDb) {
        for (std::size_t i = 0; i < count; ++i) out[i] = ChannelResponseDb(channel, freqs[i]);
        return;
    }
    // Boosts first: the running product then only rises while below kMaxRowBoostDb and only
    // falls afterwards, so a final value in range means no step left the range.
    std::partition(bands.begin(), bands.begin() + bandCount,
                   [](const RowBand& band) { return band.num > 1.0; });

    const int eHigh =
        ButterworthExponent(channel.HighPassOn, channel.HighPassFreq, channel.HighPassSlope);
    const int eLow =
        ButterworthExponent(channel.LowPassOn, channel.LowPassFreq, channel.LowPassSlope);
    const double fcHigh = channel.HighPassFreq;
    const double invFcLow = 1.0 / static_cast<double>(channel.LowPassFreq);

    for (std::size_t i = 0; i < count; ++i) {
        const float f = freqs[i];
        if (!IsUsableHz(f)) {
            out[i] = 0.0f;
            continue;
        }
        const double hz = f;
        const double w = Radians(f);
        const double wSq = w * w;
        double product = 1.0;
        for (int b = 0; b < bandCount; ++b) {
            const RowBand& band = bands[b];
            const double d = band.centreSq - wSq;
            const double dSq = d * d;
            const double p = band.k * wSq;
            product *= (dSq + band.num * p) / (dSq + band.den * p);
        }
        if (eHigh > 0) product /= 1.0 + IntPow(fcHigh / hz, eHigh);
        if (eLow > 0) product /= 1.0 + IntPow(hz * invFcLow, eLow);
        if (product >= kMinRowProduct && product <= kMaxRowProduct) {
            out[i] = static_cast<float>(kDbPerNeper * std::log(product));
        } else {
            // Steep filters far from their corner: the terms one by one stay finite.
            out[i] = ChannelResponseDb(channel, f);
        }
    }
}

}  // namespace vantrel
