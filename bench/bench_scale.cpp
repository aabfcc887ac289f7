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

std::string gameFolder = BROLIX_RUNTIME_DIR;

bool measure(int seconds) {
    InstalledGame game(gameFolder);
    useNullSound(game);
    const Pictures p(game);
    GameRun run(game);
    GameScreen screen;
    if (!reachMenu(run, screen, p)) return false;
    Memory memory{gamePid()};
    std::printf("%dx (%dx%d picture):\n", screen.scale, 640 * screen.scale, 480 * screen.scale);
    memory.wait(2000);
    Span still(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  menu, pointer still:        %s\n", still.report().c_str());
    {
        MovingPointer pointer(screen);
        Span moving(memory.pid);
        memory.wait(seconds * 1000);
        std::printf("  menu, pointer moving:       %s\n", moving.report().c_str());
    }
    run.pointAt(screen.x(400), screen.y(420));
    memory.wait(500);
    const Clock::time_point play = Clock::now();
    if (!startGame(run, screen, p)) return false;
    std::printf("  Play to first frame:        %.0f ms (click to picture on screen)\n", msSince(play));
    restingAndMovingBoard(run, screen, memory, seconds);
    printMemory(memory);
    quit(run, screen, p);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (argc > 2) gameFolder = argv[2];
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (std::getenv("BENCH_SCALE_INSIDE")) return measure(seconds) ? 0 : 1;
    int failed = 0;
    for (const char *desktop : {"1024x768x24", "1920x1080x24", "3840x2160x24"}) {
        const std::string command = std::string("XVFB_SCREEN=") + desktop + " BENCH_SCALE_INSIDE=1 '" +
                                    BROLIX_SOURCE_DIR "/tests/tools/with_xvfb.sh' '" + argv[0] + "' " +
                                    std::to_string(seconds) + " '" + gameFolder + "'";
        std::printf("desktop %s\n", desktop);
        if (std::system(command.c_str()) != 0) {
            std::printf("  (the game did not reach its screens)\n");
            failed++;
        }
    }
    return failed == 0 ? 0 : 1;
}
