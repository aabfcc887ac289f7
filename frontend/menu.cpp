#include "menu.h"

#include <algorithm>

#include "brolix_glyphs.h"
#include "brolix_layout.h"
#include "cursor.h"
#include "game.h"
#include "gemsets.h"
#include "highscores.h"
#include "language.h"
#include "makers.h"
#include "online.h"
#include "pictures.h"
#include "prefs.h"
#include "sounds.h"
#include "KGraphic.h"
#include "KInput.h"
#include "KMiscTools.h"
#include "KSound.h"
#include "KWindow.h"

using namespace layout;

static constexpr sBtn button(const Rect &r) { return {float(r.x1), float(r.y1), float(r.x2), float(r.y2)}; }

sBtn sBoutons[6] = {button(MAIN_BUTTONS[0]), button(MAIN_BUTTONS[1]), button(MAIN_BUTTONS[2]),
                    button(MAIN_BUTTONS[3]), button(MAIN_BUTTONS[4]), button(MAIN_BUTTONS[5])};
sBtn sGameSelect[6] = {button(MODE_ROWS[0]), button(MODE_ROWS[1]), button(MODE_ROWS[2]),
                       button(MODE_ROWS[3]), button(PLAY_DISC),    button(PLAY_BAR)};
sBtn sGameDifficult[3] = {button(DIFF_BOXES[0]), button(DIFF_BOXES[1]), button(DIFF_BOXES[2])};
sBtn sHighTabs[4] = {button(HIGH_TABS[0]), button(HIGH_TABS[1]), button(HIGH_TABS[2]), button(HIGH_TABS[3])};

int32_t gCurrentMenu = 0;
bool oldBt = false;
KGraphic *surf_menu = nullptr;
KGraphic *surf_credits = nullptr;

KFont theFont[39] = GLYPHS_MENU;
KGlyph theFontBeyondAscii[GLYPHS_MENU_WIDE_COUNT] = GLYPHS_MENU_WIDE;

const char *const makersWebPage = BROLIX_WEB_PAGE;
const char *const makersMailLink = "mailto:" BROLIX_MAIL_ADDRESS "?subject=Brolix";

namespace {

enum Action { actionNone = 0, actionPlay = 1, actionQuit = 10 };
enum Panel { panelGame = 0, panelPicture = 1, panelOptions = 2, panelScores = 3, panelCredits = 4 };

// What a click on main buttons 1..5 reports; button 0 asks nothing.
const int32_t mainButtonActions[6] = {actionNone, 2, 4, 5, 3, actionQuit};

// Opaque copy of a region of the menu picture; nothing while it is missing.
void blitMenu(float sx1, float sy1, float sx2, float sy2, int dx, int dy) {
    if (surf_menu) surf_menu->blitRect(sx1, sy1, sx2, sy2, int16_t(dx), int16_t(dy));
}

void blitMenu(const Rect &src, Point at) { blitMenu(src.x1, src.y1, src.x2, src.y2, at.x, at.y); }

// The lit look of a screen rectangle, kept LIT rows below it in the menu picture.
void blitLit(float x1, float y1, float x2, float y2) { blitMenu(x1, y1 + LIT, x2, y2 + LIT, int(x1), int(y1)); }

void blitLit(const Rect &r) { blitLit(r.x1, r.y1, r.x2, r.y2); }

void blitLitMarker(Point at, Size size) { blitLit(at.x, at.y, at.x + size.w, at.y + size.h); }

void drawMenuScreen() { blitMenu(0, 0, 640, 480, 0, 0); }

void drawLitMainButton(int i) {
    const sBtn &b = sBoutons[i];
    blitLit(b.x1, b.y1, b.x2, b.y2);
}

// Strictly between low and high.
bool within(int32_t v, int32_t low, int32_t high) { return v > low && v < high; }

// Strictly inside the rectangle.
bool within(const Rect &r, int32_t x, int32_t y) { return within(x, r.x1, r.x2) && within(y, r.y1, r.y2); }

void openAndQuit(const char *url) {
    KMiscTools::launchURL(url, true);
    KWindow::terminate();
}

void creditsLinks(int32_t mx, int32_t my, bool bt) {
    if (bt && within(CREDITS_WEB, mx, my))
        openAndQuit(*makersWebPage ? makersWebPage : localizedFilePath(HELP_INDEX_FILE));
    if (bt && within(CREDITS_MAIL, mx, my)) openAndQuit(makersMailLink);
}

// The picture's first 8 columns are left out.
void drawCredits() {
    if (surf_credits)
        surf_credits->blitRect(8, 0, surf_credits->getWidth(), surf_credits->getHeight(), int16_t(CREDITS_AT.x),
                               int16_t(CREDITS_AT.y));
}

void drawOpenPanel(int32_t mx, int32_t my, bool bt) {
    switch (gCurrentMenu) {
    case panelGame:
        blitLit(PANEL0);
        DisplayGameModeStuff();
        break;
    case panelPicture:
        blitMenu(PANEL1_SRC, PANEL1_AT);
        break;
    case panelOptions:
        blitMenu(PANEL2_SRC, PANEL2_AT);
        detectVolumeSlide(mx, my, bt);
        break;
    case panelScores:
        blitMenu(PANEL3_SRC, PANEL3_AT);
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
        blitLit(PLAY);
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

void nextBubbleSet() {
    const int64_t next = int64_t(prefs.bubbleset) + 1;
    prefs.bubbleset = next < 0 || next > INT32_MAX ? 0 : int32_t(next);
    loadChosenBubbleSet();
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
        if (KInput::isPressed(K_VK_ESCAPE) && !menuFocusBack()) break;
        const int32_t action = doUserInput();
        fetchTicketAhead(prefs.gameMode, prefs.difficulty); // the seed of the game PLAY would start
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
    const MenuPointer pointer = readMenuPointer();
    if (pointer.down && !oldBt && snd_click) snd_click->playSample();
    oldBt = pointer.down;
    return menuControls(pointer.x, pointer.y, pointer.down);
}

int32_t menuControls(int32_t mx, int32_t my, bool bt) {
    int32_t action = actionNone;
    mainButtons(mx, my, bt, action);
    playButton(mx, my, bt, action);
    if (bt && gCurrentMenu == panelGame) gameSettings(mx, my);
    drawOpenPanel(mx, my, bt);
    if (gCurrentMenu >= panelGame && gCurrentMenu <= panelCredits) drawLitMainButton(gCurrentMenu);
    drawMenuFocus();
    return action;
}

void DisplayGameModeStuff() {
    if (prefs.gameMode >= 0 && prefs.gameMode < 4)
        blitLitMarker(MODE_MARKERS[prefs.gameMode], MODE_MARKER_SIZE[prefs.gameMode]);
    if (prefs.difficulty >= 0 && prefs.difficulty < 3)
        blitLitMarker(DIFF_MARKERS[prefs.difficulty], DIFF_MARKER_SIZE[prefs.difficulty]);
}

void detectVolumeSlide(int32_t mx, int32_t my, bool bt) {
    detectBubbleChange(mx, my, bt);
    if (bt && within(VOLUME_SLIDER, mx, my)) prefs.volume = mx - VOLUME_SLIDER.x1;
    applyEffectVolume();
    // The track shows filled from its left end to under the knob.
    const Rect &fill = VOLUME_FILL_SRC;
    const int32_t filled = std::clamp<int32_t>(prefs.volume + 8, 0, fill.x2 - fill.x1);
    blitMenu(fill.x1, fill.y1, fill.x1 + filled, fill.y2, VOLUME_TRACK.x1, VOLUME_TRACK.y1);
    const Rect &knob = KNOB_SRC;
    if (surf_menu)
        surf_menu->blitAlphaRect(knob.x1, knob.y1, knob.x2, knob.y2, int16_t(prefs.volume + VOLUME_X0), KNOB_Y);
    // The left end snaps to silence; the knob never leaves the slider.
    if (prefs.volume < 5) prefs.volume = 0;
    if (prefs.volume > 116) prefs.volume = 116;
    if (within(RESET_BUTTON, mx, my)) {
        blitMenu(RESET_LIT_SRC, RESET_AT);
        if (bt) resetScores();
    }
}

void detectBubbleChange(int32_t mx, int32_t my, bool bt) {
    for (int j = 1; j <= 7; j++) {
        KGraphic *gem = gems[j - 1];
        if (!gem) continue;
        const int w = int(gem->getWidth()), h = int(gem->getHeight());
        gem->blitAlphaRect(0, 0, float(w), float(h), int16_t((w + 4) * j + GEM_ROW_X), GEM_ROW_Y);
    }
    if (highscoreText) highscoreText->drawStringCentered(bubbleSetName, GEM_NAME[0], GEM_NAME[1], GEM_NAME[2], 0);
    if (!bt || !within(GEM_SET_BUTTON, mx, my)) return;
    nextBubbleSet();
    // One click moves exactly one set on: nothing happens until the button is up.
    waitForButton(false);
}

// The menu's first frame as the pointer finds it, nothing pressed.
void ScrollTheMenu() {
    spinTo([] {
        drawMenuScreen();
        menuControls(KInput::getMouseX(), KInput::getMouseY(), false);
    });
}

void loadMenuGraphics() {
    surf_menu = loadSkinPicture("data\\menu%d.tga");
    surf_credits = loadSkinPicture("data\\credits%d.tga");
    if (highscoreText)
        return;
    highscoreText = new KText(KMiscTools::makeFilePath("data\\highscalp.tga"), theFont);
    highscoreText->addGlyphs(KMiscTools::makeFilePath("data\\highscalpw.tga"), theFontBeyondAscii);
}

void freeMenuGraphics() {
    destroy(surf_menu);
    destroy(surf_credits);
}
