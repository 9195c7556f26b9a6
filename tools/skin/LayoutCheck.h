#pragma once

// Layout check: nothing overlaps on a page, everything lies inside it, every text fits.

#include <QSize>

#include "Skin.h"

namespace makeskin {

bool CheckTextsFit(const Skin& skin);
bool CheckPage(const Skin& skin, unsigned page, QSize size, const char* name);

}  // namespace makeskin
