#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <filesystem>
#include <optional>

#include "app/VantrelDlg.h"
#include "controls/CGdipButton.h"
#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "curves/CSpectrumCtl.h"
#include "curves/CSpectrumDisplya.h"
#include "skin/SkinReader.h"

namespace vantrel {
namespace {

const QColor kGrey(180, 180, 180);
const QColor kChannelColors[] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                 {0, 204, 255}, {204, 0, 255}, {204, 255, 0}};

// The spectrum window's sections: a 300 x 200 background, the curve, six labels in a row.
const char kSkin[] =
    "[SpBkg]\r\nFileName=PNGRes\\Sp.png\r\nLeft=30\r\nTop=40\r\n"
    "[ZoomSpectrumCurve]\r\nWidth=200\r\nHeight=100\r\nLeft=50\r\nTop=60\r\n"
    "ValLeft=20\r\nValTop=-30\r\nValRigth=20000\r\nValBottom=12\r\n"
    "[SpDispChStc0]\r\nWidth=30\r\nHeight=20\r\nLeft=10\r\nTop=10\r\n"
    "FontCollorR=1\r\nFontCollorG=2\r\nFontCollorB=3\r\n"
    "[SpDispChStc1]\r\nWidth=30\r\nHeight=20\r\nLeft=50\r\nTop=10\r\n"
    "[SpDispChStc2]\r\nWidth=30\r\nHeight=20\r\nLeft=90\r\nTop=10\r\n"
    "[SpDispChStc3]\r\nWidth=30\r\nHeight=20\r\nLeft=130\r\nTop=10\r\n"
    "[SpDispChStc4]\r\nWidth=30\r\nHeight=20\r\nLeft=170\r\nTop=10\r\n"
    "[SpDispChStc5]\r\nWidth=30\r\nHeight=20\r\nLeft=210\r\nTop=10\r\n";

// Lets the offscreen platform map a shown top-level widget, without waiting on a clock.
void ExposeNow(QWidget& widget) {
    QCoreApplication::processEvents();
    ASSERT_TRUE(widget.windowHandle() && widget.windowHandle()->isExposed());
}

void ShowNow(QWidget& widget) {
    widget.show();
    ExposeNow(widget);
}

class CSpectrumDisplyaTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const QDir root(m_dir.path());
        ASSERT_TRUE(root.mkpath("PNGRes"));
        QImage picture(300, 200, QImage::Format_ARGB32);
        picture.fill(Qt::darkBlue);
        ASSERT_TRUE(picture.save(root.filePath("PNGRes/Sp.png")));
        QFile file(root.filePath("PNGRes/Res.Pic"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kSkin);
        file.close();
        SetPictureFolder(m_dir.path());

        const SkinReader skin = SkinReader::LoadFromDataFolder(m_dir.path().toStdString());
        window.emplace(skin, LoadSkinBackgrounds(skin).spectrum, &m_main);
        m_main.resize(100, 100);
        ShowNow(m_main);
    }

    void TearDown() override {
        window.reset();
        SetPictureFolder({});
    }

    // A click where the user would make it: through the window, onto what lies under the point.
    void ClickLabel(int n) {
        const QPoint centre = window->ChannelLabel(n)->geometry().center();
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre);
    }

    void ExpectLabelColours(std::uint8_t group) {
        for (int n = 0; n < kChannelCount; ++n) {
            EXPECT_EQ(window->ChannelLabel(n)->TextColor(),
                      (group >> n) & 1 ? kChannelColors[n] : kGrey)
                << "label " << n << " for group " << int{group};
        }
    }

    QTemporaryDir m_dir;
    SetupRecord setup;
    QWidget m_main;
    std::optional<CSpectrumDisplya> window;
};

TEST_F(CSpectrumDisplyaTest, BuildsHiddenFromItsSkinSections) {
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(window->windowTitle(), "Spectrum Display");
    EXPECT_EQ(window->size(), QSize(300, 200));

    CSpectrumCtl* curve = window->ZoomCurve();
    EXPECT_EQ(curve->Id(), 1772);
    EXPECT_EQ(curve->geometry(), QRect(50, 60, 200, 100));
    EXPECT_FLOAT_EQ(curve->MinFrequency(), 20.0f);
    EXPECT_FLOAT_EQ(curve->MinGain(), -30.0f);
    EXPECT_FLOAT_EQ(curve->MaxFrequency(), 20000.0f);
    EXPECT_FLOAT_EQ(curve->MaxGain(), 12.0f);
    EXPECT_FALSE(curve->IsEditable());
    EXPECT_TRUE(curve->isHidden());
    for (int n = 0; n < kChannelCount; ++n) {
        EXPECT_EQ(curve->ChannelColor(n), kChannelColors[n]);
        const CTpStatic* label = window->ChannelLabel(n);
        EXPECT_EQ(label->Id(), 1773 + n);
        EXPECT_EQ(label->Text(), QString("CH%1").arg(n + 1));
        EXPECT_EQ(label->geometry(), QRect(10 + 40 * n, 10, 30, 20));
    }
    EXPECT_EQ(window->ChannelLabel(0)->TextColor(), QColor(1, 2, 3));

    window->SetSetup(&setup, 6);
    window->ShowSpectrum();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(curve->isVisible());
    EXPECT_EQ(window->grab().toImage().pixelColor(5, 5), QColor(Qt::darkBlue));

    // Without a skin the window is empty, yet everything in it exists and works.
    CSpectrumDisplya bare(SkinReader{}, SkinBackground{}, nullptr);
    EXPECT_EQ(bare.size(), QSize(0, 0));
    bare.SetSetup(&setup, 6);
    bare.ShowSpectrum();
    bare.grab();
    bare.OnControlMessage({WM_COMMAND, 1774, 1774, 0, {}});
    EXPECT_EQ(setup.GroupEQFlag, 0x02);
    bare.close();
    EXPECT_EQ(setup.GroupEQFlag, 0x01);
}

TEST_F(CSpectrumDisplyaTest, LabelClickShowsOneChannelAloneUntilClosed) {
    struct Case {
        int channels;
        int label;
        std::uint8_t group;  // after the click
    };
    const Case cases[] = {
        {6, 2, 0x04}, {4, 3, 0x08}, {4, 4, 0x03},  // past the amplifier's channels: nothing
    };
    for (const Case& c : cases) {
        setup.GroupEQFlag = 0x03;
        window->SetSetup(&setup, c.channels);
        window->ShowSpectrum();
        ExposeNow(*window);
        ClickLabel(c.label);
        EXPECT_EQ(setup.GroupEQFlag, c.group) << c.label;
        ExpectLabelColours(c.group);

        window->close();
        EXPECT_TRUE(window->isHidden());
        EXPECT_EQ(setup.GroupEQFlag, 0x03) << c.label;
        ExpectLabelColours(0x03);
    }
}

TEST_F(CSpectrumDisplyaTest, FocusLossGivesTheGroupBackAndFocusFromTheMainWindowTakesItAnew) {
    setup.GroupEQFlag = 0x03;
    window->SetSetup(&setup, 6);
    window->ShowSpectrum();
    QCoreApplication::processEvents();
    QApplication::setActiveWindow(&m_main);
    QApplication::setActiveWindow(&*window);

    ClickLabel(2);
    EXPECT_EQ(setup.GroupEQFlag, 0x04);
    QApplication::setActiveWindow(&m_main);
    EXPECT_EQ(setup.GroupEQFlag, 0x03);
    ExpectLabelColours(0x03);

    // The main window changes the group; coming back from it, that is the one kept.
    setup.GroupEQFlag = 0x01;
    QApplication::setActiveWindow(&*window);
    EXPECT_EQ(setup.GroupEQFlag, 0x01);
    EXPECT_EQ(window->SavedEqGroup(), 0x01);
    ClickLabel(3);
    EXPECT_EQ(setup.GroupEQFlag, 0x08);
    window->hide();
    EXPECT_EQ(setup.GroupEQFlag, 0x01);

    // A group nobody changed here is not written back: a preset loaded meanwhile stays.
    window->ShowSpectrum();
    setup.GroupEQFlag = 0x30;
    window->close();
    EXPECT_EQ(setup.GroupEQFlag, 0x30);
}

TEST_F(CSpectrumDisplyaTest, ShowingAgainMakesNoNewControls) {
    window->SetSetup(&setup, 6);
    window->ShowSpectrum();
    const auto children = window->findChildren<QWidget*>().size();
    const auto windows = QApplication::topLevelWidgets().size();
    CSpectrumCtl* curve = window->ZoomCurve();
    for (int i = 0; i < 3; ++i) {
        window->close();
        EXPECT_TRUE(window->isHidden());
        window->ShowSpectrum();
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_EQ(window->findChildren<QWidget*>().size(), children);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
    EXPECT_EQ(window->ZoomCurve(), curve);
}

// The main window of the build's data folder: its zoom buttons open the window on the current
// setup, and closing the main window takes it away.
TEST(SpectrumWindowInMainWindowTest, ZoomButtonsShowTheCurrentSetup) {
    VantrelDlg main(std::filesystem::path(VANTREL_BUILD_DATA_DIR));
    ASSERT_NE(main.SpectrumWindow(), nullptr);
    EXPECT_TRUE(main.SpectrumWindow()->isHidden());
    ShowNow(main);

    main.Model().CurrentSetupIndex = 2;
    main.Model().Setups[2].GroupEQFlag = 0x05;
    QTest::mouseClick(main.Controls().ZoomBtn, Qt::LeftButton);
    CSpectrumDisplya* spectrum = main.SpectrumWindow();
    EXPECT_TRUE(spectrum->isVisible());
    EXPECT_EQ(spectrum->Setup(), &main.Model().Setups[2]);
    EXPECT_EQ(spectrum->ZoomCurve()->ChannelCount(), EffectiveChannelCount(main.Model()));
    EXPECT_EQ(spectrum->ChannelLabel(2)->TextColor(), kChannelColors[2]);
    EXPECT_EQ(spectrum->ChannelLabel(1)->TextColor(), kGrey);

    spectrum->close();
    main.ShowEqPage();
    EXPECT_EQ(main.Controls().EQSpectrumCurve->WritableSetup(), &main.Model().Setups[2]);
    main.OnControlMessage({WM_COMMAND, 1729, 1729, 0, {}});
    EXPECT_TRUE(spectrum->isVisible());

    main.close();
    EXPECT_EQ(main.SpectrumWindow(), nullptr);
    SetPictureFolder({});
}

TEST_F(CSpectrumDisplyaTest, TheZoomCurveOffersTheExactResponseToo) {
    window->SetSetup(&setup, 6);
    window->ShowSpectrum();
    CSpectrumCtl* curve = window->ZoomCurve();
    std::vector<QString> offered;
    CurveHooks hooks;
    hooks.popupMenu = [&](const std::vector<CurveMenuItem>& items, QPoint) {
        for (const CurveMenuItem& item : items) offered.push_back(item.text);
        return int{CSpectrumCtl::kMenuExact};
    };
    curve->SetHooks(hooks);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                            curve->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(curve, &event);
    EXPECT_EQ(curve->Mode(), CurveMode::Exact);
    EXPECT_EQ(offered, (std::vector<QString>{"Exact response", "Show pair sum",
                                             "Load measurement...", "Clear measurement"}));
    // Drawn with six channels, two of which the image has no place for.
    EXPECT_FALSE(curve->grab().isNull());
}

}  // namespace
}  // namespace vantrel
