#pragma once

// The look of the default skin: page sizes, colours, fonts.

#include <QColor>
#include <QFont>
#include <QString>
#include <array>

namespace makeskin {

inline constexpr int kPageWidth = 1280;
inline constexpr int kPageHeight = 700;
inline constexpr int kSpectrumWidth = 960;
inline constexpr int kSpectrumHeight = 540;

inline const QColor kWindowTop(0x14, 0x19, 0x20);
inline const QColor kWindowBottom(0x0c, 0x0f, 0x14);
inline const QColor kPanelTop(0x1c, 0x23, 0x2c);
inline const QColor kPanelBottom(0x16, 0x1b, 0x22);
inline const QColor kPanelBorder(0x2e, 0x38, 0x45);
inline const QColor kBarTop(0x20, 0x27, 0x31);
inline const QColor kBarBottom(0x17, 0x1c, 0x23);
inline const QColor kDivider(0x28, 0x31, 0x3c);
inline const QColor kTitleText(0x93, 0xa0, 0xb0);
inline const QColor kCaptionText(0x7b, 0x88, 0x98);
inline const QColor kValueText(0xdf, 0xe5, 0xec);
inline const QColor kFieldFill(0x0a, 0x0d, 0x11);
inline const QColor kFieldBorder(0x2b, 0x34, 0x40);
inline const QColor kAccent(0xff, 0xb0, 0x2e);  // the one colour of everything lit
inline const QColor kAlarm(0xff, 0x45, 0x3a);   // protection only

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
