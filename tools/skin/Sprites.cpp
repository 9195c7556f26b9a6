#include "Sprites.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "Palette.h"

namespace makeskin {

QImage NewImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QRectF Inset(const QRect& rect, qreal by) { return QRectF(rect).adjusted(by, by, -by, -by); }

namespace {

// A key face: dark when standard, backlit in the accent colour when lit (checked or pressed).
void PaintKeyBody(QPainter& p, const QRect& area, bool lit) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = Inset(area, 0.5);
    QLinearGradient fill(0, area.top(), 0, area.bottom());
    if (lit) {
        fill.setColorAt(0.0, QColor(0x6a, 0x47, 0x0e));
        fill.setColorAt(1.0, QColor(0x44, 0x2d, 0x08));
    } else {
        fill.setColorAt(0.0, QColor(0x2f, 0x38, 0x45));
        fill.setColorAt(1.0, QColor(0x20, 0x27, 0x30));
    }
    p.setPen(QPen(lit ? kAccent : QColor(0x4a, 0x56, 0x66), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(body, 3.5, 3.5);
    // A lighter first row reads as a bevel.
    p.setPen(QPen(lit ? QColor(255, 210, 130, 90) : QColor(255, 255, 255, 26), 1.0));
    p.drawLine(QPointF(area.left() + 3.5, area.top() + 1.5),
               QPointF(area.right() - 2.5, area.top() + 1.5));
}

QColor KeyText(bool lit) { return lit ? QColor(0xff, 0xcf, 0x7a) : QColor(0xc8, 0xd0, 0xda); }

void PaintSymbol(QPainter& p, const QRect& area, QChar symbol, const QColor& colour) {
    p.setRenderHint(QPainter::Antialiasing, false);
    const int cx = area.left() + area.width() / 2;
    const int cy = area.top() + area.height() / 2;
    const int half = std::min(area.width(), area.height()) / 4;
    p.fillRect(QRect(cx - half, cy - 1, 2 * half, 2), colour);
    if (symbol == QLatin1Char('+')) p.fillRect(QRect(cx - 1, cy - half, 2, 2 * half), colour);
}

}  // namespace

QImage KeyImage(QSize size, const QString& caption, bool lit, int captionPixels) {
    QImage image = NewImage(size.width(), size.height());
    QPainter p(&image);
    PaintKeyBody(p, image.rect(), lit);
    if (caption == QLatin1String("+") || caption == kMinus) {
        PaintSymbol(p, image.rect(), caption.at(0), KeyText(lit));
    } else {
        p.setFont(UiFont(captionPixels, true, 0.6));
        p.setPen(KeyText(lit));
        p.drawText(image.rect().adjusted(0, 0, 0, -1), Qt::AlignCenter, caption);
    }
    return image;
}

// The maker's mark: a ring with a lit arc around a V, then the name.
QImage LogoImage(QSize size) {
    QImage image = NewImage(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = size.height() - 6;
    const QRectF ring(3.5, 3.5, d - 1, d - 1);
    p.setPen(QPen(QColor(0x3a, 0x45, 0x53), 3.0));
    p.drawEllipse(ring);
    p.setPen(QPen(kAccent, 3.0, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 225 * 16, -200 * 16);
    const QPointF c = ring.center();
    const qreal r = d * 0.22;
    QPainterPath vee;
    vee.moveTo(c.x() - r, c.y() - r * 0.8);
    vee.lineTo(c.x(), c.y() + r);
    vee.lineTo(c.x() + r, c.y() - r * 0.8);
    p.setPen(QPen(QColor(0xe8, 0xed, 0xf2), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(vee);
    const int textLeft = d + 14;
    p.setFont(UiFont(20, true, 3.0));
    p.setPen(QColor(0xec, 0xf0, 0xf4));
    p.drawText(QRect(textLeft, 1, size.width() - textLeft, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("VANTREL"));
    p.setFont(UiFont(8, true, 2.2));
    p.setPen(kCaptionText);
    p.drawText(QRect(textLeft + 1, 24, size.width() - textLeft, 12),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("DSP AMPLIFIER TUNING"));
    return image;
}

// WiFi key: five bars, `bars` of them bright; a slash over dim bars when there is no link.
QImage WifiImage(QSize size, int bars, bool noLink, bool lit) {
    QImage image = NewImage(size.width(), size.height());
    QPainter p(&image);
    PaintKeyBody(p, image.rect(), lit);
    p.setFont(UiFont(9, true, 0.6));
    p.setPen(KeyText(lit));
    p.drawText(QRect(7, 0, 30, size.height() - 1), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("WiFi"));
    p.setRenderHint(QPainter::Antialiasing, false);
    const int base = size.height() - 7;
    const int left = size.width() - 7 - 5 * 4 + 1;
    for (int i = 0; i < 5; ++i) {
        const int h = 4 + 3 * i;
        const QColor on = lit ? QColor(0xff, 0xcf, 0x7a) : QColor(0xe6, 0xeb, 0xf0);
        const QColor off = lit ? QColor(0x7a, 0x56, 0x1c) : QColor(0x46, 0x51, 0x5f);
        p.fillRect(QRect(left + 4 * i, base - h, 3, h), (!noLink && i < bars) ? on : off);
    }
    if (noLink) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kAlarm, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(left - 1.5, base - 15.5), QPointF(left + 19.5, base + 0.5));
    }
    return image;
}

namespace {

// One knob position: groove over 270 degrees, the value arc from the minimum, a body, a pointer.
void PaintKnobFrame(QPainter& p, const QRectF& box, double t, bool focused) {
    constexpr double kStart = 225.0, kSweep = 270.0;
    const QPointF c = box.center();
    const qreal outer = box.width() / 2.0;
    const QRectF arcBox(c.x() - (outer - 2.5), c.y() - (outer - 2.5), 2 * (outer - 2.5),
                        2 * (outer - 2.5));
    p.setPen(QPen(QColor(0x07, 0x09, 0x0c), 3.4, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arcBox, static_cast<int>(kStart * 16), static_cast<int>(-kSweep * 16));
    if (t > 0.0) {
        p.setPen(
            QPen(focused ? kAccent : QColor(0xd4, 0x8e, 0x22), 3.0, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(arcBox, static_cast<int>(kStart * 16),
                  static_cast<int>(std::lround(-kSweep * t * 16)));
    }
    const qreal bodyR = outer - 7.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawEllipse(QPointF(c.x(), c.y() + 1.5), bodyR + 0.5, bodyR + 0.5);
    QRadialGradient body(QPointF(c.x() - bodyR * 0.35, c.y() - bodyR * 0.45), bodyR * 1.6);
    body.setColorAt(0.0, QColor(0x56, 0x62, 0x71));
    body.setColorAt(0.55, QColor(0x2e, 0x36, 0x41));
    body.setColorAt(1.0, QColor(0x1a, 0x1f, 0x26));
    p.setBrush(body);
    p.setPen(QPen(focused ? QColor(0xb8, 0x82, 0x2a) : QColor(0x5a, 0x66, 0x75), 1.0));
    p.drawEllipse(c, bodyR, bodyR);
    const double a = (kStart - kSweep * t) * std::numbers::pi / 180.0;
    const QPointF dir(std::cos(a), -std::sin(a));
    p.setPen(QPen(focused ? QColor(0xff, 0xd0, 0x80) : QColor(0xe4, 0xe9, 0xee), 2.2, Qt::SolidLine,
                  Qt::RoundCap));
    p.drawLine(c + dir * (bodyR * 0.30), c + dir * (bodyR * 0.86));
}

}  // namespace

QImage KnobStrip(int size, int frames, bool focused) {
    QImage image = NewImage(size, size * frames);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int k = 0; k < frames; ++k) {
        const double t = frames > 1 ? static_cast<double>(k) / (frames - 1) : 0.0;
        PaintKnobFrame(p, QRectF(0, k * size, size, size), t, focused);
    }
    return image;
}

// A console fader cap, centred in a picture as wide as the fader's placement.
QImage ThumbImage(int width, int capWidth, int height, bool focused) {
    QImage image = NewImage(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal left = (width - capWidth) / 2.0;
    const QRectF cap(left + 0.5, 0.5, capWidth - 1.0, height - 1.0);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0.0, QColor(0xdc, 0xe1, 0xe7));
    fill.setColorAt(0.45, QColor(0xb2, 0xba, 0xc4));
    fill.setColorAt(0.55, QColor(0x9a, 0xa3, 0xae));
    fill.setColorAt(1.0, QColor(0x7c, 0x85, 0x91));
    p.setPen(QPen(QColor(0x0b, 0x0e, 0x12), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(cap, 2.0, 2.0);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int mid = height / 2;
    const int x0 = static_cast<int>(left) + 3;
    const int w = capWidth - 6;
    p.fillRect(QRect(x0, mid - 1, w, 2),
               focused ? QColor(0xe0, 0x8c, 0x10) : QColor(0x26, 0x2c, 0x34));
    const QColor grip(0x6a, 0x73, 0x7f);
    if (height >= 14) {
        p.fillRect(QRect(x0 + 2, mid - 4, w - 4, 1), grip);
        p.fillRect(QRect(x0 + 2, mid + 3, w - 4, 1), grip);
    }
    return image;
}

QImage LedImage(int size, const QColor& colour, bool lit) {
    QImage image = NewImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(size / 2.0, size / 2.0);
    const qreal r = size / 2.0 - 2.5;
    if (lit) {
        QRadialGradient glow(c, size / 2.0);
        QColor inner = colour;
        inner.setAlpha(110);
        QColor outer = colour;
        outer.setAlpha(0);
        glow.setColorAt(0.45, inner);
        glow.setColorAt(1.0, outer);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(c, size / 2.0, size / 2.0);
        QRadialGradient core(QPointF(c.x() - r * 0.3, c.y() - r * 0.3), r * 1.3);
        core.setColorAt(0.0, QColor(255, 248, 225));
        core.setColorAt(0.35, colour.lighter(115));
        core.setColorAt(1.0, colour.darker(130));
        p.setBrush(core);
        p.setPen(QPen(colour.darker(200), 0.8));
        p.drawEllipse(c, r, r);
    } else {
        QRadialGradient core(QPointF(c.x() - r * 0.3, c.y() - r * 0.3), r * 1.3);
        core.setColorAt(0.0, colour.darker(330));
        core.setColorAt(1.0, colour.darker(700));
        p.setBrush(core);
        p.setPen(QPen(QColor(0x05, 0x06, 0x08), 1.0));
        p.drawEllipse(c, r, r);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 40));
        p.drawEllipse(QPointF(c.x() - r * 0.35, c.y() - r * 0.35), r * 0.3, r * 0.3);
    }
    return image;
}

}  // namespace makeskin
