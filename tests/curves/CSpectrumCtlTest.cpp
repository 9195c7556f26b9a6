#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "controls/ControlHost.h"
#include "curves/CSpectrumCtl.h"
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

}  // namespace
}  // namespace vantrel
