#include "sim/VirtualTemplate.h"

#include <algorithm>

#include "model/DeviceImage.h"
#include "model/ParameterModel.h"
#include "sim/VirtualDevice.h"

namespace vantrel::sim {

namespace {

constexpr std::uint8_t kNoiseKillerOn = 255;

void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

std::vector<std::uint8_t> BuildVirtualTemplate(std::uint8_t modelCode) {
    ParameterModel model;
    InitSetups(model);
    DeviceImage image{};
    for (int s = 0; s < kSetupCount; ++s) {
        RebuildSetupImage(image, model, s);
        // The rebuild never writes control words; these are the ones the virtual amplifier knows.
        const std::size_t setupStart = SetupImageOffset(s);
        for (std::size_t p = 0; p < kPairsPerSetup; ++p) {
            PutBe32(&image[setupStart + kPairSize * p + kControlWordOffset],
                    VirtualControlWord(s, static_cast<int>(p)));
        }
    }
    image[kModelCodeOffset] = modelCode;

    std::vector<std::uint8_t> memory(kMemorySize, 0);
    std::copy(image.begin(), image.end(), memory.begin() + kDeviceImageAddress);
    memory[kNoiseKillerAddress] = kNoiseKillerOn;
    for (std::size_t i = 0; i < 6; ++i) {
        memory[kChannelAssignAddress + i] = static_cast<std::uint8_t>(i + 1);
    }
    memory[kActiveSetupAddress] = 0;
    return memory;
}

}  // namespace vantrel::sim
