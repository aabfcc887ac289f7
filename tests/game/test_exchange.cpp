#include "board_fixture.h"

using Exchange = BoardTest;

TEST_F(Exchange, NeighboursAcrossSlideSixFramesThenTradeColourAndMark) {
    setMark(3, 2, bonusBomb);
    tokenAt(3, 2).sinusSpeed = 0.1f;
    tokenAt(4, 2).selected = true;
    const int16_t left = tokenAt(3, 2).color, right = tokenAt(4, 2).color;
    startExchange(3, 2, 4, 2);
    for (int frame = 1; frame <= 5; frame++) {
        doSwapTokens();
        EXPECT_EQ(tokenAt(3, 2).dx, 7.0f * frame);
        EXPECT_EQ(tokenAt(4, 2).dx, -7.0f * frame);
        EXPECT_TRUE(tokenAt(3, 2).beingSwapped);
    }
    doSwapTokens();
    const sToken &a = tokenAt(3, 2), &b = tokenAt(4, 2);
    EXPECT_EQ(a.color, right);
    EXPECT_EQ(b.color, left);
    EXPECT_EQ(a.bonusType, bonusNone);
    EXPECT_EQ(b.bonusType, bonusBomb);
    for (const sToken *t : {&a, &b}) {
        EXPECT_FALSE(t->beingSwapped);
        EXPECT_EQ(t->dx, 0.0f);
        EXPECT_EQ(t->dy, 0.0f);
        EXPECT_EQ(t->speedX, 0);
        EXPECT_EQ(t->speedY, 0);
    }
    EXPECT_EQ(a.sinusSpeed, 0.1f) << "the pulse stays in its cell";
    EXPECT_TRUE(b.selected) << "so does the selection";
    EXPECT_FALSE(isThereAMovingToken());
}

TEST_F(Exchange, NeighboursDownAlsoTakeSixFrames) {
    const int16_t top = tokenAt(7, 6).color, bottom = tokenAt(7, 7).color;
    startExchange(7, 7, 7, 6);
    int frames = 0;
    while (tokenAt(7, 7).beingSwapped && frames < 50) {
        doSwapTokens();
        frames++;
    }
    EXPECT_EQ(frames, 6);
    EXPECT_EQ(tokenAt(7, 6).color, bottom);
    EXPECT_EQ(tokenAt(7, 7).color, top);
}

TEST_F(Exchange, WaitsWhileATokenFallsOrAppears) {
    startExchange(3, 5, 4, 5);
    tokenAt(9, 1).fally = 14;
    doSwapTokens();
    EXPECT_EQ(tokenAt(3, 5).dx, 0.0f);
    tokenAt(9, 1).fally = 0;
    tokenAt(2, 0).fadeSpeed = 0.1f;
    tokenAt(2, 0).fade = 0.5f;
    doSwapTokens();
    EXPECT_EQ(tokenAt(3, 5).dx, 0.0f);
    tokenAt(2, 0).fadeSpeed = 0;
    tokenAt(2, 0).fade = 1;
    doSwapTokens();
    EXPECT_EQ(tokenAt(3, 5).dx, 7.0f);
}

TEST_F(Exchange, ALoneSwappingTokenStaysPut) {
    tokenAt(3, 5).beingSwapped = true;
    tokenAt(3, 5).speedX = 7;
    doSwapTokens();
    EXPECT_EQ(tokenAt(3, 5).dx, 0.0f);
}

TEST_F(Exchange, SwappedLineIsClearedOnlyAfterTheExchangeEnds) {
    setColor(0, 4, 6);
    setColor(1, 4, 6);
    setColor(3, 4, 6);
    startExchange(2, 4, 3, 4);
    int frames = 0;
    while (clearingCount() == 0 && frames < 50) {
        ruleFrame();
        frames++;
    }
    EXPECT_EQ(frames, 6);
    EXPECT_EQ(score, 5u);
}

using Falls = BoardTest;

TEST_F(Falls, ATokenFallsSixFramesPerCellUntilItRests) {
    clearCell(5, 7);
    clearCell(5, 6);
    // The cell it falls into still pulses from a hinted token cleared there.
    tokenAt(5, 6).sinusSpeed = 0.1f;
    tokenAt(5, 6).sinus = 3.0f;
    const int16_t color = tokenAt(5, 5).color;
    tokenAt(5, 5).bonusType = bonusRow;
    // Cells empty below it: the token moves 7 pixels a frame.
    for (int frame = 1; frame <= 5; frame++) {
        fallTokens();
        EXPECT_EQ(tokenAt(5, 5).fally, 7.0f * frame);
        EXPECT_TRUE(tokenAt(5, 5).alive);
    }
    fallTokens();
    EXPECT_FALSE(tokenAt(5, 5).alive);
    EXPECT_TRUE(tokenAt(5, 6).alive);
    EXPECT_EQ(tokenAt(5, 6).color, color);
    EXPECT_EQ(tokenAt(5, 6).bonusType, bonusRow);
    EXPECT_EQ(tokenAt(5, 6).sinusSpeed, 0.0f) << "a landing token does not pulse";
    EXPECT_EQ(tokenAt(5, 6).sinus, 0.0f);
    EXPECT_EQ(tokenAt(5, 6).fally, 0.0f);
    int frames = 6;
    while (!tokenAt(5, 7).alive && frames < 100) {
        fallTokens();
        frames++;
    }
    EXPECT_EQ(frames, 12);
    EXPECT_EQ(tokenAt(5, 7).color, color);
    for (int n = 0; n < 20; n++) fallTokens();
    EXPECT_TRUE(tokenAt(5, 7).alive);
    EXPECT_EQ(tokenAt(5, 7).fally, 0.0f) << "row 7 is the floor";
}

TEST_F(Falls, TheTokenAboveStartsInThePassTheLowerOneLands) {
    clearCell(2, 7);
    for (int n = 0; n < 6; n++) fallTokens();
    EXPECT_TRUE(tokenAt(2, 7).alive);
    EXPECT_FALSE(tokenAt(2, 6).alive);
    EXPECT_EQ(tokenAt(2, 5).fally, 7.0f);
    EXPECT_EQ(tokenAt(2, 4).fally, 0.0f);
}

TEST_F(Falls, AppearingAndClearingTokensNeverFall) {
    clearCell(8, 1);
    sToken &top = tokenAt(8, 0);
    top.fade = 0;
    top.fadeSpeed = 0.1f;
    int frames = 0;
    while (top.fade < 1.0f && frames < 100) {
        animateField();
        fallTokens();
        frames++;
        if (top.fade < 1.0f) {
            EXPECT_EQ(top.fally, 0.0f);
        }
    }
    EXPECT_EQ(frames, 10) << "an appearing token is steady after ten frames";
    EXPECT_EQ(top.fadeSpeed, 0.0f);
    fallTokens();
    EXPECT_EQ(top.fally, 14.0f) << "then it falls";

    fillBase();
    clearCell(1, 7);
    fadeOut(1, 6);
    for (int n = 0; n < 30; n++) {
        animateField();
        fallTokens();
    }
    EXPECT_EQ(tokenAt(1, 6).fally, 0.0f);
    EXPECT_FALSE(tokenAt(1, 7).alive);
}

TEST_F(Falls, NothingFallsIntoACellWhoseTokenIsStillClearing) {
    fadeOut(6, 4);
    for (int n = 0; n < 40; n++) {
        animateField();
        fallTokens();
        ASSERT_EQ(tokenAt(6, 3).fally, 0.0f) << n;
    }
    animateField();
    EXPECT_FALSE(tokenAt(6, 4).alive);
    fallTokens();
    EXPECT_EQ(tokenAt(6, 3).fally, 7.0f);
}

TEST_F(Falls, TheTopRowIsFilledOnlyByNewTokens) {
    clearCell(10, 0);
    for (int n = 0; n < 20; n++) fallTokens();
    EXPECT_FALSE(tokenAt(10, 0).alive);
    appearTokens();
    EXPECT_TRUE(tokenAt(10, 0).alive);
    EXPECT_EQ(tokenAt(10, 0).fadeSpeed, 0.1f);
}

using Pulse = BoardTest;

TEST_F(Pulse, AHintPulseRuns252Frames) {
    tokenAt(4, 4).sinusSpeed = 0.1f;
    int frames = 0;
    while (tokenAt(4, 4).sinusSpeed > 0 && frames < 1000) {
        animateField();
        frames++;
    }
    EXPECT_EQ(frames, 252);
    EXPECT_EQ(tokenAt(4, 4).sinus, 0.0f);
}
