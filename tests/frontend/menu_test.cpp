// The menu in a real window over the built data folder, with the player's hand scripted.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL_image.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../engine/display/x11_probe.h"
#include "../game/input_script.h"
#include "game_window.h"
#include "spies.h"
#include "game.h"
#include "gameover.h"
#include "gemsets.h"
#include "highscores.h"
#include "makers.h"
#include "menu.h"
#include "prefs.h"
#include "sounds.h"
#include "KFrame.h"
#include "KGraphic.h"
#include "KWindow.h"

namespace {

struct Point {
    int x, y;
};

Point centre(const sBtn &b) { return {int(b.x1 + b.x2) / 2, int(b.y1 + b.y2) / 2}; }

int gemSetCount() {
    int count = 0;
    while (std::filesystem::exists(std::string(BROLIX_RUNTIME_DIR) + "/data/gems/set" + std::to_string(count)))
        count++;
    return count;
}

// The frame being drawn (back buffer), w by h from (x, y), as RGBA rows from the bottom.
std::vector<unsigned char> readScreen(int x, int y, int w, int h) {
    std::vector<unsigned char> screen(size_t(w) * h * 4);
    KFrame::drawPending();
    glReadBuffer(GL_BACK);
    glReadPixels(x, 480 - y - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, screen.data());
    return screen;
}

struct Box {
    int left = 640, top = 480, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
    bool operator==(const Box &o) const { return left == o.left && top == o.top && right == o.right && bottom == o.bottom; }
};

// Where two whole-screen reads differ.
Box changedArea(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b) {
    Box box;
    for (int row = 0; row < 480; row++)
        for (int x = 0; x < 640; x++) {
            const size_t at = (size_t(row) * 640 + x) * 4;
            if (std::memcmp(&a[at], &b[at], 3) == 0) continue;
            const int y = 479 - row;
            box.left = std::min(box.left, x), box.right = std::max(box.right, x);
            box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
        }
    return box;
}

// What the window shows, in readScreen's layout.
std::vector<unsigned char> windowPixels() {
    XImage *image = XGetImage(x11probe::display(), x11probe::windowOf(KWindow::getWindow()), 0, 0, 640, 480,
                              AllPlanes, ZPixmap);
    std::vector<unsigned char> rows(size_t(640) * 480 * 4);
    for (int y = 0; image && y < 480; y++)
        for (int x = 0; x < 640; x++) {
            const unsigned long p = XGetPixel(image, x, y);
            unsigned char *out = &rows[(size_t(479 - y) * 640 + x) * 4];
            out[0] = uint8_t(p >> 16), out[1] = uint8_t(p >> 8), out[2] = uint8_t(p);
        }
    if (image) XDestroyImage(image);
    return rows;
}

// Mean difference per channel between the frame being drawn at (dx, dy) and the
// region from (sx, sy) of a picture of the data folder, both w by h. With
// opaqueOnly, pixels the picture does not fully cover are left out.
double differenceFromPicture(const char *file, int sx, int sy, int w, int h, int dx, int dy, bool opaqueOnly = false) {
    SDL_Surface *loaded = IMG_Load((std::string(BROLIX_RUNTIME_DIR) + "/data/" + file).c_str());
    SDL_Surface *picture = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0) : nullptr;
    SDL_FreeSurface(loaded);
    if (!picture) return 255;
    const std::vector<unsigned char> screen = readScreen(dx, dy, w, h);
    double sum = 0;
    long counted = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char *want = static_cast<unsigned char *>(picture->pixels) + (sy + y) * picture->pitch + (sx + x) * 4;
            const unsigned char *got = &screen[(size_t(h - 1 - y) * w + x) * 4];
            if (opaqueOnly && want[3] != 255) continue;
            for (int c = 0; c < 3; c++) sum += std::abs(want[c] - got[c]);
            counted++;
        }
    SDL_FreeSurface(picture);
    return counted ? sum / (double(counted) * 3) : 255;
}

double differenceFromMenuPicture(int sx, int sy, int w, int h, int dx, int dy) {
    return differenceFromPicture("menu0.tga", sx, sy, w, h, dx, dy);
}

bool showsMenuRegion(int sx, int sy, int w, int h, int dx, int dy) {
    return differenceFromMenuPicture(sx, sy, w, h, dx, dy) < 6;
}

class Menu : public ::testing::Test {
protected:
    GameWindow window;

    void SetUp() override {
        inputScript::reset();
        spies::reset();
        prefs = sPrefs{};
        gCurrentMenu = 0;
        oldBt = false;
        loadSounds();
        loadMenuGraphics();
        loadBubbleSet(0);
    }
    void TearDown() override {
        freeMenuGraphics();
        freeSounds();
        delete highscoreText;
        highscoreText = nullptr;
        resetScores();
        inputScript::reset();
    }

    // One menu frame with the pointer at (x, y) and the left button as given.
    static int32_t frame(int x, int y, bool down) {
        inputScript::pointAt(x, y);
        inputScript::setButton(down);
        KGraphic::setDefaultWorldView();
        return doUserInput();
    }
    static int32_t frame(Point p, bool down) { return frame(p.x, p.y, down); }

    // A whole menu frame as doMenu draws it, without presenting it.
    static void drawFrame(int x, int y, bool down) {
        KGraphic::setDefaultWorldView();
        surf_menu->blitRect(0, 0, 640, 480, 0, 0);
        frame(x, y, down);
    }
};

TEST_F(Menu, PlayButtonStartsAGameWhicheverPanelIsOpen) {
    for (int panel = 0; panel <= 5; panel++) {
        gCurrentMenu = panel;
        EXPECT_EQ(frame(489, 350, false), 0) << panel;
        EXPECT_EQ(frame(489, 350, true), 1) << panel;
        EXPECT_EQ(frame(440, 395, true), 1) << panel;   // lower part of the button
        EXPECT_EQ(gCurrentMenu, panel) << "the open panel stays";
    }
    EXPECT_EQ(frame(466, 350, true), 0) << "left of the upper part";
}

TEST_F(Menu, ModeRowsAndDifficultiesChangeOnlyOnTheGamePanel) {
    for (int panel = 1; panel <= 5; panel++) {
        gCurrentMenu = panel;
        frame(300, 200, true);
        EXPECT_EQ(prefs.gameMode, 0) << panel;
    }
    for (int panel : {1, 3, 5}) {
        gCurrentMenu = panel;
        frame(320, 370, true);
        EXPECT_EQ(prefs.difficulty, 1) << panel;
    }
    gCurrentMenu = 0;
    frame(300, 200, false);
    EXPECT_EQ(prefs.gameMode, 0) << "only a held button chooses";
    frame(300, 200, true);
    EXPECT_EQ(prefs.gameMode, 1);
    frame(360, 334, true);
    EXPECT_EQ(prefs.gameMode, 3) << "edges belong to the row";
    frame(104, 150, true);
    EXPECT_EQ(prefs.gameMode, 3);
    frame(320, 370, true);
    EXPECT_EQ(prefs.difficulty, 2);
    frame(131, 359, true);
    EXPECT_EQ(prefs.difficulty, 0);
}

TEST_F(Menu, DraggingAcrossTheMainButtonsOpensEachPanelWithOneClickSound) {
    const int32_t actions[5] = {0, 2, 4, 5, 3};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(frame(centre(sBoutons[i]), true), actions[i]) << i;
        EXPECT_EQ(gCurrentMenu, i);
    }
    EXPECT_EQ(spies::plays(snd_click), 1) << "the sound marks the press only";
    EXPECT_EQ(frame(centre(sBoutons[5]), true), 10);
    EXPECT_EQ(gCurrentMenu, 5);
    frame(centre(sBoutons[2]), false);
    EXPECT_EQ(gCurrentMenu, 5) << "hovering opens nothing";
    frame(centre(sBoutons[2]), true);
    EXPECT_EQ(spies::plays(snd_click), 2);
}

TEST_F(Menu, MarkersLitButtonsAndTabsComeFromTheirPlacesInTheMenuPicture) {
    prefs.gameMode = 2;
    prefs.difficulty = 0;
    drawFrame(600, 470, false);
    EXPECT_TRUE(showsMenuRegion(86, 725, 20, 20, 86, 245)) << "mode marker 2";
    EXPECT_TRUE(showsMenuRegion(149, 864, 21, 17, 149, 384)) << "difficulty marker 0";
    EXPECT_TRUE(showsMenuRegion(86, 194, 20, 18, 86, 194)) << "no marker on row 1";
    EXPECT_TRUE(showsMenuRegion(415, 137 + 480, 118, 23, 415, 137)) << "the open panel's button stays lit";
    EXPECT_TRUE(showsMenuRegion(415, 193, 106, 23, 415, 193)) << "other buttons unlit";

    prefs.gameMode = 7;
    prefs.difficulty = -1;
    drawFrame(600, 470, false);
    EXPECT_TRUE(showsMenuRegion(86, 245, 20, 20, 86, 245)) << "no marker for an odd mode";
    EXPECT_TRUE(showsMenuRegion(149, 864 - 480, 21, 17, 149, 384)) << "no marker for an odd difficulty";

    drawFrame(450, 205, false);
    EXPECT_TRUE(showsMenuRegion(415, 193 + 480, 106, 23, 415, 193)) << "the button under the pointer lights";

    gCurrentMenu = 3;
    prefs.scoretab = 2;
    drawFrame(600, 470, false);
    EXPECT_TRUE(showsMenuRegion(234 + 575, 358, 60, 24, 238, 113)) << "highlight of the million tab";
}

TEST_F(Menu, PanelsLitPlayAndResetButtonsAndTheKnobComeFromTheMenuPicture) {
    gCurrentMenu = 0;
    drawFrame(600, 470, false);
    EXPECT_TRUE(showsMenuRegion(200, 700, 150, 150, 200, 220)) << "panel 0, clear of its markers";
    gCurrentMenu = 1;
    drawFrame(600, 470, false);
    EXPECT_TRUE(showsMenuRegion(641, 0, 332, 347, 67, 84)) << "panel 1";
    gCurrentMenu = 2;
    prefs.volume = 50;
    drawFrame(600, 470, false);
    EXPECT_TRUE(showsMenuRegion(641, 706, 330, 50, 67, 86)) << "panel 2, above the reset button";
    EXPECT_LT(differenceFromPicture("menu0.tga", 582, 979, 16, 15, 50 + 176, 246, true), 6) << "volume knob";
    EXPECT_TRUE(showsMenuRegion(8, 1000, 44, 8, 180, 250)) << "the track shows filled up to the knob";
    EXPECT_TRUE(showsMenuRegion(641 + 250 - 67, 706 + 250 - 86, 50, 8, 250, 250)) << "and as panel 2 shows it past it";
    EXPECT_TRUE(showsMenuRegion(105 + 574, 138 + 620, 213, 26, 105, 138)) << "reset button unlit, as panel 2 shows it";
    drawFrame(200, 160, false);
    EXPECT_TRUE(showsMenuRegion(679, 997, 213, 26, 105, 138)) << "reset button lit";
    gCurrentMenu = 3;
    drawFrame(600, 470, false);
    EXPECT_TRUE(showsMenuRegion(642, 385, 35, 295, 71, 113)) << "panel 3, left of its rows";
    EXPECT_TRUE(showsMenuRegion(431, 342, 122, 63, 431, 342)) << "play button unlit";
    drawFrame(489, 350, false);
    EXPECT_TRUE(showsMenuRegion(431, 822, 122, 63, 431, 342)) << "play button lit";
}

TEST_F(Menu, OptionsPanelShowsTheGemRowAndTheSetNameCentredBelowIt) {
    gCurrentMenu = 2;
    drawFrame(600, 470, false);
    for (int j = 1; j <= 7; j++) {
        ASSERT_NE(gems[j - 1], nullptr);
        const int w = int(gems[j - 1]->getWidth()), h = int(gems[j - 1]->getHeight());
        const std::string file = "gems/set0/gem0" + std::to_string(j) + ".tga";
        EXPECT_LT(differenceFromPicture(file.c_str(), 0, 0, w, h, (w + 4) * j + 61, 306, true), 6) << "gem " << j;
    }

    // Where the name lands: the pixels that change when it is left out.
    const std::vector<unsigned char> withName = readScreen(0, 0, 640, 480);
    const std::string name = bubbleSetName;
    ASSERT_FALSE(name.empty());
    bubbleSetName[0] = '\0';
    drawFrame(600, 470, false);
    const std::vector<unsigned char> withoutName = readScreen(0, 0, 640, 480);
    std::strcpy(bubbleSetName, name.c_str());
    const Box box = changedArea(withName, withoutName);
    ASSERT_FALSE(box.empty()) << "the name is drawn";
    EXPECT_GE(box.top, 355);
    EXPECT_LE(box.top, 358);
    EXPECT_LT(box.bottom, 355 + 13);
    EXPECT_NEAR((box.left + box.right) / 2.0, (95 + 383) / 2.0, 3) << "centred between x 95 and 383";
}

TEST_F(Menu, CreditsPanelShowsItsPictureFromItsNinthColumn) {
    gCurrentMenu = 4;
    drawFrame(600, 470, false);
    SDL_Surface *credits = IMG_Load((std::string(BROLIX_RUNTIME_DIR) + "/data/credits0.tga").c_str());
    ASSERT_NE(credits, nullptr);
    const int w = credits->w, h = credits->h;
    SDL_FreeSurface(credits);
    EXPECT_LT(differenceFromPicture("credits0.tga", 8, 0, w - 8, h, 73, 129), 6);
}

TEST_F(Menu, ScoreRowsShowNamesFromX110AndScoresEndingAtX360OnePixelHigher) {
    gCurrentMenu = 3;
    prefs.scoretab = 0;
    const int nameY[9] = {151, 175, 198, 233, 257, 280, 315, 339, 362};
    // A frame of the panel, with an 8 of the menu font added by hand at (x, y) when x >= 0.
    auto panelWith = [](int x, int y) {
        drawFrame(600, 470, false);
        if (x >= 0) highscoreText->drawStringFromLeft("8", x, y, 0);
        return readScreen(0, 0, 640, 480);
    };
    for (int row = 0; row < 9; row++) {
        sHighEntry &entry = score60sec.players[row];
        std::strcpy(entry.name, "");
        entry.score = 8;
        const std::vector<unsigned char> plain = panelWith(-1, 0);
        const Box nameAt110 = changedArea(plain, panelWith(110, nameY[row]));
        // The last glyph of "88" ends at x 360 like the only glyph of "8"; its first 8 starts one pen width (11) earlier.
        const Box scoreDigitAt338 = changedArea(plain, panelWith(360 - 2 * 11, nameY[row] - 1));
        ASSERT_FALSE(nameAt110.empty() || scoreDigitAt338.empty());

        std::strcpy(entry.name, "8");
        const Box name = changedArea(plain, panelWith(-1, 0));
        std::strcpy(entry.name, "");
        entry.score = 88;
        const Box score = changedArea(plain, panelWith(-1, 0));
        EXPECT_TRUE(name == nameAt110) << "row " << row << ": name at " << name.left << "," << name.top;
        EXPECT_TRUE(score == scoreDigitAt338) << "row " << row << ": score at " << score.left << "," << score.top;
    }
}

TEST_F(Menu, LongNamesStopAtTheirLastLetterBeforeTheScore) {
    gCurrentMenu = 3;
    const std::string longest(31, 'w');
    for (int32_t tab : {0, 2}) {
        prefs.scoretab = tab;
        sHighEntry &entry = highScoreTable(tab)->players[0];
        entry.score = tab == 2 ? 35999 : 9999;   // 09:59:59 and four digits
        char text[60];
        formatHighScore(tab, entry.score, text, sizeof text);
        const int scoreLeft = 360 - highscoreText->getStringWidth(text, 0);
        std::strcpy(entry.name, "");
        drawFrame(600, 470, false);
        const std::vector<unsigned char> plain = readScreen(0, 0, 640, 480);
        std::strcpy(entry.name, longest.c_str());
        drawFrame(600, 470, false);
        const Box name = changedArea(plain, readScreen(0, 0, 640, 480));
        EXPECT_LT(name.right, scoreLeft) << "tab " << tab;
        EXPECT_GT(name.right, scoreLeft - 20) << "tab " << tab << ": one more letter would have fitted";
        EXPECT_EQ(entry.name, longest) << "the table keeps the whole name";
    }
}

TEST_F(Menu, VolumeSliderSnapsItsLeftEndToSilence) {
    gCurrentMenu = 2;
    frame(186, 260, true);
    EXPECT_EQ(spies::effectVolume(), 3) << "this frame still plays at volume 4";
    EXPECT_EQ(prefs.volume, 0);
    frame(186, 260, false);
    EXPECT_EQ(spies::effectVolume(), 0);

    frame(298, 260, true);
    EXPECT_EQ(prefs.volume, 116);
    EXPECT_EQ(spies::effectVolume(), 99);
    frame(299, 260, true);
    EXPECT_EQ(prefs.volume, 116) << "x 299 is past the slider";
    frame(250, 250, true);
    EXPECT_EQ(prefs.volume, 116) << "y 250 is above it";
    frame(250, 251, true);
    EXPECT_EQ(prefs.volume, 68);
    EXPECT_EQ(spies::effectVolume(), 58);
}

TEST_F(Menu, VolumeFromAnOddPreferencesFileStaysOnTheSlider) {
    gCurrentMenu = 2;
    prefs.volume = 500;
    frame(0, 0, false);
    EXPECT_EQ(spies::effectVolume(), 100);
    EXPECT_EQ(prefs.volume, 116);
    prefs.volume = -20;
    frame(0, 0, false);
    EXPECT_EQ(spies::effectVolume(), 0);
    EXPECT_EQ(prefs.volume, 0);
}

TEST_F(Menu, ResetZoneReactsFromY150To175) {
    gCurrentMenu = 2;
    struct Case {
        int x, y;
        bool resets;
    };
    const Case cases[] = {{200, 149, false}, {200, 150, true}, {200, 175, true}, {200, 176, false},
                          {101, 160, false}, {102, 160, true}, {315, 160, true}, {316, 160, false}};
    for (const Case &c : cases) {
        score5Min.players[0].score = 1;
        frame(c.x, c.y, true);
        EXPECT_EQ(score5Min.players[0].score, c.resets ? 3000u : 1u) << c.x << "," << c.y;
    }
    score5Min.players[0].score = 1;
    frame(200, 160, false);
    EXPECT_EQ(score5Min.players[0].score, 1u) << "hovering only lights the button";
}

TEST_F(Menu, GemSetSelectorMovesOneSetPerClickAndWrapsToTheFirst) {
    const int sets = gemSetCount();
    ASSERT_GE(sets, 2);
    gCurrentMenu = 2;
    char firstName[256];
    std::strcpy(firstName, bubbleSetName);
    for (int expected = 1; expected <= sets; expected++) {
        inputScript::pointAt(200, 330);
        inputScript::setButton(true);
        inputScript::releaseButtonAfterReads(20);
        const int readsBefore = inputScript::buttonReads();
        doUserInput();
        EXPECT_EQ(prefs.bubbleset, expected % sets);
        EXPECT_GT(inputScript::buttonReads() - readsBefore, 20) << "waits until the button is up";
    }
    EXPECT_STREQ(bubbleSetName, firstName);
    for (int32_t stored : {-5, INT32_MAX}) {
        prefs.bubbleset = stored;
        inputScript::setButton(true);
        inputScript::releaseButtonAfterReads(1);
        doUserInput();
        EXPECT_EQ(prefs.bubbleset, 0) << stored;
    }
    frame(200, 299, true);
    EXPECT_EQ(prefs.bubbleset, 0) << "above the selector";
}

TEST_F(Menu, ScoreTabsFollowTheHeldButtonAndAStoredTabIsClamped) {
    gCurrentMenu = 3;
    prefs.scoretab = 7;
    frame(0, 0, false);
    EXPECT_EQ(prefs.scoretab, 3);
    frame(105, 117, true);
    EXPECT_EQ(prefs.scoretab, 0);
    frame(233, 137, true);
    EXPECT_EQ(prefs.scoretab, 1);
    frame(298, 130, true);
    EXPECT_EQ(prefs.scoretab, 1) << "between two tabs";
    frame(250, 125, false);
    EXPECT_EQ(prefs.scoretab, 1);
    frame(250, 125, true);
    EXPECT_EQ(prefs.scoretab, 2);
    prefs.scoretab = -3;
    frame(0, 0, false);
    EXPECT_EQ(prefs.scoretab, 0);
}

TEST_F(Menu, CreditsWebLinkOpensThePageAndEndsTheProgram) {
    gCurrentMenu = 4;
    frame(161, 350, true);
    EXPECT_TRUE(spies::openedUrls().empty()) << "the zone's edge is outside";
    EXPECT_FALSE(KWindow::isQuit());
    frame(200, 350, true);
    ASSERT_EQ(spies::openedUrls().size(), 1u);
    // Without a page of the makers', the help shipped with the game: no server needed.
    EXPECT_EQ(spies::openedUrls()[0], *makersWebPage ? makersWebPage : BROLIX_RUNTIME_DIR "/data/help/index.html");
    EXPECT_TRUE(KWindow::isQuit());
}

TEST_F(Menu, CreditsMailLinkOpensAMailWithASubject) {
    gCurrentMenu = 4;
    frame(100, 200, false);
    EXPECT_TRUE(spies::openedUrls().empty());
    frame(100, 200, true);
    ASSERT_EQ(spies::openedUrls().size(), 1u);
    EXPECT_EQ(spies::openedUrls()[0], std::string("mailto:") + BROLIX_MAIL_ADDRESS + "?subject=Brolix");
    EXPECT_TRUE(KWindow::isQuit());
}

TEST_F(Menu, EscapeLeavesTheMenuWithoutPresentingTheFrame) {
    freeMenuGraphics();
    int flips = 0;
    inputScript::onFlip([&] {
        if (++flips == 3) inputScript::setKey(K_VK_ESCAPE, true);
    });
    doMenu();
    EXPECT_EQ(flips, 3);
    EXPECT_EQ(surf_menu, nullptr);
    EXPECT_EQ(surf_credits, nullptr);
    EXPECT_NE(highscoreText, nullptr) << "the menu font lives until the program ends";
    EXPECT_FALSE(KWindow::isQuit());
}

TEST_F(Menu, QuitButtonClosesTheWindowAndLeavesTheMenu) {
    freeMenuGraphics();
    int flips = 0;
    inputScript::onFlip([&] {
        if (++flips == 2) {
            Point quit = centre(sBoutons[5]);
            inputScript::pointAt(quit.x, quit.y);
            inputScript::setButton(true);
        }
    });
    doMenu();
    EXPECT_EQ(flips, 2) << "the quitting frame is not presented";
    EXPECT_TRUE(KWindow::isQuit());
    EXPECT_EQ(gCurrentMenu, 5);
    EXPECT_EQ(surf_menu, nullptr);
}

TEST_F(Menu, ReturningFromAGameKeepsTheOpenPanelAndSpinsTheMenuIn) {
    freeMenuGraphics();
    gCurrentMenu = 2;
    prefs.gameMode = 3;
    int flips = 0, gameFlips = 0, menuLoadedDuringGame = 0, flipsAfterGame = 0;
    bool gameSeen = false;
    inputScript::onFlip([&] {
        flips++;
        if (surf_fond) {
            gameSeen = true;
            gameFlips++;
            menuLoadedDuringGame += surf_menu != nullptr;
        } else if (gameSeen) {
            flipsAfterGame++;
        }
        if (flips == 2) {
            inputScript::pointAt(489, 350);
            inputScript::setButton(true);
        }
        if (flips == 4) inputScript::setButton(false);
        if (gameFlips == 50) inputScript::setKey(K_VK_ESCAPE, true);
        if (flipsAfterGame == 45) inputScript::setKey(K_VK_ESCAPE, true);
    });
    doMenu();
    EXPECT_TRUE(gameSeen);
    EXPECT_EQ(_gameMode, 3);
    EXPECT_EQ(menuLoadedDuringGame, 0) << "the game runs without the menu pictures";
    EXPECT_EQ(flipsAfterGame, 45) << "41 transition frames, then menu frames until Escape";
    EXPECT_EQ(gCurrentMenu, 2);
    EXPECT_EQ(spies::plays(snd_swap), 2) << "one transition each way";
    EXPECT_FALSE(KWindow::isQuit());
}

TEST_F(Menu, TransitionSpinsTheLastFrameOutAndTheMenuInOver41Frames) {
    int flips = 0;
    inputScript::onFlip([&] { flips++; });
    ScrollTheMenu();
    ASSERT_EQ(flips, 41);
    const std::vector<spies::FxBlit> &fxBlits = spies::fxBlits();
    ASSERT_EQ(fxBlits.size(), 82u) << "the last frame, then the menu, each frame";
    for (int k = 0; k < 41; k++) {
        const float fade = 0.025f * k;
        const spies::FxBlit &old = fxBlits[2 * k], &menu = fxBlits[2 * k + 1];
        EXPECT_NE(old.picture, surf_menu) << k;
        EXPECT_EQ(menu.picture, surf_menu) << k;
        for (const spies::FxBlit *b : {&old, &menu}) {
            EXPECT_EQ(b->sx1, 0);
            EXPECT_EQ(b->sy1, 0);
            EXPECT_EQ(b->sx2, 640);
            EXPECT_EQ(b->sy2, 480);
            EXPECT_EQ(b->dx, 0);
            EXPECT_EQ(b->dy, 0);
        }
        EXPECT_NEAR(old.angle, (1 - fade) * 360, 0.01) << k;
        EXPECT_NEAR(old.zoom, 1 - fade, 1e-4) << k;
        EXPECT_NEAR(old.alpha, 1 - fade, 1e-4) << k;
        EXPECT_NEAR(menu.angle, fade * 360, 0.01) << k;
        EXPECT_NEAR(menu.zoom, fade, 1e-4) << k;
        EXPECT_NEAR(menu.alpha, fade, 1e-4) << k;
    }
    EXPECT_EQ(spies::plays(snd_swap), 1);
}

TEST_F(Menu, ClosingTheWindowDuringAGameEndsTheMenuWithoutTheTransition) {
    freeMenuGraphics();
    int flips = 0;
    inputScript::onFlip([&] {
        if (++flips == 2) {
            inputScript::pointAt(489, 350);
            inputScript::setButton(true);
        }
        if (flips == 4) inputScript::setButton(false);
        if (flips == 60) KWindow::terminate();
    });
    doMenu();
    EXPECT_TRUE(KWindow::isQuit());
    EXPECT_EQ(flips, 60) << "no frame after the close";
    EXPECT_EQ(spies::plays(snd_swap), 1) << "only the transition into the game";
    EXPECT_EQ(surf_menu, nullptr);
    EXPECT_EQ(surf_fond, nullptr) << "the game freed its pictures";
}

// Each screen drawn straight to GL and through the frame record shows the same pixels,
// a frame changed in places included (drawn again there only). Drawn again unchanged,
// it is neither drawn (a marker on the drawing surface stays) nor shown.
TEST_F(Menu, RecordedScreensShowAsDrawnAndAnUnchangedOneIsSkipped) {
    auto check = [](const char *screen, const std::function<void(bool)> &draw) {
        std::vector<unsigned char> direct[2];
        KFrame::setRecording(false);
        for (int changed = 0; changed < 2; changed++) {
            draw(changed);
            direct[changed] = readScreen(0, 0, 640, 480);
        }
        KFrame::setRecording(true);
        for (int frame = 0; frame < 3; frame++) {   // the first, a changed one, the changed one again
            if (frame == 2) {
                glClearColor(1, 0, 1, 1);
                glClear(GL_COLOR_BUFFER_BIT);
                glClearColor(0, 0, 0, 1);
            }
            // A loop behind its schedule leaves at most four frames in a row undrawn.
            for (int flip = 0; flip < 5; flip++) {
                draw(frame > 0);
                KWindow::flipBackBuffer(true);
            }
            glFinish();
            EXPECT_TRUE(x11probe::eventually([&] { return changedArea(direct[frame > 0], windowPixels()).empty(); }))
                << screen << " frame " << frame;
        }
        EXPECT_EQ(readScreen(320, 240, 1, 1), (std::vector<unsigned char>{255, 0, 255, 255})) << screen;
        return direct[0];
    };
    auto load = [](const char *file) {
        KGraphic *picture = new KGraphic;
        picture->loadPicture(KMiscTools::makeFilePath(file), true, false, true);
        return picture;
    };
    gCurrentMenu = 2;
    auto menu = [](bool changed) {
        const Point p = centre(sBoutons[changed ? 1 : 3]);   // another button lit
        drawFrame(p.x, p.y, false);
    };
    const std::vector<unsigned char> menuFrame = check("menu", menu);

    // As before a transition: the frame is still pending when its pictures are freed.
    menu(false);
    freeMenuGraphics();
    loadMenuGraphics();
    KGraphic grab;
    grab.grabBackBuffer();
    KFrame::setRecording(false);
    grab.blitRect(0, 0, 640, 480, 0, 0);
    EXPECT_TRUE(changedArea(readScreen(0, 0, 640, 480), menuFrame).empty());
    check("transition step", [&](bool changed) {
        const float f = changed ? 0.3f : 0.25f;
        KGraphic::setWorldView(0, 0, 0, 1, true);
        grab.blitAlphaRectFx(0, 0, 640, 480, 0, 0, (1 - f) * 360, 1 - f, 1 - f);
        surf_menu->blitAlphaRectFx(0, 0, 640, 480, 0, 0, f * 360, f, f);
    });

    surf_fond = load("data\\ingame0.tga");
    surf_select = load("data\\select0.tga");
    const char *markFiles[] = {"data\\bomb.tga", "data\\horiz.tga", "data\\verti.tga", "data\\xzap.tga", "data\\question.tga"};
    KGraphic **marks[] = {&surf_bomb, &surf_horiz, &surf_verti, &surf_xzap, &surf_rand};
    for (int i = 0; i < 5; i++) *marks[i] = load(markFiles[i]);
    auto board = [](bool changed) {
        tokenAt(3, 1).selected = !changed;   // the selection moves on, a clearing token fades on
        tokenAt(4, 1).selected = changed;
        tokenAt(5, 2).fade = changed ? 0.4f : 0.5f;
        KGraphic::setDefaultWorldView();
        surf_fond->blitRect(0, 0, 640, 480, 0, 0);
        displayTokens();
        displayGameMode(modeSixtySeconds);
    };
    for (long cell = 0; cell < boardCells; cell++)
        tokenTable[cell] = {int16_t(cell % 5), 0, 0, 0, 0, 0, 0, 1, 0, true, false, false, 0, 0, int32_t(cell % 7)};
    check("board with marks", board);

    _gameMode = modeFiveMinutes;
    _realScore = 5000;
    gameOver = true;
    gameOverFade = 1;
    ghighscoreProcessed = false;
    std::strcpy(buffer, "brolix");
    surf_highscore = load("data\\entername0.tga");
    check("name entry", [&](bool changed) {
        board(false);
        blinker = changed ? 40 : 10;   // the text cursor shows, or not
        displayGameOver();
    });
    gameOver = false;
    for (KGraphic **picture : {&surf_fond, &surf_select, &surf_highscore, &surf_bomb, &surf_horiz, &surf_verti,
                               &surf_xzap, &surf_rand}) {
        delete *picture;
        *picture = nullptr;
    }
}

} // namespace
