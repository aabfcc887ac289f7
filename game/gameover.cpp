#include <cstring>

#include "game_local.h"
#include "highscores.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KText.h"

char buffer[32];
int32_t bufferPosition = 0;
int32_t blinker = 0;
KText *highscoreText = nullptr;

static const int32_t nameLength = 19;
static const int32_t nameX = layout::NAME_AT.x, nameY = layout::NAME_AT.y;

// Centred across the screen and on the band between the display rows, shifted by (dx, dy).
static void drawCentred(KGraphic *picture, float dx, float dy, float zoom, float alpha) {
    if (!picture) return;
    float w = picture->getWidth(), h = picture->getHeight();
    picture->blitAlphaRectFx(0, 0, w, h, int16_t((640 - w) / 2 + dx), int16_t((357 - h) / 2 + 77 + dy), 0, zoom,
                             alpha);
}

// A key still down from the board (an arrow, Enter, H) was pressed for the board: the
// entry takes it only once it has been let go.
static bool heldFromBoard[K_VK_COUNT];
static const EKeyboardLayout otherEntryKeys[] = {K_VK_SPACE, K_VK_RETURN, K_VK_BACK, K_VK_UP, K_VK_DOWN, K_VK_LEFT, K_VK_RIGHT};

static void noteKeysHeldFromBoard() {
    for (int k = K_VK_A; k <= K_VK_Z; k++) heldFromBoard[k] = KInput::isPressed(EKeyboardLayout(k));
    for (EKeyboardLayout k : otherEntryKeys) heldFromBoard[k] = KInput::isPressed(k);
}

static bool entryKeyDown(EKeyboardLayout key) {
    const bool down = KInput::isPressed(key);
    if (!down) heldFromBoard[key] = false;
    return down && !heldFromBoard[key];
}

// Only a key held from the board is asked twice: a tap's press is latched for one question.
static bool entryKeyTyped(EKeyboardLayout key) {
    const bool typed = KInput::isTyped(key);
    if (!heldFromBoard[key]) return typed;
    if (!KInput::isPressed(key)) heldFromBoard[key] = false;
    return false;
}

enum class NameKey { none, character, accept, erase };

// Later keys in this order override earlier ones.
static NameKey readNameKey(char &typed) {
    NameKey key = NameKey::none;
    for (int k = K_VK_A; k <= K_VK_Z; k++)
        if (entryKeyDown(EKeyboardLayout(k))) {
            typed = char('a' + (k - K_VK_A));
            key = NameKey::character;
        }
    if (entryKeyDown(K_VK_SPACE)) {
        typed = ' ';
        key = NameKey::character;
    }
    if (entryKeyDown(K_VK_RETURN)) key = NameKey::accept;
    if (entryKeyDown(K_VK_BACK)) key = NameKey::erase;
    return key;
}

// No frame is drawn until every entry key is up, so one press gives one character.
static void waitForEntryKeysUp() {
    for (int k = K_VK_A; k <= K_VK_Z; k++) KInput::waitForKeyRelease(EKeyboardLayout(k));
    KInput::waitForKeyRelease(K_VK_SPACE);
    KInput::waitForKeyRelease(K_VK_BACK);
    KInput::waitForKeyRelease(K_VK_RETURN);
}

static void acceptName() {
    ghighscoreProcessed = true;
    char name[256] = {};
    std::memcpy(name, buffer, strnlen(buffer, nameLength));
    transferHighScore(name);
}

static void editName(NameKey key, char typed) {
    if (key == NameKey::erase) {
        if (bufferPosition > 0) buffer[--bufferPosition] = '\0';
    } else if (bufferPosition < nameLength) {
        buffer[bufferPosition++] = typed;
    } else {
        buffer[nameLength - 1] = typed;
    }
    waitForEntryKeysUp();
}

// Up and down turn the last letter through the alphabet, right starts a new one (an
// "a"), left takes the last one back: a whole name typed on a pad. They repeat when held.
static void padName() {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz ";
    const int letters = int(sizeof alphabet) - 1;
    const int turn = entryKeyTyped(K_VK_UP) - entryKeyTyped(K_VK_DOWN);
    const int move = entryKeyTyped(K_VK_RIGHT) - entryKeyTyped(K_VK_LEFT);
    if (move < 0 && bufferPosition > 0) buffer[--bufferPosition] = '\0';
    if ((move > 0 || (turn && bufferPosition == 0)) && bufferPosition < nameLength) {
        buffer[bufferPosition++] = 'a';
        return;
    }
    if (!turn || bufferPosition == 0) return;
    const char *at = std::strchr(alphabet, buffer[bufferPosition - 1]);
    const int letter = at && *at ? int(at - alphabet) : 0;
    buffer[bufferPosition - 1] = alphabet[(letter + turn + letters) % letters];
}

// Hidden for 35 frames, shown for 36.
static void drawNameAndCursor() {
    if (!highscoreText) return;
    highscoreText->drawStringFromLeft(buffer, nameX, nameY, 0);
    const int32_t width = highscoreText->getStringWidth(buffer, 0);
    if (++blinker > 35) KGraphic::drawRect(float(width + 233), nameY, float(width + 239), 323, 0, 0, 0, 1);
    if (blinker > 70) blinker = 0;
}

static void nameEntry() {
    drawCentred(surf_highscore, -3, -1, gameOverFade, gameOverFade);
    if (gameOverFade < 1.0f) return noteKeysHeldFromBoard();
    char typed = 0;
    const NameKey key = readNameKey(typed);
    if (key == NameKey::accept)
        acceptName();
    else if (key != NameKey::none)
        editName(key, typed);
    else
        padName();
    drawNameAndCursor();
}

void displayGameOver() {
    if (!surf_gameover || gameOverFade <= 0) return;
    if (gameOver && !isHighScore()) {
        if (_gameMode == modeRelax) {
            ghighscoreProcessed = true;
            return;
        }
        if (ghighscoreProcessed) {
            // The accepted entry fades out, without its text.
            drawCentred(surf_highscore, 0, 0, 1, gameOverFade);
            gameOverFade -= 0.1f;
            return;
        }
        drawCentred(surf_gameover, 0, 0, gameOverFade, gameOverFade);
        return;
    }
    nameEntry();
}
