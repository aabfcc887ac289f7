#include <cmath>
#include <cstdio>
#include <ctime>
#include "game_local.h"
#include "brolix_glyphs.h"
#include "gemsets.h"
#include "KGraphic.h"
#include "KText.h"

int32_t gameTimer = 0;
int32_t subTimer = 0;

KFont tableNumbers[13] = GLYPHS_TIMER;
KFont scoretableNumbers[13] = GLYPHS_SCORE;

static const int32_t framesPerTick = 75;
static const uint32_t millionTarget = 1000000;

void resetTimer(long gameMode) {
    subTimer = 0;
    gameOver = false;
    ghighscoreProcessed = false;
    gameTimer = gameMode == modeSixtySeconds ? 60 : gameMode == modeFiveMinutes ? 300 : 0;
}

static int32_t minutesOfDay() {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 60 + local.tm_min;
}

// Ticks go on after the end, so points of clears still running count until
// the high score is handled; the million mode keeps its time.
static void timerTick(long gameMode) {
    switch (gameMode) {
    case modeSixtySeconds:
    case modeFiveMinutes:
        if (gameTimer <= 0) {
            gameOver = true;
            gameTimer = 0;
            _realScore = static_cast<int32_t>(score);
        } else {
            gameTimer--;
        }
        break;
    case modeMillion:
        if (score > millionTarget) {
            _realScore = gameTimer;
            gameOver = true;
        } else {
            gameTimer++;
        }
        break;
    case modeRelax:
        _realScore = static_cast<int32_t>(score);
        gameTimer = minutesOfDay();
        break;
    default:
        break;
    }
}

void ShowTimer(long gameMode, bool decompte) {
    if (decompte) subTimer++;
    if (subTimer >= framesPerTick) {
        subTimer = 0;
        timerTick(gameMode);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", gameTimer / 60, gameTimer % 60);
    if (text_numbers) text_numbers->drawStringFromLeft(text, layout::TIMER_AT.x, layout::TIMER_AT.y, 0);
}

void displayScore() {
    char text[200];
    std::snprintf(text, sizeof text, "%u", score);
    if (text_scorenumbers) text_scorenumbers->drawStringFromLeft(text, layout::SCORE_AT.x, layout::SCORE_AT.y, 0);
}

namespace {
struct MarkLook {
    KGraphic **picture;                 // null: the mark is not drawn
    layout::Point offset;               // from the gem's corner
    bool grows;                         // zooms out as its token clears
};
const MarkLook markLooks[7] = {
    {nullptr, {0, 0}, false},           // none
    {&surf_bomb, layout::MARK_OFFSETS.bomb, true},
    {&surf_horiz, layout::MARK_OFFSETS.horiz, true},
    {&surf_verti, layout::MARK_OFFSETS.verti, true},
    {&surf_xzap, layout::MARK_OFFSETS.xzap, true},
    {nullptr, {0, 0}, false},           // blank
    {&surf_rand, layout::MARK_OFFSETS.question, false},
};
}  // namespace

void displayGameMode(long gameMode) {
    if (!surf_fond || gameMode < 0 || gameMode > 3) return;
    const layout::Placed &label = layout::MODE_LABELS[gameMode];
    surf_fond->blitAlphaRect(label.src.x1, label.src.y1, label.src.x2, label.src.y2, int16_t(label.at.x),
                             int16_t(label.at.y));
}

static void drawWhole(KGraphic *picture, long x, long y) {
    if (picture)
        picture->blitAlphaRect(0, 0, picture->getWidth(), picture->getHeight(), int16_t(x), int16_t(y));
}

// All gems of a set share the size of the first.
static void drawGem(const sToken &t, int16_t x, int16_t y) {
    if (t.color < 0 || t.color > 6 || !gems[t.color] || !gems[0]) return;
    float w = gems[0]->getWidth(), h = gems[0]->getHeight();
    if (t.fade == 1.0f && t.sinus == 0)
        gems[t.color]->blitAlphaRect(0, 0, w, h, x, y);
    else
        gems[t.color]->blitAlphaRectFx(0, 0, w, h, x, y, 0, t.fade + std::sin(t.sinus) / 6, t.fade);
}

static void drawMark(const sToken &t, int16_t x, int16_t y) {
    if (t.bonusType < 0 || t.bonusType > 6) return;
    const MarkLook &look = markLooks[t.bonusType];
    KGraphic *picture = look.picture ? *look.picture : nullptr;
    if (!picture) return;
    picture->blitAlphaRectFx(0, 0, picture->getWidth(), picture->getHeight(), int16_t(x + look.offset.x),
                             int16_t(y + look.offset.y), 0, look.grows ? 2 - t.fade : 1, t.fade / 2);
}

// Column by column, so later columns overlap earlier ones.
void displayTokens() {
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) {
            const sToken &t = tokenAt(x, y);
            if (!t.alive) continue;
            long px = boardLeft + cellPitch * x, py = boardTop + cellPitch * y;
            if (t.selected) drawWhole(surf_select, px - 1, py - 1);
            int16_t gemX = static_cast<int16_t>(px + t.dx);
            int16_t gemY = static_cast<int16_t>(py + t.fally + t.dy);
            drawGem(t, gemX, gemY);
            drawMark(t, gemX, gemY);
        }
}
