#include "rules.h"

bool isLineOfThree(const sToken *table, long x1, long y1, long x2, long y2, long x3, long y3) {
    const sToken &a = table[y1 * boardColumns + x1];
    const sToken &b = table[y2 * boardColumns + x2];
    const sToken &c = table[y3 * boardColumns + x3];
    return a.alive && b.alive && c.alive && a.color == b.color && b.color == c.color;
}

bool isMatching(long x1, long y1, long x2, long y2, long x3, long y3) {
    return isLineOfThree(tokenTable, x1, y1, x2, y2, x3, y3);
}

// Points by the number of three-cell windows found in one check.
static uint32_t windowAward(long windows) {
    static const uint32_t award[] = {0, 5, 40, 320, 640};
    return award[windows < 4 ? windows : 4];
}

// Cleared tokens keep alive and colour until their fade ends, so the column
// scan still sees tokens the row scan has just started to clear. A board the move
// search saw without a line has none to clear: an idle board is not scanned again.
void rules::checkForMatches() {
    if (knownWithoutLine() || isThereAnIncomingToken() || isThereAMovingToken() || isThereAFadingToken()) return;
    long windows = 0;
    findWindow([&windows](long x1, long y1, long x2, long y2, long x3, long y3) {
        if (isMatching(x1, y1, x2, y2, x3, y3)) {
            cue(Cue::good);
            fadeOut(x1, y1);
            fadeOut(x2, y2);
            fadeOut(x3, y3);
            windows++;
        }
        return false;
    });
    score += windowAward(windows) * _unitScore;
}

// A token fires only while steady, so every token fires once and chains end.
void rules::fadeOut(long x, long y) {
    if (x < 0 || y < 0 || x >= boardColumns || y >= boardRows) return;
    sToken &t = tokenAt(x, y);
    if (t.fadeSpeed != 0) return;
    t.fade = 1.0f;
    t.fadeSpeed = -0.025f;
    switch (t.bonusType) {
    case bonusBomb:
        cue(Cue::bomb);
        doBonus(bonusBomb, x, y);
        break;
    case bonusRow:
    case bonusColumn:
        cue(Cue::zap);
        doBonus(t.bonusType, x, y);
        break;
    case bonusCross:
        cue(Cue::zap);
        doBonus(bonusColumn, x, y);
        doBonus(bonusRow, x, y);
        break;
    case bonusQuestion:
        t.bonusType = static_cast<int32_t>(randomMod(5));
        t.fadeSpeed = 0;
        fadeOut(x, y);
        break;
    default:
        break;
    }
}
