#include "highscores.h"

#include <algorithm>
#include <cstring>

#include "brolix_layout.h"
#include "menu.h"
#include "prefs.h"
#include "KGraphic.h"
#include "KText.h"

namespace {
// Name rows of the panel; each score sits one pixel higher.
const auto &rowY = layout::HIGH_NAME_Y;
const int32_t nameX = layout::HIGH_NAME_X, scoreRight = layout::HIGH_SCORE_RIGHT, nameGap = layout::HIGH_NAME_GAP;

// A name that would reach its score is drawn up to its last letter that fits;
// the table keeps the whole name.
void drawName(const char *name, int32_t right, int32_t y) {
    char shown[sizeof(sHighEntry::name)] = {};
    std::strncpy(shown, name, sizeof shown - 1);
    size_t length = std::strlen(shown);
    while (length > 0 && nameX + highscoreText->getStringWidth(shown, 0) > right) shown[--length] = '\0';
    highscoreText->drawStringFromLeft(shown, nameX, y, 0);
}
}

void DoHighscoreInput(int32_t mx, int32_t my, bool bt) {
    if (bt) {
        for (int32_t tab = 0; tab < 4; tab++)
            if (isInside(sHighTabs[tab], mx, my)) {
                prefs.scoretab = tab;
                break;
            }
    }
    clampScoreTab();
    const layout::Placed &lit = layout::TAB_LIT[prefs.scoretab];
    if (surf_menu) surf_menu->blitRect(lit.src.x1, lit.src.y1, lit.src.x2, lit.src.y2, int16_t(lit.at.x), int16_t(lit.at.y));
    displayHighscores(prefs.scoretab);
}

void displayHighscores(int32_t tab) {
    const sHighScores *table = highScoreTable(tab);
    if (!highscoreText || !table) return;
    for (int row = 0; row < 9; row++) {
        const sHighEntry &entry = table->players[row];
        char text[60];
        formatHighScore(tab, entry.score, text, sizeof text);
        const int32_t scoreLeft = scoreRight - std::max(0, highscoreText->getStringWidth(text, 0));
        drawName(entry.name, scoreLeft - nameGap, rowY[row]);
        highscoreText->drawStringFromRight(text, scoreRight, rowY[row] - 1, 0);
    }
}
