#pragma once

#include <cstdint>
#include <vector>

namespace vantrel::sim {

// The amplifier memory the virtual amplifier starts with, and the delivered template images are
// made from: the parameter image of a freshly reset model (every setup rebuilt from the start
// values) with the virtual amplifier's control words, the channel-assignment block 1..6, the
// noise killer on (255), active setup 0 and `modelCode` at the model-code byte. kMemorySize bytes.
std::vector<std::uint8_t> BuildVirtualTemplate(std::uint8_t modelCode);

}  // namespace vantrel::sim
