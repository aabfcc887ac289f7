// What the real game costs while little or nothing changes on screen: its share of
// one core (CPU time of all its threads from /proc/PID/stat) over a span at the
// menu with the pointer still, on a resting board, on a board in motion (F1 deals
// a new board every second; its hint pulses) and, in full screen, on a resting
// board; its peak resident and peak anonymous memory; and, in full screen with the
// pointer moving over the board (so every frame differs), how many real seconds a
// sixty-seconds game lasts from its first frame to the game-over panel.
// Sound goes to OpenAL's null output: it mixes in real time as a sound card does
// (and can rest, which the wave writer of the tests cannot).
// Needs an X display; on with_xvfb.sh's default 1024x768 desktop the window opens
// at 1x and full screen draws at 1.6x:
//   tests/tools/with_xvfb.sh build/bench/bench_idle [seconds per reading, default 20] [game folder]
// The game folder (executable "brolix" and its "data") defaults to the build's.
#include <cmath>
#include <cstdio>

#include "game_measure.h"

using namespace gamemeasure;

namespace {

// A panel drawn centred over the board, as the game-over screen draws it.
struct Panel {
    Image picture;
    int x, y;
    Panel(const Image &p, int dx, int dy) : picture(p), x((640 - p.width) / 2 + dx), y((357 - p.height) / 2 + 77 + dy) {}
    // A strip through the middle, clear of the rounded corners.
    bool shownOn(const GameRun &run) const {
        return picture.width && run.shows(picture, x + picture.width / 4, y + picture.height / 2 - 8, picture.width / 4,
                                        picture.height / 2 - 8, picture.width / 2, 16);
    }
};

bool windowed(const std::string &folder, int seconds) {
    MeasuredGame g(folder, false);
    if (!g.atMenu) return false;
    g.sayWindow("windowed, ");
    menuStill(g.memory, seconds);
    if (!startGame(g.run, g.p)) return false;
    restingAndMovingBoard(g.run, g.memory, seconds);
    g.memory.wait(100);
    g.finish();
    return true;
}

bool fullScreen(const std::string &folder, int seconds) {
    MeasuredGame g(folder, true);
    if (!g.atMenu) return false;
    g.sayWindow("full screen, ");
    if (!startGame(g.run, g.p)) return false;

    const Clock::time_point firstFrame = Clock::now();
    const Panel gameOver(g.p.gameOver, 0, 0), nameEntry(g.p.nameEntry, -3, -1);
    bool ended;
    {
        MovingPointer pointer(g.run);
        ended = waitUntil([&] { return gameOver.shownOn(g.run) || nameEntry.shownOn(g.run); }, 300000);
    }
    const double lasted = msSince(firstFrame) / 1000.0;
    // 61 ticks of 75 frames, then the panel fades in by 0.02 a frame.
    const double onSchedule = (61 * 75 + 50) * 0.014;
    if (ended)
        std::printf("  sixty-seconds game, pointer moving: %.1f s of real time to the game-over panel "
                    "(%.2f s at 14 ms a frame)\n", lasted, onSchedule);
    else
        std::printf("  sixty-seconds game: no game-over panel after %.0f s\n", lasted);

    g.run.key("F1", 30);
    restTheBoard(g.run, g.memory);
    Span resting(g.memory.pid);
    g.memory.wait(seconds * 1000);
    std::printf("  resting board, sixty seconds:     %s\n", resting.report().c_str());
    g.finish();
    return ended;
}

}  // namespace

int main(int argc, char **argv) {
    const BenchArguments arguments(argc, argv, 20);
    XSetErrorHandler(ignoreXErrors);
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_idle: no DISPLAY (run it under tests/tools/with_xvfb.sh)\n");
        return 1;
    }
    const double loadBefore = loadAverage();
    if (!windowed(arguments.folder, arguments.seconds)) {
        std::fprintf(stderr, "bench_idle: the windowed game did not reach its screens\n");
        return 1;
    }
    if (!fullScreen(arguments.folder, arguments.seconds)) {
        std::fprintf(stderr, "bench_idle: the full-screen game did not reach its screens\n");
        return 1;
    }
    std::printf("machine load (1 min average): %.2f before, %.2f after\n", loadBefore, loadAverage());
    return 0;
}
