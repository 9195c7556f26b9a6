#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <vector>

#include "controls/ControlHost.h"
#include "curves/CSpectrumCtl.h"
#include "curves/ChannelResponse.h"
#include "curves/ExactResponse.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

constexpr int kCurveId = 1771;
// With the default plot (12.6..25119 Hz, -27..9 dB) a row is 0.1 dB and a column just under
// 0.01 decade.
constexpr int kWidth = 330;
constexpr int kHeight = 360;
constexpr int kZeroDbRow = 90;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kDimRed(85, 0, 0);
const QColor kDimGreen(0, 85, 0);

class TestHost : public QWidget, public ControlHost {
public:
    void OnControlMessage(const ControlMessage& message) override { messages.push_back(message); }
    std::vector<ControlMessage> messages;
};

double Distance(const QColor& a, const QColor& b) {
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

// A pointer move without a button, as the window system delivers it to a tracking widget.
void Hover(QWidget* widget, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(widget->mapToGlobal(pos)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

class CSpectrumCtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_host.resize(kWidth + 20, kHeight + 20);
        curve = new CSpectrumCtl(&m_host, kCurveId);
        curve->setGeometry(0, 0, kWidth, kHeight);
        const auto colors = SkinCurveColors();
        for (int c = 0; c < kChannelCount; ++c) {
            curve->SetChannelColor(c, colors[static_cast<std::size_t>(c)]);
        }
        curve->SetEditable(true);
        curve->SetSetup(&setup);
        m_host.show();
    }

    ChannelRecord& Channel(int c) { return setup.Channels[static_cast<std::size_t>(c)]; }
    EqPoint& Point(int c, int j) { return Channel(c).CustomEQ[static_cast<std::size_t>(j)]; }
    QPoint At(const EqPoint& point) const {
        return {curve->ColumnOf(point.Freq), curve->RowOf(point.Gain)};
    }
    QColor Pixel(int x, int y) const { return curve->grab().toImage().pixelColor(x, y); }

    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(curve, Qt::LeftButton, {}, from);
        QTest::mouseMove(curve, to);
        QTest::mouseRelease(curve, Qt::LeftButton, {}, to);
    }

    SetupRecord setup;  // outlives the host and its curve
    TestHost m_host;
    CSpectrumCtl* curve = nullptr;
};

TEST_F(CSpectrumCtlTest, MappingsReachThePlotEdgesAndStopThere) {
    EXPECT_FLOAT_EQ(curve->FrequencyAt(0), 12.6f);
    EXPECT_FLOAT_EQ(curve->FrequencyAt(kWidth), 25119.0f);
    EXPECT_FLOAT_EQ(curve->FrequencyAt(-40), 12.6f);
    EXPECT_FLOAT_EQ(curve->FrequencyAt(kWidth + 40), 25119.0f);
    // The gain scale runs from -27 to 9 dB, but a point can only be pulled to -24..+6 dB.
    EXPECT_FLOAT_EQ(curve->GainAt(kHeight), -24.0f);
    EXPECT_FLOAT_EQ(curve->GainAt(kHeight + 40), -24.0f);
    EXPECT_FLOAT_EQ(curve->GainAt(0), 6.0f);
    EXPECT_FLOAT_EQ(curve->GainAt(kZeroDbRow), 0.0f);

    EXPECT_EQ(curve->RowOf(9.0f), 0);
    EXPECT_EQ(curve->RowOf(-27.0f), kHeight);
    EXPECT_EQ(curve->RowOf(0.0f), kZeroDbRow);
    EXPECT_EQ(curve->RowOf(40.0f), 0);
    EXPECT_EQ(curve->RowOf(-std::numeric_limits<float>::infinity()), kHeight);
    const int nanRow = curve->RowOf(std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(nanRow >= 0 && nanRow <= kHeight);
    EXPECT_EQ(curve->ColumnOf(12.6f), 0);
    EXPECT_EQ(curve->ColumnOf(25119.0f), kWidth);
    EXPECT_EQ(curve->ColumnOf(1e9f), kWidth);
    EXPECT_EQ(curve->ColumnOf(0.0f), 0);
    EXPECT_EQ(curve->ColumnOf(-5.0f), 0);

    // Column and row of a mapped value give the pixel back, so a held point does not wander.
    for (int x = 0; x <= kWidth; ++x) ASSERT_EQ(curve->ColumnOf(curve->FrequencyAt(x)), x) << x;
    for (int y = 30; y <= 330; ++y) ASSERT_EQ(curve->RowOf(curve->GainAt(y)), y) << y;
}

TEST_F(CSpectrumCtlTest, UnusableSizesRangesAndCountsStaySafe) {
    // An axis that cannot be drawn keeps the default edges.
    curve->SetPlotRange(0.0f, -10.0f, 20000.0f, -10.0f);
    EXPECT_FLOAT_EQ(curve->MinFrequency(), 12.6f);
    EXPECT_FLOAT_EQ(curve->MaxFrequency(), 25119.0f);
    EXPECT_FLOAT_EQ(curve->MinGain(), -27.0f);
    EXPECT_FLOAT_EQ(curve->MaxGain(), 9.0f);
    curve->SetPlotRange(std::numeric_limits<float>::quiet_NaN(), -30.0f, 100.0f, 12.0f);
    EXPECT_FLOAT_EQ(curve->MinFrequency(), 12.6f);
    EXPECT_FLOAT_EQ(curve->MaxGain(), 12.0f);

    curve->SetChannelCount(7);
    EXPECT_EQ(curve->ChannelCount(), 6);
    curve->SetChannelCount(-1);
    EXPECT_EQ(curve->ChannelCount(), 0);

    // No channels: nothing is drawn or held, though every bit of the group is set.
    setup.GroupEQFlag = 0xff;
    const QPoint point = At(Point(0, 0));
    EXPECT_NE(Pixel(point.x(), point.y() - 4), QColor(153, 0, 255));
    QTest::mousePress(curve, Qt::LeftButton, {}, point);
    EXPECT_FALSE(curve->IsDragging());
    QTest::mouseRelease(curve, Qt::LeftButton, {}, point);

    // No setup: background only, the mouse is ignored.
    curve->SetChannelCount(6);
    curve->SetSetup(nullptr);
    curve->grab();
    Hover(curve, point);
    EXPECT_FALSE(curve->Readout().IsActive());
    Drag(point, point + QPoint(30, 30));
    EXPECT_TRUE(m_host.messages.empty());
    EXPECT_EQ(Point(0, 0).Freq, 1000.0f);

    // No size: every mapping lands on the one edge there is.
    curve->SetSetup(&setup);
    curve->resize(0, 0);
    curve->grab();
    EXPECT_FLOAT_EQ(curve->FrequencyAt(10), 12.6f);
    EXPECT_EQ(curve->ColumnOf(1000.0f), 0);
    EXPECT_EQ(curve->RowOf(0.0f), 0);
    Hover(curve, {0, 0});
    Drag({0, 0}, {5, 5});
}

TEST_F(CSpectrumCtlTest, SelectedCurvesLieThinOverDimmedThickOnes) {
    curve->SetChannelCount(2);
    // Channel 2 falls away below 1 kHz and meets the flat channel 1 on the 0 dB row above it.
    Channel(1).HighPassOn = 1;
    Channel(1).HighPassFreq = 1000.0f;
    Channel(1).HighPassSlope = 48;
    const int x = curve->ColumnOf(5000.0f);

    // The thick curves cover the 0 dB row and the one above it; a thin one on top shows on the
    // 0 dB row only, blended at its edges by the antialiasing.
    struct Case {
        std::uint8_t group;
        QColor thick;
        std::optional<QColor> thin;
    };
    const Case cases[] = {
        {0x01, kDimGreen, kRed},
        {0x02, kDimRed, kGreen},
        {0x00, kDimGreen, std::nullopt},  // all thick and dim, the later channel on top
    };
    const QColor background = Pixel(x, kZeroDbRow + 20);
    for (const Case& c : cases) {
        setup.GroupEQFlag = c.group;
        const QImage image = curve->grab().toImage();
        EXPECT_EQ(image.pixelColor(x, kZeroDbRow - 1), c.thick) << int{c.group};
        EXPECT_EQ(image.pixelColor(x, kZeroDbRow + 1), background) << int{c.group};
        const QColor onRow = image.pixelColor(x, kZeroDbRow);
        if (c.thin) {
            EXPECT_LT(Distance(onRow, *c.thin), Distance(onRow, c.thick)) << int{c.group};
        } else {
            EXPECT_EQ(onRow, c.thick) << int{c.group};
        }
    }
}

TEST_F(CSpectrumCtlTest, HoverReadsTheSelectedCurveOutAfterTheDelay) {
    // Four decades over 400 columns put 100 Hz on column 100 exactly. The display-only curve
    // reads out like the editable one.
    curve->resize(400, kHeight);
    curve->SetPlotRange(10.0f, -27.0f, 100000.0f, 9.0f);
    curve->SetEditable(false);
    Channel(0).HighPassOn = 1;
    Channel(0).HighPassFreq = 100.0f;
    Channel(0).HighPassSlope = 12;
    const int cornerRow = curve->RowOf(-3.0103f);

    struct Case {
        int dy;
        bool near;
    };
    for (const Case c :
         {Case{0, true}, Case{4, true}, Case{-4, true}, Case{5, false}, Case{-5, false}}) {
        Hover(curve, {100, cornerRow + c.dy});
        EXPECT_EQ(curve->Readout().IsActive(), c.near) << c.dy;
        EXPECT_EQ(curve->Readout().IsWaiting(), c.near) << c.dy;
        EXPECT_EQ(curve->Readout().Delay(), c.near ? 1000 : 100) << c.dy;
        EXPECT_FALSE(curve->Readout().IsShown()) << c.dy;
    }

    Hover(curve, {100, cornerRow});
    EXPECT_EQ(curve->ReadoutText(), "-3.01dB , 100Hz");
    EXPECT_EQ(curve->Readout().Text(), "-3.01dB , 100Hz");
    curve->Readout().DelayElapsed();
    EXPECT_TRUE(curve->Readout().IsShown());
    EXPECT_EQ(curve->Readout().ShownText(), "-3.01dB , 100Hz");

    // A shown tip follows the pointer along the curve, and goes at once when it leaves it.
    Hover(curve, {200, kZeroDbRow});
    EXPECT_TRUE(curve->Readout().IsShown());
    EXPECT_EQ(curve->Readout().ShownText(), "-0.00dB , 1000Hz");
    Hover(curve, {200, kZeroDbRow + 20});
    EXPECT_FALSE(curve->Readout().IsShown());
    EXPECT_FALSE(curve->Readout().IsWaiting());

    // The last selected channel decides: near channel 1's curve but far from channel 2's, no tip.
    setup.GroupEQFlag = 0x03;
    Hover(curve, {100, cornerRow});
    EXPECT_FALSE(curve->Readout().IsActive());
    Hover(curve, {100, kZeroDbRow});
    EXPECT_TRUE(curve->Readout().IsActive());
    EXPECT_EQ(curve->ReadoutText(), "0.00dB , 100Hz");

    // No channel selected: nothing to read.
    setup.GroupEQFlag = 0x00;
    Hover(curve, {100, kZeroDbRow + 1});
    EXPECT_FALSE(curve->Readout().IsActive());
}

TEST_F(CSpectrumCtlTest, DragMovesThePointOfEverySelectedChannel) {
    setup.GroupEQFlag = 0x03;  // a linked pair
    for (int c = 0; c < 3; ++c) {
        Point(c, 1).Freq = 1000.0f;
        Point(c, 1).Gain = 3.0f;
    }
    const QPoint from = At(Point(0, 1));
    const QPoint to(curve->ColumnOf(4000.0f), curve->RowOf(-6.0f));

    QTest::mousePress(curve, Qt::LeftButton, {}, from);
    ASSERT_TRUE(curve->IsDragging());
    EXPECT_EQ(curve->DragChannel(), 1);  // the later channel's hit wins
    EXPECT_EQ(curve->DragPoint(), 1);
    QTest::mouseMove(curve, to);
    for (int c : {0, 1}) {
        EXPECT_EQ(Point(c, 1).Freq, curve->FrequencyAt(to.x())) << c;
        EXPECT_EQ(Point(c, 1).Gain, curve->GainAt(to.y())) << c;
        EXPECT_EQ(Point(c, 0).Freq, 1000.0f) << c;
    }
    EXPECT_EQ(Point(2, 1).Freq, 1000.0f);
    EXPECT_EQ(Point(2, 1).Gain, 3.0f);
    EXPECT_TRUE(m_host.messages.empty());

    QTest::mouseRelease(curve, Qt::LeftButton, {}, to);
    EXPECT_FALSE(curve->IsDragging());
    ASSERT_EQ(m_host.messages.size(), 1u);
    EXPECT_EQ(m_host.messages[0].message, UM_CURVE_POINT_MOVED);
    EXPECT_EQ(m_host.messages[0].id, kCurveId);
    EXPECT_EQ(m_host.messages[0].wParam, 1);
    EXPECT_EQ(m_host.messages[0].lParam, 1);

    // Pulled past the plot, a point stops at the custom point range, inside the grid.
    struct Case {
        QPoint target;
        float freq;
        float gain;
    };
    const Case edges[] = {
        {{kWidth + 50, -50}, 20893.0f, 6.0f},
        {{-50, kHeight + 50}, 16.0f, -24.0f},
        {{kWidth, kHeight}, 20893.0f, -24.0f},
    };
    for (const Case& c : edges) {
        Drag(At(Point(0, 1)), c.target);
        EXPECT_EQ(Point(0, 1).Freq, c.freq) << c.target.x();
        EXPECT_EQ(Point(1, 1).Freq, c.freq) << c.target.x();
        EXPECT_EQ(Point(0, 1).Gain, c.gain) << c.target.x();
    }
}

TEST_F(CSpectrumCtlTest, PressHoldsTheFirstPointWithinFivePixels) {
    Point(0, 0).Freq = 200.0f;
    Point(0, 0).Gain = -6.0f;
    // Points 3 and 4 share a place: the first in order is taken.
    for (int j : {2, 3}) {
        Point(0, j).Freq = 5000.0f;
        Point(0, j).Gain = 2.0f;
    }
    struct Case {
        int point;
        QPoint offset;
        bool hit;
    };
    const Case cases[] = {
        {0, {5, 5}, true},   {0, {-5, -5}, true}, {0, {6, 0}, false},
        {0, {0, -6}, false}, {3, {0, 0}, true},
    };
    for (const Case& c : cases) {
        const QPoint press = At(Point(0, c.point)) + c.offset;
        QTest::mousePress(curve, Qt::LeftButton, {}, press);
        EXPECT_EQ(curve->IsDragging(), c.hit) << c.point << " " << c.offset.x();
        if (c.hit) {
            EXPECT_EQ(curve->DragPoint(), c.point == 3 ? 2 : c.point);
        }
        QTest::mouseRelease(curve, Qt::LeftButton, {}, press);
    }
}

TEST_F(CSpectrumCtlTest, BypassedPointIsNotDrawnButCanBeDragged) {
    Point(0, 0) = {300.0f, 4.0f, 3.0f, 1};
    Point(0, 1) = {3000.0f, 4.0f, 3.0f, 0};
    const QPoint hidden = At(Point(0, 0));
    const QPoint shown = At(Point(0, 1));
    // The markers' top edges, four rows above the points.
    EXPECT_EQ(Pixel(shown.x(), shown.y() - 4), QColor(204, 204, 0));
    EXPECT_NE(Pixel(hidden.x(), hidden.y() - 4), QColor(153, 0, 255));

    const QPoint to(curve->ColumnOf(100.0f), curve->RowOf(-3.0f));
    Drag(hidden, to);
    EXPECT_EQ(Point(0, 0).Freq, curve->FrequencyAt(to.x()));
    EXPECT_EQ(Point(0, 0).Gain, curve->GainAt(to.y()));
    EXPECT_EQ(Point(0, 0).Bypass, 1);
    ASSERT_EQ(m_host.messages.size(), 1u);
    EXPECT_EQ(m_host.messages[0].wParam, 0);
    EXPECT_EQ(m_host.messages[0].lParam, 0);
}

TEST_F(CSpectrumCtlTest, OnlyAnEditableCurveOnAWritableSetupDrags) {
    struct Case {
        bool editable;
        bool writable;
        bool drags;
    };
    for (const Case c :
         {Case{false, true, false}, Case{true, false, false}, Case{true, true, true}}) {
        setup = SetupRecord{};
        m_host.messages.clear();
        curve->SetEditable(c.editable);
        if (c.writable) {
            curve->SetSetup(&setup);
        } else {
            curve->SetSetup(static_cast<const SetupRecord*>(&setup));
        }
        Drag(At(Point(0, 0)), {40, 40});
        EXPECT_EQ(Point(0, 0).Freq != 1000.0f, c.drags) << c.editable << c.writable;
        EXPECT_EQ(m_host.messages.size(), c.drags ? 1u : 0u) << c.editable << c.writable;
    }
}

TEST_F(CSpectrumCtlTest, SmallMovesAlongTheZeroLineKeepTheFrequency) {
    const int x0 = 165;
    struct Case {
        int dx;
        int dy;
        bool freqMoves;
    };
    // One column is just under 0.01 decade; two rows are 0.2 dB.
    const Case cases[] = {
        {1, 0, false}, {-1, 0, false}, {2, 0, true}, {1, -2, true}, {1, 2, true},
    };
    for (const Case& c : cases) {
        Point(0, 0) = {curve->FrequencyAt(x0), 0.0f, 3.0f, 0};
        const float start = Point(0, 0).Freq;
        const QPoint to(x0 + c.dx, kZeroDbRow + c.dy);
        Drag({x0, kZeroDbRow}, to);
        EXPECT_EQ(Point(0, 0).Freq, c.freqMoves ? curve->FrequencyAt(to.x()) : start)
            << c.dx << "," << c.dy;
        EXPECT_EQ(Point(0, 0).Gain, curve->GainAt(to.y())) << c.dx << "," << c.dy;
    }
}

TEST_F(CSpectrumCtlTest, HidingMidDragEndsTheDrag) {
    QTest::mousePress(curve, Qt::LeftButton, {}, At(Point(0, 0)));
    QTest::mouseMove(curve, {60, 60});
    curve->hide();
    EXPECT_FALSE(curve->IsDragging());
    ASSERT_EQ(m_host.messages.size(), 1u);
    EXPECT_EQ(m_host.messages[0].message, UM_CURVE_POINT_MOVED);
    EXPECT_EQ(Point(0, 0).Gain, curve->GainAt(60));
    QTest::mouseRelease(curve, Qt::LeftButton, {}, {60, 60});
    EXPECT_EQ(m_host.messages.size(), 1u);
}

// Rows of column x whose colour is closer to `color` than to anything else drawn there.
std::vector<int> RowsOf(const QImage& image, int x, const QColor& color) {
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        if (Distance(image.pixelColor(x, y), color) < 90.0) rows.push_back(y);
    }
    return rows;
}

bool Near(const std::vector<int>& rows, int row, int slack) {
    return std::any_of(rows.begin(), rows.end(), [&](int y) { return std::abs(y - row) <= slack; });
}

TEST_F(CSpectrumCtlTest, ExactModeDrawsTheFiltersTheAmplifierRuns) {
    // One channel, a first-order low-pass at 16 kHz: near 20 kHz the 48 kHz filter has fallen
    // well below the analog model.
    curve->SetChannelCount(1);
    Channel(0).LowPassOn = 1;
    Channel(0).LowPassFreq = 16000.0f;
    Channel(0).LowPassSlope = 6;
    const ExactChannel exact = DecodeExactSetup(setup, 1).Channels[0];
    curve->SetCurveMode(CurveMode::Exact);
    const QImage image = curve->grab().toImage();
    for (const float hz : {12000.0f, 18000.0f, 20000.0f, 22000.0f}) {
        const int x = curve->ColumnOf(hz);
        const float f = curve->FrequencyAt(x);
        float db = 0.0f;
        ExactResponseRow(exact, &f, 1, &db);
        const std::vector<int> red = RowsOf(image, x, kRed);
        SCOPED_TRACE(testing::Message() << hz << " Hz: exact " << db << " dB, classic "
                                        << ChannelResponseDb(Channel(0), f) << " dB");
        EXPECT_TRUE(Near(red, curve->RowOf(db), 1));
        if (hz > 15000.0f) {
            EXPECT_FALSE(Near(red, curve->RowOf(ChannelResponseDb(Channel(0), f)), 5));
        }
    }
    // The readout reads the exact curve.
    const int x = curve->ColumnOf(20000.0f);
    float f = curve->FrequencyAt(x);
    float db = 0.0f;
    ExactResponseRow(exact, &f, 1, &db);
    Hover(curve, {x, curve->RowOf(db)});
    EXPECT_FLOAT_EQ(curve->LastResponse(), db);

    curve->SetCurveMode(CurveMode::Classic);
    const std::vector<int> classic = RowsOf(curve->grab().toImage(), x, kRed);
    EXPECT_TRUE(Near(classic, curve->RowOf(ChannelResponseDb(Channel(0), f)), 1));
    EXPECT_FALSE(Near(classic, curve->RowOf(db), 5));
}

TEST_F(CSpectrumCtlTest, TheContextMenuTogglesTheModeAndThePairSum) {
    std::vector<std::vector<CurveMenuItem>> shown;
    int answer = 0;
    CurveHooks hooks;
    hooks.popupMenu = [&](const std::vector<CurveMenuItem>& items, QPoint) {
        shown.push_back(items);
        return answer;
    };
    curve->SetHooks(hooks);
    auto rightClick = [&](int command) {
        answer = command;
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(50, 50),
                                curve->mapToGlobal(QPoint(50, 50)));
        QApplication::sendEvent(curve, &event);
    };

    rightClick(CSpectrumCtl::kMenuExact);
    EXPECT_EQ(curve->Mode(), CurveMode::Exact);
    rightClick(0);  // dismissed: nothing changes
    EXPECT_EQ(curve->Mode(), CurveMode::Exact);
    rightClick(CSpectrumCtl::kMenuPairSum);
    EXPECT_TRUE(curve->ShowsPairSum());
    rightClick(CSpectrumCtl::kMenuExact);
    EXPECT_EQ(curve->Mode(), CurveMode::Classic);

    ASSERT_EQ(shown.size(), 4u);
    ASSERT_EQ(shown[0].size(), 4u);
    EXPECT_EQ(shown[0][0].text, "Exact response");
    EXPECT_FALSE(shown[0][0].checked);
    EXPECT_TRUE(shown[1][0].checked);
    EXPECT_EQ(shown[2][1].text, "Show pair sum");
    EXPECT_TRUE(shown[3][1].checked);
    EXPECT_EQ(shown[0][2].text, "Load measurement...");
    EXPECT_EQ(shown[0][3].text, "Clear measurement");
    EXPECT_FALSE(shown[0][3].enabled);  // nothing to clear yet
}

TEST_F(CSpectrumCtlTest, PairSumIsDrawnDashedForTheSelectedPair) {
    // Channels 3 and 4, identical and flat: their sum lies 6 dB up. Channel 3 is selected.
    curve->SetChannelCount(4);
    setup.GroupEQFlag = 0x04;
    // On black, as the skin's plot is dark, where the white line shows.
    QPalette dark = curve->palette();
    dark.setColor(QPalette::Window, Qt::black);
    curve->setPalette(dark);
    curve->setAutoFillBackground(true);
    const int sumRow = curve->RowOf(6.0206f);
    auto whiteColumns = [&](int row) {
        const QImage image = curve->grab().toImage();
        int count = 0;
        for (int x = 20; x < 300; ++x) {
            // Antialiased dashes come out light grey.
            const QColor pixel = image.pixelColor(x, row);
            count +=
                pixel.red() > 150 && pixel.green() == pixel.red() && pixel.blue() == pixel.red();
        }
        return count;
    };
    EXPECT_EQ(whiteColumns(sumRow), 0);
    curve->SetShowPairSum(true);
    const int dashed = whiteColumns(sumRow);
    EXPECT_GT(dashed, 60);
    EXPECT_LT(dashed, 260);  // gaps between the dashes
    // Channel 4 muted: the sum is channel 3 alone, on the 0 dB row.
    Channel(3).Mute = 1;
    EXPECT_EQ(whiteColumns(sumRow), 0);
    // Channel 4 at half the level (6 dB of trim): the sum lies at 20 log10(1.5) = 3.52 dB, clear
    // of the channels' own curves, which show no trim.
    Channel(3).Mute = 0;
    Channel(3).DelayOn = 1;
    Channel(3).Trim = 6.0206f;
    EXPECT_GT(whiteColumns(curve->RowOf(3.5218f)), 60);
}

TEST_F(CSpectrumCtlTest, MeasurementOverlayAndPredictedResult) {
    // Mean within 200 Hz .. 2 kHz is 81 dB, so 1 kHz (83 dB) draws at +2 dB. Channel 1 cuts
    // 12 dB there: the predicted result lies at -10 dB.
    curve->SetChannelCount(2);
    Point(0, 0) = {1000.0f, -12.0f, 1.0f, 0};
    Measurement m;
    m.Points = {{100, 80, {}}, {200, 80, {}}, {1000, 83, {}}, {2000, 80, {}}, {10000, 80, {}}};
    curve->SetMeasurement(m);
    const int x = curve->ColumnOf(1000.0f);
    QImage image = curve->grab().toImage();
    EXPECT_TRUE(Near(RowsOf(image, x, CSpectrumCtl::kMeasurementColor), curve->RowOf(2.0f), 1));
    EXPECT_TRUE(Near(RowsOf(image, x, CSpectrumCtl::kPredictionColor), curve->RowOf(-10.0f), 1));
    // Nothing outside the measured range.
    const int outside = curve->ColumnOf(50.0f);
    EXPECT_TRUE(RowsOf(image, outside, CSpectrumCtl::kPredictionColor).empty());

    // In the exact mode the prediction follows the exact curve: the same at 1 kHz, far apart at
    // 20 kHz, where a 16 kHz low-pass falls faster at 48 kHz than on the classic curve.
    Channel(0).LowPassOn = 1;
    Channel(0).LowPassFreq = 16000.0f;
    Channel(0).LowPassSlope = 12;
    m.Points.push_back({22000, 80, {}});
    curve->SetMeasurement(m);
    const int high = curve->ColumnOf(20000.0f);
    const float classic = ChannelResponseDb(Channel(0), 20000.0f);
    const double exact = ExactResponse(DecodeExactSetup(setup, 2).Channels[0], 20000.0).Db;
    ASSERT_GT(classic - exact, 5.0);
    image = curve->grab().toImage();
    EXPECT_TRUE(Near(RowsOf(image, high, CSpectrumCtl::kPredictionColor),
                     curve->RowOf(classic - 1.0f), 2));
    curve->SetCurveMode(CurveMode::Exact);
    image = curve->grab().toImage();
    EXPECT_TRUE(Near(RowsOf(image, x, CSpectrumCtl::kPredictionColor), curve->RowOf(-10.0f), 1));
    EXPECT_TRUE(Near(RowsOf(image, high, CSpectrumCtl::kPredictionColor),
                     curve->RowOf(static_cast<float>(exact) - 1.0f), 2));

    curve->RunMenuCommand(CSpectrumCtl::kMenuClearMeasurement);
    EXPECT_FALSE(curve->CurrentMeasurement());
    image = curve->grab().toImage();
    EXPECT_FALSE(Near(RowsOf(image, x, CSpectrumCtl::kMeasurementColor), curve->RowOf(2.0f), 1));
}

TEST_F(CSpectrumCtlTest, LoadingAMeasurementWarnsWithTheReadersMessage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath("good.txt");
    const QString bad = dir.filePath("bad.frd");
    std::ofstream(good.toStdString()) << "* REW\n100 80\n1000 81\n";
    std::ofstream(bad.toStdString()) << "100 80\n50 81\n";
    QString choice;
    std::vector<QString> warnings;
    CurveHooks hooks;
    hooks.chooseMeasurementFile = [&](QWidget*) { return choice; };
    hooks.showWarning = [&](const QString& text, const QString&) { warnings.push_back(text); };
    curve->SetHooks(hooks);

    choice = "";  // Cancel
    curve->RunMenuCommand(CSpectrumCtl::kMenuLoadMeasurement);
    EXPECT_FALSE(curve->CurrentMeasurement());
    choice = bad;
    curve->RunMenuCommand(CSpectrumCtl::kMenuLoadMeasurement);
    EXPECT_FALSE(curve->CurrentMeasurement());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "line 2: the frequencies must rise from line to line");
    choice = good;
    curve->RunMenuCommand(CSpectrumCtl::kMenuLoadMeasurement);
    ASSERT_TRUE(curve->CurrentMeasurement());
    EXPECT_EQ(curve->CurrentMeasurement()->Points.size(), 2u);
    // A failed load keeps the measurement shown.
    choice = bad;
    curve->RunMenuCommand(CSpectrumCtl::kMenuLoadMeasurement);
    EXPECT_TRUE(curve->CurrentMeasurement());
    EXPECT_EQ(warnings.size(), 2u);
}

}  // namespace
}  // namespace vantrel
