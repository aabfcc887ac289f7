// Headless replay, in processor time on one core: a five-minute game of a quick scripted
// player (frames per second, bytes per minute of play), the idle frame, and the costliest
// records built within the caps: per byte (a million game nobody plays, to its cap), per
// frame (a relax game that swaps two gems back and forth and asks a hint after each swap:
// each hint searches a changed board), and that game spread over the whole frame cap at
// the pace the input cap allows.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>
#include "played_game.h"

static double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The median of a few replays of bytes, in seconds; the record's frames and result.
static double replaySeconds(const std::string &bytes, ReplayResult &result, int runs = 5) {
    GameRecord record;
    std::string error;
    if (!readRecord(bytes.data(), bytes.size(), record, error)) {
        std::fprintf(stderr, "bench_replay: %s\n", error.c_str());
        std::exit(1);
    }
    std::vector<double> seconds;
    for (int run = 0; run < runs; run++) {
        const double start = processorSeconds();
        result = replayRecord(record);
        seconds.push_back(processorSeconds() - start);
    }
    std::nth_element(seconds.begin(), seconds.begin() + runs / 2, seconds.end());
    return seconds[runs / 2];
}

// Plays a whole five-minute game: exchanges as they come, a hint now and then.
static std::string fiveMinuteRecord(uint32_t seed) {
    PlayedGame g(modeFiveMinutes, 1, seed, seed);
    for (int moves = 0; !gameOver; moves++) {
        if (!g.exchange()) g.frame();
        if (moves % 40 == 39) g.clickButton(1);
    }
    return writeRecord(gameRecord);
}

static std::string idleRecord(GameMode mode, uint32_t frames) {
    GameRecord idle;
    idle.header.mode = mode;
    idle.frames = frames;
    return writeRecord(idle);
}

// Two neighbours swapped and swapped back (relax takes any exchange), a hint after each
// swap; idle frames between the rounds, until the game ends at a cap.
static std::string swapAndHint(int idleFrames) {
    PlayedGame g(modeRelax, 2, 1, 1);
    long a = -1;
    for (long i = 0; i < boardCells - 1 && a < 0; i++) {
        if (i % boardColumns == boardColumns - 1 || tokenTable[i].color == tokenTable[i + 1].color) continue;
        if (!isAPossibleMatch(i % boardColumns, i / boardColumns, i % boardColumns + 1, i / boardColumns)) a = i;
    }
    const auto click = [&](int8_t cell, int8_t button) {
        g.hand.cell = cell, g.hand.button = button, g.hand.down = true;
        g.frame();
        g.hand.down = false;
        g.frame();
    };
    while (!playEnded()) {
        click(int8_t(a), -1);
        click(int8_t(a + 1), -1);
        g.frames(2);
        click(-1, 1);
        g.frames(idleFrames);
    }
    return writeRecord(gameRecord);
}

static void report(const char *what, const std::string &bytes) {
    ReplayResult r;
    const double s = replaySeconds(bytes, r);
    std::printf("bench_replay: %s: %zu bytes, %u frames: %.3f s, %.3f us a frame, %.1f us a byte\n", what, bytes.size(),
                r.frames, s, s / r.frames * 1e6, s / bytes.size() * 1e6);
}

int main() {
    const std::string game = fiveMinuteRecord(42);
    ReplayResult live;
    const double median = replaySeconds(game, live, 21), minutes = live.frames / 75.0 / 60.0;
    std::printf("bench_replay: five-minute game, %u frames, score %u: replay %.2f ms, %.0f frames a second; "
                "record %zu bytes, %.0f bytes a minute of play\n",
                live.frames, live.score, median * 1000, live.frames / median, game.size(), game.size() / minutes);
    std::printf("bench_replay: caps: %u frames (sixty seconds), %u (five minutes), %u (million, relax); %u inputs; %zu bytes\n",
                recordFrameCap(modeSixtySeconds), recordFrameCap(modeFiveMinutes), recordFrameCap(modeMillion),
                recordInputCap, recordByteCap);
    ReplayResult idle;
    const double idleSeconds = replaySeconds(idleRecord(modeMillion, 100000), idle);
    std::printf("bench_replay: idle frame: %.3f us\n", idleSeconds / idle.frames * 1e6);
    report("worst per byte, a million game nobody plays to its cap", idleRecord(modeMillion, recordFrameCap(modeMillion)));
    report("worst per frame, swap, swap back and hint in relax to its input cap", swapAndHint(0));
    report("the same spread over the frame cap", swapAndHint(34));
    return 0;
}
