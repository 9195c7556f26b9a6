#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "link/AmpStatus.h"
#include "link/WorkerMessages.h"

class QDialog;
class QEventLoop;
class QWidget;

namespace vantrel {

class CLedCtl;
class CTpStatic;

// The window's end of the worker interface. The worker posts its messages and asks its questions
// here from its own thread; both are carried over to the window thread, which owns this object.
//
// Order at shutdown: Shutdown(), then stop the worker, then destroy the bridge. Shutdown releases
// a worker waiting for an answer, so stopping it can never wait on the window.
class WorkerBridge : public QObject, public WorkerSink, public WorkerQuestions {
    Q_OBJECT

public:
    using Handler = std::function<void(const WindowMessage&)>;
    using BusyFlag = std::function<bool()>;
    using YesNoHook = std::function<bool(const std::string& text)>;
    using SelectDeviceHook = std::function<std::optional<std::uint8_t>(
        const DeviceCatalogue& catalogue, std::uint16_t presetModelCode)>;

    // How often a busy wait looks at the worker's busy flag, which has no signal of its own.
    static constexpr int kBusyPollMs = 20;

    explicit WorkerBridge(QObject* parent = nullptr);
    ~WorkerBridge() override;
    WorkerBridge(const WorkerBridge&) = delete;
    WorkerBridge& operator=(const WorkerBridge&) = delete;

    // Receives every worker message but UM_BUSY, on the window thread.
    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    // The worker's busy flag; without one UM_BUSY never waits.
    void SetBusyFlag(BusyFlag busy) { m_busy = std::move(busy); }
    void SetBusyFlag(const std::atomic<bool>& busy) {
        m_busy = [&busy] { return busy.load(); };
    }
    // Replace the message box and the "Device Select" dialog (tests answer through these).
    void SetYesNoHook(YesNoHook hook) { m_yesNoHook = std::move(hook); }
    void SetSelectDeviceHook(SelectDeviceHook hook) { m_selectDeviceHook = std::move(hook); }
    // Owner of the message box and the dialog.
    void SetDialogParent(QWidget* parent);

    // Window thread, before the worker is stopped: questions waiting or still to come are
    // answered No / Cancel at once, an open question window is closed, a busy wait ends, and
    // worker messages still on their way are dropped.
    void Shutdown();
    bool IsShutDown() const { return m_shutdown; }

    // Window thread: one worker message, as the queued call from PostToWindow delivers it.
    // UM_BUSY runs the busy wait; everything else goes to the handler.
    void Deliver(WindowMessage message);
    // A busy wait is running.
    bool IsWaiting() const { return m_waitLoop != nullptr; }

    // WorkerSink, worker thread: queued into the window thread.
    void PostToWindow(WindowMessage message) override;
    // WorkerQuestions, worker thread: shown on the window thread, waits for the answer.
    bool AskYesNo(const std::string& text) override;
    std::optional<std::uint8_t> SelectDevice(const DeviceCatalogue& catalogue,
                                             std::uint16_t presetModelCode) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename T>
    T AskOnWindowThread(std::function<T()> question, T cancelled);
    bool ShowYesNo(const std::string& text);
    std::optional<std::uint8_t> ShowDeviceSelect(const DeviceCatalogue& catalogue,
                                                 std::uint16_t presetModelCode);
    void BusyWait();

    Handler m_handler;
    BusyFlag m_busy;
    YesNoHook m_yesNoHook;
    SelectDeviceHook m_selectDeviceHook;
    QPointer<QWidget> m_dialogParent;

    // Shared with the worker thread.
    std::mutex m_mutex;
    std::condition_variable m_answered;
    std::atomic<bool> m_shutdown{false};

    // Window thread only.
    QEventLoop* m_waitLoop = nullptr;
    int m_questionDepth = 0;  // questions open; their windows must get input even in a busy wait
    QPointer<QDialog> m_openQuestion;
};

// The two-line prompt: the current line's text moves to the previous line, `text` becomes the
// current line.
void ShowPrompt(CTpStatic& current, CTpStatic& previous, const QString& text);
void ShowPrompt(CTpStatic& current, CTpStatic& previous, const std::string& text);

// The amplifier status: voltage, temperature and running time texts, and the protection LEDs
// (null ones skipped), lit while the protection byte is non-zero.
void ShowStatus(CTpStatic& voltage, CTpStatic& temperature, CTpStatic& runningTime,
                const std::array<CLedCtl*, 3>& protectionLeds, const StatusRecord& status);

}  // namespace vantrel
