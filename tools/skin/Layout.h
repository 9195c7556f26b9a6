#pragma once

// The one table that places every control of the default skin.

#include "Skin.h"

namespace makeskin {

Skin BuildSkin();

}  // namespace makeskin
