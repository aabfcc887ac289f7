// The game itself played with xdotool as a person would: a relax game (any two
// neighbours exchange), the pause, a new board with F1, closing the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "game_driver.h"
#include "x11_probe.h"

namespace {

using namespace gamedriver;

const std::string artifactsDir = BROLIX_ARTIFACTS_DIR;
const int columns = 12, rows = 8;
using Board = std::array<std::array<int, rows>, columns>;  // gem picture of each cell

int cellLeft(int x) { return 71 + 42 * x; }
int cellTop(int y) { return 90 + 42 * y; }

struct Mean {
    double r = 0, g = 0, b = 0;
};

Mean meanOf(const Image &image, int x0, int y0, int size) {
    Mean m;
    for (int y = y0; y < y0 + size; y++)
        for (int x = x0; x < x0 + size; x++) {
            m.r += image.at(x, y)[0];
            m.g += image.at(x, y)[1];
            m.b += image.at(x, y)[2];
        }
    const double n = size * size;
    return {m.r / n, m.g / n, m.b / n};
}

bool makesLine(const Board &b) {
    for (int y = 0; y < rows; y++)
        for (int x = 0; x + 2 < columns; x++)
            if (b[x][y] == b[x + 1][y] && b[x][y] == b[x + 2][y]) return true;
    for (int x = 0; x < columns; x++)
        for (int y = 0; y + 2 < rows; y++)
            if (b[x][y] == b[x][y + 1] && b[x][y] == b[x][y + 2]) return true;
    return false;
}

// Two neighbours across, of different colours, whose exchange forms no line.
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

// Some sample of the RIFF file's "data" chunk is not silence.
bool heardAnything(const Bytes &wave) {
    for (size_t at = 12; at + 8 <= wave.size();) {
        const uint32_t length = uint32_t(wave[at + 4]) | uint32_t(wave[at + 5]) << 8 | uint32_t(wave[at + 6]) << 16 |
                                uint32_t(wave[at + 7]) << 24;
        const size_t end = std::min(wave.size(), at + 8 + size_t(length));
        if (std::string(wave.begin() + long(at), wave.begin() + long(at) + 4) == "data")
            return std::any_of(wave.begin() + long(at) + 8, wave.begin() + long(end), [](unsigned char b) { return b != 0; });
        at = at + 8 + length + (length & 1);
    }
    return false;
}

class GameEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // Relax, so that any two neighbours exchange whatever the random board.
        const int32_t prefs[5] = {100, 3, 1, 0, 0};
        const unsigned char *bytes = reinterpret_cast<const unsigned char *>(prefs);
        game.write("prefs.raw", Bytes(bytes, bytes + sizeof prefs));
        menu = game.picture("data/menu0.tga");
        inGame = game.picture("data/ingame0.tga");
        driverPage = game.picture("data/page1.jpg");
        for (int c = 0; c < 7; c++) {
            Image gem = game.picture("data/gems/set0/gem0" + std::to_string(c + 1) + ".tga");
            if (gem.width) gemCentres[c] = meanOf(gem, gem.width / 2 - 4, gem.height / 2 - 4, 8);
        }
    }

    // Dialog, driver page (Mesa draws in software), menu, then its play button.
    void startGame(GameRun &run) {
        ASSERT_TRUE(run.waitDialog()) << "no start-up dialog";
        run.pressPlay();
        ASSERT_TRUE(run.waitGameWindow()) << "no game window";
        ASSERT_TRUE(run.waitShows(driverPage, 0, 0, 0, 0, 640, 480)) << "no driver page";
        run.click(400, 420);
        ASSERT_TRUE(run.waitShows(menu, 0, 0, 0, 0, 640, 100)) << "no menu";
        run.click(489, 364);
        // The buttons stand where they belong once the spinning transition is over.
        ASSERT_TRUE(run.waitShows(inGame, 60, 432, 60, 432, 280, 36)) << "no game";
        sleepMs(100);
    }

    // The window as the player sees it now, kept as a test artefact.
    Image shot(GameRun &run, const std::string &name) {
        Image image = run.capture();
        std::filesystem::create_directories(artifactsDir);
        std::string ppm = game.path(name + ".ppm");
        std::FILE *out = std::fopen(ppm.c_str(), "wb");
        if (out) {
            std::fprintf(out, "P6\n%d %d\n255\n", image.width, image.height);
            std::fwrite(image.rgb.data(), 1, image.rgb.size(), out);
            std::fclose(out);
            std::system(("convert " + ppm + " " + artifactsDir + "/game_" + name + ".png").c_str());
        }
        return image;
    }

    // Each cell's colour: the gem picture whose centre matches best.
    Board read(const Image &image) const {
        Board board{};
        for (int x = 0; x < columns; x++)
            for (int y = 0; y < rows; y++) {
                Mean m = meanOf(image, cellLeft(x) + 14, cellTop(y) + 14, 8);
                double best = 1e9;
                for (int c = 0; c < 7; c++) {
                    double d = std::abs(m.r - gemCentres[c].r) + std::abs(m.g - gemCentres[c].g) +
                               std::abs(m.b - gemCentres[c].b);
                    if (d < best) {
                        best = d;
                        board[x][y] = c;
                    }
                }
            }
        return board;
    }

    static void clickCell(GameRun &run, int x, int y) { run.click(cellLeft(x) + 20, cellTop(y) + 20); }

    InstalledGame game{BROLIX_RUNTIME_DIR};
    Image menu, inGame, driverPage;
    Mean gemCentres[7];
};

TEST_F(GameEndToEnd, ExchangePauseNewBoardAndClose) {
    GameRun run(game);
    ASSERT_NO_FATAL_FAILURE(startGame(run));

    Image first = shot(run, "board");
    Board board = read(first);
    EXPECT_FALSE(makesLine(board)) << "a fresh board holds no line";
    int x = 0, y = 0;
    ASSERT_TRUE(quietPair(board, x, y));

    // Click a gem, then its neighbour: in relax they exchange even without a line.
    clickCell(run, x, y);
    Image selected = shot(run, "selected");
    clickCell(run, x + 1, y);
    sleepMs(600);
    run.pointAt(600, 300);
    Image exchanged = shot(run, "exchanged");
    Board after = read(exchanged);
    EXPECT_EQ(after[x][y], board[x + 1][y]);
    EXPECT_EQ(after[x + 1][y], board[x][y]);
    EXPECT_EQ(differences(board, after), 2);
    // The selection frame showed beside the first gem, and is gone after the exchange.
    EXPECT_GT(difference(selected, cellLeft(x) - 1, cellTop(y), first, cellLeft(x) - 1, cellTop(y), 1, 40), 20);
    EXPECT_LT(difference(exchanged, cellLeft(x) - 1, cellTop(y), first, cellLeft(x) - 1, cellTop(y), 1, 40), 2);

    // P shows the pause panel over the board; P again shows the same board.
    run.key("p", 150);
    ASSERT_TRUE(run.waitShows(inGame, 69, 88, 69, 498, 502, 334, 3000)) << "no pause panel";
    shot(run, "paused");
    run.key("p", 150);
    sleepMs(400);
    Image resumed = shot(run, "resumed");
    EXPECT_FALSE(run.shows(inGame, 69, 88, 69, 498, 502, 334));
    EXPECT_EQ(differences(after, read(resumed)), 0);

    // F1 deals a new board.
    run.key("F1", 150);
    sleepMs(600);
    Board fresh = read(shot(run, "new_board"));
    EXPECT_GT(differences(after, fresh), 40);
    EXPECT_FALSE(makesLine(fresh));

    x11probe::pressCloseButton(Window(GameRun::findWindow("Brolix")));
    EXPECT_EQ(run.waitExit(), 0);
    Bytes prefs = game.read("prefs.raw");
    ASSERT_EQ(prefs.size(), 20u) << "preferences saved at the end";
    EXPECT_EQ(prefs[4], 3) << "still relax";
    EXPECT_TRUE(std::filesystem::exists(game.path("data/srelx"))) << "high scores saved at the end";
    EXPECT_TRUE(heardAnything(game.read("sound.wav"))) << "the clicks and the exchange were heard";
}

}  // namespace
