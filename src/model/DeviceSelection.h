#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/DeviceCatalogue.h"

namespace vantrel {

// Items of the "Device Select" dialog's fixed lists. A Channels value of -1 is "ALL"; an entry
// whose Channels byte is 255 counts as "ALL".
struct ChannelsListItem {
    const char* Text;
    int Value;
};
inline constexpr std::array<ChannelsListItem, 5> kChannelsList{
    {{"1", 1}, {"2", 2}, {"4", 4}, {"6", 6}, {"ALL", -1}}};
inline constexpr std::array<const char*, 4> kTypeList{"ClassAB", "ClassD", "ClassD Bass", "ALL"};

// A list showing no item.
inline constexpr int kNoListItem = -1;
// The result of Cancel.
inline constexpr std::uint8_t kDeviceSelectCancelled = 255;

// State and rules of the "Device Select" dialog without the window: the window shows the three
// lists from here and forwards the user's choices. Indices are list positions, kNoListItem for
// none.
class DeviceSelection {
public:
    // Opens on `catalogue` (the dialog's own copy) with every entry listed; the last entry with
    // `presetModelCode` is selected, nothing when none has it.
    DeviceSelection(DeviceCatalogue catalogue, std::uint16_t presetModelCode);

    const DeviceCatalogue& Catalogue() const { return m_catalogue; }
    // The Model list: catalogue indices of the listed entries, in catalogue order, and their names.
    const std::vector<std::size_t>& FilteredEntries() const { return m_filtered; }
    std::vector<std::string> ModelListNames() const;

    // The selected entry (Name, Channels, Type, Power, ModelCode), nothing when none is selected.
    const std::optional<DeviceModelEntry>& Selected() const { return m_selected; }
    int ModelListIndex() const { return m_modelIndex; }
    int ChannelsListIndex() const { return m_channelsIndex; }
    int TypeListIndex() const { return m_typeIndex; }

    // The user picked item `index` of a list. False, changing nothing, when it is the item already
    // shown or not an item of the list.
    // A model: it becomes the selection, and the other two lists show its channels and type; the
    // Model list stays as it is.
    bool SelectModel(int index);
    // A channel count or type: the Model list is rebuilt with both filters and its first entry
    // selected; when nothing passes, the list is empty and nothing is selected.
    bool SelectChannels(int index);
    bool SelectType(int index);

    // Catalogue index for OK: the last entry named like the selection (so with equal names the
    // later one). Nothing when nothing is selected: the caller's result stays as it was.
    std::optional<std::uint8_t> Ok() const;
    static std::uint8_t Cancel() { return kDeviceSelectCancelled; }

private:
    void Select(std::size_t catalogueIndex, int modelIndex);
    void Refilter();

    DeviceCatalogue m_catalogue;
    std::vector<std::size_t> m_filtered;
    std::optional<DeviceModelEntry> m_selected;
    int m_modelIndex = kNoListItem;
    int m_channelsIndex = kNoListItem;
    int m_typeIndex = kNoListItem;
};

}  // namespace vantrel
