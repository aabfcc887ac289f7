#include "shell.h"

#include "brolix_layout.h"
#include "cursor.h"
#include "game.h"
#include "gemsets.h"
#include "highscores.h"
#include "makers.h"
#include "menu.h"
#include "pictures.h"
#include "prefs.h"
#include "sounds.h"
#include "welcome.h"
#include "brolix_resources.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KWindow.h"

KWindow *fenetre = nullptr;

namespace {

bool inRange(int v, int low, int high) { return v >= low && v <= high; }

void closeGameWindow() {
    saveWindowState();
    destroy(fenetre);
}

} // namespace

bool NoAcceleration() {
    KGraphic *page = loadPictureFile("data\\page1.jpg");
    for (int buffer = 0; buffer < 2; buffer++) {
        KGraphic::setDefaultWorldView();
        page->blitRect(0, 0, 640, 480, 0, 0);
        KWindow::flipBackBuffer(true);
    }
    waitForButton(true);
    delete page;
    const int x = KInput::getMouseX(), y = KInput::getMouseY();
    // Anywhere but the download button goes on without acceleration.
    const layout::Rect &download = layout::DRIVER_DOWNLOAD;
    if (!inRange(x, download.x1, download.x2) || !inRange(y, download.y1, download.y2)) return false;
    KMiscTools::launchURL(*BROLIX_DRIVER_PAGE ? BROLIX_DRIVER_PAGE : KMiscTools::makeFilePath(DRIVER_HELP_FILE), true);
    return true;
}

void showLoadingScreen() {
    KGraphic *loading = loadPictureFile("data\\loading.bmp");
    const float w = loading->getWidth(), h = loading->getHeight();
    for (int buffer = 0; buffer < 2; buffer++) {
        KGraphic::setWorldView(0, 0, 0, 1, true);
        loading->blitRect(0, 0, w, h, int16_t((640 - w) / 2), int16_t((480 - h) / 2));
        KWindow::flipBackBuffer(true);
    }
    delete loading;
}

void shutDown() {
    destroy(highscoreText);
    for (KGraphic *&gem : gems) destroy(gem);
    saveHighScores();
    savePrefs();
    freeSounds();
    destroy(surf_mouse);
    closeGameWindow();
}

int runBrolix() {
    KMiscTools::initMiscTools();
    if (!ShowWelcomeDialogApart(KWindow::prepareDisplay)) return 0;
    fenetre = new KWindow;
    loadWindowState();
    KWindow::setWindowIcon(brolix_icon_rgba, brolix_icon_width, brolix_icon_height);
    // Without a window there is nothing to play on; the engine has told the player why.
    if (!fenetre->createGameWindow(640, 480, 16, isWindowed, "Brolix")) {
        destroy(fenetre);
        return 0;
    }
    KGraphic::setGraphicQuality(true);
    KWindow::setRectangleTexCap(false);
    if (!KWindow::getAccelerationCap() && NoAcceleration()) {
        closeGameWindow();
        return 0;
    }
    showLoadingScreen();
    surf_mouse = loadPictureFile("data\\mouse.tga");
    loadSounds();
    loadPrefs();
    loadHighScores();
    doMenu();
    shutDown();
    return 0;
}
