// What the window says at start about the preset its settings remember.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "app/VantrelDlg.h"
#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "model/PresetFile.h"
#include "platform/Settings.h"
#include "support/TempFolder.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Vantrel DSP Tuner";  // OEM/Title of the shipped settings

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path built = VANTREL_BUILD_DATA_DIR;
        // The build makes the skin: without it the build is broken, not the test inapplicable.
        ASSERT_TRUE(fs::exists(built / "PNGRes" / "Res.Pic")) << "no skin in " << built;
        // The window reads the settings of a data folder of its own.
        fs::copy(built, m_data.Path(), fs::copy_options::recursive);
    }
    void TearDown() override { SetPictureFolder({}); }

    std::unique_ptr<VantrelDlg> OpenWindow() {
        WindowOptions options;
        options.connect = false;
        return std::make_unique<VantrelDlg>(m_data.Path(), options);
    }

    test::TempFolder m_data{"vantrel-startup"};
};

TEST_F(StartupTest, TitleNamesOnlyAPresetThatLoadedAndThePromptSaysWhenNone) {
    enum class Make { Nothing, Folder, Preset };
    struct Case {
        const char* remembered;  // FliePath/Name, as stored
        Make make;
        bool loads;
        bool complains;
    } cases[] = {
        {"INI\\Tune.dat", Make::Preset, true, false},
        {"INI\\Missing.dat", Make::Nothing, false, true},
        // A folder opens for reading on this system but holds no preset.
        {"INI\\Folder.dat", Make::Folder, false, true},
        {"INI\\Default.dat", Make::Folder, false, true},
        // A first start without any saved preset is nothing to report.
        {"INI\\Default.dat", Make::Nothing, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remembered);
        const fs::path file = m_data.Path() / PathFromStored(c.remembered);
        fs::remove_all(file);
        ParameterModel tune;
        InitSetups(tune);
        tune.Setups[0].Channels[0].HighPassFreq = 1000.0f;
        if (c.make == Make::Preset) {
            ASSERT_TRUE(SavePresetFile(tune, file));
        }
        if (c.make == Make::Folder) fs::create_directories(file);
        ASSERT_TRUE(RememberPresetPath(SettingsFilePath(m_data.Path()), c.remembered));

        const auto window = OpenWindow();
        const QString remembered = QString::fromUtf8(c.remembered);
        EXPECT_EQ(window->windowTitle(),
                  c.loads ? QString(kTitle) + "  " + remembered : QString(kTitle));
        EXPECT_EQ(window->Model().Setups[0].Channels[0].HighPassFreq == 1000.0f, c.loads);
        const QString prompt = window->Controls().Prompt2Stc->Text();
        if (c.complains) {
            EXPECT_TRUE(prompt.contains(remembered)) << prompt.toStdString();
        } else {
            EXPECT_TRUE(prompt.isEmpty()) << prompt.toStdString();
        }
        fs::remove_all(file);
    }
}

}  // namespace
}  // namespace vantrel
