// The journal of a five-minute game played by a quick scripted player: written once a
// second of play (75 frames) as the game writes it, each time synced to the disk of
// $TMPDIR. Prints its bytes per minute of play and what a write costs the frame it
// falls on; then how long PLAY's resume takes with a journal it cannot bound.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include <sys/stat.h>

#include "journal.h"
#include "played_game.h"
#include "temp_dir.h"
#include "KMiscTools.h"

int main() {
    TempDir folder("brolix-journal");
    KMiscTools::setGameFolder(folder.root().c_str());   // no data folder beside: saves stay here
    PlayedGame g(modeFiveMinutes, 1, 42, 42);
    std::vector<double> ms;
    uintmax_t bytes = 0;
    for (uint32_t written = 0; !gameOver;) {
        if (!g.exchange()) g.frame();
        if (frameCount - written < 75 || gameOver) continue;
        written = frameCount;
        const auto start = std::chrono::steady_clock::now();
        flushJournal();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        bytes = std::filesystem::file_size(journalPath(_gameMode, gameDifficulty));
    }
    closeJournal(false);
    std::sort(ms.begin(), ms.end());
    const double minutes = frameCount / 75.0 / 60.0, total = [&] { double t = 0; for (double m : ms) t += m; return t; }();
    std::printf("bench_journal: %zu writes over %.1f minutes of play, journal %ju bytes, %.0f bytes per minute\n", ms.size(),
                minutes, bytes, bytes / minutes);
    std::printf("bench_journal: a write with its sync: median %.3f ms, worst %.3f ms; %.4f %% of the game's time\n",
                ms[ms.size() / 2], ms.back(), total / (minutes * 60000) * 100);

    // Each of these once made PLAY spin for hours, wait for ever or read 256 MiB.
    const std::string path = journalPath(modeFiveMinutes, 1);
    RecordHeader header;
    header.mode = modeFiveMinutes, header.difficulty = 1, header.colours = 6;
    const std::pair<const char *, std::function<void()>> journals[] = {
        {"28 bytes, an input at frame 0xFFFFFFFE",
         [&] { std::ofstream(path) << writeRecordHeader(header) + std::string("\xfe\xff\xff\xff\x0f\3\1", 7); }},
        {"256 MiB", [&] { std::ofstream(path).close(), std::filesystem::resize_file(path, 256u << 20); }},
        {"a FIFO", [&] { mkfifo(path.c_str(), 0600); }}};
    for (const auto &[what, make] : journals) {
        make();
        const auto start = std::chrono::steady_clock::now();
        const bool resumed = resumeJournal(modeFiveMinutes, 1);
        const double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("bench_journal: PLAY with a journal of %s: %s after %.3f ms\n", what, resumed ? "resumed" : "set aside", took);
        for (const auto &file : std::filesystem::directory_iterator(path.substr(0, path.find_last_of('/'))))
            if (file.path().string().rfind(path + ".bad-", 0) == 0) std::filesystem::remove(file.path());
    }
}
