#include "link/CDSPSocket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "sim/VirtualAmplifier.h"
#include "support/FakeClock.h"
#include "support/Hex.h"
#include "support/ReservedPort.h"
#include "support/ScriptedPeer.h"

namespace vantrel {
namespace {

using sim::Fault;
using sim::VirtualAmplifier;
using test::Bytes;
using test::Hex;

constexpr auto kRealDeadline = std::chrono::seconds(5);  // for anything loopback does at once

// Waits for `done` without a busy loop; false when the deadline passes first.
bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kRealDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A loopback listener that never accepts, with room for one waiting connection which it takes
// itself. The kernel drops the SYN of every further connect, so that connect is never answered.
class FullListener {
public:
    FullListener() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t size = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listen, 0) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
        m_queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_queued, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
        // The queue is full once the listener holds the connection, which may come after the
        // connect returned.
        pollfd ready{m_listen, POLLIN, 0};
        m_full = ::poll(&ready, 1, 5000) == 1;
    }
    ~FullListener() {
        if (m_queued >= 0) ::close(m_queued);
        if (m_listen >= 0) ::close(m_listen);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    bool Full() const { return m_full; }
    std::uint16_t Port() const { return m_port; }

private:
    int m_listen = -1;
    int m_queued = -1;
    std::uint16_t m_port = 0;
    bool m_full = false;
};

class LinkTest : public ::testing::Test {
protected:
    LinkTest() : clock(1000), socket(clock) {
        sim::SimOptions options;
        options.port = 0;
        amp = std::make_unique<VirtualAmplifier>(options);
        EXPECT_TRUE(amp->Start());
        socket.SetAdaptor("127.0.0.1", amp->Port());
        socket.SetPollIntervalMs(5);
    }

    // Every reading of this clock moves it on by a second, so a wait for a time-out ends after a
    // few turns of the poll loop instead of real seconds.
    test::FakeClock clock;
    std::unique_ptr<VirtualAmplifier> amp;
    CDSPSocket socket;
};

TEST_F(LinkTest, ReadMemorySendsTheKnownFrameAndReturnsTheBytes) {
    std::uint8_t out[6] = {};
    ASSERT_TRUE(socket.ReadMemory(20585, 6, out, 20000));
    EXPECT_EQ(Hex(socket.TransmitBuffer(), 11), "75 CA 06 04 00 69 50 06 00 82 0B");
    EXPECT_EQ(Hex(out, 6), "01 02 03 04 05 06");
}

TEST_F(LinkTest, EveryCommandSucceedsAgainstTheAmplifier) {
    std::uint8_t id[8];
    ASSERT_TRUE(socket.Identify(id));
    EXPECT_EQ(Hex(id, 8), "04 03 01 05 01 00 51 56");
    std::uint8_t status[8];
    ASSERT_TRUE(socket.ReadStatus(status));
    EXPECT_EQ(Hex(status, 8), "7C 64 00 00 00 00 00 7B");

    const auto block = Bytes("AA BB CC DD 11 22 33 44");
    EXPECT_NE(socket.WriteMemory(0x4000, block.data(), 8, 20000), 0);
    EXPECT_EQ(Hex(amp->ReadMemory(0x4000, 8)), "AA BB CC DD 11 22 33 44");

    EXPECT_TRUE(socket.LoadSetup(2, 5000));
    EXPECT_EQ(amp->ReadMemory(20591, 1)[0], 2);
    EXPECT_TRUE(socket.SetLevel(kNoiseKillerTarget, 0xFF));
    EXPECT_EQ(amp->ReadMemory(20584, 1)[0], 0xFF);
    EXPECT_TRUE(socket.SetLevel(3, 12));
    EXPECT_EQ(amp->Levels()[3], 12);
    EXPECT_TRUE(socket.UpdateDone());
    const auto firmware = Bytes("01 02 03 04 05");
    EXPECT_TRUE(socket.WriteFirmware(firmware.data(), 5));
    EXPECT_EQ(amp->DspFirmware(), firmware);

    // A parameter pair addressed by the control word of setup 1, pair 372 (output gain of
    // channel 0) lands in that pair's value word.
    const std::uint32_t word = sim::VirtualControlWord(1, 372);
    const std::uint8_t pair[8] = {static_cast<std::uint8_t>(word >> 24),
                                  static_cast<std::uint8_t>(word >> 16),
                                  static_cast<std::uint8_t>(word >> 8),
                                  static_cast<std::uint8_t>(word),
                                  0x12, 0x34, 0x56, 0x78};
    EXPECT_TRUE(socket.WriteParams(pair, 8));
    const std::uint32_t at = sim::kParamImageAddress + sim::kSetupImageOffset +
                             sim::kSetupImageSize + 372 * 8 + 4;
    EXPECT_EQ(Hex(amp->ReadMemory(at, 4)), "12 34 56 78");
}

TEST_F(LinkTest, EachTransactionRunsOnItsOwnConnection) {
    std::uint8_t id[8];
    ASSERT_TRUE(socket.Identify(id));
    ASSERT_TRUE(socket.Identify(id));
    ASSERT_TRUE(socket.SetLevel(0, 1));
    EXPECT_EQ(amp->ConnectionCount(), 3u);
    EXPECT_TRUE(clock.Sleeps().empty());  // no connect pause on the way
}

// What each injected fault does to a transaction.
TEST_F(LinkTest, InjectedFaultsFailTheTransaction) {
    struct Case {
        Fault fault;
        bool setLevelSucceeds;
    } cases[] = {
        {Fault::StrayBytes, true},   {Fault::WrongCheck, false},    {Fault::WrongEnd, false},
        {Fault::NoReply, false},     {Fault::CloseMidReply, false}, {Fault::ZeroLength, false},
        {Fault::ErrorStatus, false}, {Fault::Stall, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(sim::FaultName(c.fault));
        amp->InjectFault(CMD_SET_LEVEL, c.fault, 1);
        const std::int64_t start = clock.Peek();
        EXPECT_EQ(socket.SetLevel(1, 4), c.setLevelSucceeds);
        // Every failure ends by the command's time-out (plus a few turns of the clock).
        EXPECT_LE(clock.Peek() - start, kSetLevelTimeoutMs + 10000);
        EXPECT_TRUE(socket.SetLevel(1, 4)) << "the next transaction is not affected";
    }
}

TEST_F(LinkTest, IdentifyAnsweredByAnErrorStatusReplacesOnlyByteZero) {
    amp->InjectFault(CMD_IDENTIFY, Fault::ErrorStatus, 1);
    std::uint8_t id[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(socket.Identify(id));
    EXPECT_EQ(Hex(id, 8), "01 09 09 09 09 09 09 09");
    EXPECT_EQ(socket.LastReplyLength(), 1);
}

TEST_F(LinkTest, MemoryReadFailuresLeaveTheCallersBufferUntouched) {
    for (Fault fault : {Fault::WrongEcho, Fault::ErrorStatus, Fault::CloseMidReply, Fault::NoReply,
                        Fault::ZeroLength, Fault::WrongCheck, Fault::Stall}) {
        SCOPED_TRACE(sim::FaultName(fault));
        amp->InjectFault(CMD_READ_MEMORY, fault, 1);
        std::uint8_t out[6] = {0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB};
        const std::int64_t start = clock.Peek();
        EXPECT_FALSE(socket.ReadMemory(20585, 6, out, 20000));
        EXPECT_EQ(Hex(out, 6), "AB AB AB AB AB AB");
        if (fault == Fault::ErrorStatus) {
            EXPECT_LT(clock.Peek() - start, 10000) << "an error reply ends the wait at once";
        }
    }
}

// A reply that stops half-way on an open connection holds the link until the command's time-out
// and no longer, and the connection the amplifier keeps open does not hold up the next one.
TEST_F(LinkTest, AReplyThatStallsHalfWayFailsAtTheTimeOut) {
    std::uint8_t status[8] = {};
    std::uint8_t out[6] = {};
    const struct Case {
        const char* name;
        std::uint8_t command;
        std::int64_t timeoutMs;
        std::function<bool()> run;
    } cases[] = {
        {"status", CMD_READ_STATUS, kReadStatusTimeoutMs,
         [&] { return socket.ReadStatus(status); }},
        {"memory read", CMD_READ_MEMORY, 20000,
         [&] { return socket.ReadMemory(20585, 6, out, 20000); }},
        {"level", CMD_SET_LEVEL, kSetLevelTimeoutMs, [&] { return socket.SetLevel(1, 4); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        amp->InjectFault(c.command, Fault::Stall, 1);
        const std::int64_t start = clock.Peek();
        EXPECT_FALSE(c.run());
        const std::int64_t elapsed = clock.Peek() - start;
        EXPECT_GT(elapsed, c.timeoutMs) << "gave up before the time-out";
        EXPECT_LE(elapsed, c.timeoutMs + 5000) << "a few turns of the clock at most";
        EXPECT_TRUE(c.run()) << "the next transaction";
    }
    EXPECT_EQ(Hex(out, 6), "01 02 03 04 05 06");
}

TEST(LinkConnect, NoListenerMeansFiveAttemptsWithPausesAndNothingSent) {
    const test::ReservedPort unused;
    ASSERT_NE(unused.Port(), 0);
    test::FakeClock clock;
    CDSPSocket socket(clock);
    socket.SetAdaptor("127.0.0.1", unused.Port());
    std::uint8_t id[8] = {};
    EXPECT_FALSE(socket.Identify(id));
    EXPECT_EQ(clock.Sleeps(), (std::vector<std::int64_t>{100, 100, 100, 100, 100}));
    EXPECT_EQ(socket.TransmitBuffer()[0], 0) << "no frame was built";
    EXPECT_FALSE(socket.IsConnected());
}

TEST(LinkConnect, AnAdaptorThatComesUpDuringTheAttemptsIsReached) {
    const test::ReservedPort unused;  // the sim may take it over: it binds with SO_REUSEADDR
    ASSERT_NE(unused.Port(), 0);
    const std::uint16_t port = unused.Port();
    sim::SimOptions options;
    options.port = port;
    VirtualAmplifier amp(options);
    test::FakeClock clock;
    clock.onSleep = [&](std::size_t pauses) {
        if (pauses == 2) {
            ASSERT_TRUE(amp.Start());
        }
    };
    CDSPSocket socket(clock);
    socket.SetAdaptor("localhost", port);  // a host name, resolved
    std::uint8_t id[8] = {};
    EXPECT_TRUE(socket.Identify(id));
    EXPECT_EQ(clock.Sleeps().size(), 2u);
}

// A connect that is never answered gives up at the attempt limit of the link's clock, five times,
// and the next transaction connects as usual.
TEST(LinkConnect, AConnectNeverAnsweredGivesUpAtEachAttemptsLimit) {
    const FullListener silent;
    ASSERT_TRUE(silent.Full());
    sim::SimOptions options;
    options.port = 0;
    VirtualAmplifier amp(options);
    ASSERT_TRUE(amp.Start());
    test::FakeClock clock(1000);  // the 20 s limit passes in a few turns of the poll loop
    CDSPSocket socket(clock);
    socket.SetPollIntervalMs(5);
    socket.SetAdaptor("127.0.0.1", silent.Port());

    const std::int64_t start = clock.Peek();
    std::uint8_t id[8] = {};
    EXPECT_FALSE(socket.Identify(id));
    const std::int64_t elapsed = clock.Peek() - start;
    const std::int64_t pauses = kConnectAttempts * kConnectPauseMs;
    EXPECT_GT(elapsed, kConnectAttempts * kConnectAttemptLimitMs + pauses);
    EXPECT_LE(elapsed, kConnectAttempts * (kConnectAttemptLimitMs + 3000) + pauses);
    EXPECT_EQ(clock.Sleeps().size(), std::size_t{kConnectAttempts});
    EXPECT_FALSE(socket.IsConnected());
    EXPECT_EQ(socket.TransmitBuffer()[0], 0) << "no frame was built";

    socket.SetAdaptor("127.0.0.1", amp.Port());
    EXPECT_TRUE(socket.Identify(id));
    EXPECT_EQ(Hex(id, 8), "04 03 01 05 01 00 51 56");
}

TEST(LinkConnect, UnresolvableOrEmptyAddressFails) {
    test::FakeClock clock;
    CDSPSocket socket(clock);
    std::uint8_t id[8];
    for (const char* address : {"", "no-such-host.invalid", "300.1.2.3"}) {
        socket.SetAdaptor(address, 58000);
        EXPECT_FALSE(socket.Identify(id)) << address;
    }
}

TEST(LinkReplies, ByteLevelRepliesFromAScriptedPeer) {
    using Chunks = test::ScriptedPeer::Chunks;
    test::ScriptedPeer peer({
        // Memory write accepted with status 0 but value 0: a failure.
        Chunks{Bytes("75 CA 85 03 00 00 00 00 39 0B")},
        // Status reply behind three stray bytes, the header split across segments.
        Chunks{Bytes("00 75 13 75 CA"), Bytes("84 08"),
               Bytes("00 7C 64 00 00 00 00 00 7B 50 0B")},
        // A zero-length header ends the reception even though a good frame follows.
        Chunks{Bytes("75 CA 88 00 00 37 0B 75 CA 88 01 00 00 36 0B")},
    });
    // The peer answers in real time, chunk by chunk: the clock must not run out meanwhile.
    test::FakeClock clock(1);
    CDSPSocket socket(clock);
    socket.SetAdaptor("127.0.0.1", peer.Port());

    const std::uint8_t data[2] = {1, 2};
    EXPECT_EQ(socket.WriteMemory(20584, data, 2, 20000), 0);
    std::uint8_t status[8] = {};
    EXPECT_TRUE(socket.ReadStatus(status));
    EXPECT_EQ(Hex(status, 8), "7C 64 00 00 00 00 00 7B");
    EXPECT_FALSE(socket.SetLevel(0, 1));

    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(Hex(requests[0]), "75 CA 05 06 00 68 50 02 00 01 02 85 0B");
    EXPECT_EQ(Hex(requests[1]), "75 CA 04 00 00 BB 0B");
}

// The socket of this process whose local port is `port`.
int OwnSocketOnPort(std::uint16_t port) {
    for (int fd = 0; fd < 4096; ++fd) {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port) {
            return fd;
        }
    }
    return -1;
}

// A peer that reset the connection before the request went out: the send fails at once instead
// of waiting for the time-out, and the next transaction connects afresh.
TEST(LinkSend, ASendToAPeerThatResetTheConnectionFailsAtOnce) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    test::FakeClock clock(1000);
    CDSPSocket socket(clock);
    socket.SetPollIntervalMs(5);
    socket.SetAdaptor("127.0.0.1", ntohs(address.sin_port));
    ASSERT_TRUE(socket.ConnectAdaptor());

    pollfd pending{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&pending, 1, 5000), 1);
    sockaddr_in link{};
    size = sizeof link;
    const int accepted = ::accept(listener, reinterpret_cast<sockaddr*>(&link), &size);
    ::close(listener);
    ASSERT_GE(accepted, 0);
    const linger reset{1, 0};
    ::setsockopt(accepted, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(accepted);
    // The link's end has taken the reset once it reports a hang-up.
    const int linkEnd = OwnSocketOnPort(ntohs(link.sin_port));
    ASSERT_GE(linkEnd, 0);
    pollfd hangUp{linkEnd, 0, 0};
    ASSERT_EQ(::poll(&hangUp, 1, 5000), 1);

    const std::int64_t start = clock.Peek();
    const std::uint8_t level[2] = {1, 4};
    EXPECT_FALSE(socket.SendFrame(CMD_SET_LEVEL, level, 2));
    EXPECT_LT(clock.Peek() - start, kSetLevelTimeoutMs);

    sim::SimOptions options;
    options.port = 0;
    VirtualAmplifier amp(options);
    ASSERT_TRUE(amp.Start());
    socket.SetAdaptor("127.0.0.1", amp.Port());
    EXPECT_TRUE(socket.SetLevel(1, 4));
    EXPECT_EQ(amp.Levels()[1], 4);
}

// Replies that come a byte at a time, each byte in a TCP segment of its own, are put together.
TEST(LinkReplies, RepliesTrickledByteByByteAreAssembled) {
    sim::SimOptions options;
    options.port = 0;
    VirtualAmplifier amp(options);
    ASSERT_TRUE(amp.Start());
    amp.InjectFault(0xFF, Fault::Trickle);
    test::FakeClock clock(1);  // the bytes come in real time: the time-out must not run out
    CDSPSocket socket(clock);
    socket.SetPollIntervalMs(5);
    socket.SetAdaptor("127.0.0.1", amp.Port());

    std::uint8_t id[8] = {};
    ASSERT_TRUE(socket.Identify(id));
    EXPECT_EQ(Hex(id, 8), "04 03 01 05 01 00 51 56");
    std::uint8_t out[6] = {};
    ASSERT_TRUE(socket.ReadMemory(20585, 6, out, 20000));
    EXPECT_EQ(Hex(out, 6), "01 02 03 04 05 06");
    EXPECT_TRUE(socket.SetLevel(2, 7));
    EXPECT_EQ(amp.Levels()[2], 7);
}

TEST(LinkCancel, CancelFromAnotherThreadEndsABlockedReceive) {
    sim::SimOptions options;
    options.port = 0;
    VirtualAmplifier amp(options);
    ASSERT_TRUE(amp.Start());
    amp.InjectFault(0xFF, Fault::NoReply);
    CDSPSocket socket;  // real clock: the time-out alone would take ten seconds
    socket.SetAdaptor("127.0.0.1", amp.Port());
    std::thread canceller([&] {
        EXPECT_TRUE(WaitUntil([&] { return !amp.Requests().empty(); }));
        socket.Cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    std::uint8_t id[8];
    EXPECT_FALSE(socket.Identify(id));
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace vantrel
