#include "menu.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cursor.h"
#include "game.h"
#include "gemsets.h"
#include "highscores.h"
#include "makers.h"
#include "prefs.h"
#include "sounds.h"
#include "welcome.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KSound.h"
#include "KWindow.h"

sBtn sBoutons[6] = {
    {415, 137, 533, 160}, {415, 164, 561, 189}, {415, 193, 521, 216},
    {415, 222, 561, 245}, {415, 249, 509, 274}, {415, 278, 470, 301},
};
sBtn sGameSelect[6] = {
    {105, 138, 360, 176}, {105, 190, 360, 229}, {105, 242, 360, 280},
    {105, 295, 360, 334}, {467, 346, 511, 382}, {437, 381, 538, 399},
};
sBtn sGameDifficult[3] = {{131, 359, 188, 385}, {198, 359, 280, 385}, {293, 359, 345, 385}};
sBtn sHighTabs[4] = {{105, 117, 168, 137}, {169, 117, 233, 137}, {234, 117, 297, 137}, {300, 117, 363, 137}};

int32_t gCurrentMenu = 0;
bool oldBt = false;
KGraphic *surf_menu = nullptr;
KGraphic *surf_credits = nullptr;
KText *highscoreText = nullptr;

KFont theFont[39] = {
    {'a', 10, 8, 18, 17, 9, 10},   {'b', 22, 8, 30, 17, 9, 10},   {'c', 32, 8, 41, 17, 10, 10},
    {'d', 43, 8, 52, 17, 10, 10},  {'e', 55, 8, 63, 17, 9, 10},   {'f', 66, 8, 73, 17, 8, 10},
    {'g', 77, 8, 86, 17, 10, 10},  {'h', 9, 25, 17, 34, 9, 10},   {'i', 20, 25, 23, 34, 4, 10},
    {'j', 26, 25, 35, 34, 10, 10}, {'k', 36, 25, 45, 34, 10, 10}, {'l', 47, 25, 54, 34, 8, 10},
    {'m', 57, 25, 67, 34, 11, 10}, {'n', 70, 25, 80, 34, 11, 10}, {'o', 7, 44, 17, 53, 11, 10},
    {'p', 20, 44, 28, 53, 9, 10},  {'q', 31, 44, 41, 53, 11, 10}, {'r', 43, 44, 52, 53, 10, 10},
    {'s', 54, 44, 63, 53, 10, 10}, {'t', 66, 44, 73, 53, 8, 10},  {'u', 76, 44, 85, 52, 10, 9},
    {'v', 87, 44, 94, 53, 8, 10},  {'w', 10, 63, 20, 72, 11, 10}, {'x', 21, 63, 29, 72, 9, 10},
    {'y', 31, 63, 39, 72, 9, 10},  {'z', 42, 63, 50, 72, 9, 10},  {'0', 7, 82, 19, 93, 13, 12},
    {'1', 23, 82, 28, 99, 6, 11},  {'2', 32, 82, 43, 96, 11, 12}, {'3', 46, 82, 56, 96, 11, 12},
    {'4', 61, 82, 70, 96, 10, 11}, {'5', 74, 82, 84, 96, 11, 12}, {'8', 35, 101, 45, 115, 11, 13},
    {'6', 8, 101, 18, 115, 11, 13}, {'7', 22, 101, 31, 115, 10, 12}, {'9', 50, 101, 60, 115, 11, 13},
    {':', 64, 101, 69, 115, 6, 12}, {' ', 106, 100, 118, 111, 6, 12}, {0, 0, 0, 0, 0, 0, 0},
};

const char *const makersWebPage = BROLIX_WEB_PAGE;
const char *const makersMailLink = "mailto:" BROLIX_MAIL_ADDRESS "?subject=Brolix";

namespace {

enum Action { actionNone = 0, actionPlay = 1, actionQuit = 10 };
enum Panel { panelGame = 0, panelPicture = 1, panelOptions = 2, panelScores = 3, panelCredits = 4 };

// What a click on main buttons 1..5 reports; button 0 asks nothing.
const int32_t mainButtonActions[6] = {actionNone, 2, 4, 5, 3, actionQuit};

const int litOffset = 480;        // lit states sit this far below their place
const float scrollStep = 0.025f;

const sBtn modeMarkers[4] = {{86, 621, 106, 639}, {86, 674, 106, 693}, {86, 725, 106, 745}, {86, 779, 106, 797}};
const int16_t modeMarkerY[4] = {141, 194, 245, 299};
const sBtn difficultyMarkers[3] = {{149, 864, 170, 881}, {230, 864, 250, 881}, {311, 864, 330, 881}};
const int16_t difficultyMarkerX[3] = {149, 230, 311};
const sBtn volumeFill = {8, 1000, 134, 1008};   // the volume track, filled, as drawn at (180, 250)

// Opaque copy of a region of the menu picture; nothing while it is missing.
void blitMenu(float sx1, float sy1, float sx2, float sy2, int dx, int dy) {
    if (surf_menu) surf_menu->blitRect(sx1, sy1, sx2, sy2, int16_t(dx), int16_t(dy));
}

void drawMenuScreen() { blitMenu(0, 0, 640, 480, 0, 0); }

void drawLitMainButton(int i) {
    const sBtn &b = sBoutons[i];
    blitMenu(b.x1, b.y1 + litOffset, b.x2, b.y2 + litOffset, int(b.x1), int(b.y1));
}

// Strictly inside the open interval on both axes.
bool within(int32_t v, int32_t low, int32_t high) { return v > low && v < high; }

void openAndQuit(const char *url) {
    KMiscTools::launchURL(url, true);
    KWindow::terminate();
}

void creditsLinks(int32_t mx, int32_t my, bool bt) {
    if (bt && within(mx, 161, 343) && within(my, 315, 399))
        openAndQuit(*makersWebPage ? makersWebPage : KMiscTools::makeFilePath(HELP_INDEX_FILE));
    if (bt && within(mx, 80, 260) && within(my, 190, 227)) openAndQuit(makersMailLink);
}

void drawCredits() {
    if (surf_credits) surf_credits->blitRect(8, 0, surf_credits->getWidth(), surf_credits->getHeight(), 73, 129);
}

void drawOpenPanel(int32_t mx, int32_t my, bool bt) {
    switch (gCurrentMenu) {
    case panelGame:
        blitMenu(105, 618, 354, 864, 105, 138);
        DisplayGameModeStuff();
        break;
    case panelPicture:
        blitMenu(641, 0, 973, 347, 67, 84);
        break;
    case panelOptions:
        blitMenu(641, 706, 971, 990, 67, 86);
        detectVolumeSlide(mx, my, bt);
        break;
    case panelScores:
        blitMenu(642, 385, 960, 680, 71, 113);
        DoHighscoreInput(mx, my, bt);
        break;
    case panelCredits:
        drawCredits();
        creditsLinks(mx, my, bt);
        break;
    default:
        break;
    }
}

void mainButtons(int32_t mx, int32_t my, bool bt, int32_t &action) {
    for (int i = 0; i < 6; i++) {
        if (!isInside(sBoutons[i], mx, my)) continue;
        drawLitMainButton(i);
        if (bt) {
            gCurrentMenu = i;
            action = mainButtonActions[i];
            return;
        }
    }
}

void playButton(int32_t mx, int32_t my, bool bt, int32_t &action) {
    for (int i = 4; i <= 5; i++) {
        if (!isInside(sGameSelect[i], mx, my)) continue;
        blitMenu(431, 822, 553, 885, 431, 342);
        if (bt) action = actionPlay;
    }
}

void gameSettings(int32_t mx, int32_t my) {
    for (int32_t mode = 0; mode < 4; mode++)
        if (isInside(sGameSelect[mode], mx, my)) {
            prefs.gameMode = mode;
            break;
        }
    for (int32_t difficulty = 0; difficulty < 3; difficulty++)
        if (isInside(sGameDifficult[difficulty], mx, my)) {
            prefs.difficulty = difficulty;
            break;
        }
}

// One click moves exactly one set on: nothing happens until the button is up.
void waitForButtonRelease() {
    while (KInput::getLeftButtonState() && !KWindow::isQuit()) {
        KWindow::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void nextBubbleSet() {
    const int64_t next = int64_t(prefs.bubbleset) + 1;
    prefs.bubbleset = next < 0 || next > INT32_MAX ? 0 : int32_t(next);
    if (!loadBubbleSet(prefs.bubbleset)) {
        prefs.bubbleset = 0;
        loadBubbleSet(0);
    }
}

KGraphic *loadSkinPicture(const char *nameFormat) {
    char name[64];
    std::snprintf(name, sizeof name, nameFormat, gSkin);
    KGraphic *picture = new KGraphic;
    picture->loadPicture(KMiscTools::makeFilePath(name), true, false, true);
    return picture;
}

} // namespace

bool isInside(const sBtn &button, int32_t mx, int32_t my) {
    return float(mx) >= button.x1 && float(mx) <= button.x2 && float(my) >= button.y1 && float(my) <= button.y2;
}

void doMenu() {
    loadMenuGraphics();
    loadBubbleSet(prefs.bubbleset);
    while (!KWindow::isQuit()) {
        KGraphic::setDefaultWorldView();
        drawMenuScreen();
        if (KInput::isPressed(K_VK_ESCAPE)) break;
        const int32_t action = doUserInput();
        if (action == actionPlay) {
            freeMenuGraphics();
            doTheGame(prefs.gameMode);
            if (!KWindow::isQuit()) {
                loadMenuGraphics();
                ScrollTheMenu();
            }
        } else if (action == actionQuit) {
            KWindow::terminate();
        }
        displayMouseCursor();
        if (!KWindow::isQuit()) KWindow::flipBackBuffer(true);
        grabVideo();
    }
    freeMenuGraphics();
}

int32_t doUserInput() {
    const int32_t mx = KInput::getMouseX(), my = KInput::getMouseY();
    const bool bt = KInput::getLeftButtonState();
    if (bt && !oldBt && snd_click) snd_click->playSample();
    oldBt = bt;

    int32_t action = actionNone;
    mainButtons(mx, my, bt, action);
    playButton(mx, my, bt, action);
    if (bt && gCurrentMenu == panelGame) gameSettings(mx, my);
    drawOpenPanel(mx, my, bt);
    if (gCurrentMenu >= panelGame && gCurrentMenu <= panelCredits) drawLitMainButton(gCurrentMenu);
    return action;
}

void DisplayGameModeStuff() {
    if (prefs.gameMode >= 0 && prefs.gameMode < 4) {
        const sBtn &m = modeMarkers[prefs.gameMode];
        blitMenu(m.x1, m.y1, m.x2, m.y2, 86, modeMarkerY[prefs.gameMode]);
    }
    if (prefs.difficulty >= 0 && prefs.difficulty < 3) {
        const sBtn &m = difficultyMarkers[prefs.difficulty];
        blitMenu(m.x1, m.y1, m.x2, m.y2, difficultyMarkerX[prefs.difficulty], 384);
    }
}

void detectVolumeSlide(int32_t mx, int32_t my, bool bt) {
    detectBubbleChange(mx, my, bt);
    if (bt && within(mx, 182, 299) && within(my - 10, 240, 259)) prefs.volume = mx - 182;
    applyEffectVolume();
    // The track shows filled from its left end to under the knob.
    const int32_t filled = std::clamp<int32_t>(prefs.volume + 8, 0, int32_t(volumeFill.x2 - volumeFill.x1));
    blitMenu(volumeFill.x1, volumeFill.y1, volumeFill.x1 + float(filled), volumeFill.y2, 180, 250);
    if (surf_menu) surf_menu->blitAlphaRect(582, 979, 598, 994, int16_t(prefs.volume + 176), 246);
    // The left end snaps to silence; the knob never leaves the slider.
    if (prefs.volume < 5) prefs.volume = 0;
    if (prefs.volume > 116) prefs.volume = 116;
    if (within(mx, 101, 316) && within(my - 10, 139, 166)) {
        blitMenu(679, 997, 892, 1023, 105, 138);
        if (bt) resetScores();
    }
}

void detectBubbleChange(int32_t mx, int32_t my, bool bt) {
    for (int j = 1; j <= 7; j++) {
        KGraphic *gem = gems[j - 1];
        if (!gem) continue;
        const int w = int(gem->getWidth()), h = int(gem->getHeight());
        gem->blitAlphaRect(0, 0, float(w), float(h), int16_t((w + 4) * j + 61), 306);
    }
    if (highscoreText) highscoreText->drawStringCentered(bubbleSetName, 95, 383, 355, 0);
    if (!bt || !within(mx, 80, 398) || !within(my, 300, 371)) return;
    nextBubbleSet();
    waitForButtonRelease();
}

void ScrollTheMenu() {
    KGraphic *lastFrame = new KGraphic;
    lastFrame->grabBackBuffer();
    if (snd_swap) snd_swap->playSample();
    for (float fade = 0; fade < 1.0f; fade += scrollStep) {
        KGraphic::setWorldView(0, 0, 0, 1, true);
        lastFrame->blitAlphaRectFx(0, 0, 640, 480, 0, 0, (1 - fade) * 360, 1 - fade, 1 - fade);
        if (surf_menu) surf_menu->blitAlphaRectFx(0, 0, 640, 480, 0, 0, fade * 360, fade, fade);
        KWindow::flipBackBuffer(true);
        grabVideo();
    }
    delete lastFrame;
}

void loadMenuGraphics() {
    surf_menu = loadSkinPicture("data\\menu%d.tga");
    surf_credits = loadSkinPicture("data\\credits%d.tga");
    if (!highscoreText) highscoreText = new KText(KMiscTools::makeFilePath("data\\highscalp.tga"), theFont);
}

void freeMenuGraphics() {
    delete surf_menu;
    surf_menu = nullptr;
    delete surf_credits;
    surf_credits = nullptr;
}
