#include "board_fixture.h"
#include <cstring>
#include "KSound.h"
#include "prefs.h"

// The board resetTokenTable starts from: random colours drawn column by column.
static std::vector<int> initialColors(uint32_t seed, long colors) {
    std::vector<int> c(boardCells);
    seedRandom(seed);
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) c[y * boardColumns + x] = static_cast<int>(randomNumber() % colors);
    return c;
}

using FreshBoard = BoardTest;

// A game that has run out, its game-over screen showing.
static void leaveOldGameOver() {
    score = 777;
    gameOver = true;
    endPlay = true;
    ghighscoreProcessed = true;
    _onlineProcessed = true;
    gameOverFade = 0.6f;
    gameTimer = 12;
    subTimer = 40;
}

TEST_F(FreshBoard, HundredsOfSeedsGiveFullLineFreeBoardsWithFewRepairs) {
    for (int difficulty = 0; difficulty <= 2; difficulty++) {
        prefs.difficulty = difficulty;
        const long colors = 5 + difficulty;
        for (uint32_t seed = 1; seed <= 300; seed++) {
            std::vector<int> before = initialColors(seed, colors);
            seedRandom(seed);
            resetTokenTable(false);
            SCOPED_TRACE("difficulty " + std::to_string(difficulty) + " seed " + std::to_string(seed));
            ASSERT_FALSE(boardHasLine());
            int pulsing = 0;
            for (long i = 0; i < boardCells; i++) {
                const sToken &t = tokenTable[i];
                ASSERT_TRUE(t.alive);
                ASSERT_EQ(t.fade, 1.0f);
                ASSERT_EQ(t.fadeSpeed, 0.0f);
                ASSERT_EQ(t.bonusType, bonusNone);
                ASSERT_GE(t.color, 0);
                ASSERT_LT(t.color, colors);
                if (t.color != before[i]) {
                    ASSERT_LT(t.color, 5) << "a repaired cell takes one of the first five colours";
                }
                pulsing += t.sinusSpeed > 0;
            }
            ASSERT_EQ(pulsing, isThereAPossibilityLeft() ? 1 : 0) << "one free hint when a move exists";
        }
    }
}

TEST_F(FreshBoard, RepairsTakeTheFirstFiveColoursWhateverTheDifficulty) {
    // Lines of the two extra colours are repaired into colours below 5.
    for (long x = 0; x < 3; x++) setColor(x, 0, 6);
    for (long y = 2; y < 5; y++) setColor(9, y, 5);
    EXPECT_TRUE(removeMatches());
    EXPECT_LT(tokenAt(1, 0).color, 5) << "rows are repaired first, in the middle";
    EXPECT_EQ(tokenAt(0, 0).color, 6);
    EXPECT_EQ(tokenAt(2, 0).color, 6);
    EXPECT_EQ(tokenAt(9, 3).color, 5) << "one repair per call";
    EXPECT_TRUE(removeMatches());
    EXPECT_LT(tokenAt(9, 3).color, 5);
    while (removeMatches()) {}
    EXPECT_FALSE(boardHasLine());
    EXPECT_FALSE(removeMatches());
}

TEST_F(FreshBoard, DifficultyZeroNeverDrawsAColourAbove4) {
    prefs.difficulty = 0;
    for (uint32_t seed = 1; seed <= 50; seed++) {
        seedRandom(seed);
        resetTokenTable(false);
        for (int n = 0; n < 40; n++) {
            for (long x = 0; x < boardColumns; x++) clearCell(x, 0);
            appearTokens();
        }
        for (const sToken &t : tokenTable) ASSERT_LE(t.color, 4);
    }
}

TEST_F(FreshBoard, DamagedDifficultyStillGivesColoursWithGemPictures) {
    for (int difficulty : {-7, 3, 1000}) {
        prefs.difficulty = difficulty;
        resetTokenTable(false);
        for (const sToken &t : tokenTable) {
            ASSERT_GE(t.color, 0);
            ASSERT_LE(t.color, 6);
        }
    }
    prefs.difficulty = -7;
    EXPECT_EQ(colorCount(), 5);
    prefs.difficulty = 3;
    EXPECT_EQ(colorCount(), 7);
}

TEST_F(FreshBoard, NewScoreRestartsTimerAndKeepsNothingOfTheOldGame) {
    _gameMode = 1;
    leaveOldGameOver();
    resetTokenTable(true);
    EXPECT_EQ(score, 0u);
    EXPECT_FALSE(gameOver);
    EXPECT_FALSE(endPlay);
    EXPECT_FALSE(ghighscoreProcessed);
    EXPECT_FALSE(_onlineProcessed);
    EXPECT_EQ(gameOverFade, 0.0f);
    EXPECT_EQ(gameTimer, 300);
    EXPECT_EQ(subTimer, 0);
}

TEST_F(FreshBoard, ReplacedBoardKeepsScoreAndTimerButHidesGameOverScreen) {
    _gameMode = 0;
    leaveOldGameOver();
    resetTokenTable(false);
    EXPECT_EQ(score, 777u);
    EXPECT_TRUE(gameOver);
    EXPECT_TRUE(_onlineProcessed);
    EXPECT_EQ(gameTimer, 12);
    EXPECT_EQ(subTimer, 40);
    EXPECT_FALSE(endPlay);
    EXPECT_FALSE(ghighscoreProcessed);
    EXPECT_EQ(gameOverFade, 0.0f);
    int pulsing = 0;
    for (const sToken &t : tokenTable) pulsing += t.sinusSpeed > 0;
    EXPECT_EQ(pulsing, 0) << "no hint while the game is over";
}

TEST_F(FreshBoard, TimerStartsPerMode) {
    const int32_t expected[] = {60, 300, 0, 0};
    for (long mode = 0; mode < 4; mode++) {
        gameTimer = 5;
        gameOver = true;
        resetTimer(mode);
        EXPECT_EQ(gameTimer, expected[mode]);
        EXPECT_FALSE(gameOver);
    }
}

using AppearingTokens = BoardTest;

TEST_F(AppearingTokens, FillOnlyEmptyTopRowCells) {
    clearCell(3, 0);
    clearCell(7, 0);
    clearCell(4, 1);
    tokenAt(3, 0).beingSwapped = true;
    tokenAt(3, 0).selected = true;
    tokenAt(3, 0).sinusSpeed = 0.1f;
    sToken keep = tokenAt(5, 0);
    appearTokens();
    for (long x : {3L, 7L}) {
        const sToken &t = tokenAt(x, 0);
        EXPECT_TRUE(t.alive);
        EXPECT_EQ(t.fade, 0.0f);
        EXPECT_EQ(t.fadeSpeed, 0.1f);
        EXPECT_FALSE(t.selected);
        EXPECT_EQ(t.sinusSpeed, 0.0f);
        EXPECT_LT(t.color, 7);
    }
    EXPECT_TRUE(tokenAt(3, 0).beingSwapped) << "the exchange flag stays with the cell";
    EXPECT_FALSE(tokenAt(4, 1).alive) << "only the top row is filled";
    EXPECT_EQ(0, memcmp(&keep, &tokenAt(5, 0), sizeof keep));
}

TEST_F(AppearingTokens, WaitWhileATokenMovesUnlessOneIsAlreadyAppearing) {
    clearCell(2, 0);
    tokenAt(6, 4).fally = 14;
    appearTokens();
    EXPECT_FALSE(tokenAt(2, 0).alive) << "a falling token holds the refill back";

    tokenAt(9, 0).fadeSpeed = 0.1f;
    tokenAt(9, 0).fade = 0.3f;
    EXPECT_FALSE(isThereAMovingToken()) << "an appearing token hides the fall";
    appearTokens();
    EXPECT_TRUE(tokenAt(2, 0).alive);
}

TEST_F(AppearingTokens, CarryAMarkOnceInFifteenOfWhichFiveInSevenAreReal) {
    const int rounds = 20000;
    int marks[7] = {};
    for (int n = 0; n < rounds; n++) {
        for (long x = 0; x < boardColumns; x++) clearCell(x, 0);
        appearTokens();
        for (long x = 0; x < boardColumns; x++) {
            int32_t m = tokenAt(x, 0).bonusType;
            ASSERT_GE(m, 0);
            ASSERT_LE(m, 6);
            marks[m]++;
        }
    }
    const double drawn = rounds * 12.0;
    const double marked = drawn - marks[0];
    // 1/15 of the draws pick a mark; that mark is 0 one time in seven.
    EXPECT_NEAR(marked / drawn, 6.0 / 105.0, 0.003);
    for (int m = 1; m <= 6; m++) EXPECT_NEAR(marks[m] / drawn, 1.0 / 105.0, 0.0015) << "mark " << m;
}

using BoardPredicates = BoardTest;

TEST_F(BoardPredicates, IncomingLooksAtTheTopRowOnly) {
    EXPECT_FALSE(isThereAnIncomingToken());
    tokenAt(4, 1).fadeSpeed = 0.1f;
    EXPECT_FALSE(isThereAnIncomingToken());
    tokenAt(4, 0).fadeSpeed = 0.1f;
    tokenAt(4, 0).alive = false;
    EXPECT_TRUE(isThereAnIncomingToken()) << "alive is not looked at";
}

TEST_F(BoardPredicates, MovingSeesExchangesAndFallsOfLiveTokens) {
    EXPECT_FALSE(isThereAMovingToken());
    tokenAt(1, 1).speedX = 7;
    EXPECT_TRUE(isThereAMovingToken());
    tokenAt(1, 1).speedX = 0;
    tokenAt(1, 1).speedY = -7;
    EXPECT_TRUE(isThereAMovingToken());
    tokenAt(1, 1).speedY = 0;
    tokenAt(1, 1).dy = 14;
    EXPECT_TRUE(isThereAMovingToken());
    tokenAt(1, 1).dy = 0;
    tokenAt(1, 1).fally = 7;
    EXPECT_TRUE(isThereAMovingToken());
    EXPECT_TRUE(isThereAFallingToken());
    tokenAt(1, 1).alive = false;
    EXPECT_FALSE(isThereAMovingToken());
    EXPECT_FALSE(isThereAFallingToken()) << "an empty cell never moves";
}

TEST_F(BoardPredicates, FadingMeansStrictlyBetweenGoneAndShown) {
    tokenAt(5, 5).fade = 0.0f;
    EXPECT_FALSE(isThereAFadingToken());
    tokenAt(5, 5).fade = 0.5f;
    EXPECT_TRUE(isThereAFadingToken());
    tokenAt(5, 5).alive = false;
    EXPECT_FALSE(isThereAFadingToken());
}

TEST(BoardGeometry, CellsAre42PixelBoxesWithBothEdgesInside) {
    EXPECT_TRUE(isPointInCell(0, 0, 71, 90));
    EXPECT_TRUE(isPointInCell(0, 0, 112, 131));
    EXPECT_FALSE(isPointInCell(0, 0, 113, 100));
    EXPECT_FALSE(isPointInCell(0, 0, 70, 100));
    EXPECT_FALSE(isPointInCell(0, 0, 80, 132));
    EXPECT_TRUE(isPointInCell(11, 7, 574, 425));
    EXPECT_TRUE(isPointInCell(11, 7, 533, 384));
    EXPECT_FALSE(isPointInCell(11, 7, 575, 425));
    EXPECT_TRUE(isPointInCell(3, 2, 71 + 42 * 3, 90 + 42 * 2 + 41));
}
