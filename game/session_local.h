#pragma once
// Shared by the session loop and the display.
#include "game.h"
#include "KText.h"

extern KFont tableNumbers[13];          // timer glyphs of "timenmb.tga"
extern KFont scoretableNumbers[13];     // score glyphs of "numbers.tga"
