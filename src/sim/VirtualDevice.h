#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "model/DeviceImage.h"

namespace vantrel::sim {

// Amplifier memory addresses the tool uses.
inline constexpr std::size_t kMemorySize = 65536;
inline constexpr std::uint16_t kNoiseKillerAddress = 20584;
inline constexpr std::uint16_t kChannelAssignAddress = 20585;
inline constexpr std::uint16_t kActiveSetupAddress = 20591;
inline constexpr std::uint16_t kParamImageAddress = kDeviceImageAddress;
inline constexpr std::size_t kParamImageSize = kDeviceImageSize;
inline constexpr std::size_t kSetupImageOffset = kSetupImagesOffset;  // within the parameter image
inline constexpr std::size_t kSetupImageSize = vantrel::kSetupImageSize;

// A fault injected for this command byte hits every command.
inline constexpr std::uint8_t kAnyCommand = 0xFF;

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
    Stall,          // send the first half of the reply, then nothing more; the connection stays
    Trickle,        // a sound reply, sent one byte at a time with a pause between bytes
};

// Parses "stray", "bad-check", "bad-end", "no-reply", "close-mid-reply", "zero-length",
// "error-status", "wrong-echo", "stall", "trickle"; returns false on an unknown name.
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
    std::uint8_t voltage = 124;           // 0.1 V units
    std::uint8_t temperature = 100;       // raw converter value (100 reads about 45 C)
    std::uint32_t runtimeMinutes = 1230;  // reported in 10-minute units
    std::uint8_t protection = 0;
    bool verbose = false;
};

// How the bytes of a reply go on the wire.
enum class Delivery {
    Whole,      // at once
    ThenClose,  // at once, then the connection closes
    ThenStall,  // at once, then the connection sends and answers nothing more but stays open
    Trickle,    // one byte at a time, each in a segment of its own
};

struct DeviceReply {
    std::vector<std::uint8_t> bytes;  // possibly none, or only part of a frame
    Delivery delivery = Delivery::Whole;
    std::string logLine;  // one line about the request and its outcome, when verbose
};

struct DeviceRequest {
    std::uint8_t command;
    std::vector<std::uint8_t> payload;
    std::chrono::steady_clock::time_point received;  // when its last byte arrived
};

// The amplifier behind the adaptor, without the network: every valid request frame goes in, the
// bytes to answer it with come out. It keeps the 64 KiB memory, the identity, the levels and the
// last DSP firmware, records the requests and decides the injected faults. Not thread-safe: the
// frame server serialises every call.
class VirtualDevice {
public:
    explicit VirtualDevice(const SimOptions& options = {});

    DeviceReply Handle(
        std::uint8_t command, const std::vector<std::uint8_t>& payload,
        std::chrono::steady_clock::time_point received = std::chrono::steady_clock::now());

    // The next `count` requests with `command` (or every command when `command` is kAnyCommand)
    // get `fault`; count < 0 keeps the fault for good.
    void InjectFault(std::uint8_t command, Fault fault, int count = -1);
    void ClearFaults();

    std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t count) const;
    void WriteMemory(std::uint32_t address, const std::uint8_t* bytes, std::size_t count);
    const std::array<std::uint8_t, 8>& Identity() const { return m_identity; }
    void SetIdentity(const std::array<std::uint8_t, 8>& identity) { m_identity = identity; }
    const std::array<std::uint8_t, 6>& Levels() const { return m_levels; }
    const std::vector<std::uint8_t>& DspFirmware() const { return m_firmware; }
    std::vector<DeviceRequest> Requests() const;

private:
    struct FaultEntry {
        std::uint8_t command;
        Fault fault;
        int remaining;  // < 0: for good
    };

    Fault PickFault(std::uint8_t command);
    void Record(std::uint8_t command, const std::vector<std::uint8_t>& payload,
                std::chrono::steady_clock::time_point received);
    bool Execute(std::uint8_t command, const std::vector<std::uint8_t>& payload, bool wrongEcho,
                 std::vector<std::uint8_t>& reply);
    std::uint8_t WriteParams(const std::vector<std::uint8_t>& payload);
    std::uint8_t SetLevel(const std::vector<std::uint8_t>& payload);

    SimOptions m_options;
    std::vector<std::uint8_t> m_memory;
    std::array<std::uint8_t, 8> m_identity{};
    bool m_mcuImageWritten = false;  // since the last UPDATE_DONE
    std::array<std::uint8_t, 6> m_levels{};
    std::vector<std::uint8_t> m_firmware;
    std::deque<DeviceRequest> m_requests;
    std::size_t m_recordedBytes = 0;
    std::size_t m_requestNumber = 0;
    std::vector<FaultEntry> m_faults;
};

}  // namespace vantrel::sim
