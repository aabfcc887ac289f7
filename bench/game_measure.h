#pragma once
// What the real game costs, read from /proc, and what its window shows, in logical
// pixels: the pieces the idle and scale benchmarks measure with.
#include <X11/Xlib.h>

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

#include "game_driver.h"

namespace gamemeasure {

using namespace gamedriver;

// --- the game process, from /proc ---

// The game is the bench's one child named "brolix".
inline pid_t gamePid() {
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    pid_t pid;
    while (children >> pid) {
        std::string name;
        std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
        if (name == "brolix") return pid;
    }
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

inline long statusKiB(pid_t pid, const std::string &key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return -1;
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

// Waits, noting the highest anonymous memory seen (the kernel keeps no peak of it).
struct Memory {
    pid_t pid = -1;
    long peakAnonKiB = 0, peakResidentKiB = 0;
    void wait(int ms) {
        const Clock::time_point start = Clock::now();
        do {
            peakAnonKiB = std::max(peakAnonKiB, statusKiB(pid, "RssAnon:"));
            peakResidentKiB = std::max(peakResidentKiB, statusKiB(pid, "VmHWM:"));
            sleepMs(std::min(100, std::max(1, ms - int(msSince(start)))));
        } while (msSince(start) < ms);
    }
};

// --- what the window shows, in logical pixels whatever the scaling ---

struct GameScreen {
    Display *display = XOpenDisplay(nullptr);
    Window window = 0;
    int scale = 1, left = 0, top = 0;   // the letterboxed 640x480 picture, at a whole scale

    ~GameScreen() { XCloseDisplay(display); }

    void find() {
        window = Window(GameRun::findWindow("Brolix"));
        if (!window) return;
        XWindowAttributes a;
        XGetWindowAttributes(display, window, &a);
        scale = std::max(1, std::min(a.width / 640, a.height / 480));
        left = (a.width - 640 * scale) / 2;
        top = (a.height - 480 * scale) / 2;
    }
    int x(int logical) const { return left + logical * scale; }
    int y(int logical) const { return top + logical * scale; }

    Image grab(int y0, int h) const { return grabLogical(display, window, left, top, scale, y0, h); }
    bool shows(const Image &picture, int x, int y, int sx, int sy, int w, int h) const {
        return difference(grab(y, h), x, y, picture, sx, sy, w, h) < 12;
    }
    bool waitShows(const Image &picture, int x, int y, int sx, int sy, int w, int h, int timeoutMs = 30000) const {
        return GameRun::waitUntil([&] { return shows(picture, x, y, sx, sy, w, h); }, timeoutMs);
    }
};

// Moves the pointer round a small circle over the board, clear of the panels,
// from a connection of its own, until destroyed.
class MovingPointer {
public:
    explicit MovingPointer(const GameScreen &s) : thread_([this, &s] {
          Display *d = XOpenDisplay(nullptr);
          for (int step = 0; !stop_; step++) {
              const double a = step * 0.35;
              XWarpPointer(d, None, s.window, 0, 0, 0, 0, s.x(95 + int(15 * std::cos(a))), s.y(405 + int(15 * std::sin(a))));
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
    Image menu, inGame, driverPage, gameOver, nameEntry;
    explicit Pictures(const InstalledGame &game)
        : menu(game.picture("data/menu0.tga")), inGame(game.picture("data/ingame0.tga")),
          driverPage(game.picture("data/page1.jpg")), gameOver(game.picture("data/gameover0.tga")),
          nameEntry(game.picture("data/entername0.tga")) {}
};

// Dialog, driver page (Mesa draws in software), menu. The pointer rests at (400, 420).
inline bool reachMenu(GameRun &run, GameScreen &screen, const Pictures &p) {
    if (!run.waitDialog()) return false;
    run.pressPlay();
    if (!run.waitGameWindow()) return false;
    screen.find();
    if (!screen.waitShows(p.driverPage, 0, 0, 0, 0, 640, 480)) return false;
    run.click(screen.x(400), screen.y(420));
    return screen.waitShows(p.menu, 0, 0, 0, 0, 640, 100);
}

// From the menu's play button to the first frame of the game (the buttons stand still).
inline bool startGame(GameRun &run, const GameScreen &screen, const Pictures &p) {
    run.click(screen.x(489), screen.y(364));
    return screen.waitShows(p.inGame, 60, 432, 60, 432, 280, 36);
}

// The pointer off the board and off the buttons; the new board's hint pulse (252 frames) is over.
inline void restTheBoard(GameRun &run, const GameScreen &screen, Memory &memory) {
    run.pointAt(screen.x(600), screen.y(300));
    memory.wait(5000);
}

// CPU share on a resting board (the pointer off it), then with a new board falling
// in every second (F1; its hint pulses).
inline void restingAndMovingBoard(GameRun &run, const GameScreen &screen, Memory &memory, int seconds) {
    restTheBoard(run, screen, memory);
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

// Escape back to the menu, and Escape again once it shows.
inline void quit(GameRun &run, const GameScreen &screen, const Pictures &p) {
    run.key("Escape");
    screen.waitShows(p.menu, 0, 0, 0, 0, 640, 100);
    run.key("Escape");
    if (run.waitExit() != 0) std::printf("  (the game did not quit cleanly)\n");
}

inline void printMemory(const Memory &m) {
    std::printf("  peak resident memory %.1f MiB (VmHWM), peak anonymous memory %.1f MiB (RssAnon, sampled every 0.1 s)\n",
                m.peakResidentKiB / 1024.0, m.peakAnonKiB / 1024.0);
}

inline void useNullSound(const InstalledGame &game) {
    const std::string conf = "[general]\ndrivers=null\n";
    game.write("alsoft.conf", Bytes(conf.begin(), conf.end()));
}

}  // namespace gamemeasure
