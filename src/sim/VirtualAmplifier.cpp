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
#include <deque>
#include <mutex>
#include <thread>
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
constexpr std::uint8_t kAnyCommand = 0xFF;
constexpr std::uint8_t kStatusOk = 0;
constexpr std::uint8_t kStatusRejected = 1;
constexpr std::uint8_t kStatusUnknownCommand = 0xFF;
constexpr std::size_t kHeaderSize = 5;

constexpr std::size_t kReadChunk = 65536;
// A client that sends requests but never reads the replies stops being read once this much
// output waits for it, so it cannot make the server buffer without end.
constexpr std::size_t kOutputHighWater = 256 * 1024;
// Past this many open connections the least recently active one makes way for a new one, so
// idle or stuck clients cannot lock others out or use up the descriptors.
constexpr std::size_t kMaxConnections = 256;
// The request record is for tests and short sessions; a long-running sim keeps only the newest.
constexpr std::size_t kMaxRecordedRequests = 100000;
constexpr std::size_t kMaxRecordedBytes = 64u * 1024 * 1024;
constexpr int kAcceptRetryMs = 100;  // after running out of descriptors

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

void CloseWithReset(int fd) {
    linger reset{};
    reset.l_onoff = 1;
    reset.l_linger = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(fd);
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
                                       Fault::ErrorStatus, Fault::WrongEcho};
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
    }
    return "unknown";
}

struct VirtualAmplifier::Impl {
    struct FaultEntry {
        std::uint8_t command;
        Fault fault;
        int remaining;  // < 0: for good
    };

    struct Connection {
        int fd = -1;
        std::vector<std::uint8_t> input;
        // inputXor[i] is the XOR of every byte received up to and including input[i], so any
        // candidate frame's check byte is verified in constant time however much garbage comes.
        std::vector<std::uint8_t> inputXor;
        std::uint8_t xorBefore = 0;  // XOR of every byte already dropped from the front
        std::vector<std::uint8_t> output;
        std::size_t outputSent = 0;
        bool closeAfterFlush = false;
        bool peerClosed = false;
        bool dead = false;
        std::uint64_t lastActive = 0;

        std::size_t Pending() const { return output.size() - outputSent; }
        bool WantsInput() const {
            return !closeAfterFlush && !peerClosed && Pending() < kOutputHighWater;
        }
        std::uint8_t RangeXor(std::size_t begin, std::size_t end) const {
            return static_cast<std::uint8_t>(inputXor[end - 1] ^
                                             (begin == 0 ? xorBefore : inputXor[begin - 1]));
        }
    };

    // What one request produces, worked out under the lock and acted on outside it.
    struct Outcome {
        std::vector<std::uint8_t> bytes;
        bool closeAfter = false;
        std::string logLine;
    };

    explicit Impl(SimOptions opts) : options(std::move(opts)) {
        memory = BuildVirtualTemplate(options.model);

        identity = {options.channels,
                    options.model,
                    options.mcuMain,
                    options.mcuSub,
                    options.dspMain,
                    options.dspSub,
                    0,
                    0};
        for (std::size_t i = 0; i < 2 && i < options.family.size(); ++i) {
            identity[6 + i] = static_cast<std::uint8_t>(options.family[i]);
        }
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

    // ---- Requests (called with `mutex` held) ----

    Fault PickFault(std::uint8_t command) {
        for (auto it = faults.begin(); it != faults.end(); ++it) {
            if (it->command != kAnyCommand && it->command != command) continue;
            // A wrong echo only exists for memory reads; other commands leave the entry alone.
            if (it->fault == Fault::WrongEcho && command != CMD_READ_MEMORY) continue;
            const Fault fault = it->fault;
            if (it->remaining > 0 && --it->remaining == 0) faults.erase(it);
            return fault;
        }
        return Fault::None;
    }

    void Record(std::uint8_t command, const std::vector<std::uint8_t>& payload) {
        requests.push_back({command, payload, std::chrono::steady_clock::now()});
        recordedBytes += payload.size();
        while (requests.size() > kMaxRecordedRequests ||
               (recordedBytes > kMaxRecordedBytes && requests.size() > 1)) {
            recordedBytes -= requests.front().payload.size();
            requests.pop_front();
        }
    }

    // Carries out the request; returns its reply payload and whether it was accepted.
    bool Execute(std::uint8_t command, const std::vector<std::uint8_t>& payload, bool wrongEcho,
                 std::vector<std::uint8_t>& reply) {
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
                reply.assign(identity.begin(), identity.end());
                return true;
            case CMD_READ_STATUS: {
                reply = {options.voltage, options.temperature, options.protection, 0, 0, 0, 0, 0};
                PutBe32(&reply[4], options.runtimeMinutes / 10);
                return true;
            }
            case CMD_WRITE_MEMORY: {
                const std::size_t address = n >= 4 ? GetLe16(p) : 0;
                const std::size_t count = n >= 4 ? GetLe16(p + 2) : 0;
                if (n < 4 || n != 4 + count || address + count > kMemorySize) {
                    reply = {kStatusRejected, 0, 0};
                    return false;
                }
                std::copy(p + 4, p + n, memory.begin() + static_cast<std::ptrdiff_t>(address));
                // An MCU image takes its identity block along; the new firmware reports it once
                // the update is done. Setup stores also cover the block but never arm this.
                if (address == kMcuImageAddress &&
                    count >= kIdentityBlockAddress + kIdentityBlockSize) {
                    mcuImageWritten = true;
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
                const auto from = memory.begin() + static_cast<std::ptrdiff_t>(address);
                reply.insert(reply.end(), from, from + static_cast<std::ptrdiff_t>(count));
                return true;
            }
            case CMD_LOAD_SETUP:
                if (n != 1 || p[0] >= kSetupCount) return status(kStatusRejected);
                memory[kActiveSetupAddress] = p[0];
                return status(kStatusOk);
            case CMD_SET_LEVEL:
                return status(SetLevel(payload));
            case CMD_UPDATE_DONE:
                if (mcuImageWritten) {
                    std::copy_n(memory.begin() + kIdentityBlockAddress, kIdentityBlockSize,
                                identity.begin());
                    mcuImageWritten = false;
                }
                return status(kStatusOk);
            case CMD_WRITE_FIRMWARE:
                firmware = payload;
                return status(kStatusOk);
            default:
                status(kStatusUnknownCommand);
                return false;
        }
    }

    std::uint8_t WriteParams(const std::vector<std::uint8_t>& payload) {
        // Control words are looked up in memory as it is now, so words the tool rewrote with
        // WRITE_MEMORY count; the first pair holding a word wins.
        std::unordered_map<std::uint32_t, std::size_t> where;
        where.reserve(kSetupCount * kPairsPerSetup);
        for (int s = 0; s < kSetupCount; ++s) {
            for (std::size_t pair = 0; pair < kPairsPerSetup; ++pair) {
                const std::size_t at = SetupImageAddress(s) + kPairSize * pair;
                where.emplace(GetBe32(&memory[at]), at);
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
                      memory.begin() + static_cast<std::ptrdiff_t>(it->second + 4));
        }
        return ok ? kStatusOk : kStatusRejected;
    }

    std::uint8_t SetLevel(const std::vector<std::uint8_t>& payload) {
        if (payload.size() != 2) return kStatusRejected;
        const std::uint8_t target = payload[0];
        const std::uint8_t value = payload[1];
        if (target == kNoiseKillerTarget) {
            memory[kNoiseKillerAddress] = value;
            return kStatusOk;
        }
        if (target >= kOutputChannels) return kStatusRejected;
        levels[target] = value;
        // The switch records exist for four setups of four channels; an active setup byte that
        // was overwritten with something else has no record to update.
        const std::size_t active = memory[kActiveSetupAddress];
        if (target < kImageChannelCount && active < kSetupCount) {
            memory[kDeviceImageAddress + SwitchRecordOffset(static_cast<int>(active), target) +
                   kSwitchLevel] = value;
        }
        return kStatusOk;
    }

    Outcome Handle(std::uint8_t command, const std::vector<std::uint8_t>& payload) {
        std::lock_guard lock(mutex);
        Record(command, payload);
        const std::size_t number = ++requestNumber;
        const Fault fault = PickFault(command);
        const std::uint8_t replyCommand = static_cast<std::uint8_t>(command | 0x80);

        Outcome outcome;
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
                frame.resize(frame.size() / 2);  // frames are at least 7 bytes: 3 or more sent
                outcome.closeAfter = true;
                break;
            case Fault::ZeroLength:
                frame = MakeFrame(replyCommand, {});
                break;
        }
        outcome.bytes = std::move(frame);
        if (options.verbose) {
            outcome.logLine = "#" + std::to_string(number) + " " + Describe(command, payload) +
                              " -> " + (fault == Fault::None ? result : "fault ") +
                              (fault == Fault::None ? "" : FaultName(fault));
        }
        return outcome;
    }

    // ---- Connections (server thread only) ----

    void ProcessInput(Connection& c) {
        std::vector<std::uint8_t>& in = c.input;
        std::size_t pos = 0;
        std::size_t skipped = 0;
        while (!c.closeAfterFlush && c.Pending() < kOutputHighWater) {
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
            Outcome outcome = Handle(in[start + 2], payload);
            if (!outcome.logLine.empty()) Log(outcome.logLine);
            c.output.insert(c.output.end(), outcome.bytes.begin(), outcome.bytes.end());
            pos = start + total;
            if (outcome.closeAfter) {
                c.closeAfterFlush = true;
                pos = in.size();
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
            const ssize_t n = ::send(c.fd, c.output.data() + c.outputSent, c.Pending(),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                c.outputSent += static_cast<std::size_t>(n);
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
        } else if (c.outputSent >= kReadChunk) {
            c.output.erase(c.output.begin(),
                           c.output.begin() + static_cast<std::ptrdiff_t>(c.outputSent));
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
            for (const Connection& c : connections) {
                short events = 0;
                if (c.WantsInput()) events |= POLLIN;
                if (c.Pending() > 0) events |= POLLOUT;
                fds.push_back({c.fd, events, 0});
            }
            int timeout = -1;
            if (acceptPaused) {
                timeout = static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(retryAt - now).count() +
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
    std::vector<std::uint8_t> memory;
    std::array<std::uint8_t, kIdentityBlockSize> identity{};
    bool mcuImageWritten = false;  // since the last UPDATE_DONE
    std::array<std::uint8_t, 6> levels{};
    std::vector<std::uint8_t> firmware;
    std::deque<Request> requests;
    std::size_t recordedBytes = 0;
    std::size_t requestNumber = 0;
    std::vector<FaultEntry> faults;
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
    if (fault == Fault::None || count == 0) return;
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults.push_back({command, fault, count < 0 ? -1 : count});
}

void VirtualAmplifier::ClearFaults() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults.clear();
    m_impl->refuseCount = 0;
}

void VirtualAmplifier::RefuseConnections(int count) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->refuseCount = std::max(count, 0);
}

std::vector<std::uint8_t> VirtualAmplifier::ReadMemory(std::uint32_t address,
                                                       std::size_t count) const {
    std::lock_guard lock(m_impl->mutex);
    if (address >= kMemorySize) return {};
    const std::size_t n = std::min(count, kMemorySize - address);
    const auto from = m_impl->memory.begin() + static_cast<std::ptrdiff_t>(address);
    return {from, from + static_cast<std::ptrdiff_t>(n)};
}

void VirtualAmplifier::WriteMemory(std::uint32_t address, const std::uint8_t* bytes,
                                   std::size_t count) {
    std::lock_guard lock(m_impl->mutex);
    if (address >= kMemorySize || bytes == nullptr) return;
    const std::size_t n = std::min(count, kMemorySize - address);
    std::copy(bytes, bytes + n, m_impl->memory.begin() + static_cast<std::ptrdiff_t>(address));
}

std::array<std::uint8_t, 8> VirtualAmplifier::Identity() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->identity;
}

void VirtualAmplifier::SetIdentity(const std::array<std::uint8_t, 8>& identity) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->identity = identity;
}

std::array<std::uint8_t, 6> VirtualAmplifier::Levels() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->levels;
}

std::vector<std::uint8_t> VirtualAmplifier::DspFirmware() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->firmware;
}

std::vector<VirtualAmplifier::Request> VirtualAmplifier::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return {m_impl->requests.begin(), m_impl->requests.end()};
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
