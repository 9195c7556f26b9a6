// Undo and redo, the A/B comparison and time alignment on the real window against the virtual
// amplifier: after each step has settled the amplifier holds what the window shows.
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>

#include "app/TimeAlignmentDlg.h"
#include "app/TuneTools.h"
#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CTpEdit.h"
#include "model/Scales.h"
#include "model/TuneHistory.h"
#include "support/LiveWindowFixture.h"

namespace vantrel {
namespace {

class TuneToolsTest : public test::LiveWindowTest {
protected:
    // Connected, with a clock that stands still: steps join by control, not by how quickly the
    // test's events come.
    void ConnectTools() {
        Connect();
        window->Tools().clock = [] { return std::int64_t{0}; };
    }

    std::vector<std::uint8_t> AmplifierSetup() const {
        const std::size_t begin = SetupImageOffset(window->Model().CurrentSetupIndex);
        return amp->ReadMemory(static_cast<std::uint32_t>(sim::kParamImageAddress + begin),
                               kSetupImageSize);
    }
    // The setup byte offsets where the amplifier's setup differs from `expected`.
    std::vector<std::size_t> DiffersFrom(const std::vector<std::uint8_t>& expected) const {
        const auto now = AmplifierSetup();
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < now.size() && i < expected.size(); ++i) {
            if (now[i] != expected[i]) at.push_back(i);
        }
        return at;
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(window.get(), key, modifiers);
    }
    // Chooses the background menu's item that starts with `text`.
    void ChooseFromBackgroundMenu(const QString& text) {
        window->editorHooks.popupMenu = [text](const std::vector<MenuItem>& items, QPoint) {
            for (const MenuItem& item : items) {
                if (item.enabled && item.text.startsWith(text)) return item.command;
            }
            return 0;
        };
        window->ShowBackgroundMenu({});
    }
};

TEST_F(TuneToolsTest, UndoAndRedoTakeTheAmplifierBackThroughAMixedSequence) {
    // Filters on the window's grid, so that taking an edit back gives the amplifier's own words.
    m_tune = [](ParameterModel& model) {
        for (ChannelRecord& ch : model.Setups[0].Channels) {
            ch.HighPassFreq = QuantizeCrossoverFreq(ch.HighPassFreq, 0);
            ch.LowPassFreq = QuantizeCrossoverFreq(ch.LowPassFreq, 0);
        }
    };
    ConnectTools();
    const SkinControls& k = window->Controls();
    struct State {
        std::vector<std::uint8_t> tune;
        std::vector<std::uint8_t> amplifier;
    };
    std::vector<State> states;
    const auto keep = [&] {
        ASSERT_TRUE(Settle());
        states.push_back({TuneBytes(window->Model()), AmplifierSetup()});
    };
    const auto expectState = [&](std::size_t i) {
        ASSERT_TRUE(Settle());
        EXPECT_EQ(TuneBytes(window->Model()), states[i].tune) << "state " << i;
        EXPECT_EQ(DiffersFrom(states[i].amplifier), std::vector<std::size_t>{}) << "state " << i;
        // The levels the sequence changes (the amplifier reports only levels it was sent).
        for (const std::size_t c : {0u, 1u}) {
            EXPECT_EQ(amp->Levels()[c],
                      LevelByte(window->Model().CurrentSetup().Channels[c].LevelVal))
                << "state " << i;
        }
        ExpectAmplifierEqualsWindow(false);
    };
    const TuneHistory& history = window->Tools().History();

    keep();
    ClickOn(k.LevelPlusBtn[0]);
    ClickOn(k.LevelPlusBtn[0]);  // a quick second click: the same step
    keep();
    EXPECT_EQ(history.UndoCount(), 1u);
    TypeInto(k.HighPassEdit[1], "200");
    keep();
    DragUp(k.TimeDlyKnob[2], 60);  // fifteen positions, one step
    keep();
    EXPECT_EQ(history.UndoCount(), 3u);
    ClickOn(k.TimeONBtn[3]);
    keep();
    ClickOn(k.EQLoadBtn);
    DragUp(k.EQBandFader[4], 24);
    keep();
    TypeInto(k.CustmEQGainEdt[0], "-6");
    keep();
    ASSERT_EQ(history.UndoCount(), states.size() - 1);

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        Key(Qt::Key_Z, Qt::ControlModifier);
        expectState(i - 1);
    }
    EXPECT_FALSE(window->Tools().CanUndo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        Key(i % 2 ? Qt::Key_Y : Qt::Key_Z,
            i % 2 ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
        expectState(i);
    }
    EXPECT_TRUE(window->HasUnsavedChanges());
}

TEST_F(TuneToolsTest, ABPlaysTheStoredSetupAndReturnsToTheEditsLosingNothing) {
    ConnectTools();
    const SkinControls& k = window->Controls();
    const auto stored = AmplifierSetup();
    // The levels of channels 3 and 4, which the edits change.
    const auto levels = [&] { return std::pair(amp->Levels()[2], amp->Levels()[3]); };
    const std::uint8_t storedLevel = LevelByte(window->Model().CurrentSetup().Channels[2].LevelVal);
    ClickOn(k.LevelPlusBtn[1]);
    TypeInto(k.LowPassEdit[0], "2500");
    ClickOn(k.TimeONBtn[2]);
    ASSERT_TRUE(Settle());
    const auto edits = AmplifierSetup();
    const auto editLevels = levels();
    const auto tune = TuneBytes(window->Model());
    ASSERT_NE(edits, stored);

    Key(Qt::Key_B);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(window->Tools().ComparingStored());
    EXPECT_EQ(window->CompareButton()->text(), "B: STORED");
    EXPECT_EQ(DiffersFrom(stored), std::vector<std::size_t>{});
    EXPECT_EQ(levels(), std::pair(storedLevel, storedLevel));
    EXPECT_EQ(TuneBytes(window->Model()), tune) << "the window keeps the edits";

    QTest::mouseClick(window->CompareButton(), Qt::LeftButton);
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(window->Tools().ComparingStored());
    EXPECT_EQ(window->CompareButton()->text(), "A/B");
    EXPECT_EQ(DiffersFrom(edits), std::vector<std::size_t>{});
    EXPECT_EQ(levels(), editLevels);
    ExpectAmplifierEqualsWindow(false);

    // An edit while the stored setup plays goes onto the edits, which play again.
    ChooseFromBackgroundMenu("A/B");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(DiffersFrom(stored), std::vector<std::size_t>{});
    ClickOn(k.LevelPlusBtn[1]);
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(window->Tools().ComparingStored());
    EXPECT_EQ(window->Model().CurrentSetup().Channels[2].LevelVal,
              window->Model().CurrentSetup().Channels[3].LevelVal);
    ExpectAmplifierEqualsWindow(false);
    EXPECT_NE(AmplifierSetup(), stored);
}

TEST_F(TuneToolsTest, TimeAlignmentSetsTheDelaysAsOneUndoableEdit) {
    ConnectTools();
    std::array<float, kChannelCount> offered{};
    int offeredCount = 0;
    window->editorHooks.askDistances = [&](const std::array<float, kChannelCount>& current,
                                           int count) {
        offered = current;
        offeredCount = count;
        return std::optional(std::array<float, kChannelCount>{160.0f, 310.0f, 0.0f, 130.0f});
    };
    const auto before = TuneBytes(window->Model());
    ChooseFromBackgroundMenu("Time alignment");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(offeredCount, 4);
    EXPECT_EQ(offered, (std::array<float, kChannelCount>{}));
    const SetupRecord& setup = window->Model().CurrentSetup();
    EXPECT_FLOAT_EQ(setup.Channels[0].DelayTime, 4.42f);
    EXPECT_EQ(setup.Channels[1].DelayTime, 0.0f);
    EXPECT_EQ(setup.Channels[2].DelayTime, 1.0f) << "not measured";
    EXPECT_FLOAT_EQ(setup.Channels[3].DelayTime, 5.30f);
    EXPECT_EQ(setup.Distance[1], 310.0f);
    EXPECT_EQ(window->Controls().DlyTimeEdt[0]->Text(), "4.42 ms");
    ExpectAmplifierEqualsWindow();

    EXPECT_EQ(window->Tools().History().UndoCount(), 1u);
    ASSERT_TRUE(window->Tools().Undo());
    ASSERT_TRUE(Settle());
    EXPECT_EQ(TuneBytes(window->Model()), before);
    ExpectAmplifierEqualsWindow(false);
}

// A filter file into the EQ page's channels, and their EQ and the setup out again.
TEST_F(TuneToolsTest, FilterFilesGoInAsOneUndoableEditAndComeOut) {
    ConnectTools();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path folder = dir.path().toStdString();
    {
        std::ofstream rew(folder / "room.txt");
        rew << "Filter Settings file\n"
               "Filter  1: ON  PK       Fc   63.0 Hz  Gain  -6.0 dB  Q  4.00\n"
               "Filter  2: ON  PK       Fc   250 Hz  Gain  -2.0 dB  Q  2.00\n"
               "Filter  3: ON  PK       Fc   1000,0 Hz  Gain  3.0 dB  Q  1.50\n"
               "Filter  4: ON  PK       Fc   4000 Hz  Gain  -4.0 dB  Q  3.00\n"
               "Filter  5: ON  PK       Fc   8000 Hz  Gain  -1.0 dB  Q  3.00\n"
               "Filter  6: ON  LS       Fc   100 Hz  Gain  3.0 dB\n";
    }
    std::filesystem::path chosen;
    window->editorHooks.chooseFile = [&](bool, const QString&, const QString&) {
        return std::optional(chosen);
    };
    std::vector<QString> warnings;
    window->editorHooks.showWarning = [&](const QString& text, const QString&) {
        warnings.push_back(text);
    };
    const auto before = TuneBytes(window->Model());

    chosen = folder / "room.txt";
    ChooseFromBackgroundMenu("Import filters into the EQ points");
    ASSERT_TRUE(Settle());
    const ChannelRecord& ch = window->Model().CurrentSetup().Channels[0];  // the EQ selection
    EXPECT_EQ(ch.CustomEQ[0].Freq, QuantizeEqFreq(63.0));
    EXPECT_EQ(ch.CustomEQ[0].Gain, -6.0f);
    EXPECT_EQ(ch.CustomEQ[2].Freq, QuantizeEqFreq(1000.0));
    EXPECT_EQ(ch.CustomEQ[3].Gain, -4.0f);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].contains("8000")) << warnings[0].toStdString();  // the weakest
    EXPECT_TRUE(warnings[0].contains("LS")) << warnings[0].toStdString();
    ExpectAmplifierEqualsWindow();
    ASSERT_TRUE(window->Tools().Undo());
    ASSERT_TRUE(Settle());
    EXPECT_EQ(TuneBytes(window->Model()), before);
    ExpectAmplifierEqualsWindow(false);
    ASSERT_TRUE(window->Tools().Redo());

    chosen = folder / "out.txt";
    ChooseFromBackgroundMenu("Export the EQ of CH 1 as REW");
    std::ifstream in(chosen);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("Fc 63"), std::string::npos) << text.str();

    chosen = folder / "setup.yml";
    ChooseFromBackgroundMenu("Export the setup");
    EXPECT_GT(std::filesystem::file_size(chosen), 0u);

    // A file with nothing usable changes nothing and says so.
    warnings.clear();
    chosen = folder / "setup.yml";
    const auto imported = TuneBytes(window->Model());
    ChooseFromBackgroundMenu("Import filters into the graphic EQ");
    EXPECT_EQ(TuneBytes(window->Model()), imported);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].startsWith("Nothing in")) << warnings[0].toStdString();
}

// The dialog shows each channel's delay as the distances are typed, and keeps the distances of
// channels it does not show.
TEST(TimeAlignmentDlgTest, ShowsTheDelaysAsTheDistancesAreTyped) {
    std::array<float, kChannelCount> distances{100.0f, 0.0f, 0.0f, 0.0f, 0.0f, 77.0f};
    std::array<std::int32_t, kChannelCount> marks{1, 2, 0, 0, 0, 0};
    TimeAlignmentDlg dialog(distances, 4, marks);
    EXPECT_EQ(dialog.DelayText(0), "0.00 ms");
    EXPECT_EQ(dialog.DelayText(1), "-");
    dialog.DistanceBox(1)->setValue(250.0);
    dialog.DistanceBox(3)->setValue(1000.0);
    EXPECT_EQ(dialog.DelayText(0), "20.00 ms (limit)");
    EXPECT_EQ(dialog.DelayText(1), "20.00 ms (limit)");
    EXPECT_EQ(dialog.DelayText(3), "0.00 ms");
    EXPECT_EQ(dialog.Distances(),
              (std::array<float, kChannelCount>{100.0f, 250.0f, 0.0f, 1000.0f, 0.0f, 77.0f}));
}

}  // namespace
}  // namespace vantrel
