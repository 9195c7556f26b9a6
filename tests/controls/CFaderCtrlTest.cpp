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
#include "support/RecordingControlHost.h"

namespace vantrel {
namespace {

constexpr int kFaderId = 1731;
constexpr QRgb kFocusedThumb = 0xffff0000;    // the standard picture
constexpr QRgb kUnfocusedThumb = 0xff00ff00;  // the alternate picture
constexpr int kThumbHeight = 10;

using test::RecordingHost;

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
