#include "board_fixture.h"
#include "sounds.h"

// A seed whose first draws, mod 5, are the given question-mark outcomes.
static uint32_t seedDrawing(std::initializer_list<long> outcomes) {
    for (uint32_t seed = 1;; seed++) {
        seedRandom(seed);
        bool fits = true;
        for (long o : outcomes) fits = fits && randomNumber() % 5 == o;
        if (fits) return seed;
    }
}

static bool clearing(long x, long y) { return tokenAt(x, y).fadeSpeed < 0; }

using Bonus = BoardTest;

TEST_F(Bonus, ABombInACornerClearsFourCellsAndStillPaysNineUnits) {
    setMark(0, 0, bonusBomb);
    fadeOut(0, 0);
    EXPECT_EQ(score, 109u);
    EXPECT_EQ(clearingCount(), 4);
    for (auto [x, y] : {std::pair{0L, 0L}, {1, 0}, {0, 1}, {1, 1}}) EXPECT_TRUE(clearing(x, y));
    EXPECT_EQ(soundLog::plays(snd_bomb), 1);
    EXPECT_EQ(soundLog::plays(snd_zap), 0);
}

TEST_F(Bonus, ALineThroughABombPaysTheBombBeforeTheLine) {
    for (long x = 0; x < 3; x++) setColor(x, 0, 6);
    setMark(0, 0, bonusBomb);
    checkForMatches();
    EXPECT_EQ(score, 109u + 5u);
    EXPECT_EQ(clearingCount(), 5);
    EXPECT_EQ(soundLog::plays(snd_good), 1);
}

TEST_F(Bonus, ABombInsideClearsItsSquare) {
    setMark(6, 4, bonusBomb);
    fadeOut(6, 4);
    EXPECT_EQ(clearingCount(), 9);
    for (long y = 3; y <= 5; y++)
        for (long x = 5; x <= 7; x++) EXPECT_TRUE(clearing(x, y));
}

TEST_F(Bonus, ARowMarkMeetingASecondOnePaysTwiceAndClearsTheRowOnce) {
    setMark(2, 3, bonusRow);
    setMark(7, 3, bonusRow);
    fadeOut(2, 3);
    EXPECT_EQ(score, 2u * (100 + 12));
    EXPECT_EQ(clearingCount(), 12);
    for (long x = 0; x < boardColumns; x++) EXPECT_TRUE(clearing(x, 3));
    EXPECT_EQ(soundLog::plays(snd_zap), 2);
}

TEST_F(Bonus, AColumnMarkInARowThatIsClearedClearsItsColumnToo) {
    setMark(2, 3, bonusRow);
    setMark(9, 3, bonusColumn);
    fadeOut(2, 3);
    EXPECT_EQ(score, 100u + 12 + 100 + 8);
    EXPECT_EQ(clearingCount(), 12 + 7);
    for (long y = 0; y < boardRows; y++) EXPECT_TRUE(clearing(9, y));
}

TEST_F(Bonus, ACrossPays200And20UnitsWithOneZap) {
    setMark(5, 5, bonusCross);
    fadeOut(5, 5);
    EXPECT_EQ(score, 220u);
    EXPECT_EQ(clearingCount(), 12 + 8 - 1);
    EXPECT_EQ(soundLog::plays(snd_zap), 1);
    EXPECT_EQ(soundLog::plays(snd_bomb), 0);
}

TEST_F(Bonus, TheMillionModeMultipliesOnlyTheUnits) {
    _unitScore = 100;
    setMark(4, 2, bonusRow);
    fadeOut(4, 2);
    EXPECT_EQ(score, 1300u);
    fillBase();
    score = 0;
    setMark(4, 2, bonusCross);
    fadeOut(4, 2);
    EXPECT_EQ(score, 2200u);
    fillBase();
    score = 0;
    setMark(4, 2, bonusBomb);
    fadeOut(4, 2);
    EXPECT_EQ(score, 1000u);
}

TEST_F(Bonus, MarksWithoutEffectClearOnlyTheirToken) {
    for (BonusMark m : {bonusNone, bonusBlank}) {
        fillBase();
        setMark(3, 3, m);
        fadeOut(3, 3);
        EXPECT_EQ(clearingCount(), 1);
    }
    EXPECT_EQ(score, 0u);
    for (long type : {0L, 4L, 5L, 6L, 7L, -1L}) doBonus(type, 3, 6);
    EXPECT_EQ(score, 0u) << "doBonus acts for bomb, row and column only";
    EXPECT_FALSE(clearing(3, 6));
}

TEST_F(Bonus, AQuestionMarkTurningIntoNothingClearsSilently) {
    setMark(8, 2, bonusQuestion);
    seedRandom(seedDrawing({0}));
    fadeOut(8, 2);
    EXPECT_EQ(tokenAt(8, 2).bonusType, bonusNone);
    EXPECT_EQ(clearingCount(), 1);
    EXPECT_TRUE(clearing(8, 2));
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(soundLog::plays(snd_bomb) + soundLog::plays(snd_zap), 0);
}

TEST_F(Bonus, AQuestionMarkFiresAsTheMarkItBecomes) {
    setMark(8, 2, bonusQuestion);
    seedRandom(seedDrawing({1}));
    fadeOut(8, 2);
    EXPECT_EQ(tokenAt(8, 2).bonusType, bonusBomb);
    EXPECT_EQ(clearingCount(), 9);
    EXPECT_EQ(score, 109u);
    EXPECT_EQ(soundLog::plays(snd_bomb), 1);

    fillBase();
    score = 0;
    setMark(8, 2, bonusQuestion);
    seedRandom(seedDrawing({4}));
    fadeOut(8, 2);
    EXPECT_EQ(score, 220u);
    EXPECT_EQ(soundLog::plays(snd_zap), 1);
}

TEST_F(Bonus, ChainsFireDepthFirstInTheBombsCellOrder) {
    // The bomb reaches the row mark at (4, 3) first; that row reaches the question
    // at (9, 3) before the bomb reaches the question at (6, 5).
    setMark(5, 4, bonusBomb);
    setMark(4, 3, bonusRow);
    setMark(9, 3, bonusQuestion);
    setMark(6, 5, bonusQuestion);
    seedRandom(seedDrawing({0, 3}));
    fadeOut(5, 4);
    EXPECT_EQ(tokenAt(9, 3).bonusType, bonusNone);
    EXPECT_EQ(tokenAt(6, 5).bonusType, bonusColumn);
    for (long y = 0; y < boardRows; y++) EXPECT_TRUE(clearing(6, y));
    EXPECT_FALSE(clearing(9, 0));
    EXPECT_EQ(score, 109u + 112u + 108u);
    EXPECT_EQ(soundLog::plays(snd_bomb), 1);
    EXPECT_EQ(soundLog::plays(snd_zap), 2);
}

TEST_F(Bonus, MarksTravelWithTheirColourWhenTokensFall) {
    setMark(3, 2, bonusColumn);
    clearCell(3, 3);
    for (int n = 0; n < 6; n++) fallTokens();
    EXPECT_EQ(tokenAt(3, 3).bonusType, bonusColumn);
}

using ZapAttack = BoardTest;

TEST_F(ZapAttack, TheLabelShowsOn194FramesEndingTransparent) {
    startZapAttack();
    int shown = 0;
    float peak = 0, lastAlpha = -1;
    while (stepZapAttack() && shown < 1000) {
        shown++;
        peak = std::max(peak, blendAttack);
        lastAlpha = blendAttack;
        if (shown == 1) {
            EXPECT_NEAR(zoomAttack, 0.01f, 1e-6);
        }
    }
    EXPECT_EQ(shown, 194);
    EXPECT_EQ(lastAlpha, 0.0f);
    EXPECT_NEAR(peak, 0.258f, 0.001f);
    EXPECT_EQ(zapAttack, -1.0f);
    EXPECT_FALSE(stepZapAttack());
}

TEST_F(ZapAttack, AnimateAdvancesTheSameClock) {
    startZapAttack();
    for (int n = 0; n < 193; n++) AnimateZapAttack();
    EXPECT_GE(zapAttack, 0.0f);
    AnimateZapAttack();
    EXPECT_EQ(zapAttack, -1.0f);
}

TEST_F(ZapAttack, ClearedLabelNeverShows) {
    startZapAttack();
    stepZapAttack();
    clearZapAttack();
    EXPECT_EQ(zapAttack, -51.0f);
    for (int n = 0; n < 300; n++) EXPECT_FALSE(stepZapAttack());
}

TEST_F(ZapAttack, ANewStartDuringARunStartsOver) {
    startZapAttack();
    for (int n = 0; n < 150; n++) stepZapAttack();
    startZapAttack();
    int shown = 0;
    while (stepZapAttack() && shown < 1000) {
        if (++shown == 1) {
            EXPECT_NEAR(zoomAttack, 0.01f, 1e-6);
            EXPECT_NEAR(blendAttack, 0.002f, 1e-6);
        }
    }
    EXPECT_EQ(shown, 194);
}
