#pragma once
// What the real game costs, read from /proc while the shared driver plays it: the
// pieces the idle and scale benchmarks measure with.
#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "game_run.h"

namespace gamemeasure {

using Clock = std::chrono::steady_clock;

inline void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A memory field of /proc/PID/status ("VmRSS:", "RssAnon:", "VmHWM:"), in KiB; -1 when gone.
inline long statusKiB(pid_t pid, const std::string &field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
    return -1;
}

// User plus system clock ticks of a process or thread stat line (the name may hold blanks).
inline long ticksOf(const std::string &statPath, std::string *name = nullptr) {
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

inline Threads threadsOf(pid_t pid) {
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

// The largest anonymous memory of a process while it lives, polled every 2 ms: a picture
// decoded and uploaded comes and goes between two readings a tenth of a second apart.
class AnonPeak {
public:
    explicit AnonPeak(pid_t pid)
        : poller_([this, pid] {
              while (!stop_) {
                  peak_ = std::max<long>(peak_, statusKiB(pid, "RssAnon:"));
                  sleepMs(2);
              }
          }) {}
    ~AnonPeak() { finish(); }
    AnonPeak(const AnonPeak &) = delete;
    AnonPeak &operator=(const AnonPeak &) = delete;
    double finish() {
        stop_ = true;
        if (poller_.joinable()) poller_.join();
        return peak_ / 1024.0;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<long> peak_{0};
    std::thread poller_;
};

// A game's memory: the kernel keeps the resident peak, the poller the anonymous one.
struct Memory {
    pid_t pid = -1;
    AnonPeak anon{pid};
    void wait(int ms) const { sleepMs(ms); }
    double peakResidentMiB() const { return statusKiB(pid, "VmHWM:") / 1024.0; }
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

// A copy of a game folder (executable "brolix" and its "data") whose sound goes to
// OpenAL's null output: it mixes in real time as a sound card does, and can rest.
struct QuietGame : GameFolder {
    QuietGame(const std::string &folder, bool fullScreen) : GameFolder(folder + "/brolix", folder + "/data") {
        write("alsoft.conf", "[general]\ndrivers=null\n");
        if (fullScreen) write("data/fullscreen.stt", std::string(1, '\0'));
    }
};

// The game started from that folder and played to its menu (atMenu), its memory watched.
struct MeasuredGame {
    QuietGame game;
    Pictures p;
    GameRun run;
    bool atMenu;
    Memory memory{run.pid()};
    MeasuredGame(const std::string &folder, bool fullScreen)
        : game(folder, fullScreen), p(game), run(game), atMenu(reachMenu(run, p.menu).empty()) {}
    void sayWindow(const char *what) const {
        std::printf("%s%.2fx (%dx%d window):\n", what, run.scale(), run.width, run.height);
    }
    // The peak memory seen, then Escape back to the menu and Escape again once it shows.
    void finish() {
        std::printf("  peak resident memory %.1f MiB (VmHWM), peak anonymous memory %.1f MiB (RssAnon, polled every 2 ms)\n",
                    memory.peakResidentMiB(), memory.anon.finish());
        run.key("Escape");
        run.waitShows(p.menu, 0, 0, 640, 100);
        run.key("Escape");
        if (run.waitExit() != 0) std::printf("  (the game did not quit cleanly)\n");
        std::istringstream said(game.read("output.txt"));
        for (std::string line; std::getline(said, line);)
            if (line.find("from now on") != std::string::npos) std::printf("  the game said: %s\n", line.c_str());
    }
};

// Seconds per reading and the game folder from the command line; stdout by lines.
struct BenchArguments {
    int seconds;
    std::string folder = BROLIX_RUNTIME_DIR;
    BenchArguments(int argc, char **argv, int defaultSeconds)
        : seconds(argc > 1 ? std::max(1, std::atoi(argv[1])) : defaultSeconds) {
        if (argc > 2) folder = argv[2];
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
    }
};

// CPU share at the menu with the pointer still, once the menu has settled.
inline void menuStill(Memory &memory, int seconds) {
    memory.wait(2000);
    Span still(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  menu, pointer still:              %s\n", still.report().c_str());
}

// From the menu's play button to the first frame of the game (the buttons stand still).
inline bool startGame(GameRun &run, const Pictures &p) {
    run.click(layout::PLAY);
    return run.waitShows(p.inGame, 60, 432, 280, 36);
}

// The pointer off the board and off the buttons; the new board's hint pulse (252 frames) is over.
inline void restTheBoard(GameRun &run, Memory &memory) {
    run.pointAt(600, 300);
    memory.wait(5000);
}

// CPU share on a resting board, then with a new board falling in every second (F1; its hint pulses).
inline void restingAndMovingBoard(GameRun &run, Memory &memory, int seconds) {
    restTheBoard(run, memory);
    Span resting(memory.pid);
    memory.wait(seconds * 1000);
    std::printf("  resting board:                    %s\n", resting.report().c_str());
    Span motion(memory.pid);
    for (int second = 0; second < seconds; second++) {
        const Clock::time_point start = Clock::now();
        run.key("F1", 30);
        memory.wait(1000 - int(msSince(start)));
    }
    std::printf("  board in motion (F1 every 1 s):   %s\n", motion.report().c_str());
}

inline int ignoreXErrors(Display *, XErrorEvent *) { return 0; }   // a window read just as it closes

inline double loadAverage() {
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

}  // namespace gamemeasure
