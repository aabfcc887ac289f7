// The game clock: ticks every 75 counted frames, ends the timed modes, takes the result.
#include <gtest/gtest.h>
#include <ctime>
#include "game.h"

namespace {

class Timer : public ::testing::Test {
protected:
    void start(GameMode mode) {
        _gameMode = mode;
        score = 0;
        _realScore = -1;
        gameOver = true;
        ghighscoreProcessed = true;
        resetTimer(mode);
    }
    // Counted frames until the game is over; limit + 1 when it never ends.
    static int framesUntilOver(GameMode mode, int limit) {
        for (int frame = 1; frame <= limit; frame++) {
            ShowTimer(mode, true);
            if (gameOver) return frame;
        }
        return limit + 1;
    }
    static void frames(GameMode mode, int count, bool counted = true) {
        for (int i = 0; i < count; i++) ShowTimer(mode, counted);
    }
};

TEST_F(Timer, StartingATimerSetsItsValueAndClearsTheEnd) {
    const int expected[] = {60, 300, 0, 0};
    for (GameMode mode : {modeSixtySeconds, modeFiveMinutes, modeMillion, modeRelax}) {
        start(mode);
        EXPECT_EQ(gameTimer, expected[mode]);
        EXPECT_EQ(subTimer, 0);
        EXPECT_FALSE(gameOver);
        EXPECT_FALSE(ghighscoreProcessed);
    }
}

TEST_F(Timer, SixtySecondsEndAtTheSixtyFirstTick) {
    start(modeSixtySeconds);
    frames(modeSixtySeconds, 74);
    EXPECT_EQ(gameTimer, 60) << "01:00 for the first 75 frames";
    frames(modeSixtySeconds, 1);
    EXPECT_EQ(gameTimer, 59);
    score = 10;
    EXPECT_EQ(framesUntilOver(modeSixtySeconds, 10000), 4575 - 75);
    EXPECT_EQ(gameTimer, 0);
    EXPECT_EQ(_realScore, 10);
}

TEST_F(Timer, PointsScoredAfterTheEndCountAtTheNextTick) {
    start(modeSixtySeconds);
    score = 10;
    ASSERT_EQ(framesUntilOver(modeSixtySeconds, 10000), 4575);
    score += 5;
    frames(modeSixtySeconds, 74);
    EXPECT_EQ(_realScore, 10);
    frames(modeSixtySeconds, 1);
    EXPECT_EQ(_realScore, 15);
    EXPECT_EQ(gameTimer, 0);
    EXPECT_TRUE(gameOver);
}

TEST_F(Timer, FiveMinutesEndAtTheThreeHundredAndFirstTick) {
    start(modeFiveMinutes);
    score = 1234;
    EXPECT_EQ(framesUntilOver(modeFiveMinutes, 30000), 301 * 75);
    EXPECT_EQ(_realScore, 1234);
}

TEST_F(Timer, APausedTimerNeverTicks) {
    start(modeSixtySeconds);
    frames(modeSixtySeconds, 74);
    frames(modeSixtySeconds, 10000, false);
    EXPECT_EQ(gameTimer, 60);
    EXPECT_EQ(subTimer, 74);
    EXPECT_FALSE(gameOver);
    frames(modeSixtySeconds, 1);
    EXPECT_EQ(gameTimer, 59) << "the count goes on where it stopped";
}

TEST_F(Timer, MillionEndsOnlyAboveTheTargetAndKeepsItsTime) {
    start(modeMillion);
    score = 1000000;
    EXPECT_EQ(framesUntilOver(modeMillion, 75 * 200), 75 * 200 + 1) << "exactly a million is not enough";
    EXPECT_EQ(gameTimer, 200);
    frames(modeMillion, 30);
    score = 1000001;
    EXPECT_EQ(framesUntilOver(modeMillion, 75), 45) << "ends at the next tick";
    EXPECT_EQ(_realScore, 200);
    score = 2000000;
    frames(modeMillion, 750);
    EXPECT_EQ(gameTimer, 200);
    EXPECT_EQ(_realScore, 200);
}

TEST_F(Timer, MillionCountsBeyondNinetyNineMinutes) {
    start(modeMillion);
    frames(modeMillion, 75 * 6000);
    EXPECT_EQ(gameTimer, 6000);
    EXPECT_FALSE(gameOver);
}

int minutesNow() {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 60 + local.tm_min;
}

TEST_F(Timer, RelaxShowsTheTimeOfDayAndTakesTheScoreAtEachTick) {
    start(modeRelax);
    score = 321;
    frames(modeRelax, 74);
    EXPECT_EQ(gameTimer, 0) << "00:00 until the first tick";
    EXPECT_EQ(_realScore, -1);
    int before = minutesNow();
    frames(modeRelax, 1);
    int after = minutesNow();
    EXPECT_TRUE(gameTimer == before || gameTimer == after) << gameTimer;
    EXPECT_EQ(_realScore, 321);
    EXPECT_FALSE(gameOver);
    score = 400;
    frames(modeRelax, 75 * 100);
    EXPECT_FALSE(gameOver) << "relax never ends by itself";
    EXPECT_EQ(_realScore, 400);
}

}  // namespace
