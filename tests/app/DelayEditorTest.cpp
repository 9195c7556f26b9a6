// The delay block: the section switch gates delay and trim, the knobs and boxes land on their
// grids, and a one-channel model moves its first two channels together.
#include "support/EditorFixture.h"

#include "controls/CLedCtl.h"

namespace vantrel {
namespace {

class DelayEditorTest : public test::EditorTest {
protected:
    std::uint32_t DelayWord(int c) { return Word(InSetup(DelayPairOffset(c))); }
    std::uint32_t GainWord(int c) { return Word(InSetup(OutputGainOffset(c))); }
};

TEST_F(DelayEditorTest, TypedValuesLandOnTheirGridsAndLimits) {
    Ch(1).DelayOn = 1;
    Reshow();
    struct Case {
        int box;  // 0 time, 1 distance, 2 trim
        const char* typed;
        const char* time;
        const char* distance;
        const char* trim;
    };
    const Case cases[] = {
        {1, "700", "20.00 ms", "680.0 cm", "0.0 dB"},
        {0, "25", "20.00 ms", "680.0 cm", "0.0 dB"},
        {0, "10.01", "10.02 ms", "340.7 cm", "0.0 dB"},
        {1, "100", "2.94 ms", "100.0 cm", "0.0 dB"},
        {2, "3", "2.94 ms", "100.0 cm", "0.0 dB"},
        {2, "-6.04", "2.94 ms", "100.0 cm", "-6.0 dB"},
        {2, "-45", "2.94 ms", "100.0 cm", "-30.0 dB"},
        {0, "nonsense", "2.94 ms", "100.0 cm", "-30.0 dB"},
        {2, "", "2.94 ms", "100.0 cm", "-30.0 dB"},
    };
    for (const Case& c : cases) {
        CTpEdit* boxes[] = {K().DlyTimeEdt[1], K().DlyDisEdt[1], K().TrimEdt[1]};
        Type(boxes[c.box], c.typed);
        EXPECT_EQ(K().DlyTimeEdt[1]->Text(), c.time) << c.typed;
        EXPECT_EQ(K().DlyDisEdt[1]->Text(), c.distance) << c.typed;
        EXPECT_EQ(K().TrimEdt[1]->Text(), c.trim) << c.typed;
        // The overview, the knobs and the amplifier agree with the boxes.
        EXPECT_EQ(K().ChDLYStc[1]->Text() + " ms", c.time) << c.typed;
        EXPECT_FLOAT_EQ(K().TimeDlyKnob[1]->Value(), Ch(1).DelayTime) << c.typed;
        EXPECT_FLOAT_EQ(K().TimeAtnKnob[1]->Value(), Ch(1).Trim) << c.typed;
        EXPECT_EQ(DelayWord(1), static_cast<std::uint32_t>(Ch(1).DelayTime * 65536.0)) << c.typed;
    }
    EXPECT_EQ(GainWord(1), EncodeValueWord(TrimFactor(30.0f) * kUnitScale)) << "-30 dB";
}

TEST_F(DelayEditorTest, NothingIsSentWhileTheSectionIsOffAndSwitchingSendsBoth) {
    Ch(2).Trim = 6.0f;
    Reshow();
    Turn(K().TimeDlyKnob[2], 2.5f);
    const float delay = Ch(2).DelayTime;
    EXPECT_EQ(delay, 2.5f);
    Type(K().TrimEdt[2], "-12");
    EXPECT_EQ(Ch(2).Trim, 12.0f);
    EXPECT_EQ(K().ChDLYStc[2]->Text(), "-");
    EXPECT_EQ(K().ChTRIMStc[2]->Text(), "-");
    EXPECT_TRUE(sink.posts.empty());

    Click(K().TimeONBtn[2]);
    EXPECT_EQ(Ch(2).DelayOn, 1);
    EXPECT_TRUE(K().TimeLedStc[2]->IsLedOn());
    EXPECT_EQ(K().ChTRIMStc[2]->Text(), "-12.0");
    EXPECT_EQ(sink.ParamOffsets(), (std::vector<std::size_t>{InSetup(kDelayAreaOffset),
                                                        InSetup(OutputGainOffset(2))}));
    EXPECT_EQ(DelayWord(2), static_cast<std::uint32_t>(delay * 65536.0));
    EXPECT_EQ(GainWord(2), EncodeValueWord(TrimFactor(12.0f) * kUnitScale)) << "-12 dB";
    EXPECT_EQ(sink.image[SwitchRecordOffset(0, 2) + kSwitchDelayOn], 1);

    // Off again: no delay, unity gain; a muted channel stays silent either way.
    Ch(2).Mute = 1;
    Click(K().TimeONBtn[2]);
    EXPECT_EQ(DelayWord(2), 0u);
    EXPECT_EQ(GainWord(2), 0u);
    Ch(2).Mute = 0;
    Click(K().TimeONBtn[2]);
    Click(K().TimeONBtn[2]);
    EXPECT_EQ(GainWord(2), 0x80000000u);
    EXPECT_EQ(K().ChDLYStc[2]->Text(), "-");
}

TEST_F(DelayEditorTest, KnobsSendOnlyTheirChannelOnTheGrid) {
    Ch(0).DelayOn = 1;
    Ch(1).DelayOn = 1;
    Reshow();
    Turn(K().TimeDlyKnob[0], 3.515f);  // a drag lands between steps
    EXPECT_FLOAT_EQ(Ch(0).DelayTime, 3.52f);
    EXPECT_EQ(Ch(1).DelayTime, 0.0f);
    EXPECT_EQ(K().DlyDisEdt[0]->Text(), "119.7 cm");
    Turn(K().TimeAtnKnob[0], 2.96f);
    EXPECT_FLOAT_EQ(Ch(0).Trim, 3.0f);
    EXPECT_EQ(K().TrimEdt[0]->Text(), "-3.0 dB");
    EXPECT_EQ(sink.ParamOffsets(), (std::vector<std::size_t>{InSetup(kDelayAreaOffset),
                                                        InSetup(OutputGainOffset(0))}));
    EXPECT_EQ(DelayWord(1), 0u);
}

TEST_F(DelayEditorTest, OneChannelModelMirrorsTheFirstTwoChannels) {
    Model().ChannelNum = 1;
    Reshow();
    Click(K().TimeONBtn[1]);
    EXPECT_EQ(Ch(0).DelayOn, 1);
    EXPECT_EQ(K().TimeONBtn[0]->GetCheck(), 1);
    EXPECT_EQ(sink.ParamOffsets(),
              (std::vector<std::size_t>{InSetup(kDelayAreaOffset), InSetup(OutputGainOffset(1)),
                                        InSetup(kDelayAreaOffset), InSetup(OutputGainOffset(0))}));

    sink.posts.clear();
    Type(K().DlyDisEdt[0], "68");
    Turn(K().TimeAtnKnob[1], 10.0f);
    for (int c : {0, 1}) {
        EXPECT_FLOAT_EQ(Ch(c).DelayTime, 2.0f) << c;
        EXPECT_FLOAT_EQ(Ch(c).Trim, 10.0f) << c;
        EXPECT_EQ(K().DlyTimeEdt[static_cast<std::size_t>(c)]->Text(), "2.00 ms") << c;
        EXPECT_FLOAT_EQ(K().TimeAtnKnob[static_cast<std::size_t>(c)]->Value(), 10.0f) << c;
        EXPECT_EQ(DelayWord(c), 0x20000u) << c;
    }
    EXPECT_EQ(sink.Params().size(), 4u);
    EXPECT_EQ(Ch(2).DelayTime, 0.0f) << "the other columns are their own";
}

}  // namespace
}  // namespace vantrel
