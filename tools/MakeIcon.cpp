// vantrel-make-icon OUTDIR
//
// Draws the desktop icon: OUTDIR/scalable/apps/ID.svg and OUTDIR/SIZExSIZE/apps/ID.png for 48, 128
// and 256 pixels, laid out as the hicolor icon theme wants them. The mark is the skin's logo (a
// ring with a lit arc around a V) on a tile in the window's colours, so it reads on light and dark
// panels alike. The SVG and the PNGs come from the one geometry below, so they cannot disagree.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "skin/Palette.h"

namespace {

constexpr const char* kIconId = "org.vantrel.Vantrel";

// The skin's colours: window gradient, panel border and accent; ring and mark as the logo draws
// them.
const QColor& kTileTop = makeskin::kWindowTop;
const QColor& kTileBottom = makeskin::kWindowBottom;
const QColor& kTileBorder = makeskin::kPanelBorder;
const QColor& kAccent = makeskin::kAccent;
const QColor kRing(0x3a, 0x45, 0x53);
const QColor kVee(0xe8, 0xed, 0xf2);

// Geometry in a 256-unit square. The ring, arc and V keep the logo's proportions: a ring of
// diameter D drawn with a D*3/33 pen, a V of half-width 0.227*D with a D*2.6/33 pen.
constexpr double kUnits = 256.0;
constexpr double kTileInset = 8.0;
constexpr double kTileRadius = 48.0;
constexpr double kTileBorderWidth = 4.0;
constexpr double kRingDiameter = 168.0;
constexpr double kRingPen = kRingDiameter * 3.0 / 33.0;
constexpr double kVeeHalf = kRingDiameter * 0.22 * 34.0 / 33.0;
constexpr double kVeePen = kRingDiameter * 2.6 / 33.0;
constexpr double kCentre = kUnits / 2.0;
constexpr double kArcStartDegrees = 225.0;  // counter-clockwise from three o'clock
constexpr double kArcSweepDegrees = 200.0;  // drawn clockwise

struct Point {
    double x;
    double y;
};

// A point of the ring at `degrees`, counted counter-clockwise from three o'clock on screen.
Point RingPoint(double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    const double r = kRingDiameter / 2.0;
    return {kCentre + r * std::cos(radians), kCentre - r * std::sin(radians)};
}

struct Vee {
    Point left, bottom, right;
};

Vee VeePoints() {
    return {{kCentre - kVeeHalf, kCentre - kVeeHalf * 0.8},
            {kCentre, kCentre + kVeeHalf},
            {kCentre + kVeeHalf, kCentre - kVeeHalf * 0.8}};
}

QString Hex(const QColor& colour) { return colour.name(QColor::HexRgb); }

QString Num(double value) { return QString::number(value, 'f', 2); }

QByteArray SvgText() {
    const double tileSize = kUnits - 2.0 * kTileInset;
    const Point arcStart = RingPoint(kArcStartDegrees);
    const Point arcEnd = RingPoint(kArcStartDegrees - kArcSweepDegrees);
    const Vee vee = VeePoints();
    const double r = kRingDiameter / 2.0;
    QString svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += QString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                   "viewBox=\"0 0 %1 %1\">\n")
               .arg(kUnits);
    svg += QString("  <defs><linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
                   "<stop offset=\"0\" stop-color=\"%1\"/><stop offset=\"1\" stop-color=\"%2\"/>"
                   "</linearGradient></defs>\n")
               .arg(Hex(kTileTop), Hex(kTileBottom));
    svg += QString("  <rect x=\"%1\" y=\"%1\" width=\"%2\" height=\"%2\" rx=\"%3\" "
                   "fill=\"url(#tile)\" stroke=\"%4\" stroke-width=\"%5\"/>\n")
               .arg(Num(kTileInset), Num(tileSize), Num(kTileRadius), Hex(kTileBorder),
                    Num(kTileBorderWidth));
    svg += QString("  <circle cx=\"%1\" cy=\"%1\" r=\"%2\" fill=\"none\" stroke=\"%3\" "
                   "stroke-width=\"%4\"/>\n")
               .arg(Num(kCentre), Num(r), Hex(kRing), Num(kRingPen));
    // Large arc, clockwise on screen (SVG's positive sweep).
    svg += QString("  <path d=\"M %1 %2 A %3 %3 0 1 1 %4 %5\" fill=\"none\" stroke=\"%6\" "
                   "stroke-width=\"%7\"/>\n")
               .arg(Num(arcStart.x), Num(arcStart.y), Num(r), Num(arcEnd.x), Num(arcEnd.y),
                    Hex(kAccent), Num(kRingPen));
    svg += QString("  <path d=\"M %1 %2 L %3 %4 L %5 %6\" fill=\"none\" stroke=\"%7\" "
                   "stroke-width=\"%8\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n")
               .arg(Num(vee.left.x), Num(vee.left.y), Num(vee.bottom.x), Num(vee.bottom.y),
                    Num(vee.right.x), Num(vee.right.y), Hex(kVee), Num(kVeePen));
    svg += "</svg>\n";
    return svg.toUtf8();
}

QImage PngImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kUnits, size / kUnits);

    const double tileSize = kUnits - 2.0 * kTileInset;
    QLinearGradient fill(0.0, kTileInset, 0.0, kTileInset + tileSize);
    fill.setColorAt(0.0, kTileTop);
    fill.setColorAt(1.0, kTileBottom);
    p.setBrush(fill);
    p.setPen(QPen(kTileBorder, kTileBorderWidth));
    p.drawRoundedRect(QRectF(kTileInset, kTileInset, tileSize, tileSize), kTileRadius, kTileRadius);

    const double r = kRingDiameter / 2.0;
    const QRectF ring(kCentre - r, kCentre - r, kRingDiameter, kRingDiameter);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRing, kRingPen));
    p.drawEllipse(ring);
    // Qt counts arcs in sixteenths of a degree; a negative span runs clockwise.
    p.setPen(QPen(kAccent, kRingPen, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, static_cast<int>(kArcStartDegrees * 16.0),
              -static_cast<int>(kArcSweepDegrees * 16.0));

    const Vee vee = VeePoints();
    QPainterPath path;
    path.moveTo(vee.left.x, vee.left.y);
    path.lineTo(vee.bottom.x, vee.bottom.y);
    path.lineTo(vee.right.x, vee.right.y);
    p.setPen(QPen(kVee, kVeePen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.end();
    return image;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vantrel-make-icon OUTDIR\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLatin1(kIconId);
    if (!out.mkpath("scalable/apps") ||
        !WriteFile(out.filePath("scalable/apps/" + name + ".svg"), SvgText())) {
        std::fprintf(stderr, "vantrel-make-icon: cannot write the SVG icon into %s\n", argv[1]);
        return 1;
    }
    for (const int size : {48, 128, 256}) {
        const QString folder = QString("%1x%1/apps").arg(size);
        const QString path = out.filePath(folder + "/" + name + ".png");
        if (!out.mkpath(folder) || !PngImage(size).save(path)) {
            std::fprintf(stderr, "vantrel-make-icon: cannot write the %d px icon into %s\n", size,
                         argv[1]);
            return 1;
        }
    }
    return 0;
}
