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
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "game_run.h"

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// --- the game process, from /proc ---

// User plus system clock ticks of a process or thread stat line (the name may hold blanks).
long ticksOf(const std::string &statPath, std::string *name = nullptr) {
    std::string line;
    std::getline(std::ifstream(statPath), line);
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return 0;
    if (name) *name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; i++) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) stime = std::atol(field.c_str());
    }
    return utime + stime;
}

struct Threads {
    std::map<std::string, std::pair<std::string, long>> byId;   // thread id: name, ticks
};

Threads threadsOf(pid_t pid) {
    Threads t;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(tasks.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            std::string name;
            const long ticks = ticksOf(tasks + "/" + entry->d_name + "/stat", &name);
            t.byId[entry->d_name] = {name, ticks};
        }
        closedir(dir);
    }
    return t;
}

// CPU share of the game over a span, with the threads that took most of it.
class Span {
public:
    explicit Span(pid_t pid) : pid_(pid), start_(Clock::now()), cpu_(ticksOf(stat())), threads_(threadsOf(pid)) {}

    std::string report() const {
        const double wall = msSince(start_) / 1000.0, tick = double(sysconf(_SC_CLK_TCK));
        const double share = 100.0 * (ticksOf(stat()) - cpu_) / tick / wall;
        std::vector<std::pair<double, std::string>> busiest;
        for (const auto &now : threadsOf(pid_).byId) {
            auto before = threads_.byId.find(now.first);
            const long used = now.second.second - (before == threads_.byId.end() ? 0 : before->second.second);
            if (used > 0) busiest.push_back({100.0 * used / tick / wall, now.second.first});
        }
        std::sort(busiest.rbegin(), busiest.rend());
        char text[512];
        int at = std::snprintf(text, sizeof text, "%6.2f %% of a core over %.1f s", share, wall);
        for (size_t i = 0; i < busiest.size() && i < 3 && at < int(sizeof text); i++)
            at += std::snprintf(text + at, sizeof text - size_t(at), "%s %s %.2f %%", i ? "," : " (", busiest[i].second.c_str(),
                                busiest[i].first);
        if (!busiest.empty() && at < int(sizeof text)) std::snprintf(text + at, sizeof text - size_t(at), ")");
        return text;
    }

private:
    std::string stat() const { return "/proc/" + std::to_string(pid_) + "/stat"; }
    pid_t pid_;
    Clock::time_point start_;
    long cpu_;
    Threads threads_;
};

// Waits, noting the highest anonymous memory seen (the kernel keeps no peak of it).
struct Memory {
    pid_t pid = -1;
    long peakAnonKiB = 0, peakResidentKiB = 0;
    void wait(int ms) {
        const Clock::time_point start = Clock::now();
        do {
            peakAnonKiB = std::max(peakAnonKiB, GameRun::statusKiB(pid, "RssAnon:"));
            peakResidentKiB = std::max(peakResidentKiB, GameRun::statusKiB(pid, "VmHWM:"));
            sleepMs(std::min(100, std::max(1, ms - int(msSince(start)))));
        } while (msSince(start) < ms);
    }
};

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

// Moves the pointer round a small circle over the board, clear of the panels,
// from a connection of its own, until destroyed.
class MovingPointer {
public:
    explicit MovingPointer(const GameRun &run) : thread_([this, &run] {
          Display *d = XOpenDisplay(nullptr);
          for (int step = 0; !stop_; step++) {
              const double a = step * 0.35;
              XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, run.screenX(95 + int(15 * std::cos(a))),
                           run.screenY(405 + int(15 * std::sin(a))));
              XFlush(d);
              sleepMs(8);
          }
          XCloseDisplay(d);
      }) {}
    ~MovingPointer() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Pictures {
    Image menu, inGame, gameOver, nameEntry;
    explicit Pictures(const GameFolder &game)
        : menu(game.picture("menu0.tga")), inGame(game.picture("ingame0.tga")), gameOver(game.picture("gameover0.tga")),
          nameEntry(game.picture("entername0.tga")) {}
};

// From the menu's play button to the first frame of the game (the buttons stand still).
bool startGame(GameRun &run, const Pictures &p) {
    run.click(layout::PLAY);
    return run.waitShows(p.inGame, 60, 432, 280, 36);
}

// The pointer off the board and off the buttons; the new board's hint pulse (252 frames) is over.
void restTheBoard(GameRun &run, Memory &memory) {
    run.pointAt(600, 300);
    memory.wait(5000);
}

// Escape back to the menu, and Escape again once it shows.
void quit(GameRun &run, const Pictures &p) {
    run.key("Escape");
    run.waitShows(p.menu, 0, 0, 640, 100);
    run.key("Escape");
    if (run.waitExit() != 0) std::printf("  (the game did not quit cleanly)\n");
}

void printMemory(const Memory &m) {
    std::printf("  peak resident memory %.1f MiB (VmHWM), peak anonymous memory %.1f MiB (RssAnon, sampled every 0.1 s)\n",
                m.peakResidentKiB / 1024.0, m.peakAnonKiB / 1024.0);
}

std::string gameFolder = BROLIX_RUNTIME_DIR;

// A copy of the game folder whose sound goes to OpenAL's null output.
struct QuietGame : GameFolder {
    QuietGame() : GameFolder(gameFolder + "/brolix", gameFolder + "/data") { write("alsoft.conf", "[general]\ndrivers=null\n"); }
};

bool windowed(int seconds) {
    QuietGame game;
    const Pictures p(game);
    GameRun run(game);
    if (!reachMenu(run, p.menu).empty()) return false;
    Memory memory{run.pid()};
    std::printf("windowed 640x480:\n");
    memory.wait(2000);
    Span menu(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  at the menu, pointer still:       %s\n", menu.report().c_str());

    if (!startGame(run, p)) return false;
    restTheBoard(run, memory);
    Span resting(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  resting board, sixty seconds:     %s\n", resting.report().c_str());

    Span motion(memory.pid);
    for (int second = 0; second < seconds; second++) {
        const Clock::time_point start = Clock::now();
        run.key("F1", 30);
        memory.wait(1000 - int(msSince(start)));
    }
    std::printf("  board in motion (F1 every 1 s):   %s\n", motion.report().c_str());
    memory.wait(100);
    printMemory(memory);
    quit(run, p);
    return true;
}

bool fullScreen(int seconds) {
    QuietGame game;
    game.write("data/fullscreen.stt", std::string(1, '\0'));
    const Pictures p(game);
    GameRun run(game);
    if (!reachMenu(run, p.menu).empty()) return false;
    Memory memory{run.pid()};
    std::printf("full screen, %dx scaled (%dx%d picture):\n", run.scale(), 640 * run.scale(), 480 * run.scale());
    if (!startGame(run, p)) return false;

    const Clock::time_point firstFrame = Clock::now();
    const Panel gameOver(p.gameOver, 0, 0), nameEntry(p.nameEntry, -3, -1);
    bool ended;
    {
        MovingPointer pointer(run);
        ended = waitUntil([&] { return gameOver.shownOn(run) || nameEntry.shownOn(run); }, 300000);
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
    restTheBoard(run, memory);
    Span resting(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  resting board, sixty seconds:     %s\n", resting.report().c_str());
    printMemory(memory);
    quit(run, p);
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
