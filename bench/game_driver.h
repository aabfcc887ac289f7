#pragma once
// Plays the real game executable on the X display of DISPLAY as a person would:
// xdotool moves the pointer, presses buttons and keys; what the window shows is
// read back from the X server and compared with the game's own pictures.
// Header only, shared by the start-up and idle benchmarks.

#include <SDL.h>
#include <SDL_image.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "screen_image.h"
#include "temp_dir.h"
#include "x11_probe.h"

extern char **environ;

namespace gamedriver {

typedef std::chrono::steady_clock Clock;
typedef std::vector<unsigned char> Bytes;

inline void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Rows y0..y0+h of the 640x480 picture a window shows at (left, top), scale pixels
// a logical pixel; the image is 640 wide and filled from row y0 on.
inline Image grabLogical(Display *display, unsigned long window, int left, int top, int scale, int y0, int h) {
    Image image;
    XImage *x = window ? XGetImage(display, window, left, top + y0 * scale, 640 * scale, h * scale, AllPlanes, ZPixmap)
                       : nullptr;
    if (!x) return image;
    image.width = 640;
    image.height = y0 + h;
    image.rgb.assign(size_t(image.width) * image.height * 3, 0);
    for (int j = 0; j < h; j++)
        for (int i = 0; i < 640; i++) {
            const unsigned long p = XGetPixel(x, i * scale, j * scale);
            unsigned char *out = &image.rgb[(size_t(y0 + j) * 640 + i) * 3];
            out[0] = (p >> 16) & 0xFF;
            out[1] = (p >> 8) & 0xFF;
            out[2] = p & 0xFF;
        }
    XDestroyImage(x);
    return image;
}


using x11probe::xdotool;

// A copy of the game as a player has it: executable, data folder, a recording
// xdg-open and a sound configuration that writes to a file instead of a card.
class InstalledGame {
public:
    explicit InstalledGame(const std::string &runtimeDir) {
        namespace fs = std::filesystem;
        root = scratch.root();
        fs::copy(runtimeDir + "/data", root + "/data", fs::copy_options::recursive);
        fs::copy_file(runtimeDir + "/brolix", root + "/brolix");
        fs::create_directories(root + "/bin");
        std::ofstream(root + "/bin/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << root << "/opened.txt'\n";
        fs::permissions(root + "/bin/xdg-open", fs::perms::owner_all);
        std::ofstream(root + "/alsoft.conf") << "[general]\ndrivers=wave\n[wave]\nfile=" << root
                                             << "/sound.wav\nchannels=mono\nsample-type=int16\n";
    }
    InstalledGame(const InstalledGame &) = delete;
    InstalledGame &operator=(const InstalledGame &) = delete;

    std::string path(const std::string &relative) const { return root + "/" + relative; }
    Bytes read(const std::string &relative) const {
        std::ifstream in(path(relative), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void write(const std::string &relative, const Bytes &bytes) const {
        std::ofstream(path(relative), std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    Image picture(const std::string &relative) const { return loadImage(path(relative)); }

    TempDir scratch{"brolix-play"};
    std::string root;
};

// One run of the game: the copy's executable, or another program with the copy's
// opener and sound file; extra "NAME=value" entries take the place of the environment's.
class GameRun {
public:
    explicit GameRun(const InstalledGame &game, std::string program = "", const std::vector<std::string> &extraEnv = {}) {
        std::vector<std::string> env = extraEnv;
        const auto replaced = [&extraEnv](const std::string &entry) {
            for (const std::string &extra : extraEnv)
                if (entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0) return true;
            return false;
        };
        for (char **e = environ; *e; e++) {
            std::string entry = *e;
            if (entry.rfind("PATH=", 0) == 0) entry = "PATH=" + game.root + "/bin:" + entry.substr(5);
            if (entry.rfind("ALSOFT_", 0) != 0 && !replaced(entry)) env.push_back(entry);
        }
        env.push_back("ALSOFT_CONF=" + game.path("alsoft.conf"));
        std::vector<char *> envp;
        for (std::string &entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = game.path("output.txt");
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (program.empty()) program = game.path("brolix");
        char *argv[] = {const_cast<char *>(program.c_str()), nullptr};
        started = Clock::now();
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        display_ = XOpenDisplay(nullptr);
    }
    ~GameRun() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (display_) XCloseDisplay(display_);
    }
    GameRun(const GameRun &) = delete;
    GameRun &operator=(const GameRun &) = delete;

    // Polls every few milliseconds until the condition holds; false after the time-out.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs) {
        const Clock::time_point start = Clock::now();
        while (msSince(start) < timeoutMs) {
            if (condition()) return true;
            sleepMs(5);
        }
        return condition();
    }

    // Window id of a visible window with exactly this title, 0 when none.
    static unsigned long findWindow(const std::string &title) {
        return std::strtoul(commandOutput("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null").c_str(),
                            nullptr, 10);
    }

    bool waitDialog(int timeoutMs = 20000) {
        return waitUntil([] { return findWindow("Welcome to Brolix !") != 0; }, timeoutMs);
    }
    // Play is the dialog's default button.
    void pressPlay() {
        xdotool("search --onlyvisible --name '^Welcome to Brolix !$' windowfocus --sync key Return");
    }

    // Start-up as a player goes through it: Play in the dialog, the driver page (Mesa
    // draws in software) and its continue area, then the menu. Empty once the menu
    // shows, else what did not show.
    std::string reachMenu(const Image &driverPage, const Image &menu) {
        if (!waitDialog()) return "no start-up dialog";
        pressPlay();
        if (!waitGameWindow()) return "no game window";
        if (!waitShows(driverPage, 0, 0, 0, 0, 640, 480)) return "no driver page";
        click(400, 420);
        return waitShows(menu, 0, 0, 0, 0, 640, 100) ? "" : "no menu";
    }

    bool waitGameWindow(int timeoutMs = 20000) {
        if (!waitUntil([this] { return (window_ = findWindow("Brolix")) != 0; }, timeoutMs)) return false;
        xdotool("windowfocus --sync " + std::to_string(window_));
        Window child;
        XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &left_, &top_, &child);
        return true;
    }

    // What the game window shows now (rows y0..y0+h).
    Image capture(int y0 = 0, int h = 480) const { return display_ ? grabLogical(display_, window_, 0, 0, 1, y0, h) : Image(); }

    // The window shows this region of the picture at (x, y), give or take filtering and the cursor.
    bool shows(const Image &picture, int x, int y, int sx, int sy, int w, int h) const {
        return difference(capture(y, h), x, y, picture, sx, sy, w, h) < 12;
    }
    bool waitShows(const Image &picture, int x, int y, int sx, int sy, int w, int h, int timeoutMs = 15000) const {
        return waitUntil([&] { return shows(picture, x, y, sx, sy, w, h); }, timeoutMs);
    }

    // Buttons and keys are held long enough for a game that polls them once a frame.
    void pointAt(int x, int y) const {
        xdotool("mousemove " + std::to_string(left_ + x) + " " + std::to_string(top_ + y));
    }
    void click(int x, int y, int holdMs = 150) const {
        pointAt(x, y);
        xdotool("mousedown 1");
        sleepMs(holdMs);
        xdotool("mouseup 1");
        sleepMs(60);
    }
    void drag(const std::vector<std::pair<int, int>> &points) const {
        pointAt(points.front().first, points.front().second);
        xdotool("mousedown 1");
        for (const auto &p : points) {
            sleepMs(60);
            pointAt(p.first, p.second);
        }
        sleepMs(60);
        xdotool("mouseup 1");
        sleepMs(60);
    }
    void key(const std::string &name, int holdMs = 150) const {
        xdotool("keydown " + name);
        sleepMs(holdMs);
        xdotool("keyup " + name);
        sleepMs(40);
    }
    void type(const std::string &text) const {
        for (char c : text) key(c == ' ' ? "space" : std::string(1, c));
    }
    static void screenshot(const std::string &file) { std::system(("import -window root '" + file + "'").c_str()); }

    bool running() {
        if (exited_ || pid_ <= 0) return false;
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = status;
        }
        return !exited_;
    }
    // Exit code, or -1 when it did not end in time (it is then killed) or died of a signal.
    int waitExit(int timeoutMs = 15000) {
        waitUntil([this] { return !running(); }, timeoutMs);
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            exited_ = true;
            return -1;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    // Peak resident memory of the running game, in KiB.
    long peakResidentKiB() const { return statusKiB(pid_, "VmHWM:"); }
    // A memory field of /proc/PID/status ("VmRSS:", "RssAnon:"), in KiB; -1 when gone.
    static long statusKiB(pid_t pid, const std::string &field) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
        return -1;
    }
    pid_t pid() const { return pid_; }

    Clock::time_point started;

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    Display *display_ = nullptr;
    Window window_ = 0;
    int left_ = 0, top_ = 0;
};

}  // namespace gamedriver
