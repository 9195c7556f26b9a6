#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct DeviceModelEntry {
    std::string Name;
    std::uint8_t Channels = 0;  // 1, 2, 4, 6; 255 stands for "ALL"
    std::string Type;           // "ClassAB", "ClassD" or "ClassD Bass"
    std::int16_t Power = 0;
    std::uint16_t ModelCode = 0;  // PartNo - 1
};

struct DeviceCatalogue {
    std::vector<DeviceModelEntry> Entries;  // at most 256, in file order
    std::uint8_t Count() const { return static_cast<std::uint8_t>(Entries.size()); }
};

// The catalogue file, relative to the data folder.
inline constexpr const char* kCatalogueFile = "INI/DeviceModels.dat";

// Reads the catalogue file. Nothing when the file does not exist (the caller decides what that
// means: the window closes, the worker keeps what it had, the selection dialog cancels).
std::optional<DeviceCatalogue> LoadDeviceCatalogue(const std::filesystem::path& file);

// The catalogue in `bytes` (the file's contents). LoadDeviceCatalogue parses through this.
// Any bytes give a catalogue: missing keys read as their defaults, texts are cut to 255
// characters, and at most kMaxCatalogueEntries entries are read.
DeviceCatalogue ParseDeviceCatalogue(std::string_view bytes);

// The count is one byte, and 255 is the selection dialog's "cancelled" answer.
inline constexpr std::size_t kMaxCatalogueEntries = 255;
inline constexpr const char* kBassAmplifierType = "ClassD Bass";

// Index of the first entry with `modelCode`, nothing when none has it.
std::optional<std::size_t> FindCatalogueEntry(const DeviceCatalogue& catalogue,
                                               std::uint16_t modelCode);

// ChannelNum and Mode of an amplifier of this entry: Mode 2 for "ClassD Bass", else 0.
// Channels 1, 2, 4 and 6 are taken as they are; any other byte (0 for a missing key, 255 "ALL",
// a damaged value) gives 4, the start value and what the amplifier image holds, so channel loops
// never run past the six channel records.
std::uint8_t EntryChannelNum(const DeviceModelEntry& entry);
std::uint8_t EntryMode(const DeviceModelEntry& entry);

// After a download: sets channelNum and mode from the first entry with `modelCode`, or from entry
// 0 when none has it, and returns that entry. An empty catalogue has nothing to go by: both stay
// as they are and the result is nullptr.
const DeviceModelEntry* ApplyCatalogueEntry(const DeviceCatalogue& catalogue,
                                            std::uint16_t modelCode, std::uint8_t& channelNum,
                                            std::uint8_t& mode);

}  // namespace vantrel
