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
    if (!readHand(RecordInput::down, in.down)) {
        oldButton = false;
        return false;
    }
    if (oldButton) return false;
    oldButton = true;
    const int16_t cell = readHand(RecordInput::cell, in.cell);
    if (cell >= 0 && cell < boardCells) {
        tokenTable[cell].selected = !tokenTable[cell].selected;
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

// The first rules began the new game inside the frame that asked for it and recorded
// it on; now that frame ends the game, and the game starts the next with its own seed.
static void newGame() {
    if (playedRulesVersion == 1)
        resetTokenTable(true);
    else
        newGameAsked = true;
}

// The button is held down through the new deal, so it cannot act twice.
static void newGameButton() {
    cue(Cue::click);
    newGame();
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

// The press is tracked only over a button: one dragged onto it acts as a click. Which
// button the pointer is over is read only when it matters, so the record holds no more.
void rules::handleInterface(const FrameInput &in) {
    const bool down = readHand(RecordInput::down, in.down);
    if (down == oldbt) return;
    if (!down) {
        if (readHandSet(RecordInput::button, in.button)) oldbt = false;
        return;
    }
    const int16_t button = readHand(RecordInput::button, in.button);
    if (button < 0) return;
    oldbt = true;
    switch (button) {
    case buttonNewGame: newGameButton(); break;
    case buttonHint: hintButton(); break;
    case buttonMenu: menuButton(); break;
    default: break;
    }
}

// The relax timer's clock, read (and recorded) at its ticks only.
static std::function<int32_t()> clockOf(const FrameInput &in) {
    return [&in] { return readHand(RecordInput::clock, in.clock); };
}

// The board is hidden and stands still; the buttons keep working.
static void pauseFrame(const FrameInput &in) {
    rules::handleInterface(in);
    tickTimer(_gameMode, false, clockOf(in));
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

// The first rules played a frame on after the game ended, and left for the menu only at
// the next frame's check.
static bool endsHere() { return playedRulesVersion > 1 && playEnded(); }

static void playFrame(const FrameInput &in, bool (*worthAPlace)()) {
    advanceBoard();
    rules::doInput(in);
    rules::checkForMatches();
    rules::handleInterface(in);
    if (endPlay || endsHere()) return;
    tickTimer(_gameMode, true, clockOf(in));
    if (endsHere()) return;
    stepZapAttack();
    if (readHand(RecordInput::escape, in.escape)) escapeKey(worthAPlace);
}

// A pause starts before the frame's play and ends into it: the frame that ends it
// neither starts a new game on F1 nor pauses again.
static void stepRules(const FrameInput &in, bool (*worthAPlace)()) {
    if (gamePaused) {
        const bool p = readHand(RecordInput::p, in.p);
        if (!endPlay && !p) return pauseFrame(in);
        gamePaused = false;
        if (p) cue(Cue::pauseKeyHeld);
    } else {
        if (readHand(RecordInput::f1, in.f1)) newGame();
        if (endsHere()) return;
        if (!gameOver && readHand(RecordInput::p, in.p)) {
            gamePaused = true;
            cue(Cue::pauseKeyHeld);
            return pauseFrame(in);
        }
    }
    playFrame(in, worthAPlace);
}

// An ended game's board, points and clock stand; a hint's pulse runs out, or its gem
// would stay enlarged under the game-over screen. That screen still takes F1, the
// buttons and Escape (the buttons' press flag goes on, as the player's hand does).
static void endedFrame(const FrameInput &in, bool (*worthAPlace)()) {
    if (!gameOver) return;
    settleHints();
    if (readHand(RecordInput::f1, in.f1)) return newGame();
    rules::handleInterface(in);
    if (!endPlay && !newGameAsked && readHand(RecordInput::escape, in.escape)) escapeKey(worthAPlace);
}

// A game whose record reaches a cap ends there: a relax game as the menu button ends
// it, with its result; any other is left unfinished.
static void capRecord() {
    if (playedRulesVersion < 2 || playEnded()) return;
    if (frameCount < recordFrameCap(_gameMode) && gameRecord.events.size() < recordInputCap) return;
    gamePaused = false;
    if (_gameMode == modeRelax)
        gameOver = true;
    else
        endPlay = true;
}

bool stepFrame(const FrameInput &in, bool (*worthAPlace)()) {
    if (endsHere()) {
        endedFrame(in, worthAPlace);
        return !endPlay;
    }
    stepRules(in, worthAPlace);
    endRecordedFrame();
    capRecord();
    return !endPlay;
}
