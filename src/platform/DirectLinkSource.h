#pragma once

#include <cstdint>
#include <string>

#include "platform/WifiSource.h"

namespace vantrel {

inline constexpr const char* kDirectLinkDescription = "Direct link";
inline constexpr int kDirectProbeTimeoutMs = 500;

// The adaptor is reachable on the network the PC is already on (or is the virtual amplifier):
// one pseudo interface seeing one network named after the adaptor address, always connected at
// full strength. Reachable means the adaptor's TCP port accepts a connection.
class DirectLinkSource final : public WifiSource {
public:
    DirectLinkSource(std::string address, std::uint32_t port,
                     int probeTimeoutMs = kDirectProbeTimeoutMs);

    std::optional<std::vector<WifiInterface>> Interfaces() override;
    bool Scan(const std::string& interfaceId) override;
    std::optional<std::vector<std::string>> Networks(const std::string& interfaceId) override;
    std::optional<WifiConnection> CurrentConnection(const std::string& interfaceId) override;
    std::optional<std::vector<NetworkAdapter>> Adapters() override;

    bool IsDirectLink() const override { return true; }
    bool ProbeAdaptor() override;

private:
    bool IsOurInterface(const std::string& interfaceId) const;

    std::string m_address;
    std::uint32_t m_port;
    int m_probeTimeoutMs;
};

}  // namespace vantrel
