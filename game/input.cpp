#include <chrono>
#include <cstdlib>
#include <thread>
#include "game_local.h"
#include "sounds.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KSound.h"
#include "KWindow.h"

static constexpr sHotSpot button(const layout::Rect &r, int32_t id, int32_t dx, int32_t dy) {
    return {r.x1, r.y1, r.x2, r.y2, id, nullptr, dx, dy};
}

sHotSpot hotspots[3] = {
    button(layout::GAME_BUTTONS[0], 0, 66, 439),
    button(layout::GAME_BUTTONS[1], 1, 206, 439),
    button(layout::GAME_BUTTONS[2], 2, 319, 439),
};

bool oldButton = false;
bool oldbt = false;

enum ButtonId { buttonNewGame = 0, buttonHint = 1, buttonMenu = 2 };

static const int32_t hintCost = 50;       // in point units
static const uint32_t stuckBoardBonus = 1000;
static const int16_t swapSpeed = 7;       // pixels per frame

static bool isBoardAtRest() {
    return !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken();
}

// Outside relax a board without moves is dealt again, with a consolation bonus.
static void replaceStuckBoard() {
    snd_zapattack->playSample();
    resetTokenTable(false);
    startZapAttack();
    score += stuckBoardBonus;
}

static void toggleCellUnder(long mx, long my) {
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++)
            if (isPointInCell(x, y, mx, my)) {
                tokenAt(x, y).selected = !tokenAt(x, y).selected;
                snd_click->playSample();
            }
}

// A press counts once: the button must be seen up, at rest, before the next acts.
bool doInput() {
    if (gameOver || !isBoardAtRest()) return false;
    if (_gameMode != modeRelax && !isThereAPossibilityLeft()) {
        replaceStuckBoard();
        return false;
    }
    long mx = KInput::getMouseX(), my = KInput::getMouseY();
    if (!KInput::getLeftButtonState()) {
        oldButton = false;
        return false;
    }
    if (oldButton) return false;
    oldButton = true;
    toggleCellUnder(mx, my);
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
void MoveSelection() {
    long xa = 0, ya = 0, xb = 0, yb = 0;
    if (!findSelectedPair(xa, ya, xb, yb)) return;
    if (_gameMode != modeRelax && !isAPossibleMatch(xa, ya, xb, yb)) {
        snd_nohint->playSample();
        return;
    }
    tokenAt(xa, ya).selected = false;
    tokenAt(xb, yb).selected = false;
    if (std::labs(xb - xa) + std::labs(yb - ya) != 1) return;
    if (!snd_swap->isPlaying()) snd_swap->playSample();
    startExchange(xa, ya, xb, yb);
}

static const sHotSpot *hotspotAt(long mx, long my) {
    for (const sHotSpot &spot : hotspots)
        if (mx >= spot.x1 && mx <= spot.x2 && my >= spot.y1 && my <= spot.y2) return &spot;
    return nullptr;
}

// The button is held down through the new deal, so it cannot act twice.
static void newGameButton() {
    snd_click->playSample();
    resetTokenTable(true);
    waitForButton(false);
}

static void hintButton() {
    if (gameOver) return;
    bool relax = _gameMode == modeRelax;
    uint32_t cost = static_cast<uint32_t>(hintCost * _unitScore);
    if (score >= cost || relax) {
        snd_hint->playSample();
        showHint();
        if (!relax) score -= cost;
    } else {
        snd_nohint->playSample();
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
void handleInterface() {
    long mx = KInput::getMouseX(), my = KInput::getMouseY();
    bool down = KInput::getLeftButtonState();
    const sHotSpot *spot = hotspotAt(mx, my);
    if (!spot) return;
    if (spot->surface)
        spot->surface->blitRect(spot->x1, spot->y1 + layout::LIT, spot->x2, spot->y2 + layout::LIT,
                                int16_t(spot->x1), int16_t(spot->y1));
    if (!down || oldbt) {
        oldbt = down;
        return;
    }
    oldbt = true;
    switch (spot->id) {
    case buttonNewGame: newGameButton(); break;
    case buttonHint: hintButton(); break;
    case buttonMenu: menuButton(); break;
    default: break;
    }
}

void waitForButton(bool down) {
    while (KInput::getLeftButtonState() != down && !KWindow::isQuit()) {
        KWindow::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
