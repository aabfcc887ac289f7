#include <algorithm>
#include <cstdlib>
#include "game_local.h"
#include "cursor.h"
#include "gemsets.h"
#include "highscores.h"
#include "journal.h"
#include "online.h"
#include "prefs.h"
#include "pictures.h"
#include "sounds.h"
#include "KGraphic.h"
#include "KMiscTools.h"
#include "KSound.h"
#include "KText.h"
#include "KWindow.h"

KGraphic *surf_fond = nullptr;
KGraphic *surf_internet = nullptr;
KGraphic *surf_gameover = nullptr;
KGraphic *surf_highscore = nullptr;
KGraphic *surf_select = nullptr;
KGraphic *surf_cursor = nullptr;
KGraphic *surf_bomb = nullptr;
KGraphic *surf_horiz = nullptr;
KGraphic *surf_verti = nullptr;
KGraphic *surf_rand = nullptr;
KGraphic *surf_xzap = nullptr;
KText *text_numbers = nullptr;
KText *text_scorenumbers = nullptr;

static const float fadeStep = 0.02f;      // game-over screen, per frame
static const float scrollStep = 0.025f;   // transition, per frame

static KText *createText(const char *fontFile, KFont *table) {
    return new KText(KMiscTools::makeFilePath(fontFile), table);
}

static void loadMarks() {
    KGraphic **marks[] = {&surf_bomb, &surf_horiz, &surf_verti, &surf_rand, &surf_xzap};
    for (KGraphic **mark : marks) *mark = new KGraphic;
    loadInto(surf_bomb, "data\\bomb.tga");
    loadInto(surf_horiz, "data\\horiz.tga");
    loadInto(surf_verti, "data\\verti.tga");
    loadInto(surf_rand, "data\\question.tga");
    loadInto(surf_xzap, "data\\xzap.tga");
}

// The one place a new game's seed is chosen (PLAY, F1, the new-game button; a resumed
// game keeps its own): the server's, from a ticket fetched ahead, else the machine's.
// The next game's ticket is fetched meanwhile. Tests deal a known board with
// BROLIX_TEST_SEED=n in the environment.
static uint32_t sessionSeed(long gameMode, int32_t difficulty) {
    uint32_t seed = KMiscTools::getTheTicks();
    takeTicket(gameMode, difficulty, seed);
    fetchTicketAhead(gameMode, difficulty);
    const char *test = std::getenv("BROLIX_TEST_SEED");
    return test ? uint32_t(std::strtoul(test, nullptr, 10)) : seed;
}

void loadSession(long gameMode) {
    surf_fond = loadSkinPicture("data\\ingame%d.tga");
    surf_internet = loadPictureFile("data\\internet.tga");
    surf_gameover = loadSkinPicture("data\\gameover%d.tga");
    surf_highscore = loadSkinPicture(gameMode == modeRelax ? "data\\enternamer%d.bmp" : "data\\entername%d.tga");
    loadChosenBubbleSet();
    surf_select = loadSkinPicture("data\\select%d.tga");
    surf_cursor = loadSkinPicture("data\\cursor%d.tga");
    text_numbers = createText("data\\timenmb.tga", tableNumbers);
    text_scorenumbers = createText("data\\numbers.tga", scoretableNumbers);
    for (sHotSpot &spot : hotspots) spot.surface = surf_fond;
    loadMarks();
}

// A game the program did not live to end goes on.
static void startSession(long gameMode) {
    loadSession(gameMode);
    if (!resumeJournal(gameMode, prefs.difficulty)) startGame(gameMode, prefs.difficulty, sessionSeed(gameMode, prefs.difficulty));
    KWindow::setFocusLossCall(flushJournal);
    ScrollTheGame();
}

// F1 and the new-game button end a game; the next is a record and a journal of its own.
static void startNextGame() {
    closeJournal(false);
    startGame(_gameMode, gameDifficulty, sessionSeed(_gameMode, gameDifficulty));
}

// The gem set stays loaded for the menu and the next game.
void endSession() {
    destroy(surf_xzap);
    destroy(surf_bomb);
    destroy(surf_horiz);
    destroy(surf_verti);
    destroy(surf_rand);
    destroy(surf_gameover);
    destroy(text_scorenumbers);
    destroy(surf_internet);
    destroy(text_numbers);
    destroy(surf_highscore);
    destroy(surf_fond);
    destroy(surf_select);
    destroy(surf_cursor);
    for (sHotSpot &spot : hotspots) spot.surface = nullptr;
}

static void drawBackground() {
    KGraphic::setDefaultWorldView();
    surf_fond->blitRect(0, 0, surf_fond->getWidth(), surf_fond->getHeight(), 0, 0);
}

// The board is hidden; the buttons keep working.
void drawPause(const FrameInput &in) {
    drawBackground();
    const layout::Rect &pause = layout::PAUSE_SRC;
    surf_fond->blitRect(pause.x1, pause.y1, pause.x2, pause.y2, layout::PAUSE_AT.x, layout::PAUSE_AT.y);
    displayScore();
    drawLitButton(in);
    displayGameMode(_gameMode);
    drawTimer();
    drawBoardCursor();
}

static void stepGameOverScreen() {
    if (gameOver) {
        gameOverFade = std::min(gameOverFade + fadeStep, 1.0f);
        displayGameOver();
        return;
    }
    gameOverFade -= fadeStep;
    if (gameOverFade > 0)
        displayGameOver();
    else
        gameOverFade = 0;
}

void drawPlay(const FrameInput &in) {
    drawBackground();
    drawLitButton(in);
    displayTokens();
    drawBoardCursor();
    displayScore();
    drawTimer();
    stepGameOverScreen();
    displayGameMode(_gameMode);
    drawZapAttack();
}

static void drawScene(const FrameInput &in, bool paused) {
    if (paused)
        drawPause(in);
    else
        drawPlay(in);
}

// What the rules decided, sounded, then drawn and shown. The sounds go first: drawing
// the frame a game ends on asks the score server, which may take seconds to answer.
void showFrame(const FrameInput &in, bool paused) {
    playCues();
    drawScene(in, paused);
    displayMouseCursor();
    if (!KWindow::isQuit()) KWindow::flipBackBuffer(true);
    KWindow::processEvents();
}

// One frame: the rules step on what the player does, then the frame shows what they
// decided and sounds it; false when the session is over.
static bool playFrame() {
    const FrameInput in = readFrameInput();
    if (!stepFrame(in, isHighScore)) {
        playCues();
        return false;
    }
    showFrame(in, gamePaused);
    if (newGameAsked) startNextGame();
    return !KWindow::isQuit();
}

void doTheGame(long gameMode) {
    startSession(gameMode);
    while (playFrame()) keepJournal();
    KWindow::setFocusLossCall(nullptr);
    closeJournal(KWindow::isQuit());
    endSession();
}

// The old frame spins, shrinks and fades out while the next frame spins in: the next
// screen's first frame, not its bare picture, which would otherwise show between the
// spin's end and that frame.
void spinTo(void (*drawNext)()) {
    KGraphic lastFrame, next;
    lastFrame.grabBackBuffer();
    drawNext();
    next.grabBackBuffer();
    if (snd_swap) snd_swap->playSample();
    for (float f = 0; f < 1.0f; f += scrollStep) {
        KGraphic::setWorldView(0, 0, 0, 1.0f, true);
        lastFrame.blitAlphaRectFx(0, 0, 640, 480, 0, 0, (1 - f) * 360, 1 - f, 1 - f);
        next.blitAlphaRectFx(0, 0, 640, 480, 0, 0, f * 360, f, f);
        KWindow::flipBackBuffer(true);
        grabVideo();
    }
}

void ScrollTheGame() {
    spinTo([] { drawScene(FrameInput{}, gamePaused); });
}
