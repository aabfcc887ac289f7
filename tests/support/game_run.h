#pragma once
// The real game played on DISPLAY as a person would, its window compared with the game's own
// pictures. Coordinates are the game's logical 640x480 whatever the window's size.

#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "brolix_layout.h"
#include "temp_dir.h"
#include "x11_probe.h"

extern char **environ;

using x11probe::xdotool;

// RGB (or RGBA) pixels, rows top first.
struct Image {
    int width = 0, height = 0, channels = 3;
    std::vector<unsigned char> rgb;
    const unsigned char *at(int x, int y) const { return &rgb[(size_t(y) * width + x) * channels]; }
};

inline Image loadImage(const std::string &path, bool withAlpha = false) {
    Image image;
    SDL_Surface *loaded = IMG_Load(path.c_str());
    const Uint32 format = withAlpha ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24;
    SDL_Surface *pixels = loaded ? SDL_ConvertSurfaceFormat(loaded, format, 0) : nullptr;
    SDL_FreeSurface(loaded);
    if (!pixels) return image;
    image = {pixels->w, pixels->h, withAlpha ? 4 : 3, {}};
    for (int y = 0; y < pixels->h; y++) {
        const auto *row = static_cast<const unsigned char *>(pixels->pixels) + y * pixels->pitch;
        image.rgb.insert(image.rgb.end(), row, row + pixels->w * image.channels);
    }
    SDL_FreeSurface(pixels);
    return image;
}

// Mean difference per channel between a region of the screen at (x, y) and of a picture at (sx, sy).
inline double difference(const Image &screen, int x, int y, const Image &picture, int sx, int sy, int w, int h) {
    if (screen.width < x + w || screen.height < y + h || picture.width < sx + w || picture.height < sy + h) return 255;
    double sum = 0;
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++)
            for (int c = 0; c < 3; c++) sum += std::abs(screen.at(x + i, y + j)[c] - picture.at(sx + i, sy + j)[c]);
    return sum / (double(w) * h * 3);
}

// The windowed place as window.stt holds it: x, y, width, height, display, maximized.
inline std::string placeBytes(const x11probe::Geometry &g, bool maximized = false) {
    const int32_t fields[6] = {g.x, g.y, g.width, g.height, 0, maximized};
    return std::string(reinterpret_cast<const char *>(fields), sizeof fields);
}

inline double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A copy of the game as a player has it, with an xdg-open that records and sound written to a file.
class GameFolder : public TempDir {
public:
    explicit GameFolder(const std::string &program = BROLIX_RUNTIME_DIR "/brolix",
                        const std::string &data = BROLIX_RUNTIME_DIR "/data")
        : TempDir("brolix-play") {
        namespace fs = std::filesystem;
        fs::copy(data, path("data"), fs::copy_options::recursive);
        fs::copy_file(program, path("brolix"));
        fs::create_directory(path("bin"));
        write("bin/xdg-open", "#!/bin/sh\necho \"$1\" >> '" + path("opened.txt") + "'\n");
        fs::permissions(path("bin/xdg-open"), fs::perms::owner_all);
        write("alsoft.conf", "[general]\ndrivers=wave\nchannels=mono\nsample-type=int16\n[wave]\nfile=" +
                                 path("sound.wav") + "\n");
    }
    Image picture(const std::string &name) const { return loadImage(path("data/" + name)); }
};

// A program run with the folder's opener and sound, in English unless LANGUAGE is given, its output
// appended to output.txt; "NAME=value" entries take the place of the environment's.
class GameRun {
public:
    GameRun(const GameFolder &game, std::vector<std::string> env = {}, std::vector<std::string> argv = {})
        : folder(game) {
        if (argv.empty()) argv = {game.path("brolix")};
        if (std::none_of(env.begin(), env.end(), [](const std::string &e) { return e.rfind("LANGUAGE=", 0) == 0; }))
            env.push_back("LANGUAGE=en");
        std::vector<std::string> entries = env;
        entries.push_back("ALSOFT_CONF=" + game.path("alsoft.conf"));
        for (char **e = environ; *e; e++) {
            std::string entry = *e;
            const auto named = [&](const std::string &o) { return entry.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0; };
            if (entry.rfind("PATH=", 0) == 0) entry.insert(5, game.path("bin") + ":");
            if (entry.rfind("ALSOFT_", 0) != 0 && std::none_of(env.begin(), env.end(), named)) entries.push_back(entry);
        }
        std::vector<char *> args, envp;
        for (std::string &arg : argv) args.push_back(arg.data());
        for (std::string &entry : entries) envp.push_back(entry.data());
        args.push_back(nullptr), envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, game.path("output.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        started = std::chrono::steady_clock::now();
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~GameRun() {
        if (running()) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    }
    GameRun(const GameRun &) = delete;
    GameRun &operator=(const GameRun &) = delete;

    const GameFolder &folder;
    std::chrono::steady_clock::time_point started;   // just before the program was started
    int width = 0, height = 0;                        // of the window last measured
    pid_t pid() const { return pid_; }

    bool running() {
        int status = 0;
        if (pid_ <= 0 || exited_) return false;
        if (waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true, status_ = status;
        return !exited_;
    }
    // Exit code; -1 when it died of a signal or did not end in time.
    int waitExit() {
        return waitUntil([&] { return !running(); }) && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    // Window id of a visible window with exactly this title, 0 when none.
    static unsigned long findWindow(const std::string &title) {
        // xdotool matches names in Latin-1 alone: a title in another script is read off the window tree.
        if (std::any_of(title.begin(), title.end(), [](char c) { return (c & 0x80) != 0; }))
            return std::strtoul(commandOutput("xwininfo -root -tree | grep -F -m1 " + shellQuoted(" \"" + title + "\": ") +
                                              " | awk '{print $1}'").c_str(), nullptr, 16);
        return std::strtoul(commandOutput("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null").c_str(),
                            nullptr, 10);
    }

    // The window with this title, focused; false when it never showed.
    bool waitWindow(const std::string &title) {
        if (!waitUntil([&] { return (window_ = findWindow(title)) != 0; })) return false;
        xdotool("windowfocus --sync " + std::to_string(window_));
        measure();
        return true;
    }

    // Past the start-up dialog by these keys to the game's window; false when either never showed.
    bool passDialog(const std::string &keys = "Return", const std::string &title = "Welcome to Brolix !") {
        return waitWindow(title) && xdotool("key --delay 100 " + keys) && waitWindow("Brolix");
    }

    // Where the window is now and where the 4:3 picture lies in it, at any scale, bars around it.
    void measure() { useArea(x11probe::geometryOf(window_)); }
    // A part of the screen known to be the window's inside (a compositor's window, drawn in its output).
    void useArea(const x11probe::Geometry &g) {
        left_ = g.x, top_ = g.y, width = g.width, height = g.height;
        scale_ = std::max(1e-3, std::min(width / 640.0, height / 480.0));
        barX_ = int(std::lround((width - 640 * scale_) / 2)), barY_ = int(std::lround((height - 480 * scale_) / 2));
    }
    unsigned long window() const { return window_; }

    // What the screen shows in the window's place (another window over it included): rows y0 to
    // y0 + h of a logical picture, each pixel the mean of those it covers, black elsewhere.
    Image capture(int y0 = 0, int h = 480) const {
        Image image{640, 480, 3, std::vector<unsigned char>(640 * 480 * 3)};
        const auto edge = [&](int i) { return int(std::lround(i * scale_)); };
        const int top = edge(y0), rows = std::max(edge(y0 + h), top + 1) - top;
        XImage *x = XGetImage(x11probe::display(), DefaultRootWindow(x11probe::display()), left_ + barX_, top_ + barY_ + top, std::max(edge(640), 1),
                              rows, AllPlanes, ZPixmap);
        for (int y = y0; x && y < y0 + h; y++)
            for (int i = 0; i < 640; i++) {
                long sum[3] = {}, n = 0;
                for (int wy = edge(y); wy < std::max(edge(y + 1), edge(y) + 1) && wy - top < rows; wy++)
                    for (int wx = edge(i); wx < std::max(edge(i + 1), edge(i) + 1); wx++, n++) {
                        const unsigned long p = XGetPixel(x, wx, wy - top);
                        sum[0] += (p >> 16) & 0xFF, sum[1] += (p >> 8) & 0xFF, sum[2] += p & 0xFF;
                    }
                unsigned char *out = &image.rgb[(size_t(y) * 640 + i) * 3];
                for (int c = 0; n && c < 3; c++) out[c] = (unsigned char)(sum[c] / n);
            }
        if (x) XDestroyImage(x);
        return image;
    }
    // The window shows this region of the picture at (x, y), give or take filtering and the cursor.
    bool shows(const Image &picture, int x, int y, int sx, int sy, int w, int h) const {
        return difference(capture(y, h), x, y, picture, sx, sy, w, h) < 12;
    }
    bool waitShows(const Image &picture, int x, int y, int w, int h) const {
        return waitUntil([&] { return shows(picture, x, y, x, y, w, h); });
    }

    // Two captures alike, at least gapMs apart (some twenty frames outlast a pause in the falls).
    bool waitStill(Image &last, int gapMs = 0) const {
        auto taken = std::chrono::steady_clock::now();
        last = capture();
        return waitUntil([&] {
            if (msSince(taken) < gapMs) return false;
            taken = std::chrono::steady_clock::now();
            const Image now = capture();
            return difference(now, 0, 0, std::exchange(last, now), 0, 0, 640, 480) == 0;
        });
    }

    // Screen pixel in the middle of a logical one.
    int screenX(int x) const { return left_ + barX_ + int(std::floor((x + 0.5) * scale_)); }
    int screenY(int y) const { return top_ + barY_ + int(std::floor((y + 0.5) * scale_)); }
    double scale() const { return scale_; }

    // Held long enough for a game that polls its input once a frame.
    void pointAt(int x, int y) const { xdotool("mousemove " + std::to_string(screenX(x)) + " " + std::to_string(screenY(y))); }
    void pointAt(const layout::Rect &r) const { pointAt((r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2); }
    void click(const layout::Rect &r, int holdMs = 200) const {
        pointAt(r), xdotool("mousedown 1 sleep " + std::to_string(holdMs / 1000.0) + " mouseup 1 sleep 0.03");
    }
    void key(const std::string &name, int holdMs = 150) const {
        xdotool("keydown " + name + " sleep " + std::to_string(holdMs / 1000.0) + " keyup " + name + " sleep 0.03");
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    Window window_ = 0;
    int left_ = 0, top_ = 0, barX_ = 0, barY_ = 0;
    double scale_ = 1;
};

// Start-up as a player goes through it, past the driver page (Mesa draws in software). Empty once
// the menu shows, else what did not show.
inline std::string reachMenu(GameRun &run, const Image &menu) {
    if (!run.passDialog()) return "no start-up dialog or no game window";
    if (!run.waitShows(run.folder.picture("page1.jpg"), 0, 0, 640, 480)) return "no driver page";
    run.click(layout::DRIVER_CONTINUE);
    return run.waitShows(menu, 0, 0, 640, 100) ? "" : "no menu";
}
