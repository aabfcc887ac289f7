#include "board_fixture.h"
#include <array>
#include <cstdio>
#include <random>
#include "prefs.h"

// Plays thousands of frames of random legal exchanges through the board rules
// alone, in the order the game loop runs them, checking the board every frame.
class Soak : public BoardTest {
protected:
    std::mt19937 player{12345};
    long colors = 0;
    int exchanges = 0, replacements = 0, rests = 0, longestUnrest = 0;

    // Every legal exchange of two neighbours; in relax mode any two neighbours.
    std::vector<std::array<long, 4>> candidates(bool relax) {
        std::vector<std::array<long, 4>> moves;
        for (long x = 0; x < boardColumns; x++)
            for (long y = 0; y < boardRows; y++) {
                if (x + 1 < boardColumns && (relax || isAPossibleMatch(x, y, x + 1, y))) moves.push_back({x, y, x + 1, y});
                if (y + 1 < boardRows && (relax || isAPossibleMatch(x, y, x, y + 1))) moves.push_back({x, y, x, y + 1});
            }
        return moves;
    }

    void playAtRest(bool relax) {
        if (!relax && !isThereAPossibilityLeft()) {
            resetTokenTable(false);
            startZapAttack();
            score += 1000;
            replacements++;
            return;
        }
        auto moves = candidates(relax);
        ASSERT_FALSE(moves.empty());
        auto m = moves[player() % moves.size()];
        startExchange(m[0], m[1], m[2], m[3]);
        exchanges++;
    }

    void checkCells() {
        int swapping = 0;
        for (long i = 0; i < boardCells; i++) {
            const sToken &t = tokenTable[i];
            SCOPED_TRACE("cell " + std::to_string(i));
            ASSERT_GE(t.bonusType, 0);
            ASSERT_LE(t.bonusType, 6);
            ASSERT_GE(t.fade, 0.0f);
            ASSERT_LE(t.fade, 1.0f);
            ASSERT_TRUE(t.fadeSpeed == 0 || t.fadeSpeed == 0.1f || t.fadeSpeed == -0.025f);
            ASSERT_TRUE(t.sinusSpeed == 0 || t.sinusSpeed == 0.1f);
            ASSERT_GE(t.sinus, 0.0f);
            ASSERT_LE(t.sinus, 25.3f);
            if (!t.alive) continue;
            ASSERT_GE(t.color, 0);
            ASSERT_LT(t.color, colors);
            ASSERT_GE(t.fally, 0.0f);
            ASSERT_LT(t.fally, 42.0f);
            ASSERT_TRUE(t.speedX == 0 || t.speedX == 7 || t.speedX == -7);
            ASSERT_TRUE(t.speedY == 0 || t.speedY == 7 || t.speedY == -7);
            ASSERT_LT(std::abs(t.dx), 42.0f);
            ASSERT_LT(std::abs(t.dy), 42.0f);
            swapping += t.beingSwapped;
        }
        ASSERT_TRUE(swapping == 0 || swapping == 2);
    }

    void play(int frames, bool relax) {
        colors = colorCount();
        seedRandom(777);
        resetTokenTable(true);
        uint32_t lastScore = score;
        int unrest = 0;
        for (int frame = 0; frame < frames; frame++) {
            animateField();
            fallTokens();
            appearTokens();
            doSwapTokens();
            if (atRest()) {
                ASSERT_EQ(aliveCount(), 96);
                rests++;
                unrest = 0;
                if (player() % 3 == 0) {
                    ASSERT_NO_FATAL_FAILURE(playAtRest(relax));
                }
            } else {
                unrest++;
                longestUnrest = std::max(longestUnrest, unrest);
                ASSERT_LT(unrest, 3000) << "the board never came back to rest, frame " << frame;
            }
            checkForMatches();
            AnimateZapAttack();
            if (atRest()) {
                ASSERT_FALSE(boardHasLine(true)) << "a line left standing at rest, frame " << frame;
            }
            ASSERT_GE(score, lastScore);
            lastScore = score;
            ASSERT_NO_FATAL_FAILURE(checkCells()) << "frame " << frame;
        }
        std::printf("%d frames: %d exchanges, %d boards replaced, %d rests, longest unrest %d frames, score %u\n",
                    frames, exchanges, replacements, rests, longestUnrest, score);
        EXPECT_GT(exchanges, frames / 200);
    }
};

TEST_F(Soak, EasyBoardWithLegalExchanges) {
    prefs.difficulty = 0;
    play(20000, false);
}

TEST_F(Soak, HardBoardInTheMillionMode) {
    prefs.difficulty = 2;
    _unitScore = 100;
    play(20000, false);
}

TEST_F(Soak, RelaxModeExchangesAnyNeighbours) {
    prefs.difficulty = 1;
    play(20000, true);
}
