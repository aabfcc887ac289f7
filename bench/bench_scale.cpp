// What the real game costs at each render scale under the software renderer: a
// windowed game on a desktop where it opens at 1x (1024x768), 2x (1920x1080) and 3x
// (3840x2160), and full screen there (4.5x, from the 4x art), each in an Xvfb of its own. For each: its share of a core at the menu
// with the pointer still and moving, on a resting board and with a board falling in
// (F1 deals a new one every second); from the press on Play to the first frame that
// answers it and to the game's own first frame; peak resident and anonymous memory. Figures only, never judged.
//   build/bench/bench_scale [seconds per reading, default 10] [game folder]
// The game folder (executable "brolix" and its "data") defaults to the build's.
#include <cstdlib>
#include <string>

#include <X11/extensions/XTest.h>

#include "game_measure.h"

using namespace gamemeasure;

namespace {

// Play acts on the press: from the press to the first frame that shows the answer (the
// menu spinning away; the spin's first frame looks like the menu), and to the game's own
// first frame, which follows the spin's 41 frames of 14 ms. A band across the middle
// tells the spin from the menu.
bool playToFirstFrame(GameRun &run, const Pictures &p, Memory &memory) {
    run.pointAt(layout::PLAY);
    memory.wait(500);
    const Image menu = run.capture(232, 16);
    Display *d = XOpenDisplay(nullptr);
    const Clock::time_point press = Clock::now();
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XFlush(d);
    const bool answered = waitUntil([&] { return difference(run.capture(232, 16), 0, 232, menu, 0, 232, 640, 16) > 3; });
    const double answer = msSince(press);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XCloseDisplay(d);
    if (!answered || !run.waitShows(p.inGame, 60, 432, 280, 36)) return false;
    const double first = msSince(press);
    std::printf("  Play to first frame:              %.0f ms from the press to the spin shown, %.0f ms to the game's first frame\n",
                answer, first);
    return true;
}

bool measure(const std::string &folder, int seconds) {
    MeasuredGame g(folder, std::getenv("BENCH_SCALE_FULL_SCREEN") != nullptr);
    if (!g.atMenu) return false;
    g.sayWindow("  ");
    menuStill(g.memory, seconds);
    {
        MovingPointer pointer(g.run);
        Span moving(g.memory.pid);
        g.memory.wait(seconds * 1000);
        std::printf("  menu, pointer moving:             %s\n", moving.report().c_str());
    }
    if (!playToFirstFrame(g.run, g.p, g.memory)) return false;
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
    const struct {
        const char *desktop;
        bool fullScreen;
    } runs[] = {{"1024x768x24", false}, {"1920x1080x24", false}, {"3840x2160x24", false}, {"3840x2160x24", true}};
    for (const auto &[desktop, fullScreen] : runs) {
        const std::string command = std::string("XVFB_SCREEN=") + desktop + (fullScreen ? " BENCH_SCALE_FULL_SCREEN=1" : "") +
                                    " BENCH_SCALE_INSIDE=1 '" +
                                    BROLIX_SOURCE_DIR "/tests/tools/with_xvfb.sh' '" + argv[0] + "' " +
                                    std::to_string(arguments.seconds) + " '" + arguments.folder + "'";
        std::printf("desktop %s%s, load %.2f\n", desktop, fullScreen ? " full screen (4x art)" : "", loadAverage());
        if (std::system(command.c_str()) != 0) {
            std::printf("  (the game did not reach its screens)\n");
            failed++;
        }
    }
    std::printf("machine load (1 min average) after: %.2f\n", loadAverage());
    return failed == 0 ? 0 : 1;
}
