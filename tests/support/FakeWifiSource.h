#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/WifiSource.h"

namespace vantrel::test {

// A WiFi source the test fills in. Each `fail...` flag makes that call fail; scan requests are
// recorded.
class FakeWifiSource final : public WifiSource {
public:
    std::vector<WifiInterface> interfaces;
    std::map<std::string, std::vector<std::string>> networks;  // by interface id
    std::map<std::string, WifiConnection> connections;         // by interface id
    std::vector<NetworkAdapter> adapters;
    bool failInterfaces = false;
    bool failNetworks = false;
    bool failAdapters = false;
    std::vector<std::string> scanRequests;

    std::optional<std::vector<WifiInterface>> Interfaces() override {
        if (failInterfaces) return std::nullopt;
        return interfaces;
    }
    bool Scan(const std::string& interfaceId) override {
        scanRequests.push_back(interfaceId);
        return networks.count(interfaceId) != 0;
    }
    std::optional<std::vector<std::string>> Networks(const std::string& interfaceId) override {
        const auto it = networks.find(interfaceId);
        if (failNetworks || it == networks.end()) return std::nullopt;
        return it->second;
    }
    std::optional<WifiConnection> CurrentConnection(const std::string& interfaceId) override {
        const auto it = connections.find(interfaceId);
        if (it == connections.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::vector<NetworkAdapter>> Adapters() override {
        if (failAdapters) return std::nullopt;
        return adapters;
    }
};

}  // namespace vantrel::test
