// Edits made with the mouse and keyboard on the real window reach the virtual amplifier: once a
// burst has settled, the amplifier holds exactly the window's image and levels, each changed
// range having gone out once with its newest bytes.
#include <unistd.h>

#include <QDir>
#include <QTest>
#include <map>
#include <sstream>
#include <set>

#include "app/ConnectionMonitor.h"
#include "app/SetupEditor.h"
#include "cli/Cli.h"
#include "app/WorkerSession.h"
#include "controls/CGdipButton.h"
#include "controls/CFaderCtrl.h"
#include "controls/CKnob.h"
#include "curves/CSpectrumCtl.h"
#include "curves/CSpectrumDisplya.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "model/Scales.h"
#include "support/LiveWindowFixture.h"

namespace vantrel {
namespace {

class LiveEditTest : public test::LiveWindowTest {};

TEST_F(LiveEditTest, MainPageBurstReachesTheAmplifier) {
    Connect();
    const SkinControls& k = window->Controls();
    ClickOn(k.LevelPlusBtn[0]);
    ClickOn(k.LevelPlusBtn[0]);
    TypeInto(k.HighPassEdit[0], "120");
    ClickOn(k.High24dBBtn[0]);
    DragUp(k.TimeDlyKnob[0], 40);
    TypeInto(k.DlyDisEdt[1], "100");
    TypeInto(k.TrimEdt[2], "-4.5");
    ASSERT_TRUE(Settle());

    const ChannelRecord& ch0 = window->Model().CurrentSetup().Channels[0];
    EXPECT_EQ(window->Model().CurrentSetup().Channels[0].LevelVal, 3.0f);
    EXPECT_EQ(ch0.HighPassFreq, QuantizeCrossoverFreq(120, 0));
    EXPECT_EQ(ch0.HighPassSlope, 24);
    EXPECT_GT(ch0.DelayTime, 1.0f);
    EXPECT_EQ(window->Model().CurrentSetup().Channels[1].DelayTime, QuantizeDelayDistance(100));
    EXPECT_FLOAT_EQ(window->Model().CurrentSetup().Channels[2].Trim, 4.5f);
    // Two clicks, one level frame per channel of the pair.
    EXPECT_EQ(Burst(CMD_SET_LEVEL).size(), 2u);
    EXPECT_FALSE(Burst(CMD_WRITE_PARAMS).empty());
    ExpectAmplifierEqualsWindow();
}

// Quick edits of different channels and kinds in one burst: none is lost to another.
TEST_F(LiveEditTest, QuickEditsOfManyChannelsAreAllSent) {
    Connect();
    const SkinControls& k = window->Controls();
    ClickOn(k.LevelPlusBtn[0]);
    ClickOn(k.LevelPlusBtn[1]);
    ClickOn(k.LevelMuteBtn[1]);
    for (std::size_t c = 0; c < 4; ++c) {
        TypeInto(k.TrimEdt[c], QString::number(-1.5 * static_cast<double>(c + 1)));
        TypeInto(k.DlyTimeEdt[c], QString::number(2 + static_cast<int>(c)));
    }
    ClickOn(k.TimeONBtn[3]);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Burst(CMD_SET_LEVEL).size(), 4u);
    EXPECT_EQ(window->Model().CurrentSetup().Channels[3].DelayOn, 0);
    ExpectAmplifierEqualsWindow();
}

std::vector<std::uint8_t> SetupMemory(const sim::VirtualAmplifier& amp, int setup) {
    return amp.ReadMemory(static_cast<std::uint32_t>(sim::kParamImageAddress + SetupImageOffset(setup)),
                          kSetupImageSize);
}

std::vector<std::uint8_t> SetupBytes(const DeviceImage& image, int setup) {
    const auto begin = image.begin() + static_cast<std::ptrdiff_t>(SetupImageOffset(setup));
    return {begin, begin + static_cast<std::ptrdiff_t>(kSetupImageSize)};
}

TEST_F(LiveEditTest, SwitchAnsweredNoPutsTheStoredTuneBackAndRunsTheNewSetup) {
    Connect();
    const auto stored = SetupMemory(*amp, 0);
    const SkinControls& k = window->Controls();
    window->editorHooks.askYesNo = [](const QString&, const QString&) { return false; };
    TypeInto(k.TrimEdt[0], "-9");
    TypeInto(k.HighPassEdit[1], "400");
    BeginBurst();
    ASSERT_NE(SetupMemory(*amp, 0), stored) << "the edits were heard";

    ClickOn(k.SetupBtn[2]);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(window->Model().CurrentSetupIndex, 2);
    EXPECT_EQ(SetupMemory(*amp, 0), stored);
    EXPECT_EQ(SetupBytes(WindowImage(), 0), stored);
    EXPECT_EQ(window->Model().Setups[0].Channels[0].Trim, 0.0f);
    const auto loads = Burst(CMD_LOAD_SETUP);
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].payload, std::vector<std::uint8_t>{2});
    EXPECT_TRUE(Burst(CMD_WRITE_MEMORY).empty()) << "nothing stored";
    ExpectAmplifierEqualsWindow();

    ClickOn(k.SetupBtn[0]);
    EXPECT_EQ(k.TrimEdt[0]->Text(), "0.0 dB") << "the display shows the stored tune";
}

TEST_F(LiveEditTest, SwitchAnsweredYesStoresTheWindowsImage) {
    Connect();
    const SkinControls& k = window->Controls();
    window->editorHooks.askYesNo = [](const QString&, const QString&) { return true; };
    ClickOn(k.LevelPlusBtn[1]);
    TypeInto(k.DlyTimeEdt[3], "7.5");
    ClickOn(k.SetupBtn[1]);
    ASSERT_TRUE(WaitUntil([&] { return !window->HasUnsavedChanges(); }, 10000));
    ASSERT_TRUE(Settle());
    const DeviceImage image = WindowImage();
    const auto memory = amp->ReadMemory(sim::kParamImageAddress, kDeviceImageSize);
    const auto differs = std::mismatch(memory.begin(), memory.end(), image.begin());
    EXPECT_TRUE(differs.first == memory.end())
        << "the amplifier's image differs at byte " << (differs.first - memory.begin());
    EXPECT_EQ(amp->ReadMemory(sim::kActiveSetupAddress, 1)[0], 1) << "the store activated it";
    EXPECT_EQ(window->Model().Setups[0].Channels[3].DelayTime, 7.5f);
}

TEST_F(LiveEditTest, AFailedStoreLeavesTheChangesUnsavedAndSaysSo) {
    Connect();
    const SkinControls& k = window->Controls();
    TypeInto(k.TrimEdt[1], "-3");
    ASSERT_TRUE(Settle());
    amp->InjectFault(CMD_WRITE_MEMORY, sim::Fault::ErrorStatus, 1);
    ClickOn(k.StoreBtn);
    ASSERT_TRUE(WaitUntil([&] { return k.Prompt2Stc->Text() == SetupEditor::kStoreFailed; },
                          10000));
    EXPECT_EQ(k.Prompt1Stc->Text(), "Save setup data fail!");
    EXPECT_TRUE(window->HasUnsavedChanges());

    ClickOn(k.StoreBtn);
    ASSERT_TRUE(WaitUntil([&] { return !window->HasUnsavedChanges(); }, 10000));
    EXPECT_EQ(k.Prompt2Stc->Text(), "Save setup data OK.");
}

TEST_F(LiveEditTest, APresetSavedToANewFileOpensBackIntoTheAmplifier) {
    Connect();
    const SkinControls& k = window->Controls();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vantrel-live-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    window->editorHooks.choosePresetToSave = [&] { return folder / "tune.dat"; };
    window->editorHooks.choosePresetToOpen = [&] { return folder / "tune.dat"; };
    window->editorHooks.askYesNo = [](const QString&, const QString&) { return true; };

    TypeInto(k.LowPassEdit[0], "5000");
    TypeInto(k.TrimEdt[0], "-6");
    ClickOn(k.SaveBtn);
    ASSERT_TRUE(std::filesystem::exists(folder / "tune.dat"));

    TypeInto(k.LowPassEdit[0], "8000");
    TypeInto(k.TrimEdt[0], "-1");
    BeginBurst();
    ClickOn(k.OpenBtn);
    ASSERT_TRUE(Settle());
    const ChannelRecord& ch = window->Model().CurrentSetup().Channels[0];
    EXPECT_NEAR(ch.LowPassFreq, QuantizeCrossoverFreq(5000, 0), 0.05);  // the file's precision
    EXPECT_EQ(k.LowPassEdit[0]->Text(), "5012 Hz");
    EXPECT_EQ(ch.Trim, 6.0f);
    EXPECT_EQ(k.TrimEdt[0]->Text(), "-6.0 dB");
    EXPECT_EQ(Burst(CMD_WRITE_PARAMS).size(), 1u) << "the setup whole";
    ExpectAmplifierEqualsWindow();
    std::filesystem::remove_all(folder);
}

// The EQ page: select, fader, typed point, bypass, a point dragged on the curve, a pair linked and
// an EQ reset, all in one burst.
TEST_F(LiveEditTest, EqPageBurstReachesTheAmplifier) {
    const float freqs[] = {100.0f, 500.0f, 2000.0f, 8000.0f};
    m_tune = [&](ParameterModel& model) {
        for (std::size_t j = 0; j < 4; ++j) model.Setups[0].Channels[1].CustomEQ[j].Freq = freqs[j];
        model.Setups[0].Channels[3].EQBand[5].Gain = 4.0f;
    };
    Connect();
    const SkinControls& k = window->Controls();
    ClickOn(k.EQLoadBtn);
    ASSERT_TRUE(window->IsEqPageShown());
    ClickOn(k.EqGroupBtn[1]);
    DragUp(k.EQBandFader[10], 24);
    TypeInto(k.CustmEQFreqEdt[0], "250");
    TypeInto(k.CustmEQGainEdt[0], "-4.5");
    TypeInto(k.CustmEQQEdt[0], "2.5");
    ClickOn(k.CEQPassBtn[1]);
    // The fourth point of channel 2, from its marker to 6 kHz at -3 dB.
    CSpectrumCtl* curve = k.EQSpectrumCurve;
    const QPoint from(curve->ColumnOf(8000.0f), curve->RowOf(0.0f));
    const QPoint to(curve->ColumnOf(6000.0f), curve->RowOf(-3.0f));
    ASSERT_EQ(window->childAt(curve->mapTo(window.get(), from)), curve);
    QTest::mousePress(curve, Qt::LeftButton, {}, from);
    QTest::mouseMove(curve, (from + to) / 2);
    QTest::mouseMove(curve, to);
    QTest::mouseRelease(curve, Qt::LeftButton, {}, to);
    ClickOn(k.Eq2GroupBtn[0]);  // channel 1 takes channel 2's EQ
    ClickOn(k.EqGroupBtn[3]);
    ClickOn(k.EQResetBtn);
    ASSERT_TRUE(Settle());

    const SetupRecord& setup = window->Model().CurrentSetup();
    const ChannelRecord& ch1 = setup.Channels[0];
    const ChannelRecord& ch2 = setup.Channels[1];
    EXPECT_GT(ch2.EQBand[10].Gain, 0.0f);
    EXPECT_EQ(ch2.CustomEQ[0].Freq, QuantizeEqFreq(250));
    EXPECT_EQ(ch2.CustomEQ[0].Gain, -4.5f);
    EXPECT_EQ(ch2.CustomEQ[0].Q, 2.5f);
    EXPECT_EQ(ch2.CustomEQ[1].Bypass, 1);
    EXPECT_NEAR(ch2.CustomEQ[3].Freq, 6000.0f, 200.0f);
    EXPECT_NEAR(ch2.CustomEQ[3].Gain, -3.0f, 0.3f);
    EXPECT_EQ(ch1.EQBand[10].Gain, ch2.EQBand[10].Gain) << "linked";
    EXPECT_EQ(ch1.CustomEQ[3].Freq, ch2.CustomEQ[3].Freq);
    EXPECT_EQ(setup.Channels[3].EQBand[5].Gain, 0.0f) << "reset";
    EXPECT_FALSE(Burst(CMD_WRITE_PARAMS).empty());
    ExpectAmplifierEqualsWindow();
}

// Copy and paste through the right-click menus of a setup button and a channel button.
TEST_F(LiveEditTest, RightClickCopyAndPasteReachTheAmplifier) {
    m_tune = [](ParameterModel& model) {
        model.Setups[0].Channels[0].HighPassOn = 1;
        model.Setups[0].Channels[0].HighPassFreq = 1000.0f;
        model.Setups[0].Channels[0].DelayOn = 1;
        model.Setups[0].Channels[0].DelayTime = 4.0f;
    };
    Connect();
    const SkinControls& k = window->Controls();
    QString wanted;
    std::vector<MenuItem> shown;
    window->editorHooks.popupMenu = [&](const std::vector<MenuItem>& items, QPoint) {
        shown = items;
        for (const MenuItem& item : items) {
            if (item.enabled && item.text.startsWith(wanted)) return item.command;
        }
        return 0;
    };
    window->editorHooks.askYesNo = [](const QString&, const QString&) { return false; };
    const auto rightClick = [&](QWidget* button, const QString& item) {
        wanted = item;
        QPoint local;
        ASSERT_EQ(HitAt(button, &local), button);
        QTest::mousePress(button, Qt::RightButton, {}, local);
        QTest::mouseRelease(button, Qt::RightButton, {}, local);
    };

    // Channel 1 onto channel 3 of setup 1.
    rightClick(k.GroupCtlBtn[0], "Copy Channel 1");
    rightClick(k.GroupCtlBtn[2], "Paste Channel 1 to 3");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(window->Model().CurrentSetup().Channels[2].HighPassFreq, 1000.0f);
    ExpectAmplifierEqualsWindow();

    // Setup 1 onto setup 2.
    rightClick(k.SetupBtn[0], "Copy Setup 1");
    window->editorHooks.askYesNo = [](const QString&, const QString&) { return true; };
    ClickOn(k.SetupBtn[1]);
    ASSERT_TRUE(WaitUntil([&] { return !window->HasUnsavedChanges(); }, 10000));
    BeginBurst();
    rightClick(k.SetupBtn[1], "Paste Setup 1 to 2");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(window->Model().CurrentSetupIndex, 1);
    EXPECT_EQ(window->Model().CurrentSetup().Channels[0].DelayTime, 4.0f);
    const auto writes = Burst(CMD_WRITE_PARAMS);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().payload.size(), kSetupImageSize) << "the pasted setup whole";
    ExpectAmplifierEqualsWindow();
}

// A whole tune made with the mouse and keyboard, as an installer makes it: front tweeters and
// mids with crossovers, delays and trims, woofers below, EQ on the mids. With
// VANTREL_SCREENSHOT_DIR set, the pages are also saved there (the README's pictures).
TEST_F(LiveEditTest, AWholeTuneMadeWithTheControls) {
    Connect();
    const SkinControls& k = window->Controls();
    window->editorHooks.showWarning = [](const QString&, const QString&) {};
    // Channels 1 and 2: tweeters, linked, 24 dB high-pass at 3.16 kHz, low-pass off.
    ClickOn(k.GroupBtn[0]);
    TypeInto(k.HighPassEdit[0], "3160");
    ClickOn(k.High24dBBtn[0]);
    ClickOn(k.LowONBtn[0]);
    TypeInto(k.LevelEdit[0], "75");
    // Channels 3 and 4: mids, band-pass 316 Hz .. 3.16 kHz.
    ClickOn(k.GroupBtn[1]);
    TypeInto(k.HighPassEdit[1], "316");
    ClickOn(k.High12dBBtn[1]);
    TypeInto(k.LowPassEdit[1], "3160");
    ClickOn(k.Low24dBBtn[1]);
    TypeInto(k.LevelEdit[1], "62.5");
    // Time alignment: tweeters and mids delayed, the section of channel 4 switched off.
    for (std::size_t c : {0u, 1u}) {
        TypeInto(k.DlyDisEdt[c], "40.8");
        TypeInto(k.TrimEdt[c], "-4.5");
    }
    TypeInto(k.DlyTimeEdt[2], "0.6");
    ClickOn(k.TimeONBtn[3]);
    // The mids' EQ (the pair edited last, so both are selected): a lift at 250 Hz, a cut at 1 kHz.
    ClickOn(k.EQLoadBtn);
    ASSERT_EQ(k.Eq2GroupBtn[1]->GetCheck(), 1);
    TypeInto(k.CustmEQFreqEdt[0], "250");
    TypeInto(k.CustmEQGainEdt[0], "3");
    TypeInto(k.CustmEQFreqEdt[1], "1000");
    TypeInto(k.CustmEQGainEdt[1], "-4");
    TypeInto(k.CustmEQQEdt[1], "2");
    DragUp(k.EQBandFader[8], 20);
    ASSERT_TRUE(Settle());
    ExpectAmplifierEqualsWindow();
    const ChannelRecord& tweeter = window->Model().CurrentSetup().Channels[1];
    EXPECT_EQ(tweeter.HighPassSlope, 24);
    EXPECT_EQ(tweeter.LowPassOn, 0);
    EXPECT_EQ(k.ChFLMkStc[2]->Text(), "BPF");
    EXPECT_EQ(window->Model().CurrentSetup().Channels[3].CustomEQ[1].Gain, -4.0f);
    EXPECT_EQ(k.ChDLYStc[3]->Text(), "-");

    const QByteArray folder = qgetenv("VANTREL_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    const QDir dir(QString::fromLocal8Bit(folder));
    ASSERT_TRUE(dir.mkpath("."));
    ASSERT_TRUE(window->grab().save(dir.filePath("eq.png")));
    ClickOn(k.HomeBtn);
    ASSERT_TRUE(window->grab().save(dir.filePath("main.png")));
    window->ShowSpectrumWindow();
    ASSERT_TRUE(window->SpectrumWindow()->grab().save(dir.filePath("spectrum.png")));
}

// Offline edits are not dropped by the next connect without asking: kept, they go to the amplifier
// and stay unsaved; given up, the amplifier's tune is shown.
TEST_F(LiveEditTest, AConnectAsksBeforeItReplacesOfflineEdits) {
    Connect();
    const SkinControls& k = window->Controls();
    for (const bool keep : {true, false}) {
        int asked = 0;
        window->editorHooks.askYesNo = [&](const QString&, const QString&) {
            ++asked;
            return !keep;
        };
        window->Worker()->SetConnected(false);  // the link dropped
        TypeInto(k.TrimEdt[0], keep ? "-12" : "-2");
        if (keep) ClickOn(k.LevelPlusBtn[0]);
        ASSERT_TRUE(window->HasUnsavedChanges());
        BeginBurst();
        // The user picks the adaptor's network again.
        window->OnControlMessage({UM_WIFI_CONNECT, 0, 0, 0, {}});
        ASSERT_TRUE(WaitUntil([&] { return asked == 1 && window->Session()->Online(); }, 10000))
            << "asked " << asked << " online " << window->Session()->Online() << " linked "
            << window->Monitor()->IsAdaptorLinked() << " running " << window->Monitor()->IsRunning();
        ASSERT_TRUE(Settle());
        const float trim = window->Model().CurrentSetup().Channels[0].Trim;
        if (keep) {
            EXPECT_EQ(trim, 12.0f);
            EXPECT_TRUE(window->HasUnsavedChanges());
            ExpectAmplifierEqualsWindow();
            for (std::size_t c = 0; c < 2; ++c) {
                EXPECT_EQ(amp->Levels()[c],
                          LevelByte(window->Model().CurrentSetup().Channels[c].LevelVal))
                    << "the kept level of channel " << c + 1;
            }
        } else {
            EXPECT_EQ(trim, 12.0f) << "the amplifier plays the tune kept before";
            EXPECT_EQ(k.TrimEdt[0]->Text(), "-12.0 dB");
        }
    }
}

// A preset the window saves is what the command-line client stores, and what it downloads opens
// in the window with the values the window saved.
TEST_F(LiveEditTest, PresetFilesTravelBetweenTheWindowAndTheCommandLine) {
    Connect();
    const SkinControls& k = window->Controls();
    const std::filesystem::path saved = data / "window.dat";
    const std::filesystem::path downloaded = data / "cli.dat";
    TypeInto(k.HighPassEdit[1], "250");
    TypeInto(k.DlyDisEdt[2], "68");  // on the 0.1 ms grid a preset keeps
    TypeInto(k.TrimEdt[3], "-7.7");
    ClickOn(k.LevelPlusBtn[0]);
    window->editorHooks.choosePresetToSave = [&] { return saved; };
    ClickOn(k.SaveBtn);
    ASSERT_TRUE(Settle());
    const std::vector<QString> shown = {k.HighPassEdit[1]->Text(), k.DlyDisEdt[2]->Text(),
                                        k.TrimEdt[3]->Text(), k.LevelEdit[0]->Text()};

    std::ostringstream out;
    std::ostringstream err;
    const std::string adaptor = "127.0.0.1:" + std::to_string(amp->Port());
    ASSERT_EQ(RunCli({"--adaptor", adaptor, "--data-dir", data.string(), "store", saved.string()},
                     out, err),
              0)
        << err.str();
    ASSERT_EQ(RunCli({"--adaptor", adaptor, "--data-dir", data.string(), "download",
                      downloaded.string(), "--yes"},
                     out, err),
              0)
        << err.str();

    window->editorHooks.choosePresetToOpen = [&] { return downloaded; };
    TypeInto(k.TrimEdt[3], "0");
    ClickOn(k.OpenBtn);
    EXPECT_EQ((std::vector<QString>{k.HighPassEdit[1]->Text(), k.DlyDisEdt[2]->Text(),
                                    k.TrimEdt[3]->Text(), k.LevelEdit[0]->Text()}),
              shown);
}

}  // namespace
}  // namespace vantrel
