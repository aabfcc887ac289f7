#include <cstdlib>
#include "record.h"
#include "rules.h"

bool oldButton = false;
bool oldbt = false;

enum ButtonId { buttonNewGame = 0, buttonHint = 1, buttonMenu = 2 };

static const int32_t hintCost = 50;       // in point units
static const uint32_t stuckBoardBonus = 1000;
static const int16_t swapSpeed = 7;       // pixels per frame

static Cue pendingCues[maxCues];
static int pendingCount = 0;

void cue(Cue c) {
    if (pendingCount < maxCues) pendingCues[pendingCount++] = c;
}

int takeCues(Cue *out) {
    const int count = pendingCount;
    for (int i = 0; i < count; i++) out[i] = pendingCues[i];
    pendingCount = 0;
    return count;
}

static bool isBoardAtRest() {
    return !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken();
}

// Outside relax a board without moves is dealt again, with a consolation bonus.
static void replaceStuckBoard() {
    cue(Cue::zapAttack);
    resetTokenTable(false);
    startZapAttack();
    score += stuckBoardBonus;
}

// A press counts once: the button must be seen up, at rest, before the next acts.
bool rules::doInput(const FrameInput &in) {
    if (gameOver || !isBoardAtRest()) return false;
    if (_gameMode != modeRelax && !isThereAPossibilityLeft()) {
        replaceStuckBoard();
        return false;
    }
    if (!in.down) {
        oldButton = false;
        return false;
    }
    if (oldButton) return false;
    oldButton = true;
    if (in.cell >= 0 && in.cell < boardCells) {
        tokenTable[in.cell].selected = !tokenTable[in.cell].selected;
        cue(Cue::click);
    }
    MoveSelection();
    return false;
}

// The first two selected cells, column by column; false with fewer than two.
static bool findSelectedPair(long &xa, long &ya, long &xb, long &yb) {
    int found = 0;
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) {
            if (!tokenAt(x, y).selected) continue;
            if (found == 0) {
                xa = x;
                ya = y;
            } else if (found == 1) {
                xb = x;
                yb = y;
            }
            found++;
        }
    return found >= 2;
}

static void startExchange(long xa, long ya, long xb, long yb) {
    sToken &a = tokenAt(xa, ya), &b = tokenAt(xb, yb);
    a.speedX = static_cast<int16_t>((xb - xa) * swapSpeed);
    a.speedY = static_cast<int16_t>((yb - ya) * swapSpeed);
    b.speedX = static_cast<int16_t>((xa - xb) * swapSpeed);
    b.speedY = static_cast<int16_t>((ya - yb) * swapSpeed);
    a.beingSwapped = b.beingSwapped = true;
}

// A refused exchange never starts, so there is nothing to play back.
void rules::MoveSelection() {
    long xa = 0, ya = 0, xb = 0, yb = 0;
    if (!findSelectedPair(xa, ya, xb, yb)) return;
    if (_gameMode != modeRelax && !isAPossibleMatch(xa, ya, xb, yb)) {
        cue(Cue::nohint);
        return;
    }
    tokenAt(xa, ya).selected = false;
    tokenAt(xb, yb).selected = false;
    if (std::labs(xb - xa) + std::labs(yb - ya) != 1) return;
    cue(Cue::swap);
    startExchange(xa, ya, xb, yb);
}

// The button is held down through the new deal, so it cannot act twice.
static void newGameButton() {
    cue(Cue::click);
    resetTokenTable(true);
    cue(Cue::buttonHeld);
}

static void hintButton() {
    if (gameOver) return;
    bool relax = _gameMode == modeRelax;
    uint32_t cost = static_cast<uint32_t>(hintCost * _unitScore);
    if (score >= cost || relax) {
        cue(Cue::hint);
        showHint();
        if (!relax) score -= cost;
    } else {
        cue(Cue::nohint);
    }
}

// In relax the first click ends the game, so the result can be entered.
static void menuButton() {
    if (_gameMode == modeRelax && !gameOver)
        gameOver = true;
    else
        endPlay = true;
}

// The press is tracked only over a button: one dragged onto it acts as a click.
void rules::handleInterface(const FrameInput &in) {
    if (in.button < 0) return;
    if (!in.down || oldbt) {
        oldbt = in.down;
        return;
    }
    oldbt = true;
    switch (in.button) {
    case buttonNewGame: newGameButton(); break;
    case buttonHint: hintButton(); break;
    case buttonMenu: menuButton(); break;
    default: break;
    }
}

// The board is hidden and stands still; the buttons keep working.
static void pauseFrame(const FrameInput &in) {
    rules::handleInterface(in);
    tickTimer(_gameMode, false, in.clock);
}

// In relax a result worth a place ends the game with the name entry instead.
static void escapeKey(bool (*worthAPlace)()) {
    const bool offerEntry = _gameMode == modeRelax && !gameOver && recordDecision(worthAPlace());
    cue(Cue::escapeKeyHeld);
    if (offerEntry)
        gameOver = true;
    else
        endPlay = true;
}

void advanceBoard() {
    animateField();
    fallTokens();
    appearTokens();
    doSwapTokens();
}

// Escape's way out is taken at the next frame's check, so a new game started first
// (F1, the new-game button) keeps the session going.
static bool playFrame(const FrameInput &in, bool (*worthAPlace)()) {
    advanceBoard();
    rules::doInput(in);
    rules::checkForMatches();
    rules::handleInterface(in);
    if (endPlay) return false;
    tickTimer(_gameMode, true, in.clock);
    stepZapAttack();
    if (in.escape) escapeKey(worthAPlace);
    return true;
}

// A pause starts before the frame's play and ends into it: the frame that ends it
// neither starts a new game on F1 nor pauses again.
static bool stepRules(const FrameInput &in, bool (*worthAPlace)()) {
    if (gamePaused) {
        if (!endPlay && !in.p) {
            pauseFrame(in);
            return true;
        }
        gamePaused = false;
        if (in.p) cue(Cue::pauseKeyHeld);
    } else {
        if (in.f1) resetTokenTable(true);
        if (in.p && !gameOver) {
            gamePaused = true;
            cue(Cue::pauseKeyHeld);
            pauseFrame(in);
            return true;
        }
    }
    return playFrame(in, worthAPlace);
}

bool stepFrame(const FrameInput &in, bool (*worthAPlace)()) {
    recordInput(in);
    const bool goesOn = stepRules(in, worthAPlace);
    endRecordedFrame();
    return goesOn;
}
