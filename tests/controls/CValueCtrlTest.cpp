// What the fader and the knob share through CValueCtrl: range, keys, wheel, drag and double-click,
// run against both.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "controls/CFaderCtrl.h"
#include "controls/CKnob.h"
#include "support/RecordingControlHost.h"

namespace vantrel {
namespace {

constexpr int kControlId = 1731;

template <typename Control>
struct Reports;
template <>
struct Reports<CFaderCtrl> {
    static constexpr std::uint32_t kChanged = UM_FADER_CHANGED;
    static constexpr std::optional<std::uint32_t> kPressed = UM_FADER_PRESSED;
};
template <>
struct Reports<CKnob> {
    static constexpr std::uint32_t kChanged = UM_KNOB_CHANGED;
    static constexpr std::optional<std::uint32_t> kPressed = std::nullopt;
};

// Range -15..6, step 0.1, page 0.5, 0.1 per pixel of drag, default 0; a line edit to hold the
// focus elsewhere.
template <typename Control>
class CValueCtrlTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kChanged = Reports<Control>::kChanged;

    void SetUp() override {
        host = std::make_unique<test::RecordingHost>();
        host->resize(300, 300);
        edit = new QLineEdit(host.get());
        edit->setGeometry(100, 10, 80, 20);
        control = new Control(host.get(), kControlId);
        control->setGeometry(10, 20, 20, 110);
        control->SetRange(-15.0f, 6.0f);
        control->SetStep(0.1f);
        control->SetPageMultiplier(5.0f);
        control->SetDragRate(0.1f);
        control->SetValue(0.0f);
        control->SetDefaultValue(0.0f);
        host->show();
        QApplication::setActiveWindow(host.get());
        edit->setFocus();
    }
    void TearDown() override { host.reset(); }

    void Focus() {
        control->setFocus();
        ASSERT_TRUE(control->hasFocus());
    }

    // Every notification came from the control with wParam = identifier and lParam = 0.
    std::vector<std::uint32_t> Received() const {
        std::vector<std::uint32_t> kinds;
        for (const ControlMessage& m : host->messages) {
            EXPECT_EQ(m.id, kControlId);
            EXPECT_EQ(m.wParam, kControlId);
            EXPECT_EQ(m.lParam, 0);
            kinds.push_back(m.message);
        }
        return kinds;
    }

    // What a left-button press reports (the fader tells it, the knob does not), then `changes`
    // changes.
    static std::vector<std::uint32_t> PressThen(std::size_t changes) {
        std::vector<std::uint32_t> kinds;
        if (Reports<Control>::kPressed) kinds.push_back(*Reports<Control>::kPressed);
        kinds.insert(kinds.end(), changes, kChanged);
        return kinds;
    }

    std::unique_ptr<test::RecordingHost> host;
    QLineEdit* edit = nullptr;
    Control* control = nullptr;
};

using ValueControls = ::testing::Types<CFaderCtrl, CKnob>;
TYPED_TEST_SUITE(CValueCtrlTest, ValueControls);

TYPED_TEST(CValueCtrlTest, KeysAndWheelStepClampAndAlwaysReport) {
    enum class Input { WheelUp, WheelDown, BigWheelUp, Up, Down, Right, Left, Tab, Return, Other };
    struct Case {
        const char* name;
        float start;
        Input input;
        float expected;
    };
    const Case cases[] = {
        {"wheel notch up", 0.0f, Input::WheelUp, 0.1f},
        {"wheel notch down", 0.0f, Input::WheelDown, -0.1f},
        {"a large wheel delta is still one step", 0.0f, Input::BigWheelUp, 0.1f},
        {"wheel down at the minimum", -15.0f, Input::WheelDown, -15.0f},
        {"wheel up at the maximum", 6.0f, Input::WheelUp, 6.0f},
        {"Up clamps to the maximum", 5.95f, Input::Up, 6.0f},
        {"Up at the maximum", 6.0f, Input::Up, 6.0f},
        {"Down at the minimum", -15.0f, Input::Down, -15.0f},
        {"Down", 1.0f, Input::Down, 0.9f},
        {"Right pages up", 0.0f, Input::Right, 0.5f},
        {"Left pages down", 0.0f, Input::Left, -0.5f},
        {"Right clamps", 5.8f, Input::Right, 6.0f},
        {"Left clamps", -14.8f, Input::Left, -15.0f},
        {"Up from above the range brings it back", 8.0f, Input::Up, 6.0f},
        {"Tab only notifies", 1.0f, Input::Tab, 1.0f},
        {"Return only notifies", 1.0f, Input::Return, 1.0f},
        {"any other key only notifies", 1.0f, Input::Other, 1.0f},
    };
    this->Focus();
    auto* ctrl = this->control;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ctrl->SetValue(c.start);
        this->host->messages.clear();
        switch (c.input) {
            case Input::WheelUp:
                test::SendWheel(ctrl, 120);
                break;
            case Input::WheelDown:
                test::SendWheel(ctrl, -120);
                break;
            case Input::BigWheelUp:
                test::SendWheel(ctrl, 720);
                break;
            case Input::Up:
                QTest::keyClick(ctrl, Qt::Key_Up);
                break;
            case Input::Down:
                QTest::keyClick(ctrl, Qt::Key_Down);
                break;
            case Input::Right:
                QTest::keyClick(ctrl, Qt::Key_Right);
                break;
            case Input::Left:
                QTest::keyClick(ctrl, Qt::Key_Left);
                break;
            case Input::Tab:
                QTest::keyClick(ctrl, Qt::Key_Tab);
                break;
            case Input::Return:
                QTest::keyClick(ctrl, Qt::Key_Return);
                break;
            case Input::Other:
                QTest::keyClick(ctrl, Qt::Key_A);
                break;
        }
        EXPECT_NEAR(ctrl->Value(), c.expected, 1e-5);
        EXPECT_EQ(this->Received(), std::vector<std::uint32_t>{TestFixture::kChanged});
        EXPECT_TRUE(ctrl->hasFocus());
    }

    // A zero step changes nothing but still reports.
    ctrl->SetValue(0.5f);
    ctrl->SetStep(0.0f);
    this->host->messages.clear();
    test::SendWheel(ctrl, 120);
    EXPECT_FLOAT_EQ(ctrl->Value(), 0.5f);
    EXPECT_EQ(this->Received(), std::vector<std::uint32_t>{TestFixture::kChanged});
}

TYPED_TEST(CValueCtrlTest, FocusedControlTakesTabEnterAndEscape) {
    auto* defaultButton = new QPushButton("OK", this->host.get());
    defaultButton->setGeometry(200, 10, 60, 20);
    defaultButton->setDefault(true);
    int clicks = 0;
    QObject::connect(defaultButton, &QPushButton::clicked, [&clicks] { ++clicks; });
    this->Focus();
    this->control->SetValue(2.0f);

    const Qt::Key keys[] = {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Enter,
                            Qt::Key_Escape};
    for (Qt::Key key : keys) QTest::keyClick(this->control, key);

    EXPECT_TRUE(this->control->hasFocus());
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(this->host->isVisible());  // Escape did not close the dialog either
    EXPECT_FLOAT_EQ(this->control->Value(), 2.0f);
    EXPECT_EQ(this->Received(), std::vector<std::uint32_t>(std::size(keys), TestFixture::kChanged));
}

TYPED_TEST(CValueCtrlTest, KeysAreIgnoredWithoutFocus) {
    ASSERT_TRUE(this->edit->hasFocus());
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Tab}) {
        QTest::keyClick(this->control, key);
    }
    EXPECT_FLOAT_EQ(this->control->Value(), 0.0f);
    EXPECT_TRUE(this->host->messages.empty());
}

TYPED_TEST(CValueCtrlTest, DragMovesByPixelsTimesRateAndPinsAtTheLimits) {
    auto* ctrl = this->control;
    std::vector<float> reported;
    this->host->onMessage = [&](const ControlMessage&) { reported.push_back(ctrl->Value()); };

    QTest::mousePress(ctrl, Qt::LeftButton, {}, QPoint(5, 60));
    EXPECT_TRUE(ctrl->hasFocus());
    QTest::mouseMove(ctrl, QPoint(5, 50));    // 10 pixels up at 0.1 per pixel
    QTest::mouseMove(ctrl, QPoint(5, 53));    // 3 down
    QTest::mouseMove(ctrl, QPoint(5, -900));  // far beyond the maximum
    QTest::mouseMove(ctrl, QPoint(5, -890));  // reversing leaves the limit at once
    QTest::mouseMove(ctrl, QPoint(5, 900));   // far beyond the minimum
    QTest::mouseRelease(ctrl, Qt::LeftButton, {}, QPoint(5, 900));

    EXPECT_EQ(this->Received(), TestFixture::PressThen(5));
    std::vector<float> expected{1.0f, 0.7f, 6.0f, 5.0f, -15.0f};
    if (Reports<TypeParam>::kPressed) expected.insert(expected.begin(), 0.0f);
    ASSERT_EQ(reported.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(reported[i], expected[i], 1e-5) << i;
    }

    // After the release a move is no drag.
    this->host->messages.clear();
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 10), ctrl->mapToGlobal(QPointF(5, 10)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(ctrl, &move);
    EXPECT_FLOAT_EQ(ctrl->Value(), -15.0f);
    EXPECT_TRUE(this->host->messages.empty());
}

TYPED_TEST(CValueCtrlTest, DoubleClickGoesBackToTheDefault) {
    auto* ctrl = this->control;
    ctrl->SetDefaultValue(-3.0f);
    ctrl->SetValue(4.0f);
    std::vector<float> reported;
    this->host->onMessage = [&](const ControlMessage&) { reported.push_back(ctrl->Value()); };

    // What a real double-click delivers: press, release, double-click, release.
    QTest::mouseClick(ctrl, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(ctrl, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(ctrl, Qt::LeftButton, {}, QPoint(5, 5));

    EXPECT_EQ(this->Received(), TestFixture::PressThen(1));
    std::vector<float> expected{-3.0f};
    if (Reports<TypeParam>::kPressed) expected.insert(expected.begin(), 4.0f);
    EXPECT_EQ(reported, expected);
    EXPECT_FLOAT_EQ(ctrl->Value(), -3.0f);
}

}  // namespace
}  // namespace vantrel
