// The real game on an X display, played with xdotool as a person would: a relax
// game (any neighbours exchange), the pause, a new board with F1, closing the window.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "sound_test_tools.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string artifactsDir = BROLIX_ARTIFACTS_DIR;

struct Rgb {
    int r, g, b;
};

struct Image {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    const Rgb &at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

bool sh(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string output(const std::string &command) {
    std::string text;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    std::array<char, 256> chunk;
    while (fgets(chunk.data(), chunk.size(), pipe)) text += chunk.data();
    pclose(pipe);
    return text;
}

// Binary PPM (P6, maxval 255), as ImageMagick writes it.
Image readPpm(const std::string &path) {
    Image image;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> image.width >> image.height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255) return Image{};
    std::vector<unsigned char> bytes(size_t(image.width) * image.height * 3);
    in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(bytes.size()));
    for (size_t i = 0; i + 2 < bytes.size(); i += 3) image.pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2]});
    return image;
}

// Share of pixels of a region of a that match the region of b at another place.
double matching(const Image &a, int ax, int ay, const Image &b, int bx, int by, int w, int h) {
    int same = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const Rgb &p = a.at(ax + x, ay + y), &q = b.at(bx + x, by + y);
            same += std::abs(p.r - q.r) <= 2 && std::abs(p.g - q.g) <= 2 && std::abs(p.b - q.b) <= 2;
        }
    return double(same) / (w * h);
}

// An uncompressed true-colour TGA's colours (alpha dropped), rows bottom first
// unless the header says otherwise.
Image readTga(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Image image;
    if (b.size() < 18 || b[2] != 2 || (b[16] != 24 && b[16] != 32)) return image;
    int w = b[12] | b[13] << 8, h = b[14] | b[15] << 8, bytes = b[16] / 8;
    size_t start = 18 + b[0];
    if (b.size() < start + size_t(w) * h * bytes) return image;
    bool topFirst = b[17] & 0x20;
    image.width = w;
    image.height = h;
    image.pixels.resize(size_t(w) * h);
    for (int row = 0; row < h; row++)
        for (int x = 0; x < w; x++) {
            const unsigned char *p = &b[start + (size_t(row) * w + x) * bytes];
            int y = topFirst ? row : h - 1 - row;
            image.pixels[size_t(y) * w + x] = {p[2], p[1], p[0]};
        }
    return image;
}

struct Mean {
    double r = 0, g = 0, b = 0;
};

Mean meanOf(const Image &image, int x0, int y0, int size) {
    Mean m;
    for (int y = y0; y < y0 + size; y++)
        for (int x = x0; x < x0 + size; x++) {
            m.r += image.at(x, y).r;
            m.g += image.at(x, y).g;
            m.b += image.at(x, y).b;
        }
    double n = size * size;
    return {m.r / n, m.g / n, m.b / n};
}

const int columns = 12, rows = 8;
using Board = std::array<std::array<int, rows>, columns>;  // gem colour of each cell

// Drives one run of the game executable in a folder of its own.
class GameRun {
public:
    GameRun() {
        fs::create_directories(dir());
        fs::copy(BROLIX_RUNTIME_DIR "/data", dir() + "/data", fs::copy_options::recursive);
        fs::copy_file(BROLIX_GAME_EXE, dir() + "/brolix");
        fs::permissions(dir() + "/brolix", fs::perms::owner_exec, fs::perm_options::add);
        writePrefs(3);
        useWaveWriter(sound());
        loadReferences();
    }
    ~GameRun() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    std::string dir() const { return folder_.path("game"); }
    std::string sound() const { return folder_.path("sound.wav"); }

    // prefs.raw: volume, game mode, difficulty, high-score tab, gem set.
    void writePrefs(int32_t mode) {
        fs::create_directories(dir());
        const int32_t prefs[5] = {100, mode, 1, 0, 0};
        std::ofstream(dir() + "/prefs.raw", std::ios::binary).write(reinterpret_cast<const char *>(prefs), sizeof prefs);
    }
    std::vector<int32_t> readPrefs() const {
        std::vector<int32_t> prefs(5, -1);
        std::ifstream(dir() + "/prefs.raw", std::ios::binary).read(reinterpret_cast<char *>(prefs.data()), 20);
        return prefs;
    }

    // Through the start-up dialog (Play is its default button), past the software
    // renderer's driver page, to the menu, whose play button starts the game.
    bool start() {
        sh("xdotool mousemove 1270 1010");  // away from where the windows open
        pid_ = fork();
        if (pid_ == 0) {
            std::string exe = dir() + "/brolix";
            execl(exe.c_str(), exe.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        std::string dialog = windowNamed("Welcome to Brolix");
        if (dialog.empty()) return false;
        sh("xdotool windowfocus --sync " + dialog + " key Return");
        window_ = windowNamed("^Brolix$");
        if (window_.empty()) return false;
        if (!waitFor("menu", menu_, 5)) {
            press(396, 420);  // continue with the software renderer
            if (!waitFor("menu", menu_, 15)) return false;
        }
        press(489, 364);
        return waitFor("start", inGame_, 20);
    }

    // The window's picture, kept as a test artefact under its name.
    Image screenshot(const std::string &name) {
        std::string ppm = folder_.path(name + ".ppm");
        sh("import -window " + window_ + " -depth 8 ppm:" + ppm);
        fs::create_directories(artifactsDir);
        sh("convert " + ppm + " " + artifactsDir + "/game_" + name + ".png");
        return readPpm(ppm);
    }

    // Polls until the left margin shows the reference picture as it is (no transition running).
    bool waitFor(const std::string &name, const Image &reference, int seconds) {
        auto until = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < until) {
            Image shot = screenshot(name);
            if (shot.width == 640 && matching(shot, 0, 100, reference, 0, 100, 40, 300) > 0.99) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    // Presses last a few frames: the game polls the button and the keys once a frame.
    void press(int x, int y) {
        sh("xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y) +
           " mousedown 1 sleep 0.1 mouseup 1 sleep 0.1");
    }
    void clickCell(int x, int y) { press(71 + 42 * x + 20, 90 + 42 * y + 20); }
    void moveTo(int x, int y) {
        sh("xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y));
    }
    void key(const std::string &name) {
        sh("xdotool windowfocus --sync " + window_ + " keydown " + name + " sleep 0.15 keyup " + name);
    }

    // The close button as the window manager delivers it.
    void closeWindow() {
        Display *display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        Window window = Window(std::stoul(window_));
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XCloseDisplay(display);
    }

    // Exit status, or -1 when the game is still running after the wait.
    int waitForExit(int seconds) {
        for (int i = 0; i < seconds * 20; i++) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

    static std::string windowNamed(const std::string &pattern) {
        std::string id = output("timeout 15 xdotool search --sync --onlyvisible --name '" + pattern + "' | head -n 1");
        while (!id.empty() && id.back() == '\n') id.pop_back();
        return id;
    }

    // Each cell's colour: the gem picture whose centre matches best.
    Board read(const Image &shot) const {
        Board board{};
        for (int x = 0; x < columns; x++)
            for (int y = 0; y < rows; y++) {
                Mean m = meanOf(shot, 71 + 42 * x + 14, 90 + 42 * y + 14, 8);
                double best = 1e9;
                for (int c = 0; c < 7; c++) {
                    double d = std::abs(m.r - gemCentres_[c].r) + std::abs(m.g - gemCentres_[c].g) +
                               std::abs(m.b - gemCentres_[c].b);
                    if (d < best) {
                        best = d;
                        board[x][y] = c;
                    }
                }
            }
        return board;
    }

    const Image &inGame() const { return inGame_; }

private:
    void loadReferences() {
        inGame_ = pictureOf("ingame0.tga");
        menu_ = pictureOf("menu0.tga");
        for (int c = 0; c < 7; c++) {
            Image picture = pictureOf("gems/set0/gem0" + std::to_string(c + 1) + ".tga");
            gemCentres_[c] = picture.width ? meanOf(picture, picture.width / 2 - 4, picture.height / 2 - 4, 8) : Mean{};
        }
    }

    Image pictureOf(const std::string &file) const { return readTga(dir() + "/data/" + file); }

    TempDir folder_;
    pid_t pid_ = 0;
    std::string window_;
    Image inGame_, menu_;
    Mean gemCentres_[7];
};

bool makesLine(const Board &b) {
    for (int y = 0; y < rows; y++)
        for (int x = 0; x + 2 < columns; x++)
            if (b[x][y] == b[x + 1][y] && b[x][y] == b[x + 2][y]) return true;
    for (int x = 0; x < columns; x++)
        for (int y = 0; y + 2 < rows; y++)
            if (b[x][y] == b[x][y + 1] && b[x][y] == b[x][y + 2]) return true;
    return false;
}

// Two neighbours across of different colours whose exchange forms no line.
bool quietPair(const Board &board, int &x, int &y) {
    for (y = 0; y < rows; y++)
        for (x = 0; x + 1 < columns; x++) {
            if (board[x][y] == board[x + 1][y]) continue;
            Board after = board;
            std::swap(after[x][y], after[x + 1][y]);
            if (!makesLine(after)) return true;
        }
    return false;
}

int differences(const Board &a, const Board &b) {
    int n = 0;
    for (int x = 0; x < columns; x++)
        for (int y = 0; y < rows; y++) n += a[x][y] != b[x][y];
    return n;
}

void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(600)); }

TEST(GameEndToEnd, ExchangePauseNewBoardAndClose) {
    GameRun game;
    ASSERT_EQ(game.inGame().width, 1024) << "reference picture";
    ASSERT_TRUE(game.start()) << "the game did not start from the menu";

    Image first = game.screenshot("board");
    Board board = game.read(first);
    EXPECT_FALSE(makesLine(board)) << "a fresh board holds no line";
    int x = 0, y = 0;
    ASSERT_TRUE(quietPair(board, x, y));

    // Click a gem, then its neighbour: in relax they exchange even without a line.
    game.clickCell(x, y);
    Image selected = game.screenshot("selected");
    game.clickCell(x + 1, y);
    settle();
    game.moveTo(600, 300);
    Image exchanged = game.screenshot("exchanged");
    Board after = game.read(exchanged);
    EXPECT_EQ(after[x][y], board[x + 1][y]);
    EXPECT_EQ(after[x + 1][y], board[x][y]);
    EXPECT_EQ(differences(board, after), 2);
    // The selection frame showed around the first gem, and is gone after the exchange.
    EXPECT_LT(matching(selected, 71 + 42 * x - 1, 90 + 42 * y - 1, first, 71 + 42 * x - 1, 90 + 42 * y - 1, 2, 42),
              0.5);
    EXPECT_GT(matching(exchanged, 71 + 42 * x - 1, 90 + 42 * y - 1, first, 71 + 42 * x - 1, 90 + 42 * y - 1, 2, 42),
              0.9);

    // P shows the pause panel over the board; P again shows the same board.
    game.key("p");
    settle();
    Image paused = game.screenshot("paused");
    EXPECT_GT(matching(paused, 69, 88, game.inGame(), 69, 498, 502, 334), 0.99);
    game.key("p");
    settle();
    Image resumed = game.screenshot("resumed");
    EXPECT_LT(matching(resumed, 69, 88, game.inGame(), 69, 498, 502, 334), 0.5);
    EXPECT_EQ(differences(after, game.read(resumed)), 0);

    // F1 deals a new board.
    game.key("F1");
    settle();
    Image dealt = game.screenshot("new_board");
    Board fresh = game.read(dealt);
    EXPECT_GT(differences(after, fresh), 40);
    EXPECT_FALSE(makesLine(fresh));

    game.closeWindow();
    EXPECT_EQ(game.waitForExit(10), 0);
    EXPECT_EQ(game.readPrefs(), (std::vector<int32_t>{100, 3, 1, 0, 0})) << "preferences saved at the end";
    EXPECT_TRUE(fs::exists(game.dir() + "/data/srelx")) << "high scores saved at the end";
    Recording heard = readRecording(game.sound());
    EXPECT_FALSE(heard.silent()) << "the clicks and the exchange were heard";
}

}  // namespace
