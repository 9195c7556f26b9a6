#pragma once

#include <QImage>
#include <QString>

namespace vantrel {

// Pictures are decoded once per file and shared: many controls show the same few files. A path
// is taken as written in the skin file (backslashes are folder separators), relative to the data
// folder set with SetPictureFolder. A missing or undecodable file gives a null image.
QImage LoadPicture(const QString& storedPath);
void SetPictureFolder(const QString& dataFolder);
void ClearPictureCache();

// A 5 x 5 colour matrix applied to (red, green, blue, alpha, 1) as a row vector, channels in
// 0..1 with straight alpha; m[row][column], rows from the red input down to the constant row.
struct ColorMatrix {
    float m[5][5];
};

ColorMatrix BrightenMatrix();    // hover look: every colour channel 1.05 x channel + 0.05
ColorMatrix DimmedGreyMatrix();  // disabled standard picture and disabled knob: half luminance
ColorMatrix GreyMatrix();        // disabled alternate picture: luminance

// Returns a copy of `picture` with `matrix` applied to every pixel (results clamped to 0..1),
// in Format_ARGB32_Premultiplied. A null picture gives a null image.
QImage ApplyColorMatrix(const QImage& picture, const ColorMatrix& matrix);

enum class PictureTone { Plain, Bright, DimmedGrey, Grey };

// LoadPicture with the tone's matrix applied. The toned copy is made once per file and tone and
// cached beside the plain picture, so painting never runs a matrix.
QImage LoadPicture(const QString& storedPath, PictureTone tone);

}  // namespace vantrel
