#include "app/WorkerBridge.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <memory>
#include <utility>

#include "app/CUpdateDlg.h"
#include "controls/CLedCtl.h"
#include "controls/CTpStatic.h"

namespace vantrel {

namespace {

constexpr const char* kQuestionCaption = "Update Firmware";

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        // Closing the window in the middle of a device operation (a firmware update) would
        // leave the amplifier half written.
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

}  // namespace

WorkerBridge::WorkerBridge(QObject* parent) : QObject(parent) {}

WorkerBridge::~WorkerBridge() { Shutdown(); }

void WorkerBridge::SetDialogParent(QWidget* parent) { m_dialogParent = parent; }

void WorkerBridge::Shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_shutdown = true;
    }
    m_answered.notify_all();
    if (m_openQuestion) m_openQuestion->done(QDialog::Rejected);
    if (m_waitLoop) m_waitLoop->quit();
}

void WorkerBridge::PostToWindow(WindowMessage message) {
    if (m_shutdown) return;
    // `this` as context: a call still queued when the bridge goes away is dropped by Qt.
    QMetaObject::invokeMethod(
        this, [this, message = std::move(message)]() mutable { Deliver(std::move(message)); },
        Qt::QueuedConnection);
}

void WorkerBridge::Deliver(WindowMessage message) {
    if (m_shutdown) return;
    if (message.message == UM_BUSY) {
        BusyWait();
        return;
    }
    // The operation's first result text ends the wait; the text itself is shown as usual.
    if (message.message == UM_RESULT_TEXT && m_waitLoop) m_waitLoop->quit();
    if (m_handler) m_handler(message);
}

void WorkerBridge::BusyWait() {
    // A second UM_BUSY inside a wait, or one arriving after the operation already ended,
    // changes nothing.
    if (m_waitLoop || !m_busy || !m_busy()) return;

    QEventLoop loop;
    m_waitLoop = &loop;
    QTimer poll;
    poll.setInterval(kBusyPollMs);
    connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (!m_busy()) loop.quit();
    });
    poll.start();
    qApp->installEventFilter(this);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    // Painting and queued worker messages go on; user input is eaten by eventFilter.
    loop.exec();

    QGuiApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
    m_waitLoop = nullptr;
}

bool WorkerBridge::eventFilter(QObject* watched, QEvent* event) {
    // A question's window must take answers even when it opened during a wait.
    if (m_waitLoop && m_questionDepth == 0 && watched->isWidgetType() &&
        IsUserInput(event->type())) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

template <typename T>
T WorkerBridge::AskOnWindowThread(std::function<T()> question, T cancelled) {
    // Owns the question: a queued run may outlive this call when shutdown released the worker;
    // it then returns before touching what the question refers to, as shutdown never reverts.
    const auto run = [this, question = std::move(question), cancelled]() -> T {
        if (m_shutdown) return cancelled;
        ++m_questionDepth;
        if (m_waitLoop) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        T answer = question();
        if (m_waitLoop) QGuiApplication::restoreOverrideCursor();
        --m_questionDepth;
        // Shut down while the question was open: the answer no longer counts.
        return m_shutdown ? cancelled : answer;
    };
    if (QThread::currentThread() == thread()) return run();

    struct Pending {
        bool done = false;
        T answer{};
    };
    const auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown) return cancelled;
    }
    // The window thread may run this after the worker gave up waiting (shutdown); `pending`
    // keeps the answer's place alive until then.
    QMetaObject::invokeMethod(
        this,
        [this, pending, run] {
            T answer = run();
            {
                std::lock_guard lock(m_mutex);
                pending->answer = std::move(answer);
                pending->done = true;
            }
            m_answered.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(m_mutex);
    m_answered.wait(lock, [this, &pending] { return pending->done || m_shutdown; });
    return pending->done && !m_shutdown ? pending->answer : cancelled;
}

bool WorkerBridge::AskYesNo(const std::string& text) {
    return AskOnWindowThread<bool>([this, text] { return ShowYesNo(text); }, false);
}

std::optional<std::uint8_t> WorkerBridge::SelectDevice(const DeviceCatalogue& catalogue,
                                                       std::uint16_t presetModelCode) {
    // The worker waits while the window reads its catalogue, so no copy is needed.
    return AskOnWindowThread<std::optional<std::uint8_t>>(
        [this, &catalogue, presetModelCode] { return ShowDeviceSelect(catalogue, presetModelCode); },
        std::nullopt);
}

bool WorkerBridge::ShowYesNo(const std::string& text) {
    if (m_yesNoHook) return m_yesNoHook(text);
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kQuestionCaption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                    m_dialogParent);
    m_openQuestion = &box;
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::uint8_t> WorkerBridge::ShowDeviceSelect(const DeviceCatalogue& catalogue,
                                                           std::uint16_t presetModelCode) {
    if (m_selectDeviceHook) return m_selectDeviceHook(catalogue, presetModelCode);
    // The worker's own catalogue, so the index it gets back names the entry the user saw.
    CUpdateDlg dialog(catalogue, presetModelCode, m_dialogParent);
    m_openQuestion = &dialog;
    return dialog.Run();
}

void ShowPrompt(CTpStatic& current, CTpStatic& previous, const QString& text) {
    previous.SetText(current.Text());
    current.SetText(text);
}

void ShowPrompt(CTpStatic& current, CTpStatic& previous, const std::string& text) {
    ShowPrompt(current, previous, QString::fromStdString(text));
}

void ShowStatus(CTpStatic& voltage, CTpStatic& temperature, CTpStatic& runningTime,
                const std::array<CLedCtl*, 3>& protectionLeds, const StatusRecord& status) {
    for (CLedCtl* led : protectionLeds) {
        if (led) led->SetLedOn(status.protection != 0);
    }
    voltage.SetText(QString::fromStdString(FormatVoltage(status)));
    temperature.SetText(QString::fromStdString(FormatTemperature(status)));
    runningTime.SetText(QString::fromStdString(FormatRunningTime(status)));
}

}  // namespace vantrel
