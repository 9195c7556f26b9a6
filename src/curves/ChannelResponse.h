#pragma once

#include <cstddef>

#include "model/ParameterModel.h"

namespace vantrel {

// Magnitude of an analog peaking filter (centre F Hz, gain G dB, quality Q) at f Hz, in dB.
float PeakDb(float F, float G, float Q, float f);

// Magnitude response of one channel's crossovers and EQ at f Hz (f > 0), in dB: high-pass and
// low-pass Butterworth terms, the custom points and the graphic bands. Mute, level, delay and
// trim do not enter it. Odd values never give NaN or infinity: an f that is not a positive finite
// number gives 0 dB; a band, point or filter whose frequency or Q is not positive and finite, or
// whose gain is NaN, drops out; gains are limited to +-200 dB; a slope below 3 dB/oct is no filter.
float ChannelResponseDb(ChannelRecord channel, float f);

// The same response over many frequencies at once, for drawing: what does not depend on the
// frequency is worked out once per call instead of once per point. `out[i]` is the response at
// `freqs[i]`; results agree with ChannelResponseDb within a few thousandths of a dB.
void ChannelResponseRow(const ChannelRecord& channel, const float* freqs, std::size_t count,
                        float* out);

}  // namespace vantrel
