// The pair strips and channel columns: which channels an edit reaches, what it shows and what
// it hands to the worker.
#include "support/EditorFixture.h"

#include "controls/CProgressBar.h"
#include "model/Scales.h"
#include "support/Hex.h"

namespace vantrel {
namespace {

class StripEditorTest : public test::EditorTest {
protected:
    std::uint8_t GroupFlag() { return Model().CurrentSetup().GroupFlag; }
};

TEST_F(StripEditorTest, LinkingCopiesTheSelectedChannelAndSendsTheCopy) {
    // Pair 1 unlinked with channel 2 selected; channel 2 carries a strip channel 1 lacks.
    Model().CurrentSetup().GroupFlag = 0x16;  // pair 1: channel 2; pairs 2, 3: first channel
    Ch(1).HighPassOn = 1;
    Ch(1).HighPassFreq = 2000.0f;
    Ch(1).LevelVal = 12.0f;
    Ch(1).Mute = 1;
    Ch(0).DelayOn = 1;
    Ch(0).DelayTime = 4.0f;
    Ch(1).DelayTime = 1.0f;
    Reshow();
    ASSERT_EQ(K().GroupCtlBtn[1]->GetCheck(), 1);

    Click(K().GroupBtn[0]);
    EXPECT_EQ(GroupFlag() & 3, 3);
    EXPECT_EQ(Ch(0).HighPassFreq, 2000.0f);
    EXPECT_EQ(Ch(0).LevelVal, 12.0f);
    EXPECT_EQ(Ch(0).Mute, 1);
    EXPECT_EQ(Ch(0).DelayTime, 4.0f) << "the delay section is not part of the strip";
    EXPECT_EQ(K().GroupCtlBtn[0]->GetCheck(), 1);
    EXPECT_EQ(K().GroupCtlBtn[1]->GetCheck(), 1);
    // Channel 1's copy: gain, high-pass, low-pass, level, then delay and gain (its section is on).
    const std::size_t s = SetupImageOffset(0);
    EXPECT_EQ(sink.ParamOffsets(),
              (std::vector<std::size_t>{s + OutputGainOffset(0), s + HighPassOffset(0),
                                        s + LowPassOffset(0), s + kDelayAreaOffset,
                                        s + OutputGainOffset(0)}));
    EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{0, 12}}));
    EXPECT_EQ(Word(InSetup(OutputGainOffset(0))), 0u) << "muted";
    for (const auto& p : sink.Params()) {
        EXPECT_EQ(p.bytes, std::vector<std::uint8_t>(sink.image.begin() + p.offset,
                                                     sink.image.begin() + p.offset + p.length));
    }

    // Unlinking selects the first channel and sends nothing.
    sink.posts.clear();
    Click(K().GroupBtn[0]);
    EXPECT_EQ(GroupFlag() & 3, 1);
    EXPECT_EQ(K().GroupCtlBtn[0]->GetCheck(), 1);
    EXPECT_EQ(K().GroupCtlBtn[1]->GetCheck(), 0);
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(StripEditorTest, ChannelSelectCannotDeselectAndUnlinks) {
    const ParameterModel before = Model();
    Click(K().GroupCtlBtn[0]);  // already selected
    EXPECT_EQ(K().GroupCtlBtn[0]->GetCheck(), 1);
    EXPECT_EQ(GroupFlag(), before.CurrentSetup().GroupFlag);

    Model().CurrentSetup().GroupFlag = 0x1F;  // pair 2 linked
    Reshow();
    Click(K().GroupCtlBtn[3]);
    EXPECT_EQ(GroupFlag() & 0x0C, 0x08);
    EXPECT_EQ(K().GroupBtn[1]->GetCheck(), 0);
    EXPECT_EQ(K().GroupCtlBtn[2]->GetCheck(), 0);
    EXPECT_EQ(Model().CurrentSetup().GroupEQFlag, 0x08) << "the EQ page follows the pair edited";
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(StripEditorTest, OneChannelModelKeepsItsPairLinked) {
    Model().ChannelNum = 1;
    Reshow();
    Click(K().GroupBtn[0]);
    Click(K().GroupCtlBtn[1]);
    EXPECT_EQ(K().GroupBtn[0]->GetCheck(), 1);
    EXPECT_EQ(K().GroupCtlBtn[0]->GetCheck(), 1);
    EXPECT_EQ(K().GroupCtlBtn[1]->GetCheck(), 1);
    EXPECT_EQ(GroupFlag() & 3, 3);
    EXPECT_TRUE(K().LowONBtn[0]->IsDisabled());
}

TEST_F(StripEditorTest, LevelStepsMoveThePairAndAlwaysPostBothLevels) {
    struct Case {
        float start;
        bool plus;
        float want;
        const char* shown;
    };
    const Case cases[] = {
        {8, true, 9, "56.25 %"}, {8, false, 7, "43.75 %"},
        {16, true, 16, "100.00 %"}, {0, false, 0, "0.00 %"},
    };
    for (const Case& c : cases) {
        Ch(2).LevelVal = c.start;
        Ch(3).LevelVal = c.start;
        Reshow();
        Click(c.plus ? K().LevelPlusBtn[1] : K().LevelReduceBtn[1]);
        EXPECT_EQ(Ch(2).LevelVal, c.want);
        EXPECT_EQ(Ch(3).LevelVal, c.want) << "unlinked, the level is still the pair's";
        EXPECT_EQ(K().LevelEdit[1]->Text(), c.shown);
        EXPECT_EQ(K().CHLevelBar[3]->GetLevel(), LevelBarPercent(c.want));
        EXPECT_EQ(K().LevelPlusBtn[1]->GetCheck(), 0);
        const int w = static_cast<int>(c.want);
        EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{2, w}, {3, w}})) << c.start;
        EXPECT_EQ(sink.image[SwitchRecordOffset(0, 3) + kSwitchLevel], w);
    }
}

TEST_F(StripEditorTest, TypedLevelAppliesOnlyANumberToAnUnlockedPair) {
    Type(K().LevelEdit[0], "50");
    EXPECT_EQ(Ch(0).LevelVal, 8.0f);
    EXPECT_EQ(Ch(1).LevelVal, 8.0f);
    EXPECT_EQ(K().LevelEdit[0]->Text(), "50.00 %");
    EXPECT_EQ(sink.LevelPosts(), (std::vector<std::pair<int, int>>{{0, 8}, {1, 8}}));

    // Garbage and an empty box change nothing and show the level again.
    for (const char* text : {"abc", "", "-"}) {
        sink.posts.clear();
        Type(K().LevelEdit[0], text);
        EXPECT_EQ(Ch(0).LevelVal, 8.0f) << text;
        EXPECT_EQ(K().LevelEdit[0]->Text(), "50.00 %") << text;
        EXPECT_TRUE(sink.posts.empty()) << text;
    }

    // Locked: plus, minus and typing do nothing; nothing is sent for the lock itself.
    sink.posts.clear();
    Click(K().LevelLockBtn[0]);
    EXPECT_EQ(Ch(0).LevelLock, 1);
    EXPECT_EQ(Ch(1).LevelLock, 1);
    EXPECT_TRUE(K().LevelPlusBtn[0]->IsDisabled());
    EXPECT_TRUE(K().LevelEdit[0]->IsReadOnly());
    Click(K().LevelPlusBtn[0]);
    Type(K().LevelEdit[0], "100");
    window->OnControlMessage({WM_COMMAND, K().LevelReduceBtn[0]->Id(), 0, 0, {}});
    EXPECT_EQ(Ch(0).LevelVal, 8.0f);
    EXPECT_EQ(K().LevelEdit[0]->Text(), "50.00 %");
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(StripEditorTest, MutesFollowEachOtherAndSendTheGatedGain) {
    Ch(1).DelayOn = 0;
    Ch(1).Trim = 6.0f;  // gated: the trim does not count while the section is off
    Reshow();
    // Muting every channel one way or another sets the master mute.
    Click(K().LevelMuteBtn[0]);  // channel 1 (pair unlinked)
    EXPECT_EQ(Ch(0).Mute, 1);
    EXPECT_EQ(Ch(1).Mute, 0);
    EXPECT_EQ(K().EQMuteBtn[0]->GetCheck(), 1);
    Click(K().EQMuteBtn[1]);
    Click(K().EQMuteBtn[2]);
    EXPECT_EQ(Model().CurrentSetup().MasterMute, 0);
    EXPECT_EQ(K().MuteBtn->GetCheck(), 0);
    Click(K().EQMuteBtn[3]);
    EXPECT_EQ(Model().CurrentSetup().MasterMute, 1);
    EXPECT_EQ(K().MuteBtn->GetCheck(), 1);
    EXPECT_EQ(sink.ParamOffsets(), (std::vector<std::size_t>{InSetup(OutputGainOffset(0)),
                                                        InSetup(OutputGainOffset(1)),
                                                        InSetup(OutputGainOffset(2)),
                                                        InSetup(OutputGainOffset(3))}));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Word(InSetup(OutputGainOffset(c))), 0u) << c;

    // Unmuting one clears it.
    Click(K().EQMuteBtn[1]);
    EXPECT_EQ(Model().CurrentSetup().MasterMute, 0);
    EXPECT_EQ(K().MuteBtn->GetCheck(), 0);
    EXPECT_EQ(Word(InSetup(OutputGainOffset(1))), 0x80000000u) << "unity: the section is off";

    // The master mute mutes and unmutes every channel, with the gain the rebuild would write.
    sink.posts.clear();
    Click(K().MuteBtn);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Ch(c).Mute, 1) << c;
    EXPECT_EQ(K().LevelMuteBtn[1]->GetCheck(), 1);
    Click(K().MuteBtn);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Ch(c).Mute, 0) << c;
    EXPECT_EQ(K().EQMuteBtn[2]->GetCheck(), 0);
    EXPECT_EQ(sink.Params().size(), 8u);
    EXPECT_EQ(Word(InSetup(OutputGainOffset(1))), 0x80000000u);
}

TEST_F(StripEditorTest, ChannelMarksGoToTheBlockOnlyOnlineAndAlwaysMarkAChange) {
    EXPECT_FALSE(window->MarksChanged());
    sink.online = false;
    K().ChCBox[2]->SetMark(7);
    window->OnControlMessage({UM_LIST_SELECTED, K().ChCBox[2]->Id(), K().ChCBox[2]->Id(), 0, {}});
    EXPECT_EQ(Model().MarkIndex[2], 7);
    EXPECT_EQ(sink.assign[2], 0) << "offline the worker's block is left alone";
    EXPECT_TRUE(window->MarksChanged());

    sink.online = true;
    Model().ChannelNum = 1;
    Reshow();
    K().ChCBox[1]->SetMark(5);
    window->OnControlMessage({UM_LIST_SELECTED, K().ChCBox[1]->Id(), K().ChCBox[1]->Id(), 0, {}});
    EXPECT_EQ(K().ChCBox[0]->Mark(), 5) << "a one-channel model mirrors its two lists";
    EXPECT_EQ(Model().MarkIndex[0], 5);
    EXPECT_EQ(sink.assign[0], 5);
    EXPECT_EQ(sink.assign[1], 5);
}

TEST_F(StripEditorTest, OfflineEditsChangeTheModelAndDisplayOnly) {
    sink.online = false;
    const DeviceImage image = sink.image;
    Click(K().LevelPlusBtn[0]);
    Click(K().LevelMuteBtn[0]);
    Click(K().GroupBtn[0]);
    EXPECT_EQ(Ch(0).LevelVal, 2.0f);
    EXPECT_EQ(Ch(1).Mute, 1) << "linked after the mute: the copy carries it";
    EXPECT_EQ(K().LevelEdit[0]->Text(), "12.50 %");
    EXPECT_TRUE(sink.posts.empty());
    EXPECT_EQ(sink.image, image);
}

}  // namespace
}  // namespace vantrel
