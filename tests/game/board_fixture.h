#pragma once
#include <gtest/gtest.h>
#include <vector>
#include "game.h"

class KSound;

// Records what the board asks of the sound effects (the tests replace
// KSound::playSample and KSound::isPlaying at link time). A sound counts as
// playing from its first play until the test says otherwise.
namespace soundLog {
void clear();
int plays(KSound *sound);
void setPlaying(KSound *sound, bool playing);
}

// Base pattern: colours (x + 2y) mod 5, no line and no move anywhere. Colours
// 5 and 6 (difficulty 2) never occur in it, so tests build lines from them.
int baseColor(long x, long y);

class BoardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();       // the nine sound effects, as the shell makes them
    static void TearDownTestSuite();
    void SetUp() override;              // base board, difficulty 2, unit 1, score 0

    static void fillBase();
    static void setColor(long x, long y, int color);
    static void setMark(long x, long y, BonusMark mark);
    static void clearCell(long x, long y);          // make the cell empty
    static void startExchange(long xa, long ya, long xb, long yb);
    static bool atRest();
    static void ruleFrame();            // one frame of the board rules, without input
    static int framesUntilRest(int limit); // rule frames run until rest (limit + 1: never)
    static int aliveCount();
    static int clearingCount();         // tokens whose fade runs down
};

// Some window of three equal alive colours on the live board; with
// unclearedOnly, only windows holding a token that is not being cleared count.
bool boardHasLine(bool unclearedOnly = false);
