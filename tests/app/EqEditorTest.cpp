#include <QTest>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CLedCtl.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "curves/CSpectrumCtl.h"
#include "model/Scales.h"
#include "skin/SkinLayout.h"
#include "support/EditorFixture.h"

namespace vantrel {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

class EqEditorTest : public test::EditorTest {
protected:
    // Shows the EQ page with `flag` as the EQ selection of the current setup and remembers the
    // image the amplifier holds from then on.
    void ShowEq(std::uint8_t flag) {
        Model().CurrentSetup().GroupEQFlag = flag;
        window->ShowEqPage();
        Reshow();
        before = sink.image;
    }

    EqPoint& Point(int c, int j) { return Ch(c).CustomEQ[At(j)]; }

    std::vector<ImageRange> Ranges() const {
        std::vector<ImageRange> ranges;
        for (const auto& post : sink.Params()) ranges.push_back({post.offset, post.length});
        return ranges;
    }
    static ImageRange PointRange(int c, int j) {
        return {InSetup(CustomPointOffset(c, j)), kCustomPointSize};
    }

    // Every word the edits changed has reached the amplifier with its newest value: the bytes
    // posted, applied in order to what the amplifier held, give the setup image a full rebuild
    // makes from the model.
    void ExpectAmplifierInStep() const {
        DeviceImage amplifier = before;
        for (const auto& post : sink.Params()) {
            std::copy(post.bytes.begin(), post.bytes.end(),
                      amplifier.begin() + static_cast<std::ptrdiff_t>(post.offset));
        }
        DeviceImage expected = before;
        RebuildSetupImage(expected, window->Model(), 0);
        for (std::size_t i = SetupImageOffset(0); i < SetupImageOffset(1); ++i) {
            ASSERT_EQ(amplifier[i], expected[i])
                << "setup image offset " << i - SetupImageOffset(0);
        }
    }

    static QString Text(const std::string& text) { return QString::fromStdString(text); }

    DeviceImage before{};
};

// --- Graphic bands -------------------------------------------------------------------------------

TEST_F(EqEditorTest, BandFaderSetsEveryTargetChannelAndPostsEach) {
    ShowEq(0x03);
    Turn(K().EQBandFader[5], -4.5f);

    EXPECT_FLOAT_EQ(Ch(0).EQBand[5].Gain, -4.5f);
    EXPECT_FLOAT_EQ(Ch(1).EQBand[5].Gain, -4.5f);
    EXPECT_FLOAT_EQ(Ch(2).EQBand[5].Gain, 0.0f);
    EXPECT_EQ(window->Refresh().SelectedBand(), 5);
    EXPECT_EQ(K().EQBandFreqEdt->Text(), Text(BandFreqPressedText(5)));
    EXPECT_EQ(K().EQBandGainEdt->Text(), "-4.5 dB");
    const std::vector<ImageRange> expected{{InSetup(BandOffset(0, 5)), kBandRecordSize},
                                           {InSetup(BandOffset(1, 5)), kBandRecordSize}};
    EXPECT_EQ(Ranges(), expected);
    ExpectAmplifierInStep();
}

TEST_F(EqEditorTest, PressingABandFaderSelectsItAndPostsNothing) {
    ShowEq(0x01);
    CFaderCtrl* fader = K().EQBandFader[10];
    QTest::mousePress(fader, Qt::LeftButton, {}, fader->rect().center());
    QTest::mouseRelease(fader, Qt::LeftButton, {}, fader->rect().center());

    EXPECT_EQ(window->Refresh().SelectedBand(), 10);
    EXPECT_EQ(K().EQBandFreqEdt->Text(), QString::number(EqBandFrequencies[10]) + " Hz");
    EXPECT_EQ(K().EQBandGainEdt->Text(), "0.0 dB");
    EXPECT_TRUE(sink.posts.empty());
}

// The page shows channel 2; pressing its fader gives channel 1 the same gain, which must reach the
// amplifier even though the fader never moves.
TEST_F(EqEditorTest, PressingABandFaderPostsTheGainItSpreadsToTheOtherTargets) {
    Ch(0).EQBand[3].Gain = 2.0f;
    Ch(1).EQBand[3].Gain = -6.0f;
    ShowEq(0x03);
    ASSERT_FLOAT_EQ(K().EQBandFader[3]->Value(), -6.0f);

    window->OnControlMessage(
        {UM_FADER_PRESSED, K().EQBandFader[3]->Id(), K().EQBandFader[3]->Id(), 0, {}});

    EXPECT_FLOAT_EQ(Ch(0).EQBand[3].Gain, -6.0f);
    const std::vector<ImageRange> expected{{InSetup(BandOffset(0, 3)), kBandRecordSize}};
    EXPECT_EQ(Ranges(), expected);
    ExpectAmplifierInStep();
}

TEST_F(EqEditorTest, ResetFlattensTheGraphicBandsOnlyAndPostsThemPerTarget) {
    for (int c : {0, 1}) {
        Ch(c).EQBand[7].Gain = 5.0f;
        Ch(c).EQBand[7].Q = 8.0f;
        Ch(c).EQBand[7].Freq = 123.0f;
        Point(c, 2) = {250.0f, -3.5f, 6.0f, 0};
        Ch(c).EQBypass = 0;
    }
    ShowEq(0x03);
    Click(K().EQResetBtn);

    for (int c : {0, 1}) {
        EXPECT_FLOAT_EQ(Ch(c).EQBand[7].Gain, 0.0f);
        EXPECT_FLOAT_EQ(Ch(c).EQBand[7].Q, 3.0f);
        EXPECT_FLOAT_EQ(Ch(c).EQBand[7].Freq, static_cast<float>(EqBandFrequencies[7]));
        EXPECT_FLOAT_EQ(Point(c, 2).Freq, 250.0f);
        EXPECT_FLOAT_EQ(Point(c, 2).Gain, -3.5f);
        EXPECT_FLOAT_EQ(Point(c, 2).Q, 6.0f);
    }
    EXPECT_EQ(K().EQResetBtn->GetCheck(), 0);
    EXPECT_FLOAT_EQ(K().EQBandFader[7]->Value(), 0.0f);
    const std::vector<ImageRange> expected{{InSetup(ChannelEqOffset(0)), kGraphicEqSize},
                                           {InSetup(ChannelEqOffset(1)), kGraphicEqSize}};
    EXPECT_EQ(Ranges(), expected);
    ExpectAmplifierInStep();
}

// The main page's bypass button and the EQ page's act on the same flag and keep each other and
// the overview labels in step.
TEST_F(EqEditorTest, EqBypassFromEitherPageZeroesAndRestoresTheBandsOfEveryTarget) {
    for (int c : {2, 3}) Ch(c).EQBand[0].Gain = 4.0f;
    ShowEq(0x0C);
    window->ShowMainPage();
    sink.posts.clear();

    Click(K().BypassBtn);
    for (int c : {2, 3}) {
        EXPECT_EQ(Ch(c).EQBypass, 1);
        EXPECT_EQ(K().ChEQStc[At(c)]->Text(), "OFF");
        EXPECT_EQ(Word(InSetup(BandOffset(c, 0))), 0u);
        EXPECT_EQ(ReadChannelSwitches(sink.image, 0, c)->EQBypass, 1);
    }
    EXPECT_EQ(K().ChEQStc[0]->Text(), "ON");
    EXPECT_EQ(K().EQBypassBtn->GetCheck(), 1);
    const std::vector<ImageRange> expected{{InSetup(ChannelEqOffset(2)), kGraphicEqSize},
                                           {InSetup(ChannelEqOffset(3)), kGraphicEqSize}};
    EXPECT_EQ(Ranges(), expected);
    ExpectAmplifierInStep();

    window->ShowEqPage();
    Click(K().EQBypassBtn);
    for (int c : {2, 3}) {
        EXPECT_EQ(Ch(c).EQBypass, 0);
        EXPECT_EQ(K().ChEQStc[At(c)]->Text(), "ON");
    }
    EXPECT_EQ(K().BypassBtn->GetCheck(), 0);
    EXPECT_EQ(sink.Params().size(), 4u);
    ExpectAmplifierInStep();
}

// --- Custom points -------------------------------------------------------------------------------

TEST_F(EqEditorTest, PointFaderAndKnobsSetEveryTargetAndPostTheirWords) {
    struct Case {
        const char* name;
        CValueCtrl* control;
        float turnTo;
        float EqPoint::*field;
        float expected;
        CTpEdit* box;
        const char* text;
        std::size_t postOffset;  // within the point
        std::size_t postLength;
    };
    const SkinControls& k = K();
    const Case cases[] = {
        {"gain fader", k.CustmEQFader[1], -7.5f, &EqPoint::Gain, -7.5f, k.CustmEQGainEdt[1],
         "-7.5 dB", 0, kCustomPointSize},
        {"Q knob", k.CEQQKnob[1], 4.2f, &EqPoint::Q, 4.2f, k.CustmEQQEdt[1], "4.2", 0,
         kCustomPointSize},
        {"frequency knob", k.CEQFcyKnob[1], 3.0f, &EqPoint::Freq, 1000.0f, k.CustmEQFreqEdt[1],
         "1000 Hz", kPointFreqPair, kPairSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InitSetups(Model());
        for (int ch : {0, 1}) Point(ch, 1) = {200.0f, 1.0f, 2.0f, 0};
        ShowEq(0x03);

        Turn(c.control, c.turnTo);

        EXPECT_FLOAT_EQ(Point(0, 1).*c.field, c.expected);
        EXPECT_FLOAT_EQ(Point(1, 1).*c.field, c.expected);
        EXPECT_FLOAT_EQ(Point(2, 1).*c.field, EqPoint{}.*c.field);
        EXPECT_EQ(c.box->Text(), c.text);
        const std::vector<ImageRange> expected{
            {InSetup(CustomPointOffset(0, 1) + c.postOffset), c.postLength},
            {InSetup(CustomPointOffset(1, 1) + c.postOffset), c.postLength}};
        EXPECT_EQ(Ranges(), expected);
        ExpectAmplifierInStep();
    }
}

TEST_F(EqEditorTest, TypedPointValuesAreQuantizedAndMoveTheirControlsSilently) {
    struct Case {
        CTpEdit* box;
        const char* typed;
        float EqPoint::*field;
        float expected;
        const char* shown;
        CValueCtrl* control;
        float controlValue;
    };
    const SkinControls& k = K();
    const Case cases[] = {
        {k.CustmEQGainEdt[2], "-0.26", &EqPoint::Gain, -0.3f, "-0.3 dB", k.CustmEQFader[2], -0.3f},
        {k.CustmEQGainEdt[2], "-40", &EqPoint::Gain, -24.0f, "-24.0 dB", k.CustmEQFader[2], -24.0f},
        {k.CustmEQQEdt[2], "30", &EqPoint::Q, 24.0f, "24.0", k.CEQQKnob[2], 24.0f},
        {k.CustmEQFreqEdt[2], "1000 Hz", &EqPoint::Freq, 1000.0f, "1000 Hz", k.CEQFcyKnob[2], 3.0f},
        {k.CustmEQFreqEdt[2], "5", &EqPoint::Freq, 16.0f, "16 Hz", k.CEQFcyKnob[2],
         FreqKnobPosition(16.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        InitSetups(Model());
        ShowEq(0x0C);

        Type(c.box, c.typed);

        EXPECT_FLOAT_EQ(Point(2, 2).*c.field, c.expected);
        EXPECT_FLOAT_EQ(Point(3, 2).*c.field, c.expected);
        EXPECT_EQ(c.box->Text(), c.shown);
        EXPECT_FLOAT_EQ(c.control->Value(), c.controlValue);
        // One post per target: a control that reported its new value would have added more.
        EXPECT_EQ(sink.Params().size(), 2u);
        ExpectAmplifierInStep();
    }
}

TEST_F(EqEditorTest, EmptyOrGarbageTextChangesNothingAndShowsTheModelAgain) {
    Point(0, 3) = {440.0f, 2.5f, 1.5f, 0};
    ShowEq(0x01);
    const EqPoint kept = Point(0, 3);
    struct Box {
        CTpEdit* edit;
        const char* shown;
    };
    const Box boxes[] = {{K().CustmEQFreqEdt[3], "440 Hz"},
                         {K().CustmEQGainEdt[3], "2.5 dB"},
                         {K().CustmEQQEdt[3], "1.5"}};
    for (const Box& box : boxes) {
        for (const char* typed : {"", "   ", "abc", "-", "nan", "inf"}) {
            SCOPED_TRACE(std::string(box.shown) + " <- '" + typed + "'");
            Type(box.edit, typed);
            EXPECT_EQ(box.edit->Text(), box.shown);
            EXPECT_FLOAT_EQ(Point(0, 3).Freq, kept.Freq);
            EXPECT_FLOAT_EQ(Point(0, 3).Gain, kept.Gain);
            EXPECT_FLOAT_EQ(Point(0, 3).Q, kept.Q);
        }
    }
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(EqEditorTest, ModeTwoLimitsTheFrequencyKnobButNotTheTypedFrequency) {
    Model().Mode = 2;
    ShowEq(0x01);

    Turn(K().CEQFcyKnob[0], 3.0f);
    EXPECT_FLOAT_EQ(Point(0, 0).Freq, 302.0f);
    EXPECT_EQ(K().CustmEQFreqEdt[0]->Text(), "302 Hz");
    // The knob stops at the limit rather than pointing past it.
    EXPECT_FLOAT_EQ(K().CEQFcyKnob[0]->Value(), FreqKnobPosition(302.0));

    Type(K().CustmEQFreqEdt[0], "1000");
    EXPECT_FLOAT_EQ(Point(0, 0).Freq, 1000.0f);
    EXPECT_EQ(K().CustmEQFreqEdt[0]->Text(), "1000 Hz");
    ExpectAmplifierInStep();
}

// Edits to a bypassed point stay in the model; releasing the bypass sends all of its words, not
// only the gain.
TEST_F(EqEditorTest, PointBypassLightsTheLedAndReleasingItSendsTheWholePoint) {
    ShowEq(0x03);
    Click(K().CEQPassBtn[1]);
    for (int c : {0, 1}) {
        EXPECT_EQ(Point(c, 1).Bypass, 1);
        EXPECT_EQ(ReadChannelSwitches(sink.image, 0, c)->CustomBypass[1], 1);
        EXPECT_EQ(Word(InSetup(CustomPointOffset(c, 1) + kPointGainPair)), 0u);
    }
    EXPECT_TRUE(K().CEQLedStc[1]->IsLedOn());
    EXPECT_EQ(Ranges(), (std::vector<ImageRange>{PointRange(0, 1), PointRange(1, 1)}));

    sink.posts.clear();
    Turn(K().CEQQKnob[1], 9.0f);
    Type(K().CustmEQFreqEdt[1], "2000");
    Turn(K().CustmEQFader[1], -5.0f);
    EXPECT_FLOAT_EQ(Point(0, 1).Q, 9.0f);
    EXPECT_TRUE(sink.posts.empty());

    Click(K().CEQPassBtn[1]);
    EXPECT_FALSE(K().CEQLedStc[1]->IsLedOn());
    EXPECT_EQ(Ranges(), (std::vector<ImageRange>{PointRange(0, 1), PointRange(1, 1)}));
    for (int c : {0, 1}) EXPECT_EQ(ReadChannelSwitches(sink.image, 0, c)->CustomBypass[1], 0);
    ExpectAmplifierInStep();
}

// --- Curve drag ----------------------------------------------------------------------------------

TEST_F(EqEditorTest, DraggedCurvePointIsShownAndPostedForEveryTarget) {
    const float freqs[] = {100.0f, 500.0f, 2000.0f, 8000.0f};
    for (int c : {0, 1}) {
        for (int j = 0; j < kCustomPointCount; ++j) Point(c, j) = {freqs[j], 0.0f, 2.0f, 0};
    }
    ShowEq(0x03);
    CSpectrumCtl* curve = K().EQSpectrumCurve;
    const QPoint from(curve->ColumnOf(2000.0f), curve->RowOf(0.0f));
    const QPoint to(curve->ColumnOf(4000.0f), curve->RowOf(-6.0f));
    QTest::mousePress(curve, Qt::LeftButton, {}, from);
    QTest::mouseMove(curve, to);
    QTest::mouseRelease(curve, Qt::LeftButton, {}, to);

    const float freq = curve->FrequencyAt(to.x());
    const float gain = curve->GainAt(to.y());
    for (int c : {0, 1}) {
        EXPECT_FLOAT_EQ(Point(c, 2).Freq, freq);
        EXPECT_FLOAT_EQ(Point(c, 2).Gain, gain);
    }
    EXPECT_FLOAT_EQ(K().CEQFcyKnob[2]->Value(), FreqKnobPosition(freq));
    EXPECT_FLOAT_EQ(K().CustmEQFader[2]->Value(), gain);
    EXPECT_EQ(K().CustmEQFreqEdt[2]->Text(), Text(FreqText(freq)));
    EXPECT_EQ(K().CustmEQGainEdt[2]->Text(), Text(GainText(gain)));
    EXPECT_EQ(K().CustmEQQEdt[2]->Text(), "2.0");
    EXPECT_EQ(Ranges(), (std::vector<ImageRange>{PointRange(0, 2), PointRange(1, 2)}));
    ExpectAmplifierInStep();
    EXPECT_TRUE(window->HasUnsavedChanges());
}

// --- Selection and link --------------------------------------------------------------------------

TEST_F(EqEditorTest, ChannelButtonSelectsOneChannelAndCannotBeReleased) {
    Ch(2).EQBand[0].Gain = -3.0f;
    ShowEq(0x03);

    Click(K().EqGroupBtn[2]);
    EXPECT_EQ(Model().CurrentSetup().GroupEQFlag, 0x04);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(K().EqGroupBtn[At(c)]->GetCheck(), c == 2 ? 1 : 0);
    for (int p = 0; p < 2; ++p) EXPECT_EQ(K().Eq2GroupBtn[At(p)]->GetCheck(), 0);
    EXPECT_FLOAT_EQ(K().EQBandFader[0]->Value(), -3.0f);

    Click(K().EqGroupBtn[2]);
    EXPECT_EQ(Model().CurrentSetup().GroupEQFlag, 0x04);
    EXPECT_EQ(K().EqGroupBtn[2]->GetCheck(), 1);
    EXPECT_TRUE(sink.posts.empty());
}

// Linking takes the EQ of the channel shown (channel 2p when neither was) for both and sends the
// whole EQ of every channel that received it, with the output gain as the delay switch gates it.
TEST_F(EqEditorTest, PairLinkCopiesTheShownChannelsEqAndSendsIt) {
    struct Case {
        std::uint8_t flag;
        int source;
        std::vector<int> sent;
    };
    const Case cases[] = {{0x08, 3, {2, 3}}, {0x04, 2, {3}}, {0x01, 2, {3}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.flag));
        InitSetups(Model());
        for (int ch : {2, 3}) {
            Ch(ch).Trim = 10.0f;  // off with the delay section: the output gain stays unity
            Ch(ch).DelayOn = 0;
        }
        Ch(c.source).EQBand[4].Gain = 3.0f;
        Ch(c.source).CustomEQ[0] = {300.0f, -2.0f, 5.0f, 1};
        Ch(c.source).EQBypass = 1;
        ShowEq(c.flag);

        Click(K().Eq2GroupBtn[1]);

        EXPECT_EQ(Model().CurrentSetup().GroupEQFlag, 0x0C);
        for (int ch : {2, 3}) {
            EXPECT_FLOAT_EQ(Ch(ch).EQBand[4].Gain, 3.0f);
            EXPECT_FLOAT_EQ(Ch(ch).CustomEQ[0].Freq, 300.0f);
            EXPECT_EQ(Ch(ch).EQBypass, 1);
            EXPECT_EQ(K().EqGroupBtn[At(ch)]->GetCheck(), 1);
        }
        EXPECT_EQ(K().EqGroupBtn[0]->GetCheck(), 0);
        EXPECT_EQ(K().Eq2GroupBtn[1]->GetCheck(), 1);
        std::vector<ImageRange> expected;
        for (int ch : c.sent) {
            expected.push_back({InSetup(OutputGainOffset(ch)), kPairSize});
            expected.push_back({InSetup(ChannelEqOffset(ch)), kChannelEqSize});
        }
        EXPECT_EQ(Ranges(), expected);
        ExpectAmplifierInStep();
    }
}

TEST_F(EqEditorTest, PairUnlinkSelectsTheFirstChannelAndSendsNothing) {
    ShowEq(0x0C);
    ASSERT_EQ(K().Eq2GroupBtn[1]->GetCheck(), 1);
    Click(K().Eq2GroupBtn[1]);
    EXPECT_EQ(Model().CurrentSetup().GroupEQFlag, 0x04);
    EXPECT_EQ(K().EqGroupBtn[2]->GetCheck(), 1);
    EXPECT_EQ(K().EqGroupBtn[3]->GetCheck(), 0);
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(EqEditorTest, OneChannelModelKeepsItsPairSelected) {
    Model().ChannelNum = 1;
    ShowEq(0x01);
    ASSERT_EQ(Model().CurrentSetup().GroupEQFlag, 0x03);
    for (CGdipButton* button : {K().EqGroupBtn[0], K().EqGroupBtn[1], K().Eq2GroupBtn[0]}) {
        Click(button);
        EXPECT_EQ(button->GetCheck(), 1);
        EXPECT_EQ(Model().CurrentSetup().GroupEQFlag, 0x03);
    }
    EXPECT_TRUE(sink.posts.empty());
}

// A setup whose EQ selection is empty shows channel 1; its controls edit that channel rather than
// moving without the model.
TEST_F(EqEditorTest, EmptySelectionEditsTheShownChannel) {
    ShowEq(0x00);
    Turn(K().EQBandFader[2], 1.5f);
    EXPECT_FLOAT_EQ(Ch(0).EQBand[2].Gain, 1.5f);
    EXPECT_EQ(Ranges(), (std::vector<ImageRange>{{InSetup(BandOffset(0, 2)), kBandRecordSize}}));
    ExpectAmplifierInStep();
}

// --- Offline -------------------------------------------------------------------------------------

TEST_F(EqEditorTest, OfflineEditsChangeModelAndDisplayButPostNothing) {
    ShowEq(0x03);
    sink.online = false;

    Turn(K().EQBandFader[1], 2.0f);
    Turn(K().CustmEQFader[0], -4.0f);
    Type(K().CustmEQQEdt[0], "7");
    Click(K().CEQPassBtn[3]);
    Click(K().EQBypassBtn);

    for (int c : {0, 1}) {
        EXPECT_FLOAT_EQ(Ch(c).EQBand[1].Gain, 2.0f);
        EXPECT_FLOAT_EQ(Point(c, 0).Gain, -4.0f);
        EXPECT_FLOAT_EQ(Point(c, 0).Q, 7.0f);
        EXPECT_EQ(Point(c, 3).Bypass, 1);
        EXPECT_EQ(Ch(c).EQBypass, 1);
        EXPECT_EQ(K().ChEQStc[At(c)]->Text(), "OFF");
    }
    EXPECT_EQ(K().CustmEQGainEdt[0]->Text(), "-4.0 dB");
    EXPECT_FLOAT_EQ(K().CEQQKnob[0]->Value(), 7.0f);
    EXPECT_TRUE(K().CEQLedStc[3]->IsLedOn());
    EXPECT_TRUE(sink.posts.empty());
    EXPECT_TRUE(sink.image == before);
}

}  // namespace
}  // namespace vantrel
