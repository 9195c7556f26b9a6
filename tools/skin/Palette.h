#pragma once

// The look of the default skin: page sizes, colours, fonts.

#include <QColor>
#include <QFont>
#include <QString>
#include <array>

#include "skin/SkinColours.h"

namespace makeskin {

inline constexpr int kPageWidth = 1280;
inline constexpr int kPageHeight = 700;
inline constexpr int kSpectrumWidth = 960;
inline constexpr int kSpectrumHeight = 540;

// The panel colours are shared with the program's own widgets and dialogs.
using namespace vantrel::skincolour;

inline const std::array<QColor, 6> kChannelColours = {
    QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(0, 0, 255),
    QColor(0, 204, 255), QColor(204, 0, 255), QColor(204, 255, 0),
};

// The channel colours as text: pure blue is too dark to read on the panels, so channel 3's
// labels use a lighter blue of the same hue.
inline const std::array<QColor, 6> kChannelTextColours = {
    QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(90, 130, 255),
    QColor(0, 204, 255), QColor(204, 0, 255), QColor(204, 255, 0),
};

inline const QString kFontName = QStringLiteral("DejaVu Sans");

QFont UiFont(int pixels, bool bold = false, qreal spacing = 0.0);
QFont CaptionFont();
QFont TitleFont();

// The minus sign, not a hyphen, in captions and scales.
inline const QString kMinus = QString(QChar(0x2212));

QString Signed(int value);

}  // namespace makeskin
