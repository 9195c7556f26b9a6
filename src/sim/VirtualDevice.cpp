#include "sim/VirtualDevice.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "link/CDSPSocket.h"
#include "link/Frame.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"
#include "sim/VirtualTemplate.h"

namespace vantrel::sim {

namespace {

// The memory map the tool addresses; the parameter image layout comes from the model's own.
static_assert(kParamImageAddress == kDeviceImageAddress);
static_assert(kParamImageSize == kDeviceImageSize);
static_assert(kSetupImageOffset == kSetupImagesOffset);
static_assert(sim::kSetupImageSize == vantrel::kSetupImageSize);

// The identity block an MCU image carries: the CMD_IDENTIFY layout, at parameter image byte 136.
constexpr std::size_t kIdentityBlockAddress = kDeviceImageAddress + kIdentityAreaOffset + 8;
constexpr std::size_t kIdentityBlockSize = 8;
static_assert(kIdentityBlockAddress == 20728);
static_assert(kIdentityBlockAddress + 1 == kDeviceImageAddress + kModelCodeOffset);
constexpr std::size_t kMcuImageAddress = 0;

constexpr std::size_t kOutputChannels = 6;
constexpr std::uint8_t kStatusOk = 0;
constexpr std::uint8_t kStatusRejected = 1;
constexpr std::uint8_t kStatusUnknownCommand = 0xFF;

// The request record is for tests and short sessions; a long-running sim keeps only the newest.
constexpr std::size_t kMaxRecordedRequests = 100000;
constexpr std::size_t kMaxRecordedBytes = 64u * 1024 * 1024;

std::size_t SetupImageAddress(int setup) { return kDeviceImageAddress + SetupImageOffset(setup); }

std::uint32_t GetBe32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint16_t GetLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void AppendLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::vector<std::uint8_t> MakeFrame(std::uint8_t command,
                                    const std::vector<std::uint8_t>& payload) {
    // Reply payloads are at most 65535 bytes: a memory read is limited to count + 4 <= 65535.
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + kFrameOverhead);
    frame.push_back(kFrameStart1);
    frame.push_back(kFrameStart2);
    frame.push_back(command);
    AppendLe16(frame, static_cast<std::uint16_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    std::uint8_t check = 0;
    for (std::uint8_t b : frame) check ^= b;
    frame.push_back(check);
    frame.push_back(kFrameEnd);
    return frame;
}

const char* CommandName(std::uint8_t command) {
    switch (command) {
        case CMD_WRITE_PARAMS:
            return "WRITE_PARAMS";
        case CMD_IDENTIFY:
            return "IDENTIFY";
        case CMD_READ_STATUS:
            return "READ_STATUS";
        case CMD_WRITE_MEMORY:
            return "WRITE_MEMORY";
        case CMD_READ_MEMORY:
            return "READ_MEMORY";
        case CMD_LOAD_SETUP:
            return "LOAD_SETUP";
        case CMD_SET_LEVEL:
            return "SET_LEVEL";
        case CMD_UPDATE_DONE:
            return "UPDATE_DONE";
        case CMD_WRITE_FIRMWARE:
            return "WRITE_FIRMWARE";
        default:
            return nullptr;
    }
}

std::string Describe(std::uint8_t command, const std::vector<std::uint8_t>& payload) {
    char text[96];
    const std::size_t n = payload.size();
    const std::uint8_t* p = payload.data();
    const char* name = CommandName(command);
    if (name == nullptr) {
        std::snprintf(text, sizeof text, "COMMAND 0x%02X length=%zu", command, n);
        return text;
    }
    switch (command) {
        case CMD_WRITE_MEMORY:
        case CMD_READ_MEMORY:
            if (n >= 4) {
                std::snprintf(text, sizeof text, "%s addr=%u count=%u", name, GetLe16(p),
                              GetLe16(p + 2));
                return text;
            }
            break;
        case CMD_LOAD_SETUP:
            if (n == 1) {
                std::snprintf(text, sizeof text, "%s setup=%u", name, p[0]);
                return text;
            }
            break;
        case CMD_SET_LEVEL:
            if (n == 2) {
                std::snprintf(text, sizeof text, "%s target=0x%02X value=%u", name, p[0], p[1]);
                return text;
            }
            break;
        case CMD_WRITE_PARAMS:
            std::snprintf(text, sizeof text, "%s pairs=%zu", name, n / kPairSize);
            return text;
        case CMD_WRITE_FIRMWARE:
            std::snprintf(text, sizeof text, "%s bytes=%zu", name, n);
            return text;
        default:
            if (n == 0) return name;
            break;
    }
    std::snprintf(text, sizeof text, "%s length=%zu", name, n);
    return text;
}

}  // namespace

std::uint32_t VirtualControlWord(int setup, int pairIndex) {
    // 0x56 tag, setup in bits 16..23, pair in bits 0..15: unique per (setup, pair) and never zero.
    if (setup < 0 || setup >= kSetupCount || pairIndex < 0 ||
        static_cast<std::size_t>(pairIndex) >= kPairsPerSetup) {
        return 0;
    }
    return 0x5600'0000u | (static_cast<std::uint32_t>(setup) << 16) |
           static_cast<std::uint32_t>(pairIndex);
}

bool ParseFaultName(const std::string& name, Fault& fault) {
    static constexpr Fault kNamed[] = {Fault::StrayBytes,  Fault::WrongCheck,    Fault::WrongEnd,
                                       Fault::NoReply,     Fault::CloseMidReply, Fault::ZeroLength,
                                       Fault::ErrorStatus, Fault::WrongEcho,     Fault::Stall,
                                       Fault::Trickle};
    for (Fault f : kNamed) {
        if (name == FaultName(f)) {
            fault = f;
            return true;
        }
    }
    return false;
}

const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::None:
            return "none";
        case Fault::StrayBytes:
            return "stray";
        case Fault::WrongCheck:
            return "bad-check";
        case Fault::WrongEnd:
            return "bad-end";
        case Fault::NoReply:
            return "no-reply";
        case Fault::CloseMidReply:
            return "close-mid-reply";
        case Fault::ZeroLength:
            return "zero-length";
        case Fault::ErrorStatus:
            return "error-status";
        case Fault::WrongEcho:
            return "wrong-echo";
        case Fault::Stall:
            return "stall";
        case Fault::Trickle:
            return "trickle";
    }
    return "unknown";
}

Fault VirtualDevice::PickFault(std::uint8_t command) {
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->command != kAnyCommand && it->command != command) continue;
        // A wrong echo only exists for memory reads; other commands leave the entry alone.
        if (it->fault == Fault::WrongEcho && command != CMD_READ_MEMORY) continue;
        const Fault fault = it->fault;
        if (it->remaining > 0 && --it->remaining == 0) m_faults.erase(it);
        return fault;
    }
    return Fault::None;
}

void VirtualDevice::Record(std::uint8_t command, const std::vector<std::uint8_t>& payload,
                           std::chrono::steady_clock::time_point received) {
    m_requests.push_back({command, payload, received});
    m_recordedBytes += payload.size();
    while (m_requests.size() > kMaxRecordedRequests ||
           (m_recordedBytes > kMaxRecordedBytes && m_requests.size() > 1)) {
        m_recordedBytes -= m_requests.front().payload.size();
        m_requests.pop_front();
    }
}

// Carries out the request; returns its reply payload and whether it was accepted.
bool VirtualDevice::Execute(std::uint8_t command, const std::vector<std::uint8_t>& payload,
                            bool wrongEcho, std::vector<std::uint8_t>& reply) {
    const std::size_t n = payload.size();
    const std::uint8_t* p = payload.data();
    auto status = [&](std::uint8_t value) {
        reply.assign(1, value);
        return value == kStatusOk;
    };
    switch (command) {
        case CMD_WRITE_PARAMS:
            return status(WriteParams(payload));
        case CMD_IDENTIFY:
            reply.assign(m_identity.begin(), m_identity.end());
            return true;
        case CMD_READ_STATUS: {
            reply = {m_options.voltage, m_options.temperature, m_options.protection, 0, 0, 0, 0, 0};
            PutBe32(&reply[4], m_options.runtimeMinutes / 10);
            return true;
        }
        case CMD_WRITE_MEMORY: {
            const std::size_t address = n >= 4 ? GetLe16(p) : 0;
            const std::size_t count = n >= 4 ? GetLe16(p + 2) : 0;
            if (n < 4 || n != 4 + count || address + count > kMemorySize) {
                reply = {kStatusRejected, 0, 0};
                return false;
            }
            std::copy(p + 4, p + n, m_memory.begin() + static_cast<std::ptrdiff_t>(address));
            // An MCU image takes its identity block along; the new firmware reports it once
            // the update is done. Setup stores also cover the block but never arm this.
            if (address == kMcuImageAddress &&
                count >= kIdentityBlockAddress + kIdentityBlockSize) {
                m_mcuImageWritten = true;
            }
            // The value is the count written; an empty write reports 1 so that success is
            // always non-zero.
            reply = {kStatusOk};
            AppendLe16(reply, static_cast<std::uint16_t>(count == 0 ? 1 : count));
            return true;
        }
        case CMD_READ_MEMORY: {
            const std::size_t address = n == 4 ? GetLe16(p) : 0;
            const std::size_t count = n == 4 ? GetLe16(p + 2) : 0;
            if (n != 4 || address + count > kMemorySize || count + 4 > 65535) {
                return status(kStatusRejected);
            }
            reply.assign(p, p + 4);
            if (wrongEcho) {
                const std::uint16_t wrong = static_cast<std::uint16_t>(count + 1);
                reply[2] = static_cast<std::uint8_t>(wrong & 0xFF);
                reply[3] = static_cast<std::uint8_t>(wrong >> 8);
            }
            const auto from = m_memory.begin() + static_cast<std::ptrdiff_t>(address);
            reply.insert(reply.end(), from, from + static_cast<std::ptrdiff_t>(count));
            return true;
        }
        case CMD_LOAD_SETUP:
            if (n != 1 || p[0] >= kSetupCount) return status(kStatusRejected);
            m_memory[kActiveSetupAddress] = p[0];
            return status(kStatusOk);
        case CMD_SET_LEVEL:
            return status(SetLevel(payload));
        case CMD_UPDATE_DONE:
            if (m_mcuImageWritten) {
                std::copy_n(m_memory.begin() + kIdentityBlockAddress, kIdentityBlockSize,
                            m_identity.begin());
                m_mcuImageWritten = false;
            }
            return status(kStatusOk);
        case CMD_WRITE_FIRMWARE:
            m_firmware = payload;
            return status(kStatusOk);
        default:
            status(kStatusUnknownCommand);
            return false;
    }
}

std::uint8_t VirtualDevice::WriteParams(const std::vector<std::uint8_t>& payload) {
    // Control words are looked up in memory as it is now, so words the tool rewrote with
    // WRITE_MEMORY count; the first pair holding a word wins.
    std::unordered_map<std::uint32_t, std::size_t> where;
    where.reserve(kSetupCount * kPairsPerSetup);
    for (int s = 0; s < kSetupCount; ++s) {
        for (std::size_t pair = 0; pair < kPairsPerSetup; ++pair) {
            const std::size_t at = SetupImageAddress(s) + kPairSize * pair;
            where.emplace(GetBe32(&m_memory[at]), at);
        }
    }
    bool ok = !payload.empty() && payload.size() % kPairSize == 0;
    for (std::size_t i = 0; i + kPairSize <= payload.size(); i += kPairSize) {
        const auto it = where.find(GetBe32(&payload[i]));
        if (it == where.end()) {
            ok = false;
            continue;
        }
        std::copy(payload.begin() + static_cast<std::ptrdiff_t>(i + 4),
                  payload.begin() + static_cast<std::ptrdiff_t>(i + kPairSize),
                  m_memory.begin() + static_cast<std::ptrdiff_t>(it->second + 4));
    }
    return ok ? kStatusOk : kStatusRejected;
}

std::uint8_t VirtualDevice::SetLevel(const std::vector<std::uint8_t>& payload) {
    if (payload.size() != 2) return kStatusRejected;
    const std::uint8_t target = payload[0];
    const std::uint8_t value = payload[1];
    if (target == kNoiseKillerTarget) {
        m_memory[kNoiseKillerAddress] = value;
        return kStatusOk;
    }
    if (target >= kOutputChannels) return kStatusRejected;
    m_levels[target] = value;
    // The switch records exist for four setups of four channels; an active setup byte that
    // was overwritten with something else has no record to update.
    const std::size_t active = m_memory[kActiveSetupAddress];
    if (target < kImageChannelCount && active < kSetupCount) {
        m_memory[kDeviceImageAddress + SwitchRecordOffset(static_cast<int>(active), target) +
                 kSwitchLevel] = value;
    }
    return kStatusOk;
}

DeviceReply VirtualDevice::Handle(std::uint8_t command, const std::vector<std::uint8_t>& payload,
                                  std::chrono::steady_clock::time_point received) {
    Record(command, payload, received);
    const std::size_t number = ++m_requestNumber;
    const Fault fault = PickFault(command);
    const std::uint8_t replyCommand = static_cast<std::uint8_t>(command | 0x80);

    DeviceReply outcome;
    std::vector<std::uint8_t> reply;
    const char* result = nullptr;
    if (fault == Fault::ErrorStatus) {
        // The amplifier refused: the request is not carried out.
        reply.assign(1, kStatusRejected);
    } else if (Execute(command, payload, fault == Fault::WrongEcho, reply)) {
        result = "ok";
    } else {
        result = CommandName(command) == nullptr ? "unknown command" : "rejected";
    }
    // Every other fault spoils only the reply: the request itself took effect.
    std::vector<std::uint8_t> frame = MakeFrame(replyCommand, reply);
    switch (fault) {
        case Fault::None:
        case Fault::ErrorStatus:
        case Fault::WrongEcho:
            break;
        case Fault::StrayBytes:
            frame.insert(frame.begin(), {0x00, 0x75, 0x13});
            break;
        case Fault::WrongCheck:
            frame[frame.size() - 2] ^= 1;
            break;
        case Fault::WrongEnd:
            frame.back() = 0x0C;
            break;
        case Fault::NoReply:
            frame.clear();
            break;
        case Fault::CloseMidReply:
        case Fault::Stall:
            frame.resize(frame.size() / 2);  // frames are at least 7 bytes: 3 or more sent
            outcome.delivery = fault == Fault::Stall ? Delivery::ThenStall : Delivery::ThenClose;
            break;
        case Fault::Trickle:
            outcome.delivery = Delivery::Trickle;
            break;
        case Fault::ZeroLength:
            frame = MakeFrame(replyCommand, {});
            break;
    }
    outcome.bytes = std::move(frame);
    if (m_options.verbose) {
        outcome.logLine = "#" + std::to_string(number) + " " + Describe(command, payload) + " -> " +
                          (fault == Fault::None ? result : "fault ") +
                          (fault == Fault::None ? "" : FaultName(fault));
    }
    return outcome;
}

VirtualDevice::VirtualDevice(const SimOptions& options)
    : m_options(options), m_memory(BuildVirtualTemplate(options.model)) {
    m_identity = {options.channels,
                  options.model,
                  options.mcuMain,
                  options.mcuSub,
                  options.dspMain,
                  options.dspSub,
                  0,
                  0};
    for (std::size_t i = 0; i < 2 && i < options.family.size(); ++i) {
        m_identity[6 + i] = static_cast<std::uint8_t>(options.family[i]);
    }
}

void VirtualDevice::InjectFault(std::uint8_t command, Fault fault, int count) {
    if (fault == Fault::None || count == 0) return;
    m_faults.push_back({command, fault, count < 0 ? -1 : count});
}

void VirtualDevice::ClearFaults() { m_faults.clear(); }

std::vector<std::uint8_t> VirtualDevice::ReadMemory(std::uint32_t address,
                                                    std::size_t count) const {
    if (address >= kMemorySize) return {};
    const std::size_t n = std::min(count, kMemorySize - address);
    const auto from = m_memory.begin() + static_cast<std::ptrdiff_t>(address);
    return {from, from + static_cast<std::ptrdiff_t>(n)};
}

void VirtualDevice::WriteMemory(std::uint32_t address, const std::uint8_t* bytes,
                                std::size_t count) {
    if (address >= kMemorySize || bytes == nullptr) return;
    const std::size_t n = std::min(count, kMemorySize - address);
    std::copy(bytes, bytes + n, m_memory.begin() + static_cast<std::ptrdiff_t>(address));
}

std::vector<DeviceRequest> VirtualDevice::Requests() const {
    return {m_requests.begin(), m_requests.end()};
}

}  // namespace vantrel::sim
