// Board rules the scripted games of the record test do not reach.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "still_board.h"
#include "game_home.h"
#include "gl_window.h"
#include "game_local.h"
#include "gemsets.h"
#include "highscores.h"
#include "prefs.h"
#include "KPlatform.h"
#include "KWindow.h"

namespace {

// Marks in mid-board, the edges of the board, the one free hint of a fresh deal, the million
// mode's end and what each reset renews, in one game.
TEST(Board, MarksEdgesTheFreeHintTheMillionsEndAndTheResets) {
    KPlatform::Scope platform;
    gameDifficulty = 2;
    _gameMode = modeSixtySeconds;
    _unitScore = 1;
    score = 0;
    gameOver = false;
    dealStill();
    // What marks score and clear in mid-board the scripted games of every mode pin.
    for (long y = 0; y < 7; y++) tokenAt(9, y).color = 6;
    rules::checkForMatches();
    EXPECT_EQ(score, 640u) << "four windows and more";
    dealStill();
    tokenAt(11, 7).bonusType = bonusBomb;
    rules::fadeOut(11, 7);
    EXPECT_EQ(score, 640u + 109);
    EXPECT_EQ(tokensWhere([](const sToken &t) { return t.fadeSpeed < 0; }), 4) << "a bomb in a corner clears what lies on the board";

    // One hint, not more: lines and colours of a deal already change the record test's pinned replays.
    for (int seed = 1; seed <= 100; seed++) {
        seedRandom(seed);
        resetTokenTable(true);
        const long pulsing = tokensWhere([](const sToken &t) { return t.sinusSpeed > 0; });
        ASSERT_EQ(pulsing, isThereAPossibilityLeft() ? 1 : 0) << "one free hint when a move exists, seed " << seed;
    }

    for (auto [x, y, in] : {std::tuple{71, 90, true}, {112, 131, true}, {113, 100, false}, {80, 132, false}})
        EXPECT_EQ(isPointInCell(0, 0, x, y), in) << x << "," << y;
    // Diagonal neighbours never exchange, even to make a line.
    dealStill();
    for (auto [x, y] : {std::pair{0L, 0L}, {1L, 0L}, {3L, 1L}}) tokenAt(x, y).color = 6;
    tokenAt(3, 1).selected = tokenAt(2, 0).selected = true;
    rules::MoveSelection();
    EXPECT_FALSE(tokenAt(2, 0).beingSwapped);
    // In relax any two neighbours exchange, with no line to be made.
    _gameMode = modeRelax;
    tokenAt(5, 5).selected = tokenAt(5, 6).selected = true;
    rules::MoveSelection();
    EXPECT_TRUE(tokenAt(5, 5).beingSwapped && tokenAt(5, 6).beingSwapped);

    resetTimer(modeMillion);
    score = 1000000;
    for (int frame = 0; frame < 75 * 200; frame++) ShowTimer(modeMillion, true);
    EXPECT_FALSE(gameOver) << "a million is not enough";
    score = 1000001;
    for (int frame = 1; frame < 75; frame++) ShowTimer(modeMillion, true);
    EXPECT_FALSE(gameOver) << "only at the next tick";
    ShowTimer(modeMillion, true);
    EXPECT_EQ(std::pair(gameOver, _realScore), std::pair(true, 200));

    // A new game lets the label run (the rest it renews, the old record's replay pins); a session clears
    // it too and takes a new mode.
    startZapAttack();
    resetTokenTable(true);
    EXPECT_GT(zapAttack, 0);
    score = 500, gameTimer = 7, gameOver = endPlay = ghighscoreProcessed = _onlineProcessed = true;
    resetGameState(GameReset::session, modeMillion);
    EXPECT_TRUE(score == 0 && gameTimer == 0 && !gameOver && !endPlay && !ghighscoreProcessed && !_onlineProcessed &&
                _gameMode == modeMillion && _unitScore == 100 && zapAttack < 0);
    EXPECT_STREQ(gameDescription, "brolix2dif2");
}

// Strictly better than the third (fewer seconds in the million mode) enters its block, saved at once.
TEST(HighScores, ResultsRankInTheirBlockAndAreSavedAtOnce) {
    GameHome folder;
    resetScores();
    _gameMode = modeMillion, prefs.difficulty = 1, ghighscoreProcessed = false;
    sHighEntry *block = &scoreMillion.players[3];
    for (int i = 0; i < 3; i++) block[i].score = 100 * (i + 1);
    _realScore = 300;
    EXPECT_FALSE(isHighScore()) << "equal is not enough";
    _realScore = 150;
    ASSERT_TRUE(isHighScore());
    transferHighScore("quick");
    EXPECT_EQ(std::tuple(std::string(block[1].name), block[1].score, block[2].score), std::tuple("quick", 150u, 200u));
    EXPECT_EQ(std::memcmp(&score60sec, &bscore60sec, sizeof score60sec), 0) << "other tables untouched";
    EXPECT_EQ(folder.read("data/smil"), std::string(reinterpret_cast<const char *>(&scoreMillion), sizeof scoreMillion));
    resetScores();
    // No gem set at all: the chosen one falls back to set 0, whose absence is said once.
    BoxRecorder boxes;
    prefs.bubbleset = 3;
    loadChosenBubbleSet(), loadChosenBubbleSet();
    EXPECT_EQ(prefs.bubbleset, 0);
    EXPECT_EQ(shownBoxes(), (Boxes{{"Could not open file", folder.path("data/gems/set0/name.txt")}}));
}

}  // namespace

// A window change moves the pointer in the same read or, behind a window manager, a later one.
TEST(MouseWatch, TheWindowsChangeIsNoMoveOfTheMouse) {
    const KWindowPlace shipped = KWindow::getWindowPlace();
    MouseWatch watch;
    const auto place = [](int32_t x, int32_t width) { KWindow::setWindowPlace({x, 40, width, 480, 0}); };
    place(100, 640);
    EXPECT_FALSE(watch.tookOver(300, 200, false)) << "the first read only learns where it is";
    EXPECT_TRUE(watch.tookOver(301, 200, false));
    EXPECT_TRUE(watch.tookOver(301, 200, true)) << "a click";
    place(100, 1280);
    EXPECT_FALSE(watch.tookOver(150, 100, false)) << "followed in the same read";
    EXPECT_TRUE(watch.tookOver(151, 100, false));
    place(0, 1280);
    EXPECT_FALSE(watch.tookOver(151, 100, false)) << "not followed yet";
    EXPECT_FALSE(watch.tookOver(201, 100, false)) << "followed a read later";
    EXPECT_TRUE(watch.tookOver(202, 100, false)) << "only one jump is the window's";
    KWindow::setWindowPlace(shipped);
}
