// vantrel-make-skin OUTDIR [--preview]
//
// Draws the default skin into OUTDIR/PNGRes: the skin file Res.Pic and every picture it names.
// One table (BuildSkin) places every control; the skin file, the captions and scales painted into
// the backgrounds and the preview all come from that table, so they cannot disagree.
//
// With --preview it also writes OUTDIR/preview-main.png, preview-eq.png and preview-spectrum.png:
// each page with every control's picture composited at its place and the labels' texts, so the
// look can be judged without running the program.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QRect>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "model/ParameterModel.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Look: colours, fonts

constexpr int kPageWidth = 1280;
constexpr int kPageHeight = 700;
constexpr int kSpectrumWidth = 960;
constexpr int kSpectrumHeight = 540;

const QColor kWindowTop(0x14, 0x19, 0x20);
const QColor kWindowBottom(0x0c, 0x0f, 0x14);
const QColor kPanelTop(0x1c, 0x23, 0x2c);
const QColor kPanelBottom(0x16, 0x1b, 0x22);
const QColor kPanelBorder(0x2e, 0x38, 0x45);
const QColor kBarTop(0x20, 0x27, 0x31);
const QColor kBarBottom(0x17, 0x1c, 0x23);
const QColor kDivider(0x28, 0x31, 0x3c);
const QColor kTitleText(0x93, 0xa0, 0xb0);
const QColor kCaptionText(0x7b, 0x88, 0x98);
const QColor kValueText(0xdf, 0xe5, 0xec);
const QColor kFieldFill(0x0a, 0x0d, 0x11);
const QColor kFieldBorder(0x2b, 0x34, 0x40);
const QColor kAccent(0xff, 0xb0, 0x2e);  // the one colour of everything lit
const QColor kAlarm(0xff, 0x45, 0x3a);   // protection only

const std::array<QColor, 6> kChannelColours = {
    QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(0, 0, 255),
    QColor(0, 204, 255), QColor(204, 0, 255), QColor(204, 255, 0),
};

// The channel colours as text: pure blue is too dark to read on the panels, so channel 3's
// labels use a lighter blue of the same hue.
const std::array<QColor, 6> kChannelTextColours = {
    QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(90, 130, 255),
    QColor(0, 204, 255), QColor(204, 0, 255), QColor(204, 255, 0),
};

const QString kFontName = QStringLiteral("DejaVu Sans");

QFont UiFont(int pixels, bool bold = false, qreal spacing = 0.0) {
    QFont font(kFontName);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QFont CaptionFont() { return UiFont(9, true, 0.4); }
QFont TitleFont() { return UiFont(10, true, 1.2); }

// The minus sign, not a hyphen, in captions and scales.
const QString kMinus = QString(QChar(0x2212));

QString Signed(int value) {
    if (value > 0) return QStringLiteral("+%1").arg(value);
    if (value < 0) return kMinus + QString::number(-value);
    return QStringLiteral("0");
}

// ---------------------------------------------------------------------------------------------
// The table

enum Page : unsigned { kMain = 1u, kEq = 2u, kBoth = 3u, kSpectrum = 4u };

enum class Kind { Button, Led, Knob, BandFaders, Fader, Label, Edit, List, LevelBar, Curve };

struct TextStyle {
    int height = 11;
    bool bold = false;
    QColor colour = kValueText;
};

struct Caption {
    QString text;
    QRect rect;
    int align = Qt::AlignCenter;
};

struct Control {
    QString section;
    Kind kind = Kind::Button;
    unsigned pages = kBoth;
    QRect rect;
    QString sta, alt;              // picture paths as the skin file writes them
    QStringList wifiSta, wifiAlt;  // WiFiBtn only: the six signal steps
    int stepHeight = 0, firstCentre = 0, stepNum = 0, valMul = 0;           // knobs
    int faderWidth = 0, faderHeight = 0, faderValMul = 0, thumbHeight = 0;  // faders
    int faderCount = 1;
    double minimum = 0.0, maximum = 1.0, value = 0.0;  // knobs and faders: scale and preview
    TextStyle text;                                    // labels, edits, lists
    QString initialText;
    QColor barColour;                                                            // level bars
    double valLeft = 12.6, valTop = -27.0, valRigth = 25119.0, valBottom = 9.0;  // curves
    Caption caption;          // painted into the background beside the control
    bool chip = false;        // labels that take clicks sit on a key-like chip
    bool previewLit = false;  // the preview shows the alternate picture
};

enum class PanelStyle { Panel, Bar, Display };

// A frame painted into a background; its title, if any, is a note.
struct Panel {
    unsigned pages = kBoth;
    QRect rect;
    PanelStyle style = PanelStyle::Panel;
    QColor stripe;  // a channel's colour along the top edge, when valid
};

// Free text painted into a background: panel titles, group captions, hints.
struct Note {
    unsigned pages = kBoth;
    QRect rect;
    QString text;
    QFont font;
    QColor colour;
    int align = Qt::AlignLeft | Qt::AlignVCenter;
};

struct Line {
    unsigned pages = kBoth;
    QRect rect;  // a filled rectangle, one pixel thin
    QColor colour;
};

struct Skin {
    std::vector<Control> controls;
    std::vector<Panel> panels;
    std::vector<Note> notes;
    std::vector<Line> lines;
    std::map<QString, QImage> pictures;  // by skin path
};

// ---------------------------------------------------------------------------------------------
// Pictures

QImage NewImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QRectF Inset(const QRect& rect, qreal by) { return QRectF(rect).adjusted(by, by, -by, -by); }

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

// ---------------------------------------------------------------------------------------------
// Building the table

constexpr int kMargin = 14;
constexpr int kColumnWidth = 202;
constexpr int kColumnGap = 8;
int ColumnX(int column) { return kMargin + column * (kColumnWidth + kColumnGap); }

// Vertical bands of the two pages.
constexpr int kHeaderBottom = 56;
constexpr int kCardTop = 62, kCardHeight = 98;
constexpr int kDelayTop = 168, kDelayHeight = 140;
constexpr int kStripTop = kDelayTop + kDelayHeight + 8;
constexpr int kStatusTop = 654;
constexpr int kEqRowTop = 168, kEqRowBHeight = 230;
constexpr int kEqRowBTop = kStatusTop - 6 - kEqRowBHeight;

constexpr int kKnobFrames = 101;  // StepNum 100: one frame per percent of the range
constexpr int kBandPitch = 25;
constexpr int kBandThumbHeight = 12;
constexpr int kGainThumbHeight = 16;

QString FrequencyText(int hz) {
    if (hz < 1000) return QString::number(hz);
    if (hz % 1000 == 0) return QStringLiteral("%1k").arg(hz / 1000);
    QString text = QString::number(hz / 1000.0, 'f', 2);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    return text + QLatin1Char('k');
}

QString Slug(const QString& caption) {
    if (caption == QLatin1String("+")) return QStringLiteral("Plus");
    if (caption == kMinus) return QStringLiteral("Minus");
    QString slug;
    for (QChar ch : caption)
        if (ch.isLetterOrNumber()) slug += ch;
    return slug;
}

class SkinBuilder {
public:
    Skin skin;

    QString Picture(const QString& path, const std::function<QImage()>& make) {
        if (skin.pictures.find(path) == skin.pictures.end()) skin.pictures.emplace(path, make());
        return path;
    }

    Control& Add(Control control) {
        skin.controls.push_back(std::move(control));
        return skin.controls.back();
    }

    Control& Button(const QString& section, unsigned pages, QRect rect, const QString& caption,
                    int captionPixels = 10) {
        Control c;
        c.section = section;
        c.kind = Kind::Button;
        c.pages = pages;
        c.rect = rect;
        const QString stem = QStringLiteral("PNGRes\\Buttons\\%1_%2x%3")
                                 .arg(Slug(caption))
                                 .arg(rect.width())
                                 .arg(rect.height());
        const QSize size = rect.size();
        c.sta = Picture(stem + QStringLiteral(".png"),
                        [=] { return KeyImage(size, caption, false, captionPixels); });
        c.alt = Picture(stem + QStringLiteral("_On.png"),
                        [=] { return KeyImage(size, caption, true, captionPixels); });
        return Add(c);
    }

    Control& Led(const QString& section, unsigned pages, QPoint at, bool alarm) {
        constexpr int kLedSize = 14;
        Control c;
        c.section = section;
        c.kind = Kind::Led;
        c.pages = pages;
        c.rect = QRect(at, QSize(kLedSize, kLedSize));
        const QColor colour = alarm ? kAlarm : kAccent;
        const QString stem =
            alarm ? QStringLiteral("PNGRes\\Leds\\Alarm") : QStringLiteral("PNGRes\\Leds\\Amber");
        c.sta = Picture(stem + QStringLiteral("_On.png"),
                        [=] { return LedImage(kLedSize, colour, true); });
        c.alt = Picture(stem + QStringLiteral("_Off.png"),
                        [=] { return LedImage(kLedSize, colour, false); });
        return Add(c);
    }

    Control& Knob(const QString& section, unsigned pages, QPoint at, int size, double minimum,
                  double maximum, double value) {
        Control c;
        c.section = section;
        c.kind = Kind::Knob;
        c.pages = pages;
        c.rect = QRect(at, QSize(size, size));
        c.stepHeight = size;
        c.firstCentre = size / 2;
        c.stepNum = kKnobFrames - 1;
        c.valMul = 10;
        c.minimum = minimum;
        c.maximum = maximum;
        c.value = value;
        const QString stem = QStringLiteral("PNGRes\\Knobs\\Knob%1").arg(size);
        c.sta = Picture(stem + QStringLiteral("_Focus.png"),
                        [=] { return KnobStrip(size, kKnobFrames, true); });
        c.alt = Picture(stem + QStringLiteral(".png"),
                        [=] { return KnobStrip(size, kKnobFrames, false); });
        return Add(c);
    }

    Control& Fader(const QString& section, unsigned pages, QRect rect, int capWidth,
                   int thumbHeight, double minimum, double maximum) {
        Control c;
        c.section = section;
        c.kind = Kind::Fader;
        c.pages = pages;
        c.rect = rect;
        c.faderValMul = 10;
        c.thumbHeight = thumbHeight;
        c.minimum = minimum;
        c.maximum = maximum;
        const int width = rect.width();
        const QString stem =
            QStringLiteral("PNGRes\\Faders\\Thumb%1x%2").arg(width).arg(thumbHeight);
        c.sta = Picture(stem + QStringLiteral("_Focus.png"),
                        [=] { return ThumbImage(width, capWidth, thumbHeight, true); });
        c.alt = Picture(stem + QStringLiteral(".png"),
                        [=] { return ThumbImage(width, capWidth, thumbHeight, false); });
        return Add(c);
    }

    Control& Text(Kind kind, const QString& section, unsigned pages, QRect rect, TextStyle style,
                  const QString& initial) {
        Control c;
        c.section = section;
        c.kind = kind;
        c.pages = pages;
        c.rect = rect;
        c.text = style;
        c.initialText = initial;
        return Add(c);
    }

    Control& LevelBar(const QString& section, unsigned pages, QRect rect, const QColor& colour) {
        Control c;
        c.section = section;
        c.kind = Kind::LevelBar;
        c.pages = pages;
        c.rect = rect;
        c.barColour = colour;
        return Add(c);
    }

    Control& Curve(const QString& section, unsigned pages, QRect rect) {
        Control c;
        c.section = section;
        c.kind = Kind::Curve;
        c.pages = pages;
        c.rect = rect;
        return Add(c);
    }

    void AddPanel(unsigned pages, QRect rect, const QString& title, QColor stripe = QColor()) {
        skin.panels.push_back({pages, rect, PanelStyle::Panel, stripe});
        if (!title.isEmpty())
            AddNote(pages, QRect(rect.left() + 10, rect.top() + 6, rect.width() - 20, 16), title,
                    TitleFont(), kTitleText);
    }

    void AddBar(unsigned pages, QRect rect) {
        skin.panels.push_back({pages, rect, PanelStyle::Bar, QColor()});
    }

    void AddNote(unsigned pages, QRect rect, const QString& text, const QFont& font,
                 const QColor& colour, int align = Qt::AlignLeft | Qt::AlignVCenter) {
        skin.notes.push_back({pages, rect, text, font, colour, align});
    }

    void AddDivider(unsigned pages, QRect rect) { skin.lines.push_back({pages, rect, kDivider}); }

    const Control* Find(const QString& section) const {
        for (const Control& c : skin.controls)
            if (c.section == section) return &c;
        return nullptr;
    }

    // A caption over a group of controls, from their rectangles as the table has them.
    void GroupCaption(const QString& text, const QStringList& sections, int align = Qt::AlignLeft) {
        QRect united;
        unsigned pages = 0;
        for (const QString& s : sections) {
            const Control* c = Find(s);
            if (c == nullptr) continue;
            united = united.united(c->rect);
            pages |= c->pages;
        }
        AddNote(pages, QRect(united.left(), united.top() - 15, united.width(), 12), text,
                CaptionFont(), kCaptionText, align | Qt::AlignVCenter);
    }
};

void CaptionAbove(Control& c, const QString& text, int gap = 3) {
    c.caption = {text, QRect(c.rect.left() - 8, c.rect.top() - gap - 11, c.rect.width() + 16, 11),
                 Qt::AlignCenter};
}

void CaptionLeft(Control& c, const QString& text, int width) {
    c.caption = {text, QRect(c.rect.left() - width, c.rect.top(), width - 4, c.rect.height()),
                 Qt::AlignLeft | Qt::AlignVCenter};
}

QString Indexed(const char* base, int i) { return QString::fromLatin1(base) + QString::number(i); }

const TextStyle kValueStyle{11, false, kValueText};
const TextStyle kEditStyle{12, false, QColor(0xee, 0xf1, 0xf5)};
const TextStyle kSmallEditStyle{11, false, QColor(0xee, 0xf1, 0xf5)};
const TextStyle kPointEditStyle{10, false, QColor(0xee, 0xf1, 0xf5)};
const TextStyle kPromptStyle{11, false, QColor(0xc2, 0xcb, 0xd6)};
const TextStyle kStatusStyle{12, true, kValueText};

void BuildHeader(SkinBuilder& b) {
    b.AddBar(kBoth, QRect(0, 0, kPageWidth, kHeaderBottom));
    Control logo;
    logo.section = QStringLiteral("LogoBtn");
    logo.kind = Kind::Button;
    logo.pages = kBoth;
    logo.rect = QRect(kMargin, 8, 214, 40);
    logo.sta = logo.alt = b.Picture(QStringLiteral("PNGRes\\Buttons\\Logo.png"),
                                    [] { return LogoImage(QSize(214, 40)); });
    b.Add(logo);

    // Key groups from left to right; the model and the link sit at the right end.
    constexpr int kTop = 21, kH = 28, kKeyGap = 4, kGroupGap = 30;
    int x = 256;
    const auto key = [&](int width) {
        const QRect r(x, kTop, width, kH);
        x += width + kKeyGap;
        return r;
    };
    const auto group = [&] { x += kGroupGap - kKeyGap; };
    for (int i = 0; i < 4; ++i)
        b.Button(Indexed("SetupBtn", i), kBoth, key(32), QString::number(i + 1), 12).previewLit =
            i == 0;
    group();
    b.Button(QStringLiteral("OpenBtn"), kBoth, key(60), QStringLiteral("OPEN"));
    b.Button(QStringLiteral("SaveBtn"), kBoth, key(60), QStringLiteral("SAVE"));
    group();
    b.Button(QStringLiteral("StoreBtn"), kBoth, key(64), QStringLiteral("STORE"));
    b.Button(QStringLiteral("ResetBtn"), kBoth, key(64), QStringLiteral("RESET"));
    group();
    b.Button(QStringLiteral("MuteBtn"), kBoth, key(58), QStringLiteral("MUTE"));
    b.Button(QStringLiteral("ExitBtn"), kBoth, key(64), QStringLiteral("NOISE"));
    group();
    // The page key: EQ on the main page, HOME on the EQ page, at one place.
    const QRect page = key(62);
    b.Button(QStringLiteral("EQLoadBtn"), kMain, page, QStringLiteral("EQ"));
    b.Button(QStringLiteral("HomeBtn"), kEq, page, QStringLiteral("HOME"));

    Control wifi;
    wifi.section = QStringLiteral("WiFiBtn");
    wifi.kind = Kind::Button;
    wifi.pages = kBoth;
    wifi.rect = QRect(kPageWidth - kMargin - 64, kTop, 64, kH);
    const QSize wifiSize = wifi.rect.size();
    wifi.sta = b.Picture(QStringLiteral("PNGRes\\WiFi\\NoLink.png"),
                         [=] { return WifiImage(wifiSize, 0, true, false); });
    wifi.alt = b.Picture(QStringLiteral("PNGRes\\WiFi\\NoLink_On.png"),
                         [=] { return WifiImage(wifiSize, 0, true, true); });
    for (int step = 0; step < 6; ++step) {
        wifi.wifiSta << b.Picture(QStringLiteral("PNGRes\\WiFi\\Signal%1.png").arg(step),
                                  [=] { return WifiImage(wifiSize, step, false, false); });
        wifi.wifiAlt << b.Picture(QStringLiteral("PNGRes\\WiFi\\Signal%1_On.png").arg(step),
                                  [=] { return WifiImage(wifiSize, step, false, true); });
    }
    b.Add(wifi);
    b.Text(Kind::Label, QStringLiteral("ModelStc"), kBoth,
           QRect(wifi.rect.left() - 30 - 198, kTop, 198, kH),
           TextStyle{14, true, QColor(0xec, 0xf0, 0xf4)}, QStringLiteral("KV-PX6 "));
}

// Captions of header groups; after every control exists so the table gives their extent.
void BuildHeaderCaptions(SkinBuilder& b) {
    b.GroupCaption(QStringLiteral("SETUP"),
                   {QStringLiteral("SetupBtn0"), QStringLiteral("SetupBtn3")});
    b.GroupCaption(QStringLiteral("PRESET FILE"),
                   {QStringLiteral("OpenBtn"), QStringLiteral("SaveBtn")});
    b.GroupCaption(QStringLiteral("AMPLIFIER"),
                   {QStringLiteral("StoreBtn"), QStringLiteral("ResetBtn")});
    b.GroupCaption(QStringLiteral("OUTPUT"),
                   {QStringLiteral("MuteBtn"), QStringLiteral("ExitBtn")});
    b.GroupCaption(QStringLiteral("PAGE"), {QStringLiteral("EQLoadBtn")});
    b.GroupCaption(QStringLiteral("MODEL"), {QStringLiteral("ModelStc")}, Qt::AlignHCenter);
    b.GroupCaption(QStringLiteral("LINK"), {QStringLiteral("WiFiBtn")});
}

void BuildChannelCards(SkinBuilder& b) {
    for (int c = 0; c < 6; ++c) {
        const int x = ColumnX(c);
        b.AddPanel(kBoth, QRect(x, kCardTop, kColumnWidth, kCardHeight), QString(),
                   kChannelColours[static_cast<std::size_t>(c)]);
        b.Text(Kind::Label, Indexed("ChStc", c), kBoth, QRect(x + 8, kCardTop + 7, 52, 20),
               TextStyle{14, true, kChannelTextColours[static_cast<std::size_t>(c)]},
               QStringLiteral("CH %1").arg(c + 1));
        b.Text(Kind::List, Indexed("ChCBox", c), kBoth, QRect(x + 66, kCardTop + 8, 128, 18),
               kValueStyle, QStringLiteral("Not used"));
        Control& bar = b.LevelBar(Indexed("CHLevelBar", c), kBoth,
                                  QRect(x + 52, kCardTop + 36, 142, 6), kAccent);
        CaptionLeft(bar, QStringLiteral("LEVEL"), 44);
        bar.caption.rect.adjust(0, -4, 0, 4);
        struct Cell {
            const char* base;
            const char* caption;
            const char* initial;
            int column, row;
        };
        const Cell cells[] = {
            {"ChFLMkStc", "FILTER", "OFF", 0, 0},  {"ChHPFStc", "HPF Hz", "1000", 0, 1},
            {"ChLPFStc", "LPF Hz", "10000", 0, 2}, {"ChDLYStc", "DLY ms", "0", 1, 0},
            {"ChTRIMStc", "TRIM dB", "0", 1, 1},   {"ChEQStc", "EQ", "OFF", 1, 2},
        };
        for (const Cell& cell : cells) {
            Control& l = b.Text(Kind::Label, Indexed(cell.base, c), kBoth,
                                QRect(x + 52 + cell.column * 96, kCardTop + 50 + cell.row * 15,
                                      44 + cell.column * 2, 15),
                                kValueStyle, QString::fromLatin1(cell.initial));
            CaptionLeft(l, QString::fromLatin1(cell.caption), cell.column == 0 ? 44 : 48);
        }
    }
}

void BuildDelayBlocks(SkinBuilder& b) {
    for (int c = 0; c < 6; ++c) {
        const int x = ColumnX(c);
        const int y = kDelayTop;
        b.AddPanel(kMain, QRect(x, y, kColumnWidth, kDelayHeight),
                   QStringLiteral("DELAY  CH %1").arg(c + 1));
        b.Led(Indexed("TimeLedStc", c), kMain, QPoint(x + 134, y + 7), false);
        b.Button(Indexed("TimeONBtn", c), kMain, QRect(x + 152, y + 5, 40, 18),
                 QStringLiteral("ON"), 9);
        b.AddDivider(kMain, QRect(x + 10, y + 28, kColumnWidth - 20, 1));
        Control& time =
            b.Knob(Indexed("TimeDlyKnob", c), kMain, QPoint(x + 29, y + 49), 44, 0.0, 20.0, 0.0);
        CaptionAbove(time, QStringLiteral("TIME"));
        Control& trim =
            b.Knob(Indexed("TimeAtnKnob", c), kMain, QPoint(x + 129, y + 49), 44, 0.0, 30.0, 0.0);
        CaptionAbove(trim, QStringLiteral("TRIM"));
        b.Text(Kind::Edit, Indexed("DlyTimeEdt", c), kMain, QRect(x + 12, y + 99, 78, 16),
               kSmallEditStyle, QStringLiteral("0 ms"));
        b.Text(Kind::Edit, Indexed("DlyDisEdt", c), kMain, QRect(x + 12, y + 119, 78, 16),
               kSmallEditStyle, QStringLiteral("0 cm"));
        b.Text(Kind::Edit, Indexed("TrimEdt", c), kMain, QRect(x + 112, y + 99, 78, 16),
               kSmallEditStyle, QStringLiteral("0 dB"));
    }
}

void BuildPairStrips(SkinBuilder& b) {
    const int h = kStatusTop - 6 - kStripTop;
    for (int p = 0; p < 3; ++p) {
        const int x = ColumnX(p);
        const int y = kStripTop;
        b.AddPanel(kMain, QRect(x, y, kColumnWidth, h),
                   QStringLiteral("OUTPUT %1 + %2").arg(2 * p + 1).arg(2 * p + 2));
        b.Button(Indexed("GroupBtn", p), kMain, QRect(x + 144, y + 5, 48, 20),
                 QStringLiteral("LINK"), 9);
        for (int k = 0; k < 2; ++k) {
            const int ch = 2 * p + k;
            Control& sel =
                b.Button(Indexed("GroupCtlBtn", ch), kMain, QRect(x + 10 + k * 95, y + 34, 87, 24),
                         QStringLiteral("CH %1").arg(ch + 1), 11);
            sel.previewLit = k == 0;
        }
        const int levelTop = y + 70, highTop = y + 140, lowTop = y + 232;
        b.AddDivider(kMain, QRect(x + 10, levelTop - 8, kColumnWidth - 20, 1));
        b.AddNote(kMain, QRect(x + 10, levelTop, 80, 20), QStringLiteral("LEVEL"), TitleFont(),
                  kTitleText);
        b.Button(Indexed("LevelMuteBtn", p), kMain, QRect(x + 94, levelTop, 46, 20),
                 QStringLiteral("MUTE"), 9);
        b.Button(Indexed("LevelLockBtn", p), kMain, QRect(x + 144, levelTop, 48, 20),
                 QStringLiteral("LOCK"), 9);
        b.Button(Indexed("LevelReduceBtn", p), kMain, QRect(x + 10, levelTop + 28, 26, 24), kMinus);
        b.Text(Kind::Edit, Indexed("LevelEdit", p), kMain, QRect(x + 40, levelTop + 28, 122, 24),
               kEditStyle, QStringLiteral("0 %"));
        b.Button(Indexed("LevelPlusBtn", p), kMain, QRect(x + 166, levelTop + 28, 26, 24),
                 QStringLiteral("+"));

        const char* const slopes[] = {"6", "12", "24", "36", "48"};
        for (int f = 0; f < 2; ++f) {
            const int top = f == 0 ? highTop : lowTop;
            const char* prefix = f == 0 ? "High" : "Low";
            b.AddDivider(kMain, QRect(x + 10, top - 10, kColumnWidth - 20, 1));
            b.AddNote(kMain, QRect(x + 10, top, 80, 20),
                      f == 0 ? QStringLiteral("HIGH-PASS") : QStringLiteral("LOW-PASS"),
                      TitleFont(), kTitleText);
            b.Button(QStringLiteral("%1ONBtn%2").arg(QLatin1String(prefix)).arg(p), kMain,
                     QRect(x + 94, top, 46, 20), QStringLiteral("ON"), 9);
            b.Button(QStringLiteral("%1LockBtn%2").arg(QLatin1String(prefix)).arg(p), kMain,
                     QRect(x + 144, top, 48, 20), QStringLiteral("LOCK"), 9);
            b.Button(QStringLiteral("%1ReduceBtn%2").arg(QLatin1String(prefix)).arg(p), kMain,
                     QRect(x + 10, top + 28, 26, 24), kMinus);
            b.Text(Kind::Edit, QStringLiteral("%1PassEdit%2").arg(QLatin1String(prefix)).arg(p),
                   kMain, QRect(x + 40, top + 28, 122, 24), kEditStyle,
                   f == 0 ? QStringLiteral("1000 Hz") : QStringLiteral("10000 Hz"));
            b.Button(QStringLiteral("%1PlusBtn%2").arg(QLatin1String(prefix)).arg(p), kMain,
                     QRect(x + 166, top + 28, 26, 24), QStringLiteral("+"));
            for (int s = 0; s < 5; ++s) {
                Control& slope = b.Button(QStringLiteral("%1%2dBBtn%3")
                                              .arg(QLatin1String(prefix), QLatin1String(slopes[s]))
                                              .arg(p),
                                          kMain, QRect(x + 10 + s * 37, top + 60, 34, 20),
                                          QStringLiteral("%1dB").arg(QLatin1String(slopes[s])), 9);
                slope.previewLit = s == 1;
            }
        }
    }
}

// Scale of a response curve, laid out with the mapping the curve control draws with.
struct PlotMap {
    QRect r;
    double logLeft, logRight, gainBottom, gainTop;

    explicit PlotMap(const Control& c)
        : r(c.rect),
          logLeft(std::log10(static_cast<double>(static_cast<float>(c.valLeft)))),
          logRight(std::log10(static_cast<double>(static_cast<float>(c.valRigth)))),
          gainBottom(static_cast<double>(static_cast<float>(c.valTop))),
          gainTop(static_cast<double>(static_cast<float>(c.valBottom))) {}

    int X(double hz) const {
        const double v =
            std::floor((std::log10(hz) - logLeft) * r.width() / (logRight - logLeft) + 0.5);
        return r.left() + std::clamp(static_cast<int>(v), 0, r.width());
    }
    int Y(double db) const {
        const double v =
            std::trunc(r.height() - (db - gainBottom) * r.height() / (gainTop - gainBottom) + 0.5);
        return r.top() + std::clamp(static_cast<int>(v), 0, r.height());
    }
    // The lowest gain line: the bottom edge rounded up to a multiple of 3 dB.
    int FirstLine() const { return static_cast<int>(std::ceil(gainBottom / 3.0)) * 3; }
};

constexpr std::array<int, 10> kGridFrequencies = {20,   50,   100,  200,   500,
                                                  1000, 2000, 5000, 10000, 20000};

void BuildMainCurve(SkinBuilder& b) {
    const QRect panel(ColumnX(3), kStripTop, kPageWidth - kMargin - ColumnX(3),
                      kStatusTop - 6 - kStripTop);
    b.AddPanel(kMain, panel, QStringLiteral("RESPONSE"));
    const int top = panel.top() + 5;
    b.Button(QStringLiteral("EQLoad2Btn"), kMain, QRect(panel.right() - 9 - 62, top, 62, 22),
             QStringLiteral("EQ"), 10);
    b.Button(QStringLiteral("ZoomBtn"), kMain, QRect(panel.right() - 9 - 62 - 4 - 62, top, 62, 22),
             QStringLiteral("ZOOM"), 10);
    b.Button(QStringLiteral("BypassBtn"), kMain,
             QRect(panel.right() - 9 - 128 - 4 - 72, top, 72, 22), QStringLiteral("BYPASS"), 10);
    for (int c = 0; c < 6; ++c)
        b.Text(Kind::Label, Indexed("SpChStc", c), kMain,
               QRect(panel.left() + 100 + c * 44, top + 2, 40, 18),
               TextStyle{11, true, kChannelTextColours[static_cast<std::size_t>(c)]},
               QStringLiteral("CH%1").arg(c + 1));
    b.Curve(QStringLiteral("SpectrumCurve"), kMain,
            QRect(panel.left() + 46, panel.top() + 42, panel.width() - 46 - 14,
                  panel.height() - 42 - 24));
}

void BuildEqPage(SkinBuilder& b) {
    const int rowAHeight = kEqRowBTop - 8 - kEqRowTop;
    // Channel selection, pair by pair.
    {
        const int x = ColumnX(0);
        b.AddPanel(kEq, QRect(x, kEqRowTop, kColumnWidth, rowAHeight),
                   QStringLiteral("EQ CHANNELS"));
        for (int p = 0; p < 3; ++p) {
            const int y0 = kEqRowTop + 36 + p * 66;
            if (p > 0) b.AddDivider(kEq, QRect(x + 10, y0 - 8, kColumnWidth - 20, 1));
            for (int k = 0; k < 2; ++k) {
                const int ch = 2 * p + k;
                const int y = y0 + k * 28;
                b.Text(Kind::Label, Indexed("EQSpChStc", ch), kEq, QRect(x + 8, y, 40, 24),
                       TextStyle{12, true, kChannelTextColours[static_cast<std::size_t>(ch)]},
                       QStringLiteral("CH%1").arg(ch + 1));
                Control& edit = b.Button(Indexed("EqGroupBtn", ch), kEq, QRect(x + 50, y, 48, 24),
                                         QStringLiteral("EDIT"), 9);
                edit.previewLit = ch == 0;
                b.Button(Indexed("EQMuteBtn", ch), kEq, QRect(x + 102, y, 46, 24),
                         QStringLiteral("MUTE"), 9);
            }
            b.Button(Indexed("Eq2GroupBtn", p), kEq, QRect(x + 154, y0, 38, 52),
                     QStringLiteral("LINK"), 9);
        }
    }
    // Response with the draggable points.
    {
        const QRect panel(ColumnX(1), kEqRowTop, kPageWidth - kMargin - ColumnX(1), rowAHeight);
        b.AddPanel(kEq, panel, QStringLiteral("EQ RESPONSE"));
        const int top = panel.top() + 5;
        b.Button(QStringLiteral("EQBack2Btn"), kEq, QRect(panel.right() - 9 - 62, top, 62, 22),
                 QStringLiteral("BACK"), 10);
        b.Button(QStringLiteral("EQZoomBtn"), kEq, QRect(panel.right() - 9 - 128, top, 62, 22),
                 QStringLiteral("ZOOM"), 10);
        b.Button(QStringLiteral("EQBypassBtn"), kEq,
                 QRect(panel.right() - 9 - 128 - 4 - 72, top, 72, 22), QStringLiteral("BYPASS"),
                 10);
        b.Curve(QStringLiteral("EQSpectrumCurve"), kEq,
                QRect(panel.left() + 46, panel.top() + 40, panel.width() - 46 - 14,
                      panel.height() - 40 - 24));
    }
    // Graphic EQ: 27 faders from one section.
    const int bankLeft = kMargin + 40;
    const int bankRight = bankLeft + vantrel::kEqBandCount * kBandPitch;
    {
        const QRect panel(kMargin, kEqRowBTop, bankRight + 10 - kMargin, kEqRowBHeight);
        b.AddPanel(kEq, panel, QStringLiteral("GRAPHIC EQ"));
        const int top = panel.top() + 5;
        b.Button(QStringLiteral("EQResetBtn"), kEq, QRect(panel.right() - 9 - 62, top, 62, 20),
                 QStringLiteral("RESET"), 9);
        Control& gain = b.Text(Kind::Edit, QStringLiteral("EQBandGainEdt"), kEq,
                               QRect(panel.right() - 9 - 62 - 16 - 70, top, 70, 20),
                               kSmallEditStyle, QStringLiteral("0 dB"));
        CaptionLeft(gain, QStringLiteral("GAIN"), 34);
        Control& freq = b.Text(Kind::Edit, QStringLiteral("EQBandFreqEdt"), kEq,
                               QRect(gain.rect.left() - 38 - 16 - 78, top, 78, 20), kSmallEditStyle,
                               QStringLiteral("40 Hz"));
        CaptionLeft(freq, QStringLiteral("BAND"), 38);
        Control bank;
        bank.section = QStringLiteral("EQBandFader");
        bank.kind = Kind::BandFaders;
        bank.pages = kEq;
        const int faderTop = panel.top() + 38;
        bank.faderWidth = kBandPitch;
        bank.faderHeight = panel.bottom() - 22 - faderTop;
        bank.rect = QRect(bankLeft, faderTop, kBandPitch, bank.faderHeight);
        bank.faderCount = vantrel::kEqBandCount;
        bank.faderValMul = 10;
        bank.thumbHeight = kBandThumbHeight;
        bank.minimum = -15.0;
        bank.maximum = 6.0;
        bank.sta = b.Picture(QStringLiteral("PNGRes\\Faders\\Band_Focus.png"), [] {
            return ThumbImage(kBandPitch, kBandPitch - 6, kBandThumbHeight, true);
        });
        bank.alt = b.Picture(QStringLiteral("PNGRes\\Faders\\Band.png"), [] {
            return ThumbImage(kBandPitch, kBandPitch - 6, kBandThumbHeight, false);
        });
        b.Add(bank);
    }
    // The four parametric points.
    {
        const QRect panel(bankRight + 18, kEqRowBTop, kPageWidth - kMargin - bankRight - 18,
                          kEqRowBHeight);
        b.AddPanel(kEq, panel, QStringLiteral("PARAMETRIC EQ"));
        const int columnWidth = (panel.width() - 20) / 4;
        for (int j = 0; j < 4; ++j) {
            const int cx = panel.left() + 10 + j * columnWidth;
            const int y = panel.top() + 30;
            if (j > 0) b.AddDivider(kEq, QRect(cx - 1, y, 1, panel.height() - 40));
            b.Led(Indexed("CEQLedStc", j), kEq, QPoint(cx + 4, y + 3), false);
            b.AddNote(kEq, QRect(cx + 21, y, 40, 20), QStringLiteral("PEQ%1").arg(j + 1),
                      UiFont(10, true, 0.6), kValueText);
            b.Button(Indexed("CEQPassBtn", j), kEq, QRect(cx + columnWidth - 58, y, 52, 20),
                     QStringLiteral("BYPASS"), 9);
            const int leftCentre = cx + 34;
            Control& fcy = b.Knob(Indexed("CEQFcyKnob", j), kEq, QPoint(leftCentre - 20, y + 44),
                                  40, 1.2, 4.32, 3.0);
            CaptionAbove(fcy, QStringLiteral("FREQ"));
            b.Text(Kind::Edit, Indexed("CustmEQFreqEdt", j), kEq, QRect(cx + 4, y + 87, 60, 16),
                   kPointEditStyle, QStringLiteral("0"));
            Control& q = b.Knob(Indexed("CEQQKnob", j), kEq, QPoint(leftCentre - 20, y + 122), 40,
                                0.4, 24.0, 3.0);
            CaptionAbove(q, QStringLiteral("Q"));
            b.Text(Kind::Edit, Indexed("CustmEQQEdt", j), kEq, QRect(cx + 4, y + 165, 60, 16),
                   kPointEditStyle, QStringLiteral("0"));
            const int rightLeft = cx + 68;
            Control& gain =
                b.Fader(Indexed("CustmEQFader", j), kEq, QRect(rightLeft + 8, y + 44, 36, 118), 30,
                        kGainThumbHeight, -24.0, 6.0);
            CaptionAbove(gain, QStringLiteral("GAIN"));
            b.Text(Kind::Edit, Indexed("CustmEQGainEdt", j), kEq, QRect(rightLeft, y + 165, 52, 16),
                   kPointEditStyle, QStringLiteral("0 dB"));
        }
    }
}

void BuildStatus(SkinBuilder& b) {
    b.AddBar(kBoth, QRect(0, kStatusTop, kPageWidth, kPageHeight - kStatusTop));
    const int y = kStatusTop + 6;
    b.Text(Kind::Label, QStringLiteral("Prompt1Stc"), kBoth, QRect(kMargin + 8, y + 1, 600, 16),
           kPromptStyle, QString());
    b.Text(Kind::Label, QStringLiteral("Prompt2Stc"), kBoth, QRect(kMargin + 8, y + 18, 600, 16),
           kPromptStyle, QString());
    b.skin.panels.push_back({kBoth, QRect(kMargin, y - 2, 616, 38), PanelStyle::Display, QColor()});
    struct Cell {
        const char* section;
        const char* caption;
        const char* initial;
        int left, width;
    };
    const Cell cells[] = {
        {"VoltageStc", "SUPPLY", "- V", 700, 100},
        {"TempStc", "TEMPERATURE", "- C", 820, 100},
        {"RunTimeStc", "RUNNING TIME", "-", 940, 110},
    };
    for (const Cell& cell : cells) {
        Control& l = b.Text(Kind::Label, QString::fromLatin1(cell.section), kBoth,
                            QRect(cell.left, y + 17, cell.width, 18), kStatusStyle,
                            QString::fromLatin1(cell.initial));
        l.caption = {QString::fromLatin1(cell.caption), QRect(cell.left, y + 2, cell.width, 12),
                     Qt::AlignCenter};
    }
    for (int i = 0; i < 3; ++i)
        b.Led(Indexed("ClipLedStc", i), kMain, QPoint(1090 + i * 22, y + 17), true);
    b.GroupCaption(QStringLiteral("PROTECT"),
                   {QStringLiteral("ClipLedStc0"), QStringLiteral("ClipLedStc2")},
                   Qt::AlignHCenter);
}

void BuildSpectrumWindow(SkinBuilder& b) {
    const QRect panel(kMargin, kMargin, kSpectrumWidth - 2 * kMargin,
                      kSpectrumHeight - 2 * kMargin);
    // The window's own title names it; the top row holds the channel chips.
    b.AddPanel(kSpectrum, panel, QString());
    for (int c = 0; c < 6; ++c)
        b.Text(Kind::Label, Indexed("SpDispChStc", c), kSpectrum,
               QRect(panel.left() + 46 + c * 62, panel.top() + 8, 54, 22),
               TextStyle{12, true, kChannelTextColours[static_cast<std::size_t>(c)]},
               QStringLiteral("CH%1").arg(c + 1))
            .chip = true;
    b.AddNote(kSpectrum, QRect(panel.right() - 290, panel.top() + 9, 280, 20),
              QStringLiteral("Click a channel to show it alone"), UiFont(10), kCaptionText,
              Qt::AlignRight | Qt::AlignVCenter);
    b.Curve(QStringLiteral("ZoomSpectrumCurve"), kSpectrum,
            QRect(panel.left() + 46, panel.top() + 52, panel.width() - 46 - 16,
                  panel.height() - 52 - 26));
}

Skin BuildSkin() {
    SkinBuilder b;
    BuildHeader(b);
    BuildChannelCards(b);
    BuildDelayBlocks(b);
    BuildPairStrips(b);
    BuildMainCurve(b);
    BuildEqPage(b);
    BuildStatus(b);
    BuildHeaderCaptions(b);
    BuildSpectrumWindow(b);
    return std::move(b.skin);
}

// ---------------------------------------------------------------------------------------------
// Backgrounds

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

// Row of the top of a fader's thumb for a value, as the fader places it.
int ThumbTop(const Control& c, int travelHeight, double value) {
    const int travel = travelHeight - c.thumbHeight;
    return static_cast<int>(
        std::trunc(travel - (value - c.minimum) / (c.maximum - c.minimum) * travel));
}

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

// ---------------------------------------------------------------------------------------------
// The skin file

class SkinFile {
public:
    void Section(const QString& name) {
        if (!m_bytes.isEmpty()) m_bytes += "\r\n";
        m_bytes += '[' + name.toLatin1() + "]\r\n";
    }
    void Key(const char* key, const QString& value) {
        m_bytes += QByteArray(key) + '=' + value.toLatin1() + "\r\n";
    }
    void Key(const char* key, int value) { Key(key, QString::number(value)); }
    void Real(const char* key, double value) { Key(key, QString::number(value, 'f', 1)); }
    const QByteArray& Bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

void WriteRect(SkinFile& f, const QRect& r) {
    f.Key("Width", r.width());
    f.Key("Height", r.height());
    f.Key("Left", r.left());
    f.Key("Top", r.top());
}

void WriteControl(SkinFile& f, const Control& c) {
    f.Section(c.section);
    switch (c.kind) {
        case Kind::Button:
        case Kind::Led:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            for (int i = 0; i < c.wifiSta.size(); ++i) {
                f.Key(QStringLiteral("STA_name%1").arg(i).toLatin1().constData(), c.wifiSta[i]);
                f.Key(QStringLiteral("ALT_name%1").arg(i).toLatin1().constData(), c.wifiAlt[i]);
            }
            break;
        case Kind::Knob:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            f.Key("FirstKHc", c.firstCentre);
            f.Key("StepHeight", c.stepHeight);
            f.Key("StepNum", c.stepNum);
            f.Key("ValMul", c.valMul);
            break;
        case Kind::BandFaders:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            f.Key("FaderWidth", c.faderWidth);
            f.Key("FaderHeight", c.faderHeight);
            f.Key("FaderValMul", c.faderValMul);
            break;
        case Kind::Fader:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            f.Key("FaderValMul", c.faderValMul);
            break;
        case Kind::Label:
        case Kind::Edit:
        case Kind::List:
            WriteRect(f, c.rect);
            f.Key("FontHeight", c.text.height);
            f.Key("FontWidth", 0);
            f.Key("FontWeight", c.text.bold ? 700 : 400);
            f.Key("FontName", kFontName);
            f.Key("FontCollorR", c.text.colour.red());
            f.Key("FontCollorG", c.text.colour.green());
            f.Key("FontCollorB", c.text.colour.blue());
            break;
        case Kind::LevelBar:
            WriteRect(f, c.rect);
            f.Key("CollorR", c.barColour.red());
            f.Key("CollorG", c.barColour.green());
            f.Key("CollorB", c.barColour.blue());
            break;
        case Kind::Curve:
            WriteRect(f, c.rect);
            f.Real("ValLeft", c.valLeft);
            f.Real("ValTop", c.valTop);
            f.Real("ValRigth", c.valRigth);
            f.Real("ValBottom", c.valBottom);
            break;
    }
}

const QString kMainBackground = QStringLiteral("PNGRes\\Main.png");
const QString kEqBackground = QStringLiteral("PNGRes\\Eq.png");
const QString kSpectrumBackground = QStringLiteral("PNGRes\\Spectrum.png");

QByteArray SkinFileBytes(const Skin& skin) {
    SkinFile f;
    const std::pair<const char*, QString> backgrounds[] = {
        {"MainBkg", kMainBackground}, {"EqBkg", kEqBackground}, {"SpBkg", kSpectrumBackground}};
    for (const auto& [section, file] : backgrounds) {
        f.Section(QString::fromLatin1(section));
        f.Key("FileName", file);
        f.Key("Left", 0);
        f.Key("Top", 0);
    }
    for (const Control& c : skin.controls) WriteControl(f, c);
    return f.Bytes();
}

// ---------------------------------------------------------------------------------------------
// Layout check: nothing overlaps on a page, everything lies inside it.

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

// ---------------------------------------------------------------------------------------------
// Preview: the pictures composited where the program puts them.

// A rough response for the preview only: Butterworth corners.
double DemoResponse(int channel, double f) {
    struct Demo {
        double high, low;
        int order;
        double gain;
    };
    const Demo demos[] = {{80, 3500, 2, 0},   {80, 3500, 2, -1.5}, {2800, 0, 4, -3},
                          {2800, 0, 4, -4.5}, {0, 90, 4, 3},       {30, 90, 2, 1.5}};
    const Demo& d = demos[channel];
    double db = d.gain;
    if (d.high > 0) db -= 10.0 * std::log10(1.0 + std::pow(d.high / f, 2.0 * d.order));
    if (d.low > 0) db -= 10.0 * std::log10(1.0 + std::pow(f / d.low, 2.0 * d.order));
    return db;
}

void PaintDemoCurves(QPainter& p, const Control& c, unsigned selected) {
    const PlotMap m(c);
    const QRect& r = c.rect;
    p.save();
    p.setClipRect(QRect(r.left(), r.top(), r.width(), r.height()));
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int pass = 0; pass < 2; ++pass)
        for (int ch = 0; ch < 6; ++ch) {
            const bool on = (selected >> ch & 1u) != 0;
            if (on != (pass == 1)) continue;
            QColor colour = kChannelColours[static_cast<std::size_t>(ch)];
            if (!on) colour = QColor(colour.red() / 3, colour.green() / 3, colour.blue() / 3);
            p.setPen(QPen(colour, on ? 1 : 2));
            QPoint last;
            for (int x = 0; x < r.width(); ++x) {
                const double f =
                    std::pow(10.0, m.logLeft + (m.logRight - m.logLeft) * x / r.width());
                const QPoint point(r.left() + x, m.Y(DemoResponse(ch, f)));
                if (x > 0) p.drawLine(last, point);
                last = point;
            }
        }
    p.restore();
}

QImage LoadPicture(const Skin& skin, const QString& path) {
    const auto it = skin.pictures.find(path);
    return it == skin.pictures.end() ? QImage() : it->second;
}

QImage PaintPreview(const Skin& skin, const QImage& background, unsigned page) {
    QImage image = background.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (const Control& c : skin.controls) {
        if ((c.pages & page) == 0) continue;
        switch (c.kind) {
            case Kind::Button:
                p.drawImage(c.rect.topLeft(), LoadPicture(skin, c.previewLit ? c.alt : c.sta));
                break;
            case Kind::Led:  // lit shows the standard picture, dark the alternate
                p.drawImage(c.rect.topLeft(), LoadPicture(skin, c.previewLit ? c.sta : c.alt));
                break;
            case Kind::Knob: {
                const int last = c.stepNum;
                const int k = std::clamp(
                    static_cast<int>((c.value - c.minimum) * last / (c.maximum - c.minimum)), 0,
                    last);
                const QImage strip = LoadPicture(skin, c.alt);
                p.drawImage(c.rect.topLeft(), strip,
                            QRect(0, k * c.stepHeight, strip.width(), c.stepHeight));
                break;
            }
            case Kind::Fader:
                p.drawImage(
                    QPoint(c.rect.left(), c.rect.top() + ThumbTop(c, c.rect.height(), c.value)),
                    LoadPicture(skin, c.alt));
                break;
            case Kind::BandFaders:
                for (int i = 0; i < c.faderCount; ++i) {
                    const double v = 4.0 * std::sin(i * 0.45) - 1.0;
                    const QString& picture = i == 5 ? c.sta : c.alt;
                    p.drawImage(QPoint(c.rect.left() + i * c.faderWidth,
                                       c.rect.top() + ThumbTop(c, c.faderHeight, v)),
                                LoadPicture(skin, picture));
                }
                break;
            case Kind::Label:
            case Kind::Edit:
            case Kind::List: {
                QFont font = UiFont(c.text.height, c.text.bold);
                p.setFont(font);
                p.setPen(c.text.colour);
                QString text = c.initialText;
                if (c.section == QLatin1String("Prompt1Stc"))
                    text = QStringLiteral("Connect to Adaptor");
                if (c.section == QLatin1String("Prompt2Stc"))
                    text = QStringLiteral("Set OK. 00 1A 2B 3C");
                if (c.kind == Kind::List)
                    p.drawText(c.rect.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
                else
                    p.drawText(c.rect, Qt::AlignCenter, text);
                break;
            }
            case Kind::LevelBar: {
                const int filled = c.rect.width() * 62 / 100;
                p.fillRect(QRect(c.rect.left(), c.rect.top(), filled, c.rect.height()),
                           c.barColour);
                break;
            }
            case Kind::Curve:
                PaintDemoCurves(p, c, page == kEq ? 0x01u : 0x3fu);
                break;
        }
    }
    return image;
}

// ---------------------------------------------------------------------------------------------

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size();
}

bool SavePng(const QString& path, const QImage& image) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    return image
        .convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32)
        .save(path, "PNG", 9);
}

QString OnDisk(const QString& outDir, const QString& skinPath) {
    QString relative = skinPath;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return outDir + QLatin1Char('/') + relative;
}

}  // namespace

int main(int argc, char** argv) {
    // Runs during the build, where there may be no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString outDir;
    bool preview = false;
    int folders = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--preview")) {
            preview = true;
        } else {
            outDir = arg;
            ++folders;
        }
    }
    if (folders != 1) {
        std::fprintf(stderr, "usage: vantrel-make-skin OUTDIR [--preview]\n");
        return 2;
    }
    if (QFontInfo(UiFont(12)).family() != kFontName)
        std::fprintf(stderr,
                     "vantrel-make-skin: warning: font \"%s\" not found, texts use \"%s\"\n",
                     qPrintable(kFontName), qPrintable(QFontInfo(UiFont(12)).family()));

    Skin skin = BuildSkin();
    const QSize pageSize(kPageWidth, kPageHeight);
    const QSize spectrumSize(kSpectrumWidth, kSpectrumHeight);
    const bool laidOut =
        CheckPage(skin, kMain, pageSize, "main") && CheckPage(skin, kEq, pageSize, "EQ") &&
        CheckPage(skin, kSpectrum, spectrumSize, "spectrum") && CheckTextsFit(skin);
    if (!laidOut) return 1;

    skin.pictures.emplace(kMainBackground, PaintBackground(skin, kMain, pageSize));
    skin.pictures.emplace(kEqBackground, PaintBackground(skin, kEq, pageSize));
    skin.pictures.emplace(kSpectrumBackground, PaintBackground(skin, kSpectrum, spectrumSize));

    for (const auto& [path, image] : skin.pictures)
        if (!SavePng(OnDisk(outDir, path), image)) {
            std::fprintf(stderr, "vantrel-make-skin: cannot write %s\n",
                         qPrintable(OnDisk(outDir, path)));
            return 1;
        }
    // The skin file last: its time stamp tells the build that the whole skin is there.
    const QString skinFile = OnDisk(outDir, QStringLiteral("PNGRes\\Res.Pic"));
    if (!WriteFile(skinFile, SkinFileBytes(skin))) {
        std::fprintf(stderr, "vantrel-make-skin: cannot write %s\n", qPrintable(skinFile));
        return 1;
    }

    if (preview) {
        const std::pair<const char*, unsigned> pages[] = {{"preview-main.png", kMain},
                                                          {"preview-eq.png", kEq},
                                                          {"preview-spectrum.png", kSpectrum}};
        for (const auto& [name, page] : pages) {
            const QString background = page == kMain ? kMainBackground
                                       : page == kEq ? kEqBackground
                                                     : kSpectrumBackground;
            const QString path = outDir + QLatin1Char('/') + QLatin1String(name);
            if (!SavePng(path, PaintPreview(skin, skin.pictures.at(background), page))) {
                std::fprintf(stderr, "vantrel-make-skin: cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
    }
    return 0;
}
