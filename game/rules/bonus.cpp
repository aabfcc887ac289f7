#include "rules.h"

float zapAttack = -51.0f;
float zoomAttack = 0;
float blendAttack = 0;

static const float zapStart = 275.0f;    // degrees, and the label's frame clock
static const float zapFadeFrom = 405.0f; // clock value at which the label fades out

// A line mark: a flat 100, then count cells from (x, y) on, one unit each,
// whatever the cells hold.
static void zapLine(long x, long y, long stepX, long stepY, long count) {
    score += 100;
    for (long i = 0; i < count; i++) {
        rules::fadeOut(x + i * stepX, y + i * stepY);
        score += _unitScore;
    }
}

// The 100 is never multiplied; the units grow with the mode.
void doBonus(long bonusType, long x, long y) {
    switch (bonusType) {
    case bonusBomb:
        score += 100;
        for (long dy = -1; dy <= 1; dy++)
            for (long dx = -1; dx <= 1; dx++) rules::fadeOut(x + dx, y + dy);
        score += 9 * _unitScore;
        break;
    case bonusRow:
        zapLine(0, y, 1, 0, boardColumns);
        break;
    case bonusColumn:
        zapLine(x, 0, 0, 1, boardRows);
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
