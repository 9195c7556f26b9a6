#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/PresetFile.h"
#include "platform/IniFile.h"
#include "support/TempFolder.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

const char* const kGoldenPreset = VANTREL_SOURCE_DIR "/tests/model/golden/preset.dat";

// Every field of the model with a name, so a mismatch says where.
using Fields = std::vector<std::pair<std::string, double>>;

Fields AllFields(const ParameterModel& m) {
    Fields f;
    const auto add = [&f](std::string name, double value) {
        f.emplace_back(std::move(name), value);
    };
    add("CurrentSetupIndex", m.CurrentSetupIndex);
    add("ANS", m.ANS);
    add("ChannelNum", m.ChannelNum);
    add("Mode", m.Mode);
    for (int c = 0; c < kChannelCount; ++c) add("Mark" + std::to_string(c), m.MarkIndex[c]);
    for (int s = 0; s < kSetupCount; ++s) {
        const SetupRecord& setup = m.Setups[s];
        const std::string sp = "s" + std::to_string(s);
        add(sp + " MasterMute", setup.MasterMute);
        add(sp + " Reserved", setup.Reserved);
        add(sp + " GroupFlag", setup.GroupFlag);
        add(sp + " GroupEQFlag", setup.GroupEQFlag);
        for (int c = 0; c < kChannelCount; ++c) {
            const ChannelRecord& ch = setup.Channels[c];
            const std::string p = sp + "c" + std::to_string(c) + " ";
            add(p + "Mute", ch.Mute);
            add(p + "LevelLock", ch.LevelLock);
            add(p + "LevelVal", ch.LevelVal);
            add(p + "HighPassOn", ch.HighPassOn);
            add(p + "HighPassLock", ch.HighPassLock);
            add(p + "HighPassFreq", ch.HighPassFreq);
            add(p + "HighPassSlope", ch.HighPassSlope);
            add(p + "LowPassOn", ch.LowPassOn);
            add(p + "LowPassLock", ch.LowPassLock);
            add(p + "LowPassFreq", ch.LowPassFreq);
            add(p + "LowPassSlope", ch.LowPassSlope);
            add(p + "DelayOn", ch.DelayOn);
            add(p + "DelayTime", ch.DelayTime);
            add(p + "Trim", ch.Trim);
            add(p + "EQBypass", ch.EQBypass);
            for (int i = 0; i < kCustomPointCount; ++i) {
                const EqPoint& pt = ch.CustomEQ[i];
                const std::string q = p + "custom" + std::to_string(i) + " ";
                add(q + "Freq", pt.Freq);
                add(q + "Gain", pt.Gain);
                add(q + "Q", pt.Q);
                add(q + "Bypass", pt.Bypass);
            }
            for (int b = 0; b < kEqBandCount; ++b) {
                const EqPoint& band = ch.EQBand[b];
                const std::string q = p + "band" + std::to_string(b) + " ";
                add(q + "Freq", band.Freq);
                add(q + "Gain", band.Gain);
                add(q + "Q", band.Q);
                add(q + "Bypass", band.Bypass);
            }
        }
    }
    return f;
}

void ExpectSameModel(const ParameterModel& actual, const ParameterModel& expected) {
    const Fields a = AllFields(actual);
    const Fields e = AllFields(expected);
    ASSERT_EQ(a.size(), e.size());
    int mismatches = 0;
    for (std::size_t i = 0; i < a.size() && mismatches < 10; ++i) {
        if (a[i].second != e[i].second) {
            ADD_FAILURE() << a[i].first << ": " << a[i].second << ", expected " << e[i].second;
            ++mismatches;
        }
    }
}

float F(double v) { return static_cast<float>(v); }

// Different values in every setup and channel, all within limits and, unless noted, on one
// decimal so that they survive "%.1f" exactly; every slope, some bypasses, marks.
ParameterModel RichModel() {
    static const std::uint8_t slopes[] = {6, 12, 24, 36, 48};
    static const std::uint8_t groupFlags[] = {0x15, 0x17, 0x3F, 0x1D};
    static const std::uint8_t eqFlags[] = {0x01, 0x03, 0x0C, 0x30};
    ParameterModel m;
    m.ChannelNum = 2;
    m.Mode = 2;
    m.ANS = 0;
    m.CurrentSetupIndex = 2;
    m.MarkIndex = {2, 6, 0, 20, 11, 17};
    for (int s = 0; s < kSetupCount; ++s) {
        SetupRecord& setup = m.Setups[s];
        setup.GroupFlag = groupFlags[s];
        setup.GroupEQFlag = eqFlags[s];
        for (int c = 0; c < kChannelCount; ++c) {
            ChannelRecord& ch = setup.Channels[c];
            const int k = s * kChannelCount + c;
            ch.LevelLock = static_cast<std::uint8_t>(k % 2);
            ch.LevelVal = F(k % 17);
            ch.HighPassOn = k % 3 == 0;
            ch.HighPassLock = k % 4 == 1;
            ch.HighPassSlope = slopes[k % 5];
            ch.HighPassFreq = F(20.5 + 10 * k);
            ch.LowPassOn = k % 3 != 1;
            ch.LowPassLock = k % 4 == 2;
            ch.LowPassSlope = slopes[(k + 2) % 5];
            ch.LowPassFreq = F(19999.2 - 700 * k);
            ch.DelayOn = k % 2 == 0;
            ch.DelayTime = F(0.1 * k);
            ch.Trim = F(0.5 * k);
            ch.EQBypass = k % 5 == 0;
            for (int i = 0; i < kCustomPointCount; ++i) {
                EqPoint& pt = ch.CustomEQ[i];
                pt.Freq = F(100.3 * (i + 1) + k);
                pt.Gain = F(-24 + k + 0.7 * i);
                pt.Q = F(0.4 + 0.1 * (k + i));
                pt.Bypass = (k + i) % 3 == 0;
            }
            for (int b = 0; b < kEqBandCount; ++b) {
                EqPoint& band = ch.EQBand[b];
                band.Freq = F(EqBandFrequencies[b]);
                band.Gain = F(-15 + (k + b) % 21 + 0.1 * ((k + b) % 10));
                band.Q = F(0.5 + 0.1 * b + 0.2 * (k % 3));
            }
        }
    }
    // Values the file's formats change: truncation of "%i", rounding of "%.1f".
    ChannelRecord& first = m.Setups[0].Channels[0];
    first.LevelVal = 7.9f;            // "7"
    first.DelayTime = 0.14f;          // "0.1"
    first.HighPassFreq = 123.46f;     // "123.5"
    first.CustomEQ[1].Gain = -0.04f;  // "-0.0"
    first.EQBand[14].Freq = 1000.7f;  // "1000"
    return m;
}

// RichModel as it comes back from its own file.
ParameterModel RichModelReloaded() {
    ParameterModel m = RichModel();
    ChannelRecord& first = m.Setups[0].Channels[0];
    first.LevelVal = 7.0f;
    first.DelayTime = 0.1f;
    first.HighPassFreq = 123.5f;
    first.CustomEQ[1].Gain = 0.0f;
    first.EQBand[14].Freq = 1000.0f;
    return m;
}

class PresetFileTest : public ::testing::Test {
protected:
    fs::path Put(const std::string& name, const std::string& bytes) const {
        return m_folder.Put(name, bytes);
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(m_dir)) {
            names.push_back(entry.path().lexically_relative(m_dir).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder m_folder{"vantrel-preset"};
    fs::path m_dir = m_folder.Path();
};

TEST_F(PresetFileTest, SaveWritesGoldenFileReplacingOldContentWithProgress) {
    // Whatever the file held before is gone, not merged.
    const fs::path file =
        Put("rich.dat", "[Other]\r\nX=1\r\n[Setup1]\r\nChannel1\\Levle\\Lock=9\r\n");
    std::vector<std::string> texts;
    ASSERT_TRUE(SavePresetFile(RichModel(), file,
                               [&texts](const std::string& text) { texts.push_back(text); }));

    const std::string golden = Read(kGoldenPreset);
    ASSERT_FALSE(golden.empty()) << kGoldenPreset;
    const std::string saved = Read(file);
    EXPECT_TRUE(saved == golden)
        << "first difference at byte "
        << std::mismatch(saved.begin(), saved.end(), golden.begin(), golden.end()).first -
               saved.begin();

    EXPECT_EQ(texts, (std::vector<std::string>{"Being Saved", "Being Saved", "Save 25%",
                                               "Being Saved", "Save 50%", "Being Saved", "Save 75%",
                                               "Being Saved", "Save 100%", "Save Completed"}));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"rich.dat"});  // no temporary left
}

TEST_F(PresetFileTest, OnePassEqualsKeyByKeyWritesOfEveryKey) {
    const ParameterModel model = RichModel();
    const std::vector<PresetKey> keys = PresetKeys(model);
    ASSERT_EQ(keys.size(), 2682u);

    const fs::path byKey = Put("bykey.dat", "");
    for (const PresetKey& k : keys) ASSERT_TRUE(WriteIniString(byKey, k.section, k.key, k.value));
    const fs::path onePass = m_dir / "onepass.dat";
    ASSERT_TRUE(SavePresetFile(model, onePass));
    EXPECT_TRUE(Read(onePass) == Read(byKey));

    // Every key name is distinct under the case-blind lookup, so each one reads back.
    const IniDocument doc = IniDocument::Parse(Read(onePass));
    EXPECT_EQ(doc.SectionNames(),
              (std::vector<std::string>{"DSPModel", "ChannelMark", "SetupIndex", "Setup1", "Setup2",
                                        "Setup3", "Setup4"}));
    std::size_t count = 0;
    for (const std::string& section : doc.SectionNames()) count += doc.KeyNames(section).size();
    EXPECT_EQ(count, 2682u);
}

TEST_F(PresetFileTest, RoundTripKeepsIntegersAndOneDecimal) {
    const fs::path file = m_dir / "round.dat";
    ASSERT_TRUE(SavePresetFile(RichModel(), file));
    ParameterModel loaded;  // Mute and MasterMute are not in the file and keep their values
    ASSERT_TRUE(LoadPresetFile(loaded, file));
    ExpectSameModel(loaded, RichModelReloaded());
}

TEST_F(PresetFileTest, MissingKeysTakeDefaultsOrLeaveFieldsExactlyAsTheyWere) {
    ParameterModel model = RichModel();
    model.ChannelNum = 6;
    model.CurrentSetupIndex = 3;
    ParameterModel expected = model;
    expected.ChannelNum = 2;
    expected.Mode = 0;
    expected.CurrentSetupIndex = 0;
    expected.MarkIndex = {};
    // ANS and every setup field (DelayTime 0.14 included) stay exactly.

    ASSERT_TRUE(LoadPresetFile(model, Put("only.dat", "[DSPModel]\r\nChannelNum=2\r\n")));
    ExpectSameModel(model, expected);
}

// Distances travel in a section of their own that older files do without: a file without it
// leaves no distances behind, whatever the model held.
TEST_F(PresetFileTest, DistancesTravelInTheirOwnSectionThatOlderFilesLack) {
    ParameterModel model = RichModel();
    model.Setups[0].Distance = {152.5f, 98.0f, 0.0f, 210.0f, 0.0f, 0.0f};
    model.Setups[3].Distance[5] = 9000.0f;  // read back as the longest distance taken
    const fs::path file = m_dir / "distances.dat";
    ASSERT_TRUE(SavePresetFile(model, file));
    const IniDocument doc = IniDocument::Parse(Read(file));
    EXPECT_EQ(doc.SectionNames().back(), "Distance");
    EXPECT_EQ(doc.KeyNames("Distance"), (std::vector<std::string>{
                                            "Setup1Channel1", "Setup1Channel2", "Setup1Channel4",
                                            "Setup4Channel6"}));

    ParameterModel loaded;
    ASSERT_TRUE(LoadPresetFile(loaded, file));
    EXPECT_EQ(loaded.Setups[0].Distance, model.Setups[0].Distance);
    EXPECT_EQ(loaded.Setups[3].Distance[5], 5000.0f);

    ASSERT_TRUE(LoadPresetFile(loaded, Put("old.dat", "[DSPModel]\r\nChannelNum=4\r\n")));
    for (const SetupRecord& setup : loaded.Setups) {
        EXPECT_EQ(setup.Distance, (std::array<float, kChannelCount>{}));
    }
}

struct LimitCase {
    const char* section;
    const char* key;
    const char* text;
    std::function<double(const ParameterModel&)> field;
    double expected;
};

double Ch(const ParameterModel& m, float ChannelRecord::*field) {
    return m.Setups[1].Channels[2].*field;
}
double Ch(const ParameterModel& m, std::uint8_t ChannelRecord::*field) {
    return m.Setups[1].Channels[2].*field;
}

TEST_F(PresetFileTest, OutOfRangeAndGarbageValuesAreLimited) {
    using M = const ParameterModel&;
    const auto level = [](M m) { return Ch(m, &ChannelRecord::LevelVal); };
    const auto hpSlope = [](M m) { return Ch(m, &ChannelRecord::HighPassSlope); };
    const auto lpSlope = [](M m) { return Ch(m, &ChannelRecord::LowPassSlope); };
    const auto hpFreq = [](M m) { return Ch(m, &ChannelRecord::HighPassFreq); };
    const auto lpOn = [](M m) { return Ch(m, &ChannelRecord::LowPassOn); };
    const auto delay = [](M m) { return Ch(m, &ChannelRecord::DelayTime); };
    const auto trim = [](M m) { return Ch(m, &ChannelRecord::Trim); };
    const auto customGain = [](M m) { return m.Setups[1].Channels[2].CustomEQ[0].Gain; };
    const auto customQ = [](M m) { return m.Setups[1].Channels[2].CustomEQ[0].Q; };
    const auto bypass = [](M m) { return m.Setups[1].Channels[2].CustomEQ[0].Bypass; };
    const auto bandGain = [](M m) { return m.Setups[1].Channels[2].EQBand[4].Gain; };
    const auto bandFreq = [](M m) { return m.Setups[1].Channels[2].EQBand[4].Freq; };
    const auto setupIndex = [](M m) { return m.CurrentSetupIndex; };
    const auto channelNum = [](M m) { return m.ChannelNum; };
    const auto mode = [](M m) { return m.Mode; };
    const auto ans = [](M m) { return m.ANS; };
    const auto mark = [](M m) { return m.MarkIndex[2]; };
    const auto group = [](M m) { return m.Setups[1].GroupFlag; };
    const auto eqGroup = [](M m) { return m.Setups[1].GroupEQFlag; };

    const char* const hp = "Channel3\\HighPass\\";
    const std::string hpSlopeKey = std::string(hp) + "Slope";
    const std::string hpFreqKey = std::string(hp) + "Freq";
    const LimitCase cases[] = {
        {"SetupIndex", "CurrentSetupIndex", "7", setupIndex, 3},
        {"SetupIndex", "CurrentSetupIndex", "-1", setupIndex, 0},
        {"DSPModel", "ChannelNum", "3", channelNum, 4},
        {"DSPModel", "ChannelNum", "5", channelNum, 6},
        {"DSPModel", "ChannelNum", "0", channelNum, 1},
        {"DSPModel", "ChannelNum", "260", channelNum, 6},  // not its low byte, 4
        {"DSPModel", "ChannelNum", "abc", channelNum, 1},
        {"DSPModel", "Mode", "1", mode, 0},
        {"DSPModel", "Mode", "258", mode, 0},
        {"DSPModel", "Mode", "2", mode, 2},
        {"DSPModel", "ANS", "7", ans, 255},
        {"DSPModel", "ANS", "0", ans, 0},
        {"ChannelMark", "Channel3MarkIndex", "25", mark, 20},
        {"ChannelMark", "Channel3MarkIndex", "-4", mark, 0},
        {"Setup2", "GroupFlag", "255", group, 0x3F},
        {"Setup2", "GroupEQFlag", "130", eqGroup, 0x02},
        {"Setup2", hpSlopeKey.c_str(), "10", hpSlope, 12},
        {"Setup2", hpSlopeKey.c_str(), "9", hpSlope, 12},  // tie: the steeper
        {"Setup2", hpSlopeKey.c_str(), "30", hpSlope, 36},
        {"Setup2", hpSlopeKey.c_str(), "0", hpSlope, 6},
        {"Setup2", hpSlopeKey.c_str(), "268", hpSlope, 48},  // not its low byte, 12
        {"Setup2", "Channel3\\LowPass\\Slope", "-5", lpSlope, 6},
        {"Setup2", hpFreqKey.c_str(), "99999", hpFreq, 20893},
        {"Setup2", hpFreqKey.c_str(), "5", hpFreq, 16},
        {"Setup2", hpFreqKey.c_str(), "nan", hpFreq, 16},
        {"Setup2", hpFreqKey.c_str(), "1e999", hpFreq, 20893},
        {"Setup2", hpFreqKey.c_str(), "-inf", hpFreq, 16},
        {"Setup2", hpFreqKey.c_str(), "abc", hpFreq, 16},
        {"Setup2", hpFreqKey.c_str(), "1234.56Hz", hpFreq, F(1234.56)},  // kept as read
        {"Setup2", "Channel3\\LowPass\\ON", "5", lpOn, 1},
        {"Setup2", "Channel3\\LowPass\\ON", "-1", lpOn, 1},
        {"Setup2", "Channel3\\LowPass\\ON", "abc", lpOn, 0},
        {"Setup2", "Channel3\\Levle\\LevelVal", "20", level, 16},
        {"Setup2", "Channel3\\Levle\\LevelVal", "-3", level, 0},
        {"Setup2", "Channel3\\Levle\\LevelVal", "7.9", level, 7},
        {"Setup2", "Channel3\\Delay\\Time", "25", delay, 20},
        {"Setup2", "Channel3\\Delay\\Time", "-1", delay, 0},
        {"Setup2", "Channel3\\Delay\\Time", "0.14", delay, F(0.14)},
        {"Setup2", "Channel3\\Delay\\Trim", "45", trim, 30},
        // A 32-character buffer keeps 31: "...0001".
        {"Setup2", "Channel3\\Delay\\Trim", "00000000000000000000000000000012", trim, 1},
        {"Setup2", "Channel3\\EQ\\CustomEQ1\\Gain", "-100", customGain, -24},
        {"Setup2", "Channel3\\EQ\\CustomEQ1\\Gain", "nan", customGain, 0},
        {"Setup2", "Channel3\\EQ\\CustomEQ1\\Q", "0", customQ, F(0.4)},
        {"Setup2", "Channel3\\EQ\\CustomEQ1\\Q", "100", customQ, 24},
        {"Setup2", "Channel3\\EQ\\CustomEQ1\\Bypass", "2", bypass, 1},
        {"Setup2", "Channel3\\EQ\\EQBand5\\Gain", "-100", bandGain, -15},
        {"Setup2", "Channel3\\EQ\\EQBand5\\Gain", "9", bandGain, 6},
        {"Setup2", "Channel3\\EQ\\EQBand5\\Freq", "0", bandFreq, 16},
        {"Setup2", "Channel3\\EQ\\EQBand5\\Freq", "99999", bandFreq, 20893},
        {"Setup2", "Channel3\\EQ\\EQBand5\\Freq", "100.7", bandFreq, 100},
    };
    for (const LimitCase& c : cases) {
        ParameterModel model = RichModel();
        const fs::path file = Put(
            "limit.dat", "[" + std::string(c.section) + "]\r\n" + c.key + "=" + c.text + "\r\n");
        ASSERT_TRUE(LoadPresetFile(model, file));
        EXPECT_EQ(c.field(model), c.expected) << c.section << " " << c.key << "=" << c.text;
    }
}

TEST_F(PresetFileTest, UnreadableFileLoadsNothing) {
    fs::create_directory(m_dir / "folder.dat");
    for (const fs::path& file : {m_dir / "missing.dat", m_dir / "folder.dat"}) {
        ParameterModel model = RichModel();
        EXPECT_FALSE(LoadPresetFile(model, file)) << file;
        ExpectSameModel(model, RichModel());
    }
}

TEST_F(PresetFileTest, UncreatableFileWritesNothingAndShowsNoProgress) {
    const std::string old = "[DSPModel]\r\nChannelNum=6\r\n";
    const fs::path existing = Put("keep.dat", old);
    fs::create_directory(m_dir / "folder.dat");
    const std::vector<std::string> before = FolderEntries();
    for (const fs::path& file :
         {m_dir / "missing" / "p.dat", existing / "p.dat", m_dir / "folder.dat"}) {
        std::vector<std::string> texts;
        EXPECT_FALSE(SavePresetFile(RichModel(), file, [&texts](const std::string& text) {
            texts.push_back(text);
        })) << file;
        EXPECT_TRUE(texts.empty()) << file;
    }
    EXPECT_EQ(FolderEntries(), before);
    EXPECT_EQ(Read(existing), old);
}

// A disk that fills half-way through a save: the file size limit stops the write after a few
// kilobytes (with SIGXFSZ ignored, write fails with EFBIG instead of killing the process). Run in
// a child, so the limit never reaches the test process.
TEST_F(PresetFileTest, SaveStoppedHalfWayKeepsTheOldFileWholeAndLeavesNoTemporary) {
    const std::string old = "[DSPModel]\r\nChannelNum=6\r\n";
    const fs::path file = Put("keep.dat", old);
    constexpr rlim_t kLimit = 4096;  // a preset is far larger
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
        bool completed = false;
        const bool saved = SavePresetFile(RichModel(), file, [&completed](const std::string& t) {
            completed = completed || t == "Save Completed";
        });
        ::_exit(saved ? 1 : completed ? 2 : 0);
    }
    // The child writes a few kilobytes; a hang is a failure, not a stuck test.
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    pid_t done = 0;
    while ((done = ::waitpid(child, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (done == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "the save did not end within 20 s";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: the save reported success, 2: it said \"Save Completed\", 3: no limit";
    EXPECT_EQ(Read(file), old);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"keep.dat"});

    // Without the limit the same save goes through.
    EXPECT_TRUE(SavePresetFile(RichModel(), file));
    EXPECT_GT(fs::file_size(file), kLimit);
}

TEST_F(PresetFileTest, RememberPresetPathOnlyInAnExistingSettingsFile) {
    const fs::path missing = m_dir / "InitFile.dat";
    EXPECT_FALSE(RememberPresetPath(missing, "INI\\Default.dat"));
    EXPECT_FALSE(fs::exists(missing));

    const fs::path settings = Put("InitFile.dat", "[OEM]\r\nTitle=Tuner\r\n");
    ASSERT_TRUE(RememberPresetPath(settings, "INI\\Default.dat"));
    ASSERT_TRUE(RememberPresetPath(settings, "/home/me/car 2.dat"));
    EXPECT_EQ(Read(settings), "[OEM]\r\nTitle=Tuner\r\n[FliePath]\r\nName=/home/me/car 2.dat\r\n");
    EXPECT_FALSE(RememberPresetPath(settings, "two\nlines"));
    EXPECT_EQ(ReadIniString(settings, "FliePath", "Name", ""), "/home/me/car 2.dat");
}

}  // namespace
}  // namespace vantrel
