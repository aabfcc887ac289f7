#pragma once
// The real game played on the X display of DISPLAY as a person would: xdotool moves
// the pointer and presses keys, and the window's pixels are compared with the game's
// own pictures. Waits poll with a deadline that only bounds a hang.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>

#include "brolix_layout.h"
#include "screen_image.h"
#include "temp_dir.h"

inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
        if (std::chrono::steady_clock::now() > end) return false;
        else std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
}


inline void xdotool(const std::string &arguments) { std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()); }

// A copy of the game as a player has it: the program, its data folder, an xdg-open
// that records what it is asked to open, and sound written to a file.
class GameFolder : public TempDir {
public:
    explicit GameFolder(const std::string &program = BROLIX_RUNTIME_DIR "/brolix") : TempDir("brolix-e2e") {
        namespace fs = std::filesystem;
        fs::copy(BROLIX_RUNTIME_DIR "/data", path("data"), fs::copy_options::recursive);
        fs::copy_file(program, path("brolix"));
        fs::create_directory(path("bin"));
        write("bin/xdg-open", "#!/bin/sh\necho \"$1\" >> '" + path("opened.txt") + "'\n");
        fs::permissions(path("bin/xdg-open"), fs::perms::owner_all);
        write("alsoft.conf", "[general]\ndrivers=wave\nchannels=mono\nsample-type=int16\n[wave]\nfile=" +
                                 path("sound.wav") + "\n");
    }
    Image picture(const std::string &name) const { return loadImage(path("data/" + name)); }
};

// A program run with the folder's opener and sound file, its output in the folder's
// output.txt; "NAME=value" entries are added to the environment.
class GameRun {
public:
    GameRun(const GameFolder &folder, std::vector<std::string> env, std::vector<std::string> argv = {}) {
        if (argv.empty()) argv = {folder.path("brolix")};
        env.push_back("PATH=" + folder.path("bin") + ":" + std::getenv("PATH"));
        env.push_back("ALSOFT_CONF=" + folder.path("alsoft.conf"));
        std::vector<char *> args;
        for (std::string &arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        if ((pid_ = fork()) == 0) {
            const int out = open(folder.path("output.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(out, 1), dup2(out, 2);
            for (std::string &entry : env) putenv(entry.data());
            execv(args[0], args.data());
            _exit(127);
        }
        display_ = XOpenDisplay(nullptr);
    }
    ~GameRun() {
        if (pid_ > 0 && !exited_) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
        if (display_) XCloseDisplay(display_);
    }
    GameRun(const GameRun &) = delete;
    GameRun &operator=(const GameRun &) = delete;
    int width = 0, height = 0;   // of the window last waited for

    // Exit code; -1 when it died of a signal or did not end in time (it is then killed).
    int waitExit() {
        int status = 0;
        exited_ = waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        return exited_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The window with this title, focused; false when it never showed.
    bool waitWindow(const std::string &title) {
        const std::string found = commandOutput("timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$'");
        window_ = std::strtoul(found.c_str(), nullptr, 10);
        if (!window_) return false;
        xdotool("windowfocus --sync " + std::to_string(window_));
        measure();
        return true;
    }

    // Where the window is now and where the 4:3 picture lies in it, bars around it.
    void measure() {
        XWindowAttributes attributes{};   // no window manager: placed on the root window itself
        XGetWindowAttributes(display_, window_, &attributes);
        left_ = attributes.x, top_ = attributes.y, width = attributes.width, height = attributes.height;
        scale_ = std::min(width / 640.0, height / 480.0);
        barX_ = int(std::lround((width - 640 * scale_) / 2)), barY_ = int(std::lround((height - 480 * scale_) / 2));
    }
    unsigned long window() const { return window_; }

    // What the screen shows in the window's place now, in logical pixels, 640 x 480:
    // each the mean of the window pixels it covers.
    Image capture() const {
        Image image{640, 480, 3, std::vector<unsigned char>(640 * 480 * 3)};
        XImage *x = XGetImage(display_, DefaultRootWindow(display_), left_, top_, width, height, AllPlanes, ZPixmap);
        auto edge = [&](int i) { return int(std::lround(i * scale_)); };
        for (int y = 0; x && y < 480; y++)
            for (int i = 0; i < 640; i++) {
                long sum[3] = {}, n = 0;
                for (int wy = edge(y); wy < std::max(edge(y + 1), edge(y) + 1); wy++)
                    for (int wx = edge(i); wx < std::max(edge(i + 1), edge(i) + 1); wx++, n++) {
                        const unsigned long p = XGetPixel(x, barX_ + wx, barY_ + wy);
                        sum[0] += (p >> 16) & 0xFF, sum[1] += (p >> 8) & 0xFF, sum[2] += p & 0xFF;
                    }
                unsigned char *out = &image.rgb[(size_t(y) * 640 + i) * 3];
                for (int c = 0; c < 3; c++) out[c] = (unsigned char)(sum[c] / n);
            }
        if (x) XDestroyImage(x);
        return image;
    }
    bool shows(const Image &picture, int x, int y, int sx, int sy, int w, int h) const {
        return difference(capture(), x, y, picture, sx, sy, w, h) < 12;
    }
    bool waitShows(const Image &picture, int x, int y, int w, int h) const {
        return waitUntil([&] { return shows(picture, x, y, x, y, w, h); });
    }

    // Held long enough for a game that polls its input once a frame.
    void pointAt(int x, int y) const {
        const int atX = left_ + barX_ + int(std::floor((x + 0.5) * scale_)), atY = top_ + barY_ + int(std::floor((y + 0.5) * scale_));
        xdotool("mousemove " + std::to_string(atX) + " " + std::to_string(atY));
    }
    void pointAt(const layout::Rect &r) const { pointAt((r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2); }
    void click(const layout::Rect &r) const { pointAt(r), xdotool("mousedown 1 sleep 0.2 mouseup 1 sleep 0.03"); }
    void key(const std::string &name) const { xdotool("keydown " + name + " sleep 0.15 keyup " + name + " sleep 0.03"); }
    void type(const std::string &text) const {
        for (char c : text) key(c == ' ' ? "space" : std::string(1, c));
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    Display *display_ = nullptr;
    Window window_ = 0;
    int left_ = 0, top_ = 0, barX_ = 0, barY_ = 0;
    double scale_ = 1;
};
