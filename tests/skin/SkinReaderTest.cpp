#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <climits>
#include <fstream>

#include "skin/SkinReader.h"

namespace vantrel {
namespace {

SkinReader ParseSkin(std::string_view text) { return SkinReader(IniDocument::Parse(text)); }

TEST(SkinReaderTest, IntegersReadAsShortTextConvertedLikeWcstol) {
    const SkinReader skin = ParseSkin(
        "[LogoBtn]\r\n"
        "Left=12abc\r\n"
        "Top=abc\r\n"
        "Width=  -7  \r\n"
        "Height=+5\r\n"
        "StepNum=00000000000000000000000000000123\r\n"  // 32 characters: only 31 are read
        "StepHeight=99999999999\r\n"
        "FirstKHc=\r\n");
    struct Case {
        const char* section;
        const char* key;
        int expected;
    };
    const Case cases[] = {
        {"LogoBtn", "Left", 12},    {"LogoBtn", "Top", 0},      {"LogoBtn", "Width", -7},
        {"LogoBtn", "Height", 5},   {"LogoBtn", "StepNum", 12}, {"LogoBtn", "StepHeight", INT_MAX},
        {"LogoBtn", "FirstKHc", 0}, {"LOGOBTN", "left", 12},  // names match without regard to case
        {"LogoBtn", "ValMul", 0},                             // missing key
        {"MuteBtn", "Left", 0},                               // missing section
    };
    for (const Case& c : cases) {
        EXPECT_EQ(skin.ReadSkinInt(c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
}

TEST(SkinReaderTest, RealsFallBackOnTheirOwnDefaults) {
    const SkinReader skin = ParseSkin(
        "[SpectrumCurve]\n"
        "ValLeft=20\n"
        "valtop=-30.5dB\n"
        "ValRigth=abc\n");
    EXPECT_FLOAT_EQ(skin.ReadSkinFloat("spectrumcurve", "ValLeft"), 20.0f);
    EXPECT_FLOAT_EQ(skin.ReadSkinFloat("SpectrumCurve", "ValTop"), -30.5f);
    EXPECT_FLOAT_EQ(skin.ReadSkinFloat("SpectrumCurve", "ValRigth"), 0.0f);
    EXPECT_FLOAT_EQ(skin.ReadSkinFloat("SpectrumCurve", "ValBottom"), 9.0f);

    const SkinReader empty;
    EXPECT_FLOAT_EQ(empty.ReadSkinFloat("EQSpectrumCurve", "ValLeft"), 12.6f);
    EXPECT_FLOAT_EQ(empty.ReadSkinFloat("EQSpectrumCurve", "ValTop"), -27.0f);
    EXPECT_FLOAT_EQ(empty.ReadSkinFloat("EQSpectrumCurve", "ValRigth"), 25119.0f);
    EXPECT_FLOAT_EQ(empty.ReadSkinFloat("EQSpectrumCurve", "ValBottom"), 9.0f);
    EXPECT_FLOAT_EQ(empty.ReadSkinFloat("EQSpectrumCurve", "ValRight"), 0.0f);
}

TEST(SkinReaderTest, TextsAreCutTo255CharactersAndDefaultEmpty) {
    const std::string longName(300, 'x');
    const SkinReader skin = ParseSkin("[ModelStc]\nFontName=" + longName + "\nSTA_name= a b \n");
    EXPECT_EQ(skin.ReadSkinString("ModelStc", "FontName"), QString(255, 'x'));
    EXPECT_EQ(skin.ReadSkinString("ModelStc", "STA_name"), "a b");
    EXPECT_EQ(skin.ReadSkinString("ModelStc", "ALT_name"), "");
}

TEST(SkinReaderTest, ColourComponentsKeepTheirLowEightBits) {
    const SkinReader skin = ParseSkin(
        "[ModelStc]\nFontCollorR=300\nFontCollorG=-1\nFontCollorB=256\n"
        "[CHLevelBar0]\nCollorR=12\nCollorG=34abc\n");
    EXPECT_EQ(skin.ReadSkinColor("ModelStc", "FontCollorR", "FontCollorG", "FontCollorB"),
              QColor(44, 255, 0));
    EXPECT_EQ(skin.ReadSkinColor("CHLevelBar0", "CollorR", "CollorG", "CollorB"),
              QColor(12, 34, 0));
}

TEST(SkinReaderTest, BackgroundsAndAMissingFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path folder = dir.path().toStdString();
    std::filesystem::create_directory(folder / "PNGRes");
    std::ofstream(folder / "PNGRes" / "Res.Pic")
        << "[MainBkg]\r\nFileName=PNGRes\\main.png\r\nLeft=3\r\nTop=4\r\n"
           "[EQBKG]\r\nfilename=PNGRes\\eq.png\r\n"
           "[SpBkg]\r\nFileName=sp.png\r\nTop=-2\r\n";
    const SkinReader skin = SkinReader::LoadFromDataFolder(folder);
    ASSERT_TRUE(skin.HasFile());
    const SkinBackgrounds backgrounds = LoadSkinBackgrounds(skin);
    EXPECT_EQ(backgrounds.main.fileName, "PNGRes\\main.png");
    EXPECT_EQ(backgrounds.main.left, 3);
    EXPECT_EQ(backgrounds.main.top, 4);
    EXPECT_EQ(backgrounds.eq.fileName, "PNGRes\\eq.png");
    EXPECT_EQ(backgrounds.eq.left, 0);
    EXPECT_EQ(backgrounds.spectrum.fileName, "sp.png");
    EXPECT_EQ(backgrounds.spectrum.top, -2);

    const SkinReader missing = SkinReader::LoadFromDataFolder(folder / "nowhere");
    EXPECT_FALSE(missing.HasFile());
    EXPECT_EQ(missing.ReadSkinInt("MainBkg", "Left"), 0);
    EXPECT_EQ(missing.ReadSkinString("MainBkg", "FileName"), "");
    EXPECT_EQ(LoadSkinBackgrounds(missing).main.fileName, "");
}

}  // namespace
}  // namespace vantrel
