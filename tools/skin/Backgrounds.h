#pragma once

// The page backgrounds: frames, fields, grooves, scales and captions around the controls.

#include <QImage>
#include <QSize>
#include <vector>

#include "Skin.h"

namespace makeskin {

int ThumbTop(const Control& c, int travelHeight, double value);
std::vector<Note> AllNotes(const Skin& skin);
QImage PaintBackground(const Skin& skin, unsigned page, QSize size);

}  // namespace makeskin
