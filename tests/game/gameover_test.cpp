// The game-over screen and name entry in a real window, keys from the scripted hand.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../frontend/game_window.h"
#include "input_script.h"
#include "../frontend/spies.h"
#include "game.h"
#include "gameover.h"
#include "highscores.h"
#include "menu.h"
#include "prefs.h"
#include "KGraphic.h"
#include "KText.h"

namespace {

struct Rect {
    float x1, y1, x2, y2, r, g, b, a;
};
std::vector<Rect> rects;

struct Text {
    std::string text;
    int x, y, spacing;
};
std::vector<Text> texts;

}  // namespace

extern "C" {
void __real__ZN8KGraphic8drawRectEffffffff(float, float, float, float, float, float, float, float);
void __wrap__ZN8KGraphic8drawRectEffffffff(float x1, float y1, float x2, float y2, float r, float g, float b,
                                           float a) {
    rects.push_back({x1, y1, x2, y2, r, g, b, a});
    __real__ZN8KGraphic8drawRectEffffffff(x1, y1, x2, y2, r, g, b, a);
}

void __real__ZN5KText18drawStringFromLeftEPKciii(KText *, const char *, int32_t, int32_t, int32_t);
void __wrap__ZN5KText18drawStringFromLeftEPKciii(KText *font, const char *text, int32_t x, int32_t y, int32_t spacing) {
    texts.push_back({text, x, y, spacing});
    __real__ZN5KText18drawStringFromLeftEPKciii(font, text, x, y, spacing);
}
}

namespace {

class NameEntry : public ::testing::Test {
protected:
    static GameWindow *window;
    static std::string home;

    static void SetUpTestSuite() {
        window = new GameWindow;
        loadMenuGraphics();
        surf_gameover = new KGraphic;
        surf_gameover->loadPicture(KMiscTools::makeFilePath("data\\gameover0.tga"), true, false, true);
        surf_highscore = new KGraphic;
        surf_highscore->loadPicture(KMiscTools::makeFilePath("data\\entername0.tga"), true, false, true);
        // Entries are saved at once: into a folder of our own.
        char pattern[] = "/tmp/brolix-entry-XXXXXX";
        home = mkdtemp(pattern);
        std::filesystem::create_directory(home + "/data");
        GameWindow::useFolder(home.c_str());
    }
    static void TearDownTestSuite() {
        freeMenuGraphics();
        delete highscoreText;
        highscoreText = nullptr;
        delete surf_gameover;
        surf_gameover = nullptr;
        delete surf_highscore;
        surf_highscore = nullptr;
        delete window;
        std::filesystem::remove_all(home);
        GameWindow::useGameFolder();
    }

    void SetUp() override {
        inputScript::reset();
        rects.clear();
        spies::reset();
        texts.clear();
        resetScores();
        prefs = sPrefs{};
        prefs.difficulty = 0;
        _gameMode = modeFiveMinutes;
        _realScore = 5000;   // first place over the factory 3000
        gameOver = true;
        gameOverFade = 1;
        ghighscoreProcessed = false;
        std::memset(buffer, 0, sizeof buffer);
        bufferPosition = 0;
        blinker = 0;
    }

    static void frame() {
        KGraphic::setDefaultWorldView();
        displayGameOver();
    }

    // Holds the keys for one frame; the hand lets go when the game waits for it.
    static void press(std::initializer_list<EKeyboardLayout> keys) {
        for (EKeyboardLayout key : keys) inputScript::setKey(key, true);
        frame();
        for (EKeyboardLayout key : keys) inputScript::setKey(key, false);
    }

    static void type(const std::string &text) {
        for (char c : text) press({c == ' ' ? K_VK_SPACE : EKeyboardLayout(K_VK_A + (c - 'a'))});
    }

    static std::string name() { return std::string(buffer, strnlen(buffer, sizeof buffer)); }
};

GameWindow *NameEntry::window = nullptr;
std::string NameEntry::home;

// Centred across the screen and on the band from y 77 to 434, in floats, then truncated.
int centredX(KGraphic *picture, float shift) { return int((640 - picture->getWidth()) / 2 + shift); }
int centredY(KGraphic *picture, float shift) { return int((357 - picture->getHeight()) / 2 + 77 + shift); }

void expectWholePictureAt(KGraphic *picture, int x, int y, float zoom, float alpha) {
    ASSERT_EQ(spies::fxBlits().size(), 1u);
    const spies::FxBlit &b = spies::fxBlits()[0];
    EXPECT_EQ(b.picture, picture);
    EXPECT_EQ(b.sx1, 0);
    EXPECT_EQ(b.sy1, 0);
    EXPECT_EQ(b.sx2, picture->getWidth());
    EXPECT_EQ(b.sy2, picture->getHeight());
    EXPECT_EQ(b.dx, x);
    EXPECT_EQ(b.dy, y);
    EXPECT_EQ(b.angle, 0);
    EXPECT_FLOAT_EQ(b.zoom, zoom);
    EXPECT_FLOAT_EQ(b.alpha, alpha);
}

TEST_F(NameEntry, PicturesSitOnTheBandAndTheNameAt232By314) {
    _realScore = 10;
    gameOverFade = 0.5f;
    frame();
    expectWholePictureAt(surf_gameover, centredX(surf_gameover, 0), centredY(surf_gameover, 0), 0.5f, 0.5f);
    EXPECT_TRUE(texts.empty());

    _realScore = 5000;
    spies::fxBlits().clear();
    frame();
    expectWholePictureAt(surf_highscore, centredX(surf_highscore, -3), centredY(surf_highscore, -1), 0.5f, 0.5f);
    EXPECT_TRUE(texts.empty()) << "no name while the panel grows";

    gameOverFade = 1;
    type("ab");
    spies::fxBlits().clear();
    texts.clear();
    press({K_VK_RETURN});
    expectWholePictureAt(surf_highscore, centredX(surf_highscore, -3), centredY(surf_highscore, -1), 1, 1);
    ASSERT_EQ(texts.size(), 1u) << "the accepted name is still drawn in its frame";
    EXPECT_EQ(texts[0].text, "ab");
    EXPECT_EQ(texts[0].x, 232);
    EXPECT_EQ(texts[0].y, 314);
    EXPECT_EQ(texts[0].spacing, 0);

    // Taken: the panel fades out in place at full size, without the name.
    gameOverFade = 0.7f;
    spies::fxBlits().clear();
    texts.clear();
    frame();
    expectWholePictureAt(surf_highscore, centredX(surf_highscore, 0), centredY(surf_highscore, 0), 1, 0.7f);
    EXPECT_TRUE(texts.empty());
}

TEST_F(NameEntry, KeysWaitUntilThePanelIsFullyShown) {
    for (float fade : {0.02f, 0.5f, 0.98f}) {
        gameOverFade = fade;
        press({K_VK_A, K_VK_RETURN});
        EXPECT_EQ(bufferPosition, 0) << fade;
        EXPECT_FALSE(ghighscoreProcessed) << fade;
    }
    EXPECT_EQ(inputScript::keyWaits(K_VK_A), 0);
    gameOverFade = 1;
    press({K_VK_A});
    EXPECT_EQ(name(), "a");
}

TEST_F(NameEntry, EachLetterWaitsForEveryEntryKeyToBeUp) {
    press({K_VK_Q});
    for (int key = K_VK_A; key <= K_VK_Z; key++) EXPECT_EQ(inputScript::keyWaits(EKeyboardLayout(key)), 1) << key;
    for (EKeyboardLayout key : {K_VK_SPACE, K_VK_BACK, K_VK_RETURN}) EXPECT_EQ(inputScript::keyWaits(key), 1) << key;
    press({K_VK_F1});
    EXPECT_EQ(inputScript::keyWaits(K_VK_Q), 1) << "other keys type nothing and wait for nothing";
    EXPECT_EQ(name(), "q");
}

TEST_F(NameEntry, TwentyOneLettersLeaveNineteenTheLastReplacingTheNineteenth) {
    type("abcdefghijklmnopqrstu");
    EXPECT_EQ(bufferPosition, 19);
    EXPECT_EQ(name(), "abcdefghijklmnopqru");
}

TEST_F(NameEntry, BackspaceOnEmptyAndOnAFullName) {
    press({K_VK_BACK});
    EXPECT_EQ(bufferPosition, 0);
    EXPECT_EQ(name(), "");
    EXPECT_EQ(inputScript::keyWaits(K_VK_BACK), 1);
    type("nineteen letters ok");
    ASSERT_EQ(bufferPosition, 19);
    press({K_VK_BACK});
    EXPECT_EQ(name(), "nineteen letters o");
}

TEST_F(NameEntry, LaterKeysOverrideEarlierOnes) {
    press({K_VK_A, K_VK_Z});
    EXPECT_EQ(name(), "z");
    press({K_VK_Z, K_VK_SPACE});
    EXPECT_EQ(name(), "z ");
    press({K_VK_M, K_VK_RETURN, K_VK_BACK});
    EXPECT_EQ(name(), "z") << "Backspace wins over Enter";
    EXPECT_FALSE(ghighscoreProcessed);
}

TEST_F(NameEntry, EnterOnAnEmptyNameStoresAnEmptyNameAndSavesTheTable) {
    press({K_VK_RETURN});
    EXPECT_TRUE(ghighscoreProcessed);
    EXPECT_EQ(inputScript::keyWaits(K_VK_RETURN), 0) << "Enter is not waited for";
    EXPECT_STREQ(score5Min.players[0].name, "");
    EXPECT_EQ(score5Min.players[0].score, 5000u);
    EXPECT_EQ(score5Min.players[1].score, 3000u);
    EXPECT_EQ(std::filesystem::file_size(home + "/data/s5mn"), 324u);
}

TEST_F(NameEntry, AcceptedPanelFadesOutAndTheNameStaysForTheNextEntry) {
    type("bo");
    press({K_VK_RETURN});
    EXPECT_STREQ(score5Min.players[0].name, "bo");
    frame();
    EXPECT_FLOAT_EQ(gameOverFade, 0.9f) << "the game loop's +0.02 makes it 0.08 a frame";
    const size_t rectsBefore = rects.size();
    for (int i = 0; i < 100; i++) frame();
    EXPECT_EQ(rects.size(), rectsBefore) << "no cursor once the entry is taken";

    // The next high score of the run.
    ghighscoreProcessed = false;
    gameOverFade = 1;
    _realScore = 6000;
    EXPECT_EQ(name(), "bo");
    press({K_VK_RETURN});
    EXPECT_STREQ(score5Min.players[0].name, "bo");
    EXPECT_EQ(score5Min.players[0].score, 6000u);
    EXPECT_STREQ(score5Min.players[1].name, "bo");
    EXPECT_EQ(score5Min.players[1].score, 5000u);
}

TEST_F(NameEntry, CursorBlinksIn71FrameCyclesRightOfTheName) {
    std::vector<int> shown;
    for (int f = 1; f <= 142; f++) {
        rects.clear();
        frame();
        if (!rects.empty()) {
            shown.push_back(f);
            const Rect &r = rects.back();
            EXPECT_EQ(r.x1, 232);
            EXPECT_EQ(r.x2, 238);
            EXPECT_EQ(r.y1, 314);
            EXPECT_EQ(r.y2, 323);
            EXPECT_EQ(r.r + r.g + r.b, 0);
            EXPECT_EQ(r.a, 1);
        }
    }
    ASSERT_EQ(shown.size(), 72u);
    EXPECT_EQ(shown.front(), 36);
    EXPECT_EQ(shown[35], 71);
    EXPECT_EQ(shown[36], 107);
    EXPECT_EQ(shown.back(), 142);

    type("ab");
    blinker = 40;
    rects.clear();
    frame();
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].x1, highscoreText->getStringWidth("ab", 0) + 233);
}

TEST_F(NameEntry, ResultBelowTheTableShowsTheGameOverPictureOnly) {
    _realScore = 10;
    press({K_VK_A});
    EXPECT_EQ(bufferPosition, 0);
    EXPECT_FALSE(ghighscoreProcessed);
    EXPECT_TRUE(rects.empty());
    EXPECT_FLOAT_EQ(gameOverFade, 1) << "only an accepted entry fades itself";
}

TEST_F(NameEntry, RelaxWithoutAPlaceIsTakenAtOnceAndShowsNothing) {
    _gameMode = modeRelax;
    _realScore = 0;
    press({K_VK_A});
    EXPECT_TRUE(ghighscoreProcessed);
    EXPECT_EQ(bufferPosition, 0);
}

TEST_F(NameEntry, WithoutTheGameOverPictureNothingHappens) {
    KGraphic *picture = surf_gameover;
    surf_gameover = nullptr;
    press({K_VK_A, K_VK_RETURN});
    surf_gameover = picture;
    EXPECT_EQ(bufferPosition, 0);
    EXPECT_FALSE(ghighscoreProcessed);
    gameOverFade = 0;
    press({K_VK_A});
    EXPECT_EQ(bufferPosition, 0) << "a faded-out screen reads no keys";
}

}  // namespace
