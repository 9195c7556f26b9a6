#pragma once

// The response the amplifier actually runs: one channel's 48 kHz digital filters decoded from the
// value words of a setup image, evaluated on the unit circle. Unlike ChannelResponseDb, which
// draws the analog display model from the parameter model, this follows the words themselves:
// the bilinear crossover sections (which bend towards half the sample rate), the graphic bands and
// custom points as peaking biquads, the output gain, the delay (as phase) and the master mute.
//
// Every word is decoded defensively, so any bytes give a finite answer:
//  - a crossover section whose type word is neither first- nor second-order is inactive;
//  - coefficients and cosines are held to |x| <= kMaxPoleCoefficient, so no pole reaches the
//    unit circle;
//  - a custom point with a non-positive Q or frequency drops out; Q is held to kMinExactQ ..
//    kMaxExactQ and the frequency below half the sample rate;
//  - a negative delay counts as none;
//  - every level is held to kExactFloorDb .. kExactCeilingDb.

#include <array>
#include <complex>
#include <cstddef>

#include "model/DeviceImage.h"
#include "model/ParameterModel.h"

namespace vantrel {

// What a silent channel (muted, or a crossover block switched off by the master mute) reads.
inline constexpr double kExactFloorDb = -120.0;
inline constexpr double kExactCeilingDb = 120.0;
// Garbage coefficient words are held to this, just inside the unit circle. Real filters stay far
// from it: the slowest section of the image (a 16 Hz first-order one) has |k| of about 0.998.
inline constexpr double kMaxPoleCoefficient = 1.0 - 1.0 / 1048576.0;
inline constexpr double kMinExactQ = 0.01;
inline constexpr double kMaxExactQ = 1000.0;
// The graphic bands' Q: the image carries no band Q, the model's default is 3.
inline constexpr double kGraphicBandQ = 3.0;

// One section, normalised so that a0 = 1:
// (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct Biquad {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

// Two crossover blocks of four sections, 27 bands, four points.
inline constexpr int kMaxExactSections = 2 * kCrossoverSections + kEqBandCount + kCustomPointCount;

// One channel as the amplifier runs it.
struct ExactChannel {
    std::array<Biquad, kMaxExactSections> Sections{};
    int SectionCount = 0;
    double Gain = 1.0;          // output gain factor; 0 when muted
    double DelaySeconds = 0.0;  // phase only
    // A crossover block with its enable word 0: the master mute, which stops the channel.
    bool Blocked = false;

    bool Silent() const { return Blocked || !(Gain > 0.0); }
};

// The biquads of the image's words. Exposed for tests and for anyone who wants to check a
// single section: `k` and `cosOmega` are the decoded words (k already sign-corrected).
Biquad FirstOrderSection(double k, bool highPass);
Biquad SecondOrderSection(double k, double cosOmega, bool highPass);
// Bilinear peaking EQ at 48 kHz: gain dB at hz, bandwidth from q.
Biquad PeakingSection(double gainDb, double hz, double q);

// Decodes channel `channel` (0..3) of a setup image; bands use `bandQ` (the model's band Q) for
// each graphic band, kGraphicBandQ when null. A channel outside 0..3 gives a silent channel.
ExactChannel DecodeExactChannel(ConstSetupImage image, int channel,
                                const std::array<float, kEqBandCount>* bandQ = nullptr);

// Complex response at hz, with output gain and delay (exp(-j w tau)). Frequencies are held to
// 0 .. half the sample rate (a 48 kHz amplifier plays nothing above it; the curve stays level
// there instead of mirroring); not-a-number reads as 0 Hz.
std::complex<double> ExactResponseAt(const ExactChannel& channel, double hz);

struct ExactValue {
    double Db = 0.0;
    double PhaseRad = 0.0;  // -pi .. pi, delay included
};
ExactValue ExactResponse(const ExactChannel& channel, double hz);

// Magnitude in dB over many frequencies, for drawing: nothing is allocated, per column one sine
// and one log. Agrees with ExactResponse within a few thousandths of a dB. `phase`, when not
// null, receives the phase in radians (one complex evaluation per column more).
void ExactResponseRow(const ExactChannel& channel, const float* freqs, std::size_t count,
                      float* outDb, float* phase = nullptr);

// The acoustic sum of two channels (complex, each with its gain and delay), in dB.
double ExactPairSumDb(const ExactChannel& a, const ExactChannel& b, double hz);
void ExactPairSumRow(const ExactChannel& a, const ExactChannel& b, const float* freqs,
                     std::size_t count, float* outDb);

// The image channels of a setup as the amplifier would run them: a scratch image rebuilt from
// the setup with RebuildSetupImage (as the window sends it), then decoded with the setup's band
// Q. `channelCount` is the number of channels shown (EffectiveChannelCount); at most four have a
// place in the image, channels 5 and 6 have none (Count stays below them, callers draw those the
// classic way).
struct ExactSetup {
    std::array<ExactChannel, kImageChannelCount> Channels{};
    int Count = 0;
};
// `scratch` is any image the caller owns; its setup 0 is overwritten.
ExactSetup DecodeExactSetup(const SetupRecord& setup, int channelCount, DeviceImage& scratch);
ExactSetup DecodeExactSetup(const SetupRecord& setup, int channelCount);

}  // namespace vantrel
