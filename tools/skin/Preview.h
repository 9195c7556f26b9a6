#pragma once

// Preview: the pictures composited where the program puts them.

#include <QImage>

#include "Skin.h"

namespace makeskin {

QImage PaintPreview(const Skin& skin, const QImage& background, unsigned page);

}  // namespace makeskin
