#include "model/TimeAlignment.h"

#include <algorithm>
#include <cmath>

#include "model/Scales.h"

namespace vantrel {

Alignment AlignDelays(const std::array<float, kChannelCount>& distanceCm, int channelCount) {
    const int count = std::clamp(channelCount, 0, kChannelCount);
    std::array<std::optional<float>, kChannelCount> measured{};
    float farthest = 0.0f;
    for (int c = 0; c < count; ++c) {
        const float d = distanceCm[static_cast<std::size_t>(c)];
        if (!(d > 0.0f) || !std::isfinite(d)) continue;
        measured[static_cast<std::size_t>(c)] = std::min(d, kMaxDistanceCm);
        farthest = std::max(farthest, *measured[static_cast<std::size_t>(c)]);
    }
    Alignment result;
    for (int c = 0; c < count; ++c) {
        const auto& d = measured[static_cast<std::size_t>(c)];
        if (!d) continue;
        const float spread = farthest - *d;
        if (spread > kMaxAlignedSpreadCm) result.limited.push_back(c);
        result.delayMs[static_cast<std::size_t>(c)] = QuantizeDelayDistance(spread);
    }
    return result;
}

std::vector<int> ApplyAlignment(SetupRecord& setup, const Alignment& alignment) {
    std::vector<int> trimDropped;
    for (std::size_t c = 0; c < setup.Channels.size(); ++c) {
        const auto& delay = alignment.delayMs[c];
        if (!delay) continue;
        ChannelRecord& ch = setup.Channels[c];
        ch.DelayTime = *delay;
        if (*delay > 0.0f && ch.DelayOn == 0) {
            ch.DelayOn = 1;
            if (ch.Trim != 0.0f) trimDropped.push_back(static_cast<int>(c));
            ch.Trim = 0.0f;
        }
    }
    return trimDropped;
}

}  // namespace vantrel
