#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrel::sim {

// Amplifier memory addresses the tool uses.
inline constexpr std::size_t kMemorySize = 65536;
inline constexpr std::uint16_t kNoiseKillerAddress = 20584;
inline constexpr std::uint16_t kChannelAssignAddress = 20585;
inline constexpr std::uint16_t kActiveSetupAddress = 20591;
inline constexpr std::uint16_t kParamImageAddress = 20592;
inline constexpr std::size_t kParamImageSize = 12176;
inline constexpr std::size_t kSetupImageOffset = 144;  // within the parameter image
inline constexpr std::size_t kSetupImageSize = 3008;

// The control word the virtual amplifier keeps in front of pair `pairIndex` (0..375) of setup
// `setup` (0..3). Templates generated for it carry the same words, so a parameter block written
// by the tool lands where the tool meant it.
std::uint32_t VirtualControlWord(int setup, int pairIndex);

enum class Fault {
    None,
    StrayBytes,     // three stray bytes in front of the reply
    WrongCheck,     // check byte off by one
    WrongEnd,       // end byte not 0x0B
    NoReply,        // read the request, never answer, keep the connection open
    CloseMidReply,  // send the first half of the reply, then close
    ZeroLength,     // a header of the reply command with length 0
    ErrorStatus,    // a one-byte reply carrying status 0x01
    WrongEcho,      // memory read: the echoed count differs from the request
};

// Parses "stray", "bad-check", "bad-end", "no-reply", "close-mid-reply", "zero-length",
// "error-status", "wrong-echo"; returns false on an unknown name.
bool ParseFaultName(const std::string& name, Fault& fault);
const char* FaultName(Fault fault);

struct SimOptions {
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 58000;  // 0 picks a free port (tests)
    // Identity block: channel code, model code, MCU main/sub, DSP main/sub, family letters.
    std::uint8_t channels = 4;
    std::uint8_t model = 3;
    std::uint8_t mcuMain = 1, mcuSub = 5;
    std::uint8_t dspMain = 1, dspSub = 0;
    std::string family = "QV";
    // Status block.
    std::uint8_t voltage = 124;       // 0.1 V units
    std::uint8_t temperature = 100;   // raw converter value (100 reads about 45 C)
    std::uint32_t runtimeMinutes = 1230;  // reported in 10-minute units
    std::uint8_t protection = 0;
    bool verbose = false;
};

// A virtual amplifier behind a virtual WiFi adaptor: a TCP server that answers every command of
// the adaptor protocol over a 64 KiB memory, and can be told to misbehave.
class VirtualAmplifier {
public:
    struct Request {
        std::uint8_t command;
        std::vector<std::uint8_t> payload;
        std::chrono::steady_clock::time_point received;  // when its last byte arrived
    };

    explicit VirtualAmplifier(SimOptions options = {});
    ~VirtualAmplifier();  // stops the server
    VirtualAmplifier(const VirtualAmplifier&) = delete;
    VirtualAmplifier& operator=(const VirtualAmplifier&) = delete;

    // Binds, listens and serves on a background thread. On failure returns false and says why.
    bool Start(std::string* error = nullptr);
    void Stop();
    // Serves on the calling thread until Stop() is called from elsewhere or a signal handler
    // calls RequestStop(). Returns false when it could not bind.
    bool Run(std::string* error = nullptr);
    void RequestStop();  // async-signal-safe
    std::uint16_t Port() const;  // the bound port, valid after Start()

    // The next `count` requests with `command` (or every command when `command` is 0xFF) get
    // `fault`; count < 0 keeps the fault for good.
    void InjectFault(std::uint8_t command, Fault fault, int count = -1);
    void ClearFaults();
    // The next `count` connections are reset as soon as they are accepted.
    void RefuseConnections(int count);

    std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t count) const;
    void WriteMemory(std::uint32_t address, const std::uint8_t* bytes, std::size_t count);
    std::array<std::uint8_t, 8> Identity() const;
    void SetIdentity(const std::array<std::uint8_t, 8>& identity);
    std::array<std::uint8_t, 6> Levels() const;           // last SET_LEVEL per output channel
    std::vector<std::uint8_t> DspFirmware() const;        // last WRITE_FIRMWARE image
    std::vector<Request> Requests() const;                // every valid request, in order
    std::size_t ConnectionCount() const;                  // connections accepted so far

    // Where --verbose lines go (default: standard error).
    void SetLogger(std::function<void(const std::string&)> logger);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrel::sim
