#include <algorithm>
#include "rules.h"

sToken tokenTable[boardCells];

uint64_t randomState = 0x853c49e6748fea9bULL;

void seedRandom(uint32_t seed) {
    randomState = seed;
    randomNumber();
}

// 64-bit linear congruential step; the top 31 bits are the well-mixed ones.
long randomNumber() {
    randomState = randomState * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<long>(randomState >> 33);
}

long randomMod(long n) { return randomNumber() % n; }

// A damaged preferences file must not give a colour count with no gem picture.
long colorCount() {
    long difficulty = gameDifficulty;
    if (difficulty < 0) difficulty = 0;
    if (difficulty > 2) difficulty = 2;
    return difficulty + 5;
}

void dealFreshBoard() {
    long colors = colorCount();
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) {
            sToken &t = tokenAt(x, y);
            t = sToken{};
            t.color = static_cast<int16_t>(randomMod(colors));
            t.fade = 1.0f;
            t.alive = true;
        }
    while (removeMatches()) {
    }
    showHint();
}

// The repair colour is drawn from the first five colours whatever the difficulty.
bool removeMatches() {
    return findWindow([](long x1, long y1, long x2, long y2, long x3, long y3) {
        if (!isMatching(x1, y1, x2, y2, x3, y3)) return false;
        tokenAt(x2, y2).color = static_cast<int16_t>(randomMod(5));
        return true;
    });
}

// The cheap look first: an idle board has no empty top cell.
void appearTokens() {
    if (std::all_of(tokenTable, tokenTable + boardColumns, [](const sToken &t) { return t.alive; }) || isThereAMovingToken())
        return;
    long colors = colorCount();
    for (long x = 0; x < boardColumns; x++) {
        sToken &t = tokenAt(x, 0);
        if (t.alive) continue;
        t.dx = t.dy = t.fally = 0;
        t.speedX = t.speedY = 0;
        t.color = static_cast<int16_t>(randomMod(colors));
        t.alive = true;
        t.fade = 0;
        t.fadeSpeed = 0.1f;
        t.bonus = 0;
        t.selected = false;
        t.sinus = t.sinusSpeed = 0;
        t.bonusType = randomMod(15) == 5 ? static_cast<int32_t>(randomMod(7)) : bonusNone;
    }
}

bool isThereAnIncomingToken() {
    for (long x = 0; x < boardColumns; x++)
        if (tokenAt(x, 0).fadeSpeed > 0) return true;
    return false;
}

bool isThereAMovingToken() {
    if (isThereAnIncomingToken()) return false;
    for (const sToken &t : tokenTable)
        if (t.alive && (t.speedX != 0 || t.speedY != 0 || t.fally != 0 || t.dy != 0)) return true;
    return false;
}

bool isThereAFadingToken() {
    for (const sToken &t : tokenTable)
        if (t.alive && t.fade > 0 && t.fade < 1) return true;
    return false;
}

bool isThereAFallingToken() {
    for (const sToken &t : tokenTable)
        if (t.alive && t.fally != 0) return true;
    return false;
}

// Dead cells keep a stale colour, so only what a live cell holds counts.
uint64_t boardDigest() {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const sToken &t : tokenTable) {
        const uint8_t bytes[3] = {uint8_t(t.alive), uint8_t(t.alive ? t.color : 0), uint8_t(t.alive ? t.bonusType : 0)};
        for (uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ULL;
    }
    return hash;
}
