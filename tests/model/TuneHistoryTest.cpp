#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "model/TimeAlignment.h"
#include "model/TuneHistory.h"

namespace vantrel {
namespace {

ChannelRecord& Ch(ParameterModel& m, int s, int c) {
    return m.Setups[static_cast<std::size_t>(s)].Channels[static_cast<std::size_t>(c)];
}

struct Edit {
    std::uint64_t source;
    std::function<void(ParameterModel&)> change;
};

// Edits of every kind of field, from different controls, in several setups.
const std::vector<Edit>& MixedEdits() {
    static const std::vector<Edit> edits = {
        {1, [](ParameterModel& m) { Ch(m, 0, 0).LevelVal = 9.0f; }},
        {2, [](ParameterModel& m) { Ch(m, 0, 1).HighPassFreq = 3162.0f; }},
        {3, [](ParameterModel& m) { Ch(m, 0, 3).EQBand[26].Gain = -4.5f; }},
        {4,
         [](ParameterModel& m) {
             Ch(m, 0, 2).CustomEQ[1] = {251.0f, 3.0f, 2.0f, 1};
         }},
        {5, [](ParameterModel& m) { m.ANS = 0; }},
        {6, [](ParameterModel& m) { m.MarkIndex[5] = 7; }},
        {7, [](ParameterModel& m) { Ch(m, 2, 5).DelayOn = 1; }},
        {8, [](ParameterModel& m) { m.Setups[1].Distance[0] = 120.0f; }},
        {9,
         [](ParameterModel& m) {  // a paste: a whole channel at once
             Ch(m, 0, 3) = Ch(m, 0, 0);
             m.Setups[0].MasterMute = 1;
         }},
    };
    return edits;
}

TEST(TuneHistoryTest, UndoAndRedoWalkAMixedSequenceBackAndForth) {
    ParameterModel model;
    InitSetups(model);
    TuneHistory history;
    history.Reset(model);
    std::vector<std::vector<std::uint8_t>> states{TuneBytes(model)};
    std::int64_t now = 0;
    for (const Edit& edit : MixedEdits()) {
        edit.change(model);
        EXPECT_TRUE(history.Record(model, edit.source, now += 10));
        states.push_back(TuneBytes(model));
    }
    ASSERT_EQ(history.UndoCount(), MixedEdits().size());

    // The session's own fields are no part of it: they stay as they are now.
    model.CurrentSetupIndex = 2;
    model.Setups[0].GroupEQFlag = 0x30;
    for (std::size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(history.Undo(model, now));
        EXPECT_EQ(TuneBytes(model), states[i - 1]) << "after undoing edit " << i;
    }
    EXPECT_FALSE(history.Undo(model, now));
    EXPECT_EQ(model.CurrentSetupIndex, 2);
    EXPECT_EQ(model.Setups[0].GroupEQFlag, 0x30);

    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(history.Redo(model, now));
        EXPECT_EQ(TuneBytes(model), states[i]) << "after redoing edit " << i;
    }
    EXPECT_FALSE(history.Redo(model, now));

    // A new edit after an undo ends the redo steps.
    ASSERT_TRUE(history.Undo(model, now));
    Ch(model, 1, 1).Trim = 3.0f;
    EXPECT_TRUE(history.Record(model, 42, now));
    EXPECT_FALSE(history.CanRedo());
}

TEST(TuneHistoryTest, ABurstOnOneControlIsOneStep) {
    ParameterModel model;
    TuneHistory history(500, 1000);
    history.Reset(model);
    const auto before = TuneBytes(model);

    // A knob dragged through 100 positions, 20 ms apart: one step.
    for (int i = 1; i <= 100; ++i) {
        Ch(model, 0, 0).DelayTime = 0.02f * static_cast<float>(i);
        history.Record(model, 7, 20 * i);
    }
    EXPECT_EQ(history.UndoCount(), 1u);
    // Another control, or the same one after a pause, starts a step of its own.
    Ch(model, 0, 1).DelayTime = 1.0f;
    history.Record(model, 8, 2010);
    Ch(model, 0, 1).DelayTime = 1.5f;
    history.Record(model, 8, 3100);
    EXPECT_EQ(history.UndoCount(), 3u);
    // So does the same control after an undo sealed the step.
    ASSERT_TRUE(history.Undo(model, 3200));
    Ch(model, 0, 1).DelayTime = 1.7f;
    history.Record(model, 8, 3300);
    EXPECT_EQ(history.UndoCount(), 3u);

    while (history.Undo(model, 4000)) {
    }
    EXPECT_EQ(TuneBytes(model), before);
    // A burst that ends where it began leaves no step, and does not open the step before it to
    // its control's next change.
    Ch(model, 0, 0).Trim = 1.0f;
    history.Record(model, 10, 5000);
    Ch(model, 0, 1).Trim = 1.0f;
    history.Record(model, 9, 5050);
    Ch(model, 0, 1).Trim = 0.0f;
    history.Record(model, 9, 5100);
    EXPECT_EQ(history.UndoCount(), 1u);
    Ch(model, 0, 1).Trim = 2.0f;
    history.Record(model, 9, 5150);
    EXPECT_EQ(history.UndoCount(), 2u);
    ASSERT_TRUE(history.Undo(model, 5200));
    EXPECT_EQ(Ch(model, 0, 0).Trim, 1.0f) << "the other control's step stays";
    EXPECT_EQ(Ch(model, 0, 1).Trim, 0.0f);
}

TEST(TuneHistoryTest, UndoTakesBackAChangeNotYetRecordedAndKeepsTheNewestSteps) {
    ParameterModel model;
    TuneHistory history(3, 0);
    history.Reset(model);
    for (int i = 1; i <= 5; ++i) {
        Ch(model, 0, 0).LevelVal = static_cast<float>(i);
        history.Record(model, static_cast<std::uint64_t>(i), i * 100);
    }
    EXPECT_EQ(history.UndoCount(), 3u);  // the two oldest went

    Ch(model, 0, 0).LevelVal = 16.0f;  // never recorded
    ASSERT_TRUE(history.Undo(model, 1000));
    EXPECT_EQ(Ch(model, 0, 0).LevelVal, 5.0f);
    while (history.Undo(model, 1000)) {
    }
    EXPECT_EQ(Ch(model, 0, 0).LevelVal, 3.0f);  // the recorded change pushed out one more
}

TEST(TimeAlignmentTest, TheFarthestSpeakerSetsTheDelaysOfTheOthers) {
    // cm: CH 1 150 nearer (4.42 ms: 221 steps of 0.68 cm), CH 2 the farthest, CH 3 not measured,
    // CH 4 180 nearer (265 steps: 5.30 ms), CH 5 900 nearer (stops at 20 ms), CH 6 not counted.
    const std::array<float, kChannelCount> cm = {160.0f, 310.0f, 0.0f, 130.0f, -5.0f, 50.0f};
    const Alignment a = AlignDelays(cm, 4);
    EXPECT_FLOAT_EQ(*a.delayMs[0], 4.42f);
    EXPECT_EQ(*a.delayMs[1], 0.0f);
    EXPECT_FALSE(a.delayMs[2]);
    EXPECT_FLOAT_EQ(*a.delayMs[3], 5.30f);
    EXPECT_FALSE(a.delayMs[4]);  // negative: not measured
    EXPECT_FALSE(a.delayMs[5]);  // beyond the channel count
    EXPECT_TRUE(a.limited.empty());

    const Alignment far = AlignDelays({1000.0f, 100.0f, 1000.0f, 999.32f, 0, 0}, 4);
    EXPECT_FLOAT_EQ(*far.delayMs[1], 20.0f);
    EXPECT_FLOAT_EQ(*far.delayMs[3], 0.02f);
    EXPECT_EQ(far.limited, std::vector<int>{1});

    SetupRecord setup;
    setup.Channels[0].Trim = 6.0f;  // not heard while the section is off
    setup.Channels[1].DelayOn = 0;
    setup.Channels[1].DelayTime = 3.0f;
    setup.Channels[1].Trim = 5.0f;
    setup.Channels[2].DelayTime = 7.0f;
    setup.Channels[3].DelayOn = 1;
    setup.Channels[3].Trim = 4.0f;
    EXPECT_EQ(ApplyAlignment(setup, a), std::vector<int>{0});
    EXPECT_EQ(setup.Channels[0].DelayOn, 1);
    EXPECT_EQ(setup.Channels[0].Trim, 0.0f);
    EXPECT_EQ(setup.Channels[1].Trim, 5.0f);
    EXPECT_EQ(setup.Channels[3].Trim, 4.0f);
    EXPECT_FLOAT_EQ(setup.Channels[0].DelayTime, 4.42f);
    EXPECT_EQ(setup.Channels[1].DelayOn, 0);  // the farthest keeps its switch
    EXPECT_EQ(setup.Channels[1].DelayTime, 0.0f);
    EXPECT_EQ(setup.Channels[2].DelayTime, 7.0f);  // not measured: untouched
}

}  // namespace
}  // namespace vantrel
