#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "controls/CGdipButton.h"
#include "controls/ControlHost.h"
#include "controls/PictureCache.h"

namespace vantrel {
namespace {

using Composition = CGdipButton::Composition;

constexpr int kId = 1536;
const QRgb kStd = qRgb(100, 50, 200);
const QRgb kAlt = qRgb(20, 200, 40);
// Colour matrices worked by hand: brighten 1.05 c + 0.05, dimmed grey 0.15 R + 0.295 G + 0.055 B,
// grey 0.3 R + 0.59 G + 0.11 B.
const QRgb kStdBright = qRgb(118, 65, 223);
const QRgb kStdDimmed = qRgb(41, 41, 41);
const QRgb kAltBright = qRgb(34, 223, 55);
const QRgb kAltGrey = qRgb(128, 128, 128);

class TestHost : public QWidget, public ControlHost {
public:
    void OnControlMessage(const ControlMessage& message) override {
        messages.push_back(message);
        if (onMessage) onMessage(message);
    }
    std::vector<ControlMessage> messages;
    std::function<void(const ControlMessage&)> onMessage;
};

class CGdipButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("pics"));
        SavePicture("pics/std.png", QColor(kStd));
        SavePicture("pics/alt.png", QColor(kAlt));
        SetPictureFolder(m_dir.path());
        m_host.setGeometry(90, 180, 200, 100);
        m_button = MakeButton();
        m_host.show();
    }

    void TearDown() override { SetPictureFolder({}); }

    void SavePicture(const QString& name, const QColor& color) {
        QImage picture(16, 12, QImage::Format_ARGB32);
        picture.fill(color);
        ASSERT_TRUE(picture.save(QDir(m_dir.path()).filePath(name)));
    }

    CGdipButton* MakeButton() {
        auto* button = new CGdipButton(&m_host, kId);
        button->setGeometry(10, 20, 16, 12);
        // Paths as the skin file writes them.
        button->LoadStdImage("pics\\std.png");
        button->LoadAltImage("pics\\alt.png");
        button->show();
        return button;
    }

    QRgb Shown(CGdipButton* button) const { return button->grab().toImage().pixel(3, 3); }
    QRgb Shown() const { return Shown(m_button); }

    void Hover() {
        QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), m_button->mapToGlobal(QPointF(3, 3)));
        QApplication::sendEvent(m_button, &enter);
    }

    void MoveWithoutButtons() {
        QMouseEvent move(QEvent::MouseMove, QPointF(4, 4), m_button->mapToGlobal(QPointF(4, 4)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m_button, &move);
    }

    int Commands() const {
        int count = 0;
        for (const ControlMessage& message : m_host.messages) {
            if (message.message == WM_COMMAND) {
                EXPECT_EQ(message.id, kId);
                EXPECT_EQ(message.wParam, kId);
                ++count;
            }
        }
        return count;
    }

    static constexpr QPoint kInside{5, 5};
    static constexpr QPoint kOutside{60, 60};

    QTemporaryDir m_dir;
    TestHost m_host;
    CGdipButton* m_button = nullptr;
};

TEST_F(CGdipButtonTest, ClickReportsCommandOnlyWhenReleasedOverTheButton) {
    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(Commands(), 0);
    EXPECT_EQ(m_button->CurrentComposition(), Composition::Alternate);  // the pushed look
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(Commands(), 1);
    EXPECT_EQ(m_button->GetCheck(), 0);  // a push button keeps its state

    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kOutside);
    EXPECT_EQ(Commands(), 1);

    m_button->setFocus();
    QTest::keyClick(m_button, Qt::Key_Space);
    EXPECT_EQ(Commands(), 2);
}

TEST_F(CGdipButtonTest, ToggleFlipsOnPressAndTheCommandSeesTheNewState) {
    m_button->SetToggle(true);
    std::vector<int> checkAtCommand;
    m_host.onMessage = [&](const ControlMessage&) {
        checkAtCommand.push_back(m_button->GetCheck());
    };

    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(m_button->GetCheck(), 1);
    EXPECT_TRUE(checkAtCommand.empty());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(checkAtCommand, std::vector<int>{1});
    EXPECT_EQ(m_button->CurrentComposition(), Composition::Alternate);
    EXPECT_EQ(Shown(), kAlt);

    QTest::mouseClick(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(checkAtCommand, (std::vector<int>{1, 0}));
    EXPECT_EQ(Shown(), kStd);

    // Let go off the button: no command, so the flip is given back.
    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(m_button->GetCheck(), 1);
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kOutside);
    EXPECT_EQ(m_button->GetCheck(), 0);
    EXPECT_EQ(checkAtCommand.size(), 2u);

    m_button->setFocus();
    QTest::keyClick(m_button, Qt::Key_Space);
    EXPECT_EQ(checkAtCommand, (std::vector<int>{1, 0, 1}));
}

TEST_F(CGdipButtonTest, CheckedToggleHoveredPressedAndReleased) {
    m_button->SetToggle(true);
    m_button->SetCheck(1);
    Hover();
    EXPECT_EQ(m_button->CurrentComposition(), Composition::AlternateHover);
    EXPECT_EQ(Shown(), kAltBright);

    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(m_button->CurrentComposition(), Composition::Alternate);
    EXPECT_EQ(Shown(), kAlt);
    EXPECT_EQ(m_button->GetCheck(), 0);

    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(m_button->CurrentComposition(), Composition::Standard);
    EXPECT_EQ(Shown(), kStd);

    MoveWithoutButtons();
    EXPECT_EQ(m_button->CurrentComposition(), Composition::StandardHover);
    EXPECT_EQ(Shown(), kStdBright);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(m_button, &leave);
    EXPECT_EQ(Shown(), kStd);
}

TEST_F(CGdipButtonTest, LooksFollowCheckHoverAndDisabled) {
    struct Case {
        int check;
        bool hover;
        bool disabledFlag;
        bool qtDisabled;
        Composition composition;
        QRgb pixel;
    };
    const Case cases[] = {
        {0, false, false, false, Composition::Standard, kStd},
        {0, true, false, false, Composition::StandardHover, kStdBright},
        {1, false, false, false, Composition::Alternate, kAlt},
        {1, true, false, false, Composition::AlternateHover, kAltBright},
        {0, true, true, false, Composition::StandardGrey, kStdDimmed},
        {1, true, true, false, Composition::AlternateGrey, kAltGrey},
        {0, false, false, true, Composition::StandardGrey, kStdDimmed},
        {1, false, false, true, Composition::AlternateGrey, kAltGrey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "check " << c.check << " hover " << c.hover
                                        << " disabled " << c.disabledFlag << c.qtDisabled);
        delete m_button;
        m_button = MakeButton();
        m_button->SetCheck(c.check);
        if (c.hover) Hover();
        m_button->SetDisabled(c.disabledFlag);
        m_button->setEnabled(!c.qtDisabled);
        EXPECT_EQ(m_button->CurrentComposition(), c.composition);
        EXPECT_EQ(Shown(), c.pixel);
    }
}

TEST_F(CGdipButtonTest, DisabledButtonIgnoresEveryPress) {
    m_button->SetToggle(true);
    m_button->SetAutoRepeat(true);
    m_button->SetDisabled(true);

    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_FALSE(m_button->IsRepeating());
    EXPECT_FALSE(m_button->IsHeld());
    EXPECT_FALSE(m_button->isDown());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    QTest::mouseDClick(m_button, Qt::LeftButton, {}, kInside);
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    QTest::mouseClick(m_button, Qt::RightButton, {}, kInside);
    m_button->setFocus();
    QTest::keyClick(m_button, Qt::Key_Space);

    EXPECT_TRUE(m_host.messages.empty());
    EXPECT_EQ(m_button->GetCheck(), 0);
    EXPECT_EQ(m_button->CurrentComposition(), Composition::StandardGrey);
}

TEST_F(CGdipButtonTest, AutoRepeatClicksWhileHeldAndStopsOnRelease) {
    m_button->SetAutoRepeat(true);
    auto* timer = m_button->findChild<QTimer*>("repeatTimer");
    ASSERT_NE(timer, nullptr);

    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 150);
    EXPECT_EQ(Commands(), 0);
    for (int i = 0; i < 3; ++i) m_button->OnRepeatTimer();
    EXPECT_EQ(Commands(), 3);
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(Commands(), 4);  // the release's own click

    // Released off the button: the repeat stops and no click follows.
    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    m_button->OnRepeatTimer();
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kOutside);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(Commands(), 5);
}

TEST_F(CGdipButtonTest, RepeatEndsWhenTheWindowStopsItOrDisablesTheButton) {
    m_button->SetAutoRepeat(true);
    m_host.onMessage = [&](const ControlMessage&) { m_button->StopAutoRepeat(); };
    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    m_button->OnRepeatTimer();
    EXPECT_FALSE(m_button->IsRepeating());
    EXPECT_FALSE(m_button->IsHeld());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    m_host.onMessage = nullptr;

    // A disabled button ignores its release, so disabling mid-press must end the repeat itself.
    const int before = Commands();
    QTest::mousePress(m_button, Qt::LeftButton, {}, kInside);
    m_button->SetDisabled(true);
    EXPECT_FALSE(m_button->IsRepeating());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(Commands(), before);
    EXPECT_FALSE(m_button->isDown());
}

TEST_F(CGdipButtonTest, DoubleClickIsASecondPress) {
    m_button->SetToggle(true);
    // What the platform delivers for two quick clicks.
    QTest::mouseClick(m_button, Qt::LeftButton, {}, kInside);
    QTest::mouseDClick(m_button, Qt::LeftButton, {}, kInside);
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(Commands(), 2);
    EXPECT_EQ(m_button->GetCheck(), 0);
}

TEST_F(CGdipButtonTest, RightPressReportsTheScreenPoint) {
    ASSERT_EQ(m_button->mapToGlobal(QPoint(0, 0)), QPoint(100, 200));
    QPoint pointAtHandling;
    m_host.onMessage = [&](const ControlMessage& message) {
        // lParam is valid only while the message is handled.
        const auto* point = reinterpret_cast<const std::int32_t*>(message.lParam);
        pointAtHandling = QPoint(point[0], point[1]);
    };
    QTest::mousePress(m_button, Qt::RightButton, {}, QPoint(3, 4));
    ASSERT_EQ(m_host.messages.size(), 1u);
    const ControlMessage& message = m_host.messages[0];
    EXPECT_EQ(message.message, UM_BUTTON_RCLICK);
    EXPECT_EQ(message.id, kId);
    EXPECT_EQ(message.wParam, kId);
    EXPECT_EQ(message.screenPoint, QPoint(103, 204));
    EXPECT_EQ(pointAtHandling, QPoint(103, 204));

    QTest::mouseRelease(m_button, Qt::RightButton, {}, QPoint(3, 4));
    EXPECT_EQ(m_host.messages.size(), 1u);  // no click from the right button
}

TEST_F(CGdipButtonTest, ReloadedPictureShowsAtTheNextPaint) {
    SavePicture("pics/std2.png", Qt::blue);
    EXPECT_TRUE(m_button->LoadStdImage("pics\\std2.png"));
    EXPECT_EQ(Shown(), qRgb(0, 0, 255));
}

TEST_F(CGdipButtonTest, MissingPicturesShowNothingAndNeverCrash) {
    const QRgb background = m_host.grab().toImage().pixel(150, 90);

    auto* broken = new CGdipButton(&m_host, 7);
    broken->setGeometry(40, 20, 16, 12);
    broken->show();
    EXPECT_EQ(broken->CurrentComposition(), Composition::None);
    EXPECT_EQ(Shown(broken), background);
    EXPECT_FALSE(broken->LoadStdImage("pics\\missing.png"));
    EXPECT_FALSE(broken->LoadAltImage(""));
    EXPECT_TRUE(broken->HasAltImage());  // still a working toggle
    broken->SetToggle(true);
    QTest::mouseClick(broken, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(broken->GetCheck(), 1);
    EXPECT_EQ(broken->CurrentComposition(), Composition::Alternate);
    EXPECT_EQ(Shown(broken), background);
}

TEST(PictureToneTest, MatrixWorksOnStraightColoursAndIsAppliedOncePerFile) {
    QImage translucent(1, 1, QImage::Format_ARGB32);
    translucent.setPixel(0, 0, qRgba(200, 100, 50, 128));
    const QRgb bright = ApplyColorMatrix(translucent, BrightenMatrix())
                            .convertToFormat(QImage::Format_ARGB32)
                            .pixel(0, 0);
    EXPECT_EQ(qAlpha(bright), 128);
    EXPECT_NEAR(qRed(bright), 223, 1);
    EXPECT_NEAR(qGreen(bright), 118, 1);
    EXPECT_NEAR(qBlue(bright), 65, 1);

    QTemporaryDir dir;
    ASSERT_TRUE(translucent.save(QDir(dir.path()).filePath("p.png")));
    SetPictureFolder(dir.path());
    const QImage first = LoadPicture("p.png", PictureTone::Grey);
    EXPECT_EQ(LoadPicture("p.png", PictureTone::Grey).cacheKey(), first.cacheKey());
    EXPECT_NE(LoadPicture("p.png", PictureTone::DimmedGrey).cacheKey(), first.cacheKey());
    EXPECT_TRUE(LoadPicture("none.png", PictureTone::Bright).isNull());
    SetPictureFolder({});
}

}  // namespace
}  // namespace vantrel
