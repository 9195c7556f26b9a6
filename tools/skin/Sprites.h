#pragma once

// The pictures of the controls: keys, the logo, the WiFi key, knob strips, fader thumbs, LEDs.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

namespace makeskin {

QImage NewImage(int width, int height);
QRectF Inset(const QRect& rect, qreal by);

QImage KeyImage(QSize size, const QString& caption, bool lit, int captionPixels);
QImage LogoImage(QSize size);
QImage WifiImage(QSize size, int bars, bool noLink, bool lit);
QImage KnobStrip(int size, int frames, bool focused);
QImage ThumbImage(int width, int capWidth, int height, bool focused);
QImage LedImage(int size, const QColor& colour, bool lit);

}  // namespace makeskin
