#include "game.h"
#include "highscores.h"
#include "KGraphic.h"

// Centred across the screen and on the band between the display rows.
static void drawCentred(KGraphic *picture, float zoom, float alpha) {
    float w = picture->getWidth(), h = picture->getHeight();
    picture->blitAlphaRectFx(0, 0, w, h, int16_t((640 - w) / 2), int16_t((357 - h) / 2 + 77), 0, zoom, alpha);
}

void displayGameOver() {
    if (!surf_gameover || gameOverFade <= 0) return;
    if (gameOver && !isHighScore()) {
        if (_gameMode == modeRelax) {
            ghighscoreProcessed = true;
            return;
        }
        if (ghighscoreProcessed) {
            if (surf_highscore) drawCentred(surf_highscore, 1, gameOverFade);
            gameOverFade -= 0.1f;
            return;
        }
        drawCentred(surf_gameover, gameOverFade, gameOverFade);
    }
}
