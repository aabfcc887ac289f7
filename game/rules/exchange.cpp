#include <cstdlib>
#include <utility>
#include "rules.h"

static const float pulseEnd = 25.12f;    // radians: 252 frames at the hint step
static const float fallStep = 7.0f;      // pixels per frame

static void advancePulse(sToken &t) {
    if (t.sinusSpeed <= 0) return;
    t.sinus += t.sinusSpeed;
    if (t.sinus > pulseEnd) t.sinus = t.sinusSpeed = 0;
}

void settleHints() {
    for (sToken &t : tokenTable) advancePulse(t);
}

void animateField() {
    for (sToken &t : tokenTable) {
        advancePulse(t);
        if (t.fadeSpeed != 0) {
            t.fade += t.fadeSpeed;
            if (t.fade <= 0) {
                t.fade = 0;
                t.alive = false;
                t.fadeSpeed = 0;
            }
            if (t.fade >= 1.0f) {
                t.fade = 1.0f;
                t.alive = true;
                t.fadeSpeed = 0;
            }
        }
    }
}

// Bottom-up, so a column above a gap follows its lowest token down one by one.
// Only fully shown tokens fall: appearing and cleared ones stay put.
void fallTokens() {
    for (long y = boardRows - 1; y >= 1; y--)
        for (long x = 0; x < boardColumns; x++) {
            sToken &cell = tokenAt(x, y);
            if (cell.alive) continue;
            sToken &above = tokenAt(x, y - 1);
            if (above.fade != 1.0f) continue;
            above.fally += fallStep;
            if (above.fally < cellPitch) continue;
            cell.fade = 1.0f;
            cell.fally = 0;
            cell.color = above.color;
            cell.alive = above.alive;
            cell.bonusType = above.bonusType;
            cell.sinus = cell.sinusSpeed = 0;
            above.alive = false;
            above.fally = 0;
        }
}

// Only colour and mark change cells; fade, pulse and selection stay where they are.
void doSwapTokens() {
    sToken *pair[2];
    int found = 0;
    for (sToken &t : tokenTable)
        if (t.alive && t.beingSwapped && found < 2) pair[found++] = &t;
    if (found < 2 || isThereAnIncomingToken() || isThereAFallingToken()) return;
    sToken &a = *pair[0], &b = *pair[1];
    a.dx += a.speedX;
    a.dy += a.speedY;
    b.dx += b.speedX;
    b.dy += b.speedY;
    if (b.speedY != 0 && std::abs(static_cast<int>(b.dy)) < cellPitch) return;
    if (b.speedX != 0 && std::abs(static_cast<int>(b.dx)) < cellPitch) return;
    std::swap(a.bonusType, b.bonusType);
    std::swap(a.color, b.color);
    for (sToken *t : pair) {
        t->beingSwapped = false;
        t->speedX = t->speedY = 0;
        t->dx = t->dy = 0;
    }
}
