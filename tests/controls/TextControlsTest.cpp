// The transparent label, edit box and channel-mark list, driven as the user drives them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QKeyEvent>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <climits>
#include <vector>

#include "controls/CTpComboBox.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "controls/ControlHost.h"
#include "model/ParameterModel.h"

namespace vantrel {
namespace {

constexpr int kListId = 1657;
constexpr int kEditId = 1605;
const QRect kListRect(20, 40, 120, 18);
const QColor kBackground(20, 40, 60);

// A dialog, so that a default button is there to be pressed by mistake; it records what its
// controls report and every key that reaches it unhandled.
class RecordingHost : public QDialog, public ControlHost {
public:
    void OnControlMessage(const ControlMessage& message) override { messages.push_back(message); }

    std::vector<ControlMessage> messages;
    std::vector<int> unhandledKeys;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        unhandledKeys.push_back(event->key());
        QDialog::keyPressEvent(event);
    }
};

QStringList Entries(const QListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) texts << list.item(row)->text();
    return texts;
}

QStringList AllMarks() {
    QStringList names;
    for (const char* name : ChannelMarkList) names << QString::fromLatin1(name);
    return names;
}

void ExpectReport(const std::vector<ControlMessage>& messages, std::uint32_t message, int id) {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, message);
    EXPECT_EQ(messages[0].id, id);
    EXPECT_EQ(messages[0].wParam, id);
    EXPECT_EQ(messages[0].lParam, 0);
}

// The smallest rectangle inside `area` holding every pixel that is not the background.
QRect InkBox(const QImage& image, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) != kBackground) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

bool HasPixelNear(const QImage& image, const QRect& area, const QColor& color) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - color.red()) < 40 && qAbs(c.green() - color.green()) < 40 &&
                qAbs(c.blue() - color.blue()) < 40) {
                return true;
            }
        }
    }
    return false;
}

class TextControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, kBackground);
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        host.resize(300, 500);
        list = new CTpComboBox(&host, kListId);
        list->setGeometry(kListRect);
        edit = new CTpEdit(&host, kEditId);
        edit->setGeometry(160, 40, 100, 20);
        defaultButton = new QPushButton(QStringLiteral("OK"), &host);
        defaultButton->setGeometry(160, 450, 60, 24);
        defaultButton->setDefault(true);
        QObject::connect(defaultButton, &QPushButton::clicked, [this] { ++defaultPresses; });
        host.show();
        QApplication::setActiveWindow(&host);
    }

    RecordingHost host;
    CTpComboBox* list = nullptr;
    CTpEdit* edit = nullptr;
    QPushButton* defaultButton = nullptr;
    int defaultPresses = 0;
};

TEST_F(TextControlsTest, ListOpensWithTheCurrentMarkFirstAndEveryMarkVisible) {
    // Letters nearly as high as the closed line: the platform's own line spacing would be higher.
    list->setFont(SkinFont(-17, 0, 0, QStringLiteral("DejaVu Sans")));
    list->SetMark(8);
    ASSERT_EQ(Entries(*list), QStringList{"FR Woofer"});

    QTest::mouseClick(list->viewport(), Qt::LeftButton);

    ASSERT_TRUE(list->IsOpen());
    EXPECT_EQ(Entries(*list), QStringList{"FR Woofer"} + AllMarks());
    EXPECT_EQ(list->selectionModel()->selectedRows().value(0).row(), 0);
    EXPECT_EQ(list->geometry(), QRect(kListRect.topLeft(), QSize(kListRect.width(), 22 * 18)));
    // No scroll bar: every line must fit in the open list.
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(21))));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(TextControlsTest, ClickOnAnOpenListChoosesReportsAndCloses) {
    enum class How { Click, QuickSecondClick, DragBackOverTheLine };
    struct Case {
        const char* name;
        How how;
        int row;
        int mark;
        const char* shown;
    };
    const Case cases[] = {
        {"second entry", How::Click, 1, 0, "Not used"},
        {"the repeated mark keeps it", How::Click, 0, 8, "FR Woofer"},
        {"last entry", How::Click, 21, 20, "C Woofer"},
        {"second click of a double click", How::QuickSecondClick, 3, 2, "FL Tweeter"},
        {"button held back over the closed line", How::DragBackOverTheLine, 3, 2, "FL Tweeter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        list->SetMark(8);
        host.messages.clear();
        QTest::mouseClick(list->viewport(), Qt::LeftButton);
        ASSERT_TRUE(list->IsOpen());

        const QPoint at = list->visualItemRect(list->item(c.row)).center();
        switch (c.how) {
            case How::Click:
                QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                break;
            case How::QuickSecondClick:
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                break;
            case How::DragBackOverTheLine: {
                const QPoint line(10, kListRect.height() / 2);
                QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                QTest::mouseMove(list->viewport(), line);
                QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, line);
                break;
            }
        }

        EXPECT_FALSE(list->IsOpen());
        EXPECT_EQ(list->Mark(), c.mark);
        EXPECT_EQ(Entries(*list), QStringList{c.shown});
        EXPECT_TRUE(list->selectedItems().isEmpty());  // plain text, no highlight
        EXPECT_EQ(list->geometry(), kListRect);
        ExpectReport(host.messages, UM_LIST_SELECTED, kListId);
    }
}

TEST_F(TextControlsTest, EnterOpensAndClosesTheListWithoutReporting) {
    const struct {
        const char* name;
        std::vector<QKeyCombination> keys;
        int mark;
        const char* shown;
    } cases[] = {
        {"moved down to the second mark", {Qt::Key_Down, Qt::Key_Down}, 1, "FL Full"},
        {"nothing selected keeps the mark", {Qt::ControlModifier | Qt::Key_Space}, 8, "FR Woofer"},
    };
    list->setFocus();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list->SetMark(8);
        QTest::keyClick(list, Qt::Key_Return);
        ASSERT_TRUE(list->IsOpen());
        ASSERT_EQ(list->count(), 22);
        for (const QKeyCombination key : c.keys) {
            QTest::keyClick(list, key.key(), key.keyboardModifiers());
        }
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);

        EXPECT_FALSE(list->IsOpen());
        EXPECT_EQ(list->Mark(), c.mark);
        EXPECT_EQ(Entries(*list), QStringList{c.shown});
        EXPECT_EQ(list->geometry(), kListRect);
    }
    EXPECT_TRUE(host.messages.empty());
    // Enter is the list's own; other keys may go on to the window.
    for (const int key : host.unhandledKeys) {
        EXPECT_NE(key, Qt::Key_Return);
        EXPECT_NE(key, Qt::Key_Enter);
    }
    EXPECT_EQ(defaultPresses, 0);
}

TEST_F(TextControlsTest, ListLosingTheFocusClosesUnchangedWithoutReporting) {
    list->SetMark(8);
    QTest::mouseClick(list->viewport(), Qt::LeftButton);
    ASSERT_TRUE(list->IsOpen());
    QTest::keyClick(list, Qt::Key_Down);

    QTest::mouseClick(edit, Qt::LeftButton);

    ASSERT_TRUE(edit->hasFocus());
    EXPECT_FALSE(list->IsOpen());
    EXPECT_EQ(list->Mark(), 8);
    EXPECT_EQ(Entries(*list), QStringList{"FR Woofer"});
    EXPECT_EQ(list->geometry(), kListRect);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(TextControlsTest, SetMarkLimitsAndLeavesAClosedList) {
    const struct {
        int mark;
        int stored;
    } cases[] = {{99, 20}, {-1, 0}, {INT_MIN, 0}, {20, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mark);
        list->SetMark(c.mark);
        EXPECT_EQ(list->Mark(), c.stored);
        EXPECT_EQ(Entries(*list), QStringList{AllMarks()[c.stored]});
    }

    // The window rewriting the marks while a list is open: the list must not stay open with one
    // entry, where the next click would read no selection.
    QTest::mouseClick(list->viewport(), Qt::LeftButton);
    ASSERT_TRUE(list->IsOpen());
    list->SetMark(3);
    EXPECT_FALSE(list->IsOpen());
    EXPECT_EQ(Entries(*list), QStringList{"FL Midrange"});
    EXPECT_EQ(list->geometry(), kListRect);

    QTest::mouseClick(list->viewport(), Qt::LeftButton);
    list->Clear();
    EXPECT_FALSE(list->IsOpen());
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->Mark(), 3);
    EXPECT_EQ(list->geometry(), kListRect);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(TextControlsTest, EnterInTheEditReportsAndGoesNoFurther) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } cases[] = {{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}};
    edit->SetText(QStringLiteral("12"));
    edit->setFocus();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        host.messages.clear();
        QTest::keyClick(edit, c.key, c.modifiers);
        ExpectReport(host.messages, UM_EDIT_ENTERED, kEditId);
        EXPECT_EQ(edit->Text(), "12");
    }
    EXPECT_TRUE(host.unhandledKeys.empty());
    EXPECT_EQ(defaultPresses, 0);

    // Other keys still edit.
    QTest::keyClicks(edit, QStringLiteral("5"));
    EXPECT_EQ(edit->Text(), "125");
}

TEST_F(TextControlsTest, ReadOnlyEditKeepsItsTextAndStillReportsEnter) {
    edit->SetText(QStringLiteral("40 Hz"));
    edit->SetReadOnly(true);
    edit->setFocus();

    QTest::keyClicks(edit, QStringLiteral("9"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Return);

    EXPECT_EQ(edit->Text(), "40 Hz");
    ExpectReport(host.messages, UM_EDIT_ENTERED, kEditId);
    EXPECT_EQ(defaultPresses, 0);
}

TEST_F(TextControlsTest, TextIsCentredInItsColourWithTheBackgroundAroundIt) {
    auto* label = new CTpStatic(&host, 1645);
    label->setGeometry(20, 300, 200, 40);
    label->SetText(QStringLiteral("CH 1"));
    label->setFont(SkinFont(-16, 0, 700, QString()));
    label->SetTextColor(Qt::red);
    label->show();
    edit->SetText(QStringLiteral("1000 Hz"));
    edit->SetTextColor(Qt::yellow);
    list->SetTextColor(Qt::green);
    list->SetMark(8);
    host.setFocus();  // no caret or focus frame in the picture

    const QImage image = host.grab().toImage();

    const struct {
        const char* name;
        QWidget* control;
        QColor color;
        bool centred;
    } cases[] = {
        {"label", label, Qt::red, true},
        {"edit", edit, Qt::yellow, true},
        {"list", list, Qt::green, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect area = c.control->geometry();
        const QRect ink = InkBox(image, area);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_TRUE(HasPixelNear(image, ink, c.color));
        // Nothing but the letters: the corners keep the window background.
        EXPECT_EQ(image.pixelColor(area.topLeft()), kBackground);
        EXPECT_EQ(image.pixelColor(area.bottomRight()), kBackground);
        if (c.centred) {
            EXPECT_NEAR(ink.center().x(), area.center().x(), 2);
            EXPECT_NEAR(ink.center().y(), area.center().y(), 2);
        }
    }
}

TEST_F(TextControlsTest, OpenListCoversTheControlsUnderIt) {
    auto* under = new QWidget(&host);
    under->setGeometry(kListRect.left(), 200, kListRect.width(), 40);
    under->setAutoFillBackground(true);
    QPalette palette = under->palette();
    palette.setColor(QPalette::Window, Qt::magenta);
    under->setPalette(palette);
    under->show();
    list->SetMark(0);

    QTest::mouseClick(list->viewport(), Qt::LeftButton);
    ASSERT_TRUE(list->IsOpen());
    const QImage image = host.grab().toImage();

    // Right end of a line that is neither selected nor reached by its short name.
    EXPECT_EQ(image.pixelColor(kListRect.right() - 2, 220), kBackground);
}

TEST(SkinFontTest, HeightsGiveThePixelSizeOfTheLettersOrOfTheCell) {
    const QFont letters = SkinFont(-20, 0, 0, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(letters.pixelSize(), 20);

    const QFont cell = SkinFont(20, 0, 0, QStringLiteral("DejaVu Sans"));
    const QFontMetricsF metrics(cell);
    EXPECT_NEAR(metrics.ascent() + metrics.descent(), 20.0, 1.0);
    EXPECT_LT(cell.pixelSize(), 20);

    // Default and absurd heights still give a usable font.
    for (const long height : {0L, 1L, LONG_MAX, LONG_MIN}) {
        SCOPED_TRACE(height);
        const QFont font = SkinFont(height, 0, 0, QString());
        EXPECT_GT(QFontMetricsF(font).height(), 0.0);
        EXPECT_LE(font.pixelSize(), 2048);
    }
}

TEST(SkinFontTest, WeightsAndFaces) {
    const struct {
        long weight;
        QFont::Weight expected;
    } weights[] = {{0, QFont::Normal}, {-5, QFont::Normal},         {400, QFont::Normal},
                   {700, QFont::Bold}, {1000, QFont::Weight(1000)}, {5000, QFont::Weight(1000)}};
    for (const auto& w : weights) {
        SCOPED_TRACE(w.weight);
        EXPECT_EQ(SkinFont(-12, 0, w.weight, QString()).weight(), w.expected);
    }

    for (const QString& face : {QString(), QStringLiteral("No Such Face At All")}) {
        SCOPED_TRACE(face.toStdString());
        EXPECT_EQ(QFontInfo(SkinFont(-12, 0, 0, face)).family(), "DejaVu Sans");
    }
}

TEST(SkinFontTest, WidthWidensTheLetters) {
    const QFont natural = SkinFont(-20, 0, 0, QStringLiteral("DejaVu Sans"));
    const qreal average = QFontMetricsF(natural).averageCharWidth();
    const QFont wide =
        SkinFont(-20, static_cast<long>(2 * average), 0, QStringLiteral("DejaVu Sans"));
    const QString sample = QStringLiteral("FR Woofer");
    EXPECT_GT(QFontMetricsF(wide).horizontalAdvance(sample),
              1.5 * QFontMetricsF(natural).horizontalAdvance(sample));
}

}  // namespace
}  // namespace vantrel
