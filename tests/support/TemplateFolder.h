#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/FirmwareFiles.h"
#include "model/DeviceCatalogue.h"
#include "model/DeviceImage.h"
#include "sim/VirtualTemplate.h"

namespace vantrel::test {

// The virtual amplifier's memory as far as a template needs it (through the device image).
inline std::vector<std::uint8_t> TemplateMemory(std::uint8_t modelCode) {
    auto memory = sim::BuildVirtualTemplate(modelCode);
    memory.resize(kDeviceImageAddress + kDeviceImageSize);
    return memory;
}

// A fresh temporary data folder holding `catalogue` as the catalogue file; the image files are
// the caller's to write.
inline std::filesystem::path MakeDataFolder(const std::string& catalogue) {
    char pattern[] = "/tmp/vantrel-data-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(pattern);
    std::filesystem::create_directories(folder / "INI");
    std::filesystem::create_directories(folder / "PNGRes");
    std::ofstream(folder / kCatalogueFile) << catalogue;
    return folder;
}

inline void WritePair(const std::filesystem::path& folder, const std::string& name,
                      const SplitImage& split) {
    const FirmwarePair pair = FirmwarePairPath(folder, name);
    std::ofstream(pair.r0, std::ios::binary)
        .write(reinterpret_cast<const char*>(split.r0.data()),
               static_cast<std::streamsize>(split.r0.size()));
    std::ofstream(pair.r1, std::ios::binary)
        .write(reinterpret_cast<const char*>(split.r1.data()),
               static_cast<std::streamsize>(split.r1.size()));
}

// Split at the end: the pair reads the same as a template and as an MCU image.
inline void WriteTemplate(const std::filesystem::path& folder, const std::string& name,
                          const std::vector<std::uint8_t>& memory) {
    WritePair(folder, name, SplitTemplateImage(memory, memory.size()));
}

inline void WriteFirmware(const std::filesystem::path& folder, const std::string& name,
                          const std::vector<std::uint8_t>& image, std::size_t split) {
    WritePair(folder, name, SplitFirmwareImage(image, split));
}

}  // namespace vantrel::test
