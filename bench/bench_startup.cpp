// Start-up of the real game: from launching the executable to the first menu
// frame on the screen, then into a game; median of 5 runs. The player's steps
// (Play in the dialog, continue on the driver page that software rendering
// brings, play in the menu) are taken as soon as each screen shows, and each
// stretch is shown on its own. Memory: resident and anonymous at each screen,
// and the peaks over the whole run (anonymous memory polled every few ms).
// Needs an X display: tests/tools/with_xvfb.sh build/bench/bench_startup [runs] [seconds at menu] [game folder]
// (another build's folder holding brolix and data/ compares two builds under the same load)
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "game_measure.h"

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

const char *const kDialogTitle = "Welcome to Brolix !";

struct Memory {
    double rss = 0, anon = 0;  // MiB
};

Memory memoryOf(pid_t pid) {
    return {gamemeasure::statusKiB(pid, "VmRSS:") / 1024.0, gamemeasure::statusKiB(pid, "RssAnon:") / 1024.0};
}

// The process that shows the start-up dialog.
pid_t dialogOwner() {
    return pid_t(std::atol(
        commandOutput(std::string("xdotool search --onlyvisible --name '^") + kDialogTitle + "$' getwindowpid 2>/dev/null")
            .c_str()));
}

struct Run {
    double dialog = 0, driverPage = 0, menu = 0, total = 0;
    Memory atDialog, dialogProcess, atDriverPage, atMenu, inGame;
    double peakRss = 0, peakAnon = 0;
};

bool measure(const char *folder, int secondsAtMenu, Run &result) {
    GameFolder game(std::string(folder) + "/brolix", std::string(folder) + "/data");
    const Image menu = game.picture("menu0.tga"), page = game.picture("page1.jpg"), inGame = game.picture("ingame0.tga");
    GameRun run(game);
    gamemeasure::AnonPeak anonPeak(run.pid());
    if (!waitUntil([] { return GameRun::findWindow(kDialogTitle) != 0; })) return false;
    result.dialog = msSince(run.started);
    sleepMs(500);
    result.atDialog = memoryOf(run.pid());
    result.dialogProcess = memoryOf(dialogOwner());

    run.waitWindow(kDialogTitle);
    const Clock::time_point play = Clock::now();
    xdotool("key Return");   // Play, the dialog's default button
    if (!run.waitWindow("Brolix") || !run.waitShows(page, 0, 0, 640, 480)) return false;
    result.driverPage = msSince(play);
    result.atDriverPage = memoryOf(run.pid());

    const Clock::time_point click = Clock::now();
    run.click(layout::DRIVER_CONTINUE, 30);
    if (!run.waitShows(menu, 0, 0, 640, 100)) return false;
    result.menu = msSince(click);
    result.total = msSince(run.started);
    sleepMs(secondsAtMenu * 1000);
    result.atMenu = memoryOf(run.pid());

    run.click(layout::PLAY);
    if (!run.waitShows(inGame, 60, 432, 280, 36)) return false;
    sleepMs(3000);
    result.inGame = memoryOf(run.pid());
    result.peakRss = gamemeasure::statusKiB(run.pid(), "VmHWM:") / 1024.0;
    result.peakAnon = anonPeak.finish();
    run.key("Escape");
    if (!run.waitShows(menu, 0, 0, 640, 100)) return false;
    run.key("Escape");
    return run.waitExit() == 0;
}

double median(const std::vector<Run> &runs, const std::function<double(const Run &)> &field) {
    std::vector<double> values;
    for (const Run &r : runs) values.push_back(field(r));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void printMemory(const std::vector<Run> &runs, const char *where, Memory Run::*at) {
    std::printf("  %-28s resident %6.1f MiB, anonymous %5.1f MiB\n", where,
                median(runs, [at](const Run &r) { return (r.*at).rss; }),
                median(runs, [at](const Run &r) { return (r.*at).anon; }));
}

} // namespace

int main(int argc, char **argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int secondsAtMenu = argc > 2 ? std::max(0, std::atoi(argv[2])) : 20;
    const char *folder = argc > 3 ? argv[3] : BROLIX_RUNTIME_DIR;
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_startup: no DISPLAY (run it under tests/tools/with_xvfb.sh)\n");
        return 1;
    }
    std::vector<Run> results;
    for (int i = 0; i < runs; i++) {
        Run r;
        if (!measure(folder, secondsAtMenu, r)) {
            std::fprintf(stderr, "bench_startup: run %d did not reach a game and quit cleanly\n", i + 1);
            return 1;
        }
        std::printf("run %d: launch to menu %.0f ms (dialog %.0f, Play to driver page %.0f, continue to menu %.0f); "
                    "peak resident %.1f MiB, peak anonymous %.1f MiB\n",
                    i + 1, r.total, r.dialog, r.driverPage, r.menu, r.peakRss, r.peakAnon);
        results.push_back(r);
    }
    std::printf("launch to first menu frame: median %.0f ms (dialog shown %.0f, Play to driver page %.0f, "
                "continue to menu %.0f) over %d runs\n",
                median(results, [](const Run &r) { return r.total; }),
                median(results, [](const Run &r) { return r.dialog; }),
                median(results, [](const Run &r) { return r.driverPage; }),
                median(results, [](const Run &r) { return r.menu; }), runs);
    std::printf("memory of the game process, median over %d runs:\n", runs);
    printMemory(results, "at the dialog", &Run::atDialog);
    printMemory(results, "(process showing the dialog)", &Run::dialogProcess);
    printMemory(results, "at the driver page", &Run::atDriverPage);
    printMemory(results, ("after " + std::to_string(secondsAtMenu) + " s at the menu").c_str(), &Run::atMenu);
    printMemory(results, "3 s into a game", &Run::inGame);
    std::printf("  %-28s resident %6.1f MiB, anonymous %5.1f MiB\n", "peak over the run",
                median(results, [](const Run &r) { return r.peakRss; }),
                median(results, [](const Run &r) { return r.peakAnon; }));
    return 0;
}
