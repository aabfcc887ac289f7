#include <algorithm>
#include <cstring>
#include <utility>
#include "rules.h"

// A trial exchange is judged on the whole board after it, a line it does not touch
// included: the board can hold one in the frame its last motion ended, before the line
// search. Only lines through the two cells can change, so only those are looked for
// after the exchange, made on the live board and taken back.

namespace {

struct Cells {
    int8_t at[3];
};

// The lines of three the board holds now.
struct Standing {
    Cells lines[2 * boardCells];
    int count = 0;
    Standing() {
        findWindow([this](long x1, long y1, long x2, long y2, long x3, long y3) {
            if (isMatching(x1, y1, x2, y2, x3, y3))
                lines[count++] = {{int8_t(y1 * boardColumns + x1), int8_t(y2 * boardColumns + x2), int8_t(y3 * boardColumns + x3)}};
            return false;
        });
    }
    bool lineAvoiding(long a, long b) const {
        for (int i = 0; i < count; i++)
            if (std::none_of(lines[i].at, lines[i].at + 3, [=](int8_t c) { return c == a || c == b; })) return true;
        return false;
    }
};

// A run of three or more alive tokens of one colour through the cell, across or down:
// some window of three through it is a line.
long runFrom(long x, long y, long dx, long dy) {
    const sToken &t = tokenAt(x, y);
    long n = 0;
    for (long cx = x + dx, cy = y + dy; n < 2 && cx >= 0 && cx < boardColumns && cy >= 0 && cy < boardRows; cx += dx, cy += dy, n++) {
        const sToken &u = tokenAt(cx, cy);
        if (!u.alive || u.color != t.color) break;
    }
    return n;
}

bool lineThrough(long x, long y) {
    return tokenAt(x, y).alive && (runFrom(x, y, -1, 0) + runFrom(x, y, 1, 0) >= 2 || runFrom(x, y, 0, -1) + runFrom(x, y, 0, 1) >= 2);
}

bool trialExchange(const Standing &now, long x1, long y1, long x2, long y2) {
    const long a = y1 * boardColumns + x1, b = y2 * boardColumns + x2;
    if (now.lineAvoiding(a, b)) return true;
    if (tokenTable[a].color == tokenTable[b].color) return now.count > 0;
    std::swap(tokenTable[a].color, tokenTable[b].color);
    const bool line = lineThrough(x1, y1) || lineThrough(x2, y2);
    std::swap(tokenTable[a].color, tokenTable[b].color);
    return line;
}

// The cells with a move, worked out once for each board: the search reads only which
// cells hold a token and of which colour, so an unchanged board is not searched again.
struct Moves {
    int16_t colors[boardCells];
    bool alive[boardCells];
    bool known = false;
    bool of[boardCells];
    bool any;
    bool lines;                         // the board held a line of three
};
Moves moves;

bool searched() {
    if (!moves.known) return false;
    for (long i = 0; i < boardCells; i++)
        if (tokenTable[i].color != moves.colors[i] || tokenTable[i].alive != moves.alive[i]) return false;
    return true;
}

// A token has a move when an exchange with a neighbour makes a line; on the border
// the clamped neighbour is the token itself, an exchange that changes nothing.
const Moves &movesNow() {
    if (searched()) return moves;
    const Standing now;
    for (long i = 0; i < boardCells; i++) {
        const long x = i % boardColumns, y = i / boardColumns;
        moves.colors[i] = tokenTable[i].color;
        moves.alive[i] = tokenTable[i].alive;
        moves.of[i] = now.count > 0 && (x == 0 || y == 0 || x == boardColumns - 1 || y == boardRows - 1);
    }
    for (long i = 0; i < boardCells; i++) {
        const long x = i % boardColumns, y = i / boardColumns;
        for (const long j : {x + 1 < boardColumns ? i + 1 : -1L, y + 1 < boardRows ? i + boardColumns : -1L})
            if (j >= 0 && trialExchange(now, x, y, j % boardColumns, j / boardColumns)) moves.of[i] = moves.of[j] = true;
    }
    moves.any = std::find(moves.of, moves.of + boardCells, true) != moves.of + boardCells;
    moves.lines = now.count > 0;
    moves.known = true;
    return moves;
}

// Pulses the first token with a move from (firstX, firstY) on; every column
// starts again at row firstY.
bool hintFrom(const Moves &found, long firstX, long firstY) {
    for (long x = firstX; x < boardColumns; x++)
        for (long y = firstY; y < boardRows; y++)
            if (found.of[y * boardColumns + x]) {
                tokenAt(x, y).sinusSpeed = 0.1f;
                return true;
            }
    return false;
}

} // namespace

bool isAPossibleMatch(long x1, long y1, long x2, long y2) {
    if (trialExchange(Standing(), x1, y1, x2, y2)) return true;
    tokenAt(x1, y1).selected = false;
    tokenAt(x2, y2).selected = false;
    return false;
}

bool knownWithoutLine() { return searched() && !moves.lines; }

bool isHint(long x, long y) { return movesNow().of[y * boardColumns + x]; }

bool isThereAPossibilityLeft() { return movesNow().any; }

// The random start spreads hints over the board; the second pass finds a
// move wherever one exists.
void showHint() {
    if (gameOver) return;
    long rx = randomMod(boardColumns);
    long ry = randomMod(boardRows);
    const Moves &found = movesNow();
    if (!hintFrom(found, rx, ry)) hintFrom(found, 0, 0);
}
