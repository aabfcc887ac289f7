#include "rules.h"

int32_t gameTimer = 0;
int32_t subTimer = 0;

static const uint32_t millionTarget = 1000000;

void resetTimer(long gameMode) {
    subTimer = 0;
    gameOver = false;
    ghighscoreProcessed = false;
    gameTimer = gameMode == modeSixtySeconds ? 60 : gameMode == modeFiveMinutes ? 300 : 0;
}

// Ticks go on after the end, so points of clears still running count until
// the high score is handled; the million mode keeps its time.
static void timerTick(long gameMode, const std::function<int32_t()> &clock) {
    switch (gameMode) {
    case modeSixtySeconds:
    case modeFiveMinutes:
        if (gameTimer <= 0) {
            gameOver = true;
            gameTimer = 0;
            _realScore = static_cast<int32_t>(score);
        } else {
            gameTimer--;
        }
        break;
    case modeMillion:
        if (score > millionTarget) {
            _realScore = gameTimer;
            gameOver = true;
        } else {
            gameTimer++;
        }
        break;
    case modeRelax:
        _realScore = static_cast<int32_t>(score);
        gameTimer = clock();
        break;
    default:
        break;
    }
}

void tickTimer(long gameMode, bool decompte, const std::function<int32_t()> &clock) {
    if (decompte) subTimer++;
    if (subTimer >= framesPerTick) {
        subTimer = 0;
        timerTick(gameMode, clock);
    }
}
