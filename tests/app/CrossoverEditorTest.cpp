#include <array>
#include <vector>

#include "model/Scales.h"
#include "support/EditorFixture.h"

namespace vantrel {
namespace {

const QString kCrossing = "Warning: Lowpass freq and Highpass freq can't cross!";

}  // namespace

class CrossoverEditorTest : public test::EditorTest {
protected:
    enum class Act { HighPlus, HighReduce, LowPlus, LowReduce, TypeHigh, TypeLow };

    void Do(Act act, int pair = 0, const QString& text = {}) {
        const std::size_t p = static_cast<std::size_t>(pair);
        switch (act) {
            case Act::HighPlus:
                return Click(K().HighPlusBtn[p]);
            case Act::HighReduce:
                return Click(K().HighReduceBtn[p]);
            case Act::LowPlus:
                return Click(K().LowPlusBtn[p]);
            case Act::LowReduce:
                return Click(K().LowReduceBtn[p]);
            case Act::TypeHigh:
                return Type(K().HighPassEdit[p], text);
            case Act::TypeLow:
                return Type(K().LowPassEdit[p], text);
        }
    }

    // Pair 0 linked (0x17) or with channel 1 alone (0x15), both channels' filters as given.
    void Pair0(bool linked, float hp0, float lp0, float hp1, float lp1, bool on = true) {
        Model().CurrentSetup().GroupFlag = linked ? 0x17 : 0x15;
        for (int c : {0, 1}) {
            Ch(c).HighPassFreq = c == 0 ? hp0 : hp1;
            Ch(c).LowPassFreq = c == 0 ? lp0 : lp1;
            Ch(c).HighPassOn = Ch(c).LowPassOn = on ? 1 : 0;
        }
        Reshow();
    }

    static std::size_t BlockOffset(int channel, CrossoverKind kind) {
        return InSetup(kind == CrossoverKind::HighPass ? HighPassOffset(channel)
                                                       : LowPassOffset(channel));
    }
    // The 104 bytes of a crossover block in the sink's image.
    std::vector<std::uint8_t> Block(int channel, CrossoverKind kind) const {
        const auto first =
            sink.image.begin() + static_cast<std::ptrdiff_t>(BlockOffset(channel, kind));
        return {first, first + 104};
    }
    void ExpectBlockPost(const test::RecordingEditSink::Post& post, int channel,
                         CrossoverKind kind) const {
        EXPECT_EQ(post.offset, BlockOffset(channel, kind)) << "channel " << channel;
        EXPECT_EQ(post.length, 104u);
        EXPECT_EQ(post.bytes, Block(channel, kind)) << "channel " << channel;
    }
};

TEST_F(CrossoverEditorTest, CrossingRuleCorrectsAndWarnsAsTheTableSays) {
    struct Case {
        const char* what;
        bool linked;
        Act act;
        QString text;
        std::array<float, 4> before;  // hp0, lp0, hp1, lp1
        std::array<float, 4> after;
        int warnings;
    };
    // clang-format off
    const Case cases[] = {
        {"high plus at equal frequencies", false, Act::HighPlus, {},
         {1000, 1000, 50, 10000}, {1000, 1000, 50, 10000}, 1},
        {"high plus past the low-pass", true, Act::HighPlus, {},
         {1000, 1010, 1000, 1010}, {1010, 1010, 1010, 1010}, 2},
        {"high minus at 16 Hz, linked: once, for the second channel", true, Act::HighReduce, {},
         {16, 16, 16, 16}, {16, 16, 16, 16}, 1},
        {"high minus at 16 Hz, first channel alone: silent", false, Act::HighReduce, {},
         {16, 16, 50, 10000}, {16, 16, 50, 10000}, 0},
        {"low plus at the limit, linked: once, for the first channel", true, Act::LowPlus, {},
         {20893, 20893, 20893, 20893}, {20893, 20893, 20893, 20893}, 1},
        {"low minus at equal frequencies, linked", true, Act::LowReduce, {},
         {500, 500, 500, 500}, {500, 500, 500, 500}, 2},
        {"typed high-pass equal to the low-pass", false, Act::TypeHigh, "1000",
         {50, 1000, 50, 10000}, {1000, 1000, 50, 10000}, 1},
        {"typed low-pass below the high-pass", false, Act::TypeLow, "200",
         {1000, 5000, 50, 10000}, {1000, 1000, 50, 10000}, 1},
        {"typed high-pass above both low-passes, first lower", true, Act::TypeHigh, "10000",
         {50, 2000, 50, 5000}, {2000, 2000, 2000, 5000}, 1},
        {"typed high-pass above both low-passes, second lower", true, Act::TypeHigh, "10000",
         {50, 5000, 50, 2000}, {5000, 5000, 2000, 2000}, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pair0(c.linked, c.before[0], c.before[1], c.before[2], c.before[3]);
        warnings.clear();
        Do(c.act, 0, c.text);
        EXPECT_EQ((std::array<float, 4>{Ch(0).HighPassFreq, Ch(0).LowPassFreq, Ch(1).HighPassFreq,
                                        Ch(1).LowPassFreq}),
                  c.after);
        ASSERT_EQ(static_cast<int>(warnings.size()), c.warnings);
        for (const QString& w : warnings) EXPECT_EQ(w, kCrossing);
    }
}

TEST_F(CrossoverEditorTest, FrequenciesStayWithinTheModesLimits) {
    struct Case {
        const char* what;
        std::uint8_t mode;
        Act act;
        QString text;
        float before;  // of the filter acted on; the other one out of the way
        float after;
    };
    // clang-format off
    const Case cases[] = {
        {"plus at 20893 Hz", 0, Act::LowPlus, {}, 20893, 20893},
        {"minus at 16 Hz", 0, Act::HighReduce, {}, 16, 16},
        {"typed above the limit", 0, Act::TypeLow, "25000", 10000, 20893},
        {"mode 2: plus stops at 302 Hz", 2, Act::LowPlus, {}, 300, 302},
        {"mode 2: typed 20000 Hz is 302 Hz", 2, Act::TypeLow, "20000", 200, 302},
        {"mode 2: high-pass plus at 302 Hz", 2, Act::HighPlus, {}, 302, 302},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Model().Mode = c.mode;
        const bool high = c.act == Act::HighPlus || c.act == Act::HighReduce;
        const float top = MaxCrossoverFreq(c.mode);
        Pair0(false, high ? c.before : 16, high ? top : c.before, 50, 10000);
        Do(c.act, 0, c.text);
        EXPECT_EQ(high ? Ch(0).HighPassFreq : Ch(0).LowPassFreq, c.after);
        EXPECT_EQ((high ? K().HighPassEdit : K().LowPassEdit)[0]->Text(),
                  QString::fromStdString(FreqText(c.after)));
        EXPECT_TRUE(warnings.empty());
    }
}

TEST_F(CrossoverEditorTest, StepEditsTheTargetsShowsThemAndSendsOnlyFiltersThatAreOn) {
    Pair0(true, 1000, 10000, 500, 10000, false);
    Ch(0).HighPassOn = 1;
    Reshow();
    const std::vector<std::uint8_t> before = Block(0, CrossoverKind::HighPass);

    Click(K().HighPlusBtn[0]);

    EXPECT_EQ(Ch(0).HighPassFreq, StepCrossoverFreq(1000, +1, 0));
    EXPECT_EQ(Ch(1).HighPassFreq, StepCrossoverFreq(500, +1, 0));
    EXPECT_EQ(K().ChHPFStc[0]->Text(), "1023");
    EXPECT_EQ(K().ChHPFStc[1]->Text(), "-");
    EXPECT_EQ(K().HighPassEdit[0]->Text(), "512 Hz");  // the last target, channel 2
    EXPECT_EQ(K().HighPlusBtn[0]->GetCheck(), 0);
    EXPECT_EQ(Model().CurrentSetup().GroupEQFlag, 0x03);
    const auto posts = sink.Params();
    ASSERT_EQ(posts.size(), 1u);
    ExpectBlockPost(posts[0], 0, CrossoverKind::HighPass);
    EXPECT_NE(posts[0].bytes, before);

    // The unlinked second pair, channel 3 alone: channel 4 keeps its value.
    sink.posts.clear();
    Ch(2).LowPassOn = 1;
    Reshow();
    Click(K().LowReduceBtn[1]);
    EXPECT_EQ(Ch(2).LowPassFreq, StepCrossoverFreq(10000, -1, 0));
    EXPECT_EQ(Ch(3).LowPassFreq, 10000.0f);
    EXPECT_EQ(K().ChLPFStc[2]->Text(), "9772");
    ASSERT_EQ(sink.Params().size(), 1u);
    ExpectBlockPost(sink.Params()[0], 2, CrossoverKind::LowPass);
}

TEST_F(CrossoverEditorTest, TypedValueIsQuantizedShownAndSent) {
    Pair0(true, 50, 10000, 50, 10000);
    Type(K().HighPassEdit[0], "1234");
    const float v = QuantizeCrossoverFreq(1234, 0);
    EXPECT_EQ(Ch(0).HighPassFreq, v);
    EXPECT_EQ(Ch(1).HighPassFreq, v);
    EXPECT_EQ(K().HighPassEdit[0]->Text(), QString::fromStdString(FreqText(v)));
    EXPECT_EQ(K().ChHPFStc[1]->Text(), QString::fromStdString(OverviewFreqText(v, true)));
    const auto posts = sink.Params();
    ASSERT_EQ(posts.size(), 2u);
    ExpectBlockPost(posts[0], 0, CrossoverKind::HighPass);
    ExpectBlockPost(posts[1], 1, CrossoverKind::HighPass);
}

TEST_F(CrossoverEditorTest, EmptyOrGarbageTextChangesNothingAndRestoresTheBox) {
    Pair0(false, 1000, 10000, 50, 10000);
    for (const QString& text : {QString(), QString("abc"), QString("-"), QString("  ")}) {
        SCOPED_TRACE(text.toStdString());
        Type(K().HighPassEdit[0], text);
        EXPECT_EQ(Ch(0).HighPassFreq, 1000.0f);
        EXPECT_EQ(K().HighPassEdit[0]->Text(), "1000 Hz");
        EXPECT_TRUE(sink.posts.empty());
        EXPECT_TRUE(warnings.empty());
    }
}

TEST_F(CrossoverEditorTest, OfflineEditsChangeModelAndDisplayButPostNothing) {
    Pair0(false, 1000, 10000, 50, 10000);
    sink.online = false;
    Click(K().HighPlusBtn[0]);
    Type(K().LowPassEdit[0], "5000");
    Click(K().High24dBBtn[0]);
    Click(K().LowONBtn[0]);
    EXPECT_EQ(Ch(0).HighPassFreq, StepCrossoverFreq(1000, +1, 0));
    EXPECT_EQ(Ch(0).LowPassFreq, QuantizeCrossoverFreq(5000, 0));
    EXPECT_EQ(Ch(0).HighPassSlope, 24);
    EXPECT_EQ(Ch(0).LowPassOn, 0);
    EXPECT_EQ(K().ChHPFStc[0]->Text(), "1023");
    EXPECT_EQ(K().ChLPFStc[0]->Text(), "-");
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(CrossoverEditorTest, OnOffShowsTheFilterAndSendsWhateverTheNewState) {
    Pair0(true, 100, 10000, 200, 10000, false);
    Click(K().HighONBtn[0]);
    EXPECT_EQ(Ch(0).HighPassOn, 1);
    EXPECT_EQ(Ch(1).HighPassOn, 1);
    EXPECT_EQ(K().ChHPFStc[1]->Text(), "200");
    EXPECT_EQ(K().ChFLMkStc[0]->Text(), "HPF");
    EXPECT_EQ(K().ChFLMkStc[1]->Text(), "HPF");
    Click(K().LowONBtn[0]);
    EXPECT_EQ(K().ChFLMkStc[1]->Text(), "BPF");
    Click(K().HighONBtn[0]);
    EXPECT_EQ(Ch(1).HighPassOn, 0);
    EXPECT_EQ(K().ChHPFStc[1]->Text(), "-");
    EXPECT_EQ(K().ChFLMkStc[1]->Text(), "LPF");

    const auto posts = sink.Params();
    ASSERT_EQ(posts.size(), 6u);
    ExpectBlockPost(posts[4], 0, CrossoverKind::HighPass);  // off, sent all the same
    ExpectBlockPost(posts[5], 1, CrossoverKind::HighPass);
    ExpectBlockPost(posts[3], 1, CrossoverKind::LowPass);
}

TEST_F(CrossoverEditorTest, SlopeIsOneOfFiveAndSentOnlyWhileTheFilterIsOn) {
    Pair0(false, 100, 10000, 50, 10000, false);
    Click(K().High24dBBtn[0]);
    EXPECT_EQ(Ch(0).HighPassSlope, 24);
    EXPECT_TRUE(sink.posts.empty());

    // Clicking the pressed slope keeps it pressed; the filter on now, so it is sent.
    Ch(0).HighPassOn = 1;
    Reshow();
    Click(K().High24dBBtn[0]);
    EXPECT_EQ(K().High24dBBtn[0]->GetCheck(), 1);
    Click(K().High48dBBtn[0]);
    EXPECT_EQ(Ch(0).HighPassSlope, 48);
    const std::array<CGdipButton*, 5> slopes{K().High6dBBtn[0], K().High12dBBtn[0],
                                             K().High24dBBtn[0], K().High36dBBtn[0],
                                             K().High48dBBtn[0]};
    for (std::size_t i = 0; i < slopes.size(); ++i)
        EXPECT_EQ(slopes[i]->GetCheck() != 0, i == 4) << i;
    ASSERT_EQ(sink.Params().size(), 2u);
    ExpectBlockPost(sink.Params()[1], 0, CrossoverKind::HighPass);
}

TEST_F(CrossoverEditorTest, LockGreysTheFilterButLeavesItsOnButton) {
    Pair0(true, 100, 10000, 100, 10000);
    Click(K().HighLockBtn[0]);
    EXPECT_EQ(Ch(0).HighPassLock, 1);
    EXPECT_EQ(Ch(1).HighPassLock, 1);
    for (CGdipButton* b :
         {K().HighPlusBtn[0], K().HighReduceBtn[0], K().High6dBBtn[0], K().High12dBBtn[0],
          K().High24dBBtn[0], K().High36dBBtn[0], K().High48dBBtn[0]}) {
        EXPECT_TRUE(b->IsDisabled()) << b->Id();
    }
    EXPECT_TRUE(K().HighPassEdit[0]->IsReadOnly());
    EXPECT_FALSE(K().HighONBtn[0]->IsDisabled());
    EXPECT_FALSE(K().LowPlusBtn[0]->IsDisabled());
    EXPECT_TRUE(sink.posts.empty());

    // Nothing locked changes, not even by Enter in the read-only box with other text in it.
    Click(K().HighPlusBtn[0]);
    Click(K().High48dBBtn[0]);
    K().HighPassEdit[0]->SetText("5000");
    QTest::keyClick(K().HighPassEdit[0], Qt::Key_Return);
    EXPECT_EQ(Ch(0).HighPassFreq, 100.0f);
    EXPECT_EQ(Ch(1).HighPassFreq, 100.0f);
    EXPECT_EQ(Ch(1).HighPassSlope, 6);
    EXPECT_TRUE(sink.posts.empty());

    Click(K().HighONBtn[0]);
    EXPECT_EQ(Ch(1).HighPassOn, 0);
    EXPECT_EQ(sink.Params().size(), 2u);

    Ch(1).HighPassSlope = 36;  // the shown channel's slope returns to the buttons on unlocking
    Click(K().HighLockBtn[0]);
    EXPECT_EQ(Ch(0).HighPassLock, 0);
    EXPECT_FALSE(K().HighPlusBtn[0]->IsDisabled());
    EXPECT_FALSE(K().High6dBBtn[0]->IsDisabled());
    EXPECT_FALSE(K().HighPassEdit[0]->IsReadOnly());
    EXPECT_EQ(K().High36dBBtn[0]->GetCheck(), 1);
    EXPECT_EQ(K().High6dBBtn[0]->GetCheck(), 0);
}

TEST_F(CrossoverEditorTest, WarningStopsAHeldButtonsRepeat) {
    Pair0(false, 1000, 1030, 50, 10000);
    CGdipButton* plus = K().HighPlusBtn[0];
    QTest::mousePress(plus, Qt::LeftButton, {}, plus->rect().center());
    ASSERT_TRUE(plus->IsRepeating());
    plus->OnRepeatTimer();  // 1023 Hz, below the low-pass
    EXPECT_TRUE(plus->IsRepeating());
    EXPECT_TRUE(warnings.empty());
    plus->OnRepeatTimer();  // would pass 1030 Hz
    EXPECT_EQ(Ch(0).HighPassFreq, 1030.0f);
    EXPECT_EQ(warnings.size(), 1u);
    EXPECT_FALSE(plus->IsRepeating());
    EXPECT_EQ(plus->GetCheck(), 0);
}

}  // namespace vantrel
