// The real game under Xvfb, played with xdotool from the start-up dialog to the
// end: three runs sharing one installed copy, as one player over an evening.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "game_driver.h"

namespace {

using namespace gamedriver;

const std::string ARTIFACTS = BROLIX_ARTIFACTS_DIR;

std::string artifact(const std::string &name) {
    std::filesystem::create_directories(ARTIFACTS);
    return ARTIFACTS + "/" + name;
}

// True once the upper middle of the screen shows the same picture twice, 300 ms apart.
bool waitStill(const GameRun &run, int timeoutMs = 15000) {
    Image last = run.capture(150, 100);
    return GameRun::waitUntil([&] {
        sleepMs(300);
        Image now = run.capture(150, 100);
        const bool still = difference(now, 0, 150, last, 0, 150, 640, 100) < 0.5;
        last = std::move(now);
        return still;
    }, timeoutMs);
}

int32_t word(const Bytes &bytes, size_t offset) {
    int32_t value = 0;
    if (offset + 4 <= bytes.size()) std::memcpy(&value, &bytes[offset], 4);
    return value;
}

// Screen centre of board cell (x, y).
int cellX(int x) { return 71 + 42 * x + 21; }
int cellY(int y) { return 90 + 42 * y + 21; }

class Evening : public ::testing::Test {
protected:
    static InstalledGame *game;
    static Image menu, ingame, driverPage;

    static void SetUpTestSuite() {
        game = new InstalledGame(BROLIX_RUNTIME_DIR);
        menu = game->picture("data/menu0.tga");
        ingame = game->picture("data/ingame0.tga");
        driverPage = game->picture("data/page1.jpg");
    }
    static void TearDownTestSuite() {
        delete game;
        game = nullptr;
    }

    // Start-up as a player sees it: dialog, driver page (Mesa draws in software), menu.
    static void reachMenu(GameRun &run) {
        ASSERT_TRUE(run.waitDialog()) << "no start-up dialog";
        run.pressPlay();
        ASSERT_TRUE(run.waitGameWindow()) << "no game window";
        ASSERT_TRUE(run.waitShows(driverPage, 0, 0, 0, 0, 640, 480)) << "no driver page";
        run.click(400, 420);
        ASSERT_TRUE(menuShown(run)) << "no menu after continuing";
    }
    static bool menuShown(GameRun &run) { return run.waitShows(menu, 0, 0, 0, 0, 640, 100); }
    static bool gameShown(GameRun &run) { return run.waitShows(ingame, 0, 0, 0, 0, 640, 30); }
    static void exchange(GameRun &run, int x1, int y1, int x2, int y2) {
        run.click(cellX(x1), cellY(y1), 80);
        run.click(cellX(x2), cellY(y2), 80);
        sleepMs(250);
    }
};

InstalledGame *Evening::game = nullptr;
Image Evening::menu, Evening::ingame, Evening::driverPage;

TEST_F(Evening, FirstRunChoosesAGamePlaysAndKeepsTheChoices) {
    GameRun run(*game);
    reachMenu(run);
    run.screenshot(artifact("e2e_menu.png"));

    run.click(230, 210);   // five minutes
    run.click(320, 372);   // difficulty 2
    run.click(489, 360);   // play
    ASSERT_TRUE(gameShown(run)) << "the game did not start";
    exchange(run, 3, 3, 4, 3);
    exchange(run, 6, 5, 6, 6);
    exchange(run, 9, 1, 10, 1);
    run.screenshot(artifact("e2e_game.png"));
    run.key("Escape");
    ASSERT_TRUE(menuShown(run)) << "Escape did not lead back to the menu";

    run.click(468, 204);   // options
    run.drag({{200, 260}, {230, 260}, {260, 260}});
    run.click(200, 330);   // next gem set
    run.screenshot(artifact("e2e_options.png"));
    run.click(488, 233);   // high scores
    run.click(330, 127);   // relax tab
    run.click(442, 289);   // quit
    EXPECT_EQ(run.waitExit(), 0);

    const Bytes prefs = game->read("prefs.raw");
    ASSERT_EQ(prefs.size(), 20u);
    EXPECT_EQ(word(prefs, 0), 260 - 182) << "volume";
    EXPECT_EQ(word(prefs, 4), 1) << "game mode";
    EXPECT_EQ(word(prefs, 8), 2) << "difficulty";
    EXPECT_EQ(word(prefs, 12), 3) << "score tab";
    EXPECT_EQ(word(prefs, 16), 1) << "gem set";
    for (const char *table : {"data/s60", "data/s5mn", "data/smil", "data/srelx"})
        EXPECT_EQ(game->read(table).size(), 324u) << table;
    EXPECT_EQ(game->read("data/fullscreen.stt"), Bytes({1}));
    EXPECT_TRUE(game->read("opened.txt").empty()) << "nothing was opened in a browser";
}

TEST_F(Evening, SecondRunEndsARelaxGameAndEntersAName) {
    // A blank relax table: any points at all earn first place.
    game->write("data/srelx", Bytes(324, 0));
    GameRun run(*game);
    reachMenu(run);
    run.click(150, 372);   // difficulty 0
    run.click(230, 315);   // relax
    run.click(489, 360);
    ASSERT_TRUE(gameShown(run));

    // Relax allows any exchange; keep exchanging until the score shows points.
    // The score digits, read with the pointer out of the way.
    auto scoreDigits = [&run] {
        run.pointAt(620, 10);
        sleepMs(100);
        return run.capture(440, 30);
    };
    const Image start = scoreDigits();
    bool scored = false;
    for (int i = 0; i < 60 && !scored; i++) {
        const int x = (i * 5) % 11, y = (i * 3) % 8;
        exchange(run, x, y, x + 1, y);
        sleepMs(300);
        scored = difference(scoreDigits(), 430, 440, start, 430, 440, 170, 30) > 2;
    }
    ASSERT_TRUE(scored) << "no exchange made a line";
    sleepMs(1500);   // the result is taken at the timer's next tick, once a second
    run.pointAt(620, 10);
    const Image board = run.capture(150, 100);
    run.click(300, 450);   // menu button: a relax game ends with the game-over screen first
    run.pointAt(620, 10);
    // Keys are ignored while the entry panel grows: wait until it is there and still.
    ASSERT_TRUE(GameRun::waitUntil([&] { return difference(run.capture(150, 100), 0, 150, board, 0, 150, 640, 100) > 4; },
                                   15000)) << "no game-over screen";
    ASSERT_TRUE(waitStill(run)) << "the entry panel never settled";
    run.screenshot(artifact("e2e_name_entry_empty.png"));
    run.type("ada byron");
    run.screenshot(artifact("e2e_name_entry.png"));
    run.key("Return");
    // A new entry is saved at once; wait for it rather than guessing how long it takes.
    EXPECT_TRUE(GameRun::waitUntil([&] {
        const Bytes table = game->read("data/srelx");
        return table.size() >= 10 && std::memcmp(table.data(), "ada byron", 10) == 0;
    }, 15000)) << "the name never reached the table file";
    run.click(300, 450);   // now back to the menu
    ASSERT_TRUE(menuShown(run));
    run.key("Escape");
    EXPECT_EQ(run.waitExit(), 0);

    const Bytes table = game->read("data/srelx");
    ASSERT_EQ(table.size(), 324u);
    EXPECT_STREQ(reinterpret_cast<const char *>(&table[0]), "ada byron");
    EXPECT_GT(word(table, 32), 0) << "the relax score";
    EXPECT_EQ(table[36], 0) << "second place was blank and stays so";
}

TEST_F(Evening, ThirdRunShowsTheNameInTheScorePanel) {
    GameRun run(*game);
    reachMenu(run);
    run.click(488, 233);   // high scores
    run.click(330, 127);   // relax tab
    run.pointAt(600, 470);
    sleepMs(300);
    run.screenshot(artifact("e2e_relax_scores.png"));
    // Panel 3 comes from (642, 385) of the menu picture, drawn at (71, 113).
    const int dx = 642 - 71, dy = 385 - 113;
    ASSERT_TRUE(run.waitShows(menu, 71, 385, 71 + dx, 385 + dy, 300, 15)) << "no score panel";
    const Image screen = run.capture();
    // Only first place has a name (the second run's); the blank rows show the bare panel.
    EXPECT_GT(difference(screen, 110, 151, menu, 110 + dx, 151 + dy, 120, 10), 4) << "row 0 shows no name";
    EXPECT_LT(difference(screen, 110, 175, menu, 110 + dx, 175 + dy, 120, 10), 4) << "row 1 should be blank";
    run.click(442, 289);
    EXPECT_EQ(run.waitExit(), 0);
}

// Installed into a staging prefix and started from there by a player with a fresh
// home: the menu entry and the metainfo validate, the read-only install stays as it
// was installed, and the saves land in the home.
TEST(Installed, PlaysFromAReadOnlyInstallAndSavesInThePlayersHome) {
    const InstalledGame tools(BROLIX_RUNTIME_DIR);   // the opener and the sound file
    const std::string stage = tools.path("stage"), saves = tools.path("home/.local/share/brolix/");
    ASSERT_EQ(std::system(("'" BROLIX_CMAKE_COMMAND "' --install '" BROLIX_BINARY_DIR "' --prefix '" + stage +
                           "' >/dev/null").c_str()), 0);
    EXPECT_EQ(std::system(("desktop-file-validate " + stage + "/share/applications/org.brolix.Brolix.desktop").c_str()), 0);
    EXPECT_EQ(std::system(("appstreamcli validate --no-net " + stage + "/share/metainfo/org.brolix.Brolix.metainfo.xml"
                           " >/dev/null").c_str()), 0);
    std::system(("chmod -R a-w " + stage + " && touch " + tools.path("installed")).c_str());
    {
        GameRun run(tools, stage + "/games/brolix", {"HOME=" + tools.path("home"), "XDG_DATA_HOME="});
        EXPECT_EQ(run.reachMenu(tools.picture("data/page1.jpg"), tools.picture("data/menu0.tga")), "");
        run.key("Escape");
        EXPECT_EQ(run.waitExit(), 0);
    }
    std::system(("chmod -R u+w " + stage).c_str());
    EXPECT_EQ(commandOutput("find " + stage + " -newer " + tools.path("installed")), "") << "written into the install";
    EXPECT_EQ(tools.read("home/.local/share/brolix/prefs.raw").size(), 20u);
    for (const char *file : {"fullscreen.stt", "skin.stt", "gamepad.stt", "s60"})
        EXPECT_TRUE(std::filesystem::exists(saves + file)) << file;
}

}  // namespace
