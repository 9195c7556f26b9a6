#include "link/CDSPSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel {

namespace {

constexpr std::uint8_t ReplyOf(std::uint8_t command) {
    return static_cast<std::uint8_t>(command | 0x80);
}

void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// Resolves a dotted IPv4 address or a host name to an IPv4 socket address.
bool ResolveAdaptor(const std::string& address, std::uint32_t port, sockaddr_storage& out,
                    socklen_t& outLen) {
    if (address.empty() || port > 65535) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(address.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
        return false;
    }
    std::memcpy(&out, result->ai_addr, result->ai_addrlen);
    outLen = result->ai_addrlen;
    freeaddrinfo(result);
    reinterpret_cast<sockaddr_in&>(out).sin_port = htons(static_cast<std::uint16_t>(port));
    return true;
}

}  // namespace

CDSPSocket::CDSPSocket(Clock& clock)
    : m_clock(clock),
      m_tx(new std::uint8_t[kFrameBufferSize]()),
      m_rx(new std::uint8_t[kFrameBufferSize]()),
      m_scratch(new std::uint8_t[kMaxPayload]()),
      m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CDSPSocket::~CDSPSocket() {
    Close();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void CDSPSocket::SetAdaptor(std::string address, std::uint32_t port) {
    m_address = std::move(address);
    m_port = port;
}

void CDSPSocket::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_connected = false;
}

void CDSPSocket::Cancel() {
    m_cancelled = true;
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_wakeFd, &one, sizeof one);
    }
}

void CDSPSocket::ResetCancel() {
    m_cancelled = false;
    if (m_wakeFd >= 0) {
        std::uint64_t value = 0;
        [[maybe_unused]] auto n = ::read(m_wakeFd, &value, sizeof value);
    }
}

bool CDSPSocket::TimedOut() {
    if (!m_transactionRunning) return false;
    const std::int64_t elapsed = m_clock.NowMs() - m_transactionStart;
    return elapsed > static_cast<std::int64_t>(static_cast<std::uint32_t>(m_timeoutMs));
}

// Waits until the socket is ready for `events`. Wakes at least every poll interval to check the
// transaction time-out (when `limitedByTimeout`) and cancellation, so a stuck adaptor never holds
// the worker longer than the command allows.
CDSPSocket::Wait CDSPSocket::WaitFor(short events, bool limitedByTimeout, std::int64_t deadline) {
    for (;;) {
        if (m_cancelled) return Wait::Failed;
        if (limitedByTimeout && TimedOut()) return Wait::Failed;
        if (deadline != kNoDeadline && m_clock.NowMs() > deadline) return Wait::Failed;
        pollfd fds[2] = {{m_fd, events, 0}, {m_wakeFd, POLLIN, 0}};
        const int n = ::poll(fds, m_wakeFd >= 0 ? 2 : 1, m_pollIntervalMs);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Wait::Failed;
        }
        if (n == 0) continue;
        if (fds[1].revents != 0 && m_cancelled) return Wait::Failed;
        // Errors and hang-ups also make the socket "ready": the next call reports them.
        if (fds[0].revents != 0) return Wait::Ready;
    }
}

bool CDSPSocket::ConnectOnce() {
    sockaddr_storage addr{};
    socklen_t addrLen = 0;
    if (!ResolveAdaptor(m_address, m_port, addr, addrLen)) return false;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) return false;
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), addrLen) == 0) return true;
    if (errno != EINPROGRESS) return false;
    // The connect is not bound by the transaction time-out; a silent address still gives up
    // after a while instead of the system's two minutes per attempt.
    if (WaitFor(POLLOUT, false, m_clock.NowMs() + kConnectAttemptLimitMs) != Wait::Ready) {
        return false;
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return false;
    return true;
}

bool CDSPSocket::ConnectAdaptor() {
    m_connected = false;
    // Every transaction runs on a fresh connection: an earlier one is closed first, which is what
    // a second connect on an open socket would end in anyway, without its pause.
    Close();
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (m_cancelled) break;
        if (ConnectOnce()) {
            m_connected = true;
            break;
        }
        Close();
        m_clock.SleepMs(kConnectPauseMs);
    }
    return m_connected;
}

std::uint32_t CDSPSocket::BuildFrame(std::uint8_t command, const std::uint8_t* payload,
                                     std::uint16_t length) {
    return vantrel::BuildFrame(m_tx.get(), command, payload, length);
}

HeaderLocation CDSPSocket::LocateHeader(std::uint32_t expectedTotal,
                                        std::uint8_t replyCommand) const {
    return vantrel::LocateHeader(m_rx.get(), expectedTotal, replyCommand);
}

std::uint16_t CDSPSocket::ParseReply(std::uint8_t replyCommand, std::uint16_t expectedLength,
                                     std::uint8_t* destination) const {
    return vantrel::ParseReply(m_rx.get(), replyCommand, expectedLength, destination);
}

bool CDSPSocket::SendFrame(std::uint8_t command, const std::uint8_t* payload,
                           std::uint16_t length) {
    if (!m_connected || m_fd < 0) return false;
    BuildFrame(command, payload, length);
    const std::size_t total = static_cast<std::size_t>(length) + kFrameOverhead;
    std::size_t sent = 0;
    while (sent < total) {
        const ssize_t n = ::send(m_fd, m_tx.get() + sent, total - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (WaitFor(POLLOUT, true) != Wait::Ready) return false;
            continue;
        }
        return false;
    }
    return true;
}

bool CDSPSocket::ReceiveReply(std::uint32_t expectedTotal, std::uint8_t replyCommand) {
    std::memset(m_rx.get(), 0, kFrameBufferSize);
    if (m_fd < 0 || expectedTotal == 0 || expectedTotal > kFrameBufferSize) return false;
    std::size_t received = 0;
    std::size_t remaining = expectedTotal;
    bool located = false;
    while (remaining > 0) {
        if (WaitFor(POLLIN, true) != Wait::Ready) return false;
        const ssize_t n = ::recv(m_fd, m_rx.get() + received, remaining, 0);
        if (n == 0) {
            // The adaptor closed the connection.
            Close();
            return false;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return false;
        }
        received += static_cast<std::size_t>(n);
        remaining -= static_cast<std::size_t>(n);
        if (!located) {
            const HeaderLocation where =
                vantrel::LocateHeader(m_rx.get(), expectedTotal, replyCommand, received);
            // A complete error reply ends the reception; the parser still finds it.
            if (where.outcome == HeaderSearch::Abort || where.outcome == HeaderSearch::ShortReply) {
                return false;
            }
            if (where.outcome == HeaderSearch::Found) {
                // Stray bytes in front of the frame are made up by receiving as many more, as
                // far as the buffer holds them.
                if (received + remaining + where.offset > kFrameBufferSize) return false;
                remaining += where.offset;
                located = true;
            }
        }
    }
    return true;
}

bool CDSPSocket::Transaction(std::uint8_t command, const std::uint8_t* payload,
                             std::uint16_t length, std::uint32_t timeoutMs,
                             std::uint16_t replyLength, bool ignoreReception,
                             std::uint8_t* destination) {
    m_lastReplyLength = 0;
    destination[0] = 0xFF;
    if (!ConnectAdaptor()) return false;
    m_transactionStart = m_clock.NowMs();
    m_transactionRunning = true;
    m_timeoutMs = static_cast<std::int32_t>(timeoutMs);
    bool ok = SendFrame(command, payload, length);
    if (ok) {
        const bool receivedAll =
            ReceiveReply(static_cast<std::uint32_t>(replyLength) + kFrameOverhead, ReplyOf(command));
        ok = receivedAll || ignoreReception;
    }
    if (ok) {
        m_lastReplyLength = ParseReply(ReplyOf(command), replyLength, destination);
        ok = m_lastReplyLength != 0;
    }
    m_transactionRunning = false;
    m_transactionStart = 0;
    return ok;
}

bool CDSPSocket::Identify(std::uint8_t out[8]) {
    return Transaction(CMD_IDENTIFY, nullptr, 0, kIdentifyTimeoutMs, 8, true, out);
}

bool CDSPSocket::ReadStatus(std::uint8_t out[8]) {
    return Transaction(CMD_READ_STATUS, nullptr, 0, kReadStatusTimeoutMs, 8, true, out);
}

bool CDSPSocket::WriteParams(const std::uint8_t* bytes, std::uint16_t length) {
    std::uint8_t status = 0xFF;
    return Transaction(CMD_WRITE_PARAMS, bytes, length, kWriteParamsTimeoutMs, 1, false, &status) &&
           status == 0;
}

std::uint16_t CDSPSocket::WriteMemory(std::uint16_t address, const std::uint8_t* bytes,
                                      std::uint16_t count, std::uint32_t timeoutMs) {
    // Header and data travel as one payload, which must fit the 16-bit length field.
    if (static_cast<std::size_t>(count) + 4 > kMaxPayload) return 0;
    std::uint8_t* payload = m_scratch.get();
    PutLe16(payload, address);
    PutLe16(payload + 2, count);
    if (count > 0) std::memcpy(payload + 4, bytes, count);
    std::uint8_t reply[3] = {0xFF, 0, 0};
    if (!Transaction(CMD_WRITE_MEMORY, payload, static_cast<std::uint16_t>(count + 4u), timeoutMs, 3,
                     false, reply)) {
        return 0;
    }
    // A one-byte reply carries no value.
    if (reply[0] != 0 || m_lastReplyLength != 3) return 0;
    return static_cast<std::uint16_t>(reply[1] | (reply[2] << 8));
}

bool CDSPSocket::ReadMemory(std::uint16_t address, std::uint16_t count, std::uint8_t* out,
                            std::uint32_t timeoutMs) {
    if (static_cast<std::size_t>(count) + 4 > kMaxPayload) return false;
    std::uint8_t request[4];
    PutLe16(request, address);
    PutLe16(request + 2, count);
    std::uint8_t* reply = m_scratch.get();
    if (!Transaction(CMD_READ_MEMORY, request, 4, timeoutMs, static_cast<std::uint16_t>(count + 4u),
                     true, reply)) {
        return false;
    }
    // A one-byte error reply carries no echo; only a complete reply with the same address and
    // count reaches the caller's buffer.
    if (m_lastReplyLength != count + 4u || std::memcmp(reply, request, 4) != 0) return false;
    if (count > 0) std::memcpy(out, reply + 4, count);
    return true;
}

bool CDSPSocket::LoadSetup(std::uint8_t number, std::uint32_t timeoutMs) {
    std::uint8_t status = 0xFF;
    return Transaction(CMD_LOAD_SETUP, &number, 1, timeoutMs, 1, false, &status) && status == 0;
}

bool CDSPSocket::SetLevel(std::uint8_t target, std::uint8_t value) {
    const std::uint8_t payload[2] = {target, value};
    std::uint8_t status = 0xFF;
    return Transaction(CMD_SET_LEVEL, payload, 2, kSetLevelTimeoutMs, 1, false, &status) &&
           status == 0;
}

bool CDSPSocket::UpdateDone() {
    std::uint8_t status = 0xFF;
    return Transaction(CMD_UPDATE_DONE, nullptr, 0, kUpdateDoneTimeoutMs, 1, false, &status) &&
           status == 0;
}

bool CDSPSocket::WriteFirmware(const std::uint8_t* bytes, std::uint16_t length) {
    std::uint8_t status = 0xFF;
    return Transaction(CMD_WRITE_FIRMWARE, bytes, length, kWriteFirmwareTimeoutMs, 1, false,
                       &status) &&
           status == 0;
}

}  // namespace vantrel
