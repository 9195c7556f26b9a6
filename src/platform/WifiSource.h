#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

struct WifiInterface {
    std::string id;           // stable for as long as the interface exists; the backend's own form
    std::string description;  // shown in the WiFi dialog and matched against adapter descriptions
};

struct WifiConnection {
    bool connected = false;
    std::string ssid;          // raw SSID bytes
    std::int32_t quality = 0;  // 0..100
};

// A network adapter as far as the adaptor reachability rule needs it.
struct NetworkAdapter {
    std::string description;
    bool dhcp = false;
    std::vector<std::string> gateways;  // default gateways as text, first one first
};

// Where the WiFi layer learns about the PC's wireless interfaces. Every call may fail (the service
// is missing, the interface vanished); an empty optional or false says so, and callers keep what
// they had.
class WifiSource {
public:
    virtual ~WifiSource() = default;

    virtual std::optional<std::vector<WifiInterface>> Interfaces() = 0;
    // Asks the interface for a fresh scan; the results show up in later Networks() calls.
    virtual bool Scan(const std::string& interfaceId) = 0;
    // SSIDs of the networks the interface sees now, in the backend's order, duplicates and all.
    virtual std::optional<std::vector<std::string>> Networks(const std::string& interfaceId) = 0;
    virtual std::optional<WifiConnection> CurrentConnection(const std::string& interfaceId) = 0;
    virtual std::optional<std::vector<NetworkAdapter>> Adapters() = 0;

    // A direct link needs no choice of network and has no adapter to judge: its one network
    // always counts as chosen and it answers the reachability question by trying the adaptor.
    virtual bool IsDirectLink() const { return false; }
    virtual bool ProbeAdaptor() { return false; }
};

}  // namespace vantrel
