#pragma once

// The window against the virtual amplifier, driven with the mouse and keyboard at the controls'
// places in the skin, and the check that the amplifier holds what the window shows.
#include <QTest>
#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "app/WorkerSession.h"
#include "controls/CTpEdit.h"
#include "link/CDspCtlThread.h"
#include "support/AmplifierWindowFixture.h"

namespace vantrel::test {

inline std::uint32_t BigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

class LiveWindowTest : public AmplifierWindowTest {
protected:
    // An amplifier whose first four channels have both filters and the delay section on, and a
    // window that has taken its setups over and is online.
    void Connect() {
        StartAmplifier(4, 3, [this](ParameterModel& model) {
            for (int c = 0; c < 4; ++c) {
                ChannelRecord& ch = model.Setups[0].Channels[static_cast<std::size_t>(c)];
                ch.HighPassOn = 1;
                ch.LowPassOn = 1;
                ch.DelayOn = 1;
                ch.DelayTime = 1.0f;
            }
            if (m_tune) m_tune(model);
        });
        OpenWindow();
        window->show();
        ASSERT_TRUE(window->WaitForSetups(10000));
        ASSERT_TRUE(WaitUntil([&] { return window->Session()->Online(); }, 10000));
        ASSERT_TRUE(window->WaitForStatus(10000));
        // The connect sequence is over; what follows is ours.
        BeginBurst();
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

    // Settles what went before; the requests from here on are the next burst.
    void BeginBurst() {
        ASSERT_TRUE(Settle());
        m_firstRequest = amp->Requests().size();
        m_setupBefore = window->Model().CurrentSetupIndex;
        for (std::size_t c = 0; c < 4; ++c) {
            m_levelsBefore[c] = LevelByte(window->Model().CurrentSetup().Channels[c].LevelVal);
        }
    }

    // Waits for every posted edit to have been sent.
    bool Settle() {
        return WaitUntil([&] {
            return window->Worker()->PendingEdits() == 0 && !window->Worker()->IsBusy();
        }, 10000);
    }

    using Requests = std::vector<sim::VirtualAmplifier::Request>;

    // The requests with `command` since the burst began.
    Requests Burst(std::uint8_t command) const {
        const auto all = amp->Requests();
        Requests out;
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
    // `oneBurst` false: the edits since the last settle may have formed several bursts (they took
    // longer than the pacing interval) or lost frames that were sent again, so only the end state
    // is compared, not every frame.
    void ExpectAmplifierEqualsWindow(bool oneBurst = true) {
        const DeviceImage image = WindowImage();
        const int s = window->Model().CurrentSetupIndex;
        const std::size_t begin = SetupImageOffset(s);
        const auto memory = amp->ReadMemory(static_cast<std::uint32_t>(sim::kParamImageAddress + begin),
                                            kSetupImageSize);
        const auto differs = std::mismatch(memory.begin(), memory.end(), image.begin() + begin);
        EXPECT_TRUE(differs.first == memory.end())
            << "the amplifier's setup differs from the window's at setup byte "
            << (differs.first - memory.begin());

        // Control word -> value word, over all four setups: a burst may reach any of them.
        std::map<std::uint32_t, std::uint32_t> wordOf;
        for (std::size_t pair = SetupImageOffset(0); pair < kDeviceImageSize; pair += kPairSize) {
            wordOf[BigEndian(&image[pair])] = BigEndian(&image[pair + 4]);
        }
        std::set<std::pair<std::uint32_t, std::size_t>> ranges;
        const auto writes = oneBurst ? Burst(CMD_WRITE_PARAMS) : Requests{};
        for (const auto& write : writes) {
            ASSERT_EQ(write.payload.size() % kPairSize, 0u);
            for (std::size_t i = 0; i < write.payload.size(); i += kPairSize) {
                const std::uint32_t control = BigEndian(&write.payload[i]);
                ASSERT_TRUE(wordOf.count(control)) << std::hex << control;
                EXPECT_EQ(BigEndian(&write.payload[i + 4]), wordOf[control]) << std::hex << control;
            }
            EXPECT_TRUE(ranges.insert({BigEndian(write.payload.data()), write.payload.size()}).second)
                << "a range went out twice in one burst";
        }
        // The amplifier keeps levels apart from its memory: every level the burst changed. A
        // setup switch brings the new setup's own levels, which the amplifier takes from it.
        if (window->Model().CurrentSetupIndex != m_setupBefore) return;
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
    int m_setupBefore = 0;
    // More of the amplifier's tune, for a test that needs it.
    std::function<void(ParameterModel&)> m_tune;
};

}  // namespace vantrel::test
