#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace vantrel::test {

// A loopback port that nobody listens on, held for the life of the object: bound without
// listening, so a connect to it is refused at once and no other socket is handed the port in
// the meantime (neither a bind to port 0 nor an outgoing connection picks a bound port). A server
// that sets SO_REUSEADDR, as the virtual amplifier does, may still bind it and listen.
class ReservedPort {
public:
    ReservedPort() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_fd >= 0 &&
            ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~ReservedPort() {
        if (m_fd >= 0) ::close(m_fd);
    }
    ReservedPort(const ReservedPort&) = delete;
    ReservedPort& operator=(const ReservedPort&) = delete;

    // 0 when no port could be reserved; tests assert on it rather than run against port 0.
    std::uint16_t Port() const { return m_port; }

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

}  // namespace vantrel::test
