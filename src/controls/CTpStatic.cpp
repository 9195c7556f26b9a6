#include "controls/CTpStatic.h"

#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

namespace vantrel {

namespace {

// Skins are sized for a handful of pixels per letter; anything above this is a typing slip, and
// huge sizes only cost memory in the glyph cache.
constexpr double kMaxPixelSize = 2048.0;
constexpr double kProbePixelSize = 100.0;
constexpr int kMaxStretch = 4000;  // QFont's own limit
constexpr long kMaxWeight = 1000;
const QColor kDisabledTextColor(128, 128, 128);

// The face a skin names may not be installed here; this one is among our installed dependencies
// and is a plain sans-serif like the faces skins ask for.
const char* const kFallbackFace = "DejaVu Sans";

double Magnitude(long value) { return std::abs(static_cast<double>(value)); }

}  // namespace

QFont SkinFont(long height, long width, long weight, const QString& faceName) {
    QStringList families;
    if (!faceName.isEmpty()) families << faceName;
    families << QString::fromLatin1(kFallbackFace);
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);

    if (height != 0) {
        double pixels = Magnitude(height);
        if (height > 0) {
            // A positive height is the whole cell; the letters get what remains after the
            // leading, in this face's proportion.
            QFont probe = font;
            probe.setPixelSize(static_cast<int>(kProbePixelSize));
            const QFontMetricsF metrics(probe);
            const qreal cell = metrics.ascent() + metrics.descent();
            if (cell > 0) pixels = pixels * kProbePixelSize / cell;
        }
        font.setPixelSize(qRound(std::clamp(pixels, 1.0, kMaxPixelSize)));
    }

    if (width != 0) {
        const qreal natural = QFontMetricsF(font).averageCharWidth();
        if (natural > 0) {
            const double stretch = std::clamp(Magnitude(width) * 100.0 / natural, 1.0,
                                              static_cast<double>(kMaxStretch));
            font.setStretch(qRound(stretch));
        }
    }

    if (weight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::min(weight, kMaxWeight)));
    } else {
        font.setWeight(QFont::Normal);
    }
    return font;
}

void ApplySkinTextColor(QWidget& widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
    palette.setColor(QPalette::Disabled, role, kDisabledTextColor);
    widget.setPalette(palette);
}

CTpStatic::CTpStatic(QWidget* parent, int id) : QLabel(parent), m_id(id) {
    // Texts come from the amplifier and the settings file: never read them as markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    // Clicks go to whatever lies under the label, as they did with the platform's static text.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    ApplySkinTextColor(*this, QPalette::WindowText, m_textColor);
}

void CTpStatic::SetText(const QString& text) { setText(text); }

void CTpStatic::SetTextColor(const QColor& color) {
    m_textColor = color;
    ApplySkinTextColor(*this, QPalette::WindowText, color);
}

}  // namespace vantrel
