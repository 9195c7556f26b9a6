#include "sim/VirtualAmplifier.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "link/Frame.h"

namespace vantrel::sim {

namespace {

constexpr std::size_t kHeaderSize = 5;
constexpr std::size_t kReadChunk = 65536;
// A client that sends requests but never reads the replies stops being read once this much
// output waits for it, so it cannot make the server buffer without end.
constexpr std::size_t kOutputHighWater = 256 * 1024;
// Past this many open connections the least recently active one makes way for a new one, so
// idle or stuck clients cannot lock others out or use up the descriptors.
constexpr std::size_t kMaxConnections = 256;
constexpr int kAcceptRetryMs = 100;  // after running out of descriptors
// Long enough for the client to read each byte of a trickled reply on its own.
constexpr auto kTricklePause = std::chrono::milliseconds(2);

std::uint16_t GetLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void CloseWithReset(int fd) {
    linger reset{};
    reset.l_onoff = 1;
    reset.l_linger = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(fd);
}

}  // namespace

struct VirtualAmplifier::Impl {
    struct Connection {
        int fd = -1;
        std::vector<std::uint8_t> input;
        // inputXor[i] is the XOR of every byte received up to and including input[i], so any
        // candidate frame's check byte is verified in constant time however much garbage comes.
        std::vector<std::uint8_t> inputXor;
        std::uint8_t xorBefore = 0;  // XOR of every byte already dropped from the front
        std::vector<std::uint8_t> output;
        std::size_t outputSent = 0;
        // Output before this index goes one byte at a time, one pause apart.
        std::size_t tricklePast = 0;
        std::chrono::steady_clock::time_point nextTrickle{};
        bool closeAfterFlush = false;
        bool stalled = false;  // answers nothing more; whatever arrives is dropped
        bool peerClosed = false;
        bool dead = false;
        std::uint64_t lastActive = 0;

        std::size_t Pending() const { return output.size() - outputSent; }
        bool Trickling() const { return outputSent < tricklePast; }
        bool CanWrite(std::chrono::steady_clock::time_point now) const {
            return Pending() > 0 && (!Trickling() || now >= nextTrickle);
        }
        bool WantsInput() const {
            return !closeAfterFlush && !peerClosed && Pending() < kOutputHighWater;
        }
        std::uint8_t RangeXor(std::size_t begin, std::size_t end) const {
            return static_cast<std::uint8_t>(inputXor[end - 1] ^
                                             (begin == 0 ? xorBefore : inputXor[begin - 1]));
        }
    };

    explicit Impl(SimOptions opts) : options(std::move(opts)), device(options) {
        wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }

    ~Impl() {
        if (wakeFd >= 0) ::close(wakeFd);
    }

    void Log(const std::string& line) {
        if (!options.verbose) return;
        std::function<void(const std::string&)> sink;
        {
            std::lock_guard lock(mutex);
            sink = logger;
        }
        if (sink) {
            sink(line);
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }

    void Wake() {
        if (wakeFd < 0) return;
        const std::uint64_t one = 1;
        // Only write(): this runs inside signal handlers.
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    void DrainWake() {
        std::uint64_t value = 0;
        while (::read(wakeFd, &value, sizeof value) > 0) {
        }
    }

    int Listen(std::string* error) {
        auto fail = [&](const char* what, int code) {
            if (error) {
                *error = std::string(what) + " " + options.bindAddress + ":" +
                         std::to_string(options.port) + ": " + std::strerror(code);
            }
            return -1;
        };
        if (wakeFd < 0) {
            if (error) *error = "cannot create the wake event";
            return -1;
        }
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(options.port);
        const int rc = ::getaddrinfo(options.bindAddress.c_str(), service.c_str(), &hints, &found);
        if (rc != 0 || found == nullptr) {
            if (error) {
                *error = "cannot resolve bind address " + options.bindAddress + ": " +
                         ::gai_strerror(rc);
            }
            return -1;
        }
        sockaddr_in address{};
        std::memcpy(&address, found->ai_addr, sizeof address);
        ::freeaddrinfo(found);

        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return fail("cannot create a socket for", errno);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 128) != 0) {
            const int code = errno;
            ::close(fd);
            return fail("cannot listen on", code);
        }
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
        port.store(ntohs(bound.sin_port));
        return fd;
    }

    // ---- Connections (server thread only) ----

    void ProcessInput(Connection& c) {
        std::vector<std::uint8_t>& in = c.input;
        std::size_t pos = 0;
        std::size_t skipped = 0;
        while (!c.closeAfterFlush && !c.stalled && c.Pending() < kOutputHighWater) {
            const auto start = static_cast<std::size_t>(
                std::find(in.begin() + static_cast<std::ptrdiff_t>(pos), in.end(), kFrameStart1) -
                in.begin());
            skipped += start - pos;
            pos = start;
            const std::size_t have = in.size() - start;
            if (have < 2) break;
            if (in[start + 1] != kFrameStart2) {
                ++pos;
                ++skipped;
                continue;
            }
            if (have < kHeaderSize) break;
            const std::size_t length = GetLe16(&in[start + 3]);
            const std::size_t total = length + kFrameOverhead;
            if (have < total) break;
            const std::size_t checkAt = start + kHeaderSize + length;
            if (in[checkAt + 1] != kFrameEnd || c.RangeXor(start, checkAt) != in[checkAt]) {
                // Not a frame after all: the next start byte may begin one.
                ++pos;
                ++skipped;
                continue;
            }
            const std::vector<std::uint8_t> payload(
                in.begin() + static_cast<std::ptrdiff_t>(start + kHeaderSize),
                in.begin() + static_cast<std::ptrdiff_t>(checkAt));
            DeviceReply reply;
            {
                std::lock_guard lock(mutex);
                reply = device.Handle(in[start + 2], payload);
            }
            if (!reply.logLine.empty()) Log(reply.logLine);
            c.output.insert(c.output.end(), reply.bytes.begin(), reply.bytes.end());
            pos = start + total;
            switch (reply.delivery) {
                case Delivery::Whole:
                    break;
                case Delivery::Trickle:
                    // Replies queued in front of it trickle too: the order of bytes is what
                    // counts, and tests send one request at a time.
                    c.tricklePast = c.output.size();
                    break;
                case Delivery::ThenClose:
                    c.closeAfterFlush = true;
                    pos = in.size();
                    break;
                case Delivery::ThenStall:
                    c.stalled = true;
                    pos = in.size();
                    break;
            }
        }
        if (pos > 0) {
            c.xorBefore = c.inputXor[pos - 1];
            in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(pos));
            c.inputXor.erase(c.inputXor.begin(),
                             c.inputXor.begin() + static_cast<std::ptrdiff_t>(pos));
        }
        if (skipped > 0)
            Log("skipped " + std::to_string(skipped) + " byte(s) outside valid frames");
    }

    void ReadFrom(Connection& c, std::vector<std::uint8_t>& chunk) {
        const ssize_t n = ::recv(c.fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (n > 0 && c.stalled) return;
        if (n > 0) {
            std::uint8_t x = c.inputXor.empty() ? c.xorBefore : c.inputXor.back();
            for (ssize_t i = 0; i < n; ++i) {
                const std::uint8_t b = chunk[static_cast<std::size_t>(i)];
                x ^= b;
                c.input.push_back(b);
                c.inputXor.push_back(x);
            }
            ProcessInput(c);
        } else if (n == 0) {
            c.peerClosed = true;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            c.dead = true;
        }
    }

    void Flush(Connection& c) {
        while (c.Pending() > 0) {
            const bool trickling = c.Trickling();
            const auto now = std::chrono::steady_clock::now();
            if (trickling && now < c.nextTrickle) break;
            // With TCP_NODELAY on every connection, a lone byte leaves as a segment of its own.
            const ssize_t n = ::send(c.fd, c.output.data() + c.outputSent,
                                     trickling ? 1 : c.Pending(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                c.outputSent += static_cast<std::size_t>(n);
                if (trickling) c.nextTrickle = now + kTricklePause;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            } else {
                c.dead = true;
                return;
            }
        }
        if (c.Pending() == 0) {
            c.output.clear();
            c.outputSent = 0;
            c.tricklePast = 0;
        } else if (c.outputSent >= kReadChunk) {
            c.output.erase(c.output.begin(),
                           c.output.begin() + static_cast<std::ptrdiff_t>(c.outputSent));
            c.tricklePast -= std::min(c.tricklePast, c.outputSent);
            c.outputSent = 0;
        }
    }

    void Service(Connection& c, short revents, std::vector<std::uint8_t>& chunk) {
        if (revents & (POLLERR | POLLNVAL)) {
            c.dead = true;
            return;
        }
        if ((revents & (POLLIN | POLLHUP)) && c.WantsInput()) ReadFrom(c, chunk);
        if (c.dead) return;
        const std::size_t before = c.Pending();
        Flush(c);
        // Room again after a backlog: requests already buffered can now be answered.
        if (!c.dead && before >= kOutputHighWater && c.Pending() < kOutputHighWater) {
            ProcessInput(c);
            Flush(c);
        }
        if (c.Pending() == 0 && (c.closeAfterFlush || c.peerClosed)) {
            if (c.closeAfterFlush) {
                // Unread input would turn the close into a reset and could destroy the part of
                // the reply the client has not read yet.
                while (::recv(c.fd, chunk.data(), chunk.size(), MSG_DONTWAIT) > 0) {
                }
            }
            c.dead = true;
        }
    }

    void AcceptAll(int listenFd, std::vector<Connection>& connections, std::uint64_t tick,
                   std::chrono::steady_clock::time_point& retryAt) {
        for (int i = 0; i < 64; ++i) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    retryAt = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(kAcceptRetryMs);
                }
                return;
            }
            bool refuse = false;
            std::size_t number = 0;
            {
                std::lock_guard lock(mutex);
                number = ++connectionCount;
                if (refuseCount > 0) {
                    --refuseCount;
                    refuse = true;
                }
            }
            if (refuse) {
                CloseWithReset(fd);
                Log("connection " + std::to_string(number) + " refused (reset)");
                continue;
            }
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            if (connections.size() >= kMaxConnections) {
                auto oldest = std::min_element(connections.begin(), connections.end(),
                                               [](const Connection& a, const Connection& b) {
                                                   return a.lastActive < b.lastActive;
                                               });
                ::close(oldest->fd);
                connections.erase(oldest);
            }
            Connection c;
            c.fd = fd;
            c.lastActive = tick;
            connections.push_back(std::move(c));
        }
    }

    void Serve(int listenFd) {
        std::vector<Connection> connections;
        std::vector<pollfd> fds;
        std::vector<std::uint8_t> chunk(kReadChunk);
        std::uint64_t tick = 0;
        auto retryAt = std::chrono::steady_clock::time_point::min();
        while (!stopRequested.load()) {
            const auto now = std::chrono::steady_clock::now();
            const bool acceptPaused = now < retryAt;
            fds.clear();
            fds.push_back({wakeFd, POLLIN, 0});
            fds.push_back({acceptPaused ? -1 : listenFd, POLLIN, 0});
            auto wakeAt = acceptPaused ? retryAt : std::chrono::steady_clock::time_point::max();
            for (const Connection& c : connections) {
                short events = 0;
                if (c.WantsInput()) events |= POLLIN;
                if (c.CanWrite(now)) {
                    events |= POLLOUT;
                } else if (c.Pending() > 0) {
                    wakeAt = std::min(wakeAt, c.nextTrickle);  // the next byte of a trickle
                }
                fds.push_back({c.fd, events, 0});
            }
            int timeout = -1;
            if (wakeAt != std::chrono::steady_clock::time_point::max()) {
                timeout = static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - now).count() +
                    1);
            }
            const int ready = ::poll(fds.data(), fds.size(), timeout);
            if (ready < 0) {
                if (errno == EINTR) continue;
                Log(std::string("poll failed: ") + std::strerror(errno));
                break;
            }
            if (fds[0].revents != 0) DrainWake();
            if (stopRequested.load()) break;
            ++tick;
            for (std::size_t i = 0; i < connections.size(); ++i) {
                const short revents = fds[i + 2].revents;
                if (revents == 0) continue;
                connections[i].lastActive = tick;
                Service(connections[i], revents, chunk);
            }
            std::erase_if(connections, [](const Connection& c) {
                if (c.dead) ::close(c.fd);
                return c.dead;
            });
            if (fds[1].revents != 0) AcceptAll(listenFd, connections, tick, retryAt);
        }
        for (const Connection& c : connections) ::close(c.fd);
        ::close(listenFd);
        stopRequested.store(false);
        DrainWake();
    }

    const SimOptions options;
    int wakeFd = -1;
    std::atomic<bool> stopRequested{false};
    std::atomic<std::uint16_t> port{0};

    std::mutex lifecycleMutex;  // Start, Run and Stop
    std::condition_variable stopped;
    std::thread thread;
    bool running = false;

    mutable std::mutex mutex;  // everything below
    VirtualDevice device;
    int refuseCount = 0;
    std::size_t connectionCount = 0;
    std::function<void(const std::string&)> logger;
};

VirtualAmplifier::VirtualAmplifier(SimOptions options)
    : m_impl(std::make_unique<Impl>(std::move(options))) {}

VirtualAmplifier::~VirtualAmplifier() { Stop(); }

bool VirtualAmplifier::Start(std::string* error) {
    std::lock_guard lock(m_impl->lifecycleMutex);
    if (m_impl->running) {
        if (error) *error = "already running";
        return false;
    }
    const int fd = m_impl->Listen(error);
    if (fd < 0) return false;
    // A stop requested while nothing ran is stale for a server started in the background.
    m_impl->stopRequested.store(false);
    m_impl->running = true;
    m_impl->thread = std::thread([impl = m_impl.get(), fd] { impl->Serve(fd); });
    return true;
}

void VirtualAmplifier::Stop() {
    std::thread serving;
    {
        std::unique_lock lock(m_impl->lifecycleMutex);
        if (!m_impl->running) return;
        if (!m_impl->thread.joinable()) {
            // Run() is serving on another thread: wait for it to return.
            RequestStop();
            m_impl->stopped.wait(lock, [&] { return !m_impl->running; });
            return;
        }
        serving = std::move(m_impl->thread);
    }
    RequestStop();
    serving.join();
    {
        std::lock_guard lock(m_impl->lifecycleMutex);
        m_impl->running = false;
    }
    m_impl->stopped.notify_all();
}

bool VirtualAmplifier::Run(std::string* error) {
    int fd = -1;
    {
        std::lock_guard lock(m_impl->lifecycleMutex);
        if (m_impl->running) {
            if (error) *error = "already running";
            return false;
        }
        fd = m_impl->Listen(error);
        if (fd < 0) return false;
        m_impl->running = true;
    }
    // A stop requested before serving began (a signal during start-up) ends the loop at once.
    m_impl->Serve(fd);
    {
        std::lock_guard lock(m_impl->lifecycleMutex);
        m_impl->running = false;
    }
    m_impl->stopped.notify_all();
    return true;
}

void VirtualAmplifier::RequestStop() {
    m_impl->stopRequested.store(true);
    m_impl->Wake();
}

std::uint16_t VirtualAmplifier::Port() const { return m_impl->port.load(); }

void VirtualAmplifier::InjectFault(std::uint8_t command, Fault fault, int count) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->device.InjectFault(command, fault, count);
}

void VirtualAmplifier::ClearFaults() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->device.ClearFaults();
    m_impl->refuseCount = 0;
}

void VirtualAmplifier::RefuseConnections(int count) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->refuseCount = std::max(count, 0);
}

std::vector<std::uint8_t> VirtualAmplifier::ReadMemory(std::uint32_t address,
                                                       std::size_t count) const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->device.ReadMemory(address, count);
}

void VirtualAmplifier::WriteMemory(std::uint32_t address, const std::uint8_t* bytes,
                                   std::size_t count) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->device.WriteMemory(address, bytes, count);
}

std::array<std::uint8_t, 8> VirtualAmplifier::Identity() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->device.Identity();
}

void VirtualAmplifier::SetIdentity(const std::array<std::uint8_t, 8>& identity) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->device.SetIdentity(identity);
}

std::array<std::uint8_t, 6> VirtualAmplifier::Levels() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->device.Levels();
}

std::vector<std::uint8_t> VirtualAmplifier::DspFirmware() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->device.DspFirmware();
}

std::vector<VirtualAmplifier::Request> VirtualAmplifier::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->device.Requests();
}

std::size_t VirtualAmplifier::ConnectionCount() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->connectionCount;
}

void VirtualAmplifier::SetLogger(std::function<void(const std::string&)> logger) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->logger = std::move(logger);
}

}  // namespace vantrel::sim
