#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "controls/CKnob.h"
#include "controls/ControlHost.h"
#include "controls/PictureCache.h"
#include "support/RecordingControlHost.h"

namespace vantrel {
namespace {

constexpr int kKnobId = 1614;
constexpr int kStepHeight = 8;
constexpr int kLastFrame = 20;
constexpr int kStandardBlue = 100;
constexpr int kAlternateBlue = 200;

using test::RecordingHost;
using test::SendWheel;

// A film strip whose frame f is filled with red 10 f + 5; rows before frame 0 are black.
// Frame f starts at row firstCentre - stepHeight / 2 + f * stepHeight.
QImage MakeStrip(int firstCentre, int lastFrame, int blue) {
    const int start = firstCentre - kStepHeight / 2;
    const int rows = std::max(1, start + (lastFrame + 1) * kStepHeight);
    QImage strip(6, rows, QImage::Format_ARGB32);
    for (int y = 0; y < rows; ++y) {
        const int offset = y - start;
        const int frame = offset < 0 ? -1 : offset / kStepHeight;
        for (int x = 0; x < strip.width(); ++x) {
            strip.setPixel(x, y, frame < 0 ? qRgb(0, 0, 0) : qRgb(10 * frame + 5, 0, blue));
        }
    }
    return strip;
}

constexpr int kBackground = -1;  // nothing of the strip drawn in that row
constexpr int kNoFrame = -2;     // strip rows that belong to no frame

// Frame shown in each row of the knob's picture area, and the blue of the last row drawn from a
// strip, which tells the strips apart.
struct Shown {
    std::vector<int> frames;
    int blue = -1;
};

Shown ShownBy(QWidget* knob) {
    const QImage shot = knob->grab().toImage();
    Shown shown;
    for (int y = 0; y < kStepHeight; ++y) {
        const QRgb pixel = shot.pixel(0, y);
        if (qAlpha(pixel) == 0 || qGreen(pixel) != 0) {  // the strips have no green
            shown.frames.push_back(kBackground);
            continue;
        }
        shown.frames.push_back(qRed(pixel) % 10 == 5 ? qRed(pixel) / 10 : kNoFrame);
        shown.blue = qBlue(pixel);
    }
    return shown;
}

std::vector<int> Rows(int frame) { return std::vector<int>(kStepHeight, frame); }

class CKnobTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(QDir(m_folder.path()).mkpath("PNGRes"));
        ASSERT_TRUE(
            MakeStrip(4, kLastFrame, kStandardBlue).save(m_folder.filePath("PNGRes/KnobSta.png")));
        ASSERT_TRUE(
            MakeStrip(4, kLastFrame, kAlternateBlue).save(m_folder.filePath("PNGRes/KnobAlt.png")));
        SetPictureFolder(m_folder.path());

        host = std::make_unique<RecordingHost>();
        host->resize(200, 200);
        edit = new QLineEdit(host.get());
        edit->setGeometry(100, 10, 80, 20);
        knob = new CKnob(host.get(), kKnobId);
        knob->setGeometry(30, 40, 6, kStepHeight);
        knob->LoadStandardStrip("PNGRes\\KnobSta.png");
        knob->LoadAlternateStrip("PNGRes\\KnobAlt.png");
        knob->SetStripGeometry(kStepHeight, 4, kLastFrame);
        knob->SetPageMultiplier(10.0f);
        knob->SetRange(0.0f, 20.0f);
        knob->SetStep(0.02f);
        knob->SetDragRate(0.02f);
        host->show();
        QApplication::setActiveWindow(host.get());
        edit->setFocus();
    }

    void TearDown() override {
        host.reset();
        SetPictureFolder(QString());
    }

    QTemporaryDir m_folder;
    std::unique_ptr<RecordingHost> host;
    QLineEdit* edit = nullptr;
    CKnob* knob = nullptr;
};

TEST_F(CKnobTest, FrameIsTruncatedAndStaysWithinTheStrip) {
    struct Case {
        float value;
        int frame;
    };
    const Case cases[] = {
        {0.0f, 0},   {20.0f, kLastFrame}, {19.99f, 19},
        {10.5f, 10}, {25.0f, kLastFrame},  // beyond the range, set by SetValue
        {-3.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        knob->SetValue(c.value);
        EXPECT_EQ(knob->FrameIndex(), c.frame);
        EXPECT_EQ(ShownBy(knob).frames, Rows(c.frame));
    }
}

TEST_F(CKnobTest, MaximumShowsTheLastFrameWhereSinglePrecisionFallsShort) {
    // The frequency knob's range: (4.32 - 1.2) * 11 / (4.32 - 1.2) is 10.999999 in float.
    knob->SetRange(1.2f, 4.32f);
    knob->SetStripGeometry(kStepHeight, 4, 11);
    knob->SetValue(4.32f);
    EXPECT_EQ(knob->FrameIndex(), 11);
    EXPECT_EQ(ShownBy(knob).frames, Rows(11));
}

TEST_F(CKnobTest, CutFirstFrameIsDrawnLower) {
    // Frame 0 centred at row 1 of an 8-row step: its top 3 rows lie above the strip.
    ASSERT_TRUE(
        MakeStrip(1, kLastFrame, kStandardBlue).save(m_folder.filePath("PNGRes/KnobCut.png")));
    knob->LoadAlternateStrip("PNGRes\\KnobCut.png");
    knob->SetStripGeometry(kStepHeight, 1, kLastFrame);

    knob->SetValue(0.0f);
    const std::vector<int> cut{kBackground, kBackground, kBackground, 0, 0, 0, 0, 0};
    EXPECT_EQ(ShownBy(knob).frames, cut);
    knob->SetValue(1.0f);
    EXPECT_EQ(ShownBy(knob).frames, Rows(1));
}

TEST_F(CKnobTest, StandardStripWhileFocusedAlternateOtherwise) {
    knob->SetValue(5.0f);
    EXPECT_EQ(ShownBy(knob).blue, kAlternateBlue);
    knob->setFocus();
    ASSERT_TRUE(knob->hasFocus());
    EXPECT_EQ(ShownBy(knob).blue, kStandardBlue);
    EXPECT_EQ(ShownBy(knob).frames, Rows(5));
}

TEST_F(CKnobTest, DisabledKnobIsDimmedAndIgnoresInput) {
    knob->SetValue(5.0f);
    knob->setFocus();
    knob->SetDisabled(true);
    EXPECT_TRUE(knob->IsDisabled());

    const QRgb pixel = knob->grab().toImage().pixel(0, 0);
    const int grey =
        qRound(0.15 * (10 * 5 + 5) + 0.055 * kStandardBlue);  // from the standard strip
    EXPECT_NEAR(qRed(pixel), grey, 1);
    EXPECT_NEAR(qGreen(pixel), grey, 1);
    EXPECT_NEAR(qBlue(pixel), grey, 1);
    EXPECT_EQ(qAlpha(pixel), 255);

    SendWheel(knob, 120);
    QTest::keyClick(knob, Qt::Key_Up);
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(3, 6));
    QTest::mouseMove(knob, QPoint(3, 1));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(3, 1));
    QTest::mouseDClick(knob, Qt::LeftButton, {}, QPoint(3, 1));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(3, 1));
    EXPECT_FLOAT_EQ(knob->Value(), 5.0f);
    EXPECT_TRUE(host->messages.empty());

    knob->SetDisabled(false);
    EXPECT_EQ(ShownBy(knob).blue, kAlternateBlue);
    SendWheel(knob, 120);
    EXPECT_FLOAT_EQ(knob->Value(), 5.02f);
}

TEST_F(CKnobTest, DegenerateGeometryNeitherCrashesNorLeavesTheStrip) {
    // No frames after frame 0, no range, no step height, values that are not numbers, a strip
    // shorter than its frames claim, and no strips at all.
    knob->SetStripGeometry(kStepHeight, 4, 0);
    knob->SetValue(15.0f);
    EXPECT_EQ(ShownBy(knob).frames, Rows(0));

    knob->SetStripGeometry(kStepHeight, 4, kLastFrame);
    knob->SetRange(5.0f, 5.0f);
    EXPECT_EQ(knob->FrameIndex(), 0);
    knob->SetRange(0.0f, 20.0f);
    knob->SetValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(knob->FrameIndex(), 0);
    knob->SetValue(std::numeric_limits<float>::infinity());
    EXPECT_EQ(knob->FrameIndex(), kLastFrame);

    knob->SetStripGeometry(kStepHeight, 4, 40);  // frames 21 to 40 are not in the strip
    knob->SetValue(20.0f);
    EXPECT_EQ(ShownBy(knob).frames, Rows(kBackground));
    knob->SetValue(10.25f);  // frame 20 is the strip's last
    EXPECT_EQ(ShownBy(knob).frames, Rows(kLastFrame));

    knob->SetStripGeometry(0, 0, kLastFrame);
    EXPECT_EQ(ShownBy(knob).frames, Rows(kBackground));
    knob->SetStripGeometry(kStepHeight, -100, kLastFrame);
    knob->SetValue(0.0f);
    EXPECT_EQ(ShownBy(knob).frames, Rows(kBackground));

    CKnob bare(host.get(), kKnobId + 1);
    bare.setGeometry(0, 0, 6, kStepHeight);
    bare.LoadStandardStrip("PNGRes\\Missing.png");
    bare.show();
    EXPECT_EQ(ShownBy(&bare).frames, Rows(kBackground));
    SendWheel(&bare, 120);  // zero range and step: the value stays put
    EXPECT_FLOAT_EQ(bare.Value(), 0.0f);
}

}  // namespace
}  // namespace vantrel
