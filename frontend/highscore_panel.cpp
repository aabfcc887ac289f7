#include "highscores.h"

#include "menu.h"
#include "prefs.h"
#include "KGraphic.h"
#include "KText.h"

namespace {
// Name rows of the panel; each score sits one pixel higher.
const int32_t rowY[9] = {151, 175, 198, 233, 257, 280, 315, 339, 362};
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
    const sBtn &tab = sHighTabs[prefs.scoretab];
    if (surf_menu) surf_menu->blitRect(tab.x1 + 575, 358, tab.x2 + 572, 382, int16_t(tab.x1 + 4), 113);
    displayHighscores(prefs.scoretab);
}

void displayHighscores(int32_t tab) {
    const sHighScores *table = highScoreTable(tab);
    if (!highscoreText || !table) return;
    for (int row = 0; row < 9; row++) {
        const sHighEntry &entry = table->players[row];
        char text[60];
        formatHighScore(tab, entry.score, text, sizeof text);
        highscoreText->drawStringFromLeft(entry.name, 110, rowY[row], 0);
        highscoreText->drawStringFromRight(text, 360, rowY[row] - 1, 0);
    }
}
