#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <numeric>

#include "link/DeviceProcedures.h"
#include "link/FirmwareFiles.h"
#include "sim/VirtualAmplifier.h"
#include "sim/VirtualTemplate.h"
#include "support/FakeClock.h"
#include "support/Hex.h"
#include "support/ScriptedPeer.h"
#include "support/TemplateFolder.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using sim::Fault;
using sim::VirtualAmplifier;
using test::Hex;

constexpr const char* kLoading = "Loading setup data, please wait...";
constexpr const char* kCommFail = "Communication fail, please retry.";
constexpr const char* kGetOk = "Get setup data OK.";
constexpr const char* kGetFail = "Get setup data fail!";
constexpr const char* kSaveOk = "Save setup data OK.";
constexpr const char* kSaveFail = "Save setup data fail!";
constexpr const char* kUpdating = "Updating in progress, please wait...";
constexpr const char* kUpdateOk = "Firmare update success!";
constexpr const char* kUpdateFail = "Update fail!";
constexpr const char* kOfferLink =
    "Adaptor link to amplifier fail, Please check connection between amplifier and adaptor. Or "
    "try updating amplifier firmware to fix.\n Press Yes to update firmware.";
constexpr const char* kOfferNew = "New firmware available, Update?\n Note: All setup will lost!";

// Entry 0 has model code 1, entry 1 code 3 (the virtual amplifier's), entry 2 is a bass model
// with code 11.
constexpr const char* kCatalogue =
    "[BaseInfo]\nDeviceNumber=3\n"
    "[Model1]\nPartNo=2\nName=Two\nChannle=2\nType=ClassD\nPower=100\n"
    "[Model2]\nPartNo=4\nName=Four\nChannle=4\nType=ClassAB\nPower=60\n"
    "[Model3]\nPartNo=12\nName=Bass\nChannle=1\nType=ClassD Bass\nPower=500\n";

// Lines 1.5 and 2.0, DSP 1.0: the virtual amplifier (4, 3, 1.5, 1.0, "QV") needs no update.
constexpr VersionRecord kVersion = {4, 0, 1, 5, 1, 0, 'Q', 'V', 2, 0};

class RecordingSink final : public WorkerSink {
public:
    void PostToWindow(WindowMessage message) override {
        if (onPost) onPost(message);
        std::lock_guard lock(m_mutex);
        m_messages.push_back(std::move(message));
    }
    // Runs on the worker's side as each message is posted.
    std::function<void(const WindowMessage&)> onPost;
    // Message numbers, with each text in place of UM_RESULT_TEXT.
    std::vector<std::string> Log() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> out;
        for (const auto& m : m_messages) {
            if (m.message == UM_RESULT_TEXT) {
                out.push_back(
                    m.lParam == 0 ? m.text : m.text + " (lParam " + std::to_string(m.lParam) + ")");
            } else {
                out.push_back(m.message == UM_BUSY            ? "UM_BUSY"
                              : m.message == UM_SETUPS_LOADED ? "UM_SETUPS_LOADED"
                              : m.message == UM_COMM_FAIL     ? "UM_COMM_FAIL"
                                                              : std::to_string(m.message));
            }
        }
        return out;
    }
    std::vector<std::string> Texts() const {
        auto log = Log();
        log.erase(std::remove_if(log.begin(), log.end(),
                                 [](const std::string& s) { return s.rfind("UM_", 0) == 0; }),
                  log.end());
        return log;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<WindowMessage> m_messages;
};

// Answers offers from a script (No once it runs out) and the device selection with `selection`.
class ScriptedQuestions final : public WorkerQuestions {
public:
    bool AskYesNo(const std::string& text) override {
        asked.push_back(text);
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::uint8_t> SelectDevice(const DeviceCatalogue& catalogue,
                                             std::uint16_t presetModelCode) override {
        presets.push_back(presetModelCode);
        catalogueSizes.push_back(catalogue.Entries.size());
        return selection;
    }

    std::deque<bool> answers;
    std::optional<std::uint8_t> selection;
    std::vector<std::string> asked;
    std::vector<std::uint16_t> presets;
    std::vector<std::size_t> catalogueSizes;
};

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    }
    return out;
}

using test::TemplateMemory;

std::int64_t SumOfSleeps(const test::FakeClock& clock) {
    const auto& sleeps = clock.Sleeps();
    return std::accumulate(sleeps.begin(), sleeps.end(), std::int64_t{0});
}

class Procedures : public ::testing::Test {
protected:
    Procedures() : clock(1000), socket(clock) {
        sim::SimOptions options;
        options.port = 0;
        options.verbose = true;  // the logger lets a test arm a fault between two requests
        amp = std::make_unique<VirtualAmplifier>(options);
        amp->SetLogger([this](const std::string&) { OnRequestLogged(); });
        EXPECT_TRUE(amp->Start());
        socket.SetAdaptor("127.0.0.1", amp->Port());
        socket.SetPollIntervalMs(5);

        WriteTemplate("E2", TemplateMemory(3));
        WriteTemplate("E3", TemplateMemory(11));
        WriteFirmware("D2", Pattern(6000, 2), 4000);
        WriteFirmware("D3", Pattern(5000, 3), 1000);
    }
    ~Procedures() override {
        amp->Stop();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    void WriteTemplate(const std::string& name, const std::vector<std::uint8_t>& memory) {
        test::WriteTemplate(folder, name, memory);
    }
    void WriteFirmware(const std::string& name, const std::vector<std::uint8_t>& image,
                       std::size_t split) {
        test::WriteFirmware(folder, name, image, split);
    }

    // Gives the next request of `command` `fault`, once `count` requests of it have been served.
    void ArmAfter(std::uint8_t command, long count, Fault fault) {
        std::lock_guard lock(m_armMutex);
        m_arm = Arm{command, count, fault};
    }

    std::vector<std::uint8_t> SimImage() const {
        return amp->ReadMemory(kDeviceImageAddress, kDeviceImageSize);
    }
    std::string Commands(std::size_t from = 0) const {
        std::vector<std::uint8_t> out;
        const auto requests = amp->Requests();
        for (std::size_t i = from; i < requests.size(); ++i) out.push_back(requests[i].command);
        return Hex(out);
    }
    DeviceImage Current() const {
        std::lock_guard lock(state.mutex);
        return state.current;
    }
    DeviceImage Stored() const {
        std::lock_guard lock(state.mutex);
        return state.stored;
    }
    void FillStored(std::uint8_t value) {
        std::lock_guard lock(state.mutex);
        state.stored.fill(value);
    }
    void SetSimByte(std::uint32_t address, std::uint8_t value) {
        amp->WriteMemory(address, &value, 1);
    }
    void Identify() { ASSERT_TRUE(socket.Identify(state.identity.data())); }

    test::FakeClock clock;
    std::unique_ptr<VirtualAmplifier> amp;
    CDSPSocket socket;
    WorkerState state;
    RecordingSink sink;
    ScriptedQuestions questions;
    fs::path folder = test::MakeDataFolder(kCatalogue);
    DeviceProcedures proc{socket, state, sink, questions, clock, folder};

private:
    // The logger runs after a request was handled and before its reply goes out, so a fault
    // armed here meets the client's next request.
    void OnRequestLogged() {
        std::lock_guard lock(m_armMutex);
        if (!m_arm) return;
        const auto requests = amp->Requests();
        const auto served = std::count_if(requests.begin(), requests.end(), [&](const auto& r) {
            return r.command == m_arm->command;
        });
        if (served >= m_arm->count) {
            amp->InjectFault(m_arm->command, m_arm->fault, 1);
            m_arm.reset();
        }
    }

    struct Arm {
        std::uint8_t command;
        long count;
        Fault fault;
    };
    std::mutex m_armMutex;
    std::optional<Arm> m_arm;
};

bool SameBytes(const DeviceImage& image, const std::vector<std::uint8_t>& bytes) {
    return bytes.size() == image.size() && std::equal(image.begin(), image.end(), bytes.begin());
}

// --- Connect sequence and download
// ----------------------------------------------------------------

TEST_F(Procedures, ConnectSequenceIdentifiesDownloadsAndActivates) {
    const std::uint8_t assign[6] = {3, 1, 0, 7, 9, 20};
    amp->WriteMemory(20585, assign, 6);
    SetSimByte(20584, 0);
    SetSimByte(20591, 2);

    ASSERT_TRUE(proc.ConnectSequence(kVersion, 3));

    EXPECT_EQ(sink.Log(), (std::vector<std::string>{kLoading, "UM_BUSY", "UM_BUSY", kGetOk,
                                                    "UM_SETUPS_LOADED"}));
    EXPECT_TRUE(questions.asked.empty());
    const auto requests = amp->Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(Commands(), "03 03 06 06 06 06 07");
    EXPECT_EQ(Hex(requests[2].payload), "69 50 06 00");
    EXPECT_EQ(Hex(requests[3].payload), "6F 50 01 00");
    EXPECT_EQ(Hex(requests[4].payload), "68 50 01 00");
    EXPECT_EQ(Hex(requests[5].payload), "70 50 90 2F");
    EXPECT_EQ(Hex(requests[6].payload), "02");

    EXPECT_EQ(Hex(state.identity.data(), 8), "04 03 01 05 01 00 51 56");
    EXPECT_TRUE(SameBytes(Current(), SimImage()));
    EXPECT_EQ(Current(), Stored());
    EXPECT_EQ(Hex(state.channelAssign.data(), 6), "03 01 00 07 09 14");
    EXPECT_EQ(state.noiseKiller, 0);
    EXPECT_EQ(state.activeSetup, 2);
    EXPECT_EQ(state.catalogue.Entries.size(), 3u);
    EXPECT_TRUE(state.connected);
    EXPECT_FALSE(state.busy);
    EXPECT_TRUE(clock.Sleeps().empty());
}

// The window found the link down while the sequence ran (here: as the setups arrived): the
// sequence's success must not mark the new link connected.
TEST_F(Procedures, ALinkDroppedDuringTheSequenceStaysUnconnected) {
    sink.onPost = [&](const WindowMessage& message) {
        if (message.message == UM_SETUPS_LOADED) {
            state.connected = false;
            ++state.linkGeneration;
        }
    };
    EXPECT_TRUE(proc.ConnectSequence(kVersion, 3));
    EXPECT_FALSE(state.connected);

    sink.onPost = {};
    ASSERT_TRUE(proc.ConnectSequence(kVersion, 3));
    EXPECT_TRUE(state.connected) << "a sequence on the link as it is connects";
}

TEST_F(Procedures, ActiveSetupByteOutsideTheFourSetupsReadsAsZero) {
    Identify();
    // 4 is mended too: it would index past the four setups.
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {{3, 3}, {4, 0}, {7, 0}, {255, 0}};
    for (const auto& [byte, expected] : cases) {
        SetSimByte(20591, byte);
        ASSERT_TRUE(proc.DownloadSetups());
        EXPECT_EQ(state.activeSetup, expected) << int{byte};
    }
}

TEST_F(Procedures, FailedImageReadLeavesTheTemplateAndTheEarlierReads) {
    Identify();
    {
        std::lock_guard lock(state.mutex);
        state.current.fill(0xEE);
        state.stored.fill(0xDD);
    }
    // The amplifier's image differs from the template, so what the current image holds tells.
    std::vector<std::uint8_t> changed(kDeviceImageSize, 0x5A);
    amp->WriteMemory(kDeviceImageAddress, changed.data(), changed.size());
    const std::uint8_t assign[6] = {6, 5, 4, 3, 2, 1};
    amp->WriteMemory(20585, assign, 6);
    ArmAfter(CMD_READ_MEMORY, 3, Fault::CloseMidReply);

    EXPECT_FALSE(proc.DownloadSetups());

    EXPECT_EQ(Commands(), "03 06 06 06 06");
    EXPECT_EQ(sink.Log(), (std::vector<std::string>{"UM_BUSY", kGetFail}));
    const auto memory = TemplateMemory(3);
    const DeviceImage current = Current();
    EXPECT_TRUE(std::equal(current.begin(), current.end(), memory.begin() + kDeviceImageAddress));
    DeviceImage untouched;
    untouched.fill(0xDD);
    EXPECT_EQ(Stored(), untouched);
    EXPECT_EQ(Hex(state.channelAssign.data(), 6), "06 05 04 03 02 01");
    EXPECT_FALSE(state.busy);
    EXPECT_EQ(clock.Sleeps(), (std::vector<std::int64_t>{50, 50}));
}

TEST_F(Procedures, MissingTemplateEndsTheDownloadQuietly) {
    Identify();
    fs::remove(FirmwarePairPath(folder, "E2").r1);
    for (const bool busy : {false, true}) {
        state.busy = busy;
        EXPECT_FALSE(proc.DownloadSetups());
        EXPECT_EQ(state.busy, busy);
    }
    EXPECT_TRUE(sink.Log().empty());
    EXPECT_EQ(Commands(), "03");
}

TEST_F(Procedures, BassAmplifierDownloadsOverTheBassTemplate) {
    proc.ReloadCatalogue();
    amp->SetIdentity({1, 11, 2, 1, 1, 0, 'Q', 'V'});
    Identify();
    amp->InjectFault(CMD_READ_MEMORY, Fault::WrongEcho);  // keeps the template in place
    EXPECT_FALSE(proc.DownloadSetups());
    const auto bass = TemplateMemory(11);
    const DeviceImage current = Current();
    EXPECT_EQ(current[kModelCodeOffset], 11);
    EXPECT_TRUE(std::equal(current.begin(), current.end(), bass.begin() + kDeviceImageAddress));
}

// --- Store ------------------------------------------------------------------------------------

SetupArray WindowSetups() {
    static constexpr std::uint8_t kSlopes[] = {6, 12, 24, 36, 48};
    static constexpr float kCrossoverFreqs[] = {31.6f, 80.0f, 251.0f, 1000.0f, 3160.0f, 12600.0f};
    SetupArray setups{};
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < 4; ++c) {
            ChannelRecord& ch =
                setups[static_cast<std::size_t>(s)].Channels[static_cast<std::size_t>(c)];
            const int k = s * 4 + c;
            ch.LevelVal = static_cast<float>(k % 17);
            ch.DelayOn = static_cast<std::uint8_t>(k % 2);
            ch.DelayTime = 0.02f * static_cast<float>(k * 37 % 1000);
            ch.Trim = 0.1f * static_cast<float>(k * 19 % 300);
            ch.EQBypass = static_cast<std::uint8_t>(k % 3 == 0);
            ch.HighPassOn = static_cast<std::uint8_t>(k % 4 != 1);
            ch.HighPassFreq = kCrossoverFreqs[k % 3];
            ch.HighPassSlope = kSlopes[k % 5];
            ch.LowPassOn = static_cast<std::uint8_t>(k % 5 != 2);
            ch.LowPassFreq = kCrossoverFreqs[3 + k % 3];
            ch.LowPassSlope = kSlopes[(k + 2) % 5];
            for (int j = 0; j < kCustomPointCount; ++j) {
                EqPoint& p = ch.CustomEQ[static_cast<std::size_t>(j)];
                p.Freq = 100.0f * static_cast<float>(j + 1 + c);
                p.Gain = static_cast<float>(j - s) * 1.5f;
                p.Q = 0.5f + static_cast<float>(j + c);
                p.Bypass = static_cast<std::uint8_t>((j + k) % 2);
            }
            for (int b = 0; b < kEqBandCount; ++b) {
                ch.EQBand[static_cast<std::size_t>(b)].Gain = static_cast<float>((b + k) % 11 - 8);
            }
        }
    }
    return setups;
}

TEST_F(Procedures, StoreThenDownloadReturnsTheSetupsOnTheirGrids) {
    ASSERT_TRUE(proc.ConnectSequence(kVersion, 3));
    sink.Clear();
    {
        std::lock_guard lock(state.mutex);
        state.channelAssign = {7, 8, 9, 10, 11, 12};
    }
    state.noiseKiller = 0;
    const SetupArray window = WindowSetups();

    ASSERT_TRUE(proc.StoreSetups(window, 2));

    EXPECT_EQ(sink.Log(), (std::vector<std::string>{"UM_BUSY", kSaveOk}));
    const auto requests = amp->Requests();
    ASSERT_GE(requests.size(), 4u);
    const auto last = requests.end() - 4;
    EXPECT_EQ(Hex(std::vector<std::uint8_t>(last[0].payload)), "69 50 06 00 07 08 09 0A 0B 0C");
    EXPECT_EQ(Hex(last[1].payload), "68 50 01 00 00");
    EXPECT_EQ(Hex(std::vector<std::uint8_t>(last[2].payload.begin(), last[2].payload.begin() + 4)),
              "70 50 90 2F");
    EXPECT_EQ(last[3].command, CMD_LOAD_SETUP);
    EXPECT_EQ(Hex(last[3].payload), "02");
    EXPECT_EQ(Hex(amp->ReadMemory(20584, 8)), "00 07 08 09 0A 0B 0C 02");
    EXPECT_TRUE(SameBytes(Current(), SimImage()));
    EXPECT_EQ(Current(), Stored());

    // A fresh download from nothing.
    state.setups = SetupArray{};
    {
        std::lock_guard lock(state.mutex);
        state.current.fill(0);
    }
    ASSERT_TRUE(proc.DownloadSetups());
    for (int s = 0; s < kSetupCount; ++s) {
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE("setup " + std::to_string(s) + " channel " + std::to_string(c));
            const ChannelRecord& want =
                window[static_cast<std::size_t>(s)].Channels[static_cast<std::size_t>(c)];
            const ChannelRecord& got =
                state.setups[static_cast<std::size_t>(s)].Channels[static_cast<std::size_t>(c)];
            EXPECT_EQ(got.LevelVal, want.LevelVal);
            EXPECT_EQ(got.DelayOn, want.DelayOn);
            EXPECT_NEAR(got.DelayTime, want.DelayTime, 0.02);
            EXPECT_NEAR(got.Trim, want.Trim, 0.1);
            EXPECT_EQ(got.EQBypass, want.EQBypass);
            EXPECT_EQ(got.HighPassOn, want.HighPassOn);
            EXPECT_EQ(got.HighPassSlope, want.HighPassSlope);
            EXPECT_EQ(got.LowPassOn, want.LowPassOn);
            EXPECT_EQ(got.LowPassSlope, want.LowPassSlope);
            // Within half a step of the 0.01-decade crossover grid.
            EXPECT_LT(std::fabs(std::log10(got.HighPassFreq / want.HighPassFreq)), 0.005);
            EXPECT_LT(std::fabs(std::log10(got.LowPassFreq / want.LowPassFreq)), 0.005);
            for (std::size_t j = 0; j < kCustomPointCount; ++j) {
                EXPECT_NEAR(got.CustomEQ[j].Freq, want.CustomEQ[j].Freq, 0.01);
                EXPECT_NEAR(got.CustomEQ[j].Gain, want.CustomEQ[j].Gain, 0.001);
                EXPECT_NEAR(got.CustomEQ[j].Q, want.CustomEQ[j].Q, 0.001);
                EXPECT_EQ(got.CustomEQ[j].Bypass, want.CustomEQ[j].Bypass);
            }
            for (std::size_t b = 0; b < kEqBandCount; ++b) {
                EXPECT_NEAR(got.EQBand[b].Gain, want.EQBand[b].Gain, 0.001);
            }
        }
    }
}

// A write answered with status 0 but value 0, which the virtual amplifier never sends.
std::vector<std::uint8_t> WriteMemoryReply(std::uint16_t value) {
    std::vector<std::uint8_t> frame(kFrameBufferSize);
    const std::uint8_t payload[3] = {0, static_cast<std::uint8_t>(value & 0xFF),
                                     static_cast<std::uint8_t>(value >> 8)};
    frame.resize(BuildFrame(frame.data(), 0x85, payload, 3));
    return frame;
}

TEST_F(Procedures, WriteAnsweredWithValueZeroFailsTheStore) {
    struct Case {
        const char* name;
        std::vector<std::uint16_t> values;
    };
    const Case cases[] = {{"first write", {0}}, {"image write", {6, 1, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<test::ScriptedPeer::Chunks> replies;
        for (std::uint16_t v : c.values) replies.push_back({WriteMemoryReply(v)});
        test::ScriptedPeer peer(replies);
        socket.SetAdaptor("127.0.0.1", peer.Port());
        state.identity[0] = 4;
        FillStored(0xDD);
        sink.Clear();

        EXPECT_FALSE(proc.StoreSetups(WindowSetups(), 1));

        EXPECT_EQ(sink.Log(), (std::vector<std::string>{"UM_BUSY", kSaveFail}));
        EXPECT_EQ(peer.Requests().size(), c.values.size());
        DeviceImage untouched;
        untouched.fill(0xDD);
        EXPECT_EQ(Stored(), untouched);
        EXPECT_FALSE(state.busy);
    }
}

// --- Faults -----------------------------------------------------------------------------------

TEST_F(Procedures, EveryFaultEndsInTheFailureTextWithinTheTimeOut) {
    enum class Run { Connect, Download, Store };
    struct Case {
        const char* name;
        Run run;
        Fault fault;  // Fault::None: connections refused
        std::int64_t timeoutMs;
    };
    const Case cases[] = {
        {"identify, no reply", Run::Connect, Fault::NoReply, 10000},
        {"identify, close mid-reply", Run::Connect, Fault::CloseMidReply, 10000},
        {"identify, wrong check", Run::Connect, Fault::WrongCheck, 10000},
        {"identify, wrong end", Run::Connect, Fault::WrongEnd, 10000},
        {"identify, zero length", Run::Connect, Fault::ZeroLength, 10000},
        {"identify, refused", Run::Connect, Fault::None, 10000},
        {"read, no reply", Run::Download, Fault::NoReply, 20000},
        {"read, close mid-reply", Run::Download, Fault::CloseMidReply, 20000},
        {"read, wrong check", Run::Download, Fault::WrongCheck, 20000},
        {"read, wrong end", Run::Download, Fault::WrongEnd, 20000},
        {"read, zero length", Run::Download, Fault::ZeroLength, 20000},
        {"read, error status", Run::Download, Fault::ErrorStatus, 20000},
        {"read, wrong echo", Run::Download, Fault::WrongEcho, 20000},
        {"read, refused", Run::Download, Fault::None, 20000},
        {"write, no reply", Run::Store, Fault::NoReply, 20000},
        {"write, close mid-reply", Run::Store, Fault::CloseMidReply, 20000},
        {"write, wrong check", Run::Store, Fault::WrongCheck, 20000},
        {"write, wrong end", Run::Store, Fault::WrongEnd, 20000},
        {"write, zero length", Run::Store, Fault::ZeroLength, 20000},
        {"write, error status", Run::Store, Fault::ErrorStatus, 20000},
        {"write, refused", Run::Store, Fault::None, 20000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        amp->ClearFaults();
        state.identity = {4, 3, 1, 5, 1, 0, 'Q', 'V'};
        state.connected = true;
        FillStored(0xDD);
        sink.Clear();
        const std::uint8_t command = c.run == Run::Connect    ? CMD_IDENTIFY
                                     : c.run == Run::Download ? CMD_READ_MEMORY
                                                              : CMD_WRITE_MEMORY;
        if (c.fault == Fault::None) {
            amp->RefuseConnections(1000);
        } else {
            amp->InjectFault(command, c.fault);
        }
        const std::int64_t start = clock.Peek();

        std::vector<std::string> expected;
        switch (c.run) {
            case Run::Connect:
                EXPECT_FALSE(proc.ConnectSequence(kVersion, 3));
                expected = {kLoading, "UM_BUSY", kCommFail, "UM_COMM_FAIL"};
                EXPECT_FALSE(state.connected);
                break;
            case Run::Download:
                EXPECT_FALSE(proc.DownloadSetups());
                expected = {"UM_BUSY", kGetFail};
                break;
            case Run::Store:
                EXPECT_FALSE(proc.StoreSetups(WindowSetups(), 0));
                expected = {"UM_BUSY", kSaveFail};
                break;
        }
        EXPECT_EQ(sink.Log(), expected);
        EXPECT_FALSE(state.busy);
        DeviceImage untouched;
        untouched.fill(0xDD);
        EXPECT_EQ(Stored(), untouched);
        // One failing transaction: its time-out, the connect attempts' pauses and the clock's
        // own steps, never more.
        EXPECT_LE(clock.Peek() - start, c.timeoutMs + 12000);
    }
}

TEST_F(Procedures, StrayBytesDoNotDisturbTheTransfers) {
    amp->InjectFault(0xFF, Fault::StrayBytes);
    ASSERT_TRUE(proc.ConnectSequence(kVersion, 3));
    EXPECT_TRUE(proc.StoreSetups(WindowSetups(), 0));
    EXPECT_TRUE(SameBytes(Stored(), SimImage()));
}

TEST_F(Procedures, ThreeFailedDownloadsEndTheConnectSequence) {
    amp->InjectFault(CMD_READ_MEMORY, Fault::WrongEcho);
    state.connected = true;

    EXPECT_FALSE(proc.ConnectSequence(kVersion, 3));

    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{kLoading, kGetFail, kGetFail, kGetFail}));
    EXPECT_EQ(Commands(), "03 03 06 03 06 03 06");
    EXPECT_FALSE(state.connected);
    // 100 ms after each failed download, 1000 ms between attempts.
    EXPECT_EQ(SumOfSleeps(clock), 3 * 100 + 2 * 1000);
}

// --- Firmware checks --------------------------------------------------------------------------

TEST_F(Procedures, FirmwareChecksFollowTheDecisionTable) {
    using Id = std::array<std::uint8_t, 8>;
    const Id qv = {4, 3, 1, 5, 1, 0, 'Q', 'V'};
    auto withD = [&](std::initializer_list<std::pair<int, std::uint8_t>> changes) {
        Id d = qv;
        for (auto [i, v] : changes) d[static_cast<std::size_t>(i)] = v;
        return d;
    };
    auto withV = [&](std::initializer_list<std::pair<int, std::uint8_t>> changes) {
        VersionRecord v = kVersion;
        for (auto [i, x] : changes) v[static_cast<std::size_t>(i)] = x;
        return v;
    };
    struct Case {
        const char* name;
        Id d;
        VersionRecord v;
        int n;
        bool yes;                            // answer to every offer
        std::vector<std::string> offers;     // offers expected, in order
        std::vector<std::uint16_t> presets;  // preselections shown (selection cancelled)
        DeviceProcedures::Checks result;
    };
    using C = DeviceProcedures::Checks;
    const Case cases[] = {
        {"same versions", qv, kVersion, 3, false, {}, {}, C::GoOn},
        {"MCU sub below line 2", qv, withV({{3, 6}}), 3, false, {kOfferNew}, {}, C::End},
        {"MCU main below line 2", qv, withV({{2, 2}, {8, 3}}), 3, false, {kOfferNew}, {}, C::End},
        {"between the lines",
         withD({{2, 2}, {3, 9}}),
         withV({{8, 3}}),
         3,
         false,
         {kOfferNew},
         {},
         C::End},
        {"below line 3",
         withD({{2, 2}, {3, 0}}),
         withV({{8, 2}, {9, 1}}),
         3,
         false,
         {kOfferNew},
         {},
         C::End},
        {"at line 3", withD({{2, 2}, {3, 0}}), withV({{8, 2}, {9, 0}}), 3, false, {}, {}, C::GoOn},
        {"DSP sub below", qv, withV({{5, 1}}), 3, false, {kOfferNew}, {}, C::End},
        {"DSP main below", qv, withV({{4, 2}, {5, 0}}), 3, false, {kOfferNew}, {}, C::End},
        {"DSP above", withD({{4, 2}}), kVersion, 3, false, {}, {}, C::GoOn},
        // Unsigned: a version byte of 200 is above every line, not below.
        {"MCU 200.0", withD({{2, 200}}), kVersion, 3, false, {}, {}, C::GoOn},
        {"QV offer, selection cancelled", qv, withV({{3, 6}}), 12, true, {kOfferNew}, {3}, C::End},
        {"QV model code above the count",
         withD({{1, 20}}),
         withV({{3, 6}}),
         12,
         true,
         {kOfferNew},
         {12},
         C::End},
        {"GM declined", withD({{6, 'G'}, {7, 'M'}}), kVersion, 3, false, {kOfferNew}, {}, C::End},
        {"GM with channel code 5",
         withD({{0, 5}, {6, 'G'}, {7, 'M'}}),
         kVersion,
         3,
         true,
         {kOfferNew},
         {},
         C::GoOn},
        {"GM with channel code 1",
         withD({{0, 1}, {6, 'G'}, {7, 'M'}}),
         kVersion,
         3,
         true,
         {kOfferNew},
         {4},
         C::End},
        {"GM with channel code 2",
         withD({{0, 2}, {6, 'G'}, {7, 'M'}}),
         kVersion,
         3,
         true,
         {kOfferNew},
         {0},
         C::End},
        {"GM with channel code 4",
         withD({{0, 4}, {6, 'G'}, {7, 'M'}}),
         kVersion,
         3,
         true,
         {kOfferNew},
         {1},
         C::End},
        {"link lost, declined",
         withD({{0, 0}, {6, 'G'}, {7, 'M'}}),
         kVersion,
         3,
         false,
         {kOfferLink},
         {},
         C::End},
        {"link lost, selection cancelled",
         withD({{0, 0}, {6, 'G'}, {7, 'M'}}),
         kVersion,
         3,
         true,
         {kOfferLink},
         {1},
         C::End},
        {"other family", withD({{6, 'X'}, {7, 'Y'}}), withV({{3, 9}}), 3, true, {}, {}, C::GoOn},
    };
    proc.ReloadCatalogue();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state.identity = c.d;
        questions = ScriptedQuestions{};
        questions.answers.assign(4, c.yes);
        EXPECT_EQ(proc.FirmwareChecks(c.v, c.n), c.result);
        EXPECT_EQ(questions.asked, c.offers);
        EXPECT_EQ(questions.presets, c.presets);
    }
    // A cancelled selection never reaches the amplifier.
    EXPECT_TRUE(amp->Requests().empty());
}

TEST_F(Procedures, GmChannelCodeThreeKeepsThePreviousPreselection) {
    proc.ReloadCatalogue();
    questions.answers.assign(4, true);
    for (const std::uint8_t code : std::initializer_list<std::uint8_t>{1, 3, 2, 3}) {
        state.identity = {code, 3, 1, 5, 1, 0, 'G', 'M'};
        EXPECT_EQ(proc.FirmwareChecks(kVersion, 3), DeviceProcedures::Checks::End);
    }
    EXPECT_EQ(questions.presets, (std::vector<std::uint16_t>{4, 4, 0, 0}));
}

TEST_F(Procedures, SelectionOutsideTheCatalogueCountsAsCancel) {
    state.identity = {4, 3, 1, 5, 1, 0, 'Q', 'V'};
    questions.answers = {true};
    questions.selection = 3;  // the catalogue has three entries
    VersionRecord newer = kVersion;
    newer[3] = 6;
    EXPECT_EQ(proc.FirmwareChecks(newer, 3), DeviceProcedures::Checks::End);
    EXPECT_TRUE(amp->Requests().empty());
    EXPECT_TRUE(sink.Log().empty());
}

TEST_F(Procedures, LinkFailureDeclinedEndsTheConnectSequenceWithoutDownload) {
    amp->SetIdentity({0, 3, 1, 5, 1, 0, 'G', 'M'});
    questions.answers = {false};
    EXPECT_FALSE(proc.ConnectSequence(kVersion, 3));
    EXPECT_EQ(questions.asked, std::vector<std::string>{kOfferLink});
    EXPECT_EQ(Commands(), "03");
    EXPECT_EQ(sink.Log(), (std::vector<std::string>{kLoading, "UM_BUSY"}));
    EXPECT_FALSE(state.connected);
}

// --- Firmware update --------------------------------------------------------------------------

// Distinct bytes, so the identity block shows which ones it took.
constexpr VersionRecord kUpdateVersion = {4, 0, 0x11, 0x12, 0x13, 0x14, 'Q', 'V', 0x21, 0x22};

TEST_F(Procedures, UpdateWritesBothStagesWithTheIdentityBlock) {
    struct Case {
        const char* name;
        std::size_t entry;
        std::vector<std::uint8_t> dsp;  // as the fixture wrote D2 and D3
        const char* mcuName;
        std::vector<std::uint8_t> mcu;
        const char* block;
    };
    const Case cases[] = {
        {"line 2, ClassAB", 1, Pattern(6000, 2), "E2", Pattern(30000, 5),
         "04 03 11 12 13 14 51 56"},
        {"line 3, ClassD Bass, code 11", 2, Pattern(5000, 3), "E3", Pattern(21000, 6),
         "01 0B 21 22 13 14 51 56"},
    };
    proc.ReloadCatalogue();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFirmware(c.mcuName, c.mcu, 7000);
        const std::size_t before = amp->Requests().size();
        const std::size_t sleepsBefore = clock.Sleeps().size();
        sink.Clear();

        EXPECT_TRUE(proc.UpdateFirmware(kUpdateVersion, c.entry, 12000));

        EXPECT_EQ(sink.Log(), (std::vector<std::string>{kUpdating, "UM_BUSY", kUpdateOk}));
        EXPECT_EQ(Commands(before), "23 05 09");
        EXPECT_EQ(amp->DspFirmware(), c.dsp);
        std::vector<std::uint8_t> expected = c.mcu;
        const auto block = test::Bytes(c.block);
        std::copy(block.begin(), block.end(), expected.begin() + 20728);
        EXPECT_EQ(amp->ReadMemory(0, expected.size()), expected);
        EXPECT_EQ(Hex(amp->Identity().data(), 8), c.block);
        const std::vector<std::int64_t> sleeps(
            clock.Sleeps().begin() + static_cast<long>(sleepsBefore), clock.Sleeps().end());
        EXPECT_EQ(std::accumulate(sleeps.begin(), sleeps.end(), std::int64_t{0}), 15000 + 12000);
        EXPECT_FALSE(state.busy);
    }
}

TEST_F(Procedures, UpdateStopsAtTheFailingStage) {
    struct Case {
        const char* name;
        std::function<void()> spoil;
        const char* commands;
        std::int64_t paused;
    };
    const Case cases[] = {
        {"DSP files missing", [&] { fs::remove(FirmwarePairPath(folder, "D2").r0); }, "", 0},
        {"DSP image over 8192 bytes", [&] { WriteFirmware("D2", Pattern(8193, 1), 8000); }, "", 0},
        {"DSP image refused", [&] { amp->InjectFault(CMD_WRITE_FIRMWARE, Fault::ErrorStatus); },
         "23", 0},
        {"MCU files missing", [&] { fs::remove(FirmwarePairPath(folder, "E2").r1); }, "23", 15000},
        {"MCU image over one frame", [&] { WriteFirmware("E2", Pattern(65532, 1), 30000); }, "23",
         15000},
        {"MCU image without the identity block",
         [&] { WriteFirmware("E2", Pattern(20735, 1), 20000); }, "23", 15000},
        {"MCU image refused", [&] { amp->InjectFault(CMD_WRITE_MEMORY, Fault::ErrorStatus); },
         "23 05", 15000},
    };
    proc.ReloadCatalogue();
    // A refused memory write waits out its 200-s time-out in one-millisecond polls.
    socket.SetPollIntervalMs(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        amp->ClearFaults();
        WriteFirmware("D2", Pattern(6000, 2), 4000);
        WriteFirmware("E2", Pattern(30000, 5), 7000);
        c.spoil();
        const std::size_t before = amp->Requests().size();
        const std::size_t sleepsBefore = clock.Sleeps().size();
        sink.Clear();

        EXPECT_FALSE(proc.UpdateFirmware(kUpdateVersion, 1, 15000));

        EXPECT_EQ(sink.Log(), (std::vector<std::string>{kUpdating, "UM_BUSY", kUpdateFail}));
        EXPECT_EQ(Commands(before), c.commands);
        const std::vector<std::int64_t> sleeps(
            clock.Sleeps().begin() + static_cast<long>(sleepsBefore), clock.Sleeps().end());
        EXPECT_EQ(std::accumulate(sleeps.begin(), sleeps.end(), std::int64_t{0}), c.paused);
        EXPECT_FALSE(state.busy);
    }
}

// A worker being stopped cancels its socket; no pause may hold it up then.
TEST_F(Procedures, StoppingTheWorkerCutsPausesShort) {
    proc.ReloadCatalogue();
    clock.onSleep = [this](std::size_t) { socket.Cancel(); };
    EXPECT_FALSE(proc.UpdateFirmware(kUpdateVersion, 1, 15000));
    EXPECT_EQ(clock.Sleeps(), std::vector<std::int64_t>{50});
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{kUpdating, kUpdateFail}));

    // The pauses after a failed download and between the attempts.
    socket.ResetCancel();
    amp->InjectFault(CMD_READ_MEMORY, Fault::WrongEcho);
    EXPECT_FALSE(proc.ConnectSequence(kVersion, 3));
    EXPECT_EQ(clock.Sleeps(), (std::vector<std::int64_t>{50, 50}));
}

TEST_F(Procedures, AcceptedOfferUpdatesThenConnects) {
    VersionRecord version = kVersion;
    version[3] = 6;  // line 2 is 1.6: the amplifier's 1.5 is below it
    questions.answers = {true};
    questions.selection = 1;

    ASSERT_TRUE(proc.ConnectSequence(version, 3));

    EXPECT_EQ(questions.asked, std::vector<std::string>{kOfferNew});
    EXPECT_EQ(questions.presets, std::vector<std::uint16_t>{3});
    EXPECT_EQ(questions.catalogueSizes, std::vector<std::size_t>{3});
    EXPECT_EQ(sink.Log(),
              (std::vector<std::string>{kLoading, "UM_BUSY", kUpdating, "UM_BUSY", kUpdateOk,
                                        "UM_BUSY", kGetOk, "UM_SETUPS_LOADED"}));
    EXPECT_EQ(Commands(), "03 23 05 09 03 06 06 06 06 07");
    // The new firmware reports the version written with it.
    EXPECT_EQ(Hex(state.identity.data(), 8), "04 03 01 06 01 00 51 56");
    EXPECT_TRUE(SameBytes(Current(), SimImage()));
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(SumOfSleeps(clock), 15000 + 15000);
}

TEST_F(Procedures, UpdateOnDemandUpdatesAndDownloadsWithoutConnecting) {
    VersionRecord version = kVersion;
    version[1] = 2;

    questions.answers = {false};
    proc.UpdateOnDemand(version);
    EXPECT_EQ(questions.asked, std::vector<std::string>{kOfferNew});
    EXPECT_TRUE(amp->Requests().empty());

    questions = ScriptedQuestions{};
    questions.answers = {true};
    questions.selection = 1;
    // The MCU image rewrites the active setup byte too.
    auto memory = TemplateMemory(3);
    memory[20591] = 3;
    WriteTemplate("E2", memory);
    proc.UpdateOnDemand(version);

    EXPECT_EQ(questions.presets, std::vector<std::uint16_t>{1});  // entry 0's model code
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{kUpdating, kUpdateOk, kGetOk}));
    EXPECT_EQ(Commands(), "23 05 09 03 06 06 06 06 07");
    EXPECT_EQ(Hex(amp->Requests().back().payload), "03");
    EXPECT_TRUE(SameBytes(Current(), SimImage()));
    EXPECT_FALSE(state.connected);
    EXPECT_EQ(SumOfSleeps(clock), 15000 + 12000);
}

}  // namespace
}  // namespace vantrel
