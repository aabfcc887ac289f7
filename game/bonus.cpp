#include "game_local.h"
#include "KGraphic.h"

float zapAttack = -51.0f;
float zoomAttack = 0;
float blendAttack = 0;

static const float zapStart = 275.0f;    // degrees, and the label's frame clock
static const float zapFadeFrom = 405.0f; // clock value at which the label fades out

// The 100 is a flat bonus; the units grow with the mode.
void doBonus(long bonusType, long x, long y) {
    switch (bonusType) {
    case bonusBomb:
        score += 100;
        for (long dy = -1; dy <= 1; dy++)
            for (long dx = -1; dx <= 1; dx++) fadeOut(x + dx, y + dy);
        score += 9 * _unitScore;
        break;
    case bonusRow:
        score += 100;
        for (long i = 0; i < boardColumns; i++) {
            fadeOut(i, y);
            score += _unitScore;
        }
        break;
    case bonusColumn:
        score += 100;
        for (long i = 0; i < boardRows; i++) {
            fadeOut(x, i);
            score += _unitScore;
        }
        break;
    default:
        break;
    }
}

void startZapAttack() { zapAttack = zapStart; }

void clearZapAttack() { zapAttack = -51.0f; }

bool stepZapAttack() {
    if (zapAttack < 0) return false;
    if (zapAttack == zapStart) {
        zoomAttack = 0;
        blendAttack = 0;
    }
    zapAttack += 1.0f;
    blendAttack += 0.002f;
    zoomAttack += 0.01f;
    if (zapAttack >= zapFadeFrom) {
        blendAttack -= 0.006f;
        if (blendAttack < 0) {
            blendAttack = 0;
            zapAttack = -1.0f;
        }
    }
    return true;
}

void AnimateZapAttack() {
    if (!stepZapAttack() || !surf_fond) return;
    surf_fond->blitAlphaRectFx(671, 231, 1011, 277, 150, 200, zapAttack, zoomAttack, blendAttack);
}
