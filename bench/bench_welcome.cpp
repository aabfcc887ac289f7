// Time from launching the start-up dialog program to its dialog being on the
// screen. Needs an X display: tests/tools/with_xvfb.sh build/bench/bench_welcome [runs]
#include <algorithm>
#include <cstdio>
#include <vector>

#include "game_run.h"

int main(int argc, char **argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_welcome: no DISPLAY\n");
        return 1;
    }
    GameFolder folder(WELCOME_DIALOG_APP);
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        folder.write("output.txt", "");
        GameRun run(folder);
        if (!waitUntil([&] { return folder.read("output.txt").find("shown\n") != std::string::npos; })) {
            std::fprintf(stderr, "bench_welcome: the dialog did not appear\n");
            return 1;
        }
        times.push_back(msSince(run.started));
        std::printf("run %d: %.1f ms\n", i + 1, times.back());
        run.waitWindow("Welcome to Brolix !");
        xdotool("key Return");
        run.waitExit();
    }
    std::sort(times.begin(), times.end());
    std::printf("launch to dialog shown: median %.1f ms, min %.1f ms, max %.1f ms over %d runs\n",
                times[times.size() / 2], times.front(), times.back(), runs);
    return 0;
}
