// The session loop's own calls, in order: the loop is linked with recorders in
// place of the board, the display, the engine and the other modules.
#include <gtest/gtest.h>
#include <algorithm>
#include "game.h"
#include "online.h"
#include "prefs.h"
#include "session_standins.h"
#include "sounds.h"
#include "KSound.h"

namespace {

KSound swapSound;

using Trace = std::vector<std::string>;

// The entries between two positions of the trace.
Trace slice(size_t from, size_t to) { return Trace(trace.begin() + from, trace.begin() + to); }

size_t indexOf(const std::string &entry, size_t from = 0) {
    auto it = std::find(trace.begin() + from, trace.end(), entry);
    return size_t(it - trace.begin());
}

size_t countOf(const std::string &entry) { return size_t(std::count(trace.begin(), trace.end(), entry)); }

// Entries that begin with prefix, in order.
Trace only(const std::string &prefix) {
    Trace picked;
    for (const std::string &entry : trace)
        if (entry.rfind(prefix, 0) == 0) picked.push_back(entry);
    return picked;
}

// Positions of every flip, the end of each presented frame.
std::vector<size_t> flipPositions() {
    std::vector<size_t> at;
    for (size_t i = 0; i < trace.size(); i++)
        if (trace[i] == "flip") at.push_back(i);
    return at;
}

const int scrollFrames = 41;

class SessionLoop : public ::testing::Test {
protected:
    void SetUp() override {
        script.reset();
        trace.clear();
        livePictures = liveTexts = 0;
        snd_swap = &swapSound;
        prefs = sPrefs{};
        gSkin = 0;
        gameOver = endPlay = false;
        gameOverFade = 0;
        _onlineProcessed = true;
        score = 77;
    }

    // The frames after the transition, each as the calls from one flip to the next.
    static std::vector<Trace> playFrames() {
        std::vector<size_t> flips = flipPositions();
        std::vector<Trace> frames;
        for (size_t i = scrollFrames; i < flips.size(); i++) frames.push_back(slice(flips[i - 1] + 1, flips[i] + 1));
        return frames;
    }

    static void holdKey(EKeyboardLayout key, int fromFrame, int toFrame) {
        for (int f = fromFrame; f <= toFrame; f++) script.keysAt[f].insert(key);
    }
};

const Trace oneFrame = {
    "default view", "blitRect ingame0.tga 0,0,1024,1024,0,0",
    "animateField", "fallTokens", "appearTokens", "doSwapTokens", "doInput", "checkForMatches", "handleInterface",
    "displayTokens", "displayScore", "ShowTimer 0 runs", "displayGameMode 0", "AnimateZapAttack",
    "displayMouseCursor", "flip",
};

TEST_F(SessionLoop, StartLoadsInOrderThenDealsAFreshBoard) {
    prefs.difficulty = 2;
    prefs.bubbleset = 1;
    gSkin = 2;
    script.quitAtFlip = scrollFrames + 1;
    doTheGame(1);

    EXPECT_STREQ(gameDescription, "brolix1dif2");
    EXPECT_EQ(_gameMode, 1);
    EXPECT_EQ(_unitScore, 1);
    EXPECT_EQ(score, 0u);
    EXPECT_FALSE(_onlineProcessed);
    EXPECT_EQ(only("load "), (Trace{"load ingame2.tga", "load internet.tga", "load gameover2.tga",
                                    "load entername2.tga", "load select2.tga", "load bomb.tga", "load horiz.tga",
                                    "load verti.tga", "load question.tga", "load xzap.tga"}));
    EXPECT_EQ(only("text "), (Trace{"text timenmb.tga timer glyphs", "text numbers.tga score glyphs"}));
    // Seeded from the clock before anything is loaded; the zap label is cleared first.
    EXPECT_LT(indexOf("clearZapAttack"), indexOf("seed 1234"));
    EXPECT_LT(indexOf("seed 1234"), indexOf("create"));
    // The transition follows the first four pictures; the gem set and the rest come after it.
    size_t lastScrollFlip = flipPositions()[scrollFrames - 1];
    EXPECT_LT(indexOf("load entername2.tga"), indexOf("grab"));
    EXPECT_LT(lastScrollFlip, indexOf("loadBubbleSet 1"));
    EXPECT_LT(indexOf("loadBubbleSet 1"), indexOf("load select2.tga"));
    // All five marks are created before the first is loaded.
    size_t bomb = indexOf("load bomb.tga");
    EXPECT_EQ(slice(bomb - 5, bomb), Trace(5, "create"));
    // Then the board, then the timer once more, then the first frame.
    size_t xzap = indexOf("load xzap.tga");
    EXPECT_EQ(slice(xzap + 1, xzap + 3), (Trace{"resetTokenTable new game", "resetTimer 1"}));
    EXPECT_EQ(trace[xzap + 3], "default view");
    // Every button lights from the in-game picture.
    for (const sHotSpot &spot : hotspots) EXPECT_EQ(spot.surface, nullptr) << "cleared at the end";
}

TEST_F(SessionLoop, ButtonsShowTheInGamePictureWhileTheSessionRuns) {
    script.quitAtFlip = scrollFrames + 1;
    KGraphic *seen[3] = {};
    script.atHandleInterface = [&] {
        for (int i = 0; i < 3; i++) seen[i] = hotspots[i].surface;
    };
    doTheGame(0);
    for (KGraphic *surface : seen) {
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface, seen[0]);
    }
}

TEST_F(SessionLoop, MillionModeCountsInHundredsAndRelaxUsesTheOtherEntryPanel) {
    script.quitAtFlip = scrollFrames + 1;
    doTheGame(2);
    EXPECT_EQ(_unitScore, 100);
    EXPECT_EQ(only("load entername"), Trace{"load entername0.tga"});

    trace.clear();
    script.reset();
    script.quitAtFlip = scrollFrames + 1;
    doTheGame(3);
    EXPECT_EQ(_unitScore, 1);
    EXPECT_EQ(only("load entername"), Trace{"load enternamer0.bmp"});
    EXPECT_STREQ(gameDescription, "brolix3dif1");
}

TEST_F(SessionLoop, TransitionSpinsTheLastFrameOutAndTheGameIn) {
    script.quitAtFlip = scrollFrames + 1;
    doTheGame(0);
    size_t grab = indexOf("grab");
    EXPECT_EQ(trace[grab + 1], "play swap");
    EXPECT_EQ(countOf("grabVideo"), size_t(scrollFrames));
    // Each transition frame clears the screen, draws both pictures, flips, then calls the hook.
    EXPECT_EQ(slice(grab + 2, grab + 7),
              (Trace{"view 0,0,0,1,1", "fx last frame 0,0,640,480,0,0", "fx ingame0.tga 0,0,640,480,0,0", "flip",
                     "grabVideo"}));
    ASSERT_EQ(script.fxFrames.size(), size_t(2 * scrollFrames));
    const FxDraw &oldFirst = script.fxFrames[0], &newFirst = script.fxFrames[1];
    EXPECT_FLOAT_EQ(oldFirst.angle, 360);
    EXPECT_FLOAT_EQ(oldFirst.zoom, 1);
    EXPECT_FLOAT_EQ(oldFirst.alpha, 1);
    EXPECT_FLOAT_EQ(newFirst.zoom, 0);
    const FxDraw &newLast = script.fxFrames.back();
    EXPECT_NEAR(newLast.zoom, 1.0, 1e-5);
    EXPECT_NEAR(newLast.angle, 360.0, 1e-3);
    EXPECT_EQ(countOf("delete last frame"), 1u);
}

TEST_F(SessionLoop, EachFrameRunsRulesInputDisplayAndCursorInOrder) {
    script.quitAtFlip = scrollFrames + 3;
    doTheGame(0);
    std::vector<Trace> frames = playFrames();
    ASSERT_EQ(frames.size(), 3u);
    // The first frame follows the start; later ones begin with the previous flip's events.
    EXPECT_EQ(Trace(frames[0].end() - long(oneFrame.size()), frames[0].end()), oneFrame);
    for (size_t f = 1; f < frames.size(); f++) {
        EXPECT_EQ(frames[f].front(), "events");
        EXPECT_EQ(Trace(frames[f].begin() + 1, frames[f].end()), oneFrame);
    }
    // The window closed with the last flip: its events are taken and the session ends.
    EXPECT_EQ(trace[flipPositions().back() + 1], "events");
    EXPECT_EQ(trace[flipPositions().back() + 2], "delete xzap.tga");
}

TEST_F(SessionLoop, EndDestroysEveryPictureInOrderAndASecondSessionLoadsThemAgain) {
    script.quitAtFlip = scrollFrames + 1;
    doTheGame(0);
    size_t first = indexOf("delete bomb.tga") - 1;
    EXPECT_EQ(slice(first, trace.size()),
              (Trace{"delete xzap.tga", "delete bomb.tga", "delete horiz.tga", "delete verti.tga",
                     "delete question.tga", "delete gameover0.tga", "delete text numbers.tga", "delete internet.tga",
                     "delete text timenmb.tga", "delete entername0.tga", "delete ingame0.tga", "delete select0.tga"}));
    EXPECT_EQ(livePictures, 0);
    EXPECT_EQ(liveTexts, 0);
    for (KGraphic *p : std::initializer_list<KGraphic *>{surf_fond, surf_internet, surf_gameover, surf_highscore, surf_select, surf_bomb, surf_horiz,
                        surf_verti, surf_rand, surf_xzap})
        EXPECT_EQ(p, nullptr);
    EXPECT_EQ(text_numbers, nullptr);
    EXPECT_EQ(text_scorenumbers, nullptr);

    trace.clear();
    script.reset();
    script.quitAtFlip = scrollFrames + 1;
    doTheGame(0);
    EXPECT_EQ(only("load ").size(), 10u);
    EXPECT_EQ(livePictures, 0);
}

TEST_F(SessionLoop, MissingGemSetFallsBackToTheFirstAndRemembersIt) {
    prefs.bubbleset = 5;
    script.missingSets = {5};
    script.quitAtFlip = scrollFrames + 1;
    doTheGame(0);
    EXPECT_EQ(only("loadBubbleSet"), (Trace{"loadBubbleSet 5", "loadBubbleSet 0"}));
    EXPECT_EQ(prefs.bubbleset, 0);
}

TEST_F(SessionLoop, HoldingF1DealsANewGameEveryFrame) {
    holdKey(K_VK_F1, scrollFrames, scrollFrames + 2);
    script.quitAtFlip = scrollFrames + 4;
    doTheGame(0);
    std::vector<Trace> frames = playFrames();
    ASSERT_EQ(frames.size(), 4u);
    // One deal at the start, one in each of the three frames, right after the background.
    EXPECT_EQ(countOf("resetTokenTable new game"), 4u);
    for (int f = 1; f < 3; f++) EXPECT_EQ(frames[f][3], "resetTokenTable new game") << "frame " << f;
    EXPECT_EQ(std::count(frames[3].begin(), frames[3].end(), "resetTokenTable new game"), 0);
}

const Trace pauseFrame = {
    "default view", "blitRect ingame0.tga 0,0,1024,1024,0,0", "blitRect ingame0.tga 69,498,571,832,69,88",
    "displayScore", "handleInterface", "displayGameMode 0", "ShowTimer 0 stands", "displayMouseCursor", "flip",
    "events",
};

TEST_F(SessionLoop, PHoldsTheBoardUntilPressedAgain) {
    const int p = scrollFrames + 1;
    script.keysAt[p] = {K_VK_P};
    script.keysAt[p + 3] = {K_VK_P};  // the third pause frame sees it
    script.quitAtFlip = p + 5;
    doTheGame(0);

    size_t wait = indexOf("release " + std::to_string(int(K_VK_P)));
    ASSERT_LT(wait, trace.size());
    EXPECT_EQ(trace[wait - 1], "blitRect ingame0.tga 0,0,1024,1024,0,0");
    for (int frame = 0; frame < 3; frame++)
        EXPECT_EQ(slice(wait + 1 + frame * pauseFrame.size(), wait + 1 + (frame + 1) * pauseFrame.size()), pauseFrame)
            << "pause frame " << frame;
    size_t resume = wait + 1 + 3 * pauseFrame.size();
    EXPECT_EQ(trace[resume], "release " + std::to_string(int(K_VK_P)));
    EXPECT_EQ(trace[resume + 1], "animateField") << "the interrupted frame goes on with the rules";
    EXPECT_EQ(countOf("ShowTimer 0 stands"), 3u);
}

TEST_F(SessionLoop, PDoesNothingOnceTheGameIsOver) {
    script.atShowTimer = [] { gameOver = true; };
    holdKey(K_VK_P, scrollFrames + 1, scrollFrames + 2);
    script.quitAtFlip = scrollFrames + 3;
    doTheGame(0);
    EXPECT_EQ(countOf("ShowTimer 0 stands"), 0u);
    EXPECT_EQ(countOf("release " + std::to_string(int(K_VK_P))), 0u);
}

TEST_F(SessionLoop, MenuButtonDuringThePauseEndsTheSessionWithoutDrawingTheBoard) {
    script.keysAt[scrollFrames + 1] = {K_VK_P};
    script.atHandleInterface = [] {
        if (script.flips == scrollFrames + 2) endPlay = true;
    };
    doTheGame(0);
    size_t lastPause = indexOf("ShowTimer 0 stands", indexOf("ShowTimer 0 stands") + 1);
    ASSERT_LT(lastPause, trace.size());
    Trace after = slice(lastPause + 1, indexOf("delete xzap.tga"));
    EXPECT_EQ(after, (Trace{"displayMouseCursor", "flip", "events", "animateField", "fallTokens", "appearTokens",
                            "doSwapTokens", "doInput", "checkForMatches", "handleInterface"}));
}

TEST_F(SessionLoop, ClosingTheWindowDuringThePauseEndsTheSession) {
    script.keysAt[scrollFrames + 1] = {K_VK_P};
    script.quitAtFlip = scrollFrames + 4;
    doTheGame(0);
    EXPECT_EQ(countOf("ShowTimer 0 stands"), 3u);
    // The interrupted frame is finished but no longer presented.
    size_t end = indexOf("delete xzap.tga");
    EXPECT_EQ(slice(end - 3, end), (Trace{"AnimateZapAttack", "displayMouseCursor", "events"}));
    EXPECT_EQ(countOf("flip"), size_t(scrollFrames + 4));
    EXPECT_EQ(livePictures, 0);
}

// Escape: in relax a high score not yet entered ends the game with the entry; else back to the menu.
struct EscapeCase {
    long mode;
    bool highScore, overAlready;
    bool endsPlay;
};

class EscapeKey : public SessionLoop, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(EscapeKey, EndsTheGameOrTheSession) {
    const EscapeCase c = GetParam();
    script.highScore = c.highScore;
    const int escape = scrollFrames + 1;
    script.keysAt[escape] = {K_VK_ESCAPE};
    script.atShowTimer = [&] {
        if (c.overAlready) gameOver = true;
    };
    script.quitAtFlip = escape + 3;
    doTheGame(c.mode);
    std::vector<Trace> frames = playFrames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[1].back(), "flip") << "the frame with Escape is presented";
    EXPECT_EQ(std::count(frames[1].begin(), frames[1].end(), "release " + std::to_string(int(K_VK_ESCAPE))), 1);
    if (c.mode != modeRelax) {
        EXPECT_EQ(countOf("isHighScore"), 0u) << "no need to ask the server";
    }
    if (c.endsPlay) {
        EXPECT_EQ(frames.size(), 2u) << "the next frame stops before drawing";
        EXPECT_EQ(trace[indexOf("delete xzap.tga") - 1], "handleInterface");
    } else {
        EXPECT_EQ(frames.size(), 4u) << "play goes on until the window closes";
        EXPECT_TRUE(gameOver);
        EXPECT_FALSE(endPlay);
    }
}

INSTANTIATE_TEST_SUITE_P(PerMode, EscapeKey,
                         ::testing::Values(EscapeCase{0, true, false, true}, EscapeCase{1, true, false, true},
                                           EscapeCase{2, true, false, true}, EscapeCase{3, false, false, true},
                                           EscapeCase{3, true, true, true}, EscapeCase{3, true, false, false}));

TEST_F(SessionLoop, GameOverScreenFadesInAndOut) {
    const int over = scrollFrames + 2;
    const int back = over + 60;
    script.atShowTimer = [&] { gameOver = script.flips >= over && script.flips < back; };
    script.quitAtFlip = back + 70;
    doTheGame(0);
    // 60 frames over: up by 0.02 a frame to exactly 1 at the 51st, then held.
    ASSERT_GE(script.fades.size(), 60u);
    EXPECT_FLOAT_EQ(script.fades[0], 0.02f);
    EXPECT_LT(script.fades[48], 1.0f);
    EXPECT_EQ(script.fades[50], 1.0f);
    EXPECT_EQ(script.fades[59], 1.0f);
    // Then down by 0.02 a frame, drawn only while above 0, and left at 0.
    std::vector<float> out(script.fades.begin() + 60, script.fades.end());
    ASSERT_GE(out.size(), 49u);
    EXPECT_LE(out.size(), 50u);
    EXPECT_FLOAT_EQ(out[0], 0.98f);
    for (size_t i = 1; i < out.size(); i++) EXPECT_NEAR(out[i - 1] - out[i], 0.02f, 1e-5);
    EXPECT_GT(out.back(), 0);
    EXPECT_EQ(gameOverFade, 0);
    // The screen is drawn after the timer and before the mode label.
    size_t shown = indexOf("displayGameOver");
    EXPECT_EQ(trace[shown - 1], "ShowTimer 0 runs");
    EXPECT_EQ(trace[shown + 1], "displayGameMode 0");
}

}  // namespace
