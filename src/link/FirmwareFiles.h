#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

// The delivered image files live in the skin folder of the data folder, in pairs: "<name>.r0"
// holds the first part of an image, "<name>.r1" the rest.
inline constexpr std::uint8_t kFirmwareKey = 0xB5;
inline constexpr std::size_t kDspImageLimit = 8192;
// An MCU image travels in one memory write: 4 header bytes and the image in a 16-bit length.
inline constexpr std::size_t kMcuImageLimit = 0xFFFF - 4;
inline constexpr std::size_t kTemplateSize = 65536;

// Paths of a pair, e.g. FirmwarePair(dataFolder, "E2") -> PNGRes/E2.r0 and PNGRes/E2.r1.
struct FirmwarePair {
    std::filesystem::path r0, r1;
};
FirmwarePair FirmwarePairPath(const std::filesystem::path& dataFolder, const std::string& name);

// Firmware image: ".r0" in order, then ".r1" from its last byte to its first, every byte XOR-ed
// with the key. Nothing when a file cannot be read or the image would exceed `limit` (the files
// are never read past it).
std::optional<std::vector<std::uint8_t>> AssembleFirmwareImage(const FirmwarePair& pair,
                                                                std::size_t limit);

// Template for a setup download: ".r0" then ".r1" both in stored order, unscrambled, as the
// amplifier's memory (zero-filled to kTemplateSize). Nothing when a file cannot be read or the
// pair exceeds kTemplateSize.
std::optional<std::vector<std::uint8_t>> AssembleTemplateImage(const FirmwarePair& pair);

// The inverse of the two assemblies, for the generator of the delivered files: splits `image` at
// `split` and scrambles it into the two files' contents.
struct SplitImage {
    std::vector<std::uint8_t> r0, r1;
};
SplitImage SplitFirmwareImage(const std::vector<std::uint8_t>& image, std::size_t split);
SplitImage SplitTemplateImage(const std::vector<std::uint8_t>& image, std::size_t split);

}  // namespace vantrel
