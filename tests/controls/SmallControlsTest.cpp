#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include "controls/CLedCtl.h"
#include "controls/CProgressBar.h"
#include "controls/PictureCache.h"

namespace vantrel {
namespace {

QRgb PixelOf(QWidget& widget, int x, int y) { return widget.grab().toImage().pixel(x, y); }

TEST(CLedCtlTest, DarkAfterCreationAndLitWhenSwitchedOn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QDir(dir.path()).filePath("lit.png")));
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(QDir(dir.path()).filePath("dark.png")));
    SetPictureFolder(dir.path());

    QWidget page;
    page.resize(50, 50);
    CLedCtl led(&page, 1600);
    led.setGeometry(5, 5, 8, 8);
    EXPECT_TRUE(led.LoadStdImage("lit.png"));
    EXPECT_TRUE(led.LoadAltImage("dark.png"));
    page.show();

    EXPECT_FALSE(led.IsLedOn());
    EXPECT_EQ(PixelOf(led, 4, 4), QColor(Qt::darkGreen).rgb());
    led.SetLedOn(true);
    EXPECT_EQ(PixelOf(led, 4, 4), QColor(Qt::red).rgb());
    led.SetLedOn(false);
    EXPECT_EQ(PixelOf(led, 4, 4), QColor(Qt::darkGreen).rgb());

    // A lamp whose pictures are missing shows only what lies beneath it.
    const QRgb background = PixelOf(page, 40, 40);
    CLedCtl bare(&page, 1601);
    bare.setGeometry(20, 20, 8, 8);
    EXPECT_FALSE(bare.LoadStdImage("PNGRes\\nothing.png"));
    EXPECT_EQ(PixelOf(bare, 4, 4), background);
    bare.SetLedOn(true);
    EXPECT_EQ(PixelOf(bare, 4, 4), background);
    SetPictureFolder({});
}

TEST(CProgressBarTest, FillsWidthTimesLevelOverHundredColumnsFromTheLeft) {
    struct Case {
        int level;
        int storedLevel;
        int columns;
    };
    const Case cases[] = {{50, 50, 60},  {1, 1, 1},       {0, 0, 0},
                          {99, 99, 118}, {150, 100, 120}, {-20, 0, 0}};
    const QColor color(10, 200, 30);
    QWidget page;
    page.resize(200, 40);
    CProgressBar bar(&page, 1674);
    bar.setGeometry(10, 10, 120, 6);
    bar.SetColor(color);
    page.show();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        bar.SetLevel(c.level);
        EXPECT_EQ(bar.GetLevel(), c.storedLevel);
        EXPECT_EQ(bar.FilledColumns(), c.columns);
        const QImage shown = bar.grab().toImage();
        for (const int row : {0, 5}) {
            int filled = 0;
            while (filled < shown.width() && shown.pixel(filled, row) == color.rgb()) ++filled;
            EXPECT_EQ(filled, c.columns) << "row " << row;
            // Nothing beyond the filled part.
            for (int x = filled; x < shown.width(); ++x) {
                ASSERT_NE(shown.pixel(x, row), color.rgb());
            }
        }
    }

    bar.resize(0, 6);
    bar.SetLevel(100);
    EXPECT_EQ(bar.FilledColumns(), 0);
    bar.repaint();
}

}  // namespace
}  // namespace vantrel
