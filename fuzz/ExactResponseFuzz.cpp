// Decodes arbitrary bytes as a setup image (short inputs padded with zeros) and evaluates every
// channel, alone and summed with its partner, over the band and at odd frequencies: every level
// lies between the floor and the ceiling and every phase is finite.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "curves/ExactResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    std::array<std::uint8_t, kSetupImageSize> bytes{};
    std::copy_n(data, std::min(size, bytes.size()), bytes.begin());
    const ConstSetupImage image(bytes.data(), bytes.size());
    constexpr std::array<float, 8> kFreqs = {
        0.0f,     10.0f,    1000.0f, 12000.0f,
        23999.0f, 48000.0f, -1.0f,   std::numeric_limits<float>::quiet_NaN()};
    std::array<float, kFreqs.size()> db{};
    std::array<float, kFreqs.size()> phase{};
    std::array<ExactChannel, kImageChannelCount> channels;
    for (int c = 0; c < kImageChannelCount; ++c) {
        channels[static_cast<std::size_t>(c)] = DecodeExactChannel(image, c);
    }
    for (std::size_t c = 0; c < channels.size(); ++c) {
        ExactResponseRow(channels[c], kFreqs.data(), kFreqs.size(), db.data(), phase.data());
        for (std::size_t i = 0; i < kFreqs.size(); ++i) {
            if (!(db[i] >= kExactFloorDb && db[i] <= kExactCeilingDb)) std::abort();
            if (!std::isfinite(phase[i])) std::abort();
            const double sum = ExactPairSumDb(channels[c], channels[c ^ 1u], kFreqs[i]);
            if (!(sum >= kExactFloorDb && sum <= kExactCeilingDb)) std::abort();
        }
    }
    return 0;
}
