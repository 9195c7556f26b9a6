// Edits made with the mouse and keyboard on the real window reach the virtual amplifier: once a
// burst has settled, the amplifier holds exactly the window's image and levels, each changed
// range having gone out once with its newest bytes.
#include <QTest>
#include <map>
#include <set>

#include "app/WorkerSession.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CTpEdit.h"
#include "model/Scales.h"
#include "support/AmplifierWindowFixture.h"

namespace vantrel {
namespace {

std::uint32_t BigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

class LiveEditTest : public test::AmplifierWindowTest {
protected:
    // An amplifier whose first four channels have both filters and the delay section on, and a
    // window that has taken its setups over and is online.
    void Connect() {
        StartAmplifier(4, 3, [](ParameterModel& model) {
            for (int c = 0; c < 4; ++c) {
                ChannelRecord& ch = model.Setups[0].Channels[static_cast<std::size_t>(c)];
                ch.HighPassOn = 1;
                ch.LowPassOn = 1;
                ch.DelayOn = 1;
                ch.DelayTime = 1.0f;
            }
        });
        OpenWindow();
        window->show();
        ASSERT_TRUE(window->WaitForSetups(10000));
        ASSERT_TRUE(WaitUntil([&] { return window->Session()->Online(); }, 10000));
        ASSERT_TRUE(window->WaitForStatus(10000));
        // The connect sequence is over; what follows is ours.
        ASSERT_TRUE(Settle());
        m_firstRequest = amp->Requests().size();
        for (std::size_t c = 0; c < 4; ++c) {
            m_levelsBefore[c] = LevelByte(window->Model().CurrentSetup().Channels[c].LevelVal);
        }
    }

    // The widget the user hits at the centre of `control`'s place in the skin.
    QWidget* HitAt(QWidget* control, QPoint* local) {
        const QPoint centre = control->geometry().center();
        QWidget* hit = window->childAt(centre);
        if (hit) *local = hit->mapFrom(window.get(), centre);
        return hit;
    }
    void ClickOn(QWidget* control) {
        QPoint local;
        QWidget* hit = HitAt(control, &local);
        ASSERT_EQ(hit, control) << "another control covers it";
        QTest::mouseClick(hit, Qt::LeftButton, {}, local);
    }
    void TypeInto(CTpEdit* edit, const QString& text) {
        ClickOn(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void DragUp(QWidget* control, int pixels) {
        QPoint local;
        QWidget* hit = HitAt(control, &local);
        ASSERT_EQ(hit, control);
        QTest::mousePress(hit, Qt::LeftButton, {}, local);
        for (int moved = 4; moved <= pixels; moved += 4) {
            QTest::mouseMove(hit, local - QPoint(0, moved));
        }
        QTest::mouseRelease(hit, Qt::LeftButton, {}, local - QPoint(0, pixels));
    }

    // Waits for every posted edit to have been sent.
    bool Settle() {
        return WaitUntil([&] {
            return window->Worker()->PendingEdits() == 0 && !window->Worker()->IsBusy();
        }, 10000);
    }

    std::vector<sim::VirtualAmplifier::Request> Burst(std::uint8_t command) const {
        const auto all = amp->Requests();
        std::vector<sim::VirtualAmplifier::Request> out;
        for (std::size_t i = m_firstRequest; i < all.size(); ++i) {
            if (all[i].command == command) out.push_back(all[i]);
        }
        return out;
    }

    DeviceImage WindowImage() const {
        WorkerState& state = window->Worker()->State();
        std::lock_guard lock(state.mutex);
        return state.current;
    }

    // The amplifier's memory and levels equal the window's, every write of the burst carried the
    // window's final words, and no range went out twice.
    void ExpectAmplifierEqualsWindow() {
        const DeviceImage image = WindowImage();
        const int s = window->Model().CurrentSetupIndex;
        const std::size_t begin = SetupImageOffset(s);
        const auto memory = amp->ReadMemory(static_cast<std::uint32_t>(sim::kParamImageAddress + begin),
                                            kSetupImageSize);
        EXPECT_TRUE(std::equal(memory.begin(), memory.end(), image.begin() + begin))
            << "the amplifier's setup differs from the window's";

        std::map<std::uint32_t, std::uint32_t> wordOf;  // control word -> value word
        for (std::size_t pair = begin; pair < begin + kSetupImageSize; pair += kPairSize) {
            wordOf[BigEndian(&image[pair])] = BigEndian(&image[pair + 4]);
        }
        std::set<std::pair<std::uint32_t, std::size_t>> ranges;
        for (const auto& write : Burst(CMD_WRITE_PARAMS)) {
            ASSERT_EQ(write.payload.size() % kPairSize, 0u);
            for (std::size_t i = 0; i < write.payload.size(); i += kPairSize) {
                const std::uint32_t control = BigEndian(&write.payload[i]);
                ASSERT_TRUE(wordOf.count(control)) << std::hex << control;
                EXPECT_EQ(BigEndian(&write.payload[i + 4]), wordOf[control]) << std::hex << control;
            }
            EXPECT_TRUE(ranges.insert({BigEndian(write.payload.data()), write.payload.size()}).second)
                << "a range went out twice in one burst";
        }
        // The amplifier keeps levels apart from its memory: every level the burst changed.
        const auto levels = amp->Levels();
        for (std::size_t c = 0; c < 4; ++c) {
            const std::uint8_t level = LevelByte(window->Model().CurrentSetup().Channels[c].LevelVal);
            if (level != m_levelsBefore[c]) {
                EXPECT_EQ(levels[c], level) << "level of channel " << c + 1;
            }
        }
    }

    std::size_t m_firstRequest = 0;
    std::array<std::uint8_t, 4> m_levelsBefore{};
};

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

}  // namespace
}  // namespace vantrel
