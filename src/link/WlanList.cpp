#include "link/WlanList.h"

#include <algorithm>
#include <cctype>

namespace vantrel {

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

}  // namespace

bool WlanList::EnumInterfaces() {
    auto interfaces = m_source.Interfaces();
    if (!interfaces) return false;
    // The list follows the count found now, so an interface plugged in later is listed too.
    m_interfaces = std::move(*interfaces);
    return true;
}

bool WlanList::ScanNetworks(const std::string& interfaceId) {
    if (interfaceId.empty()) return false;  // InterfaceId() of an index beyond the list
    m_source.Scan(interfaceId);  // a refused scan request still leaves the last results to read
    auto networks = m_source.Networks(interfaceId);
    if (!networks) return false;
    for (std::string& name : *networks) {
        if (name.size() > kMaxSsidBytes) name.resize(kMaxSsidBytes);
    }
    m_networks = std::move(*networks);
    return true;
}

void WlanList::RemoveDuplicates() {
    std::vector<std::string> unique;
    unique.reserve(m_networks.size());
    for (std::string& name : m_networks) {
        if (std::find(unique.begin(), unique.end(), name) == unique.end()) {
            unique.push_back(std::move(name));
        }
    }
    m_networks = std::move(unique);
}

std::string WlanList::InterfaceId(std::int32_t i) const {
    return i >= 0 && i < InterfaceCount() ? m_interfaces[static_cast<std::size_t>(i)].id
                                          : std::string();
}

std::string WlanList::InterfaceDescription(std::int32_t i) const {
    return i >= 0 && i < InterfaceCount() ? m_interfaces[static_cast<std::size_t>(i)].description
                                          : std::string();
}

std::string WlanList::NetworkName(std::int32_t i) const {
    return i >= 0 && i < NetworkCount() ? m_networks[static_cast<std::size_t>(i)] : std::string();
}

std::int32_t WlanList::FindNetwork(const std::string& name) const {
    for (std::int32_t i = 0; i < NetworkCount(); ++i) {
        if (StartsWithIgnoringCase(m_networks[static_cast<std::size_t>(i)], name)) return i;
    }
    return -1;
}

WifiConnection WlanList::CurrentConnection() {
    auto interfaces = m_source.Interfaces();
    if (!interfaces) return {};
    if (interfaces->empty()) return {true, {}, 0};
    auto connection = m_source.CurrentConnection(interfaces->front().id);
    if (!connection || !connection->connected) return {};
    if (connection->ssid.size() > kMaxSsidBytes) connection->ssid.resize(kMaxSsidBytes);
    connection->quality = std::clamp(connection->quality, 0, 100);
    return *connection;
}

void WlanList::RescanInterface(std::int32_t index) {
    if (index >= 0 && index < InterfaceCount()) {
        m_chosenInterface = index;
        ScanNetworks(InterfaceId(index));
    }
    RemoveDuplicates();
}

bool WlanList::IsChosenNetwork(const std::string& name) const {
    if (m_source.IsDirectLink()) return true;
    return m_chosenNetwork >= 0 && m_chosenNetwork < NetworkCount() &&
           name == NetworkName(m_chosenNetwork);
}

bool WlanList::AdaptorReachable(const std::string& address,
                                const std::string& interfaceDescription) {
    if (m_source.IsDirectLink()) return m_source.ProbeAdaptor();
    const auto adapters = m_source.Adapters();
    if (!adapters) return false;
    // An empty description occurs within every text and would pick an unrelated adapter; an
    // exact match wins over an earlier adapter whose description is merely a part ("wlan1" in
    // "wlan10").
    const NetworkAdapter* match = nullptr;
    for (const NetworkAdapter& adapter : *adapters) {
        if (adapter.description.empty()) continue;
        if (adapter.description == interfaceDescription) {
            match = &adapter;
            break;
        }
        if (!match && Contains(interfaceDescription, adapter.description)) match = &adapter;
    }
    if (!match || !match->dhcp || match->gateways.empty()) return false;
    // Without a gateway the empty text would occur within any address.
    const std::string& gateway = match->gateways.front();
    return !gateway.empty() && Contains(address, gateway);
}

std::uint8_t SignalLevel(bool linked, std::int32_t quality) {
    if (!linked) return 0;
    if (quality <= 0) return 1;
    if (quality <= 20) return 2;
    if (quality <= 40) return 3;
    if (quality <= 60) return 4;
    if (quality <= 80) return 5;
    return 6;
}

SignalImageKeys SignalLevelKeys(std::uint8_t level) {
    if (level == 0) return {"STA_name", "ALT_name"};
    const std::string suffix = std::to_string(std::min<int>(level, 6) - 1);
    return {"STA_name" + suffix, "ALT_name" + suffix};
}

}  // namespace vantrel
