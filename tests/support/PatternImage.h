#pragma once

#include <cstdint>

#include "model/DeviceImage.h"

namespace vantrel::test {

// Control words 0xC0DE0000 + pair index, value words EE EE EE EE, switch and identity area AA:
// whatever a function leaves alone stays recognisable.
inline DeviceImage PatternImage() {
    DeviceImage image;
    image.fill(0xAA);
    for (int s = 0; s < kSetupCount; ++s) {
        for (std::size_t p = 0; p < kPairsPerSetup; ++p) {
            std::uint8_t* pair = image.data() + SetupImageOffset(s) + kPairSize * p;
            const std::uint32_t control = 0xC0DE0000u | static_cast<std::uint32_t>(p);
            for (int i = 0; i < 4; ++i) {
                pair[i] = static_cast<std::uint8_t>(control >> (24 - 8 * i));
                pair[4 + i] = 0xEE;
            }
        }
    }
    return image;
}

}  // namespace vantrel::test
