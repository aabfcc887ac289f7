// What the real game costs while little or nothing changes on screen: its share of
// one core (CPU time of all its threads from /proc/PID/stat) over a span at the
// menu with the pointer still, on a resting board, on a board in motion (F1 deals
// a new board every second; its hint pulses) and, in full screen, on a resting
// board; its peak resident and peak anonymous memory; and, in full screen with the
// pointer moving over the board (so every frame differs), how many real seconds a
// sixty-seconds game lasts from its first frame to the game-over panel.
// Sound goes to OpenAL's null output: it mixes in real time as a sound card does
// (and can rest, which the wave writer of the tests cannot).
// Needs an X display; the full-screen part assumes the 1280x1024 screen that
// with_xvfb.sh gives by default:
//   tests/tools/with_xvfb.sh build/bench/bench_idle [seconds per reading, default 20] [game folder]
// The game folder (executable "brolix" and its "data") defaults to the build's.
#include <cmath>
#include <cstdio>
#include <fstream>

#include "game_measure.h"

using namespace gamemeasure;

namespace {

// A panel drawn centred over the board, as the game-over screen draws it.
struct Panel {
    Image picture;
    int x, y;
    Panel(const Image &p, int dx, int dy) : picture(p), x((640 - p.width) / 2 + dx), y((357 - p.height) / 2 + 77 + dy) {}
    // A strip through the middle, clear of the rounded corners.
    bool shownOn(const GameScreen &s) const {
        return picture.width && s.shows(picture, x + picture.width / 4, y + picture.height / 2 - 8, picture.width / 4,
                                        picture.height / 2 - 8, picture.width / 2, 16);
    }
};

std::string gameFolder = BROLIX_RUNTIME_DIR;

bool windowed(int seconds) {
    InstalledGame game(gameFolder);
    useNullSound(game);
    const Pictures p(game);
    GameRun run(game);
    GameScreen screen;
    if (!reachMenu(run, screen, p)) return false;
    Memory memory{gamePid()};
    std::printf("windowed 640x480:\n");
    memory.wait(2000);
    Span menu(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  at the menu, pointer still:       %s\n", menu.report().c_str());

    if (!startGame(run, screen, p)) return false;
    restingAndMovingBoard(run, screen, memory, seconds);
    memory.wait(100);
    printMemory(memory);
    quit(run, screen, p);
    return true;
}

bool fullScreen(int seconds) {
    InstalledGame game(gameFolder);
    useNullSound(game);
    game.write("data/fullscreen.stt", Bytes{0});
    const Pictures p(game);
    GameRun run(game);
    GameScreen screen;
    if (!reachMenu(run, screen, p)) return false;
    Memory memory{gamePid()};
    std::printf("full screen, %dx scaled (%dx%d picture):\n", screen.scale, 640 * screen.scale, 480 * screen.scale);
    if (!startGame(run, screen, p)) return false;

    const Clock::time_point firstFrame = Clock::now();
    const Panel gameOver(p.gameOver, 0, 0), nameEntry(p.nameEntry, -3, -1);
    bool ended;
    {
        MovingPointer pointer(screen);
        ended = GameRun::waitUntil([&] { return gameOver.shownOn(screen) || nameEntry.shownOn(screen); }, 300000);
    }
    const double lasted = msSince(firstFrame) / 1000.0;
    // 61 ticks of 75 frames, then the panel fades in by 0.02 a frame.
    const double onSchedule = (61 * 75 + 50) * 0.014;
    if (ended)
        std::printf("  sixty-seconds game, pointer moving: %.1f s of real time to the game-over panel "
                    "(%.2f s at 14 ms a frame)\n", lasted, onSchedule);
    else
        std::printf("  sixty-seconds game: no game-over panel after %.0f s\n", lasted);

    run.key("F1", 30);
    restTheBoard(run, screen, memory);
    Span resting(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  resting board, sixty seconds:     %s\n", resting.report().c_str());
    printMemory(memory);
    quit(run, screen, p);
    return ended;
}

int ignoreXErrors(Display *, XErrorEvent *) { return 0; }   // a window read just as it closes

double loadAverage() {
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

}  // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    if (argc > 2) gameFolder = argv[2];
    XSetErrorHandler(ignoreXErrors);
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_idle: no DISPLAY (run it under tests/tools/with_xvfb.sh)\n");
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const double loadBefore = loadAverage();
    if (!windowed(seconds)) {
        std::fprintf(stderr, "bench_idle: the windowed game did not reach its screens\n");
        return 1;
    }
    if (!fullScreen(seconds)) {
        std::fprintf(stderr, "bench_idle: the full-screen game did not reach its screens\n");
        return 1;
    }
    std::printf("machine load (1 min average): %.2f before, %.2f after\n", loadBefore, loadAverage());
    return 0;
}
