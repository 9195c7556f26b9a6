// The setup buttons, Store, Reset, reload, presets and the noise killer: what changes, what is
// asked, what the worker is given, and that only a store that succeeded counts as saved.
#include "support/EditorFixture.h"

#include <unistd.h>

#include <fstream>

#include "app/SetupEditor.h"
#include "app/TuneTools.h"
#include "link/WorkerMessages.h"
#include "model/PresetFile.h"

namespace vantrel {
namespace {

class SetupEditorTest : public test::EditorTest {
protected:
    bool OwnDataFolder() const override { return true; }
    void SetUp() override {
        test::EditorTest::SetUp();
        window->editorHooks.askYesNo = [this](const QString& text, const QString&) {
            questions.push_back(text);
            return answer;
        };
    }
    void FinishStore(std::uint32_t request, bool ok) {
        WindowMessage m;
        m.message = UM_STORE_FINISHED;
        m.lParam = static_cast<std::intptr_t>(request);
        m.success = ok;
        window->OnWorkerMessage(m);
    }
    // An edit as the user makes it: level plus on pair 1, sent at once.
    void Edit() { Click(K().LevelPlusBtn[0]); }

    std::vector<QString> questions;
    bool answer = false;
};

TEST_F(SetupEditorTest, SwitchingWithoutChangesAsksNothingAndEntersTheSetupUnmuted) {
    Click(K().SetupBtn[0]);  // the setup already shown
    EXPECT_EQ(K().SetupBtn[0]->GetCheck(), 1);
    EXPECT_TRUE(sink.loads.empty());

    Model().Setups[2].Channels[1].Mute = 1;
    Model().Setups[2].MasterMute = 1;
    Reshow();
    Click(K().SetupBtn[2]);
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(Model().CurrentSetupIndex, 2);
    EXPECT_EQ(K().SetupBtn[0]->GetCheck(), 0);
    EXPECT_EQ(sink.loads, std::vector<int>{2});
    EXPECT_EQ(Ch(1).Mute, 0);
    EXPECT_EQ(Word(InSetup(OutputGainOffset(1), 2)), 0x80000000u) << "the amplifier unmutes too";
}

TEST_F(SetupEditorTest, SwitchAnsweredNoDropsTheChangesEverywhere) {
    Edit();
    Click(K().EQMuteBtn[3]);
    ASSERT_TRUE(window->HasUnsavedChanges());
    answer = false;
    Click(K().SetupBtn[1]);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], SetupEditor::kSaveQuestion);
    EXPECT_EQ(Model().Setups[0].Channels[0].LevelVal, 1.0f);
    EXPECT_EQ(Model().Setups[0].Channels[3].Mute, 0);
    EXPECT_EQ(sink.reverts, 1);
    EXPECT_EQ(sink.loads, std::vector<int>{1});
    EXPECT_TRUE(sink.stores.empty());
    EXPECT_FALSE(window->HasUnsavedChanges());
}

TEST_F(SetupEditorTest, SwitchAnsweredYesStoresAndOnlySuccessCountsAsSaved) {
    Edit();
    answer = true;
    Click(K().SetupBtn[3]);
    ASSERT_EQ(sink.stores.size(), 1u);
    EXPECT_EQ(sink.stores[0].activate, 3);
    EXPECT_EQ(sink.stores[0].setups[0].Channels[0].LevelVal, 2.0f);
    EXPECT_TRUE(sink.loads.empty()) << "the store activates the setup";
    EXPECT_EQ(Model().CurrentSetupIndex, 3);

    // The store failed: the edit is still unsaved, and the amplifier still goes to setup 4.
    FinishStore(1, false);
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_EQ(sink.loads, std::vector<int>{3});

    Click(K().StoreBtn);
    ASSERT_EQ(sink.stores.size(), 2u);
    EXPECT_EQ(sink.stores[1].activate, 3);
    sink.stored = sink.image;  // what the worker does when the store succeeds
    FinishStore(2, true);
    EXPECT_FALSE(window->HasUnsavedChanges());
}

// While a store runs the worker reads the image: the stored setup never goes into it for A/B.
TEST_F(SetupEditorTest, ComparingWithTheStoredSetupWaitsForAStoreToFinish) {
    Edit();
    Click(K().StoreBtn);
    sink.posts.clear();
    window->Tools().ToggleCompare();
    EXPECT_FALSE(window->Tools().ComparingStored());
    EXPECT_TRUE(sink.posts.empty());

    sink.stored = sink.image;
    FinishStore(1, true);
    window->Tools().ToggleCompare();
    EXPECT_TRUE(window->Tools().ComparingStored());
    EXPECT_TRUE(sink.posts.empty()) << "the stored setup is the edits";
    Edit();  // goes onto the edits, which play
    EXPECT_FALSE(window->Tools().ComparingStored());
    EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}}));
}

TEST_F(SetupEditorTest, MarksAndOfflineEditsAreUnsavedChangesToo) {
    // A mark alone, with equal images, is asked about.
    K().ChCBox[1]->SetMark(4);
    window->OnControlMessage({UM_LIST_SELECTED, K().ChCBox[1]->Id(), K().ChCBox[1]->Id(), 0, {}});
    EXPECT_EQ(sink.image, sink.stored);
    EXPECT_TRUE(window->HasUnsavedChanges());
    Click(K().StoreBtn);
    FinishStore(1, true);
    EXPECT_FALSE(window->MarksChanged());

    // Offline the switch neither asks nor sends, but the edit is remembered as unsaved.
    sink.online = false;
    Edit();
    EXPECT_EQ(sink.image, sink.stored);
    EXPECT_TRUE(window->HasUnsavedChanges());
    Click(K().SetupBtn[1]);
    Click(K().StoreBtn);
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(sink.loads.empty());
    EXPECT_EQ(sink.stores.size(), 1u);
    EXPECT_EQ(Model().CurrentSetupIndex, 1);
}

TEST_F(SetupEditorTest, ResetAsksOverUnsavedWorkAndKeepsTheNoiseKiller) {
    Click(K().ExitBtn);  // noise killer on
    EXPECT_EQ(Model().ANS, 0);
    EXPECT_EQ(sink.noiseKillerPosts, std::vector<std::uint8_t>{0});
    Click(K().StoreBtn);
    FinishStore(1, true);
    Model().Setups[2].Channels[0].HighPassOn = 1;
    Edit();
    sink.posts.clear();

    answer = false;
    Click(K().ResetBtn);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(Model().Setups[2].Channels[0].HighPassOn, 1) << "No leaves everything";

    answer = true;
    Click(K().ResetBtn);
    EXPECT_EQ(Model().Setups[2].Channels[0].HighPassOn, 0) << "all four setups reset";
    EXPECT_EQ(Ch(0).LevelVal, 1.0f);
    EXPECT_EQ(Model().ANS, 0);
    EXPECT_EQ(K().ExitBtn->GetCheck(), 1);
    // The current setup whole, then the four levels.
    const auto params = sink.Params();
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0].offset, SetupImageOffset(0));
    EXPECT_EQ(params[0].length, kSetupImageSize);
    EXPECT_EQ(sink.Levels().size(), 4u);
}

TEST_F(SetupEditorTest, ReloadAsksAndLeavesTheTuneUntilTheAmplifiersArrives) {
    Click(K().WiFiBtn);
    EXPECT_EQ(sink.reloads, 1);
    EXPECT_TRUE(questions.empty());
    Edit();
    answer = false;
    Click(K().WiFiBtn);
    EXPECT_EQ(sink.reloads, 1);
    EXPECT_EQ(Ch(0).LevelVal, 2.0f);
    answer = true;
    Click(K().WiFiBtn);
    EXPECT_EQ(sink.reloads, 2);
    EXPECT_EQ(Ch(0).LevelVal, 2.0f) << "replaced only when the download arrives";
    sink.online = false;
    Click(K().WiFiBtn);
    EXPECT_EQ(sink.reloads, 2);
}

TEST_F(SetupEditorTest, PresetsSaveToNewFilesAndOpenBackWithTheAmplifiersShape) {
    const test::TempFolder folder("vantrel-setup-editor");
    const std::filesystem::path file = folder / "new.dat";
    const QString title = window->windowTitle();

    // A failed save says so and names nothing.
    window->editorHooks.choosePresetToSave = [&] { return folder / "missing" / "x.dat"; };
    Click(K().SaveBtn);
    EXPECT_EQ(K().Prompt2Stc->Text(), SetupEditor::kSaveFailed);
    EXPECT_EQ(window->windowTitle(), title);

    Ch(1).Trim = 7.5f;
    Ch(1).HighPassFreq = 1995.0f;
    Reshow();
    window->editorHooks.choosePresetToSave = [&] { return file; };
    Click(K().SaveBtn);
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(window->windowTitle().endsWith(QString::fromStdString(file.string())));

    // Changed, then opened back: the tune returns, the current setup goes to the amplifier, and
    // the amplifier's channel count stays.
    Ch(1).Trim = 0.0f;
    Model().ChannelNum = 2;
    Reshow();
    window->editorHooks.choosePresetToOpen = [&] { return file; };
    Click(K().OpenBtn);
    EXPECT_EQ(Ch(1).Trim, 7.5f);
    EXPECT_EQ(Ch(1).HighPassFreq, 1995.0f);
    EXPECT_EQ(Model().ChannelNum, 2);
    ASSERT_EQ(sink.Params().size(), 1u);
    EXPECT_EQ(sink.Params()[0].length, kSetupImageSize);
    EXPECT_TRUE(window->HasUnsavedChanges());

    // A file that cannot be read changes nothing.
    window->editorHooks.choosePresetToOpen = [&] { return folder / "absent.dat"; };
    Click(K().OpenBtn);
    EXPECT_EQ(K().Prompt2Stc->Text(), SetupEditor::kOpenFailed);
    EXPECT_EQ(Ch(1).Trim, 7.5f);
}

}  // namespace
}  // namespace vantrel
