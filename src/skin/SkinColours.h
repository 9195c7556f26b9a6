#pragma once

// The colours of the default skin's panels. The skin generator paints the pictures with them; the
// program gives its own widgets, menus and dialogs the same look.

#include <QColor>

namespace vantrel::skincolour {

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
// Text of what is switched off.
inline const QColor kDimText(0x55, 0x60, 0x6d);
// A frame a shade lighter than the panel border, for menus over the dark window.
inline const QColor kLightFrame(0x3a, 0x45, 0x53);

}  // namespace vantrel::skincolour
