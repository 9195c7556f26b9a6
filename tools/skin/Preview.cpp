#include "Preview.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "Backgrounds.h"
#include "Palette.h"
#include "Scale.h"

namespace makeskin {

namespace {

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

}  // namespace

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

}  // namespace makeskin
