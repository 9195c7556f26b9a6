#include "Palette.h"

namespace makeskin {

QFont UiFont(int pixels, bool bold, qreal spacing) {
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

QString Signed(int value) {
    if (value > 0) return QStringLiteral("+%1").arg(value);
    if (value < 0) return kMinus + QString::number(-value);
    return QStringLiteral("0");
}

}  // namespace makeskin
