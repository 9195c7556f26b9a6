#include "link/CDspCtlThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "sim/VirtualAmplifier.h"
#include "support/FakeClock.h"
#include "support/Hex.h"
#include "support/TemplateFolder.h"

namespace vantrel {
namespace {

using test::Hex;

class RecordingSink : public WorkerSink {
public:
    void PostToWindow(WindowMessage message) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(std::move(message));
    }
    std::vector<std::string> Texts() {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> texts;
        for (const auto& m : m_messages) {
            if (m.message == UM_RESULT_TEXT) texts.push_back(m.text);
        }
        return texts;
    }
    std::vector<WindowMessage> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    std::mutex m_mutex;
    std::vector<WindowMessage> m_messages;
};

class NoQuestions : public WorkerQuestions {
public:
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::uint8_t> SelectDevice(const DeviceCatalogue&, std::uint16_t) override {
        return std::nullopt;
    }
};

void PutPair(DeviceImage& image, std::size_t offset, std::uint32_t control, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        image[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(control >> (24 - 8 * i));
        image[offset + 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

// The worker driven by hand on a fake clock against the virtual amplifier.
class PacingTest : public ::testing::Test {
protected:
    PacingTest() : worker(sink, questions, clock, folder) {
        test::WriteTemplate(folder, "E2", test::TemplateMemory(3));
        sim::SimOptions options;
        options.port = 0;
        amp = std::make_unique<sim::VirtualAmplifier>(options);
        EXPECT_TRUE(amp->Start());
        worker.SetAdaptor("127.0.0.1", amp->Port());
    }
    ~PacingTest() override {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Moves the clock on in steps, handling what falls due on the way.
    void Run(std::int64_t ms) {
        for (std::int64_t t = 0; t < ms; t += 10) {
            clock.Advance(10);
            worker.ProcessPending();
        }
    }
    void Write(std::size_t offset, std::uint32_t control, std::uint32_t value) {
        std::lock_guard lock(worker.State().mutex);
        PutPair(worker.State().current, offset, control, value);
    }
    std::vector<sim::VirtualAmplifier::Request> Sent(std::uint8_t command) {
        std::vector<sim::VirtualAmplifier::Request> out;
        for (auto& r : amp->Requests()) {
            if (r.command == command) out.push_back(r);
        }
        return out;
    }

    test::FakeClock clock;
    RecordingSink sink;
    NoQuestions questions;
    std::filesystem::path folder = test::MakeDataFolder(
        "[BaseInfo]\nDeviceNumber=1\n[Model1]\nPartNo=4\nName=Four\nChannle=4\nType=ClassD\n");
    std::unique_ptr<sim::VirtualAmplifier> amp;
    CDspCtlThread worker;
};

constexpr std::size_t kGainPair = kSetupImagesOffset + 2976;  // setup 1, channel 1 output gain

TEST_F(PacingTest, ABurstOfPostsSendsTheLatestBytesOnceAfterItRests) {
    const std::uint32_t word = sim::VirtualControlWord(0, 372);
    for (std::uint32_t i = 0; i < 10; ++i) {
        Write(kGainPair, word, 0x100 + i);
        worker.Post(TM_SET_PARAMS_2, kGainPair, 8);
        Run(100);
    }
    EXPECT_TRUE(Sent(CMD_WRITE_PARAMS).empty());
    Write(kGainPair, word, 0xABCD);  // an edit after the last post is what goes out
    Run(390);
    EXPECT_TRUE(Sent(CMD_WRITE_PARAMS).empty());
    Run(20);
    const auto sent = Sent(CMD_WRITE_PARAMS);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Hex(sent[0].payload), "56 00 01 74 00 00 AB CD");
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"56000174 Set OK."}));
    const auto messages = sink.Messages();
    EXPECT_EQ(messages.front().message, UM_BUSY);
    EXPECT_EQ(messages.back().lParam, 1);
    EXPECT_FALSE(worker.IsBusy());
}

TEST_F(PacingTest, SlotsAreIndependentAndResultTextsAreExact) {
    Write(kGainPair, sim::VirtualControlWord(0, 300), 1);
    Write(kGainPair + 8, 0x0000012C, 2);  // a control word the amplifier does not know
    worker.Post(TM_SET_PARAMS_0, kGainPair, 8);
    worker.Post(TM_SET_PARAMS_1, kGainPair + 8, 8);
    worker.Post(TM_SET_LEVEL_0 + 4, 2, 9);
    worker.Post(TM_SET_PARAMS_5, kDeviceImageSize - 4, 8);  // runs past the image: never sent
    Run(600);
    EXPECT_EQ(Sent(CMD_WRITE_PARAMS).size(), 2u);
    // Timers due together fire in the order they were started.
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"5600012c Set OK.", "0000012c Set fail!",
                                                      "CH3 Set channel level OK.",
                                                      "00000000 Set fail!"}));
    EXPECT_EQ(amp->Levels()[2], 9);
}

TEST_F(PacingTest, SetupLoadsCollapseWithoutTouchingALevelSlot) {
    worker.Post(TM_SET_LEVEL_0, 0, 5);
    worker.Post(TM_LOAD_SETUP, 1);
    Run(200);
    worker.Post(TM_LOAD_SETUP, 3);
    Run(700);
    const auto loads = Sent(CMD_LOAD_SETUP);
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(Hex(loads[0].payload), "03");
    EXPECT_EQ(Sent(CMD_SET_LEVEL).size(), 1u);
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{"CH1 Set channel level OK.", "Load setup OK."}));
}

TEST_F(PacingTest, NoiseKillerIsSentAtOnceAndFailuresAreReported) {
    worker.Post(TM_SET_NOISE_KILLER, 0, 0);
    worker.ProcessPending();
    EXPECT_EQ(amp->ReadMemory(sim::kNoiseKillerAddress, 1)[0], 0);
    amp->InjectFault(CMD_SET_LEVEL, sim::Fault::ErrorStatus, 1);
    worker.Post(TM_SET_NOISE_KILLER, 0, 255);
    worker.ProcessPending();
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{"Set Noise Killer OK.", "Set Noise Killer fail!"}));
}

TEST_F(PacingTest, StatusIsPolledWhileConnectedAndStopsWhenTheLinkDrops) {
    // Lines 1.5 and 2.0, DSP 1.0: the virtual amplifier needs no update.
    worker.PostConnect({4, 0, 1, 5, 1, 0, 'Q', 'V', 2, 0}, 1);
    worker.ProcessPending();
    ASSERT_TRUE(worker.IsConnected());
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"Loading setup data, please wait...",
                                                      "Get setup data OK."}));
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.back().message, UM_STATUS);
    EXPECT_EQ(FormatVoltage(messages.back().status), "12.4 V");
    EXPECT_EQ(Sent(CMD_READ_STATUS).size(), 1u);

    Run(60000);
    EXPECT_EQ(Sent(CMD_READ_STATUS).size(), 2u);
    worker.SetConnected(false);
    Run(120000);
    EXPECT_EQ(Sent(CMD_READ_STATUS).size(), 2u) << "polling ends with the link";
    EXPECT_FALSE(worker.NextTimerIn());
}

// Posts are kept by what they carry, not by the slot they came on: reusing a slot for other words
// or another channel loses nothing, and a range posted twice still goes out once.
TEST_F(PacingTest, EditsReusingASlotAreAllSentOnce) {
    Write(kGainPair, sim::VirtualControlWord(0, 372), 1);
    Write(kGainPair + 8, sim::VirtualControlWord(0, 373), 2);
    worker.Post(TM_SET_PARAMS_0, kGainPair, 8);
    worker.Post(TM_SET_PARAMS_0, kGainPair + 8, 8);
    worker.Post(TM_SET_PARAMS_3, kGainPair, 8);
    worker.Post(TM_SET_LEVEL_0, 0, 4);
    worker.Post(TM_SET_LEVEL_0, 2, 6);
    worker.Post(TM_SET_LEVEL_1, 0, 5);
    EXPECT_EQ(worker.PendingEdits(), 6u);
    Run(600);
    const auto writes = Sent(CMD_WRITE_PARAMS);
    ASSERT_EQ(writes.size(), 2u);
    // The first range's burst went on with its second post, so it rests last.
    EXPECT_EQ(Hex(writes[0].payload), "56 00 01 75 00 00 00 02");
    EXPECT_EQ(Hex(writes[1].payload), "56 00 01 74 00 00 00 01");
    EXPECT_EQ(Sent(CMD_SET_LEVEL).size(), 2u);
    EXPECT_EQ(amp->Levels()[0], 5);
    EXPECT_EQ(amp->Levels()[2], 6);
    EXPECT_EQ(worker.PendingEdits(), 0u);
}

// A frame lost on the way is sent again until it arrives (a few times at most); a write the
// amplifier refuses is not.
TEST_F(PacingTest, LostFramesAreSentAgainRefusedOnesAreNot) {
    const std::uint32_t word = sim::VirtualControlWord(0, 372);
    Write(kGainPair, word, 0x1234);
    amp->InjectFault(CMD_WRITE_PARAMS, sim::Fault::CloseMidReply, 2);
    amp->InjectFault(CMD_SET_LEVEL, sim::Fault::CloseMidReply, 4);
    worker.Post(TM_SET_PARAMS_0, kGainPair, 8);
    worker.Post(TM_SET_LEVEL_0, 1, 9);
    Run(10 * CDspCtlThread::kPacingMs);
    ASSERT_EQ(Sent(CMD_WRITE_PARAMS).size(), 3u);
    EXPECT_EQ(Hex(amp->ReadMemory(sim::kParamImageAddress + kGainPair + 4, 4)), "00 00 12 34");
    EXPECT_EQ(Sent(CMD_SET_LEVEL).size(), 1u + CDspCtlThread::kSendRetries) << "gives up";
    EXPECT_EQ(worker.PendingEdits(), 0u);

    amp->ClearFaults();
    amp->InjectFault(CMD_WRITE_PARAMS, sim::Fault::ErrorStatus, 1);
    worker.Post(TM_SET_PARAMS_0, kGainPair, 8);
    Run(3 * CDspCtlThread::kPacingMs);
    EXPECT_EQ(Sent(CMD_WRITE_PARAMS).size(), 4u);
    EXPECT_EQ(sink.Texts().back(), "56000174 Set fail!");
}

// Each store is answered by its own number; edits posted before it go out first.
TEST_F(PacingTest, StoresAreAnsweredByNumberAfterThePendingEdits) {
    worker.PostConnect({4, 0, 1, 5, 1, 0, 'Q', 'V', 2, 0}, 1);
    worker.ProcessPending();
    ASSERT_TRUE(worker.IsConnected());
    const std::size_t before = amp->Requests().size();
    worker.Post(TM_SET_LEVEL_0, 1, 7);
    SetupArray setups{};
    const std::uint32_t first = worker.PostSaveSetups(setups, 2);
    worker.ProcessPending();
    const std::uint32_t second = worker.PostSaveSetups(setups, 1);
    EXPECT_NE(first, second);
    amp->InjectFault(CMD_WRITE_MEMORY, sim::Fault::ErrorStatus, 1);
    worker.ProcessPending();

    std::vector<std::pair<std::intptr_t, bool>> answers;
    for (const auto& m : sink.Messages()) {
        if (m.message == UM_STORE_FINISHED) answers.emplace_back(m.lParam, m.success);
    }
    EXPECT_EQ(answers, (std::vector<std::pair<std::intptr_t, bool>>{{first, true}, {second, false}}));
    const auto requests = amp->Requests();
    EXPECT_EQ(requests[before].command, CMD_SET_LEVEL) << "the level before the store";
}

// The whole-configuration requests are queued like the rest and handled in order of posting; an
// update offer declined sends nothing.
TEST_F(PacingTest, WholeConfigurationRequestsRunInTheirOrder) {
    worker.PostConnect({4, 0, 1, 5, 1, 0, 'Q', 'V', 2, 0}, 1);
    worker.Post(TM_GET_SETUPS);
    SetupArray setups{};
    worker.PostSaveSetups(setups, 3);
    worker.PostUpdateFirmware({4, 0, 1, 5, 1, 0, 'Q', 'V', 2, 0});
    worker.ProcessPending();
    std::vector<std::string> seen;
    for (const auto& m : sink.Messages()) {
        if (m.message == UM_SETUPS_LOADED) seen.push_back("loaded");
        if (m.message == UM_STORE_FINISHED) seen.push_back(m.success ? "stored" : "not stored");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"loaded", "loaded", "stored"}));
    EXPECT_EQ(sink.Texts().back(), "Save setup data OK.");
    EXPECT_EQ(amp->ReadMemory(sim::kActiveSetupAddress, 1)[0], 3);
    EXPECT_TRUE(Sent(CMD_WRITE_FIRMWARE).empty());
}

TEST(WorkerThread, StopCancelsATransactionInsteadOfWaitingForIt) {
    sim::SimOptions options;
    options.port = 0;
    sim::VirtualAmplifier amp(options);
    ASSERT_TRUE(amp.Start());
    amp.InjectFault(0xFF, sim::Fault::NoReply);
    RecordingSink sink;
    NoQuestions questions;
    CDspCtlThread worker(sink, questions);  // real clock: the time-out alone is 5 s
    worker.SetAdaptor("127.0.0.1", amp.Port());
    worker.Start();
    worker.Post(TM_SET_NOISE_KILLER, 0, 255);
    // A worker that never sends fails here, not at ctest's time-out.
    const auto sendDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (amp.Requests().empty() && std::chrono::steady_clock::now() < sendDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(amp.Requests().empty()) << "no request reached the amplifier within 5 s";
    const auto start = std::chrono::steady_clock::now();
    worker.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"Set Noise Killer fail!"}));
}

}  // namespace
}  // namespace vantrel
