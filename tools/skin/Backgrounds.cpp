#include "Backgrounds.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <cmath>

#include "Palette.h"
#include "Scale.h"
#include "Sprites.h"
#include "model/ParameterModel.h"

namespace makeskin {

namespace {

void PaintPanel(QPainter& p, const Panel& panel) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRect& r = panel.rect;
    if (panel.style == PanelStyle::Display) {
        p.setPen(QPen(kFieldBorder, 1.0));
        p.setBrush(QColor(0x0b, 0x0e, 0x12));
        p.drawRoundedRect(Inset(r, 0.5), 4.0, 4.0);
        p.setPen(QPen(QColor(0, 0, 0, 140), 1.0));
        p.drawLine(QPointF(r.left() + 3, r.top() + 1.5), QPointF(r.right() - 3, r.top() + 1.5));
        return;
    }
    if (panel.style == PanelStyle::Bar) {
        QLinearGradient fill(0, r.top(), 0, r.bottom());
        fill.setColorAt(0.0, kBarTop);
        fill.setColorAt(1.0, kBarBottom);
        p.fillRect(r, fill);
        p.setRenderHint(QPainter::Antialiasing, false);
        const bool atTop = r.top() == 0;
        p.fillRect(QRect(r.left(), atTop ? r.bottom() : r.top(), r.width(), 1), kPanelBorder);
        p.fillRect(QRect(r.left(), atTop ? r.bottom() + 1 : r.top() - 1, r.width(), 1),
                   QColor(0, 0, 0, 90));
        return;
    }
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0.0, kPanelTop);
    fill.setColorAt(1.0, kPanelBottom);
    p.setPen(QPen(kPanelBorder, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(Inset(r, 0.5), 5.0, 5.0);
    p.setPen(QPen(QColor(255, 255, 255, 14), 1.0));
    p.drawLine(QPointF(r.left() + 5, r.top() + 1.5), QPointF(r.right() - 4, r.top() + 1.5));
    if (panel.stripe.isValid()) {
        QColor stripe = panel.stripe;
        stripe.setAlpha(200);
        p.setPen(Qt::NoPen);
        p.setBrush(stripe);
        p.drawRoundedRect(QRectF(r.left() + 8, r.top() + 1, r.width() - 16, 2.5), 1.2, 1.2);
    }
}

void PaintField(QPainter& p, const QRect& r) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kFieldBorder, 1.0));
    p.setBrush(kFieldFill);
    p.drawRoundedRect(Inset(r.adjusted(-2, -1, 2, 1), 0.5), 3.0, 3.0);
    p.setPen(QPen(QColor(0, 0, 0, 120), 1.0));
    p.drawLine(QPointF(r.left() + 1, r.top() + 0.5), QPointF(r.right(), r.top() + 0.5));
}

void PaintChevron(QPainter& p, const QRect& r) {
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(r.right() - 6.5, r.center().y() + 1.0);
    QPainterPath path;
    path.moveTo(c.x() - 3.5, c.y() - 2.0);
    path.lineTo(c.x(), c.y() + 1.8);
    path.lineTo(c.x() + 3.5, c.y() - 2.0);
    p.setPen(QPen(kCaptionText, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

}  // namespace

// Row of the top of a fader's thumb for a value, as the fader places it.
int ThumbTop(const Control& c, int travelHeight, double value) {
    const int travel = travelHeight - c.thumbHeight;
    return static_cast<int>(
        std::trunc(travel - (value - c.minimum) / (c.maximum - c.minimum) * travel));
}

namespace {

void PaintSlot(QPainter& p, int cx, int top, int bottom) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2a, 0x32, 0x3d), 1.0));
    p.setBrush(QColor(0x05, 0x07, 0x09));
    p.drawRoundedRect(QRectF(cx - 2.5, top - 0.5, 5.0, bottom - top + 1.0), 2.0, 2.0);
}

// Band rows of the graphic EQ scale: every 3 dB, where the thumb's centre line stands at that gain.
int BandRow(const Control& c, int db) {
    return c.rect.top() + ThumbTop(c, c.faderHeight, db) + c.thumbHeight / 2;
}

void PaintBandFaders(QPainter& p, const Control& c) {
    const int top = c.rect.top();
    const int left = c.rect.left();
    const int right = left + c.faderCount * c.faderWidth;
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int v = 6; v >= -15; v -= 3)
        p.fillRect(QRect(left + 2, BandRow(c, v), right - left - 4, 1),
                   v == 0 ? QColor(0x3a, 0x47, 0x57) : QColor(0x1f, 0x27, 0x31));
    for (int i = 0; i < c.faderCount; ++i)
        PaintSlot(p, left + i * c.faderWidth + c.faderWidth / 2, top + c.thumbHeight / 2 - 2,
                  top + c.faderHeight - c.thumbHeight / 2 + 2);
}

void PaintSingleFader(QPainter& p, const Control& c) {
    const int cx = c.rect.left() + c.rect.width() / 2;
    const int top = c.rect.top();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int v = 6; v >= -24; v -= 6) {
        const int y = top + ThumbTop(c, c.rect.height(), v) + c.thumbHeight / 2;
        const int half = v == 0 ? 16 : 12;
        const QColor tick = v == 0 ? QColor(0x5a, 0x68, 0x79) : QColor(0x30, 0x3a, 0x46);
        p.fillRect(QRect(cx - half, y, half - 5, 1), tick);
        p.fillRect(QRect(cx + 5, y, half - 5, 1), tick);
    }
    PaintSlot(p, cx, top + c.thumbHeight / 2 - 2, top + c.rect.height() - c.thumbHeight / 2 + 2);
}

void PaintPlot(QPainter& p, const Control& c) {
    const PlotMap m(c);
    const QRect& r = c.rect;
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0.0, QColor(0x0b, 0x0f, 0x14));
    fill.setColorAt(1.0, QColor(0x08, 0x0a, 0x0e));
    p.fillRect(QRect(r.left(), r.top(), r.width() + 1, r.height() + 1), fill);
    const double fLeft = std::pow(10.0, m.logLeft), fRight = std::pow(10.0, m.logRight);
    for (double decade = 10.0; decade < fRight; decade *= 10.0)
        for (int k = 1; k <= 9; ++k) {
            const double f = decade * k;
            if (f <= fLeft || f >= fRight) continue;
            p.fillRect(QRect(m.X(f), r.top(), 1, r.height()), QColor(0x14, 0x1a, 0x22));
        }
    for (int db = m.FirstLine(); db <= m.gainTop; db += 3)
        p.fillRect(QRect(r.left(), m.Y(db), r.width(), 1),
                   db == 0 ? QColor(0x3c, 0x4a, 0x5b) : QColor(0x1c, 0x24, 0x2e));
    for (int f : kGridFrequencies) {
        const bool decade = f == 100 || f == 1000 || f == 10000;
        p.fillRect(QRect(m.X(f), r.top(), 1, r.height()),
                   decade ? QColor(0x2e, 0x3a, 0x48) : QColor(0x22, 0x2b, 0x36));
    }
    // Frame on the edge rows and columns of the mapping: the top and bottom gains, the end
    // frequencies.
    const QColor frame(0x3a, 0x46, 0x56);
    p.fillRect(QRect(r.left(), r.top(), r.width() + 1, 1), frame);
    p.fillRect(QRect(r.left(), r.top() + r.height(), r.width() + 1, 1), frame);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() + 1), frame);
    p.fillRect(QRect(r.left() + r.width(), r.top(), 1, r.height() + 1), frame);
}

// Scale texts of curves and the band fader bank, painted with the backgrounds and checked with
// the layout like every other text.
std::vector<Note> ScaleNotes(const Control& c, unsigned pages) {
    std::vector<Note> notes;
    const auto add = [&](QRect rect, const QString& text, bool strong, int align, int pixels = 9) {
        notes.push_back(
            {pages, rect, text, UiFont(pixels), strong ? kValueText : kCaptionText, align});
    };
    const int right = Qt::AlignRight | Qt::AlignVCenter;
    if (c.kind == Kind::Curve) {
        const PlotMap m(c);
        const QRect& r = c.rect;
        const int below = r.top() + r.height() + 4;
        for (int f : kGridFrequencies)
            add(QRect(m.X(f) - 20, below, 40, 12), FrequencyText(f), false, Qt::AlignCenter);
        for (int db = m.FirstLine(); db <= m.gainTop; db += 3)
            add(QRect(r.left() - 36, m.Y(db) - 7, 30, 14), Signed(db), db == 0, right);
        add(QRect(r.left() - 36, below + 2, 30, 12), QStringLiteral("Hz"), false, right);
        add(QRect(r.left() - 36, r.top() - 18, 30, 11), QStringLiteral("dB"), false, right);
    } else if (c.kind == Kind::BandFaders) {
        const int left = c.rect.left();
        const int below = c.rect.top() + c.faderHeight + 3;
        for (int v = 6; v >= -15; v -= 3)
            add(QRect(left - 34, BandRow(c, v) - 7, 28, 14), Signed(v), v == 0, right);
        add(QRect(left - 34, c.rect.top() - 16, 28, 11), QStringLiteral("dB"), false, right);
        for (int i = 0; i < c.faderCount; ++i)
            add(QRect(left + i * c.faderWidth - 1, below, c.faderWidth + 2, 13),
                FrequencyText(vantrel::EqBandFrequencies[static_cast<std::size_t>(i)]), false,
                Qt::AlignCenter, 8);
        add(QRect(left - 34, below, 28, 13), QStringLiteral("Hz"), false, right);
    }
    return notes;
}

// What every control leaves on the background around itself: fields, grooves, scales, captions.
void PaintControlGround(QPainter& p, const Control& c) {
    switch (c.kind) {
        case Kind::Edit:
            PaintField(p, c.rect);
            break;
        case Kind::List:
            PaintField(p, c.rect);
            PaintChevron(p, c.rect);
            break;
        case Kind::LevelBar:
            p.setRenderHint(QPainter::Antialiasing, false);
            p.fillRect(c.rect.adjusted(-1, -1, 1, 1), QColor(0x2a, 0x32, 0x3d));
            p.fillRect(c.rect, QColor(0x05, 0x07, 0x09));
            break;
        case Kind::Curve:
            PaintPlot(p, c);
            break;
        case Kind::BandFaders:
            PaintBandFaders(p, c);
            break;
        case Kind::Fader:
            PaintSingleFader(p, c);
            break;
        default:
            break;
    }
    if (c.chip) {
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, c.rect.top(), 0, c.rect.bottom());
        fill.setColorAt(0.0, QColor(0x26, 0x2e, 0x39));
        fill.setColorAt(1.0, QColor(0x1b, 0x21, 0x29));
        p.setPen(QPen(QColor(0x3c, 0x47, 0x55), 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(Inset(c.rect, 0.5), 3.5, 3.5);
    }
    if (!c.caption.text.isEmpty()) {
        p.setFont(CaptionFont());
        p.setPen(kCaptionText);
        p.drawText(c.caption.rect, c.caption.align, c.caption.text);
    }
}

}  // namespace

// Every free text of the backgrounds: the table's notes and the scales derived from its controls.
std::vector<Note> AllNotes(const Skin& skin) {
    std::vector<Note> notes = skin.notes;
    for (const Control& c : skin.controls) {
        const std::vector<Note> scale = ScaleNotes(c, c.pages);
        notes.insert(notes.end(), scale.begin(), scale.end());
    }
    return notes;
}

QImage PaintBackground(const Skin& skin, unsigned page, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0.0, kWindowTop);
    fill.setColorAt(1.0, kWindowBottom);
    p.fillRect(image.rect(), fill);
    for (const Panel& panel : skin.panels)
        if ((panel.pages & page) != 0) PaintPanel(p, panel);
    for (const Line& line : skin.lines)
        if ((line.pages & page) != 0) p.fillRect(line.rect, line.colour);
    for (const Control& c : skin.controls)
        if ((c.pages & page) != 0) PaintControlGround(p, c);
    for (const Note& note : AllNotes(skin))
        if ((note.pages & page) != 0) {
            p.setFont(note.font);
            p.setPen(note.colour);
            p.drawText(note.rect, note.align, note.text);
        }
    return image;
}

}  // namespace makeskin
