// Thousands of random edits, setup switches and stores on the real window against the virtual
// amplifier, with lost frames switched on and off: no crash, no hang, and after every burst the
// amplifier holds exactly what the window shows.
#include <QTest>
#include <random>

#include "app/SetupEditor.h"
#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CTpEdit.h"
#include "support/LiveWindowFixture.h"

namespace vantrel {
namespace {

class SoakTest : public test::LiveWindowTest {
protected:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    double Between(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(m_random);
    }
    QString Number(double low, double high) { return QString::number(Between(low, high), 'f', 2); }

    // One action a user could take, on a control of a random pair or channel.
    void RandomEdit() {
        const SkinControls& k = window->Controls();
        const auto pair = static_cast<std::size_t>(Pick(2));
        const auto channel = static_cast<std::size_t>(Pick(4));
        switch (Pick(14)) {
            case 0: ClickOn(Pick(2) ? k.LevelPlusBtn[pair] : k.LevelReduceBtn[pair]); break;
            case 1: TypeInto(k.HighPassEdit[pair], Number(16, 3000)); break;
            case 2: TypeInto(k.LowPassEdit[pair], Number(200, 21000)); break;
            case 3: {
                CGdipButton* slopes[] = {k.High6dBBtn[pair], k.High24dBBtn[pair],
                                         k.Low12dBBtn[pair], k.Low48dBBtn[pair]};
                ClickOn(slopes[Pick(4)]);
                break;
            }
            case 4: ClickOn(Pick(2) ? k.HighONBtn[pair] : k.LowONBtn[pair]); break;
            case 5: ClickOn(k.GroupCtlBtn[channel]); break;
            case 6: ClickOn(k.GroupBtn[pair]); break;
            case 7: TypeInto(k.TrimEdt[channel], Pick(8) ? Number(-35, 5) : QString("garbage")); break;
            case 8: TypeInto(Pick(2) ? k.DlyTimeEdt[channel] : k.DlyDisEdt[channel], Number(0, 700)); break;
            case 9: ClickOn(k.TimeONBtn[channel]); break;
            case 10: ClickOn(k.LevelMuteBtn[pair]); break;
            case 11: {
                CKnob* knob = Pick(2) ? k.TimeDlyKnob[channel] : k.TimeAtnKnob[channel];
                knob->setFocus();
                QTest::keyClick(knob, Pick(2) ? Qt::Key_Up : Qt::Key_Right);
                break;
            }
            case 12: ClickOn(k.MuteBtn); break;
            default: TypeInto(k.LevelEdit[pair], Number(0, 110)); break;
        }
    }

    std::mt19937 m_random{20261211};
};

TEST_F(SoakTest, RandomEditsSwitchesAndStoresKeepTheAmplifierInStep) {
    constexpr int kBursts = 30;
    constexpr int kEditsPerBurst = 70;
    Connect();
    const SkinControls& k = window->Controls();
    window->editorHooks.showWarning = [](const QString&, const QString&) {};
    window->editorHooks.askYesNo = [this](const QString&, const QString&) { return Pick(2) == 0; };
    // Faults that lose frames: the worker sends them again.
    const sim::Fault losses[] = {sim::Fault::CloseMidReply, sim::Fault::WrongCheck,
                                 sim::Fault::WrongEnd, sim::Fault::StrayBytes};
    for (int burst = 0; burst < kBursts; ++burst) {
        SCOPED_TRACE("burst " + std::to_string(burst));
        if (burst % 3 == 1) {
            amp->InjectFault(CMD_WRITE_PARAMS, losses[Pick(4)], 1 + Pick(2));
            amp->InjectFault(CMD_SET_LEVEL, losses[Pick(4)], 1);
        } else {
            amp->ClearFaults();
        }
        for (int i = 0; i < kEditsPerBurst; ++i) RandomEdit();
        const int global = Pick(10);
        if (global == 0) ClickOn(k.SetupBtn[static_cast<std::size_t>(Pick(4))]);
        if (global == 1) ClickOn(k.StoreBtn);
        ASSERT_TRUE(Settle()) << "the edits never settled";
        ExpectAmplifierEqualsWindow(false);
        if (HasFatalFailure() || HasNonfatalFailure()) return;
        BeginBurst();
    }
}

}  // namespace
}  // namespace vantrel
