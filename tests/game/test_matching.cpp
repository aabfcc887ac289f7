#include "board_fixture.h"
#include <cstring>
#include "sounds.h"

using Award = BoardTest;

// Paints colour 6 on the listed cells, runs one check and returns the points.
static uint32_t award(std::initializer_list<std::pair<long, long>> cells) {
    for (auto [x, y] : cells) tokenAt(x, y).color = 6;
    uint32_t before = score;
    checkForMatches();
    return score - before;
}

TEST_F(Award, RunsInARowScoreByWindowCount) {
    EXPECT_EQ(award({{2, 3}, {3, 3}, {4, 3}}), 5u);
    fillBase();
    EXPECT_EQ(award({{2, 3}, {3, 3}, {4, 3}, {5, 3}}), 40u);
    fillBase();
    EXPECT_EQ(award({{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}}), 320u);
    fillBase();
    EXPECT_EQ(award({{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {7, 3}}), 640u);
    fillBase();
    EXPECT_EQ(award({{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {7, 3}, {8, 3}}), 640u);
    fillBase();
    EXPECT_EQ(award({{9, 0}, {9, 1}, {9, 2}, {9, 3}, {9, 4}}), 320u) << "columns count alike";
}

TEST_F(Award, TwoRunsInOneCheckScoreTheirCombinedWindows) {
    EXPECT_EQ(award({{0, 0}, {1, 0}, {2, 0}, {8, 6}, {9, 6}, {10, 6}}), 40u) << "two separate runs";
    fillBase();
    EXPECT_EQ(award({{0, 0}, {1, 0}, {2, 0}, {0, 1}, {0, 2}}), 40u) << "L";
    fillBase();
    EXPECT_EQ(award({{3, 4}, {4, 4}, {5, 4}, {4, 5}, {4, 6}}), 40u) << "T";
    fillBase();
    EXPECT_EQ(award({{4, 4}, {5, 4}, {6, 4}, {5, 3}, {5, 5}}), 40u) << "cross";
    fillBase();
    EXPECT_EQ(award({{0, 0}, {1, 0}, {2, 0}, {5, 0}, {6, 0}, {7, 0}, {0, 5}, {0, 6}, {0, 7}}), 320u);
}

TEST_F(Award, MillionModeMultipliesByItsUnit) {
    _unitScore = 100;
    EXPECT_EQ(award({{2, 3}, {3, 3}, {4, 3}}), 500u);
    fillBase();
    EXPECT_EQ(award({{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {7, 3}}), 64000u);
}

TEST_F(Award, NoLineNoPoints) {
    checkForMatches();
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(clearingCount(), 0);
    EXPECT_EQ(soundLog::plays(snd_good), 0);
}

TEST_F(Award, EveryTokenOfEveryLineStartsClearing) {
    award({{4, 4}, {5, 4}, {6, 4}, {5, 3}, {5, 5}});
    EXPECT_EQ(clearingCount(), 5) << "the column scan still sees the row's cleared middle";
    for (auto [x, y] : {std::pair{4L, 4L}, {5, 4}, {6, 4}, {5, 3}, {5, 5}}) {
        EXPECT_EQ(tokenAt(x, y).fadeSpeed, -0.025f);
        EXPECT_EQ(tokenAt(x, y).fade, 1.0f);
        EXPECT_TRUE(tokenAt(x, y).alive);
    }
}

TEST_F(Award, NothingIsSearchedUnlessTheBoardRests) {
    for (long x = 2; x < 5; x++) setColor(x, 6, 6);
    tokenAt(0, 0).fadeSpeed = 0.1f;
    tokenAt(0, 0).fade = 0.5f;
    checkForMatches();
    EXPECT_EQ(score, 0u) << "appearing";
    fillBase();
    for (long x = 2; x < 5; x++) setColor(x, 6, 6);
    tokenAt(8, 7).speedY = 7;
    tokenAt(8, 7).beingSwapped = true;
    checkForMatches();
    EXPECT_EQ(score, 0u) << "moving";
    tokenAt(8, 7).speedY = 0;
    tokenAt(8, 7).fade = 0.4f;
    checkForMatches();
    EXPECT_EQ(score, 0u) << "fading";
    EXPECT_EQ(clearingCount(), 0);
}

TEST_F(Award, LineSoundStartsOnlyWhenSilent) {
    award({{0, 0}, {1, 0}, {2, 0}, {8, 6}, {9, 6}, {10, 6}});
    EXPECT_EQ(soundLog::plays(snd_good), 1) << "the second window finds it playing";

    fillBase();
    soundLog::clear();
    soundLog::setPlaying(snd_good, true);
    award({{2, 3}, {3, 3}, {4, 3}});
    EXPECT_EQ(soundLog::plays(snd_good), 0) << "a playing sound is never restarted";
}

using Matching = BoardTest;

TEST_F(Matching, NeedsThreeLiveTokensOfOneColourAndNothingElse) {
    for (long x = 0; x < 3; x++) setColor(x, 2, 6);
    EXPECT_TRUE(isMatching(0, 2, 1, 2, 2, 2));
    setMark(1, 2, bonusBomb);
    tokenAt(2, 2).fade = 0.3f;
    tokenAt(2, 2).fadeSpeed = -0.025f;
    EXPECT_TRUE(isMatching(0, 2, 1, 2, 2, 2)) << "marks and fading play no part";
    tokenAt(0, 2).alive = false;
    EXPECT_FALSE(isMatching(0, 2, 1, 2, 2, 2));
    EXPECT_FALSE(isMatching(3, 2, 4, 2, 5, 2));
}

using FadeOut = BoardTest;

TEST_F(FadeOut, OutsideTheBoardChangesNothing) {
    const sToken before = tokenTable[0];
    for (auto [x, y] : {std::pair{-1L, 0L}, {0, -1}, {12, 0}, {0, 8}, {-1, -1}, {12, 8}}) fadeOut(x, y);
    EXPECT_EQ(clearingCount(), 0);
    EXPECT_EQ(0, memcmp(&before, &tokenTable[0], sizeof before));
}

TEST_F(FadeOut, ATokenAlreadyClearingOrAppearingNeverFires) {
    setMark(3, 3, bonusRow);
    tokenAt(3, 3).fadeSpeed = -0.025f;
    tokenAt(3, 3).fade = 0.7f;
    fadeOut(3, 3);
    EXPECT_EQ(tokenAt(3, 3).fade, 0.7f);
    EXPECT_EQ(clearingCount(), 1);
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(soundLog::plays(snd_zap), 0);

    setMark(5, 0, bonusBomb);
    tokenAt(5, 0).fadeSpeed = 0.1f;
    tokenAt(5, 0).fade = 0.2f;
    fadeOut(5, 0);
    EXPECT_EQ(tokenAt(5, 0).fadeSpeed, 0.1f);
    EXPECT_EQ(soundLog::plays(snd_bomb), 0);
    EXPECT_EQ(score, 0u);
}

TEST_F(FadeOut, AClearedTokenShowsFor41FramesThenLeavesItsCellEmpty) {
    fadeOut(6, 7);
    int frames = 0;
    while (tokenAt(6, 7).alive && frames < 100) {
        animateField();
        frames++;
    }
    EXPECT_EQ(frames, 41);
    EXPECT_EQ(tokenAt(6, 7).fade, 0.0f);
    EXPECT_EQ(tokenAt(6, 7).fadeSpeed, 0.0f);
}

using Cascade = BoardTest;

TEST_F(Cascade, ALineMadeByAFallIsClearedAtTheNextRest) {
    // Clearing (4, 3)..(4, 5) drops the 5 from (4, 2) between the two 5s of row 5.
    setColor(4, 2, 5);
    setColor(3, 5, 5);
    setColor(5, 5, 5);
    for (long y = 3; y < 6; y++) setColor(4, y, 6);
    checkForMatches();
    ASSERT_EQ(score, 5u);
    int frames = 0;
    while (score == 5u && frames < 1000) {
        ruleFrame();
        frames++;
    }
    EXPECT_GE(score, 10u);
    EXPECT_FALSE(isThereAFallingToken());
    EXPECT_FALSE(isThereAnIncomingToken());
    for (long y = 0; y < 3; y++) EXPECT_EQ(tokenAt(4, y).fade, 1.0f) << "refilled before the search";
    for (long x = 3; x < 6; x++) EXPECT_EQ(tokenAt(x, 5).fadeSpeed, -0.025f) << x;
    ASSERT_LE(framesUntilRest(5000), 5000);
    EXPECT_EQ(aliveCount(), 96);
    EXPECT_FALSE(boardHasLine());
}
