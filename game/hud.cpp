#include "game.h"

int32_t gameTimer = 0;
int32_t subTimer = 0;

void resetTimer(long gameMode) {
    subTimer = 0;
    gameOver = false;
    ghighscoreProcessed = false;
    gameTimer = gameMode == 0 ? 60 : gameMode == 1 ? 300 : 0;
}
