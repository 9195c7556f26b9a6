#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/DisplayRefresh.h"
#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CLedCtl.h"
#include "controls/CProgressBar.h"
#include "controls/CTpComboBox.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "curves/CSpectrumCtl.h"
#include "curves/CSpectrumDisplya.h"
#include "skin/SkinLayout.h"
#include "skin/SkinReader.h"

namespace vantrel {
namespace {

const QColor kGrey(180, 180, 180);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kCyan(0, 204, 255);

// Every control of the generated default skin on a plain parent, with a model at its start values.
class DisplayRefreshTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path data = VANTREL_BUILD_DATA_DIR;
        // The build makes the skin: without it the build is broken, not the test inapplicable.
        ASSERT_TRUE(std::filesystem::exists(data / "PNGRes" / "Res.Pic"))
            << "no generated skin in " << data;
        SetPictureFolder(QString::fromStdString(data.string()));
        skin = std::make_unique<SkinReader>(SkinReader::LoadFromDataFolder(data));
        InitSetups(model);
        controls = CreateSkinControls(&window, *skin, &model.Setups[0]);
    }

    void TearDown() override { SetPictureFolder({}); }

    // The current setup, refreshed.
    SetupRecord& Refresh() {
        EXPECT_TRUE(refresh.RefreshSetupDisplay(model.CurrentSetupIndex));
        return model.CurrentSetup();
    }

    std::unique_ptr<SkinReader> skin;
    QWidget window;
    ParameterModel model;
    SkinControls controls;
    DisplayRefresh refresh{controls, model};
};

// The pixel on the 0 dB row at 5 kHz, where the flat curves of a fresh setup lie. Unselected
// curves are drawn thick in a third of their colour; a selected one lies thin on top of them.
QColor ZeroDbPixel(CSpectrumCtl* curve) {
    return curve->grab().toImage().pixelColor(curve->ColumnOf(5000.0f), curve->RowOf(0.0f));
}

QColor DimmedColor(int c) {
    const QColor color = DisplayRefresh::ChannelColor(c);
    return QColor(color.red() / 3, color.green() / 3, color.blue() / 3);
}

TEST(DisplayRefreshShownEqChannelTest, HighestChannelBitWins) {
    struct Case {
        std::uint8_t flag;
        int channel;
    };
    // Bits 6 and 7 stand for no channel and must not select one past the six.
    for (const Case& c : {Case{0x00, 0}, Case{0x01, 0}, Case{0x03, 1}, Case{0x0C, 3}, Case{0x3F, 5},
                          Case{0x80, 0}, Case{0xC4, 2}}) {
        EXPECT_EQ(DisplayRefresh::ShownEqChannel(c.flag), c.channel) << int{c.flag};
    }
}

TEST_F(DisplayRefreshTest, RecolourOnlyChangesNoModelFieldAndColoursTheLabels) {
    SetupRecord& setup = model.Setups[0];
    setup.GroupFlag = 0x1D;
    setup.GroupEQFlag = 0x05;
    setup.MasterMute = 1;
    const ParameterModel before = model;

    refresh.SyncEqSelection(0, DisplayRefresh::kRecolourOnly);

    for (int s = 0; s < kSetupCount; ++s) {
        const SetupRecord& a = model.Setups[static_cast<std::size_t>(s)];
        const SetupRecord& b = before.Setups[static_cast<std::size_t>(s)];
        EXPECT_EQ(a.GroupFlag, b.GroupFlag) << s;
        EXPECT_EQ(a.GroupEQFlag, b.GroupEQFlag) << s;
        EXPECT_EQ(a.MasterMute, b.MasterMute) << s;
    }
    EXPECT_EQ(model.MarkIndex, before.MarkIndex);
    EXPECT_EQ(model.CurrentSetupIndex, before.CurrentSetupIndex);
    EXPECT_EQ(model.ChannelNum, before.ChannelNum);

    const std::vector<QColor> expected{kRed, kGrey, kBlue, kGrey, kGrey, kGrey};
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        EXPECT_EQ(controls.SpChStc[c]->TextColor(), expected[c]) << c;
        EXPECT_EQ(controls.EQSpChStc[c]->TextColor(), expected[c]) << c;
    }
}

TEST_F(DisplayRefreshTest, EditInAPairMovesTheEqSelectionToThatPair) {
    struct Case {
        std::uint8_t channelNum;
        std::uint8_t groupFlag;
        int mask;
        std::uint8_t groupEqFlag;
        int shown;
    };
    for (const Case& c : {Case{4, 0x1D, 0x0C, 0x0C, 3}, Case{4, 0x15, 0x0C, 0x04, 2},
                          Case{4, 0x1D, 0x03, 0x01, 0}, Case{6, 0x3F, 0x30, 0x30, 5}}) {
        model.ChannelNum = c.channelNum;
        model.Setups[0].GroupFlag = c.groupFlag;
        model.Setups[0].GroupEQFlag = 0x01;
        refresh.SyncEqSelection(0, c.mask);
        EXPECT_EQ(model.Setups[0].GroupEQFlag, c.groupEqFlag) << c.mask;
        EXPECT_EQ(refresh.ShownEqChannel(), c.shown) << c.mask;
        EXPECT_EQ(model.Setups[0].GroupFlag, c.groupFlag) << c.mask;
    }

    // Pair 2 of the first case: channels 3 and 4 coloured, and the EQ page shows channel 4.
    model.ChannelNum = 4;
    SetupRecord& setup = model.Setups[0];
    setup.GroupFlag = 0x1D;
    setup.Channels[3].EQBypass = 1;
    setup.Channels[3].CustomEQ[0].Gain = -3.0f;
    refresh.SyncEqSelection(0, 0x0C);
    EXPECT_EQ(controls.SpChStc[0]->TextColor(), kGrey);
    EXPECT_EQ(controls.SpChStc[2]->TextColor(), kBlue);
    EXPECT_EQ(controls.EQSpChStc[3]->TextColor(), kCyan);
    EXPECT_TRUE(controls.Eq2GroupBtn[1]->GetCheck());
    EXPECT_FALSE(controls.EqGroupBtn[0]->GetCheck());

    Refresh();
    EXPECT_EQ(model.Setups[0].GroupEQFlag, 0x0C);
    EXPECT_EQ(controls.EQBypassBtn->GetCheck(), 1);
    EXPECT_EQ(controls.CustmEQGainEdt[0]->Text().toStdString(), "-3.0 dB");
    EXPECT_FLOAT_EQ(controls.CustmEQFader[0]->Value(), -3.0f);
}

TEST_F(DisplayRefreshTest, EmptyEqGroupShowsChannelOneAndDimsEveryCurve) {
    SetupRecord& setup = model.CurrentSetup();
    setup.Channels[0].CustomEQ[1].Q = 7.5f;
    setup.Channels[1].CustomEQ[1].Q = 2.0f;

    Refresh();  // GroupEQFlag 1: channel 1 lies over the dimmed ones
    EXPECT_NE(ZeroDbPixel(controls.SpectrumCurve), DimmedColor(3));

    setup.GroupEQFlag = 0;
    Refresh();
    EXPECT_EQ(refresh.ShownEqChannel(), 0);
    EXPECT_EQ(controls.CustmEQQEdt[1]->Text().toStdString(), "7.5");
    EXPECT_EQ(refresh.SavedEqGroup(), 0);
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        EXPECT_EQ(controls.SpChStc[c]->TextColor(), kGrey) << c;
    }
    // All four drawn dimmed, the last channel on top.
    EXPECT_EQ(ZeroDbPixel(controls.SpectrumCurve), DimmedColor(3));
}

TEST_F(DisplayRefreshTest, ColumnsAndStripsFollowTheChannelCount) {
    model.MarkIndex = {1, 5, 9, 13, 17, 20};
    // Channel 3 has values that must not show once it is beyond the count.
    ChannelRecord& third = model.CurrentSetup().Channels[2];
    third.HighPassOn = 1;
    third.DelayOn = 1;
    third.LevelVal = 16.0f;

    model.ChannelNum = 2;
    Refresh();
    for (std::size_t c = 2; c < kChannelCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(controls.ChFLMkStc[c]->Text().toStdString(), "-");
        EXPECT_EQ(controls.ChEQStc[c]->Text().toStdString(), "-");
        EXPECT_EQ(controls.ChCBox[c]->count(), 0);
        EXPECT_FALSE(controls.ChCBox[c]->isEnabled());
        for (CGdipButton* button :
             {controls.GroupCtlBtn[c], controls.EqGroupBtn[c], controls.TimeONBtn[c]}) {
            EXPECT_TRUE(button->IsDisabled());
            EXPECT_EQ(button->GetCheck(), 0);
        }
        EXPECT_TRUE(controls.EQMuteBtn[c]->IsDisabled());
        EXPECT_TRUE(controls.TimeDlyKnob[c]->IsDisabled());
        EXPECT_TRUE(controls.TimeAtnKnob[c]->IsDisabled());
        EXPECT_FALSE(controls.TimeLedStc[c]->IsLedOn());
        EXPECT_EQ(controls.CHLevelBar[c]->GetLevel(), 0);
    }
    for (std::size_t p = 1; p < SkinControls::kStrips; ++p) {
        SCOPED_TRACE(p);
        for (CGdipButton* button :
             {controls.GroupBtn[p], controls.LevelMuteBtn[p], controls.HighONBtn[p],
              controls.LowONBtn[p], controls.High6dBBtn[p], controls.Low6dBBtn[p],
              controls.LevelPlusBtn[p], controls.Eq2GroupBtn[p]}) {
            EXPECT_TRUE(button->IsDisabled());
            EXPECT_EQ(button->GetCheck(), 0);
        }
        EXPECT_FALSE(controls.LevelEdit[p]->isEnabled());
        EXPECT_FALSE(controls.HighPassEdit[p]->isEnabled());
        EXPECT_FALSE(controls.LowPassEdit[p]->isEnabled());
    }
    EXPECT_TRUE(controls.ChCBox[1]->isEnabled());
    EXPECT_FALSE(controls.LowONBtn[0]->IsDisabled());

    // Back to four channels: columns 3 and 4 and strip 2 come back with their values.
    model.ChannelNum = 4;
    Refresh();
    EXPECT_TRUE(controls.ChCBox[2]->isEnabled());
    EXPECT_EQ(controls.ChCBox[2]->Mark(), 9);
    EXPECT_EQ(controls.ChCBox[2]->count(), 1);
    EXPECT_EQ(controls.ChFLMkStc[2]->Text().toStdString(), "HPF");
    EXPECT_TRUE(controls.TimeLedStc[2]->IsLedOn());
    EXPECT_EQ(controls.CHLevelBar[2]->GetLevel(), 100);
    EXPECT_FALSE(controls.TimeDlyKnob[3]->IsDisabled());
    EXPECT_FALSE(controls.LevelPlusBtn[1]->IsDisabled());
    EXPECT_TRUE(controls.LevelEdit[1]->isEnabled());
    EXPECT_FALSE(controls.ChCBox[4]->isEnabled());
}

TEST_F(DisplayRefreshTest, OneChannelModelLinksThePairAndLocksItsLowPass) {
    model.ChannelNum = 1;
    model.CurrentSetup().Channels[1].EQBypass = 1;
    model.CurrentSetup().Channels[1].LevelVal = 16.0f;
    SetupRecord& setup = Refresh();  // start values: GroupFlag 0x15, GroupEQFlag 1
    EXPECT_EQ(setup.GroupFlag, 3);
    EXPECT_EQ(setup.GroupEQFlag, 3);
    EXPECT_TRUE(controls.LowONBtn[0]->IsDisabled());
    EXPECT_FALSE(controls.HighONBtn[0]->IsDisabled());
    for (CGdipButton* button :
         {controls.GroupCtlBtn[0], controls.GroupCtlBtn[1], controls.GroupBtn[0],
          controls.EqGroupBtn[0], controls.EqGroupBtn[1], controls.Eq2GroupBtn[0]}) {
        EXPECT_FALSE(button->IsDisabled());
        EXPECT_EQ(button->GetCheck(), 1);
    }
    // Shown already linked: channel 2 coloured, in the strip and on the EQ page.
    EXPECT_EQ(controls.SpChStc[1]->TextColor(), QColor(0, 255, 0));
    EXPECT_EQ(refresh.ShownEqChannel(), 1);
    EXPECT_EQ(controls.EQBypassBtn->GetCheck(), 1);
    EXPECT_EQ(controls.LevelEdit[0]->Text().toStdString(), "100.00 %");
    EXPECT_EQ(refresh.SavedEqGroup(), 3);
    EXPECT_TRUE(controls.GroupBtn[1]->IsDisabled());

    // Only the current setup is forced.
    EXPECT_EQ(model.Setups[1].GroupFlag, 0x15);

    model.ChannelNum = 4;
    Refresh();
    EXPECT_FALSE(controls.LowONBtn[0]->IsDisabled());
}

TEST_F(DisplayRefreshTest, LayoutClearsMasterMuteButKeepsChannelMutes) {
    SetupRecord& setup = model.CurrentSetup();
    setup.MasterMute = 1;
    setup.Channels[0].Mute = 1;
    controls.MuteBtn->SetCheck(1);
    refresh.LayoutChannelStrips();
    EXPECT_EQ(setup.MasterMute, 0);
    EXPECT_EQ(controls.MuteBtn->GetCheck(), 0);
    EXPECT_EQ(setup.Channels[0].Mute, 1);
}

TEST_F(DisplayRefreshTest, ATuneShowsInEveryControl) {
    model.CurrentSetupIndex = 1;
    model.ANS = 0;
    SetupRecord& setup = model.Setups[1];
    setup.GroupFlag = 0x16;    // pair 1 shows channel 2
    setup.GroupEQFlag = 0x02;  // EQ page shows channel 2
    ChannelRecord& ch = setup.Channels[1];
    ch.Mute = 1;
    ch.LevelLock = 1;
    ch.LevelVal = 8.0f;
    ch.HighPassOn = 1;
    ch.HighPassLock = 1;
    ch.HighPassFreq = 1000.0f;
    ch.HighPassSlope = 24;
    ch.LowPassFreq = 5012.0f;
    ch.LowPassSlope = 48;
    ch.DelayOn = 1;
    ch.DelayTime = 3.5f;
    ch.Trim = 6.0f;
    ch.EQBypass = 1;
    ch.CustomEQ[2] = EqPoint{1000.0f, -3.5f, 4.5f, 1};
    ch.EQBand[5].Gain = 2.5f;
    refresh.SetSelectedBand(5);

    Refresh();

    struct Shown {
        const char* control;
        std::string actual;
        std::string expected;
    };
    const std::vector<Shown> texts{
        {"LevelEdit0", controls.LevelEdit[0]->Text().toStdString(), "50.00 %"},
        {"HighPassEdit0", controls.HighPassEdit[0]->Text().toStdString(), "1000 Hz"},
        {"LowPassEdit0", controls.LowPassEdit[0]->Text().toStdString(), "5012 Hz"},
        {"ChFLMkStc1", controls.ChFLMkStc[1]->Text().toStdString(), "HPF"},
        {"ChHPFStc1", controls.ChHPFStc[1]->Text().toStdString(), "1000"},
        {"ChLPFStc1", controls.ChLPFStc[1]->Text().toStdString(), "-"},
        {"ChDLYStc1", controls.ChDLYStc[1]->Text().toStdString(), "3.50"},
        {"ChTRIMStc1", controls.ChTRIMStc[1]->Text().toStdString(), "-6.0"},
        {"ChEQStc1", controls.ChEQStc[1]->Text().toStdString(), "OFF"},
        {"DlyTimeEdt1", controls.DlyTimeEdt[1]->Text().toStdString(), "3.50 ms"},
        {"DlyDisEdt1", controls.DlyDisEdt[1]->Text().toStdString(), "119.0 cm"},
        {"TrimEdt1", controls.TrimEdt[1]->Text().toStdString(), "-6.0 dB"},
        {"ChDLYStc0", controls.ChDLYStc[0]->Text().toStdString(), "-"},
        {"ChFLMkStc0", controls.ChFLMkStc[0]->Text().toStdString(), "OFF"},
        {"ChEQStc0", controls.ChEQStc[0]->Text().toStdString(), "ON"},
        {"CustmEQFreqEdt2", controls.CustmEQFreqEdt[2]->Text().toStdString(), "1000 Hz"},
        {"CustmEQGainEdt2", controls.CustmEQGainEdt[2]->Text().toStdString(), "-3.5 dB"},
        {"CustmEQQEdt2", controls.CustmEQQEdt[2]->Text().toStdString(), "4.5"},
        {"EQBandFreqEdt", controls.EQBandFreqEdt->Text().toStdString(), "125 Hz"},
        {"EQBandGainEdt", controls.EQBandGainEdt->Text().toStdString(), "2.5 dB"},
    };
    for (const Shown& shown : texts) EXPECT_EQ(shown.actual, shown.expected) << shown.control;

    struct Value {
        const char* control;
        float actual;
        float expected;
    };
    const std::vector<Value> values{
        {"TimeDlyKnob1", controls.TimeDlyKnob[1]->Value(), 3.5f},
        {"TimeAtnKnob1", controls.TimeAtnKnob[1]->Value(), 6.0f},
        {"CEQFcyKnob2", controls.CEQFcyKnob[2]->Value(), 3.0f},
        {"CEQQKnob2", controls.CEQQKnob[2]->Value(), 4.5f},
        {"CustmEQFader2", controls.CustmEQFader[2]->Value(), -3.5f},
        {"EQBandFader5", controls.EQBandFader[5]->Value(), 2.5f},
        {"CHLevelBar1", static_cast<float>(controls.CHLevelBar[1]->GetLevel()), 50.0f},
    };
    for (const Value& v : values) EXPECT_FLOAT_EQ(v.actual, v.expected) << v.control;

    struct Check {
        const char* control;
        CGdipButton* button;
        int checked;
        bool disabled;
    };
    const std::vector<Check> buttons{
        {"SetupBtn0", controls.SetupBtn[0], 0, false},
        {"SetupBtn1", controls.SetupBtn[1], 1, false},
        {"ExitBtn", controls.ExitBtn, 1, false},
        {"GroupBtn0", controls.GroupBtn[0], 0, false},
        {"GroupCtlBtn1", controls.GroupCtlBtn[1], 1, false},
        {"GroupCtlBtn0", controls.GroupCtlBtn[0], 0, false},
        {"EqGroupBtn1", controls.EqGroupBtn[1], 1, false},
        {"LevelMuteBtn0", controls.LevelMuteBtn[0], 1, false},
        {"EQMuteBtn1", controls.EQMuteBtn[1], 1, false},
        {"LevelLockBtn0", controls.LevelLockBtn[0], 1, false},
        {"LevelPlusBtn0", controls.LevelPlusBtn[0], 0, true},
        {"LevelReduceBtn0", controls.LevelReduceBtn[0], 0, true},
        {"HighONBtn0", controls.HighONBtn[0], 1, false},
        {"LowONBtn0", controls.LowONBtn[0], 0, false},
        {"HighLockBtn0", controls.HighLockBtn[0], 1, false},
        {"HighPlusBtn0", controls.HighPlusBtn[0], 0, true},
        {"High12dBBtn0", controls.High12dBBtn[0], 0, true},
        {"High24dBBtn0", controls.High24dBBtn[0], 1, true},
        {"LowPlusBtn0", controls.LowPlusBtn[0], 0, false},
        {"Low48dBBtn0", controls.Low48dBBtn[0], 1, false},
        {"Low6dBBtn0", controls.Low6dBBtn[0], 0, false},
        {"TimeONBtn1", controls.TimeONBtn[1], 1, false},
        {"BypassBtn", controls.BypassBtn, 1, false},
        {"EQBypassBtn", controls.EQBypassBtn, 1, false},
        {"CEQPassBtn2", controls.CEQPassBtn[2], 1, false},
        {"CEQPassBtn0", controls.CEQPassBtn[0], 0, false},
    };
    for (const Check& b : buttons) {
        EXPECT_EQ(b.button->GetCheck(), b.checked) << b.control;
        EXPECT_EQ(b.button->IsDisabled(), b.disabled) << b.control;
    }

    EXPECT_TRUE(controls.LevelEdit[0]->IsReadOnly());
    EXPECT_TRUE(controls.HighPassEdit[0]->IsReadOnly());
    EXPECT_FALSE(controls.LowPassEdit[0]->IsReadOnly());
    EXPECT_TRUE(controls.TimeLedStc[1]->IsLedOn());
    EXPECT_TRUE(controls.CEQLedStc[2]->IsLedOn());
    for (CSpectrumCtl* curve : {controls.SpectrumCurve, controls.EQSpectrumCurve}) {
        EXPECT_EQ(curve->WritableSetup(), &setup);
        EXPECT_EQ(curve->ChannelCount(), 4);
    }
}

TEST_F(DisplayRefreshTest, AdaptorLinkShowsTheAmplifiersChannelMarks) {
    model.MarkIndex = {1, 2, 3, 4, 5, 6};
    refresh.SetAdaptorLink(true, {7, 8, 99, 10, 11, 12});
    Refresh();
    EXPECT_EQ(controls.ChCBox[0]->Mark(), 7);
    EXPECT_EQ(controls.ChCBox[2]->Mark(), 20);  // the list holds 21 marks
    EXPECT_EQ(model.MarkIndex[0], 7);
    EXPECT_EQ(model.MarkIndex[2], 20);
    EXPECT_EQ(controls.ChCBox[4]->count(), 0);  // beyond four channels
    EXPECT_EQ(model.MarkIndex[4], 5);

    refresh.SetAdaptorLink(false, {});
    model.MarkIndex[0] = 3;
    Refresh();
    EXPECT_EQ(controls.ChCBox[0]->Mark(), 3);
}

TEST_F(DisplayRefreshTest, SpectrumWindowFollowsTheShownSetup) {
    const SkinBackgrounds backgrounds = LoadSkinBackgrounds(*skin);
    CSpectrumDisplya spectrum(*skin, backgrounds.spectrum, &window);
    refresh.SetSpectrumWindow(&spectrum);
    model.ChannelNum = 6;
    model.Setups[2].GroupEQFlag = 0x04;
    EXPECT_TRUE(refresh.RefreshSetupDisplay(2));
    EXPECT_EQ(spectrum.Setup(), &model.Setups[2]);
    EXPECT_EQ(spectrum.ZoomCurve()->ChannelCount(), 6);
    EXPECT_EQ(spectrum.ChannelLabel(2)->TextColor(), kBlue);

    model.Setups[2].GroupFlag = 0x3F;
    refresh.SyncEqSelection(2, 0x30);
    EXPECT_EQ(spectrum.ChannelLabel(2)->TextColor(), kGrey);
    EXPECT_EQ(spectrum.ChannelLabel(5)->TextColor(), QColor(204, 255, 0));
}

TEST_F(DisplayRefreshTest, OutOfRangeSetupIndicesAreLimitedOrIgnored) {
    model.CurrentSetupIndex = 7;
    refresh.LayoutChannelStrips();
    EXPECT_EQ(model.CurrentSetupIndex, 3);

    model.CurrentSetupIndex = -2;
    EXPECT_TRUE(refresh.RefreshSetupDisplay(0));
    EXPECT_EQ(model.CurrentSetupIndex, 0);
    EXPECT_EQ(controls.SetupBtn[0]->GetCheck(), 1);

    const std::uint8_t flag = model.Setups[0].GroupEQFlag;
    controls.LevelEdit[0]->SetText("kept");
    EXPECT_FALSE(refresh.RefreshSetupDisplay(4));
    EXPECT_FALSE(refresh.RefreshSetupDisplay(-1));
    refresh.SyncEqSelection(4, 0x03);
    refresh.SyncEqSelection(-1, 0x03);
    EXPECT_EQ(controls.LevelEdit[0]->Text().toStdString(), "kept");
    EXPECT_EQ(model.Setups[0].GroupEQFlag, flag);

    refresh.SetSelectedBand(40);
    EXPECT_EQ(refresh.SelectedBand(), kEqBandCount - 1);
    refresh.SetSelectedBand(-3);
    EXPECT_EQ(refresh.SelectedBand(), 0);
}

}  // namespace
}  // namespace vantrel
