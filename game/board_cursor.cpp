// The board without a mouse: keys and pads move a cursor over the cells (and, in a
// pause, a focus over the game buttons), and what they do reaches the rules as the
// clicks a mouse would make there, in the frame's input: the rules and the record
// never learn which hand played. Until a key is used the mouse alone is read.
#include <algorithm>
#include <iterator>
#include <utility>

#include "game_local.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KWindow.h"

namespace {
struct Click {
    int8_t cell, button;   // where it lands; the other is -1
};
bool steering = false;     // a key or pad was used since the mouse last moved
long cursorX = 0, cursorY = 0;
int pauseFocus = 0;        // the game button with the focus in a pause
Click queue[4];            // clicks to make, one after the other
int queued = 0;
bool pressing = false;     // the virtual button is down on queue[0]
bool hintWasDown = false, newGameWasDown = false;
MouseWatch mouse;

void enqueue(Click click) {
    if (queued < int(std::size(queue))) queue[queued++] = click;
}

void clickCell(long x, long y) { enqueue({int8_t(y * boardColumns + x), -1}); }

void dropFirst() {
    std::copy(queue + 1, queue + queued, queue);
    queued--;
    pressing = false;
}

// A command acts once per press, as a click does, however long it is held.
bool pressedNow(EKeyboardLayout key, bool &wasDown) {
    const bool down = KInput::isCommand(key);
    return !std::exchange(wasDown, down) && down;
}

int typedEither(EKeyboardLayout a, EKeyboardLayout b) { return KInput::isTyped(a) | KInput::isTyped(b); }

// An arrow moves the cursor; with Shift it also asks for the exchange toward there.
void steerBoard(int dx, int dy, bool press) {
    const bool shift = shiftHeld();
    const long x = std::clamp(cursorX + dx, 0L, boardColumns - 1), y = std::clamp(cursorY + dy, 0L, boardRows - 1);
    if (shift && (x != cursorX || y != cursorY)) {
        if (!tokenAt(cursorX, cursorY).selected) clickCell(cursorX, cursorY);
        clickCell(x, y);
    }
    cursorX = x, cursorY = y;
    if (press) clickCell(cursorX, cursorY);
}

void readKeys() {
    const int dx = typedEither(K_VK_RIGHT, K_VK_D) - typedEither(K_VK_LEFT, K_VK_A);
    const int dy = typedEither(K_VK_DOWN, K_VK_S) - typedEither(K_VK_UP, K_VK_W);
    const int tab = KInput::isTyped(K_VK_TAB);
    const bool press = KInput::isTyped(K_VK_RETURN) | KInput::isTyped(K_VK_SPACE);
    if (pressedNow(K_VK_N, newGameWasDown)) enqueue({-1, 0});
    if (pressedNow(K_VK_H, hintWasDown)) enqueue({-1, 1});
    if (!dx && !dy && !tab && !press) return;
    if (!steering) {   // the first key only shows where the cursor is
        steering = true;
        return;
    }
    if (!gamePaused) return steerBoard(dx, dy, press);
    pauseFocus = (pauseFocus + std::clamp(dx + dy + (shiftHeld() ? -tab : tab), -1, 1) + 3) % 3;
    if (press) enqueue({-1, int8_t(pauseFocus)});
}

// A press waits until the rules have seen the button up, and a board press is held
// until the board takes it, as a player keeps the button down while tokens still move.
void pointVirtually(FrameInput &in) {
    in.cell = gamePaused ? -1 : int8_t(cursorY * boardColumns + cursorX);
    in.button = gamePaused ? int8_t(pauseFocus) : -1;
    in.down = false;
    while (queued && (gameOver || (gamePaused && queue[0].cell >= 0))) dropFirst();
    if (!queued) return;
    const Click &click = queue[0];
    in.cell = click.cell, in.button = click.button;
    const bool taken = click.button >= 0 ? oldbt : oldButton;
    if (!pressing) {
        in.down = pressing = !taken;
        return;
    }
    if (click.cell >= 0 && !taken) {
        in.down = true;
        return;
    }
    dropFirst();   // let go where it was pressed
}
}  // namespace

void steerFrameInput(FrameInput &in) {
    if (mouse.tookOver(KInput::getMouseX(), KInput::getMouseY(), in.down)) {
        steering = pressing = false;
        queued = 0;
        return;
    }
    if (!gameOver) readKeys();
    if (steering || queued) {
        steering = true;
        pointVirtually(in);
    }
}

bool shiftHeld() { return KInput::isPressed(K_VK_L_SHIFT) || KInput::isPressed(K_VK_R_SHIFT); }

static std::array<int32_t, 5> windowNow() {
    const KWindowPlace place = KWindow::getWindowPlace();
    return {KWindow::isFullScreen(), place.x, place.y, place.width, place.height};
}

// The pointer may follow the window's change in the same read or, with a window manager
// in between, in a later one: one jump after the change is the window's.
bool MouseWatch::tookOver(int16_t nowX, int16_t nowY, bool down) {
    const std::array<int32_t, 5> nowWindow = windowNow();
    const bool jumped = seen && (nowX != x || nowY != y);
    const bool changed = seen && nowWindow != window;
    if (changed) jumpDue = !jumped;
    const bool moved = jumped && !changed && !std::exchange(jumpDue, false);
    x = nowX, y = nowY, window = nowWindow, seen = true;
    return moved || down;
}

void drawFocusRing(const layout::Rect &r) {
    // Two white rings round a black one: seen on every skin's light and dark parts.
    for (int ring = 0; ring < 3; ring++) {
        const float c = ring < 2 ? 1.0f : 0.0f;
        const float x1 = float(r.x1 - 3 + ring), y1 = float(r.y1 - 3 + ring), x2 = float(r.x2 + 3 - ring),
                    y2 = float(r.y2 + 3 - ring);
        KGraphic::drawRect(x1, y1, x2, y1 + 1, c, c, c, 1);
        KGraphic::drawRect(x1, y2 - 1, x2, y2, c, c, c, 1);
        KGraphic::drawRect(x1, y1, x1 + 1, y2, c, c, c, 1);
        KGraphic::drawRect(x2 - 1, y1, x2, y2, c, c, c, 1);
    }
}

void drawBoardCursor() {
    if (!steering || gameOver) return;
    KGraphic::setDefaultWorldView();
    if (gamePaused) return drawFocusRing(layout::GAME_BUTTONS[pauseFocus]);
    if (surf_cursor)
        surf_cursor->blitAlphaRect(0, 0, surf_cursor->getWidth(), surf_cursor->getHeight(),
                                   int16_t(boardLeft + cellPitch * cursorX + layout::CURSOR_AT.x),
                                   int16_t(boardTop + cellPitch * cursorY + layout::CURSOR_AT.y));
}
