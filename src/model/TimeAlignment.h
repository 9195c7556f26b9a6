#pragma once

// Delays from a tape measure: every channel's speaker is delayed by the time sound needs for the
// distance it is nearer to the listener than the farthest speaker, so all arrive together.

#include <array>
#include <optional>
#include <vector>

#include "model/ParameterModel.h"

namespace vantrel {

// The most a delay can make up: 20 ms of sound, 680 cm.
inline constexpr float kMaxAlignedSpreadCm = 680.0f;
// The longest distance the alignment takes, in cm.
inline constexpr float kMaxDistanceCm = 5000.0f;

struct Alignment {
    // The delay of every measured channel in ms, on the 0.02-ms grid; nothing for channels not
    // measured (distance 0) or beyond the channel count.
    std::array<std::optional<float>, kChannelCount> delayMs{};
    // Channels (0-based) that are so much nearer than the farthest that their delay stops at
    // 20 ms.
    std::vector<int> limited;
};

// Delays for the first `channelCount` channels from their distances in cm. A distance that is not
// a positive number counts as not measured; one above kMaxDistanceCm is taken as that. The
// farthest channel gets no delay.
Alignment AlignDelays(const std::array<float, kChannelCount>& distanceCm, int channelCount);

// Sets the delays of the measured channels; a channel given a delay gets its delay section on,
// so that it is heard. The section carries the trim as well, which had no effect while it was
// off: such a trim becomes 0 dB, so the channel's level stays as it was heard. A channel at the
// farthest distance keeps its switch and gets 0 ms. Returns the channels whose trim went to 0.
std::vector<int> ApplyAlignment(SetupRecord& setup, const Alignment& alignment);

}  // namespace vantrel
