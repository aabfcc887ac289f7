// Headless replay: a scripted five-minute game is recorded, then replayed through the
// rules as fast as they go. Prints frames per second, milliseconds per game and the
// record's size per minute of play.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>
#include "played_game.h"

// Plays a whole five-minute game: exchanges as they come, a hint now and then.
static std::string fiveMinuteRecord(uint32_t seed) {
    PlayedGame g(modeFiveMinutes, 1, seed, seed);
    for (int moves = 0; !gameOver; moves++) {
        if (!g.exchange()) g.frame();
        if (moves % 40 == 39) g.clickButton(1);
    }
    g.frames(75);
    return writeRecord(gameRecord);
}

int main() {
    const std::string bytes = fiveMinuteRecord(42);
    GameRecord record;
    std::string error;
    if (!readRecord(bytes.data(), bytes.size(), record, error)) {
        std::fprintf(stderr, "bench_replay: %s\n", error.c_str());
        return 1;
    }
    const ReplayResult live = currentResult();
    std::vector<double> ms;
    for (int run = 0; run < 21; run++) {
        const auto start = std::chrono::steady_clock::now();
        const ReplayResult replayed = replayRecord(record);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (replayed.boardDigest != live.boardDigest || replayed.score != live.score) return 1;
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    const double median = ms[ms.size() / 2], minutes = record.frames / 75.0 / 60.0;
    std::printf("bench_replay: five-minute game, %u frames, score %u, %zu events\n", record.frames, live.score,
                record.events.size());
    std::printf("bench_replay: replay %8.2f ms per game, %10.0f frames per second (median of %zu runs, one core)\n",
                median, record.frames / median * 1000, ms.size());
    std::printf("bench_replay: record %zu bytes, %.0f bytes per minute of play\n", bytes.size(), bytes.size() / minutes);
    return 0;
}
