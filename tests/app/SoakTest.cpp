#include "support/AmplifierWindowFixture.h"
