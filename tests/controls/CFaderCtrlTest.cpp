#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "controls/CFaderCtrl.h"
#include "controls/ControlHost.h"
#include "controls/PictureCache.h"

namespace vantrel {
namespace {

constexpr int kFaderId = 1731;
constexpr QRgb kFocusedThumb = 0xffff0000;    // the standard picture
constexpr QRgb kUnfocusedThumb = 0xff00ff00;  // the alternate picture
constexpr int kThumbHeight = 10;

// A dialog, so that a key the fader let through would reach a default button or move the focus.
class RecordingHost : public QDialog, public ControlHost {
public:
    void OnControlMessage(const ControlMessage& message) override {
        messages.push_back(message);
        if (onMessage) onMessage(message);
    }
    std::vector<ControlMessage> messages;
    std::function<void(const ControlMessage&)> onMessage;
};

void SendWheel(QWidget* widget, int delta) {
    const QPointF pos(5, 5);
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void SaveSolid(const QString& path, int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(path));
}

class CFaderCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(QDir(m_folder.path()).mkpath("PNGRes"));
        SaveSolid(m_folder.filePath("PNGRes/FaderSta.png"), 20, kThumbHeight, kFocusedThumb);
        SaveSolid(m_folder.filePath("PNGRes/FaderAlt.png"), 20, kThumbHeight, kUnfocusedThumb);
        SetPictureFolder(m_folder.path());

        host = std::make_unique<RecordingHost>();
        host->resize(300, 300);
        edit = new QLineEdit(host.get());
        edit->setGeometry(100, 10, 80, 20);
        // Created at the skin's Width x Height; the placement rectangle is what it shows at.
        fader = new CFaderCtrl(host.get(), kFaderId);
        fader->setGeometry(10, 20, 40, 200);
        fader->LoadStandardPicture("PNGRes\\FaderSta.png");
        fader->LoadAlternatePicture("PNGRes\\FaderAlt.png");
        fader->SetPlacementRect(QRect(10, 20, 20, 100 + kThumbHeight));
        fader->SetRange(-15.0f, 6.0f);
        fader->SetStep(0.1f);
        fader->SetPageMultiplier(5.0f);
        fader->SetDragRate(0.1f);
        fader->SetValue(0.0f);
        fader->SetDefaultValue(0.0f);
    }

    void TearDown() override {
        host.reset();
        SetPictureFolder(QString());
    }

    void ShowAndFocus(QWidget* widget) {
        host->show();
        QApplication::setActiveWindow(host.get());
        widget->setFocus();
        ASSERT_TRUE(widget->hasFocus());
    }

    // Every notification came from the fader with wParam = identifier and lParam = 0.
    std::vector<std::uint32_t> Received() const {
        std::vector<std::uint32_t> kinds;
        for (const ControlMessage& m : host->messages) {
            EXPECT_EQ(m.id, kFaderId);
            EXPECT_EQ(m.wParam, kFaderId);
            EXPECT_EQ(m.lParam, 0);
            kinds.push_back(m.message);
        }
        return kinds;
    }

    // First and last row of the fader showing `colour` in its first column, or (-1, -1).
    std::pair<int, int> RowsOf(QRgb colour) const {
        const QImage shot = fader->grab().toImage();
        int first = -1;
        int last = -1;
        for (int y = 0; y < shot.height(); ++y) {
            if (shot.pixel(0, y) != colour) continue;
            if (first < 0) first = y;
            last = y;
        }
        return {first, last};
    }

    QTemporaryDir m_folder;
    std::unique_ptr<RecordingHost> host;
    QLineEdit* edit = nullptr;
    CFaderCtrl* fader = nullptr;
};

TEST_F(CFaderCtrlTest, KeysAndWheelStepAndClampAtBothEnds) {
    enum class Input { WheelUp, WheelDown, BigWheelUp, Up, Down, Right, Left, Tab, Other };
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
        {"any other key only notifies", 1.0f, Input::Other, 1.0f},
    };
    ShowAndFocus(fader);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fader->SetValue(c.start);
        host->messages.clear();
        switch (c.input) {
            case Input::WheelUp:
                SendWheel(fader, 120);
                break;
            case Input::WheelDown:
                SendWheel(fader, -120);
                break;
            case Input::BigWheelUp:
                SendWheel(fader, 720);
                break;
            case Input::Up:
                QTest::keyClick(fader, Qt::Key_Up);
                break;
            case Input::Down:
                QTest::keyClick(fader, Qt::Key_Down);
                break;
            case Input::Right:
                QTest::keyClick(fader, Qt::Key_Right);
                break;
            case Input::Left:
                QTest::keyClick(fader, Qt::Key_Left);
                break;
            case Input::Tab:
                QTest::keyClick(fader, Qt::Key_Tab);
                break;
            case Input::Other:
                QTest::keyClick(fader, Qt::Key_A);
                break;
        }
        EXPECT_NEAR(fader->Value(), c.expected, 1e-5);
        EXPECT_EQ(Received(), std::vector<std::uint32_t>{UM_FADER_CHANGED});
    }
}

TEST_F(CFaderCtrlTest, FocusedFaderTakesTabAndEnter) {
    auto* defaultButton = new QPushButton("OK", host.get());
    defaultButton->setGeometry(200, 10, 60, 20);
    defaultButton->setDefault(true);
    int clicks = 0;
    QObject::connect(defaultButton, &QPushButton::clicked, [&clicks] { ++clicks; });
    ShowAndFocus(fader);
    fader->SetValue(2.0f);

    const Qt::Key keys[] = {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Enter,
                            Qt::Key_Escape};
    for (Qt::Key key : keys) QTest::keyClick(fader, key);

    EXPECT_TRUE(fader->hasFocus());
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(host->isVisible());  // Escape did not close the dialog either
    EXPECT_FLOAT_EQ(fader->Value(), 2.0f);
    EXPECT_EQ(Received(), std::vector<std::uint32_t>(std::size(keys), UM_FADER_CHANGED));
}

TEST_F(CFaderCtrlTest, KeysAreIgnoredWithoutFocus) {
    ShowAndFocus(edit);
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Tab}) {
        QTest::keyClick(fader, key);
    }
    EXPECT_FLOAT_EQ(fader->Value(), 0.0f);
    EXPECT_TRUE(host->messages.empty());
}

TEST_F(CFaderCtrlTest, DragMovesByPixelsTimesRateAndPinsAtTheLimits) {
    ShowAndFocus(edit);
    std::vector<float> reported;
    host->onMessage = [&](const ControlMessage&) { reported.push_back(fader->Value()); };

    QTest::mousePress(fader, Qt::LeftButton, {}, QPoint(5, 60));
    EXPECT_TRUE(fader->hasFocus());
    QTest::mouseMove(fader, QPoint(5, 50));    // 10 pixels up at 0.1 per pixel
    QTest::mouseMove(fader, QPoint(5, 53));    // 3 down
    QTest::mouseMove(fader, QPoint(5, -900));  // far beyond the maximum
    QTest::mouseMove(fader, QPoint(5, -890));  // reversing leaves the limit at once
    QTest::mouseMove(fader, QPoint(5, 900));   // far beyond the minimum
    QTest::mouseRelease(fader, Qt::LeftButton, {}, QPoint(5, 900));

    EXPECT_EQ(Received(),
              (std::vector<std::uint32_t>{UM_FADER_PRESSED, UM_FADER_CHANGED, UM_FADER_CHANGED,
                                          UM_FADER_CHANGED, UM_FADER_CHANGED, UM_FADER_CHANGED}));
    const std::vector<float> expected{0.0f, 1.0f, 0.7f, 6.0f, 5.0f, -15.0f};
    ASSERT_EQ(reported.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(reported[i], expected[i], 1e-5) << i;

    // After the release a move is no drag.
    host->messages.clear();
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 10), fader->mapToGlobal(QPointF(5, 10)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(fader, &move);
    EXPECT_FLOAT_EQ(fader->Value(), -15.0f);
    EXPECT_TRUE(host->messages.empty());
}

TEST_F(CFaderCtrlTest, DoubleClickReportsPressThenChangeAtTheDefault) {
    fader->SetDefaultValue(-3.0f);
    fader->SetValue(4.0f);
    ShowAndFocus(edit);
    std::vector<float> reported;
    host->onMessage = [&](const ControlMessage&) { reported.push_back(fader->Value()); };

    // What a real double-click delivers: press, release, double-click, release.
    QTest::mouseClick(fader, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(fader, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(fader, Qt::LeftButton, {}, QPoint(5, 5));

    EXPECT_EQ(Received(), (std::vector<std::uint32_t>{UM_FADER_PRESSED, UM_FADER_CHANGED}));
    EXPECT_EQ(reported, (std::vector<float>{4.0f, -3.0f}));
    EXPECT_FLOAT_EQ(fader->Value(), -3.0f);
}

TEST_F(CFaderCtrlTest, SettlesToThePlacementRectangleWhenShown) {
    EXPECT_EQ(fader->geometry(), QRect(10, 20, 40, 200));
    host->show();
    EXPECT_EQ(fader->geometry(), QRect(10, 20, 20, 110));

    // Moved away while visible: back in place at its next repaint.
    fader->setGeometry(0, 0, 40, 200);
    fader->SetValue(1.0f);
    EXPECT_EQ(fader->geometry(), QRect(10, 20, 20, 110));
    // The same when the repaint is not its own.
    fader->setGeometry(0, 0, 40, 200);
    (void)fader->grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(fader->geometry(), QRect(10, 20, 20, 110));
}

TEST_F(CFaderCtrlTest, ThumbStandsAtTheTruncatedPositionOverTheTravel) {
    // Travel 100 pixels (placement height 110 less the thumb's 10) over the range 0..3.
    fader->SetRange(0.0f, 3.0f);
    host->show();
    struct Case {
        float value;
        int top;
    };
    const Case cases[] = {
        {0.0f, 100},               // bottom at the minimum
        {3.0f, 0},                 // top at the maximum
        {1.0f, 66},                // 66.67 truncated, not rounded
        {2.0f, 33},   {3.1f, -3},  // beyond the range: -3.33 truncated toward zero
        {-0.2f, 106},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        fader->SetValue(c.value);
        EXPECT_EQ(RowsOf(kUnfocusedThumb),
                  std::make_pair(std::max(c.top, 0), std::min(c.top + kThumbHeight - 1, 109)));
    }
}

TEST_F(CFaderCtrlTest, StandardThumbWhileFocusedAlternateOtherwise) {
    fader->SetValue(6.0f);
    ShowAndFocus(fader);
    EXPECT_EQ(RowsOf(kFocusedThumb), std::make_pair(0, kThumbHeight - 1));
    EXPECT_EQ(RowsOf(kUnfocusedThumb), std::make_pair(-1, -1));

    edit->setFocus();
    EXPECT_EQ(RowsOf(kFocusedThumb), std::make_pair(-1, -1));
    EXPECT_EQ(RowsOf(kUnfocusedThumb), std::make_pair(0, kThumbHeight - 1));

    // Without an alternate picture the unfocused fader shows only what lies beneath it.
    fader->LoadAlternatePicture("PNGRes\\Missing.png");
    EXPECT_EQ(RowsOf(kUnfocusedThumb), std::make_pair(-1, -1));
    // Without a standard picture nothing is drawn, whichever picture would be shown.
    fader->LoadAlternatePicture("PNGRes\\FaderAlt.png");
    fader->LoadStandardPicture("PNGRes\\Missing.png");
    EXPECT_EQ(RowsOf(kUnfocusedThumb), std::make_pair(-1, -1));
}

TEST_F(CFaderCtrlTest, DegenerateSettingsNeitherCrashNorMoveOddly) {
    // No range: the thumb rests at the bottom instead of dividing by zero.
    fader->SetRange(2.0f, 2.0f);
    fader->SetValue(2.0f);
    host->show();
    EXPECT_EQ(RowsOf(kUnfocusedThumb), std::make_pair(100, 109));

    // Values only SetValue can bring must not overflow the position.
    fader->SetRange(0.0f, 1.0f);
    for (float v : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::max(),
                    -std::numeric_limits<float>::infinity()}) {
        fader->SetValue(v);
        (void)fader->grab();
    }

    // A zero step changes nothing but still reports.
    fader->SetValue(0.5f);
    fader->SetStep(0.0f);
    host->messages.clear();
    SendWheel(fader, 120);
    EXPECT_FLOAT_EQ(fader->Value(), 0.5f);
    EXPECT_EQ(host->messages.size(), 1u);

    // An empty placement keeps the created rectangle rather than collapsing the fader.
    CFaderCtrl unplaced(host.get(), kFaderId + 1);
    unplaced.setGeometry(50, 20, 20, 80);
    unplaced.SetPlacementRect(QRect(50, 20, 0, 0));
    unplaced.show();
    EXPECT_EQ(unplaced.geometry(), QRect(50, 20, 20, 80));
    (void)unplaced.grab();
}

}  // namespace
}  // namespace vantrel
