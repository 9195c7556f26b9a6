// From the last input event of a burst of edits to the frame at the virtual amplifier, with the
// real clock: the window, the worker's pacing and the link together. Each iteration is one burst
// of three quick edits of one kind; the reported time is the wait for its frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "app/VantrelDlg.h"
#include "app/WorkerSession.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CTpEdit.h"
#include "curves/CSpectrumCtl.h"
#include "link/CDSPSocket.h"
#include "link/CDspCtlThread.h"
#include "model/SetupTransfer.h"
#include "sim/VirtualAmplifier.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

struct Rig {
    std::unique_ptr<sim::VirtualAmplifier> amp;
    std::unique_ptr<VantrelDlg> window;

    bool Start() {
        sim::SimOptions options;
        options.port = 0;
        amp = std::make_unique<sim::VirtualAmplifier>(options);
        if (!amp->Start()) return false;
        // Delay sections and high-pass filters on, so their edits are sent.
        const auto memory = amp->ReadMemory(sim::kParamImageAddress, kDeviceImageSize);
        DeviceImage image;
        std::copy(memory.begin(), memory.end(), image.begin());
        ParameterModel model;
        InitSetups(model);
        for (ChannelRecord& ch : model.Setups[0].Channels) {
            ch.DelayOn = 1;
            ch.HighPassOn = 1;
        }
        SetupArray worker{};
        StoreConversion(model.Setups, worker, image, 4);
        amp->WriteMemory(sim::kParamImageAddress, image.data(), image.size());

        WindowOptions windowOptions;
        windowOptions.adaptorHost = "127.0.0.1";
        windowOptions.adaptorPort = amp->Port();
        window = std::make_unique<VantrelDlg>(VANTREL_BUILD_DATA_DIR, windowOptions);
        window->show();
        return window->WaitForSetups(10000) &&
               WaitUntil([&] { return window->Session()->Online(); }, 10000) &&
               window->WaitForStatus(10000) && Settle();
    }
    bool Settle() {
        return WaitUntil([&] {
            return window->Worker()->PendingEdits() == 0 && !window->Worker()->IsBusy();
        }, 10000);
    }
};

Rig& TheRig() {
    static Rig rig;
    static const bool started = rig.Start();
    if (!started) std::abort();
    return rig;
}

void Type(CTpEdit* edit, const QString& text) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// One burst of three edits of the kind `kind`; returns the command its frame carries.
std::uint8_t Burst(Rig& rig, int kind, int round) {
    const SkinControls& k = rig.window->Controls();
    switch (kind) {
        case 0:  // level steps
            for (int i = 0; i < 3; ++i) {
                CGdipButton* b = round % 2 ? k.LevelReduceBtn[0] : k.LevelPlusBtn[0];
                QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
            }
            return CMD_SET_LEVEL;
        case 1:  // typed trims
            for (int i = 0; i < 3; ++i) Type(k.TrimEdt[1], QString::number(-(round % 20) - i));
            return CMD_WRITE_PARAMS;
        case 2: {  // a delay knob dragged
            CKnob* knob = k.TimeDlyKnob[2];
            const QPoint c = knob->rect().center();
            QTest::mousePress(knob, Qt::LeftButton, {}, c);
            for (int y = 1; y <= 3; ++y) QTest::mouseMove(knob, c - QPoint(0, y * (round % 2 ? -4 : 4)));
            QTest::mouseRelease(knob, Qt::LeftButton, {}, c);
            return CMD_WRITE_PARAMS;
        }
        default:  // typed high-pass frequencies
            for (int i = 0; i < 3; ++i) Type(k.HighPassEdit[0], QString::number(100 + 10 * (round % 7) + i));
            return CMD_WRITE_PARAMS;
    }
}

void BM_EditToFrame(benchmark::State& state) {
    Rig& rig = TheRig();
    std::vector<double> waits;
    int round = 0;
    for (auto _ : state) {
        const std::size_t before = rig.amp->Requests().size();
        const std::uint8_t command = Burst(rig, round % 4, round / 4);
        const Clock::time_point lastInput = Clock::now();
        Clock::time_point received{};
        const bool arrived = WaitUntil([&] {
            const auto requests = rig.amp->Requests();
            for (std::size_t i = before; i < requests.size(); ++i) {
                if (requests[i].command == command) {
                    received = requests[i].received;
                    return true;
                }
            }
            return false;
        }, 5000);
        if (!arrived) {
            state.SkipWithError("no frame reached the amplifier");
            return;
        }
        const double seconds = std::chrono::duration<double>(received - lastInput).count();
        state.SetIterationTime(seconds);
        waits.push_back(seconds * 1000.0);
        rig.Settle();
        ++round;
    }
    std::sort(waits.begin(), waits.end());
    state.counters["median_ms"] = waits[waits.size() / 2];
    state.counters["worst_ms"] = waits.back();
}
BENCHMARK(BM_EditToFrame)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

// One step of a point dragged on the EQ page's curve: the pointer moves, the editor writes the
// point into its target channels and the image and posts it, and the curve is painted again.
void BM_CurveDragStep(benchmark::State& state) {
    Rig& rig = TheRig();
    const SkinControls& k = rig.window->Controls();
    rig.window->ShowEqPage();
    CSpectrumCtl* curve = k.EQSpectrumCurve;
    // Two linked channels, all bands and points active: the heaviest curve to draw.
    ParameterModel& model = rig.window->Model();
    model.CurrentSetup().GroupEQFlag = 0x03;
    const float freqs[] = {100.0f, 500.0f, 2000.0f, 8000.0f};
    for (ChannelRecord& ch : model.CurrentSetup().Channels) {
        for (std::size_t j = 0; j < 4; ++j) ch.CustomEQ[j] = {freqs[j], 3.0f, 2.0f, 0};
        for (std::size_t b = 0; b < ch.EQBand.size(); ++b) {
            ch.EQBand[b].Gain = static_cast<float>(b % 7) - 3.0f;
        }
    }
    rig.window->RefreshSetupDisplay();
    QPoint at(curve->ColumnOf(2000.0f), curve->RowOf(3.0f));
    QTest::mousePress(curve, Qt::LeftButton, {}, at);
    int step = 0;
    for (auto _ : state) {
        at += QPoint((step++ % 20) < 10 ? 1 : -1, 0);
        QTest::mouseMove(curve, at);
        curve->repaint();
    }
    QTest::mouseRelease(curve, Qt::LeftButton, {}, at);
    rig.Settle();
}
BENCHMARK(BM_CurveDragStep)->Unit(benchmark::kMicrosecond);

void BM_CurveRepaint(benchmark::State& state) {
    Rig& rig = TheRig();
    rig.window->ShowEqPage();
    CSpectrumCtl* curve = rig.window->Controls().EQSpectrumCurve;
    for (auto _ : state) curve->repaint();
}
BENCHMARK(BM_CurveRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
