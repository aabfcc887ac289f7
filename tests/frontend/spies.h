#pragma once
#include "../game/spies.h"   // moved beside the hand; kept while tests/app includes it from here
