#pragma once

// Layout check: nothing overlaps on a page, everything lies inside it, every text fits, and every
// control the window's table names has its section.

#include <QSize>

#include "Skin.h"

namespace makeskin {

bool CheckTextsFit(const Skin& skin);
bool CheckPage(const Skin& skin, unsigned page, QSize size, const char* name);
// Every section of the window's control table (skin/SkinTable.h) is drawn, under its name.
bool CheckControlTable(const Skin& skin);

}  // namespace makeskin
