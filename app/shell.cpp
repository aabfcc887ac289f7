#include "shell.h"

#include "brolix_layout.h"
#include "cursor.h"
#include "game.h"
#include "gemsets.h"
#include "highscores.h"
#include "language.h"
#include "makers.h"
#include "menu.h"
#include "pictures.h"
#include "prefs.h"
#include "sounds.h"
#include "watch.h"
#include "welcome.h"
#include "brolix_resources.h"
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include "KCatalog.h"
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

namespace {

bool isInside(const layout::Rect &r, int x, int y) { return inRange(x, r.x1, r.x2) && inRange(y, r.y1, r.y2); }

// Return, Space, Escape: a pad's A and B read as Return and Escape.
bool anyAnswerKeyDown() {
    return KInput::isPressed(K_VK_RETURN) || KInput::isPressed(K_VK_SPACE) || KInput::isPressed(K_VK_ESCAPE);
}

// The driver page until the player answers: a click anywhere (on the download button:
// fetch a driver), or keys and a pad, which steer a focus between the two buttons (Left,
// Right, Tab), take the focused one (Return, Space, A; at first "go on") or go on (Escape, B).
// A key still held as the page shows (the start-up dialog's Return) is no answer.
bool askDownload(KGraphic *page) {
    const layout::Rect *buttons[2] = {&layout::DRIVER_CONTINUE, &layout::DRIVER_DOWNLOAD};
    int focus = 0;
    bool steering = false, armed = false;
    while (!KWindow::isQuit()) {
        KGraphic::setDefaultWorldView();
        page->blitRect(0, 0, 640, 480, 0, 0);
        if (steering) drawFocusRing(*buttons[focus]);
        KWindow::flipBackBuffer(true);
        if (KInput::getLeftButtonState())
            return isInside(layout::DRIVER_DOWNLOAD, KInput::getMouseX(), KInput::getMouseY());
        if (KInput::isTyped(K_VK_LEFT) | KInput::isTyped(K_VK_RIGHT) | KInput::isTyped(K_VK_TAB)) {
            focus = steering ? 1 - focus : focus;
            steering = true;
        }
        const bool take = KInput::isTyped(K_VK_RETURN) | KInput::isTyped(K_VK_SPACE);
        const bool goOn = KInput::isTyped(K_VK_ESCAPE);
        if (armed && (take || goOn)) return take && focus == 1;
        armed = armed || !anyAnswerKeyDown();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));   // frames without waits in tests
    }
    return false;
}

} // namespace

bool NoAcceleration() {
    KGraphic *page = loadPictureFile("data\\page1.jpg");
    const bool download = askDownload(page);
    delete page;
    if (!download) return false;
    KMiscTools::launchURL(*BROLIX_DRIVER_PAGE ? BROLIX_DRIVER_PAGE : localizedFilePath(DRIVER_HELP_FILE), true);
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
        std::fprintf(stderr, _("brolix: %s: %s\n"), path, _(fault.c_str()));
        if (opened) KMiscTools::messageBox(_("Brolix: game record"), (std::string(path) + ": " + _(fault.c_str())).c_str());
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
    const bool replay = argc > 1 && std::strcmp(argv[1], "--replay") == 0;
    // A record opened from a file manager or a browser's downloads.
    const bool opened = argc == 2 && argv[1][0] != '-';
    if (replay || opened) {
        loadLanguageState();
        useLanguage(resolveLanguage(gLanguage));
    }
    if (replay) {
        if (argc == 3) return watchRecordFile(argv[2], false);
        std::fprintf(stderr, "%s", _("usage: brolix [[--replay] FILE]\n"));
        return 2;
    }
    if (opened) return watchRecordFile(argv[1], true);
    if (!ShowWelcomeDialogApart(KWindow::prepareDisplay)) return 0;
    if (!openGameWindow(isWindowed)) return 1;
    if (!KWindow::getAccelerationCap() && NoAcceleration()) {
        closeGameWindow();
        return 0;
    }
    loadEverything();
    loadHighScores();
    doMenu();
    const bool lost = KWindow::isDisplayLost();
    shutDown();
    return lost ? 1 : 0;
}
