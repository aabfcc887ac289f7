#include <cmath>
#include <cstdio>
#include "game_local.h"
#include "brolix_glyphs.h"
#include "gemsets.h"
#include "KGraphic.h"
#include "KText.h"

KFont tableNumbers[13] = GLYPHS_TIMER;
KFont scoretableNumbers[13] = GLYPHS_SCORE;

void ShowTimer(long gameMode, bool decompte) {
    tickTimer(gameMode, decompte, minutesOfDay);
    drawTimer();
}

void drawTimer() {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", gameTimer / 60, gameTimer % 60);
    if (text_numbers) text_numbers->drawStringFromLeft(text, layout::TIMER_AT.x, layout::TIMER_AT.y, 0);
}

void AnimateZapAttack() {
    if (stepZapAttack()) drawZapAttack();
}

void drawZapAttack() {
    if (zapAttack < 0 || !surf_fond) return;
    const layout::Rect &label = layout::ZAP_SRC;
    surf_fond->blitAlphaRectFx(label.x1, label.y1, label.x2, label.y2, int16_t(layout::ZAP_AT.x),
                               int16_t(layout::ZAP_AT.y), zapAttack, zoomAttack, blendAttack);
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
