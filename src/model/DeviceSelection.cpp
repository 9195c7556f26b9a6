#include "model/DeviceSelection.h"

#include <string_view>
#include <utility>

namespace vantrel {
namespace {

int ChannelsItemOf(std::uint8_t channels) {
    const int value = channels == 255 ? -1 : channels;
    for (std::size_t i = 0; i < kChannelsList.size(); ++i) {
        if (kChannelsList[i].Value == value) return static_cast<int>(i);
    }
    return kNoListItem;
}

int TypeItemOf(const std::string& type) {
    for (std::size_t i = 0; i < kTypeList.size(); ++i) {
        if (type == kTypeList[i]) return static_cast<int>(i);
    }
    return kNoListItem;
}

bool IsItem(int index, std::size_t listSize) {
    return index >= 0 && static_cast<std::size_t>(index) < listSize;
}

// A list showing no item (its entry's value was none of the items) does not filter: the user has
// not restricted anything there yet.
bool PassesChannels(const DeviceModelEntry& entry, int item) {
    if (!IsItem(item, kChannelsList.size())) return true;
    const int value = kChannelsList[static_cast<std::size_t>(item)].Value;
    // An entry with 255 ("ALL") matches no count, so it shows only under "ALL".
    return value == -1 || entry.Channels == value;
}

bool PassesType(const DeviceModelEntry& entry, int item) {
    if (!IsItem(item, kTypeList.size())) return true;
    const std::string_view text = kTypeList[static_cast<std::size_t>(item)];
    return text == "ALL" || entry.Type == text;
}

}  // namespace

DeviceSelection::DeviceSelection(DeviceCatalogue catalogue, std::uint16_t presetModelCode)
    : m_catalogue(std::move(catalogue)) {
    // Indices travel as one byte and 255 means Cancel.
    if (m_catalogue.Entries.size() > kMaxCatalogueEntries) {
        m_catalogue.Entries.resize(kMaxCatalogueEntries);
    }
    m_filtered.reserve(m_catalogue.Entries.size());
    std::optional<std::size_t> preset;
    for (std::size_t i = 0; i < m_catalogue.Entries.size(); ++i) {
        m_filtered.push_back(i);
        if (m_catalogue.Entries[i].ModelCode == presetModelCode) preset = i;
    }
    if (preset) Select(*preset, static_cast<int>(*preset));
}

std::vector<std::string> DeviceSelection::ModelListNames() const {
    std::vector<std::string> names;
    names.reserve(m_filtered.size());
    for (const std::size_t i : m_filtered) names.push_back(m_catalogue.Entries[i].Name);
    return names;
}

void DeviceSelection::Select(std::size_t catalogueIndex, int modelIndex) {
    m_selected = m_catalogue.Entries[catalogueIndex];
    m_modelIndex = modelIndex;
    m_channelsIndex = ChannelsItemOf(m_selected->Channels);
    m_typeIndex = TypeItemOf(m_selected->Type);
}

bool DeviceSelection::SelectModel(int index) {
    if (index == m_modelIndex || !IsItem(index, m_filtered.size())) return false;
    Select(m_filtered[static_cast<std::size_t>(index)], index);
    return true;
}

bool DeviceSelection::SelectChannels(int index) {
    if (index == m_channelsIndex || !IsItem(index, kChannelsList.size())) return false;
    m_channelsIndex = index;
    Refilter();
    return true;
}

bool DeviceSelection::SelectType(int index) {
    if (index == m_typeIndex || !IsItem(index, kTypeList.size())) return false;
    m_typeIndex = index;
    Refilter();
    return true;
}

void DeviceSelection::Refilter() {
    m_filtered.clear();
    for (std::size_t i = 0; i < m_catalogue.Entries.size(); ++i) {
        const DeviceModelEntry& entry = m_catalogue.Entries[i];
        if (PassesChannels(entry, m_channelsIndex) && PassesType(entry, m_typeIndex)) {
            m_filtered.push_back(i);
        }
    }
    // The first listed entry becomes the selection; the Channels and Type lists keep showing the
    // filters the user chose. An empty list leaves nothing selected, so OK cannot pick a model
    // that is no longer shown.
    if (m_filtered.empty()) {
        m_selected.reset();
        m_modelIndex = kNoListItem;
    } else {
        m_selected = m_catalogue.Entries[m_filtered.front()];
        m_modelIndex = 0;
    }
}

std::optional<std::uint8_t> DeviceSelection::Ok() const {
    if (!m_selected) return std::nullopt;
    std::optional<std::uint8_t> result;
    for (std::size_t i = 0; i < m_catalogue.Entries.size(); ++i) {
        if (m_catalogue.Entries[i].Name == m_selected->Name) {
            result = static_cast<std::uint8_t>(i);
        }
    }
    return result;
}

}  // namespace vantrel
