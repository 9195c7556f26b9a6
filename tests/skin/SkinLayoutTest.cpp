#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "app/VantrelDlg.h"
#include "controls/CFaderCtrl.h"
#include "controls/CGdipButton.h"
#include "controls/CKnob.h"
#include "controls/CLedCtl.h"
#include "controls/CProgressBar.h"
#include "controls/CTpComboBox.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "curves/CSpectrumCtl.h"
#include "skin/SkinLayout.h"
#include "skin/SkinReader.h"

namespace vantrel {
namespace {

int WidgetId(QWidget* widget) {
    if (auto* c = dynamic_cast<CGdipButton*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CLedCtl*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CKnob*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CFaderCtrl*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CTpStatic*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CTpEdit*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CTpComboBox*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CProgressBar*>(widget)) return c->Id();
    if (auto* c = dynamic_cast<CSpectrumCtl*>(widget)) return c->Id();
    return -1;
}

// The controls that report to the window, with their identifiers: each must be unique. Labels,
// LEDs and level bars send nothing and may share.
bool Reports(SkinKind kind) {
    return kind != SkinKind::Label && kind != SkinKind::Led && kind != SkinKind::LevelBar;
}

std::set<int> IdRange(int first, int last) {
    std::set<int> ids;
    for (int id = first; id <= last; ++id) ids.insert(id);
    return ids;
}

// Checks each field of SkinControls against the controls created under its skin name: the same
// widget at every index, so of the field's type (the binding casts), and one field per table row.
struct FieldCheck {
    std::map<std::string_view, std::vector<QWidget*>> created;
    std::map<std::string_view, int> visits;
    std::size_t bound = 0;
    std::size_t pointers = 0;  // fields visited, counting each array element

    template <typename T>
    void operator()(T* const& field, std::string_view name) {
        Check(name, std::span<T* const>(&field, 1));
    }
    template <typename T, std::size_t N>
    void operator()(const std::array<T*, N>& field, std::string_view name) {
        Check(name, std::span<T* const>(field));
    }

    template <typename T>
    void Check(std::string_view name, std::span<T* const> fields) {
        ++visits[name];
        pointers += fields.size();
        const SkinControlSpec* spec = FindSkinControl(name);
        ASSERT_NE(spec, nullptr) << name << " is no row of the table";
        EXPECT_EQ(fields.size(), static_cast<std::size_t>(spec->count)) << name;
        const std::vector<QWidget*>& widgets = created[name];
        for (std::size_t i = 0; i < fields.size() && i < widgets.size(); ++i) {
            EXPECT_NE(fields[i], nullptr) << name << " " << i << " is not bound";
            EXPECT_EQ(static_cast<QWidget*>(fields[i]), widgets[i]) << name << " " << i;
            if (fields[i] != nullptr) ++bound;
        }
    }
};

// A data folder with a skin file and a few pictures.
class SkinFolder {
public:
    SkinFolder() {
        m_root = m_dir.path().toStdString();
        std::filesystem::create_directories(m_root / "PNGRes");
    }

    const std::filesystem::path& Root() const { return m_root; }

    void WriteSkin(const std::string& text) const {
        std::ofstream(m_root / "PNGRes" / "Res.Pic", std::ios::binary) << text;
    }

    void WritePicture(const char* name, int width, int height, QColor color) const {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(QString::fromStdString((m_root / "PNGRes" / name).string())));
    }

private:
    QTemporaryDir m_dir;
    std::filesystem::path m_root;
};

// Main page 200 x 100, EQ page 300 x 150; the page buttons sit where a test can click them.
const char* const kSmallSkin =
    "[MainBkg]\r\nFileName=PNGRes\\main.png\r\nLeft=7\r\nTop=8\r\n"
    "[EqBkg]\r\nFileName=PNGRes\\eq.png\r\n"
    "[LogoBtn]\r\nSTA_name=PNGRes\\btn.png\r\nALT_name=PNGRes\\btn.png\r\n"
    "Width=20\r\nHeight=10\r\nLeft=12abc\r\nTop=-4\r\n"
    "[EQLoadBtn]\r\nSTA_name=PNGRes\\btn.png\r\nALT_name=PNGRes\\btn.png\r\n"
    "Width=20\r\nHeight=20\r\nLeft=40\r\nTop=40\r\n"
    "[HomeBtn]\r\nSTA_name=PNGRes\\btn.png\r\nALT_name=PNGRes\\btn.png\r\n"
    "Width=20\r\nHeight=20\r\nLeft=80\r\nTop=40\r\n"
    "[SetupBtn3]\r\nWidth=9\r\nHeight=9\r\nLeft=33\r\nTop=3\r\n"
    "[SetupBtn4]\r\nWidth=9\r\nHeight=9\r\nLeft=444\r\nTop=44\r\n"
    "[EQBandFader]\r\nWidth=10\r\nHeight=80\r\nLeft=100\r\nTop=50\r\n"
    "FaderWidth=12\r\nFaderHeight=90\r\nFaderValMul=5\r\n"
    "[CustmEQFader2]\r\nWidth=8\r\nHeight=60\r\nLeft=5\r\nTop=6\r\nFaderValMul=3\r\n"
    "[TimeDlyKnob1]\r\nWidth=30\r\nHeight=30\r\nLeft=1\r\nTop=2\r\n"
    "StepHeight=30\r\nFirstKHc=15\r\nStepNum=40\r\nValMul=10\r\n"
    "[ChStc2]\r\nWidth=30\r\nHeight=12\r\nFontCollorR=300\r\nFontCollorG=1\r\nFontCollorB=2\r\n"
    "[CHLevelBar5]\r\nWidth=50\r\nHeight=4\r\nCollorR=256\r\nCollorG=255\r\n"
    "[SpectrumCurve]\r\nWidth=100\r\nHeight=50\r\nValLeft=20\r\nValTop=-30\r\n"
    "ValRigth=20000\r\nValBottom=12\r\n";

class SkinLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPictureFolder(QString::fromStdString(m_folder.Root().string()));
        m_folder.WriteSkin(kSmallSkin);
        m_folder.WritePicture("main.png", 200, 100, Qt::darkBlue);
        m_folder.WritePicture("eq.png", 300, 150, Qt::darkGreen);
        m_folder.WritePicture("btn.png", 20, 20, Qt::red);
    }

    // The window sets the shared picture folder; later tests should not find a removed one.
    void TearDown() override { SetPictureFolder({}); }

    SkinFolder m_folder;
};

TEST(SkinControlTableTest, KindsCountsAndCreationOrder) {
    std::map<SkinKind, int> perKind;
    for (const SkinControlSpec& spec : SkinControlTable()) perKind[spec.kind] += spec.count;
    EXPECT_EQ(perKind[SkinKind::ImageButton], 121);
    EXPECT_EQ(perKind[SkinKind::Led], 13);
    EXPECT_EQ(perKind[SkinKind::Knob], 20);
    EXPECT_EQ(perKind[SkinKind::BandFaderBank], 27);
    EXPECT_EQ(perKind[SkinKind::Fader], 4);
    EXPECT_EQ(perKind[SkinKind::Label], 60);
    EXPECT_EQ(perKind[SkinKind::Edit], 41);
    EXPECT_EQ(perKind[SkinKind::List], 6);
    EXPECT_EQ(perKind[SkinKind::LevelBar], 6);
    EXPECT_EQ(perKind[SkinKind::Curve], 2);

    // Every row is created exactly once, and names created index by index share their count.
    std::map<std::string_view, int> created;
    for (const auto& step : SkinCreationOrder()) {
        const SkinControlSpec* first = FindSkinControl(step.front());
        ASSERT_NE(first, nullptr) << step.front();
        for (std::string_view name : step) {
            const SkinControlSpec* spec = FindSkinControl(name);
            ASSERT_NE(spec, nullptr) << name;
            EXPECT_EQ(spec->count, first->count) << name;
            ++created[name];
        }
    }
    for (const SkinControlSpec& spec : SkinControlTable()) {
        EXPECT_EQ(created[spec.name], 1) << spec.name;
    }
}

TEST_F(SkinLayoutTest, CreatesEveryControlWithItsIdentifierAndPage) {
    QWidget window;
    const SkinReader skin = SkinReader::LoadFromDataFolder(m_folder.Root());
    ParameterModel model;
    const SkinControls controls = CreateSkinControls(&window, skin, &model.Setups[0]);

    ASSERT_EQ(controls.all.size(), 300u);
    std::multiset<int> reportingIds;
    for (const SkinControl& control : controls.all) {
        EXPECT_EQ(control.widget->parentWidget(), &window);
        EXPECT_EQ(WidgetId(control.widget), control.id) << control.spec->name << control.index;
        if (Reports(control.spec->kind)) reportingIds.insert(control.id);
    }
    // The handlers of the window depend on these numbers.
    std::set<int> expected = IdRange(1501, 1598);
    expected.merge(IdRange(1605, 1643));
    expected.merge(IdRange(1657, 1662));
    expected.merge(IdRange(1680, 1707));
    expected.merge(IdRange(1712, 1757));
    expected.merge(std::set<int>{1762, 1763, 1770, 1771});
    EXPECT_EQ(reportingIds, std::multiset<int>(expected.begin(), expected.end()));
    for (CProgressBar* bar : controls.CHLevelBar) EXPECT_EQ(bar->Id(), 1674);
    EXPECT_EQ(controls.ChHPFStc[5]->Id(), 1674);
    EXPECT_EQ(controls.TimeLedStc[5]->Id(), 1607);

    // The page sets as the window's page switching names them.
    const std::set<std::string_view> eqSet = {
        "HomeBtn",        "EqGroupBtn",   "EQMuteBtn",      "EQSpChStc",      "Eq2GroupBtn",
        "EQBack2Btn",     "EQBypassBtn",  "EQZoomBtn",      "EQResetBtn",     "CEQFcyKnob",
        "CEQQKnob",       "CustmEQFader", "CustmEQFreqEdt", "CustmEQGainEdt", "CustmEQQEdt",
        "CEQPassBtn",     "CEQLedStc",    "EQBandFader",    "EQBandFreqEdt",  "EQBandGainEdt",
        "EQSpectrumCurve"};
    const std::set<std::string_view> mainSet = {
        "EQLoadBtn",      "GroupBtn",    "LevelMuteBtn",  "LevelLockBtn", "LevelPlusBtn",
        "LevelReduceBtn", "HighPlusBtn", "HighReduceBtn", "LowPlusBtn",   "LowReduceBtn",
        "HighONBtn",      "LowONBtn",    "HighLockBtn",   "LowLockBtn",   "High6dBBtn",
        "High12dBBtn",    "High24dBBtn", "High36dBBtn",   "High48dBBtn",  "Low6dBBtn",
        "Low12dBBtn",     "Low24dBBtn",  "Low36dBBtn",    "Low48dBBtn",   "LevelEdit",
        "HighPassEdit",   "LowPassEdit", "ClipLedStc",    "EQLoad2Btn",   "BypassBtn",
        "ZoomBtn",        "TimeLedStc",  "TimeDlyKnob",   "TimeAtnKnob",  "DlyTimeEdt",
        "DlyDisEdt",      "TrimEdt",     "SpChStc",       "TimeONBtn",    "GroupCtlBtn",
        "SpectrumCurve"};
    int onMain = 0;
    int onEq = 0;
    for (const SkinControl& control : controls.all) {
        const std::string_view name = control.spec->name;
        const SkinPage page = eqSet.count(name)     ? SkinPage::Eq
                              : mainSet.count(name) ? SkinPage::Main
                                                    : SkinPage::Both;
        EXPECT_EQ(control.spec->page, page) << name;
        // The window opens on the main page.
        EXPECT_EQ(control.widget->isHidden(), page == SkinPage::Eq) << name;
        onMain += page == SkinPage::Main;
        onEq += page == SkinPage::Eq;
    }
    EXPECT_EQ(onMain, 140);
    EXPECT_EQ(onEq, 88);

    // Creation order is stacking order: strip by strip, channel by channel, band by band.
    const QObjectList children = window.children();
    auto at = [&children](QWidget* widget) { return children.indexOf(widget); };
    EXPECT_EQ(at(controls.LogoBtn), 0);
    EXPECT_LT(at(controls.GroupCtlBtn[5]), at(controls.LevelMuteBtn[0]));
    EXPECT_LT(at(controls.Low48dBBtn[0]), at(controls.ClipLedStc[0]));
    EXPECT_LT(at(controls.ClipLedStc[0]), at(controls.LevelMuteBtn[1]));
    EXPECT_LT(at(controls.TimeAtnKnob[0]), at(controls.TimeONBtn[1]));
    EXPECT_LT(at(controls.CEQLedStc[0]), at(controls.CEQFcyKnob[1]));
    EXPECT_LT(at(controls.ChEQStc[0]), at(controls.ChCBox[1]));
    EXPECT_EQ(at(controls.EQSpectrumCurve), children.size() - 1);
}

TEST_F(SkinLayoutTest, ControlsTakeTheirSectionsAndSettings) {
    QWidget window;
    const SkinReader skin = SkinReader::LoadFromDataFolder(m_folder.Root());
    ParameterModel model;
    const SkinControls c = CreateSkinControls(&window, skin, &model.Setups[0]);

    EXPECT_EQ(c.LogoBtn->geometry(), QRect(12, -4, 20, 10));
    EXPECT_EQ(c.LogoBtn->CurrentComposition(), CGdipButton::Composition::Standard);
    EXPECT_EQ(c.SetupBtn[3]->geometry(), QRect(33, 3, 9, 9));
    // Only four setup buttons exist: the fifth section places nothing.
    for (const SkinControl& control : c.all) EXPECT_NE(control.widget->x(), 444);

    // The band faders share one section, each one pitch further right; they are created Width
    // wide and settle to their placement.
    for (int i = 0; i < kEqBandCount; ++i) {
        CFaderCtrl* fader = c.EQBandFader[static_cast<std::size_t>(i)];
        EXPECT_EQ(fader->Id(), 1731 + i);
        EXPECT_EQ(fader->pos(), QPoint(100 + 12 * i, 50)) << i;
        EXPECT_EQ(fader->PlacementRect(), QRect(100 + 12 * i, 50, 12, 90)) << i;
        EXPECT_FLOAT_EQ(fader->Minimum(), -15.0f);
        EXPECT_FLOAT_EQ(fader->Maximum(), 6.0f);
        EXPECT_FLOAT_EQ(fader->Step(), 0.1f);
        EXPECT_FLOAT_EQ(fader->PageMultiplier(), 5.0f);
        EXPECT_TRUE(fader->isHidden());
    }
    EXPECT_EQ(c.CustmEQFader[2]->PlacementRect(), QRect(5, 6, 8, 60));
    EXPECT_FLOAT_EQ(c.CustmEQFader[2]->Minimum(), -24.0f);
    EXPECT_FLOAT_EQ(c.CustmEQFader[2]->PageMultiplier(), 3.0f);

    EXPECT_EQ(c.TimeDlyKnob[1]->StepHeight(), 30);
    EXPECT_EQ(c.TimeDlyKnob[1]->FirstFrameCentre(), 15);
    EXPECT_EQ(c.TimeDlyKnob[1]->LastFrameIndex(), 40);
    EXPECT_FLOAT_EQ(c.TimeDlyKnob[1]->PageMultiplier(), 10.0f);
    EXPECT_FLOAT_EQ(c.TimeDlyKnob[1]->Maximum(), 20.0f);
    EXPECT_FLOAT_EQ(c.TimeDlyKnob[1]->DragRate(), 0.02f);
    EXPECT_FALSE(c.TimeDlyKnob[1]->IsDisabled());
    EXPECT_FLOAT_EQ(c.TimeAtnKnob[0]->Maximum(), 30.0f);
    // The frequency knob works in log10(Hz) on a 0.02 grid: 16 Hz, 20893 Hz, 1000 Hz.
    EXPECT_NEAR(c.CEQFcyKnob[0]->Minimum(), 1.2f, 1e-5);
    EXPECT_NEAR(c.CEQFcyKnob[0]->Maximum(), 4.32f, 1e-5);
    EXPECT_NEAR(c.CEQFcyKnob[0]->Value(), 3.0f, 1e-5);
    EXPECT_NEAR(c.CEQFcyKnob[0]->DefaultValue(), 3.0f, 1e-5);
    EXPECT_FLOAT_EQ(c.CEQQKnob[3]->Minimum(), 0.4f);
    EXPECT_FLOAT_EQ(c.CEQQKnob[3]->Value(), 3.0f);

    EXPECT_TRUE(c.MuteBtn->IsToggle());
    EXPECT_TRUE(c.Low48dBBtn[2]->IsToggle());
    EXPECT_FALSE(c.LevelPlusBtn[0]->IsToggle());
    EXPECT_FALSE(c.LevelPlusBtn[0]->IsAutoRepeat());
    EXPECT_TRUE(c.HighReduceBtn[1]->IsAutoRepeat());
    EXPECT_FALSE(c.ZoomBtn->IsToggle());
    EXPECT_FALSE(c.TimeLedStc[0]->IsLedOn());

    EXPECT_EQ(c.ModelStc->Text(), "KV-PX6 ");
    EXPECT_EQ(c.ChStc[2]->Text(), "CH 3");
    EXPECT_EQ(c.SpChStc[0]->Text(), "CH1");
    EXPECT_EQ(c.EQSpChStc[5]->Text(), "CH6");
    EXPECT_EQ(c.ChStc[2]->TextColor(), QColor(44, 1, 2));
    EXPECT_EQ(c.HighPassEdit[1]->Text(), "1000 Hz");
    EXPECT_TRUE(c.EQBandFreqEdt->IsReadOnly());
    EXPECT_EQ(c.EQBandFreqEdt->Text(), "40 Hz");
    EXPECT_FALSE(c.TrimEdt[0]->IsReadOnly());
    EXPECT_EQ(c.ChCBox[4]->Mark(), 0);
    EXPECT_EQ(c.CHLevelBar[5]->Color(), QColor(0, 255, 0));

    EXPECT_EQ(c.SpectrumCurve->geometry(), QRect(0, 0, 100, 50));
    EXPECT_FLOAT_EQ(c.SpectrumCurve->MinFrequency(), 20.0f);
    EXPECT_FLOAT_EQ(c.SpectrumCurve->MinGain(), -30.0f);
    EXPECT_FLOAT_EQ(c.SpectrumCurve->MaxFrequency(), 20000.0f);
    EXPECT_FLOAT_EQ(c.SpectrumCurve->MaxGain(), 12.0f);
    EXPECT_FLOAT_EQ(c.EQSpectrumCurve->MinFrequency(), 12.6f);
    EXPECT_FLOAT_EQ(c.EQSpectrumCurve->MaxGain(), 9.0f);
    for (CSpectrumCtl* curve : {c.SpectrumCurve, c.EQSpectrumCurve}) {
        EXPECT_EQ(curve->Setup(), &model.Setups[0]);
        EXPECT_EQ(curve->ChannelCount(), 6);
        EXPECT_EQ(curve->ChannelColor(0), QColor(255, 0, 0));
        EXPECT_EQ(curve->ChannelColor(3), QColor(0, 204, 255));
        EXPECT_EQ(curve->ChannelColor(5), QColor(204, 255, 0));
    }
    EXPECT_FALSE(c.SpectrumCurve->IsEditable());
    EXPECT_TRUE(c.EQSpectrumCurve->IsEditable());
}

std::set<QWidget*> VisibleControls(const VantrelDlg& window) {
    std::set<QWidget*> visible;
    for (const SkinControl& control : window.Controls().all) {
        if (!control.widget->isHidden()) visible.insert(control.widget);
    }
    return visible;
}

TEST_F(SkinLayoutTest, PageButtonsSwitchPagesAndWindowSize) {
    VantrelDlg window(m_folder.Root());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.size(), QSize(200, 100));
    EXPECT_FALSE(window.IsEqPageShown());
    EXPECT_EQ(window.Backgrounds().main.left, 7);
    EXPECT_TRUE(window.Controls().HomeBtn->isHidden());

    // A control another part hid stays hidden across page switches.
    window.Controls().WiFiBtn->hide();
    const std::set<QWidget*> mainVisible = VisibleControls(window);

    QTest::mouseClick(window.Controls().EQLoadBtn, Qt::LeftButton);
    EXPECT_TRUE(window.IsEqPageShown());
    EXPECT_EQ(window.size(), QSize(300, 150));
    EXPECT_FALSE(window.Controls().HomeBtn->isHidden());
    EXPECT_FALSE(window.Controls().EQBandFader[26]->isHidden());
    EXPECT_TRUE(window.Controls().EQLoadBtn->isHidden());
    EXPECT_TRUE(window.Controls().WiFiBtn->isHidden());
    EXPECT_FALSE(window.Controls().SaveBtn->isHidden());
    const std::set<QWidget*> eqVisible = VisibleControls(window);

    QTest::mouseClick(window.Controls().HomeBtn, Qt::LeftButton);
    EXPECT_FALSE(window.IsEqPageShown());
    EXPECT_EQ(window.size(), QSize(200, 100));
    EXPECT_EQ(VisibleControls(window), mainVisible);

    // The second pair of page buttons, as their notifications arrive.
    window.OnControlMessage({WM_COMMAND, 1596, 1596, 0, {}});
    EXPECT_EQ(VisibleControls(window), eqVisible);
    window.OnControlMessage({WM_COMMAND, 1501, 1501, 0, {}});  // the logo does nothing
    EXPECT_TRUE(window.IsEqPageShown());
    window.OnControlMessage({WM_COMMAND, 1727, 1727, 0, {}});
    EXPECT_EQ(VisibleControls(window), mainVisible);
    EXPECT_EQ(window.size(), QSize(200, 100));

    // The background is the page's picture, unscaled at the client origin.
    EXPECT_EQ(window.grab().toImage().pixelColor(150, 5), QColor(Qt::darkBlue));
    window.ShowEqPage();
    EXPECT_EQ(window.grab().toImage().pixelColor(250, 140), QColor(Qt::darkGreen));
}

// A row the code creates but never binds would leave a null field for the window to trip on.
TEST_F(SkinLayoutTest, EveryFieldHoldsTheControlOfItsRow) {
    QWidget window;
    const SkinReader skin = SkinReader::LoadFromDataFolder(m_folder.Root());
    ParameterModel model;
    const SkinControls controls = CreateSkinControls(&window, skin, &model.Setups[0]);

    FieldCheck check;
    for (const SkinControl& control : controls.all) {
        check.created[control.spec->name].push_back(control.widget);
    }
    ForEachField(controls, check);
    for (const SkinControlSpec& spec : SkinControlTable()) {
        EXPECT_EQ(check.visits[spec.name], 1) << spec.name;
    }
    EXPECT_EQ(check.visits.size(), SkinControlTable().size());
    EXPECT_EQ(check.bound, controls.all.size());
    // The fields are pointers and arrays of pointers up to `all`: a field left out of the visit
    // (and so never bound) shows as a pointer more in the struct than were visited.
    const auto fieldBytes = static_cast<std::size_t>(
        reinterpret_cast<const char*>(&controls.all) - reinterpret_cast<const char*>(&controls));
    EXPECT_EQ(check.pointers * sizeof(void*), fieldBytes);
}

TEST(SkinLayoutMissingTest, MissingSkinGivesEmptyWindowWithZeroSizeControls) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    VantrelDlg window(dir.path().toStdString());
    EXPECT_EQ(window.size(), QSize(0, 0));
    ASSERT_EQ(window.Controls().all.size(), 300u);
    for (const SkinControl& control : window.Controls().all) {
        EXPECT_EQ(control.widget->size(), QSize(0, 0)) << control.spec->name;
    }
    EXPECT_FLOAT_EQ(window.Controls().SpectrumCurve->MaxFrequency(), 25119.0f);
    window.ShowEqPage();
    window.ShowMainPage();
    EXPECT_EQ(window.size(), QSize(0, 0));
    window.grab();  // an empty window paints without trouble
    SetPictureFolder({});
}

// The skin generated into the build's data folder: everything has a place and its pictures.
TEST(SkinLayoutDefaultSkinTest, EveryControlHasASizeAndItsPictures) {
    const std::filesystem::path data = VANTREL_BUILD_DATA_DIR;
    ASSERT_TRUE(std::filesystem::exists(data / "PNGRes" / "Res.Pic"))
        << "no generated skin in " << data;
    VantrelDlg window(data);
    EXPECT_FALSE(window.MainBackground().isNull());
    EXPECT_FALSE(window.EqBackground().isNull());
    EXPECT_EQ(window.size(), window.MainBackground().size());

    const SkinReader skin = SkinReader::LoadFromDataFolder(data);
    for (const SkinControl& control : window.Controls().all) {
        const SkinControlSpec& spec = *control.spec;
        const std::string section = spec.SectionOf(control.index);
        EXPECT_FALSE(control.widget->size().isEmpty()) << section;
        const bool hasPictures = spec.kind == SkinKind::ImageButton || spec.kind == SkinKind::Led ||
                                 spec.kind == SkinKind::Knob || spec.kind == SkinKind::Fader ||
                                 spec.kind == SkinKind::BandFaderBank;
        if (!hasPictures) continue;
        EXPECT_FALSE(LoadPicture(skin.ReadSkinString(section, "STA_name")).isNull()) << section;
        EXPECT_FALSE(LoadPicture(skin.ReadSkinString(section, "ALT_name")).isNull()) << section;
    }
    SetPictureFolder({});
}

}  // namespace
}  // namespace vantrel
