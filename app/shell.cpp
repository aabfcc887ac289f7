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
#include "watch.h"
#include "welcome.h"
#include "brolix_resources.h"
#include <cstdio>
#include <cstring>
#include <string>
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

static void freeEverything() {
    destroy(highscoreText);
    for (KGraphic *&gem : gems) destroy(gem);
    freeSounds();
    destroy(surf_mouse);
    destroy(fenetre);
}

void shutDown() {
    saveHighScores();
    savePrefs();
    saveWindowState();
    freeEverything();
}

// Without a window there is nothing to play on; the engine has told the player why.
static bool openGameWindow(bool windowed) {
    fenetre = new KWindow;
    loadWindowState();
    KWindow::setWindowIcon(brolix_icon_rgba, brolix_icon_width, brolix_icon_height);
    if (!fenetre->createGameWindow(640, 480, 16, windowed, "Brolix")) {
        destroy(fenetre);
        return false;
    }
    KGraphic::setGraphicQuality(true);
    KWindow::setRectangleTexCap(false);
    return true;
}

static void loadEverything() {
    showLoadingScreen();
    surf_mouse = loadPictureFile("data\\mouse.tga");
    loadSounds();
    loadPrefs();
}

// Read before any window opens, so a bad file is told at once; the settings are read
// for the sound and the look, and nothing is written back. A record opened from a file
// manager or a browser is refused in a box too: nobody reads its standard error.
static int watchRecordFile(const char *path, bool opened) {
    GameRecord record;
    std::string fault;
    if (!loadRecordFile(path, record, fault)) {
        std::fprintf(stderr, "brolix: %s: %s\n", path, fault.c_str());
        if (opened) KMiscTools::messageBox("Brolix: game record", (std::string(path) + ": " + fault).c_str());
        return 1;
    }
    KWindow::prepareDisplay();
    if (!openGameWindow(true)) return 1;
    loadEverything();
    watchRecord(record);
    freeEverything();
    return 0;
}

int runBrolix(int argc, char **argv) {
    KMiscTools::initMiscTools();
    if (argc > 1 && std::strcmp(argv[1], "--replay") == 0) {
        if (argc == 3) return watchRecordFile(argv[2], false);
        std::fprintf(stderr, "usage: brolix [[--replay] FILE]\n");
        return 2;
    }
    // A record opened from a file manager or a browser's downloads.
    if (argc == 2 && argv[1][0] != '-') return watchRecordFile(argv[1], true);
    if (!ShowWelcomeDialogApart(KWindow::prepareDisplay)) return 0;
    if (!openGameWindow(isWindowed)) return 1;
    if (!KWindow::getAccelerationCap() && NoAcceleration()) {
        closeGameWindow();
        return 0;
    }
    loadEverything();
    loadHighScores();
    doMenu();
    shutDown();
    return 0;
}
