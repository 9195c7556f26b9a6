#include "LayoutCheck.h"

#include <QFontMetrics>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <map>
#include <vector>

#include "Backgrounds.h"
#include "Palette.h"
#include "model/ParameterModel.h"
#include "skin/SkinTable.h"

namespace makeskin {

namespace {

struct Box {
    QString what;
    QRect rect;
};

QRect TextBox(const QRect& area, int align, const QString& text, const QFont& font) {
    return QFontMetrics(font).boundingRect(area, align, text);
}

std::vector<Box> PageBoxes(const Skin& skin, unsigned page) {
    std::vector<Box> boxes;
    for (const Control& c : skin.controls) {
        if ((c.pages & page) == 0) continue;
        if (c.kind == Kind::BandFaders) {
            for (int i = 0; i < c.faderCount; ++i)
                boxes.push_back({c.section + QString::number(i),
                                 QRect(c.rect.left() + i * c.faderWidth, c.rect.top(), c.faderWidth,
                                       c.faderHeight)});
        } else {
            boxes.push_back({c.section, c.rect});
        }
        if (!c.caption.text.isEmpty())
            boxes.push_back(
                {QStringLiteral("caption of ") + c.section,
                 TextBox(c.caption.rect, c.caption.align, c.caption.text, CaptionFont())});
    }
    for (const Note& n : AllNotes(skin))
        if ((n.pages & page) != 0)
            boxes.push_back({QStringLiteral("text \"%1\"").arg(n.text),
                             TextBox(n.rect, n.align, n.text, n.font)});
    return boxes;
}

// The widest texts the program writes into each text control, so the layout leaves room for them.
QStringList WidestTexts(const QString& section) {
    QString base = section;
    while (!base.isEmpty() && base.back().isDigit()) base.chop(1);
    static const std::map<QString, QString> widest = {
        {QStringLiteral("ChStc"), QStringLiteral("CH 6")},
        {QStringLiteral("SpChStc"), QStringLiteral("CH6")},
        {QStringLiteral("EQSpChStc"), QStringLiteral("CH6")},
        {QStringLiteral("SpDispChStc"), QStringLiteral("CH6")},
        {QStringLiteral("ChFLMkStc"), QStringLiteral("BPF")},
        {QStringLiteral("ChHPFStc"), QStringLiteral("20000")},
        {QStringLiteral("ChLPFStc"), QStringLiteral("20000")},
        {QStringLiteral("ChDLYStc"), QStringLiteral("20.00")},
        {QStringLiteral("ChTRIMStc"), QStringLiteral("-30.0")},
        {QStringLiteral("ChEQStc"), QStringLiteral("OFF")},
        {QStringLiteral("LevelEdit"), QStringLiteral("100.00 %")},
        {QStringLiteral("HighPassEdit"), QStringLiteral("20000 Hz")},
        {QStringLiteral("LowPassEdit"), QStringLiteral("20000 Hz")},
        {QStringLiteral("DlyTimeEdt"), QStringLiteral("20.00 ms")},
        {QStringLiteral("DlyDisEdt"), QStringLiteral("680.0 cm")},
        {QStringLiteral("TrimEdt"), QStringLiteral("-30.0 dB")},
        {QStringLiteral("CustmEQFreqEdt"), QStringLiteral("20893 Hz")},
        {QStringLiteral("CustmEQGainEdt"), QStringLiteral("-24.0 dB")},
        {QStringLiteral("CustmEQQEdt"), QStringLiteral("24.0")},
        {QStringLiteral("EQBandFreqEdt"), QStringLiteral("16000 Hz")},
        {QStringLiteral("EQBandGainEdt"), QStringLiteral("-15.0 dB")},
        {QStringLiteral("ModelStc"), QStringLiteral("Vantrel VX-1.1500 DB")},
        {QStringLiteral("Prompt"), QStringLiteral("Communication fail, please retry.")},
        {QStringLiteral("VoltageStc"), QStringLiteral("25.5 V")},
        {QStringLiteral("TempStc"), QStringLiteral("125 C")},
        {QStringLiteral("RunTimeStc"), QStringLiteral("9999999 m")},
    };
    if (base == QLatin1String("ChCBox")) {
        QStringList marks;
        for (const char* mark : vantrel::ChannelMarkList) marks << QString::fromLatin1(mark);
        return marks;
    }
    if (base.startsWith(QLatin1String("Prompt"))) base = QStringLiteral("Prompt");
    const auto it = widest.find(base);
    return it == widest.end() ? QStringList() : QStringList{it->second};
}

}  // namespace

// Texts are drawn clipped to their rectangles: one that does not fit would lose letters.
bool CheckTextsFit(const Skin& skin) {
    bool ok = true;
    const auto check = [&](const QString& text, const QRect& rect, int align, const QFont& font) {
        if (text.isEmpty() || rect.contains(TextBox(rect, align, text, font))) return;
        std::fprintf(stderr, "vantrel-make-skin: text \"%s\" does not fit its place\n",
                     qPrintable(text));
        ok = false;
    };
    for (const Note& n : AllNotes(skin)) check(n.text, n.rect, n.align, n.font);
    for (const Control& c : skin.controls) {
        check(c.caption.text, c.caption.rect, c.caption.align, CaptionFont());
        if (c.kind == Kind::Label || c.kind == Kind::Edit || c.kind == Kind::List) {
            // Edit boxes and lists keep a few pixels of margin of their own.
            const QRect room = c.kind == Kind::Label ? c.rect : c.rect.adjusted(4, 0, -4, 0);
            const QFont font = UiFont(c.text.height, c.text.bold);
            check(c.initialText, room, Qt::AlignCenter, font);
            const QStringList widest = WidestTexts(c.section);
            if (widest.isEmpty()) {
                std::fprintf(stderr, "vantrel-make-skin: no widest text for %s\n",
                             qPrintable(c.section));
                ok = false;
            }
            for (const QString& text : widest) check(text, room, Qt::AlignCenter, font);
        }
    }
    return ok;
}

bool CheckPage(const Skin& skin, unsigned page, QSize size, const char* name) {
    bool ok = true;
    const std::vector<Box> boxes = PageBoxes(skin, page);
    const QRect bounds(QPoint(0, 0), size);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!bounds.contains(boxes[i].rect)) {
            std::fprintf(stderr, "vantrel-make-skin: %s page: %s lies outside the page\n", name,
                         qPrintable(boxes[i].what));
            ok = false;
        }
        for (std::size_t j = i + 1; j < boxes.size(); ++j)
            if (boxes[i].rect.intersects(boxes[j].rect)) {
                std::fprintf(stderr, "vantrel-make-skin: %s page: %s overlaps %s\n", name,
                             qPrintable(boxes[i].what), qPrintable(boxes[j].what));
                ok = false;
            }
    }
    return ok;
}

bool CheckControlTable(const Skin& skin) {
    QSet<QString> drawn;
    for (const Control& c : skin.controls) drawn.insert(c.section);
    bool ok = true;
    for (const vantrel::SkinControlSpec& spec : vantrel::SkinControlTable()) {
        const int sections = spec.kind == vantrel::SkinKind::BandFaderBank ? 1 : spec.count;
        for (int index = 0; index < sections; ++index) {
            const QString section = QString::fromStdString(spec.SectionOf(index));
            if (drawn.contains(section)) continue;
            std::fprintf(stderr, "vantrel-make-skin: the window's control %s has no section\n",
                         qPrintable(section));
            ok = false;
        }
    }
    return ok;
}

}  // namespace makeskin
