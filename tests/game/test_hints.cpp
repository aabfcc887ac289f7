#include "board_fixture.h"
#include <cstring>

static void paint(std::initializer_list<std::tuple<long, long, int>> cells) {
    for (auto [x, y, c] : cells) tokenAt(x, y).color = static_cast<int16_t>(c);
}

static std::vector<std::pair<long, long>> pulsingCells() {
    std::vector<std::pair<long, long>> cells;
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++)
            if (tokenAt(x, y).sinusSpeed > 0) cells.push_back({x, y});
    return cells;
}

// A seed after which showHint starts its first pass at (rx, ry).
static uint32_t seedStartingAt(long rx, long ry) {
    for (uint32_t seed = 1;; seed++) {
        seedRandom(seed);
        long x = randomNumber() % boardColumns;
        if (x == rx && randomNumber() % boardRows == ry) return seed;
    }
}

using MoveSearch = BoardTest;

TEST_F(MoveSearch, TheBaseBoardHasNoMoveAndOneExchangeGivesOne) {
    EXPECT_FALSE(isThereAPossibilityLeft());
    paint({{0, 3, 6}, {1, 3, 6}, {3, 3, 6}});
    EXPECT_TRUE(isThereAPossibilityLeft());
    EXPECT_TRUE(isHint(2, 3));
    EXPECT_TRUE(isHint(3, 3));
    EXPECT_FALSE(isHint(1, 3));
    EXPECT_FALSE(isHint(3, 2));
}

TEST_F(MoveSearch, TrialsLeaveTheLiveBoardAlone) {
    paint({{0, 3, 6}, {1, 3, 6}, {3, 3, 6}});
    tokenAt(2, 3).selected = true;
    sToken before[boardCells];
    memcpy(before, tokenTable, sizeof before);
    EXPECT_TRUE(isThereAPossibilityLeft());
    EXPECT_TRUE(isAPossibleMatch(2, 3, 3, 3));
    EXPECT_EQ(0, memcmp(before, tokenTable, sizeof before));
    EXPECT_EQ(calculationTokenTable[3 * 12 + 2].color, 6) << "the trial exchanged colours on the scratch board";
    EXPECT_EQ(calculationTokenTable[3 * 12 + 3].color, before[3 * 12 + 2].color);
}

TEST_F(MoveSearch, ARefusedExchangeDeselectsBothTokens) {
    paint({{0, 3, 6}, {1, 3, 6}, {3, 3, 6}});
    tokenAt(2, 3).selected = tokenAt(2, 4).selected = true;
    EXPECT_FALSE(isAPossibleMatch(2, 3, 2, 4));
    EXPECT_FALSE(tokenAt(2, 3).selected);
    EXPECT_FALSE(tokenAt(2, 4).selected);

    tokenAt(2, 3).selected = tokenAt(3, 3).selected = true;
    EXPECT_TRUE(isAPossibleMatch(2, 3, 3, 3));
    EXPECT_TRUE(tokenAt(2, 3).selected) << "an accepted exchange keeps the selection";
    EXPECT_TRUE(tokenAt(3, 3).selected);
}

TEST_F(MoveSearch, TheTrialDoesNotAskForNeighbours) {
    paint({{0, 3, 6}, {1, 3, 6}, {9, 7, 6}});
    EXPECT_TRUE(isAPossibleMatch(9, 7, 2, 3));
}

TEST_F(MoveSearch, ALineOnTheLiveBoardMakesEveryTrialAMove) {
    paint({{5, 6, 6}, {6, 6, 6}, {7, 6, 6}});
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) ASSERT_TRUE(isHint(x, y)) << x << "," << y;
    EXPECT_TRUE(isAPossibleMatch(0, 0, 11, 7));
}

TEST_F(MoveSearch, TheLastColumnFindsItsMoveDownAndNotToTheRight) {
    paint({{9, 3, 6}, {10, 3, 6}, {11, 4, 6}});
    EXPECT_TRUE(isHint(11, 3));
    EXPECT_TRUE(isHint(11, 4));
    EXPECT_FALSE(isHint(11, 2));
}

TEST_F(MoveSearch, BorderTrialsNeverReachIntoTheNextRowOrOffTheBoard) {
    // Exchanging (11, 3) with the cell after it in memory, (0, 4), would form a line.
    paint({{1, 4, 5}, {2, 4, 5}, {11, 3, 5}});
    EXPECT_FALSE(isHint(11, 3));
    fillBase();
    // Exchanging (0, 4) with the cell before it in memory, (11, 3), would form a line.
    paint({{9, 3, 5}, {10, 3, 5}, {0, 4, 5}});
    EXPECT_FALSE(isHint(0, 4));
    fillBase();
    // Corners and the top and bottom rows (a sanitizer build sees any reach past the ends).
    for (long x = 0; x < boardColumns; x++) {
        EXPECT_FALSE(isHint(x, 0));
        EXPECT_FALSE(isHint(x, 7));
    }
}

TEST_F(MoveSearch, TheScratchBoardSearchLooksAtLiveCellsOnly) {
    memcpy(calculationTokenTable, tokenTable, sizeof tokenTable);
    for (long x = 4; x < 7; x++) calculationTokenTable[2 * 12 + x].color = 6;
    EXPECT_TRUE(checkForPossibility());
    EXPECT_TRUE(isMatchingForHint(4, 2, 5, 2, 6, 2));
    calculationTokenTable[2 * 12 + 5].alive = false;
    EXPECT_FALSE(checkForPossibility());
    swapForHint(5, 2, 5, 3);
    EXPECT_EQ(calculationTokenTable[3 * 12 + 5].color, 6);
    EXPECT_FALSE(calculationTokenTable[2 * 12 + 5].alive) << "only the colour moves";
}

using Hint = BoardTest;

TEST_F(Hint, FirstPassRestartsEveryColumnAtTheRandomRow) {
    paint({{7, 5, 6}, {9, 5, 6}, {8, 6, 6}, {5, 3, 5}, {7, 3, 5}, {6, 2, 5},
           {10, 3, 4}, {9, 4, 4}, {11, 4, 4}});
    seedRandom(seedStartingAt(5, 4));
    showHint();
    auto cells = pulsingCells();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0], std::make_pair(8L, 5L));
    EXPECT_EQ(tokenAt(8, 5).sinusSpeed, 0.1f);
}

TEST_F(Hint, SecondPassFindsAMoveBeforeTheRandomStart) {
    paint({{1, 2, 6}, {3, 2, 6}, {2, 3, 6}});
    seedRandom(seedStartingAt(5, 4));
    showHint();
    auto cells = pulsingCells();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0], std::make_pair(2L, 2L));
}

TEST_F(Hint, NothingDuringGameOverOrWithoutAMove) {
    paint({{1, 2, 6}, {3, 2, 6}, {2, 3, 6}});
    gameOver = true;
    showHint();
    EXPECT_TRUE(pulsingCells().empty());
    gameOver = false;
    fillBase();
    showHint();
    EXPECT_TRUE(pulsingCells().empty());
}

TEST_F(Hint, AHintOnAPulsingTokenOnlySetsItsSpeedAgain) {
    paint({{1, 2, 6}, {3, 2, 6}, {2, 3, 6}});
    tokenAt(2, 2).sinusSpeed = 0.1f;
    tokenAt(2, 2).sinus = 7.5f;
    seedRandom(seedStartingAt(5, 4));
    showHint();
    EXPECT_EQ(tokenAt(2, 2).sinus, 7.5f);
    EXPECT_EQ(tokenAt(2, 2).sinusSpeed, 0.1f);
    EXPECT_EQ(pulsingCells().size(), 1u);
}

TEST_F(Hint, EveryFreshBoardWithAMoveStartsWithOneHintedToken) {
    for (uint32_t seed = 1; seed <= 100; seed++) {
        seedRandom(seed);
        resetTokenTable(true);
        auto cells = pulsingCells();
        if (!isThereAPossibilityLeft()) {
            EXPECT_TRUE(cells.empty());
            continue;
        }
        ASSERT_EQ(cells.size(), 1u) << seed;
        EXPECT_TRUE(isHint(cells[0].first, cells[0].second)) << seed;
    }
}
