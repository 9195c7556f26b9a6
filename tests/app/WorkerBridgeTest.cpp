#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "app/CUpdateDlg.h"
#include "app/WorkerBridge.h"
#include "controls/CLedCtl.h"
#include "controls/CTpStatic.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

WindowMessage Text(std::string text, std::intptr_t lParam = 0) {
    WindowMessage message;
    message.message = UM_RESULT_TEXT;
    message.text = std::move(text);
    message.lParam = lParam;
    return message;
}

WindowMessage Plain(std::uint32_t number) {
    WindowMessage message;
    message.message = number;
    return message;
}

bool OnWindowThread() { return QThread::currentThread() == qApp->thread(); }

DeviceCatalogue TestCatalogue() {
    DeviceCatalogue catalogue;
    catalogue.Entries = {
        {"A2", 2, "ClassD", 100, 0},     {"B4", 4, "ClassAB", 100, 1},
        {"C2", 2, "ClassAB", 100, 2},    {"Any", 255, "ClassD", 100, 3},
        {"E2", 2, "ClassD", 100, 4},     {"A2", 6, "ClassD Bass", 100, 5},
    };
    return catalogue;
}

// --- worker messages and questions across threads ---

TEST(WorkerBridgeTest, PostFromWorkerThreadArrivesQueuedOnWindowThreadWithOwnedCopies) {
    WorkerBridge bridge;
    std::vector<WindowMessage> received;
    bool allOnWindowThread = true;
    bridge.SetHandler([&](const WindowMessage& m) {
        allOnWindowThread = allOnWindowThread && OnWindowThread();
        received.push_back(m);
    });

    std::thread worker([&bridge] {
        // The worker reuses its text buffer for the next result at once.
        std::string buffer = "0000012c Set OK.";
        bridge.PostToWindow(Text(buffer, 1));
        buffer.assign("garbage garbage garbage");
        WindowMessage status = Plain(UM_STATUS);
        status.status = {124, 100, 1, 1234};
        bridge.PostToWindow(status);
    });
    worker.join();
    EXPECT_TRUE(received.empty()) << "handled on the posting thread instead of queued";

    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 2; }, 5000));
    EXPECT_TRUE(allOnWindowThread);
    EXPECT_EQ(received[0].message, UM_RESULT_TEXT);
    EXPECT_EQ(received[0].text, "0000012c Set OK.");
    EXPECT_EQ(received[0].lParam, 1);
    EXPECT_EQ(received[1].message, UM_STATUS);
    EXPECT_EQ(received[1].status.voltage, 124);
    EXPECT_EQ(received[1].status.runningMinutes, 1234u);
}

TEST(WorkerBridgeTest, QuestionsFromWorkerAreAnsweredOnWindowThroughHooks) {
    WorkerBridge bridge;
    std::string askedText;
    std::uint16_t askedPreset = 0;
    std::size_t askedEntries = 0;
    bool hooksOnWindowThread = true;
    bridge.SetYesNoHook([&](const std::string& text) {
        hooksOnWindowThread = hooksOnWindowThread && OnWindowThread();
        askedText = text;
        return true;
    });
    bridge.SetSelectDeviceHook([&](const DeviceCatalogue& catalogue, std::uint16_t preset) {
        hooksOnWindowThread = hooksOnWindowThread && OnWindowThread();
        askedPreset = preset;
        askedEntries = catalogue.Entries.size();
        return std::optional<std::uint8_t>(3);
    });

    const DeviceCatalogue catalogue = TestCatalogue();
    auto answers = std::async(std::launch::async, [&] {
        const bool yes = bridge.AskYesNo("New firmware available, Update?");
        return std::make_pair(yes, bridge.SelectDevice(catalogue, 4));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.wait_for(0s) == std::future_status::ready; },
                                5000));
    const auto [yes, index] = answers.get();
    EXPECT_TRUE(yes);
    EXPECT_EQ(index, std::optional<std::uint8_t>(3));
    EXPECT_TRUE(hooksOnWindowThread);
    EXPECT_EQ(askedText, "New firmware available, Update?");
    EXPECT_EQ(askedPreset, 4);
    EXPECT_EQ(askedEntries, 6u);
}

TEST(WorkerBridgeTest, ShutdownAnswersNoAndCancelWithoutTheWindow) {
    WorkerBridge bridge;
    int hookCalls = 0;
    std::vector<WindowMessage> received;
    bridge.SetHandler([&](const WindowMessage& m) { received.push_back(m); });
    bridge.SetYesNoHook([&](const std::string&) { return ++hookCalls, true; });
    bridge.SetSelectDeviceHook([&](const DeviceCatalogue&, std::uint16_t) {
        ++hookCalls;
        return std::optional<std::uint8_t>(0);
    });

    // Asked before or after Shutdown (the race is the point): the window never runs the event
    // loop here, yet the worker must get its answer.
    const DeviceCatalogue catalogue = TestCatalogue();
    auto pending = std::async(std::launch::async, [&] { return bridge.AskYesNo("Update?"); });
    bridge.PostToWindow(Text("late"));
    bridge.Shutdown();
    ASSERT_EQ(pending.wait_for(5s), std::future_status::ready) << "worker left waiting";
    EXPECT_FALSE(pending.get());

    auto later = std::async(std::launch::async, [&] { return bridge.SelectDevice(catalogue, 0); });
    ASSERT_EQ(later.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(later.get(), std::nullopt);
    EXPECT_FALSE(bridge.AskYesNo("on the window thread"));

    // Whatever was still queued does nothing once shut down.
    QCoreApplication::processEvents();
    EXPECT_EQ(hookCalls, 0);
    EXPECT_TRUE(received.empty());
}

TEST(WorkerBridgeTest, DefaultQuestionsShowMessageBoxAndDeviceSelect) {
    WorkerBridge bridge;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(bridge.AskYesNo("New firmware available, Update?\n Note: All setup will lost!"));
    EXPECT_EQ(caption, "Update Firmware");
    EXPECT_EQ(text, "New firmware available, Update?\n Note: All setup will lost!");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);

    QString title;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CUpdateDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        dialog->OkButton()->click();
    });
    EXPECT_EQ(bridge.SelectDevice(TestCatalogue(), 2), std::optional<std::uint8_t>(2));
    EXPECT_EQ(title, "Device Select");
}

// --- busy wait ---

class PaintCounter : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

class BusyWaitTest : public testing::Test {
protected:
    BusyWaitTest() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        layout->addWidget(edit);
        layout->addWidget(painter);
        painter->setMinimumSize(20, 20);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        bridge.SetBusyFlag(busy);
        bridge.SetHandler([this](const WindowMessage& m) { texts.push_back(m.text); });
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        edit->setFocus();
    }

    // Input a user might give; counted by `clicks` and the edit's text.
    void GiveInput() {
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_X);
    }

    // The wait must end by itself; this only keeps a broken wait from hanging the run.
    void Failsafe() {
        QTimer::singleShot(5000, &window, [this] {
            failsafeFired = true;
            busy = false;
        });
    }

    std::atomic<bool> busy{false};
    WorkerBridge bridge;
    QWidget window;
    QPushButton* button = new QPushButton(QStringLiteral("B"), &window);
    QLineEdit* edit = new QLineEdit(&window);
    PaintCounter* painter = new PaintCounter(&window);
    int clicks = 0;
    bool failsafeFired = false;
    std::vector<std::string> texts;
};

TEST_F(BusyWaitTest, BusyAfterTheOperationEndedReturnsAtOnceAndChangesNothing) {
    busy = false;
    bridge.Deliver(Plain(UM_BUSY));
    EXPECT_FALSE(bridge.IsWaiting());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(texts.empty());

    GiveInput();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(edit->text(), "x");
}

TEST_F(BusyWaitTest, InputIsDroppedPaintingGoesOnAndTheFirstResultTextEndsTheWait) {
    busy = true;
    Failsafe();
    bool waitingWithCursor = false;
    int paintsBefore = 0;
    int tries = 0;
    QTimer step;
    step.setInterval(5);
    QObject::connect(&step, &QTimer::timeout, [&] {
        if (tries++ == 0) {
            waitingWithCursor = bridge.IsWaiting() && QGuiApplication::overrideCursor() &&
                                QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            GiveInput();
            paintsBefore = painter->paints;
            painter->update();
            return;
        }
        if (painter->paints == paintsBefore && tries < 200) return;
        step.stop();
        // Two texts from the worker: the first ends the wait, both are shown.
        bridge.PostToWindow(Text("Load setup OK."));
        bridge.PostToWindow(Text("Set OK."));
    });
    step.start();

    bridge.Deliver(Plain(UM_BUSY));  // returns when the wait ends

    EXPECT_FALSE(failsafeFired);
    EXPECT_TRUE(waitingWithCursor);
    EXPECT_GT(painter->paints, paintsBefore) << "no painting during the wait";
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(edit->text(), "");
    EXPECT_TRUE(busy) << "the text, not the flag, ended the wait";
    EXPECT_FALSE(bridge.IsWaiting());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(texts, (std::vector<std::string>{"Load setup OK.", "Set OK."}));

    GiveInput();
    EXPECT_EQ(clicks, 1) << "input still dropped after the wait";
    EXPECT_EQ(edit->text(), "x");
}

TEST_F(BusyWaitTest, BusyClearingEndsTheWait) {
    busy = true;
    Failsafe();
    QTimer::singleShot(0, &window, [this] { busy = false; });
    bridge.Deliver(Plain(UM_BUSY));
    EXPECT_FALSE(failsafeFired);
    EXPECT_FALSE(bridge.IsWaiting());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(BusyWaitTest, QuestionOpenedDuringTheWaitTakesInput) {
    busy = true;
    Failsafe();
    // The worker may ask while the window still waits on a stale busy message; the user must be
    // able to answer, or the worker and the window wait on each other.
    bridge.SetYesNoHook([this](const std::string&) {
        QTest::keyClick(edit, Qt::Key_X);
        return edit->text() == "x";
    });
    std::future<bool> answer;
    QTimer::singleShot(0, &window, [&] {
        answer = std::async(std::launch::async, [this] {
            const bool yes = bridge.AskYesNo("Update?");
            bridge.PostToWindow(Text("Updating in progress, please wait..."));
            return yes;
        });
    });
    bridge.Deliver(Plain(UM_BUSY));
    EXPECT_FALSE(failsafeFired);
    ASSERT_EQ(answer.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(answer.get());
}

// --- prompt and status display ---

TEST(WorkerBridgeDisplayTest, PromptMovesTheCurrentLineUp) {
    CTpStatic current(nullptr, 1), previous(nullptr, 2);
    ShowPrompt(current, previous, std::string("Connect to Adaptor"));
    ShowPrompt(current, previous, std::string("Loading..."));
    EXPECT_EQ(current.Text(), "Loading...");
    EXPECT_EQ(previous.Text(), "Connect to Adaptor");
}

TEST(WorkerBridgeDisplayTest, StatusTextsAndProtectionLeds) {
    struct Case {
        StatusRecord status;
        const char* voltage;
        const char* temperature;
        const char* running;
        bool leds;
    };
    const Case cases[] = {
        {{124, 128, 0, 1234}, "12.4 V", "0 C", "1234 m", false},  // negative reading gives 0
        {{138, 100, 2, 0}, "13.8 V", "45 C", "0 m", true},
        {{0, 0, 0, 4294967290u}, "0.0 V", "0 C", "4294967290 m", false},  // LEDs go dark again
    };
    CTpStatic voltage(nullptr, 1), temperature(nullptr, 2), running(nullptr, 3);
    CLedCtl led1(nullptr, 4), led2(nullptr, 5), led3(nullptr, 6);
    for (const Case& c : cases) {
        ShowStatus(voltage, temperature, running, {&led1, &led2, &led3}, c.status);
        EXPECT_EQ(voltage.Text(), c.voltage);
        EXPECT_EQ(temperature.Text(), c.temperature);
        EXPECT_EQ(running.Text(), c.running);
        EXPECT_EQ(led1.IsLedOn(), c.leds);
        EXPECT_EQ(led2.IsLedOn(), c.leds);
        EXPECT_EQ(led3.IsLedOn(), c.leds);
    }
}

// --- "Device Select" ---

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

TEST(CUpdateDlgTest, OpensWithThePresetModelSelected) {
    struct Case {
        std::uint16_t preset;
        QString model, channels, type;
    };
    const Case cases[] = {
        {2, "C2", "2", "ClassAB"},
        {3, "Any", "ALL", "ClassD"},          // Channels 255 shows as "ALL"
        {5, "A2", "6", "ClassD Bass"},        // the later of two equal names
        {99, "", "", ""},                     // no such code: nothing selected
    };
    for (const Case& c : cases) {
        CUpdateDlg dialog(TestCatalogue(), c.preset);
        EXPECT_EQ(dialog.windowTitle(), "Device Select");
        EXPECT_EQ(Items(dialog.ModelList()),
                  QStringList({"A2", "B4", "C2", "Any", "E2", "A2"}));
        EXPECT_EQ(dialog.ModelList()->currentText(), c.model) << c.preset;
        EXPECT_EQ(dialog.ChannelsList()->currentText(), c.channels) << c.preset;
        EXPECT_EQ(dialog.TypeList()->currentText(), c.type) << c.preset;
        EXPECT_EQ(Items(dialog.ChannelsList()), QStringList({"1", "2", "4", "6", "ALL"}));
        EXPECT_EQ(Items(dialog.TypeList()),
                  QStringList({"ClassAB", "ClassD", "ClassD Bass", "ALL"}));
    }
}

TEST(CUpdateDlgTest, ChannelAndTypeListsFilterTheModels) {
    CUpdateDlg dialog(TestCatalogue(), 0);  // "A2": 2 channels, ClassD
    QComboBox* models = dialog.ModelList();

    dialog.ChannelsList()->setCurrentText("ALL");
    EXPECT_EQ(Items(models), QStringList({"A2", "Any", "E2"}));
    dialog.ChannelsList()->setCurrentText("2");
    EXPECT_EQ(Items(models), QStringList({"A2", "E2"})) << "a 255 entry only under ALL";
    dialog.TypeList()->setCurrentText("ALL");
    EXPECT_EQ(Items(models), QStringList({"A2", "C2", "E2"}));
    EXPECT_EQ(models->currentIndex(), 0);

    // A model shows its channels and type without narrowing the list.
    models->setCurrentIndex(1);
    EXPECT_EQ(dialog.ChannelsList()->currentText(), "2");
    EXPECT_EQ(dialog.TypeList()->currentText(), "ClassAB");
    EXPECT_EQ(models->count(), 3);

    // Nothing passes: an empty list, and OK picks nothing.
    dialog.ChannelsList()->setCurrentText("6");
    EXPECT_EQ(models->count(), 0);
    QTimer::singleShot(0, &dialog, [&] { dialog.OkButton()->click(); });
    EXPECT_EQ(dialog.Run(), std::nullopt);
}

TEST(CUpdateDlgTest, OkReturnsTheCatalogueIndexAndCancelNothing) {
    struct Case {
        std::uint16_t preset;
        bool ok;
        std::optional<std::uint8_t> result;
        std::uint8_t resultByte;
    };
    const Case cases[] = {
        {2, true, 2, 2},
        {0, true, 5, 5},  // equal names: the later entry
        {2, false, std::nullopt, 255},
    };
    for (const Case& c : cases) {
        CUpdateDlg dialog(TestCatalogue(), c.preset);
        QTimer::singleShot(0, &dialog, [&] {
            EXPECT_TRUE(dialog.isVisible());
            (c.ok ? dialog.OkButton() : dialog.CancelButton())->click();
        });
        EXPECT_EQ(dialog.Run(), c.result) << c.preset;
        EXPECT_EQ(dialog.ResultByte(), c.resultByte);
    }
}

TEST(CUpdateDlgTest, MissingCatalogueCancelsWithoutShowing) {
    CUpdateDlg dialog(LoadDeviceCatalogue("/nonexistent/INI/DeviceModels.dat"), 0);
    bool shown = false;
    QTimer::singleShot(0, &dialog, [&] {
        shown = true;
        dialog.reject();
    });
    EXPECT_EQ(dialog.Run(), std::nullopt);
    EXPECT_FALSE(shown);
    EXPECT_EQ(dialog.ResultByte(), 255);
}

}  // namespace
}  // namespace vantrel
