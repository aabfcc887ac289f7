// Board rules the session scenario cannot reach exactly: edges of the board, the
// million mode's units, the timer of each mode, and thousands of random moves.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <cstdio>
#include <random>
#include <vector>

#include "board_rules.h"
#include "spies.h"
#include "game_home.h"
#include "game_local.h"
#include "gemsets.h"
#include "highscores.h"
#include "prefs.h"
#include "sounds.h"
#include "KPlatform.h"
#include "KSound.h"

namespace {

bool atRest() { return !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken(); }

int clearing() {
    int n = 0;
    for (const sToken &t : tokenTable) n += t.fadeSpeed < 0;
    return n;
}

// Some line of three equal live tokens not all being cleared.
bool lineStanding() {
    auto line = [](long x, long y, long dx, long dy) {
        const sToken &a = tokenAt(x, y), &b = tokenAt(x + dx, y + dy), &c = tokenAt(x + 2 * dx, y + 2 * dy);
        return isMatching(x, y, x + dx, y + dy, x + 2 * dx, y + 2 * dy) &&
               !(a.fadeSpeed < 0 && b.fadeSpeed < 0 && c.fadeSpeed < 0);
    };
    for (long y = 0; y < boardRows; y++)
        for (long x = 0; x < boardColumns; x++)
            if ((x + 2 < boardColumns && line(x, y, 1, 0)) || (y + 2 < boardRows && line(x, y, 0, 1))) return true;
    return false;
}

class Board : public ::testing::Test {
protected:
    KPlatform::Scope platform;
    static void SetUpTestSuite() {
        for (KSound **s : {&snd_click, &snd_good, &snd_lose, &snd_swap, &snd_hint, &snd_nohint, &snd_zap, &snd_bomb,
                           &snd_zapattack})
            *s = new KSound();
    }
    void SetUp() override {
        spies::reset();
        gameDifficulty = 2;
        _unitScore = 1;
        score = 0;
        gameOver = false;
        deal();
    }
    static void deal() {
        for (long y = 0; y < boardRows; y++)
            for (long x = 0; x < boardColumns; x++) {
                tokenAt(x, y) = sToken{};
                tokenAt(x, y).color = int16_t((x + 2 * y) % 5);   // no line, no move
                tokenAt(x, y).fade = 1;
                tokenAt(x, y).alive = true;
            }
    }
    static uint32_t award(std::initializer_list<std::pair<long, long>> cells) {
        deal();
        for (auto [x, y] : cells) tokenAt(x, y).color = 6;
        const uint32_t before = score;
        checkForMatches();
        return score - before;
    }
    static uint32_t fire(long x, long y, BonusMark mark) {
        tokenAt(x, y).bonusType = mark;
        const uint32_t before = score;
        fadeOut(x, y);
        return score - before;
    }
};

TEST_F(Board, PointsGrowWithTheWindowsOfOneCheckAndTheMillionUnit) {
    EXPECT_EQ(award({{0, 0}, {1, 0}, {2, 0}, {8, 6}, {9, 6}, {10, 6}}), 40u);
    EXPECT_EQ(award({{0, 7}, {1, 7}, {2, 7}, {3, 7}, {4, 7}}), 320u);
    EXPECT_EQ(award({{9, 0}, {9, 1}, {9, 2}, {9, 3}, {9, 4}, {9, 5}, {9, 6}}), 640u) << "four windows and more";
    EXPECT_EQ(spies::plays(snd_good), 1) << "a playing sound is not restarted";
    _unitScore = 100;
    EXPECT_EQ(award({{4, 4}, {5, 4}, {6, 4}}), 500u);
    EXPECT_EQ(fire(11, 7, bonusBomb), 1000u) << "the flat 100 is never multiplied";
    EXPECT_EQ(clearing(), 3 + 4) << "a bomb in a corner clears what lies on the board";
    EXPECT_EQ(fire(5, 2, bonusCross), 200u + 20 * 100);
    EXPECT_EQ(clearing(), 7 + 12 + 8 - 1 - 1) << "a row and a column, each token once";
    EXPECT_EQ(spies::plays(snd_zap), 1);
}

TEST_F(Board, EdgesOfCellsAndOfTheBoard) {
    EXPECT_TRUE(isPointInCell(0, 0, 71, 90));
    EXPECT_TRUE(isPointInCell(0, 0, 112, 131));
    EXPECT_FALSE(isPointInCell(0, 0, 113, 100));
    EXPECT_FALSE(isPointInCell(0, 0, 80, 132));
    // Exchanging (11, 3) with (0, 4), its neighbour in memory only, would form a line.
    for (long x : {1, 2, 11}) tokenAt(x, x == 11 ? 3 : 4).color = 5;
    EXPECT_FALSE(isHint(11, 3));
    for (long x = 0; x < boardColumns; x++) EXPECT_FALSE(isHint(x, 7));
    // Diagonal neighbours never exchange, even to make a line.
    for (auto [x, y] : {std::pair{0L, 0L}, {1L, 0L}, {3L, 1L}}) tokenAt(x, y).color = 6;
    tokenAt(3, 1).selected = tokenAt(2, 0).selected = true;
    MoveSelection();
    EXPECT_FALSE(tokenAt(2, 0).beingSwapped);
    EXPECT_EQ(spies::plays(snd_swap), 0);
    for (int difficulty : {-7, 1000}) {
        gameDifficulty = difficulty;
        EXPECT_EQ(colorCount(), difficulty < 0 ? 5 : 7);
    }
}

// Counted frames until the game is over; limit + 1 when it never ends.
int framesUntilOver(GameMode mode, int limit) {
    for (int frame = 1; frame <= limit; frame++) {
        ShowTimer(mode, true);
        if (gameOver) return frame;
    }
    return limit + 1;
}

TEST_F(Board, EachModeEndsByItsOwnClock) {
    resetTimer(modeFiveMinutes);
    for (int i = 0; i < 1000; i++) ShowTimer(modeFiveMinutes, false);
    EXPECT_EQ(framesUntilOver(modeFiveMinutes, 30000), 301 * 75) << "a paused clock never ticks";
    resetTimer(modeMillion);
    score = 1000000;
    EXPECT_EQ(framesUntilOver(modeMillion, 75 * 200), 75 * 200 + 1) << "a million is not enough";
    score = 1000001;
    EXPECT_EQ(framesUntilOver(modeMillion, 75), 75);
    EXPECT_EQ(_realScore, 200) << "the million mode's result is its time";
    resetTimer(modeRelax);
    EXPECT_EQ(framesUntilOver(modeRelax, 75 * 100), 75 * 100 + 1);
    EXPECT_EQ(_realScore, int32_t(score));
}

// A new board goes on with the game; a new game starts points, result and clock anew
// but lets the label run; only a session clears the label and takes a new mode.
TEST_F(Board, EachResetRenewsItsOwnPartOfTheGame) {
    auto dirty = [] {
        score = 500, _realScore = 500, gameTimer = 7, gameOver = endPlay = ghighscoreProcessed = _onlineProcessed = true;
        gameOverFade = 1, tokenAt(0, 0).selected = true;
        startZapAttack();
    };
    _gameMode = modeFiveMinutes;
    dirty();
    resetTokenTable(false);
    EXPECT_TRUE(score == 500 && _realScore == 500 && gameTimer == 7 && gameOver && _onlineProcessed);
    EXPECT_FALSE(endPlay || ghighscoreProcessed || gameOverFade != 0 || tokenAt(0, 0).selected);
    dirty();
    resetTokenTable(true);
    EXPECT_TRUE(score == 0 && gameTimer == 300 && !gameOver && !_onlineProcessed && !ghighscoreProcessed);
    EXPECT_EQ(_realScore, 0) << "a new game is not judged by the last one's result";
    EXPECT_GT(zapAttack, 0);
    dirty();
    resetGameState(GameReset::session, modeMillion);
    EXPECT_TRUE(score == 0 && gameTimer == 0 && _gameMode == modeMillion && _unitScore == 100 && zapAttack < 0);
    EXPECT_STREQ(gameDescription, "brolix2dif2");
    _gameMode = modeSixtySeconds;
}

// A result enters its own block when strictly better than the third (fewer seconds in
// the million mode) and is saved at once; a stored table is read for what it holds.
TEST(HighScores, ResultsRankInTheirBlockAndStoredTablesLoadWhatTheyHold) {
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
    EXPECT_STREQ(block[1].name, "quick");
    EXPECT_EQ(block[1].score, 150u);
    EXPECT_EQ(block[2].score, 200u);
    EXPECT_EQ(std::memcmp(&score60sec, &bscore60sec, sizeof score60sec), 0) << "other tables untouched";
    const std::string saved = folder.read("data/smil");
    ASSERT_EQ(saved.size(), sizeof scoreMillion);
    const struct {
        std::string bytes;
        size_t kept;
    } files[] = {{saved.substr(0, 40), 36}, {saved + "more", 324}};   // short: its leading bytes; long: 324
    for (const auto &f : files) {
        resetScores();
        folder.write("data/smil", f.bytes);
        loadHigh(&scoreMillion, "data/smil");
        EXPECT_EQ(std::memcmp(&scoreMillion, saved.data(), f.kept), 0) << f.bytes.size();
        EXPECT_EQ(scoreMillion.players[4].score, f.kept == 324 ? 150u : bscoreMillion.players[4].score);
    }
    folder.write("data/smil", std::string(324, 'x'));
    loadHigh(&scoreMillion, "data/smil");
    for (const sHighEntry &entry : scoreMillion.players) EXPECT_EQ(std::strlen(entry.name), 31u) << "cut to 31";
    resetScores();
    // No gem set at all: the chosen one falls back to set 0, whose absence is said once.
    static std::vector<std::string> boxes;
    KPlatform::Scope platform;
    KPlatform::calls.messageBox = [](const char *title, const char *text) { boxes.push_back(title + (": " + std::string(text))); };
    prefs.bubbleset = 3;
    loadChosenBubbleSet(), loadChosenBubbleSet();
    EXPECT_EQ(prefs.bubbleset, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Could not open file: " + folder.root(), 0), 0u) << boxes[0];
}

// Random legal exchanges through the rules in the game loop's order, every frame checked.
void soak(long colors, bool relax, std::mt19937 &player) {
    seedRandom(777);
    resetTokenTable(true);
    int exchanges = 0, unrest = 0;
    auto play = [&] {
        if (!atRest() || player() % 3 != 0) return;
        std::vector<std::array<long, 4>> moves;
        for (long x = 0; x < boardColumns; x++)
            for (long y = 0; y < boardRows; y++)
                for (auto [dx, dy] : {std::pair{1L, 0L}, {0L, 1L}})
                    if (x + dx < boardColumns && y + dy < boardRows && (relax || isAPossibleMatch(x, y, x + dx, y + dy)))
                        moves.push_back({x, y, x + dx, y + dy});
        if (moves.empty()) {
            EXPECT_FALSE(relax);
            return resetTokenTable(false);
        }
        const auto m = moves[player() % moves.size()];
        tokenAt(m[0], m[1]).selected = tokenAt(m[2], m[3]).selected = true;
        MoveSelection();
        exchanges++;
    };
    for (int frame = 0; frame < 20000; frame++) {
        const uint32_t before = score;
        stepBoardRules(play);
        ASSERT_GE(score, before);
        unrest = atRest() ? 0 : unrest + 1;
        ASSERT_LT(unrest, 3000) << "never back to rest, frame " << frame;
        ASSERT_FALSE(atRest() && lineStanding()) << "a line left standing, frame " << frame;
        int swapping = 0, alive = 0;
        for (const sToken &t : tokenTable) {
            ASSERT_TRUE(t.bonusType >= 0 && t.bonusType <= 6 && t.fade >= 0 && t.fade <= 1);
            ASSERT_TRUE(!t.alive || (t.color >= 0 && t.color < colors && t.fally >= 0 && t.fally < 42));
            ASSERT_TRUE(std::abs(t.dx) < 42 && std::abs(t.dy) < 42);
            swapping += t.beingSwapped, alive += t.alive;
        }
        ASSERT_TRUE(swapping == 0 || swapping == 2) << "frame " << frame;
        ASSERT_TRUE(!atRest() || alive == boardCells) << "frame " << frame;
    }
    std::printf("%ld colours%s: %d exchanges, score %u\n", colors, relax ? ", relax" : "", exchanges, score);
    EXPECT_GT(exchanges, 100);
}

TEST_F(Board, ThousandsOfRandomMovesKeepTheBoardSound) {
    std::mt19937 player(12345);
    for (int seed = 1; seed <= 100; seed++) {
        seedRandom(seed);
        resetTokenTable(true);
        int pulsing = 0;
        for (const sToken &t : tokenTable) pulsing += t.sinusSpeed > 0;
        ASSERT_FALSE(lineStanding()) << seed;
        ASSERT_EQ(pulsing, isThereAPossibilityLeft() ? 1 : 0) << "one free hint when a move exists, seed " << seed;
    }
    gameDifficulty = 0;
    soak(5, false, player);
    gameDifficulty = 2;
    _unitScore = 100;
    soak(7, false, player);
    _gameMode = modeRelax;
    soak(7, true, player);
    _gameMode = modeSixtySeconds;
}

}  // namespace
