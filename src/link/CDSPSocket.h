#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "link/Frame.h"
#include "platform/Clock.h"

namespace vantrel {

// Command bytes; the amplifier answers command C with C | 0x80.
enum : std::uint8_t {
    CMD_WRITE_PARAMS = 0x01,
    CMD_IDENTIFY = 0x03,
    CMD_READ_STATUS = 0x04,
    CMD_WRITE_MEMORY = 0x05,
    CMD_READ_MEMORY = 0x06,
    CMD_LOAD_SETUP = 0x07,
    CMD_SET_LEVEL = 0x08,
    CMD_UPDATE_DONE = 0x09,
    CMD_WRITE_FIRMWARE = 0x23,
};

inline constexpr std::uint8_t kNoiseKillerTarget = 0xF0;
inline constexpr std::uint32_t kWriteParamsTimeoutMs = 5000;
inline constexpr std::uint32_t kIdentifyTimeoutMs = 10000;
inline constexpr std::uint32_t kReadStatusTimeoutMs = 10000;
inline constexpr std::uint32_t kSetLevelTimeoutMs = 5000;
inline constexpr std::uint32_t kUpdateDoneTimeoutMs = 10000;
inline constexpr std::uint32_t kWriteFirmwareTimeoutMs = 200000;
inline constexpr int kConnectAttempts = 5;
inline constexpr std::int64_t kConnectPauseMs = 100;
inline constexpr std::int64_t kConnectAttemptLimitMs = 20000;
inline constexpr std::size_t kMaxPayload = 0xFFFF;

// The one connection to the adaptor. Every transaction connects afresh, sends one request frame,
// receives the reply into a fixed buffer and judges it. All calls run on one thread (the worker);
// only Cancel() may be called from elsewhere.
class CDSPSocket {
public:
    explicit CDSPSocket(Clock& clock = SystemClock());
    ~CDSPSocket();
    CDSPSocket(const CDSPSocket&) = delete;
    CDSPSocket& operator=(const CDSPSocket&) = delete;

    // Dotted IPv4 address or host name, and TCP port.
    void SetAdaptor(std::string address, std::uint32_t port);
    const std::string& AdaptorAddress() const { return m_address; }
    std::uint32_t AdaptorPort() const { return m_port; }

    bool ConnectAdaptor();
    bool SendFrame(std::uint8_t command, const std::uint8_t* payload, std::uint16_t length);
    bool ReceiveReply(std::uint32_t expectedTotal, std::uint8_t replyCommand);
    void Close();
    bool IsConnected() const { return m_connected; }

    std::uint32_t BuildFrame(std::uint8_t command, const std::uint8_t* payload,
                             std::uint16_t length);
    HeaderLocation LocateHeader(std::uint32_t expectedTotal, std::uint8_t replyCommand) const;
    std::uint16_t ParseReply(std::uint8_t replyCommand, std::uint16_t expectedLength,
                             std::uint8_t* destination) const;

    // The command set. Each is one transaction; the result says whether it succeeded.
    bool Identify(std::uint8_t out[8]);
    bool ReadStatus(std::uint8_t out[8]);
    bool WriteParams(const std::uint8_t* bytes, std::uint16_t length);
    // Returns the 16-bit value of the reply, 0 on failure.
    std::uint16_t WriteMemory(std::uint16_t address, const std::uint8_t* bytes, std::uint16_t count,
                              std::uint32_t timeoutMs);
    // `out` is written only when the reply is complete and echoes address and count.
    bool ReadMemory(std::uint16_t address, std::uint16_t count, std::uint8_t* out,
                    std::uint32_t timeoutMs);
    bool LoadSetup(std::uint8_t number, std::uint32_t timeoutMs);
    bool SetLevel(std::uint8_t target, std::uint8_t value);
    bool UpdateDone();
    bool WriteFirmware(const std::uint8_t* bytes, std::uint16_t length);

    // Payload length of the last parsed reply (0 when none was valid). A one-byte error reply
    // counts as a success for identify and status; callers that must tell can look here.
    std::uint16_t LastReplyLength() const { return m_lastReplyLength; }

    // Makes the blocked call (connect, send, receive, pause) fail as soon as it notices, and every
    // later one until ResetCancel(). Safe from any thread.
    void Cancel();
    void ResetCancel();
    bool IsCancelled() const { return m_cancelled; }

    // How often a blocked call wakes to check the time-out and cancellation.
    void SetPollIntervalMs(int ms) { m_pollIntervalMs = ms > 0 ? ms : 1; }

    const std::uint8_t* TransmitBuffer() const { return m_tx.get(); }
    const std::uint8_t* ReceiveBuffer() const { return m_rx.get(); }

private:
    enum class Wait { Ready, Failed };
    static constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max();
    Wait WaitFor(short events, bool limitedByTimeout, std::int64_t deadline = kNoDeadline);
    bool TimedOut();
    bool ConnectOnce();
    bool Transaction(std::uint8_t command, const std::uint8_t* payload, std::uint16_t length,
                     std::uint32_t timeoutMs, std::uint16_t replyLength, bool ignoreReception,
                     std::uint8_t* destination);

    Clock& m_clock;
    std::int32_t m_timeoutMs = 0;
    std::unique_ptr<std::uint8_t[]> m_tx;
    std::unique_ptr<std::uint8_t[]> m_rx;
    std::unique_ptr<std::uint8_t[]> m_scratch;  // memory-command payloads and replies
    std::string m_address;
    std::uint32_t m_port = 58000;
    bool m_connected = false;
    bool m_transactionRunning = false;
    std::int64_t m_transactionStart = 0;

    int m_fd = -1;
    int m_wakeFd = -1;  // eventfd that Cancel() signals
    std::atomic<bool> m_cancelled{false};
    int m_pollIntervalMs = 100;
    std::uint16_t m_lastReplyLength = 0;
};

}  // namespace vantrel
