// Cost of one frame of the board rules on a resting board: the per-frame steps
// from animateField to checkForMatches, plus the move search that runs at rest.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>
#include "game_local.h"
#include "rules.h"

static volatile bool sink;

// One frame in the game loop's order, with no input; nothing is heard, so the cues are dropped.
static void ruleFrame() {
    advanceBoard();
    rules::checkForMatches();
    Cue unheard[maxCues];
    takeCues(unheard);
    sink = isThereAPossibilityLeft();
}

// Median nanoseconds per frame over runs of framesPerRun frames.
static double medianNsPerFrame(int runs, int framesPerRun) {
    std::vector<double> samples;
    for (int r = 0; r < runs; r++) {
        auto start = std::chrono::steady_clock::now();
        for (int f = 0; f < framesPerRun; f++) ruleFrame();
        std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        samples.push_back(took.count() / framesPerRun);
    }
    std::nth_element(samples.begin(), samples.begin() + runs / 2, samples.end());
    return samples[runs / 2];
}

// A fresh board with a move: the search stops at the first token that has one.
static bool boardWithAMove() {
    for (uint32_t seed = 1; seed < 1000; seed++) {
        seedRandom(seed);
        resetTokenTable(true);
        if (isThereAPossibilityLeft()) return true;
    }
    return false;
}

// Colours (x + 2y) mod 5 leave no move at all: the search tries every exchange.
static void boardWithoutAMove() {
    for (long y = 0; y < boardRows; y++)
        for (long x = 0; x < boardColumns; x++) {
            sToken &t = tokenAt(x, y);
            t = sToken{};
            t.color = static_cast<int16_t>((x + 2 * y) % 5);
            t.fade = 1.0f;
            t.alive = true;
        }
}

int main() {
    gameDifficulty = 1;
    const int runs = 101, framesPerRun = 2000;
    if (!boardWithAMove()) return 1;
    for (sToken &t : tokenTable) t.sinusSpeed = t.sinus = 0;
    std::printf("bench_board: resting board with a move:    %8.0f ns per frame (median of %d runs of %d frames)\n",
                medianNsPerFrame(runs, framesPerRun), runs, framesPerRun);
    boardWithoutAMove();
    std::printf("bench_board: resting board without a move: %8.0f ns per frame (median of %d runs of %d frames)\n",
                medianNsPerFrame(runs, framesPerRun / 10), runs, framesPerRun / 10);
    return isThereAPossibilityLeft() ? 1 : 0;
}
