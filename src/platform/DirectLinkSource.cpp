#include "platform/DirectLinkSource.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace vantrel {

namespace {

constexpr const char* kDirectInterfaceId = "direct";

// Opens a TCP connection to address:port and closes it again; gives up after `timeoutMs` so a
// silent address cannot hold the connection monitor.
bool TcpPortOpens(const std::string& address, std::uint32_t port, int timeoutMs) {
    if (address.empty() || port == 0 || port > 65535) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;  // the link itself speaks IPv4 only
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(address.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
        return false;
    }
    sockaddr_in addr{};
    std::memcpy(&addr, result->ai_addr, sizeof addr);
    freeaddrinfo(result);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    bool open = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    if (!open && errno == EINPROGRESS) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd pfd{fd, POLLOUT, 0};
            const int n = ::poll(&pfd, 1, static_cast<int>(left.count()));
            if (n < 0 && errno == EINTR) continue;
            if (n > 0) {
                int error = 0;
                socklen_t len = sizeof error;
                open = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
            }
            break;
        }
    }
    ::close(fd);
    return open;
}

}  // namespace

DirectLinkSource::DirectLinkSource(std::string address, std::uint32_t port, int probeTimeoutMs)
    : m_address(std::move(address)), m_port(port), m_probeTimeoutMs(probeTimeoutMs) {}

bool DirectLinkSource::IsOurInterface(const std::string& interfaceId) const {
    return interfaceId == kDirectInterfaceId;
}

std::optional<std::vector<WifiInterface>> DirectLinkSource::Interfaces() {
    return std::vector<WifiInterface>{{kDirectInterfaceId, kDirectLinkDescription}};
}

bool DirectLinkSource::Scan(const std::string& interfaceId) { return IsOurInterface(interfaceId); }

std::optional<std::vector<std::string>> DirectLinkSource::Networks(const std::string& interfaceId) {
    if (!IsOurInterface(interfaceId)) return std::nullopt;
    return std::vector<std::string>{m_address};
}

std::optional<WifiConnection> DirectLinkSource::CurrentConnection(const std::string& interfaceId) {
    if (!IsOurInterface(interfaceId)) return std::nullopt;
    return WifiConnection{true, m_address, 100};
}

std::optional<std::vector<NetworkAdapter>> DirectLinkSource::Adapters() {
    return std::vector<NetworkAdapter>{};
}

bool DirectLinkSource::ProbeAdaptor() { return TcpPortOpens(m_address, m_port, m_probeTimeoutMs); }

}  // namespace vantrel
