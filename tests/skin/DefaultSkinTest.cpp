// The default skin drawn at build time (tools/MakeSkin.cpp): every section the windows read is
// there, and every picture it names exists and decodes.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/IniFile.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

const fs::path kDataDir = VANTREL_BUILD_DATA_DIR;

struct SectionGroup {
    const char* base;
    int count;  // 0: one section named `base` itself
};

// Every section of the main window, the spectrum window and the backgrounds.
constexpr SectionGroup kSections[] = {
    {"MainBkg", 0},        {"EqBkg", 0},           {"SpBkg", 0},
    {"LogoBtn", 0},        {"MuteBtn", 0},         {"EQLoadBtn", 0},
    {"HomeBtn", 0},        {"WiFiBtn", 0},         {"ExitBtn", 0},
    {"OpenBtn", 0},        {"ResetBtn", 0},        {"StoreBtn", 0},
    {"SaveBtn", 0},        {"SetupBtn", 4},        {"GroupBtn", 3},
    {"GroupCtlBtn", 6},    {"LevelMuteBtn", 3},    {"LevelLockBtn", 3},
    {"LevelPlusBtn", 3},   {"LevelReduceBtn", 3},  {"HighPlusBtn", 3},
    {"HighReduceBtn", 3},  {"LowPlusBtn", 3},      {"LowReduceBtn", 3},
    {"HighONBtn", 3},      {"LowONBtn", 3},        {"HighLockBtn", 3},
    {"LowLockBtn", 3},     {"TimeONBtn", 6},       {"High6dBBtn", 3},
    {"High12dBBtn", 3},    {"High24dBBtn", 3},     {"High36dBBtn", 3},
    {"High48dBBtn", 3},    {"Low6dBBtn", 3},       {"Low12dBBtn", 3},
    {"Low24dBBtn", 3},     {"Low36dBBtn", 3},      {"Low48dBBtn", 3},
    {"ClipLedStc", 3},     {"TimeLedStc", 6},      {"TimeDlyKnob", 6},
    {"TimeAtnKnob", 6},    {"EQLoad2Btn", 0},      {"BypassBtn", 0},
    {"ZoomBtn", 0},        {"CEQFcyKnob", 4},      {"CEQQKnob", 4},
    {"CustmEQFader", 4},   {"CustmEQGainEdt", 4},  {"CustmEQQEdt", 4},
    {"CustmEQFreqEdt", 4}, {"CEQPassBtn", 4},      {"CEQLedStc", 4},
    {"EqGroupBtn", 6},     {"EQMuteBtn", 6},       {"Eq2GroupBtn", 3},
    {"EQBack2Btn", 0},     {"EQBypassBtn", 0},     {"EQZoomBtn", 0},
    {"EQResetBtn", 0},     {"EQBandFader", 0},     {"ModelStc", 0},
    {"ChStc", 6},          {"SpChStc", 6},         {"EQSpChStc", 6},
    {"ChCBox", 6},         {"ChFLMkStc", 6},       {"ChHPFStc", 6},
    {"ChLPFStc", 6},       {"ChDLYStc", 6},        {"ChTRIMStc", 6},
    {"ChEQStc", 6},        {"Prompt1Stc", 0},      {"Prompt2Stc", 0},
    {"VoltageStc", 0},     {"TempStc", 0},         {"RunTimeStc", 0},
    {"LevelEdit", 3},      {"HighPassEdit", 3},    {"LowPassEdit", 3},
    {"DlyTimeEdt", 6},     {"DlyDisEdt", 6},       {"TrimEdt", 6},
    {"EQBandFreqEdt", 0},  {"EQBandGainEdt", 0},   {"CHLevelBar", 6},
    {"SpectrumCurve", 0},  {"EQSpectrumCurve", 0}, {"ZoomSpectrumCurve", 0},
    {"SpDispChStc", 6},
};

class DefaultSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        skin = IniDocument::Load(kDataDir / "PNGRes" / "Res.Pic");
        ASSERT_TRUE(skin.has_value()) << "run the vantrel_skin target first";
    }

    QImage Picture(const std::string& stored) const {
        return QImage(QString::fromStdString((kDataDir / PathFromStored(stored)).string()));
    }

    std::optional<IniDocument> skin;
};

TEST_F(DefaultSkinTest, HoldsEverySectionTheWindowsRead) {
    for (const SectionGroup& group : kSections) {
        const int count = group.count == 0 ? 1 : group.count;
        for (int i = 0; i < count; ++i) {
            const std::string name = group.count == 0 ? group.base : group.base + std::to_string(i);
            EXPECT_TRUE(skin->FindValue(name, "Left").has_value()) << name;
            const bool background = skin->FindValue(name, "FileName").has_value();
            EXPECT_TRUE(background || skin->GetInt(name, "Width", 0) > 0) << name;
        }
    }
    // The WiFi button's signal steps.
    for (int step = 0; step < 6; ++step) {
        EXPECT_TRUE(skin->FindValue("WiFiBtn", "STA_name" + std::to_string(step)).has_value())
            << step;
        EXPECT_TRUE(skin->FindValue("WiFiBtn", "ALT_name" + std::to_string(step)).has_value())
            << step;
    }
}

TEST_F(DefaultSkinTest, EveryNamedPictureDecodes) {
    int pictures = 0;
    for (const std::string& section : skin->SectionNames())
        for (const std::string& key : skin->KeyNames(section)) {
            if (key != "FileName" && key.rfind("STA_name", 0) != 0 && key.rfind("ALT_name", 0) != 0)
                continue;
            const std::string stored = skin->GetString(section, key, "");
            EXPECT_FALSE(Picture(stored).isNull()) << section << '.' << key << " = " << stored;
            ++pictures;
        }
    EXPECT_GT(pictures, 200);
}

TEST_F(DefaultSkinTest, KnobStripsHoldEveryFrame) {
    for (const std::string& section : skin->SectionNames()) {
        const long steps = skin->GetInt(section, "StepNum", -1);
        if (steps < 0) continue;
        const long height = skin->GetInt(section, "StepHeight", 0);
        const long centre = skin->GetInt(section, "FirstKHc", 0);
        EXPECT_GE(steps, 60) << section;
        EXPECT_EQ(skin->GetInt(section, "Height", 0), height) << section;
        for (const char* key : {"STA_name", "ALT_name"}) {
            const QImage strip = Picture(skin->GetString(section, key, ""));
            EXPECT_GE(strip.height(), centre + steps * height + height / 2)
                << section << '.' << key;
        }
    }
}

TEST_F(DefaultSkinTest, PagesFitALaptopScreenAndTheFileUsesCrlf) {
    const QImage main = Picture(skin->GetString("MainBkg", "FileName", ""));
    const QImage eq = Picture(skin->GetString("EqBkg", "FileName", ""));
    EXPECT_EQ(main.size(), eq.size());
    // The window adds 5 by 28 pixels of frame; a 1366 x 768 screen keeps room for a panel.
    EXPECT_LE(main.width() + 5, 1366);
    EXPECT_LE(main.height() + 28, 730);

    std::ifstream in(kDataDir / "PNGRes" / "Res.Pic", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
    }
}

}  // namespace
}  // namespace vantrel
