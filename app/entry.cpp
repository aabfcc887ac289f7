// Opens the game window and plays games until the window is closed.
#include "cursor.h"
#include "game.h"
#include "gemsets.h"
#include "highscores.h"
#include "prefs.h"
#include "sounds.h"
#include "welcome.h"
#include "KGraphic.h"
#include "KMiscTools.h"
#include "KWindow.h"

static void loadCursor() {
    surf_mouse = new KGraphic;
    surf_mouse->loadPicture(KMiscTools::makeFilePath("data\\mouse.tga"), true, false, true);
}

static void freeGems() {
    for (KGraphic *&gem : gems) {
        delete gem;
        gem = nullptr;
    }
}

int main() {
    loadFullScreenState();
    loadGamePadState();
    KWindow *fenetre = new KWindow;
    fenetre->createGameWindow(640, 480, 16, isWindowed, "Brolix");
    KGraphic::setGraphicQuality(true);
    KWindow::setRectangleTexCap(false);
    loadCursor();
    loadSounds();
    loadPrefs();
    loadHighScores();

    while (!KWindow::isQuit()) doTheGame(prefs.gameMode);

    freeGems();
    saveHighScores();
    savePrefs();
    freeSounds();
    delete surf_mouse;
    surf_mouse = nullptr;
    delete fenetre;
    return 0;
}
