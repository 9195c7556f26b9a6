#include "Layout.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

#include "Palette.h"
#include "Sprites.h"
#include "model/ParameterModel.h"

namespace makeskin {

namespace {

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

}  // namespace

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

}  // namespace makeskin
