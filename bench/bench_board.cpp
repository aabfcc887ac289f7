// Cost of one frame of the board rules on a resting board: the per-frame steps
// from animateField to checkForMatches, plus the move search that runs at rest.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>
#include "game.h"
#include "prefs.h"

static volatile bool sink;

static void ruleFrame() {
    animateField();
    fallTokens();
    appearTokens();
    doSwapTokens();
    checkForMatches();
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

// A fresh board with a move, and one without: the search stops early on the
// first and tries every exchange on the second.
static bool restingBoard(bool withMove) {
    for (uint32_t seed = 1; seed < 100000; seed++) {
        seedRandom(seed);
        resetTokenTable(true);
        if (isThereAPossibilityLeft() == withMove) return true;
    }
    return false;
}

int main() {
    prefs.difficulty = 1;
    const int runs = 101, framesPerRun = 2000;
    if (!restingBoard(true)) return 1;
    for (sToken &t : tokenTable) t.sinusSpeed = t.sinus = 0;
    std::printf("bench_board: resting board with a move: %.0f ns per frame (median of %d runs of %d frames)\n",
                medianNsPerFrame(runs, framesPerRun), runs, framesPerRun);
    if (!restingBoard(false)) {
        std::printf("bench_board: no board without a move found\n");
        return 0;
    }
    std::printf("bench_board: resting board without a move: %.0f ns per frame (median of %d runs of %d frames)\n",
                medianNsPerFrame(runs, framesPerRun / 10), runs, framesPerRun / 10);
    return 0;
}
