#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WifiSource.h"

namespace vantrel {

// Longest SSID; longer names from a backend are cut to this many bytes.
inline constexpr std::size_t kMaxSsidBytes = 32;

// The PC's wireless interfaces and the networks the last scanned one sees, plus the choice made
// in the WiFi dialog. Failed calls of the source leave the lists as they were.
class WlanList {
public:
    explicit WlanList(WifiSource& source) : m_source(source) {}

    bool EnumInterfaces();
    // Requests a fresh scan (its results show up in a later call) and takes the network list the
    // interface has now.
    bool ScanNetworks(const std::string& interfaceId);
    // Drops every network named like an earlier one; the order of the rest stays.
    void RemoveDuplicates();

    std::int32_t InterfaceCount() const { return static_cast<std::int32_t>(m_interfaces.size()); }
    std::int32_t NetworkCount() const { return static_cast<std::int32_t>(m_networks.size()); }
    // Empty for an index outside the list.
    std::string InterfaceId(std::int32_t i) const;
    std::string InterfaceDescription(std::int32_t i) const;
    std::string NetworkName(std::int32_t i) const;
    // First network whose name begins with `name`, ignoring ASCII case; -1 when none.
    std::int32_t FindNetwork(const std::string& name) const;

    // The first interface's connection. Not connected when the source fails or that interface
    // is not connected; with no interface at all, connected with an empty name.
    WifiConnection CurrentConnection();

    // The choice of the WiFi dialog; the access point is -1 until one was chosen.
    std::int32_t ChosenInterface() const { return m_chosenInterface; }
    std::int32_t ChosenNetwork() const { return m_chosenNetwork; }
    void SetChosenInterface(std::int32_t index) { m_chosenInterface = index; }
    void SetChosenNetwork(std::int32_t index) { m_chosenNetwork = index; }

    // "Find AP": rescans the interface at `index` when there is one (making it the chosen
    // interface); either way the list is then freed of duplicates.
    void RescanInterface(std::int32_t index);

    // Whether `name` from CurrentConnection() is the chosen network. Nothing chosen matches no
    // name, so the empty name reported without any interface never counts as linked.
    bool IsChosenNetwork(const std::string& name) const;

    // The first adapter whose description occurs within `interfaceDescription` (one described
    // exactly like it first) decides: reachable when it uses DHCP and its first default gateway
    // occurs within `address`. A direct link asks the adaptor instead.
    bool AdaptorReachable(const std::string& address, const std::string& interfaceDescription);

    WifiSource& Source() { return m_source; }

private:
    WifiSource& m_source;
    std::vector<WifiInterface> m_interfaces;
    std::vector<std::string> m_networks;
    std::int32_t m_chosenInterface = 0;
    std::int32_t m_chosenNetwork = -1;
};

// Level shown on the WiFi button: 0 without a link, else 1..6 by signal quality.
std::uint8_t SignalLevel(bool linked, std::int32_t quality);

// Keys of section `WiFiBtn` naming the button's two pictures for a signal level.
struct SignalImageKeys {
    std::string standard;   // STA_name...
    std::string alternate;  // ALT_name...
};
SignalImageKeys SignalLevelKeys(std::uint8_t level);

}  // namespace vantrel
