// The right-click menu of the setup and channel buttons: what it offers, what Copy, Paste and
// Reset do to the model, and what reaches the amplifier afterwards.
#include "support/EditorFixture.h"

#include <algorithm>
#include <optional>

#include "app/MenuEditor.h"

namespace vantrel {
namespace {

constexpr int kReset = MenuEditor::kResetCommand;
constexpr int kCopy = MenuEditor::kCopyCommand;
constexpr int kPaste = MenuEditor::kPasteCommand;

enum class Btn { Setup, Channel, Eq };

struct Clicked {
    std::vector<MenuItem> items;
    QPoint at;
    QPoint pressedAt;
};

class MenuEditorTest : public test::EditorTest {
protected:
    CGdipButton* Button(Btn kind, int i) {
        const auto at = static_cast<std::size_t>(i);
        switch (kind) {
            case Btn::Setup:
                return K().SetupBtn[at];
            case Btn::Channel:
                window->ShowMainPage();
                return K().GroupCtlBtn[at];
            case Btn::Eq:
                window->ShowEqPage();
                return K().EqGroupBtn[at];
        }
        return nullptr;
    }

    // A right-button press on the button; the menu it opens is answered with `command` (0: the
    // menu was dismissed). `whileOpen` runs while the menu is up.
    Clicked RightClick(Btn kind, int i, int command, const std::function<void()>& whileOpen = {}) {
        CGdipButton* button = Button(kind, i);
        Clicked clicked;
        clicked.pressedAt = button->mapToGlobal(button->rect().center());
        window->editorHooks.popupMenu = [&](const std::vector<MenuItem>& items, QPoint at) {
            clicked.items = items;
            clicked.at = at;
            if (whileOpen) whileOpen();
            return command;
        };
        QTest::mousePress(button, Qt::RightButton, {}, button->rect().center());
        QTest::mouseRelease(button, Qt::RightButton, {}, button->rect().center());
        window->editorHooks.popupMenu = nullptr;
        return clicked;
    }

    void SwitchTo(int setup) {
        Model().CurrentSetupIndex = setup;
        Reshow();
    }

    // The one parameter post is the whole image of `setup`, and every setup's image follows the
    // model.
    void ExpectSetupImageSent(int setup) {
        DeviceImage expected = sink.image;
        for (int s = 0; s < kSetupCount; ++s) RebuildSetupImage(expected, Model(), s);
        EXPECT_TRUE(expected == sink.image) << "an image is behind the model";
        const auto params = sink.Params();
        ASSERT_EQ(params.size(), 1u);
        EXPECT_EQ(params[0].offset, SetupImageOffset(setup));
        EXPECT_EQ(params[0].length, kSetupImageSize);
        const auto first = expected.begin() + static_cast<std::ptrdiff_t>(SetupImageOffset(setup));
        EXPECT_TRUE(std::equal(params[0].bytes.begin(), params[0].bytes.end(), first));
    }

    SetupRecord& Setup(int s) { return Model().Setups[static_cast<std::size_t>(s)]; }
};

TEST_F(MenuEditorTest, MenuTextsAndEnablingFollowTheClipboardAndTheCurrentSetup) {
    struct Row {
        std::optional<std::pair<Btn, int>> copyFirst;  // copied through the menu before the row
        int current;
        Btn kind;
        int index;
        const char* reset;
        bool resetOn;
        const char* copy;
        const char* paste;
        bool pasteOn;
    };
    const std::vector<Row> rows = {
        // Nothing copied yet.
        {{}, 0, Btn::Setup, 0, "Reset Setup 1", true, "Copy Setup 1", "Paste", false},
        {{}, 0, Btn::Setup, 1, "Reset", false, "Copy Setup 2", "Paste", false},
        {{}, 0, Btn::Channel, 2, "Reset Channel 3", true, "Copy Channel 3", "Paste", false},
        {{}, 0, Btn::Eq, 3, "Reset Channel 4", true, "Copy Channel 4", "Paste", false},
        // Setup 2 copied: pasted only onto the current setup, never onto itself.
        {{{Btn::Setup, 1}}, 2, Btn::Setup, 2, "Reset Setup 3", true, "Copy Setup 3",
         "Paste Setup 2 to 3", true},
        {{}, 2, Btn::Setup, 3, "Reset", false, "Copy Setup 4", "Paste", false},
        {{}, 1, Btn::Setup, 1, "Reset Setup 2", true, "Copy Setup 2", "Paste", false},
        {{}, 0, Btn::Channel, 0, "Reset Channel 1", true, "Copy Channel 1", "Paste", false},
        // Channel 1 copied on the main page: not onto itself, not through the EQ page.
        {{{Btn::Channel, 0}}, 0, Btn::Channel, 2, "Reset Channel 3", true, "Copy Channel 3",
         "Paste Channel 1 to 3", true},
        {{}, 0, Btn::Channel, 0, "Reset Channel 1", true, "Copy Channel 1", "Paste", false},
        {{}, 0, Btn::Eq, 2, "Reset Channel 3", true, "Copy Channel 3", "Paste", false},
        {{}, 0, Btn::Setup, 0, "Reset Setup 1", true, "Copy Setup 1", "Paste", false},
        // EQ of channel 2 copied: only through the EQ page.
        {{{Btn::Eq, 1}}, 0, Btn::Eq, 0, "Reset Channel 1", true, "Copy Channel 1",
         "Paste Channel 2 to 1", true},
        {{}, 0, Btn::Channel, 0, "Reset Channel 1", true, "Copy Channel 1", "Paste", false},
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        SCOPED_TRACE(testing::Message() << "row " << r);
        if (row.copyFirst) RightClick(row.copyFirst->first, row.copyFirst->second, kCopy);
        SwitchTo(row.current);
        const Clicked menu = RightClick(row.kind, row.index, 0);
        ASSERT_EQ(menu.items.size(), 3u);
        EXPECT_EQ(menu.at, menu.pressedAt + QPoint(0, 10));
        const std::vector<int> commands = {menu.items[0].command, menu.items[1].command,
                                           menu.items[2].command};
        EXPECT_EQ(commands, (std::vector<int>{kReset, kCopy, kPaste}));
        EXPECT_EQ(menu.items[0].text, row.reset);
        EXPECT_EQ(menu.items[0].enabled, row.resetOn);
        EXPECT_EQ(menu.items[1].text, row.copy);
        EXPECT_TRUE(menu.items[1].enabled);
        EXPECT_EQ(menu.items[2].text, row.paste);
        EXPECT_EQ(menu.items[2].enabled, row.pasteOn);
        EXPECT_TRUE(sink.posts.empty());
    }
}

TEST_F(MenuEditorTest, PasteSetupCopiesTheWholeSetupAsItStandsWhenPasted) {
    RightClick(Btn::Setup, 1, kCopy);
    // Changed after the copy: the paste reads the source now.
    Setup(1).GroupFlag = 0x1F;
    Setup(1).GroupEQFlag = 0x0C;
    Setup(1).Channels[0].HighPassOn = 1;
    Setup(1).Channels[0].HighPassFreq = 2000.0f;
    Setup(1).Channels[1].LevelVal = 9.0f;
    Setup(1).Channels[3].CustomEQ[2].Gain = 5.0f;
    Setup(1).Channels[5].Trim = 7.0f;  // beyond the four channels in use, copied all the same
    SwitchTo(2);
    Setup(3).Channels[0].HighPassOn = 1;  // changed while offline: its image is behind
    Setup(3).Channels[0].HighPassFreq = 300.0f;

    RightClick(Btn::Setup, 2, kPaste);
    EXPECT_EQ(Setup(2).GroupFlag, 0x1F);
    EXPECT_EQ(Setup(2).GroupEQFlag, 0x0C);
    EXPECT_EQ(Setup(2).Channels[0].HighPassFreq, 2000.0f);
    EXPECT_EQ(Setup(2).Channels[1].LevelVal, 9.0f);
    EXPECT_EQ(Setup(2).Channels[3].CustomEQ[2].Gain, 5.0f);
    EXPECT_EQ(Setup(2).Channels[5].Trim, 7.0f);
    EXPECT_EQ(Setup(3).Channels[0].HighPassFreq, 300.0f) << "other setups stay";
    EXPECT_EQ(Setup(1).Channels[0].HighPassFreq, 2000.0f) << "the source stays";
    const auto source = SetupImageOf(sink.image, 1);
    const auto target = SetupImageOf(sink.image, 2);
    ASSERT_TRUE(source && target);
    EXPECT_TRUE(std::equal(source->begin(), source->end(), target->begin()));
    ExpectSetupImageSent(2);
    // The levels travel outside the setup image.
    EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{0, 1}, {1, 9}, {2, 1}, {3, 1}}));
}

TEST_F(MenuEditorTest, PasteChannelCopiesTheStripOntoTheTargetAndItsLinkedPartner) {
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "pair linked" : "pair not linked");
        InitSetups(Model());
        Model().CurrentSetup().GroupFlag = linked ? 0x1D : 0x15;
        Ch(3).CustomEQ[0].Gain = -4.0f;
        Reshow();
        RightClick(Btn::Channel, 0, kCopy);
        Ch(0).HighPassOn = 1;
        Ch(0).HighPassFreq = 180.0f;
        Ch(0).LevelVal = 11.0f;
        Ch(0).LevelLock = 1;
        Ch(0).DelayOn = 1;
        Ch(0).DelayTime = 3.0f;
        Ch(0).CustomEQ[0].Gain = 6.0f;

        RightClick(Btn::Channel, 2, kPaste);
        EXPECT_EQ(Ch(2).HighPassFreq, 180.0f);
        EXPECT_EQ(Ch(2).DelayTime, 3.0f) << "with the delay section";
        EXPECT_EQ(Ch(2).CustomEQ[0].Gain, 0.0f) << "the EQ is not part of the strip";
        EXPECT_EQ(Ch(3).LevelVal, 11.0f) << "the level belongs to the pair";
        EXPECT_EQ(Ch(3).LevelLock, 1);
        EXPECT_EQ(Ch(3).HighPassFreq, linked ? 180.0f : 50.0f);
        EXPECT_EQ(Ch(3).CustomEQ[0].Gain, -4.0f);
        EXPECT_EQ(K().HighPassEdit[1]->Text(), QString("180 Hz")) << "redisplayed";
        ExpectSetupImageSent(0);
        EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{2, 11}, {3, 11}}));
    }
}

TEST_F(MenuEditorTest, PasteChannelReadsTheSourceInTheCurrentSetup) {
    Setup(0).Channels[0].HighPassFreq = 180.0f;
    Setup(1).Channels[0].HighPassFreq = 900.0f;
    Reshow();
    RightClick(Btn::Channel, 0, kCopy);
    SwitchTo(1);
    RightClick(Btn::Channel, 2, kPaste);
    EXPECT_EQ(Setup(1).Channels[2].HighPassFreq, 900.0f);
    EXPECT_EQ(Setup(0).Channels[2].HighPassFreq, 50.0f);
    ExpectSetupImageSent(1);
}

TEST_F(MenuEditorTest, PasteEqCopiesTheEqOntoTheTargetAndItsLinkedPartner) {
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "EQ pair linked" : "EQ pair not linked");
        InitSetups(Model());
        Model().CurrentSetup().GroupEQFlag = linked ? 0x0C : 0x04;
        Ch(3).HighPassFreq = 70.0f;
        Reshow();
        RightClick(Btn::Eq, 1, kCopy);
        Ch(1).CustomEQ[2] = EqPoint{250.0f, -6.0f, 2.0f, 1};
        Ch(1).EQBand[5].Gain = 3.0f;
        Ch(1).LevelVal = 9.0f;

        RightClick(Btn::Eq, 2, kPaste);
        EXPECT_EQ(Ch(2).CustomEQ[2].Freq, 250.0f);
        EXPECT_EQ(Ch(2).CustomEQ[2].Bypass, 1);
        EXPECT_EQ(Ch(2).EQBand[5].Gain, 3.0f);
        EXPECT_EQ(Ch(2).LevelVal, 1.0f) << "the strip is not part of the EQ";
        EXPECT_EQ(Ch(3).EQBand[5].Gain, linked ? 3.0f : 0.0f);
        EXPECT_EQ(Ch(3).HighPassFreq, 70.0f);
        ExpectSetupImageSent(0);
        EXPECT_TRUE(sink.Levels().empty());
    }
}

TEST_F(MenuEditorTest, ResetChannelResetsItsPairWhenLinkedOrInTheBassMode) {
    struct Row {
        int mode;
        bool linked;
        bool partnerReset;
    };
    for (const Row row : {Row{0, false, false}, Row{0, true, true}, Row{2, false, true},
                          Row{2, true, true}}) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << (row.linked ? " linked" : ""));
        InitSetups(Model());
        Model().Mode = static_cast<std::uint8_t>(row.mode);
        Model().CurrentSetup().GroupFlag = row.linked ? 0x1D : 0x15;
        for (const int c : {2, 3}) {
            Ch(c).HighPassOn = 1;
            Ch(c).HighPassFreq = 500.0f;
            Ch(c).LevelVal = 12.0f;
            Ch(c).Mute = 1;
            Ch(c).DelayTime = 2.0f;
            Ch(c).CustomEQ[0].Gain = 5.0f;
        }
        Reshow();

        RightClick(Btn::Channel, 2, kReset);
        const float lowPass = row.mode == 2 ? 302.0f : 10000.0f;
        const int lowSlope = row.mode == 2 ? 48 : 6;
        EXPECT_EQ(Ch(2).HighPassOn, 0);
        EXPECT_EQ(Ch(2).HighPassFreq, 50.0f);
        EXPECT_EQ(Ch(2).LowPassFreq, lowPass);
        EXPECT_EQ(Ch(2).LowPassSlope, lowSlope);
        EXPECT_EQ(Ch(2).Mute, 0);
        EXPECT_EQ(Ch(2).CustomEQ[0].Gain, 5.0f) << "the EQ stays";
        EXPECT_EQ(Ch(3).LevelVal, 1.0f) << "the level belongs to the pair";
        EXPECT_EQ(Ch(3).HighPassFreq, row.partnerReset ? 50.0f : 500.0f);
        EXPECT_EQ(Ch(3).LowPassFreq, row.partnerReset ? lowPass : 10000.0f);
        EXPECT_EQ(Ch(3).LowPassOn, row.partnerReset && row.mode == 2 ? 1 : 0);
        EXPECT_EQ(Ch(3).Mute, row.partnerReset ? 0 : 1);
        ExpectSetupImageSent(0);
        EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{2, 1}, {3, 1}}));
    }
}

TEST_F(MenuEditorTest, ResetEqUnmutesAndResetsThePartnerInTheBassMode) {
    for (const int mode : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        InitSetups(Model());
        Model().Mode = static_cast<std::uint8_t>(mode);
        Model().CurrentSetup().GroupEQFlag = 0x04;
        for (const int c : {2, 3}) {
            Ch(c).Mute = 1;
            Ch(c).EQBypass = 1;
            Ch(c).CustomEQ[1] = EqPoint{250.0f, -6.0f, 2.0f, 1};
            Ch(c).EQBand[5].Gain = 3.0f;
            Ch(c).HighPassFreq = 500.0f;
        }
        Reshow();

        RightClick(Btn::Eq, 2, kReset);
        const float pointFreq = mode == 2 ? 100.0f : 1000.0f;
        EXPECT_EQ(Ch(2).Mute, 0);
        EXPECT_EQ(Ch(2).EQBypass, 0);
        EXPECT_EQ(Ch(2).CustomEQ[1].Freq, pointFreq);
        EXPECT_EQ(Ch(2).CustomEQ[1].Gain, 0.0f);
        EXPECT_EQ(Ch(2).CustomEQ[1].Bypass, 1) << "point bypass stays";
        EXPECT_EQ(Ch(2).EQBand[5].Gain, 0.0f);
        EXPECT_EQ(Ch(2).HighPassFreq, 500.0f) << "the strip stays";
        EXPECT_EQ(Ch(3).Mute, mode == 2 ? 0 : 1);
        EXPECT_EQ(Ch(3).EQBand[5].Gain, mode == 2 ? 0.0f : 3.0f);
        ExpectSetupImageSent(0);
        EXPECT_TRUE(sink.Levels().empty());
    }
}

TEST_F(MenuEditorTest, ResetSetupResetsOnlyTheCurrentSetup) {
    for (const int s : {0, 1}) {
        Setup(s).GroupFlag = 0x1F;
        Setup(s).Channels[1].LevelVal = 9.0f;
        Setup(s).Channels[2].CustomEQ[0].Gain = 4.0f;
    }
    Model().ANS = 0;
    SwitchTo(1);
    ASSERT_EQ(K().ExitBtn->GetCheck(), 1);

    RightClick(Btn::Setup, 1, kReset);
    EXPECT_EQ(Model().ANS, 0) << "the noise killer stays as the user set it";
    EXPECT_EQ(K().ExitBtn->GetCheck(), 1);
    EXPECT_TRUE(sink.noiseKillerPosts.empty());
    EXPECT_EQ(Setup(1).GroupFlag, 0x15);
    EXPECT_EQ(Setup(1).Channels[1].LevelVal, 1.0f);
    EXPECT_EQ(Setup(1).Channels[2].CustomEQ[0].Gain, 0.0f);
    EXPECT_EQ(Setup(0).Channels[1].LevelVal, 9.0f);
    EXPECT_EQ(Setup(0).Channels[2].CustomEQ[0].Gain, 4.0f);
    ExpectSetupImageSent(1);
    EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
}

TEST_F(MenuEditorTest, OfflinePasteAndResetChangeTheModelAndSendNothing) {
    sink.online = false;
    const DeviceImage before = sink.image;
    RightClick(Btn::Channel, 0, kCopy);
    Ch(0).HighPassFreq = 180.0f;
    RightClick(Btn::Channel, 2, kPaste);
    EXPECT_EQ(Ch(2).HighPassFreq, 180.0f);
    EXPECT_EQ(K().HighPassEdit[1]->Text(), QString("180 Hz"));
    RightClick(Btn::Eq, 1, kReset);
    RightClick(Btn::Setup, 0, kReset);
    EXPECT_EQ(Ch(2).HighPassFreq, 50.0f);
    EXPECT_TRUE(sink.posts.empty());
    EXPECT_TRUE(before == sink.image);
}

TEST_F(MenuEditorTest, AGreyedOrDismissedChoiceDoesNothing) {
    Setup(1).Channels[0].HighPassFreq = 700.0f;
    Ch(0).HighPassFreq = 180.0f;
    Reshow();
    RightClick(Btn::Setup, 1, kReset);    // not the current setup
    RightClick(Btn::Channel, 2, kPaste);  // nothing copied
    RightClick(Btn::Channel, 0, 0);       // dismissed
    RightClick(Btn::Channel, 2, kPaste);  // still nothing copied
    EXPECT_EQ(Setup(1).Channels[0].HighPassFreq, 700.0f);
    EXPECT_EQ(Ch(2).HighPassFreq, 50.0f);

    // Setup 2 copied, setup 1 current when the menu opens, setup 4 current when Paste is chosen:
    // neither setup is overwritten.
    RightClick(Btn::Setup, 1, kCopy);
    RightClick(Btn::Setup, 0, kPaste, [this] { Model().CurrentSetupIndex = 3; });
    EXPECT_EQ(Setup(0).Channels[0].HighPassFreq, 180.0f);
    EXPECT_EQ(Setup(3).Channels[0].HighPassFreq, 50.0f);
    EXPECT_TRUE(sink.posts.empty());
}

}  // namespace
}  // namespace vantrel
