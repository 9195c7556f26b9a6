#pragma once

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel::test {

// Waits (at most 5 s) until the kernel has sent everything written to `fd`, so that the next
// write cannot join the same segment.
inline void WaitUntilSent(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int unsent = 0;
    while (::ioctl(fd, SIOCOUTQNSD, &unsent) == 0 && unsent > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A loopback peer that answers each connection's first request frame with scripted bytes, sent
// in the given chunks. For replies the virtual amplifier would never produce.
class ScriptedPeer {
public:
    using Chunks = std::vector<std::vector<std::uint8_t>>;

    explicit ScriptedPeer(std::vector<Chunks> replies) : m_replies(std::move(replies)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 8);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedPeer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    std::uint16_t Port() const { return m_port; }
    std::vector<std::vector<std::uint8_t>> Requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    bool WaitReadable(int fd) {
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) return true;
        }
        return false;
    }
    void Serve() {
        for (const Chunks& reply : m_replies) {
            if (!WaitReadable(m_listen)) return;
            const int fd = ::accept(m_listen, nullptr, nullptr);
            // Each chunk leaves as a segment of its own: no coalescing of small writes.
            const int on = 1;
            if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            std::vector<std::uint8_t> request;
            std::uint8_t buf[4096];
            // One request frame: 5 header bytes, the payload, check and end byte.
            while (request.size() < 5 || request.size() < 7u + request[3] + 256u * request[4]) {
                if (!WaitReadable(fd)) break;
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.insert(request.end(), buf, buf + n);
            }
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            for (const auto& chunk : reply) {
                ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
                WaitUntilSent(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));  // separate TCP segments
            }
            ::close(fd);
        }
    }

    std::vector<Chunks> m_replies;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::vector<std::uint8_t>> m_requests;
    std::thread m_thread;
};

}  // namespace vantrel::test
