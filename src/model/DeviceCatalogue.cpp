#include "model/DeviceCatalogue.h"

#include <string>
#include <utility>

#include "platform/IniFile.h"

namespace vantrel {
namespace {

DeviceCatalogue CatalogueFromIni(const IniDocument& ini) {
    DeviceCatalogue catalogue;
    // Only the low byte of the count is used.
    const auto count = static_cast<std::uint8_t>(ini.GetInt("BaseInfo", "DeviceNumber", 0));
    catalogue.Entries.reserve(count);
    for (int k = 1; k <= count; ++k) {
        const std::string section = "Model" + std::to_string(k);
        DeviceModelEntry entry;
        // Unsigned arithmetic: the stored number may be anything, and the code keeps 16 bits.
        const auto partNo = static_cast<unsigned long>(ini.GetInt(section, "PartNo", 0));
        entry.ModelCode = static_cast<std::uint16_t>(partNo - 1u);
        entry.Name = ini.GetString(section, "Name", "", kIniDefaultBufferChars);
        entry.Channels = static_cast<std::uint8_t>(ini.GetInt(section, "Channle", 0));
        entry.Type = ini.GetString(section, "Type", "", kIniDefaultBufferChars);
        entry.Power =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(ini.GetInt(section, "Power", 0)));
        catalogue.Entries.push_back(std::move(entry));
    }
    return catalogue;
}

}  // namespace

DeviceCatalogue ParseDeviceCatalogue(std::string_view bytes) {
    return CatalogueFromIni(IniDocument::Parse(bytes));
}

std::optional<DeviceCatalogue> LoadDeviceCatalogue(const std::filesystem::path& file) {
    const std::optional<IniDocument> ini = IniDocument::Load(file);
    if (!ini) return std::nullopt;
    return CatalogueFromIni(*ini);
}

std::optional<std::size_t> FindCatalogueEntry(const DeviceCatalogue& catalogue,
                                              std::uint16_t modelCode) {
    for (std::size_t i = 0; i < catalogue.Entries.size(); ++i) {
        if (catalogue.Entries[i].ModelCode == modelCode) return i;
    }
    return std::nullopt;
}

std::uint8_t EntryChannelNum(const DeviceModelEntry& entry) {
    switch (entry.Channels) {
        case 1:
        case 2:
        case 4:
        case 6:
            return entry.Channels;
        default:
            return 4;
    }
}

std::uint8_t EntryMode(const DeviceModelEntry& entry) {
    return entry.Type == kBassAmplifierType ? 2 : 0;
}

const DeviceModelEntry* ApplyCatalogueEntry(const DeviceCatalogue& catalogue,
                                            std::uint16_t modelCode, std::uint8_t& channelNum,
                                            std::uint8_t& mode) {
    if (catalogue.Entries.empty()) return nullptr;
    const DeviceModelEntry& entry =
        catalogue.Entries[FindCatalogueEntry(catalogue, modelCode).value_or(0)];
    channelNum = EntryChannelNum(entry);
    mode = EntryMode(entry);
    return &entry;
}

}  // namespace vantrel
