// The virtual amplifier seen from the wire: a raw client sends frames and reads back the bytes.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "link/FirmwareFiles.h"
#include "link/Frame.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"
#include "sim/VirtualAmplifier.h"
#include "sim/VirtualDevice.h"
#include "sim/VirtualTemplate.h"

namespace vantrel::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWaitMs = 3000;  // upper bound for anything the sim should answer
constexpr int kQuietMs = 50;   // how long silence must last to count as "no reply"

constexpr std::uint8_t kWriteParams = 0x01, kIdentify = 0x03, kReadStatus = 0x04,
                       kWriteMemory = 0x05, kReadMemory = 0x06, kLoadSetup = 0x07, kSetLevel = 0x08,
                       kUpdateDone = 0x09, kWriteFirmware = 0x23;

Bytes Frame(std::uint8_t command, const Bytes& payload) {
    Bytes tx(kFrameBufferSize);
    BuildFrame(tx.data(), command, payload.data(), static_cast<std::uint16_t>(payload.size()));
    // Sized here: the returned 16-bit length wraps for the largest memory-read replies.
    tx.resize(payload.size() + kFrameOverhead);
    return tx;
}

Bytes Reply(std::uint8_t command, const Bytes& payload) {
    return Frame(static_cast<std::uint8_t>(command | 0x80), payload);
}

Bytes MemoryRequest(std::uint16_t address, std::uint16_t count, const Bytes& data = {}) {
    Bytes p = {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
               static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)};
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

void AppendBe32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | std::uint32_t{b[at + 3]};
}

std::uint32_t PairAddress(int setup, int pair) {
    return static_cast<std::uint32_t>(kParamImageAddress + kSetupImageOffset +
                                      kSetupImageSize * static_cast<std::size_t>(setup) +
                                      8 * static_cast<std::size_t>(pair));
}

// A blocking loopback client whose every read is bounded in time. Nagle is off, so what it sends
// in separate calls can travel in separate segments.
class RawClient {
public:
    explicit RawClient(std::uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() {
        if (m_fd >= 0) ::close(m_fd);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return m_connected; }
    int Fd() const { return m_fd; }
    bool Closed() const { return m_closed; }
    bool Reset() const { return m_reset; }

    bool Send(const Bytes& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                if (n < 0 && errno == ECONNRESET) m_closed = m_reset = true;
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Sends `bytes` and waits until all of them have left in segments, so that whatever is sent
    // next cannot join them.
    bool SendApart(const Bytes& bytes) {
        if (!Send(bytes)) return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        int unsent = 0;
        while (::ioctl(m_fd, SIOCOUTQNSD, &unsent) == 0 && unsent > 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return unsent == 0;
    }

    // Up to `count` bytes: fewer when the peer closes or `ms` pass first. `reads` counts the
    // receive calls that returned data.
    Bytes Read(std::size_t count, int ms = kWaitMs, std::size_t* reads = nullptr) {
        Bytes out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.size() < count && !m_closed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            std::uint8_t buffer[65536];
            const std::size_t want = std::min(sizeof buffer, count - out.size());
            const ssize_t n = ::recv(m_fd, buffer, want, 0);
            if (n > 0) {
                out.insert(out.end(), buffer, buffer + n);
                if (reads != nullptr) ++*reads;
            } else {
                m_closed = true;
                m_reset = n < 0 && errno == ECONNRESET;
            }
        }
        return out;
    }

    // One whole frame as its header announces it.
    Bytes ReadFrame() {
        Bytes frame = Read(5);
        if (frame.size() < 5) return frame;
        const Bytes rest = Read(std::size_t{frame[3]} + 256u * frame[4] + 2);
        frame.insert(frame.end(), rest.begin(), rest.end());
        return frame;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
    bool m_reset = false;
};

SimOptions TestOptions() {
    SimOptions options;
    options.port = 0;
    return options;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { StartWith(TestOptions()); }

    void StartWith(const SimOptions& options) {
        m_sim = std::make_unique<VirtualAmplifier>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
    }

    // The reply payload of one transaction on a fresh connection, checked to be a sound frame.
    Bytes Ask(std::uint8_t command, const Bytes& payload = {}) {
        RawClient client(m_sim->Port());
        EXPECT_TRUE(client.Send(Frame(command, payload)));
        const Bytes frame = client.ReadFrame();
        if (frame.size() < kFrameOverhead) {
            ADD_FAILURE() << "no reply to command " << int{command};
            return {};
        }
        const Bytes payloadOut(frame.begin() + 5, frame.end() - 2);
        EXPECT_EQ(frame, Reply(command, payloadOut)) << "unsound reply to " << int{command};
        return payloadOut;
    }

    // The raw bytes sent back for one request, up to `count`.
    Bytes Raw(std::uint8_t command, const Bytes& payload, std::size_t count) {
        RawClient client(m_sim->Port());
        EXPECT_TRUE(client.Send(Frame(command, payload)));
        return client.Read(count);
    }

    Bytes Memory(std::uint32_t address, std::size_t count) const {
        return m_sim->ReadMemory(address, count);
    }

    std::unique_ptr<VirtualAmplifier> m_sim;
};

TEST(VirtualControlWordTest, IsNonZeroAndUniquePerSetupAndPair) {
    std::set<std::uint32_t> seen;
    for (int s = 0; s < 4; ++s) {
        for (int p = 0; p < 376; ++p) {
            const std::uint32_t word = VirtualControlWord(s, p);
            EXPECT_NE(word, 0u);
            EXPECT_TRUE(seen.insert(word).second) << s << "/" << p;
        }
    }
    EXPECT_EQ(VirtualControlWord(4, 0), 0u);
    EXPECT_EQ(VirtualControlWord(0, 376), 0u);
    EXPECT_EQ(VirtualControlWord(-1, 0), 0u);
}

TEST(FaultNameTest, NamesRoundTripAndUnknownNamesFail) {
    const std::pair<Fault, const char*> cases[] = {
        {Fault::StrayBytes, "stray"},
        {Fault::WrongCheck, "bad-check"},
        {Fault::WrongEnd, "bad-end"},
        {Fault::NoReply, "no-reply"},
        {Fault::CloseMidReply, "close-mid-reply"},
        {Fault::ZeroLength, "zero-length"},
        {Fault::ErrorStatus, "error-status"},
        {Fault::WrongEcho, "wrong-echo"},
        {Fault::Stall, "stall"},
        {Fault::Trickle, "trickle"},
    };
    for (const auto& [fault, name] : cases) {
        EXPECT_STREQ(FaultName(fault), name);
        Fault parsed = Fault::None;
        EXPECT_TRUE(ParseFaultName(name, parsed)) << name;
        EXPECT_EQ(parsed, fault) << name;
    }
    Fault untouched = Fault::NoReply;
    for (const char* bad : {"", "none", "Stray", "stray ", "bad"}) {
        EXPECT_FALSE(ParseFaultName(bad, untouched)) << bad;
    }
}

// ---- The device alone: requests in, replies out, no sockets ----

TEST(VirtualDeviceTest, AnswersEachCommandAndKeepsWhatItWasTold) {
    VirtualDevice device;
    const auto at = std::chrono::steady_clock::time_point{} + std::chrono::seconds(7);
    const struct Case {
        const char* name;
        std::uint8_t command;
        Bytes payload;
        Bytes reply;
    } cases[] = {
        {"identify", kIdentify, {}, {4, 3, 1, 5, 1, 0, 'Q', 'V'}},
        {"status", kReadStatus, {}, {124, 100, 0, 0, 0, 0, 0, 123}},
        {"write", kWriteMemory, MemoryRequest(0x4000, 2, {0xAA, 0xBB}), {0, 2, 0}},
        {"read back", kReadMemory, MemoryRequest(0x4000, 2), {0, 0x40, 2, 0, 0xAA, 0xBB}},
        {"load setup", kLoadSetup, {3}, {0}},
        {"level", kSetLevel, {1, 9}, {0}},
        {"firmware", kWriteFirmware, {1, 2, 3}, {0}},
        {"unknown command", 0x42, {}, {0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceReply reply = device.Handle(c.command, c.payload, at);
        EXPECT_EQ(reply.bytes, Reply(c.command, c.reply));
        EXPECT_EQ(reply.delivery, Delivery::Whole);
        EXPECT_TRUE(reply.logLine.empty()) << "not verbose";
    }
    EXPECT_EQ(device.ReadMemory(kActiveSetupAddress, 1), Bytes{3});
    EXPECT_EQ(device.Levels(), (std::array<std::uint8_t, 6>{0, 9, 0, 0, 0, 0}));
    EXPECT_EQ(device.ReadMemory(kParamImageAddress + 8 * (3 * 4 + 1), 1), Bytes{9});
    EXPECT_EQ(device.DspFirmware(), (Bytes{1, 2, 3}));
    const auto requests = device.Requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    EXPECT_EQ(requests[2].command, kWriteMemory);
    EXPECT_EQ(requests[2].payload, cases[2].payload);
    EXPECT_EQ(requests[2].received, at);
}

TEST(VirtualDeviceTest, FaultsDecideTheBytesAndHowTheyGoOut) {
    const Bytes status = Reply(kReadStatus, {124, 100, 0, 0, 0, 0, 0, 123});
    const Bytes half(status.begin(),
                     status.begin() + static_cast<std::ptrdiff_t>(status.size() / 2));
    const struct Case {
        Fault fault;
        Bytes bytes;
        Delivery delivery;
    } cases[] = {
        {Fault::NoReply, {}, Delivery::Whole},
        {Fault::CloseMidReply, half, Delivery::ThenClose},
        {Fault::Stall, half, Delivery::ThenStall},
        {Fault::Trickle, status, Delivery::Trickle},
        {Fault::ErrorStatus, Reply(kReadStatus, {1}), Delivery::Whole},
    };
    SimOptions options;
    options.verbose = true;
    VirtualDevice device(options);
    for (const Case& c : cases) {
        SCOPED_TRACE(FaultName(c.fault));
        device.InjectFault(kReadStatus, c.fault, 1);
        const DeviceReply reply = device.Handle(kReadStatus, {});
        EXPECT_EQ(reply.bytes, c.bytes);
        EXPECT_EQ(reply.delivery, c.delivery);
        EXPECT_NE(reply.logLine.find(std::string("READ_STATUS -> fault ") + FaultName(c.fault)),
                  std::string::npos)
            << reply.logLine;
        const DeviceReply next = device.Handle(kReadStatus, {});
        EXPECT_EQ(next.bytes, status) << "the fault was for one request";
        EXPECT_EQ(next.delivery, Delivery::Whole);
    }
    // An error status refuses the request; every other fault spoils only the reply.
    device.InjectFault(kAnyCommand, Fault::ErrorStatus, 1);
    device.Handle(kLoadSetup, {2});
    EXPECT_EQ(device.ReadMemory(kActiveSetupAddress, 1), Bytes{0});
    device.InjectFault(kAnyCommand, Fault::Stall, 1);
    device.Handle(kLoadSetup, {2});
    EXPECT_EQ(device.ReadMemory(kActiveSetupAddress, 1), Bytes{2});
}

TEST_F(SimTest, StartsAsTheVirtualTemplate) {
    const Bytes all = Memory(0, kMemorySize);
    EXPECT_EQ(all, BuildVirtualTemplate(3));

    EXPECT_EQ(Memory(kNoiseKillerAddress, 8), (Bytes{255, 1, 2, 3, 4, 5, 6, 0}));
    EXPECT_EQ(Memory(kParamImageAddress + 137, 1), Bytes{3});
    // The parameter image is what the tool computes for the start values, under the control
    // words the sim looks parameter blocks up by.
    ParameterModel model;
    InitSetups(model);
    DeviceImage expected{};
    for (int s = 0; s < 4; ++s) RebuildSetupImage(expected, model, s);
    expected[kModelCodeOffset] = 3;
    const Bytes image = Memory(kParamImageAddress, kParamImageSize);
    ASSERT_EQ(image.size(), kParamImageSize);
    for (int s = 0; s < 4; ++s) {
        for (int p = 0; p < 376; ++p) {
            const std::size_t at = PairAddress(s, p) - kParamImageAddress;
            ASSERT_EQ(Be32(image, at), VirtualControlWord(s, p)) << s << "/" << p;
            for (std::size_t i = 0; i < 4; ++i) expected[at + i] = image[at + i];
        }
        EXPECT_EQ(Be32(image, PairAddress(s, 372) - kParamImageAddress + 4), 0x80000000u);
    }
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.begin()));
    // Nothing outside the parameter memory is set.
    EXPECT_EQ(std::count(all.begin(), all.begin() + kNoiseKillerAddress, 0), kNoiseKillerAddress);
    EXPECT_EQ(std::count(all.begin() + 32768, all.end(), 0), 32768);
}

TEST_F(SimTest, ReadMemoryEchoesTheRequestThenTheBytes) {
    const std::uint8_t last = 0xAB;
    m_sim->WriteMemory(65535, &last, 1);

    EXPECT_EQ(Ask(kReadMemory, MemoryRequest(20585, 6)),
              (Bytes{0x69, 0x50, 6, 0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Ask(kReadMemory, MemoryRequest(65535, 1)), (Bytes{0xFF, 0xFF, 1, 0, 0xAB}));
    EXPECT_EQ(Ask(kReadMemory, MemoryRequest(100, 0)), (Bytes{100, 0, 0, 0}));

    // The largest read fills a 65535-byte payload.
    const Bytes big = Ask(kReadMemory, MemoryRequest(0, 65531));
    ASSERT_EQ(big.size(), 65535u);
    EXPECT_EQ(Bytes(big.begin() + 4, big.end()), Memory(0, 65531));
}

TEST_F(SimTest, WriteMemoryStoresTheBytesAndReportsACount) {
    EXPECT_EQ(Ask(kWriteMemory, MemoryRequest(65533, 3, {7, 8, 9})), (Bytes{0, 3, 0}));
    EXPECT_EQ(Memory(65533, 3), (Bytes{7, 8, 9}));
    EXPECT_EQ(Ask(kWriteMemory, MemoryRequest(500, 0)), (Bytes{0, 1, 0}));
}

TEST_F(SimTest, RejectsMemoryRequestsOutOfRangeOrMisshaped) {
    const std::uint8_t marker[] = {0x11, 0x22};
    m_sim->WriteMemory(65534, marker, 2);
    struct Case {
        const char* name;
        std::uint8_t command;
        Bytes payload;
        Bytes reply;
    };
    const Case cases[] = {
        {"read past the end", kReadMemory, MemoryRequest(65535, 2), {1}},
        {"read too long for a reply", kReadMemory, MemoryRequest(0, 65532), {1}},
        {"read short payload", kReadMemory, {0, 0, 1}, {1}},
        {"read long payload", kReadMemory, {0, 0, 1, 0, 0}, {1}},
        {"write past the end", kWriteMemory, MemoryRequest(65535, 2, {5, 5}), {1, 0, 0}},
        {"write fewer bytes than counted", kWriteMemory, MemoryRequest(65534, 2, {5}), {1, 0, 0}},
        {"write more bytes than counted", kWriteMemory, MemoryRequest(65534, 1, {5, 5}), {1, 0, 0}},
        {"write without count", kWriteMemory, {0xFE, 0xFF}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(c.command, c.payload), c.reply) << c.name;
    }
    EXPECT_EQ(Memory(65534, 2), (Bytes{0x11, 0x22}));
}

TEST_F(SimTest, WriteParamsStoresValuesWhereTheControlWordsAre) {
    Bytes block;
    AppendBe32(block, VirtualControlWord(2, 5));
    AppendBe32(block, 0x11223344);
    AppendBe32(block, VirtualControlWord(0, 372));
    AppendBe32(block, 0x40000000);
    EXPECT_EQ(Ask(kWriteParams, block), Bytes{0});

    const Bytes pair = Memory(PairAddress(2, 5), 8);
    EXPECT_EQ(Be32(pair, 0), VirtualControlWord(2, 5));
    EXPECT_EQ(Be32(pair, 4), 0x11223344u);
    EXPECT_EQ(Be32(Memory(PairAddress(0, 372), 8), 4), 0x40000000u);
    EXPECT_EQ(Be32(Memory(PairAddress(1, 5), 8), 4), 0u);  // same pair, other setup
}

TEST_F(SimTest, WriteParamsRejectsBadBlocksButAppliesTheKnownPairs) {
    struct Case {
        const char* name;
        Bytes block;
        std::uint32_t expectedAt3_7;  // value word of setup 3 pair 7 afterwards
    };
    Bytes unknownAmongKnown;
    AppendBe32(unknownAmongKnown, 0x12345678);
    AppendBe32(unknownAmongKnown, 1);
    AppendBe32(unknownAmongKnown, VirtualControlWord(3, 7));
    AppendBe32(unknownAmongKnown, 0xA1);
    Bytes trailingBytes;
    AppendBe32(trailingBytes, VirtualControlWord(3, 7));
    AppendBe32(trailingBytes, 0xA2);
    trailingBytes.insert(trailingBytes.end(), {1, 2, 3});
    const Case cases[] = {
        {"unknown control word", unknownAmongKnown, 0xA1},
        {"length not a multiple of 8", trailingBytes, 0xA2},
        {"empty block", {}, 0xA2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(kWriteParams, c.block), Bytes{1}) << c.name;
        EXPECT_EQ(Be32(Memory(PairAddress(3, 7), 8), 4), c.expectedAt3_7) << c.name;
    }
}

TEST_F(SimTest, IdentifyAndStatusReportTheOptions) {
    SimOptions options = TestOptions();
    options.channels = 1;
    options.model = 7;
    options.mcuMain = 2;
    options.mcuSub = 3;
    options.dspMain = 4;
    options.dspSub = 5;
    options.family = "GM";
    options.voltage = 131;
    options.temperature = 90;
    options.runtimeMinutes = 12345;
    options.protection = 1;
    StartWith(options);

    EXPECT_EQ(Ask(kIdentify), (Bytes{1, 7, 2, 3, 4, 5, 'G', 'M'}));
    // Running time goes out big-endian in 10-minute units: 1234 = 0x4D2.
    EXPECT_EQ(Ask(kReadStatus), (Bytes{131, 90, 1, 0, 0, 0, 0x04, 0xD2}));
    EXPECT_EQ(Memory(kParamImageAddress + 137, 1), Bytes{7});

    m_sim->SetIdentity({4, 3, 1, 5, 1, 0, 'Q', 'V'});
    EXPECT_EQ(Ask(kIdentify), (Bytes{4, 3, 1, 5, 1, 0, 'Q', 'V'}));
}

TEST_F(SimTest, LevelsLandInTheActiveSetupsSwitchRecords) {
    EXPECT_EQ(Ask(kLoadSetup, {2}), Bytes{0});
    EXPECT_EQ(Memory(kActiveSetupAddress, 1), Bytes{2});
    EXPECT_EQ(Ask(kLoadSetup, {4}), Bytes{1});
    EXPECT_EQ(Ask(kLoadSetup, {}), Bytes{1});
    EXPECT_EQ(Memory(kActiveSetupAddress, 1), Bytes{2});

    Bytes records = Memory(kParamImageAddress, 128);
    EXPECT_EQ(Ask(kSetLevel, {3, 9}), Bytes{0});
    EXPECT_EQ(Ask(kSetLevel, {5, 7}), Bytes{0});  // no switch record for channels 4 and 5
    records[8 * (2 * 4 + 3)] = 9;
    EXPECT_EQ(Memory(kParamImageAddress, 128), records);
    EXPECT_EQ(m_sim->Levels(), (std::array<std::uint8_t, 6>{0, 0, 0, 9, 0, 7}));

    EXPECT_EQ(Ask(kSetLevel, {0xF0, 4}), Bytes{0});
    EXPECT_EQ(Memory(kNoiseKillerAddress, 1), Bytes{4});
    for (const Bytes& bad : {Bytes{6, 1}, Bytes{0xEF, 1}, Bytes{0}, Bytes{0, 1, 2}}) {
        EXPECT_EQ(Ask(kSetLevel, bad), Bytes{1});
    }
    EXPECT_EQ(m_sim->Levels(), (std::array<std::uint8_t, 6>{0, 0, 0, 9, 0, 7}));
}

TEST_F(SimTest, AnswersTheRemainingCommands) {
    EXPECT_EQ(Ask(kUpdateDone), Bytes{0});
    const Bytes image = {1, 2, 3, 4, 5, 0x75, 0xCA};
    EXPECT_EQ(Ask(kWriteFirmware, image), Bytes{0});
    EXPECT_EQ(m_sim->DspFirmware(), image);
    EXPECT_EQ(Ask(0x42, {1, 2}), Bytes{0xFF});
}

// Firmware stage 2 writes the MCU image at 0; the identity block it carries (20728..20735) is what
// the amplifier reports once the update is done, and only then.
TEST_F(SimTest, AnUpdateDoneTakesTheIdentityOfTheWrittenMcuImage) {
    const Bytes old = {4, 3, 1, 5, 1, 0, 'Q', 'V'};
    const Bytes fresh = {2, 9, 2, 1, 1, 3, 'Q', 'V'};
    constexpr std::size_t kBlock = 20728;
    const struct Case {
        const char* what;
        std::uint16_t address;
        std::size_t length;
        bool takesIdentity;
    } cases[] = {
        {"MCU image past the block", 0, 40960, true},
        {"MCU image ending with the block", 0, kBlock + 8, true},
        {"MCU image ending inside the block", 0, kBlock + 7, false},
        {"setup store over the block", kParamImageAddress, kParamImageSize, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartWith(TestOptions());
        Bytes image = Memory(c.address, c.length);
        for (std::size_t i = 0; i < 8; ++i) {
            if (kBlock + i < c.address + c.length) image[kBlock + i - c.address] = fresh[i];
        }
        const auto n = static_cast<std::uint16_t>(c.length);
        EXPECT_EQ(Ask(kWriteMemory, MemoryRequest(c.address, n, image)),
                  (Bytes{0, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)}));
        EXPECT_EQ(Ask(kIdentify), old);
        EXPECT_EQ(Ask(kUpdateDone), Bytes{0});
        EXPECT_EQ(Ask(kIdentify), c.takesIdentity ? fresh : old);
        // A later UPDATE_DONE without a new image changes nothing.
        m_sim->SetIdentity({4, 3, 1, 5, 1, 0, 'Q', 'V'});
        EXPECT_EQ(Ask(kUpdateDone), Bytes{0});
        EXPECT_EQ(Ask(kIdentify), old);
    }
}

// The images the build generates: their template is the sim's start memory with the identity
// block filled in, and a firmware update with them makes the sim report that identity.
TEST_F(SimTest, DeliveredImagesMatchTheVirtualAmplifier) {
    const struct Case {
        const char* name;
        std::uint8_t modelCode;
        Bytes identity;
    } cases[] = {
        {"E2", 3, {4, 3, 1, 5, 1, 0, 'Q', 'V'}},
        {"E3", 4, {1, 4, 1, 5, 1, 0, 'Q', 'V'}},  // first bass amplifier of the catalogue
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FirmwarePair pair = FirmwarePairPath(VANTREL_BUILD_DATA_DIR, c.name);
        const auto memory = AssembleTemplateImage(pair);
        ASSERT_TRUE(memory);
        Bytes expected = BuildVirtualTemplate(c.modelCode);
        std::copy(c.identity.begin(), c.identity.end(), expected.begin() + 20728);
        EXPECT_TRUE(std::equal(expected.begin() + kNoiseKillerAddress, expected.begin() + 32768,
                               memory->begin() + kNoiseKillerAddress));

        StartWith(TestOptions());
        const auto image = AssembleFirmwareImage(pair, kMcuImageLimit);
        ASSERT_TRUE(image);
        const auto n = static_cast<std::uint16_t>(image->size());
        EXPECT_EQ(Ask(kWriteMemory, MemoryRequest(0, n, *image))[0], 0);
        EXPECT_EQ(Ask(kUpdateDone), Bytes{0});
        EXPECT_EQ(Ask(kIdentify), c.identity);
    }
}

TEST_F(SimTest, AssemblesARequestFromAnyChunking) {
    RawClient client(m_sim->Port());
    const Bytes frame = Frame(kReadMemory, MemoryRequest(20585, 6));
    // Split inside the start bytes, inside the length field and inside the payload.
    for (auto [from, to] : {std::pair{0, 1}, {1, 4}, {4, 8}}) {
        ASSERT_TRUE(client.SendApart(Bytes(frame.begin() + from, frame.begin() + to)));
        EXPECT_TRUE(client.Read(1, kQuietMs).empty()) << "answered after " << to << " bytes";
    }
    ASSERT_TRUE(client.Send(Bytes(frame.begin() + 8, frame.end())));
    EXPECT_EQ(client.ReadFrame(), Reply(kReadMemory, {0x69, 0x50, 6, 0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(SimTest, AnswersSeveralRequestsOnOneConnectionInOrder) {
    RawClient client(m_sim->Port());
    Bytes stream = Frame(kLoadSetup, {1});
    for (const Bytes& more :
         {Frame(kReadMemory, MemoryRequest(kActiveSetupAddress, 1)), Frame(kUpdateDone, {})}) {
        stream.insert(stream.end(), more.begin(), more.end());
    }
    ASSERT_TRUE(client.Send(stream));
    EXPECT_EQ(client.ReadFrame(), Reply(kLoadSetup, {0}));
    EXPECT_EQ(client.ReadFrame(), Reply(kReadMemory, {0x6F, 0x50, 1, 0, 1}));
    EXPECT_EQ(client.ReadFrame(), Reply(kUpdateDone, {0}));
}

TEST_F(SimTest, SkipsInvalidFramesAndResynchronises) {
    Bytes badCheck = Frame(kIdentify, {});
    badCheck[5] ^= 1;
    Bytes badEnd = Frame(kReadStatus, {});
    badEnd.back() = 0x0C;
    const Bytes wanted = Frame(kUpdateDone, {});
    // A header claiming five payload bytes whose span ends exactly where a real frame ends: the
    // real frame inside it must still be found.
    Bytes stream = {0x00, 0x75, 0x13, 0x75};
    for (const Bytes& part : {badCheck, badEnd, Bytes{0x75, 0xCA, kWriteMemory, 5, 0}, wanted,
                              Bytes{0x75, 0x75}, Frame(kReadMemory, MemoryRequest(20591, 1))}) {
        stream.insert(stream.end(), part.begin(), part.end());
    }
    RawClient client(m_sim->Port());
    ASSERT_TRUE(client.Send(stream));
    EXPECT_EQ(client.ReadFrame(), Reply(kUpdateDone, {0}));
    EXPECT_EQ(client.ReadFrame(), Reply(kReadMemory, {0x6F, 0x50, 1, 0, 0}));
    EXPECT_TRUE(client.Read(1, kQuietMs).empty());

    const auto requests = m_sim->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].command, kUpdateDone);
    EXPECT_TRUE(requests[0].payload.empty());
    EXPECT_EQ(requests[1].command, kReadMemory);
    EXPECT_EQ(requests[1].payload, MemoryRequest(20591, 1));
}

TEST_F(SimTest, SurvivesHostileStreams) {
    std::mt19937 random(7);
    Bytes noise(200000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    Bytes headers;  // endless maximal length claims, each overlapping the next
    for (int i = 0; i < 40000; ++i) headers.insert(headers.end(), {0x75, 0xCA, 0x01, 0xFF, 0xFF});
    Bytes cutOff = {0x75, 0xCA, 0x23, 0xFF, 0xFF, 1, 2, 3};

    for (const Bytes* stream : {&noise, &headers, &cutOff}) {
        RawClient client(m_sim->Port());
        ASSERT_TRUE(client.Send(*stream));
        ::shutdown(client.Fd(), SHUT_WR);
        client.Read(SIZE_MAX, kQuietMs);
    }
    EXPECT_EQ(Ask(kIdentify), (Bytes{4, 3, 1, 5, 1, 0, 'Q', 'V'}));
}

TEST_F(SimTest, ServesOthersWhileAClientStopsReading) {
    RawClient stuck(m_sim->Port());
    const int small = 4096;
    ::setsockopt(stuck.Fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    Bytes flood;
    const Bytes read = Frame(kReadMemory, MemoryRequest(0, 65531));
    for (int i = 0; i < 64; ++i) flood.insert(flood.end(), read.begin(), read.end());
    ASSERT_TRUE(stuck.Send(flood));  // megabytes of replies that will never be read

    EXPECT_EQ(Ask(kIdentify), (Bytes{4, 3, 1, 5, 1, 0, 'Q', 'V'}));
    // Stopping must not wait for the stuck client either.
    const auto before = std::chrono::steady_clock::now();
    m_sim->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
}

TEST_F(SimTest, FaultsSpoilTheReplyOnceAndThenItRecovers) {
    const Bytes read = MemoryRequest(20585, 6);
    const Bytes normalRead = Reply(kReadMemory, {0x69, 0x50, 6, 0, 1, 2, 3, 4, 5, 6});
    const Bytes normalStatus = Reply(kReadStatus, {124, 100, 0, 0, 0, 0, 0, 123});
    Bytes badCheck = normalStatus;
    badCheck[badCheck.size() - 2] ^= 1;
    Bytes badEnd = normalStatus;
    badEnd.back() = 0x0C;
    Bytes stray = {0x00, 0x75, 0x13};
    stray.insert(stray.end(), normalStatus.begin(), normalStatus.end());
    struct Case {
        Fault fault;
        std::uint8_t command;
        Bytes payload;
        Bytes faulty;
        Bytes normal;
    };
    const Case cases[] = {
        {Fault::StrayBytes, kReadStatus, {}, stray, normalStatus},
        {Fault::WrongCheck, kReadStatus, {}, badCheck, normalStatus},
        {Fault::WrongEnd, kReadStatus, {}, badEnd, normalStatus},
        {Fault::ZeroLength,
         kReadStatus,
         {},
         Bytes{0x75, 0xCA, 0x84, 0, 0, 0x3B, 0x0B},
         normalStatus},
        {Fault::ErrorStatus, kReadMemory, read, Reply(kReadMemory, {1}), normalRead},
        {Fault::WrongEcho, kReadMemory, read,
         Reply(kReadMemory, {0x69, 0x50, 7, 0, 1, 2, 3, 4, 5, 6}), normalRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FaultName(c.fault));
        m_sim->InjectFault(c.command, c.fault, 1);
        EXPECT_EQ(Raw(c.command, c.payload, c.faulty.size()), c.faulty);
        EXPECT_EQ(Raw(c.command, c.payload, c.normal.size()), c.normal);
    }
}

TEST_F(SimTest, NoReplyKeepsTheConnectionOpenAndSilent) {
    m_sim->InjectFault(kIdentify, Fault::NoReply, 1);
    RawClient client(m_sim->Port());
    ASSERT_TRUE(client.Send(Frame(kIdentify, {})));
    EXPECT_TRUE(client.Read(1, kQuietMs).empty());
    EXPECT_FALSE(client.Closed());
    // The connection still works for whatever comes next.
    ASSERT_TRUE(client.Send(Frame(kUpdateDone, {})));
    EXPECT_EQ(client.ReadFrame(), Reply(kUpdateDone, {0}));
    EXPECT_EQ(m_sim->Requests().size(), 2u);
}

TEST_F(SimTest, CloseMidReplySendsAPartialFrameThenCloses) {
    m_sim->InjectFault(kReadMemory, Fault::CloseMidReply, 1);
    const Bytes full = Reply(kReadMemory, {0x69, 0x50, 6, 0, 1, 2, 3, 4, 5, 6});
    RawClient client(m_sim->Port());
    // A second request already on its way is dropped with the connection.
    Bytes stream = Frame(kReadMemory, MemoryRequest(20585, 6));
    const Bytes second = Frame(kUpdateDone, {});
    stream.insert(stream.end(), second.begin(), second.end());
    ASSERT_TRUE(client.Send(stream));
    const Bytes got = client.Read(full.size());
    EXPECT_TRUE(client.Closed());
    EXPECT_FALSE(client.Reset());
    ASSERT_GE(got.size(), 1u);
    ASSERT_LT(got.size(), full.size());
    EXPECT_EQ(got, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(got.size())));
}

TEST_F(SimTest, StallSendsHalfTheReplyThenNothingWhileTheConnectionStaysOpen) {
    m_sim->InjectFault(kReadStatus, Fault::Stall, 1);
    const Bytes full = Reply(kReadStatus, {124, 100, 0, 0, 0, 0, 0, 123});
    const std::size_t half = full.size() / 2;
    RawClient client(m_sim->Port());
    ASSERT_TRUE(client.Send(Frame(kReadStatus, {})));
    EXPECT_EQ(client.Read(half),
              Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(half)));
    // Nothing more, not even for a request sent afterwards, and no close.
    ASSERT_TRUE(client.Send(Frame(kUpdateDone, {})));
    EXPECT_TRUE(client.Read(1, kQuietMs).empty());
    EXPECT_FALSE(client.Closed());
    EXPECT_EQ(m_sim->Requests().size(), 1u);
    EXPECT_EQ(Ask(kIdentify), (Bytes{4, 3, 1, 5, 1, 0, 'Q', 'V'})) << "other connections";
}

TEST_F(SimTest, TrickleSendsASoundReplyOneByteAtATime) {
    m_sim->InjectFault(kReadMemory, Fault::Trickle, 1);
    const Bytes full = Reply(kReadMemory, {0x69, 0x50, 6, 0, 1, 2, 3, 4, 5, 6});
    RawClient client(m_sim->Port());
    ASSERT_TRUE(client.Send(Frame(kReadMemory, MemoryRequest(20585, 6))));
    std::size_t reads = 0;
    EXPECT_EQ(client.Read(full.size(), kWaitMs, &reads), full);
    // Seventeen bytes a pause apart cannot all be waiting at the first read.
    EXPECT_GT(reads, 1u);
    ASSERT_TRUE(client.Send(Frame(kUpdateDone, {})));
    EXPECT_EQ(client.ReadFrame(), Reply(kUpdateDone, {0}));
}

TEST_F(SimTest, ErrorStatusRefusesTheRequestWhileOtherFaultsOnlyLoseTheReply) {
    m_sim->InjectFault(kWriteMemory, Fault::ErrorStatus, 1);
    EXPECT_EQ(Ask(kWriteMemory, MemoryRequest(10, 1, {0x55})), Bytes{1});
    EXPECT_EQ(Memory(10, 1), Bytes{0});

    m_sim->InjectFault(kWriteMemory, Fault::CloseMidReply, 1);
    Raw(kWriteMemory, MemoryRequest(10, 1, {0x66}), 10);
    EXPECT_EQ(Memory(10, 1), Bytes{0x66});
}

TEST_F(SimTest, FirstInjectedMatchingFaultWinsUntilItsCountRunsOut) {
    const Bytes status = Reply(kReadStatus, {124, 100, 0, 0, 0, 0, 0, 123});
    const Bytes identity = Reply(kIdentify, {4, 3, 1, 5, 1, 0, 'Q', 'V'});
    auto endSpoilt = [](Bytes frame) {
        frame.back() = 0x0C;
        return frame;
    };
    auto checkSpoilt = [](Bytes frame) {
        frame[frame.size() - 2] ^= 1;
        return frame;
    };
    m_sim->InjectFault(kIdentify, Fault::WrongEnd, 1);
    m_sim->InjectFault(0xFF, Fault::WrongCheck, 2);
    EXPECT_EQ(Raw(kReadStatus, {}, status.size()), checkSpoilt(status));
    EXPECT_EQ(Raw(kIdentify, {}, identity.size()), endSpoilt(identity));
    EXPECT_EQ(Raw(kIdentify, {}, identity.size()), checkSpoilt(identity));
    EXPECT_EQ(Raw(kIdentify, {}, identity.size()), identity);

    // A wrong echo waits for a memory read and leaves other commands alone.
    m_sim->InjectFault(0xFF, Fault::WrongEcho, 1);
    EXPECT_EQ(Ask(kIdentify), (Bytes{4, 3, 1, 5, 1, 0, 'Q', 'V'}));
    EXPECT_EQ(Ask(kReadMemory, MemoryRequest(20591, 1)), (Bytes{0x6F, 0x50, 2, 0, 0}));
    EXPECT_EQ(Ask(kReadMemory, MemoryRequest(20591, 1)), (Bytes{0x6F, 0x50, 1, 0, 0}));

    m_sim->InjectFault(kReadStatus, Fault::WrongEnd);  // for good
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Raw(kReadStatus, {}, status.size()), endSpoilt(status));
    m_sim->ClearFaults();
    EXPECT_EQ(Raw(kReadStatus, {}, status.size()), status);
}

TEST_F(SimTest, RefusedConnectionsAreResetBeforeAnyRequest) {
    m_sim->RefuseConnections(2);
    for (int i = 0; i < 2; ++i) {
        RawClient client(m_sim->Port());
        client.Send(Frame(kIdentify, {}));  // may already fail against the reset
        EXPECT_TRUE(client.Read(1).empty());
        EXPECT_TRUE(client.Reset());
    }
    EXPECT_EQ(Ask(kIdentify), (Bytes{4, 3, 1, 5, 1, 0, 'Q', 'V'}));
    EXPECT_EQ(m_sim->ConnectionCount(), 3u);
    EXPECT_EQ(m_sim->Requests().size(), 1u);
}

TEST_F(SimTest, VerboseLogNamesEachRequestAndWhatBecameOfIt) {
    SimOptions options = TestOptions();
    options.verbose = true;
    StartWith(options);
    std::mutex mutex;
    std::vector<std::string> lines;
    m_sim->SetLogger([&](const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    });
    m_sim->InjectFault(kIdentify, Fault::NoReply, 1);

    RawClient client(m_sim->Port());
    Bytes stream = Frame(kReadMemory, MemoryRequest(20585, 6));
    for (const Bytes& more : {Frame(kLoadSetup, {9}), Frame(kIdentify, {}), Frame(0x42, {}),
                              Frame(kSetLevel, {0xF0, 3})}) {
        stream.insert(stream.end(), more.begin(), more.end());
    }
    ASSERT_TRUE(client.Send(stream));
    for (int i = 0; i < 4; ++i) EXPECT_GE(client.ReadFrame().size(), kFrameOverhead);

    std::lock_guard lock(mutex);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "#1 READ_MEMORY addr=20585 count=6 -> ok",
                         "#2 LOAD_SETUP setup=9 -> rejected",
                         "#3 IDENTIFY -> fault no-reply",
                         "#4 COMMAND 0x42 length=0 -> unknown command",
                         "#5 SET_LEVEL target=0xF0 value=3 -> ok",
                     }));
}

TEST(SimLifecycleTest, StartFailsWhenThePortIsTaken) {
    VirtualAmplifier first(TestOptions());
    ASSERT_TRUE(first.Start());
    SimOptions options = TestOptions();
    options.port = first.Port();
    VirtualAmplifier second(options);
    std::string error;
    EXPECT_FALSE(second.Start(&error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

TEST(SimLifecycleTest, StopClosesConnectionsAndTheSimCanStartAgain) {
    VirtualAmplifier sim(TestOptions());
    ASSERT_TRUE(sim.Start());
    const std::uint8_t mark = 0x5A;
    sim.WriteMemory(1, &mark, 1);
    RawClient client(sim.Port());
    ASSERT_TRUE(client.Connected());
    sim.Stop();
    EXPECT_TRUE(client.Read(1).empty());
    EXPECT_TRUE(client.Closed());

    ASSERT_TRUE(sim.Start());
    RawClient again(sim.Port());
    ASSERT_TRUE(again.Send(Frame(kReadMemory, MemoryRequest(1, 1))));
    EXPECT_EQ(again.ReadFrame(), Reply(kReadMemory, {1, 0, 1, 0, 0x5A}));
}

TEST(SimLifecycleTest, RunServesOnTheCallingThreadUntilStopped) {
    VirtualAmplifier sim(TestOptions());
    auto served = std::async(std::launch::async, [&] { return sim.Run(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (sim.Port() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    RawClient client(sim.Port());
    ASSERT_TRUE(client.Send(Frame(kUpdateDone, {})));
    EXPECT_EQ(client.ReadFrame(), Reply(kUpdateDone, {0}));
    sim.Stop();
    ASSERT_EQ(served.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    EXPECT_TRUE(served.get());
}

TEST(SimLifecycleTest, AStopRequestedBeforeRunEndsItAtOnce) {
    VirtualAmplifier sim(TestOptions());
    sim.RequestStop();  // a signal arriving while the program starts up
    auto served = std::async(std::launch::async, [&] { return sim.Run(); });
    if (served.wait_for(std::chrono::milliseconds(kWaitMs)) != std::future_status::ready) {
        sim.Stop();
        FAIL() << "Run ignored the earlier stop request";
    }
    EXPECT_TRUE(served.get());
}

}  // namespace
}  // namespace vantrel::sim
