#include "support/EditorFixture.h"
