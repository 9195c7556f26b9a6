#include "link/CDSPSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "sim/VirtualAmplifier.h"
#include "support/FakeClock.h"
#include "support/Hex.h"
#include "support/ScriptedPeer.h"

namespace vantrel {
namespace {

using sim::Fault;
using sim::VirtualAmplifier;
using test::Bytes;
using test::Hex;

// A free loopback port: bound once by a server that is stopped again.
std::uint16_t UnusedPort() {
    sim::SimOptions options;
    options.port = 0;
    VirtualAmplifier probe(options);
    EXPECT_TRUE(probe.Start());
    return probe.Port();
}

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
        {Fault::StrayBytes, true},     {Fault::WrongCheck, false},  {Fault::WrongEnd, false},
        {Fault::NoReply, false},       {Fault::CloseMidReply, false}, {Fault::ZeroLength, false},
        {Fault::ErrorStatus, false},
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
                        Fault::ZeroLength, Fault::WrongCheck}) {
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

TEST(LinkConnect, NoListenerMeansFiveAttemptsWithPausesAndNothingSent) {
    test::FakeClock clock;
    CDSPSocket socket(clock);
    socket.SetAdaptor("127.0.0.1", UnusedPort());
    std::uint8_t id[8] = {};
    EXPECT_FALSE(socket.Identify(id));
    EXPECT_EQ(clock.Sleeps(), (std::vector<std::int64_t>{100, 100, 100, 100, 100}));
    EXPECT_EQ(socket.TransmitBuffer()[0], 0) << "no frame was built";
    EXPECT_FALSE(socket.IsConnected());
}

TEST(LinkConnect, AnAdaptorThatComesUpDuringTheAttemptsIsReached) {
    const std::uint16_t port = UnusedPort();
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

TEST(LinkCancel, CancelFromAnotherThreadEndsABlockedReceive) {
    sim::SimOptions options;
    options.port = 0;
    VirtualAmplifier amp(options);
    ASSERT_TRUE(amp.Start());
    amp.InjectFault(0xFF, Fault::NoReply);
    CDSPSocket socket;  // real clock: the time-out alone would take ten seconds
    socket.SetAdaptor("127.0.0.1", amp.Port());
    std::thread canceller([&] {
        while (amp.Requests().empty()) std::this_thread::yield();
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
