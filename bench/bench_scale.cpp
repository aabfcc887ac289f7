// What the real game costs at each render scale under the software renderer: a
// windowed game on a desktop where it opens at 1x (1024x768), 2x (1920x1080) and 3x
// (3840x2160), each in an Xvfb of its own. For each: its share of a core at the menu
// with the pointer still and moving, on a resting board and with a board falling in
// (F1 deals a new one every second); Play to the game's first frame; peak resident
// and anonymous memory. Figures only, never judged.
//   build/bench/bench_scale [seconds per reading, default 10] [game folder]
// The game folder (executable "brolix" and its "data") defaults to the build's.
#include <cstdlib>
#include <string>

#include "game_measure.h"

using namespace gamemeasure;

namespace {

bool measure(const std::string &folder, int seconds) {
    MeasuredGame g(folder, false);
    if (!g.atMenu) return false;
    g.sayWindow("  ");
    menuStill(g.memory, seconds);
    {
        MovingPointer pointer(g.run);
        Span moving(g.memory.pid);
        g.memory.wait(seconds * 1000);
        std::printf("  menu, pointer moving:             %s\n", moving.report().c_str());
    }
    g.run.pointAt(400, 420);
    g.memory.wait(500);
    const Clock::time_point play = Clock::now();
    if (!startGame(g.run, g.p)) return false;
    std::printf("  Play to first frame:              %.0f ms (click to picture on screen)\n", msSince(play));
    restingAndMovingBoard(g.run, g.memory, seconds);
    g.finish();
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    const BenchArguments arguments(argc, argv, 10);
    if (std::getenv("BENCH_SCALE_INSIDE")) {
        XSetErrorHandler(ignoreXErrors);
        return measure(arguments.folder, arguments.seconds) ? 0 : 1;
    }
    int failed = 0;
    for (const char *desktop : {"1024x768x24", "1920x1080x24", "3840x2160x24"}) {
        const std::string command = std::string("XVFB_SCREEN=") + desktop + " BENCH_SCALE_INSIDE=1 '" +
                                    BROLIX_SOURCE_DIR "/tests/tools/with_xvfb.sh' '" + argv[0] + "' " +
                                    std::to_string(arguments.seconds) + " '" + arguments.folder + "'";
        std::printf("desktop %s, load %.2f\n", desktop, loadAverage());
        if (std::system(command.c_str()) != 0) {
            std::printf("  (the game did not reach its screens)\n");
            failed++;
        }
    }
    std::printf("machine load (1 min average) after: %.2f\n", loadAverage());
    return failed == 0 ? 0 : 1;
}
