// Start-up of the real game: from launching the executable to the first menu
// frame on the screen, and the game's peak resident memory after 20 s at the
// menu; median of 5 runs. The player's steps (Play in the dialog, continue on the
// driver page that software rendering brings) are taken as soon as each screen
// shows, and each stretch is shown on its own.
// Needs an X display: tests/tools/with_xvfb.sh build/bench/bench_startup [runs] [seconds at menu]
#include <algorithm>
#include <cstdio>
#include <vector>

#include "game_driver.h"

using namespace gamedriver;

namespace {

struct Run {
    double dialog = 0, driverPage = 0, menu = 0, total = 0;
    long peakKiB = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool measure(int secondsAtMenu, Run &result) {
    InstalledGame game(BROLIX_RUNTIME_DIR);
    const Image menu = game.picture("data/menu0.tga"), page = game.picture("data/page1.jpg");
    GameRun run(game);
    if (!run.waitDialog()) return false;
    result.dialog = msSince(run.started);

    const Clock::time_point play = Clock::now();
    run.pressPlay();
    if (!run.waitGameWindow() || !run.waitShows(page, 0, 0, 0, 0, 640, 480)) return false;
    result.driverPage = msSince(play);

    const Clock::time_point click = Clock::now();
    run.click(400, 420, 30);
    if (!run.waitShows(menu, 0, 0, 0, 0, 640, 100, 30000)) return false;
    result.menu = msSince(click);
    result.total = msSince(run.started);

    sleepMs(secondsAtMenu * 1000);
    result.peakKiB = run.peakResidentKiB();
    run.key("Escape");
    return run.waitExit() == 0;
}

} // namespace

int main(int argc, char **argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int secondsAtMenu = argc > 2 ? std::max(0, std::atoi(argv[2])) : 20;
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_startup: no DISPLAY (run it under tests/tools/with_xvfb.sh)\n");
        return 1;
    }
    std::vector<double> totals, dialogs, pages, menus, peaks;
    for (int i = 0; i < runs; i++) {
        Run r;
        if (!measure(secondsAtMenu, r)) {
            std::fprintf(stderr, "bench_startup: run %d did not reach the menu and quit cleanly\n", i + 1);
            return 1;
        }
        std::printf("run %d: launch to menu %.0f ms (dialog %.0f, Play to driver page %.0f, continue to menu %.0f); "
                    "peak RSS %.1f MiB\n",
                    i + 1, r.total, r.dialog, r.driverPage, r.menu, r.peakKiB / 1024.0);
        totals.push_back(r.total);
        dialogs.push_back(r.dialog);
        pages.push_back(r.driverPage);
        menus.push_back(r.menu);
        peaks.push_back(r.peakKiB / 1024.0);
    }
    std::printf("launch to first menu frame: median %.0f ms (dialog shown %.0f, Play to driver page %.0f, "
                "continue to menu %.0f) over %d runs\n",
                median(totals), median(dialogs), median(pages), median(menus), runs);
    std::printf("peak resident memory after %d s at the menu: median %.1f MiB over %d runs\n", secondsAtMenu,
                median(peaks), runs);
    return 0;
}
