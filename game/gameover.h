#pragma once
// The name entry of the game-over screen (displayGameOver is in game.h).
#include <cstdint>

class KText;

extern char buffer[32];          // the name being typed; kept for the next entry of the run
extern int32_t bufferPosition;   // its length, 0..19
extern int32_t blinker;          // text cursor frame counter, 71-frame cycle
extern KText *highscoreText;     // the menu font, loaded by the menu; null: the name is not drawn
