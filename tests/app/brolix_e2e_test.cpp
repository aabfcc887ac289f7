// The real game under Xvfb, played with xdotool as a person would; CMake runs each suite on its own desktop.
#include <gtest/gtest.h>

#include "loopback_http.h"   // before X11's headers, whose macros clash with it

#include <algorithm>
#include <array>
#include <cstring>
#include <regex>

#include "KGraphicPixels.h"
#include "game_run.h"
#include "highscores.h"
#include "language.h"
#include "makers.h"
#include "played_game.h"
#include "scored_process.h"
#include "sound_files.h"

namespace {

layout::Rect cell(int x, int y) {
    const int left = layout::BOARD_X + layout::CELL * x, top = layout::BOARD_Y + layout::CELL * y;
    return {left, top, left + layout::CELL, top + layout::CELL};
}

// The board shown, read into the rules' own table: each cell the gem picture its middle matches best.
std::vector<int> readBoard(const Image &screen, const GameFolder &game, int colours) {
    std::vector<Image> gems;
    for (int c = 1; c <= colours; c++) gems.push_back(game.picture("gems/set0/gem0" + std::to_string(c) + ".tga"));
    std::vector<int> board;
    for (int i = 0; i < boardCells; i++) {
        double best = 1e9;
        for (int c = 0; c < colours; c++) {
            const Image &g = gems[c];
            const double d = difference(screen, cell(i % 12, i / 12).x1 + 14, cell(i % 12, i / 12).y1 + 14, g, g.width / 2 - 4, g.height / 2 - 4, 8, 8);
            if (d < best) best = d, tokenTable[i].color = int16_t(c);
        }
        tokenTable[i].alive = true;
        board.push_back(tokenTable[i].color);
    }
    return board;
}

// An exchange of neighbours on the board shown that makes a line: {x, y, x2, y2}, or x = -1.
std::array<int, 4> findMove(const Image &screen, const GameFolder &game, int colours) {
    readBoard(screen, game, colours);
    for (int x = 0; x < 12; x++)
        for (int y = 0; y < 8; y++)
            for (int across : {0, 1})
                if (x + across < 12 && y + 1 - across < 8 && isAPossibleMatch(x, y, x + across, y + 1 - across))
                    return {x, y, x + across, y + 1 - across};
    return {-1, 0, 0, 0};
}

// Let go 5 ms after the press, within a frame.
void tap(const std::string &key) { xdotool("keydown --delay 0 " + key + " sleep 0.005 keyup --delay 0 " + key + " sleep 0.03"); }

void switchTwiceByAltEnter(const GameRun &run) {
    for (const int width : {DisplayWidth(x11probe::display(), 0), x11probe::geometryOf(run.window()).width}) {
        xdotool("key alt+Return");
        EXPECT_TRUE(waitUntil([&] { return x11probe::geometryOf(run.window()).width == width; })) << "Alt+Enter did not switch to " << width;
    }
}

// The entry panel is centred on the band y 77..434, 3 left, 1 up; the last letter is tapped within a frame.
void enterName(GameRun &run, const Image &entry, const std::string &name, const std::string &offered = "",
               bool switchHalfway = false, int waitMs = 30000) {
    const int x = (640 - entry.width) / 2 - 3, y = int((357 - entry.height) / 2.0 + 77 - 1);
    ASSERT_TRUE(waitUntil([&] { return run.shows(entry, x + 40, y + 12, 40, 12, entry.width - 80, 50); }, waitMs))
        << "no entry; the game said: " << run.folder.read("output.txt");
    for (size_t i = 0; i < offered.size(); i++) run.key("BackSpace");
    for (size_t i = 0; i + 1 < name.size(); i++) {
        if (switchHalfway && i == name.size() / 2) switchTwiceByAltEnter(run);
        run.key(name[i] == ' ' ? "space" : name.substr(i, 1));
    }
    if (!name.empty()) tap(name.substr(name.size() - 1));
    run.key("Return");
}

// The game draws its own cursor, its picture three pixels up and left of the pointer.
bool cursorAt(GameRun &run, const Image &mouse, int px, int py) {
    const Image screen = run.capture();
    for (int y = 0; y < mouse.height; y++)
        for (int x = 0; x < mouse.width; x++)
            if (mouse.at(x, y)[3] == 255 && std::abs(screen.at(px - 3 + x, py - 3 + y)[1] - mouse.at(x, y)[1]) > 8)
                return false;
    return true;
}

// A board click whose press and release each reach the game: a release and the next press
// that fall between two of its frames would be one held press. A frame has read the pointer and
// button once the cursor moved aside and back.
void clickSeen(GameRun &run, const Image &mouse, const layout::Rect &r) {
    const int x = (r.x1 + r.x2) / 2, y = (r.y1 + r.y2) / 2;
    run.pointAt(x, y);
    for (const char *button : {"mousedown 1", "mouseup 1"}) {
        xdotool(button);
        for (int dx : {4, 0}) {
            run.pointAt(x + dx, y);
            ASSERT_TRUE(waitUntil([&] { return cursorAt(run, mouse, x + dx, y); })) << button << " not seen";
        }
    }
}

// By the game's menu button, pressed once lit under the pointer (its left end: no cursor there), so a frame reads it.
void backToMenu(GameRun &run, const Image &inGame, const Image &menu) {
    const layout::Rect &b = layout::GAME_BUTTONS[2];
    run.pointAt(b);
    ASSERT_TRUE(waitUntil([&] { return run.shows(inGame, b.x1, b.y1, b.x1, b.y1 + layout::LIT, 24, b.y2 - b.y1); }))
        << "menu button not lit";
    run.click(b);
    ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 100));
}

// The press on PLAY ends during the spin.
void playFromMenu(GameRun &run, int mode, bool start = true, const std::string &skin = "0") {
    if (start) {
        ASSERT_EQ(reachMenu(run, run.folder.picture("menu" + skin + ".tga")), "");
    }
    run.click(layout::MODE_ROWS[mode]);
    run.click(layout::DIFF_BOXES[0]);
    run.click(layout::PLAY);
    ASSERT_TRUE(run.waitShows(run.folder.picture("ingame" + skin + ".tga"), 60, 432, 280, 36)) << "no game";
}

bool pausedNow(const GameRun &run, const Image &inGame) {
    const layout::Rect &pause = layout::PAUSE_SRC;
    return run.shows(inGame, layout::PAUSE_AT.x, layout::PAUSE_AT.y, pause.x1, pause.y1, pause.x2 - pause.x1, 60);
}

// The server, down as the first game starts, keeps it unranked; the next game, on a fetched
// ticket and at its real pace (the server ranks no game older than its ticket), ranks once.
TEST(Evening, ServerDownThenUpFirstGameUnrankedNextRankedOnce) {
    GameFolder game(BROLIX_E2E_GAME);
    const int port = unusedLoopbackPort();
    std::string prefs(20, '\0');
    prefs[0] = 100, prefs[4] = 3, prefs[8] = 0;   // volume 100, relax, difficulty 0
    game.write("prefs.raw", prefs);
    game.write("data/fullscreen.stt", "\1");   // without it the skin file is not read
    game.write("data/skin.stt", std::string("\1\0\0\0", 4));
    game.write("data/gamepad.stt", "\1");
    const Image menu = game.picture("menu1.tga"), inGame = game.picture("ingame1.tga");
    const Image entry = game.picture("entername1.tga");
    GameRun run(game, {"BROLIX_TEST_SCORE_HOST=127.0.0.1:" + std::to_string(port)});
    ASSERT_NO_FATAL_FAILURE(playFromMenu(run, 0, true, "1"));
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(game.path("brolix0dif0.journal")); }))
        << "a game kept beside the program journals there";
    ScoredProcess server(game.path("scores.db"), port);
    ASSERT_TRUE(server.ok());
    const int gameMs = 2 * 61 * 75 * 14;   // its length, twice over
    ASSERT_NO_FATAL_FAILURE(enterName(run, entry, "bob", "", false, gameMs));
    const std::string db = game.path("scores.db"), scores = "SELECT printf('%s %d %d', name, verified, ranked) FROM scores ORDER BY id";
    ASSERT_TRUE(waitUntil([&] { return !rows(db, scores).empty(); })) << "not on the server";
    EXPECT_EQ(rows(db, scores), std::vector<std::string>{"bob 1 0"});
    ASSERT_NO_FATAL_FAILURE(backToMenu(run, inGame, menu));
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(game.path("next.ticket")); })) << "no ticket fetched";
    run.click(layout::PLAY);
    ASSERT_NO_FATAL_FAILURE(enterName(run, entry, "ada lovelace", "bob", false, gameMs));
    EXPECT_TRUE(waitUntil([&] { return rows(db, scores).size() == 2; })) << "not on the server; the game said: " << game.read("output.txt");
    EXPECT_EQ(rows(db, scores), (std::vector<std::string>{"bob 1 0", "ada lovelace 1 1"})) << "verified by its record, ranked on its ticket";
    ASSERT_NO_FATAL_FAILURE(backToMenu(run, inGame, menu));
    run.key("Escape");
    ASSERT_EQ(run.waitExit(), 0);
    prefs[4] = 0;
    EXPECT_EQ(game.read("prefs.raw"), prefs) << "volume 100, sixty seconds, difficulty 0";
    EXPECT_EQ(game.read("opened.txt"), "") << "nothing opened in a browser";
    EXPECT_GT(heardIn(game.read("sound.wav")).seconds, 0) << "nothing was heard";
}

// A relax game by the keyboard alone. A board is read once still for twenty frames: at the end of a
// clearing two pictures alike can still be a board that takes no click.
void relaxGameByKeys(GameRun &run, const GameFolder &game) {
    const Image inGame = game.picture("ingame0.tga"), frame = loadImage(game.path("data/cursor0.tga"), true);
    const auto focusOn = [&](const layout::Rect &r) { return run.capture().at(r.x1 - 3, r.y1 - 3)[0] > 240; };
    EXPECT_FALSE(focusOn(layout::MODE_ROWS[3])) << "a focus before any key";
    for (const char *k : {"Tab", "Down", "Down", "Down"}) tap(k);
    EXPECT_TRUE(waitUntil([&] { return focusOn(layout::MODE_ROWS[3]); })) << "no focus on relax";
    tap("Return");
    tap("Escape");   // in a panel: back to its main button, the game stays
    EXPECT_TRUE(waitUntil([&] { return focusOn(layout::MAIN_BUTTONS[0]); })) << "Escape did not go back";
    for (int i = 0; i < 6; i++) tap("Down");   // the other main buttons, then PLAY
    tap("Return");
    EXPECT_TRUE(run.waitShows(inGame, 60, 432, 280, 36)) << "no game";
    Image last;
    int cx = 0, cy = 0;
    // Two taps within one frame would be one: each waits for the cursor to move.
    const auto step = [&](const std::string &key, int x, int y) {
        tap(key);
        EXPECT_TRUE(waitUntil([&] { return cursorAt(run, frame, cell(x, y).x1 + 1, cell(x, y).y1 + 1); })) << key;
        cx = x, cy = y;
    };
    step("Right", 0, 0);   // shows the cursor at (0, 0)
    const auto boardChanged = [&] { return difference(run.capture(), 71, 90, last, 71, 90, 504, 336) > 0; };
    for (int n = 0; n < 3; n++) {
        EXPECT_TRUE(run.waitStill(last, 300));
        const std::array<int, 4> move = findMove(last, game, 7);
        if (move[0] < 0) return ADD_FAILURE() << "no move";
        while (cx != move[0]) step(cx < move[0] ? "Right" : "Left", cx + (cx < move[0] ? 1 : -1), cy);
        while (cy != move[1]) step(cy < move[1] ? "s" : "w", cx, cy + (cy < move[1] ? 1 : -1));
        step(move[2] > move[0] ? "shift+Right" : "shift+Down", move[2], move[3]);
        EXPECT_TRUE(waitUntil(boardChanged)) << "move " << n << " not made";
    }
    EXPECT_TRUE(run.waitStill(last, 300));
    tap("h");
    EXPECT_TRUE(waitUntil(boardChanged)) << "no hint";
    tap("p");
    EXPECT_TRUE(waitUntil([&] { return pausedNow(run, inGame); })) << "a tap of P did not pause";
    tap("p");
    EXPECT_TRUE(waitUntil([&] { return !pausedNow(run, inGame); })) << "a tap of P did not resume";
    tap("Escape");
    enterName(run, game.picture("enternamer0.bmp"), "keys", "", true);
    tap("Escape");
    EXPECT_TRUE(run.waitShows(game.picture("menu0.tga"), 0, 0, 640, 100));
}


// What the game showed when it was killed: its board at rest, its timer over the last two seconds.
struct Killed {
    Image screen;
    std::vector<std::pair<std::chrono::steady_clock::time_point, Image>> timers;
};

// One exchange that scores, the board at rest, two seconds of play, then kill -9.
Killed playThenKill(GameRun &run, const GameFolder &game) {
    Killed killed;
    const Image mouse = loadImage(game.path("data/mouse.tga"), true);
    run.pointAt(5, 250);
    EXPECT_TRUE(run.waitStill(killed.screen, 300));
    const std::array<int, 4> move = findMove(killed.screen, game, 5);
    EXPECT_GE(move[0], 0) << "no move found on the board";
    clickSeen(run, mouse, cell(move[0], move[1]));
    clickSeen(run, mouse, cell(move[2], move[3]));
    run.pointAt(5, 250);
    EXPECT_TRUE(waitUntil([&] { return difference(run.capture(), 435, 442, killed.screen, 435, 442, 150, 26) > 2; }));
    EXPECT_TRUE(run.waitStill(killed.screen, 300));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    // Polled, not in a busy loop: a starved game would play no frame to write.
    waitUntil([&] {
        killed.timers.push_back({std::chrono::steady_clock::now(), run.capture(37, 30)});
        return std::chrono::steady_clock::now() > until;
    });
    kill(run.pid(), SIGKILL);
    const auto at = std::chrono::steady_clock::now();
    EXPECT_EQ(run.waitExit(), -1);
    const auto old = [&](auto &t) { return at - t.first > std::chrono::milliseconds(1300); };
    killed.timers.erase(std::remove_if(killed.timers.begin(), killed.timers.end(), old), killed.timers.end());
    return killed;
}

// The killed game back, paused, with its score, a timer of its last second of play, and its board.
void expectResumed(GameRun &run, const GameFolder &game, const Killed &killed) {
    const Image inGame = game.picture("ingame0.tga");
    // The paused game spins in, its score with it.
    const auto sameScore = [&] { return run.shows(killed.screen, 435, 442, 435, 442, 150, 26); };
    EXPECT_TRUE(waitUntil([&] { return pausedNow(run, inGame) && sameScore(); })) << "not paused with the same score";
    Image now;   // the screen standing still: the spin has ended
    EXPECT_TRUE(run.waitStill(now, 300) && pausedNow(run, inGame));
    const auto shown = [&](auto &t) { return difference(now, 560, 37, t.second, 560, 37, 75, 28) < 2; };
    EXPECT_TRUE(std::any_of(killed.timers.begin(), killed.timers.end(), shown)) << "the timer is not one shown in the last second of play";
    tap("p");
    ASSERT_TRUE(waitUntil([&] { return !pausedNow(run, inGame); }));
    Image board;
    ASSERT_TRUE(run.waitStill(board, 300));
    EXPECT_EQ(readBoard(board, game, 5), readBoard(killed.screen, game, 5)) << "another board";
}

// Installed and started with a fresh home: every save lands in the player's folders, the install is read-only.
TEST(Installed, RecordsWatchedKeysAloneThenKilledGamesComeBackAtTheNextPlay) {
    GameFolder game;   // the opener and the sound file
    const std::string stage = game.path("stage"), state = game.path("state/brolix/");
    ASSERT_EQ(std::system(("'" BROLIX_CMAKE_COMMAND "' --install '" BROLIX_BINARY_DIR "' --prefix '" + stage + "' >/dev/null").c_str()), 0);
    EXPECT_EQ(std::system(("desktop-file-validate " + stage + "/share/applications/org.brolix.Brolix.desktop && appstreamcli " +
                           "validate --no-net " + stage + "/share/metainfo/org.brolix.Brolix.metainfo.xml >/dev/null").c_str()), 0);
    game.write("installed", "");
    std::filesystem::create_directories(state);
    std::filesystem::create_directories(game.path("xdg/brolix"));
    game.write("xdg/brolix/srelx", std::string(324, '\0'));
    game.write("state/brolix/brolix2dif0.journal", std::string("BRXR\2\0\2\0\2\0\5\x60\0\0\0\0\0\0\0\0\0\x05\x09\x01", 24));   // unknown input
    std::string other = writeRecordHeader(RecordHeader{});
    other[6] = 9;
    game.write("state/brolix/brolix0dif0.journal", other);
    const std::vector<std::string> env = {"XDG_DATA_HOME=" + game.path("xdg"), "XDG_STATE_HOME=" + game.path("state"), "BROLIX_TEST_SEED=25"};
    const std::vector<std::string> installed = {stage + "/games/brolix"};   // frames paced: a tap is one press, in the menu too
    const Image inGame = game.picture("ingame0.tga");
    // Nothing is saved by watching; the faults a record may have are the record test's.
    {
        PlayedGame played(modeFiveMinutes, 0, 7, 7);
        played.exchange();
        played.frames(300);
        played.clickButton(2);
    }
    const std::string record = writeRecord(gameRecord);
    game.write("game.brxr", record);
    game.write("cut.brxr", record.substr(0, record.size() - 4));
    for (bool escape : {false, true}) {
        GameRun run(game, env, {installed[0], "--replay", game.path("game.brxr")});
        ASSERT_TRUE(run.waitWindow("Brolix"));
        ASSERT_TRUE(run.waitShows(inGame, 60, 432, 280, 36)) << "no game";
        tap(escape ? "Escape" : "p");
        if (!escape) {
            waitUntil([&] { return !run.running() || pausedNow(run, inGame); });   // the record's end bounds the wait
            EXPECT_TRUE(run.running() && pausedNow(run, inGame)) << "P did not pause";
            tap("p");
        }
        EXPECT_EQ(run.waitExit(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(game.path("xdg/brolix/prefs.raw")) || std::filesystem::exists(game.path("xdg/brolix/s5mn")));
    for (const auto &[file, fault] : std::vector<std::pair<std::string, std::string>>{
             {"cut.brxr", "truncated"}, {"none.brxr", "cannot be opened"}}) {
        GameRun run(game, env, {installed[0], game.path(file)});   // as a file manager opens a record: said in a box too
        std::string box;   // whose name xdotool cannot read: found in the window tree
        EXPECT_TRUE(waitUntil([&] {
            box = commandOutput("xwininfo -root -children | grep '\"Brolix: game record\"' | grep -o '0x[0-9a-f]*'");
            return !box.empty();
        })) << "no box";
        xdotool("windowfocus --sync " + box.substr(0, box.find('\n')) + " key Return");
        EXPECT_EQ(run.waitExit(), 1) << file;
        EXPECT_NE(game.read("output.txt").find("brolix: " + game.path(file) + ": " + fault), std::string::npos) << file;
    }
    Killed killed;
    {
        GameRun run(game, env, installed);
        ASSERT_EQ(reachMenu(run, game.picture("menu0.tga")), "");
        relaxGameByKeys(run, game);
        ASSERT_NO_FATAL_FAILURE(playFromMenu(run, 1, false));
        killed = playThenKill(run, game);
    }
    ASSERT_FALSE(game.read("state/brolix/brolix1dif0.journal").empty());
    // Each killed game back and ended; then a set-aside journal's mode starts anew: million, killed in turn, then sixty seconds.
    for (const auto &[mode, next] : {std::pair{1, 2}, std::pair{2, 0}}) {
        GameRun run(game, env, installed);
        ASSERT_NO_FATAL_FAILURE(playFromMenu(run, mode));
        expectResumed(run, game, killed);
        run.key("Escape");
        ASSERT_TRUE(run.waitShows(game.picture("menu0.tga"), 0, 0, 640, 100));
        const std::string journal = "brolix" + std::to_string(mode) + "dif0.journal";
        EXPECT_FALSE(std::filesystem::exists(state + journal)) << "Escape leaves " << journal;
        ASSERT_NO_FATAL_FAILURE(playFromMenu(run, next, false));
        Image board;
        EXPECT_TRUE(run.waitStill(board, 300) && !pausedNow(run, inGame)) << "a set-aside journal is continued, mode " << next;
        if (next == 2) {
            killed = playThenKill(run, game);
            continue;
        }
        run.key("Escape");
        ASSERT_TRUE(run.waitShows(game.picture("menu0.tga"), 0, 0, 640, 100));
        tap("Escape");   // outside any panel: Escape leaves
        EXPECT_EQ(run.waitExit(), 0);
    }
    const std::string said = game.read("output.txt");
    for (const char *journal : {"brolix2dif0.journal: unknown input kind 9; set aside as ", "brolix0dif0.journal: recorded under rules version 9"}) {
        const size_t at = said.find(journal);
        EXPECT_NE(at, std::string::npos) << journal << " not said\n" << said;
        EXPECT_EQ(said.find(journal, at + 1), std::string::npos) << "said twice";
    }
    EXPECT_EQ(commandOutput("ls '" + state + "' | grep -c journal"), "2\n") << "both set aside, no journal left";
    EXPECT_EQ(commandOutput("find '" + stage + "' -newer '" + game.path("installed") + "'"), "") << "written to";
    EXPECT_EQ(game.read("xdg/brolix/prefs.raw").size() + game.read("xdg/brolix/s60").size(), 20u + 324u);
    EXPECT_EQ(game.read("xdg/brolix/fullscreen.stt"), "\1");
    sHighScores relax{};
    const std::string table = game.read("xdg/brolix/srelx");
    std::memcpy(&relax, table.data(), std::min(table.size(), sizeof relax));
    const auto kept = [](const sHighEntry &e) { return e.name == std::string("keys") && e.score > 0; };
    EXPECT_TRUE(std::any_of(std::begin(relax.players), std::end(relax.players), kept)) << "the relax result was lost with the killed game";
}

// Covered by another window, then (unless that one keeps the focus) hidden and shown: the game
// draws its picture again though nothing in it changed.
void expectRepaintedAfterCover(GameRun &run, const char *when, bool hide = true) {
    Display *d = x11probe::display();
    const x11probe::Geometry at = x11probe::geometryOf(run.window());
    const Image before = run.capture();
    const Window cover = XCreateSimpleWindow(d, DefaultRootWindow(d), at.x, at.y, at.width, at.height, 0, 0, WhitePixel(d, 0));
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XChangeWindowAttributes(d, cover, CWOverrideRedirect, &attributes);
    XMapRaised(d, cover);
    XSync(d, False);
    EXPECT_TRUE(waitUntil([&] { return run.capture().rgb[1000] == 255; })) << when << ": not covered";
    XDestroyWindow(d, cover);
    const auto restored = [&] { return difference(run.capture(), 0, 0, before, 0, 0, 640, 480) < 1; };
    EXPECT_TRUE(waitUntil(restored)) << when << ": covered";
    if (!hide) return;
    const std::string window = std::to_string(run.window());
    xdotool("windowunmap --sync " + window + " windowmap --sync " + window + " windowfocus --sync " + window);
    EXPECT_TRUE(waitUntil(restored)) << when << ": hidden";
}

// On a 1920x1080 desktop the windowed game opens at 2x. The dialog's focus starts on
// "Play Full Screen"; Tab goes on to the skins, "Internet Scoring", Help, Quit and Play.
TEST(Screens, ChosenFittedResizedSwitchedAndRepaintedWhileWaiting) {
    GameFolder game;
    game.write("data/fullscreen.stt", std::string(1, '\0'));
    game.write("data/skin.stt", std::string("\1\0\0\0", 4));
    const Image menu = game.picture("menu2.tga"), inGame = game.picture("ingame2.tga");
    const std::string index = game.path("data/help/index.html\n");
    {
        GameRun run(game, {"BROLIX_NO_FRAME_WAIT=1"});
        ASSERT_TRUE(run.waitWindow("Welcome to Brolix !"));
        xdotool("key Escape Tab Tab Tab space");
        EXPECT_TRUE(waitUntil([&] { return game.read("opened.txt") == index; })) << game.read("opened.txt");
        xdotool("key shift+Tab space shift+Tab Down shift+Tab space Return");
        ASSERT_TRUE(run.waitWindow("Brolix"));
        EXPECT_EQ(run.width * 1000 + run.height, 1280 * 1000 + 960);
        EXPECT_EQ(game.read("data/fullscreen.stt") + game.read("data/skin.stt") + game.read("data/gamepad.stt"), std::string("\1\2\0\0\0\1", 6));
        ASSERT_TRUE(run.waitShows(game.picture("page1.jpg"), 0, 0, 640, 480)) << "no driver page";
        expectRepaintedAfterCover(run, "driver page");
        run.click(layout::DRIVER_CONTINUE);
        ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 100)) << "no menu";

        const std::string window = std::to_string(run.window());
        xdotool("windowsize --sync " + window + " 1000 700");
        run.measure();
        ASSERT_EQ(run.width, 1000);
        run.click(layout::MODE_ROWS[3]);   // relax
        run.click(layout::PLAY);
        ASSERT_TRUE(run.waitShows(inGame, 60, 432, 280, 36)) << "no game at 1000x700";
        Image last;
        run.pointAt(620, 10);
        ASSERT_TRUE(run.waitStill(last));
        const layout::Rect gem = cell(2, 2), still = cell(5, 4);
        run.click(gem);
        run.pointAt(620, 10);
        const auto changed = [&](const layout::Rect &r) { return difference(run.capture(), r.x1, r.y1, last, r.x1, r.y1, 40, 40); };
        EXPECT_TRUE(waitUntil([&] { return changed(gem) > 8; })) << "the gem under the pointer is not selected";
        EXPECT_LT(changed(still), 1);
        run.click(gem);   // taken back
        ASSERT_TRUE(run.waitStill(last));

        Display *d = x11probe::display();   // another program takes the focus
        const Window other = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 50, 50, 0, 0, 0);
        XMapRaised(d, other);
        XSync(d, False);
        xdotool("windowfocus --sync " + std::to_string(other));
        expectRepaintedAfterCover(run, "behind another window", false);
        run.click(gem);
        EXPECT_TRUE(waitUntil([&] { return commandOutput("xdotool getwindowfocus") == window + "\n"; })) << "the click gave no focus";
        XDestroyWindow(d, other);

        run.key("F11");
        EXPECT_TRUE(waitUntil([&] { return run.measure(), run.width == 1920 && run.height == 1080; })) << "not full screen";
        ASSERT_TRUE(run.waitShows(inGame, 60, 432, 280, 36)) << "no game at full screen";
        run.key("Escape");
        ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 100));
        ASSERT_TRUE(run.waitStill(last));   // the menu scrolls in, and takes no key till it is still
        run.key("Escape");
        EXPECT_EQ(run.waitExit(), 0);
    }
    EXPECT_EQ(game.read("data/fullscreen.stt"), std::string(1, '\0'));
    EXPECT_EQ(game.read("data/window.stt"), placeBytes({320, 60, 1000, 700}));

    GameRun again(game, {"BROLIX_NO_FRAME_WAIT=1"});
    ASSERT_TRUE(again.passDialog());   // "Play Full Screen" now ticked
    EXPECT_EQ(again.width * 1000 + again.height, 1920 * 1000 + 1080);
    ASSERT_TRUE(again.waitShows(game.picture("page1.jpg"), 0, 0, 640, 480)) << "no driver page at full screen";
    again.key("F11");
    EXPECT_TRUE(waitUntil([&] { return again.measure(), again.width == 1000 && again.height == 700; })) << "not back";
    again.click(layout::DRIVER_DOWNLOAD);
    EXPECT_EQ(again.waitExit(), 0);
    EXPECT_EQ(game.read("data/fullscreen.stt"), "\1");
    const std::string driverPage = *BROLIX_DRIVER_PAGE ? BROLIX_DRIVER_PAGE : game.path("data/help/driver.html");
    EXPECT_EQ(game.read("opened.txt"), index + driverPage + "\n");
}

// Openbox places a new or newly framed window by its frame; 5 ms taps of F11 race the switch.
TEST(WindowManager, PlaceKeptAcrossSwitchesRestartsAndMaximize) {
    GameFolder game;
    GameRun openbox(game, {}, {"/usr/bin/openbox"});
    ASSERT_TRUE(waitUntil(x11probe::windowManagerRuns)) << game.read("output.txt");
    game.write("data/fullscreen.stt", "\1");
    const x11probe::Geometry left{501, 320, 1280, 960}, fullScreen{0, 0, 2560, 1440};
    game.write("data/window.stt", placeBytes(left));
    const Image page = game.picture("page1.jpg");
    for (int start = 1; start <= 6; start++) {
        GameRun run(game, {"BROLIX_NO_FRAME_WAIT=1"});
        ASSERT_TRUE(run.passDialog());
        const auto here = [&] { return x11probe::placeOf(x11probe::geometryOf(run.window())); };
        const auto placed = [&](const x11probe::Geometry &g) { return waitUntil([&] { return here() == x11probe::placeOf(g); }); };
        const auto maximized = [&] {   // the frame and the state change in steps
            return waitUntil([&] {
                const x11probe::Geometry m = x11probe::maximizedPlace(run.window());
                return x11probe::isMaximized(run.window()) && m.width > 2000 && here() == x11probe::placeOf(m);
            });
        };
        EXPECT_TRUE(start < 6 ? placed(left) : maximized()) << "start " << start << " at " << here();
        run.measure();
        ASSERT_TRUE(run.waitShows(page, 0, 0, 640, 480)) << "no driver page";
        if (start == 5) x11probe::askMaximize(run.window());
        ASSERT_TRUE(start != 5 || maximized()) << "not maximized";
        const int trips = start == 1 ? 15 : start == 5 ? 1 : 0;   // the maximized window's one trip comes back maximized
        for (int trip = 1; trip <= trips; trip++) {
            tap("F11");
            ASSERT_TRUE(placed(fullScreen)) << "trip " << trip << ": the tap was missed";
            tap("F11");
            ASSERT_TRUE(start == 5 ? maximized() : placed(left)) << "trip " << trip << " back at " << here();
        }
        xdotool("windowfocus --sync " + std::to_string(run.window()) + " key alt+F4");
        EXPECT_EQ(run.waitExit(), 0);
        EXPECT_EQ(game.read("data/window.stt"), placeBytes(left, start >= 5)) << "start " << start;
    }
}

// The picture as the game shows it in that language: its overlay's rectangles laid over it.
Image inLanguage(const GameFolder &game, const std::string &name, const std::string &code) {
    Image picture = game.picture(name);
    const std::string overlay = "data/lang/" + code + "/" + name.substr(0, name.find_last_of('.')) + ".png";
    const std::string bytes = game.read(overlay);
    std::vector<KPixels::OverlayRect> rects;
    if (bytes.empty() || !KPixels::overlayRects(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), rects))
        return picture;
    const Image atlas = loadImage(game.path(overlay), true);
    const uint32_t density = KPixels::overlayDensity(rects, uint32_t(picture.width), uint32_t(picture.height),
                                                     uint32_t(atlas.width), uint32_t(atlas.height));
    EXPECT_GT(density, 0u) << overlay;
    uint32_t top = 0;
    for (const KPixels::OverlayRect &r : rects) {
        std::vector<uint8_t> part(size_t(r.w) * r.h * 4);
        KPixels::scaleArea(atlas.at(0, int(top)), r.w * density, r.h * density, size_t(atlas.width) * 4, part.data(), r.w, r.h);
        for (uint32_t y = 0; y < r.h; y++)
            for (uint32_t x = 0; x < r.w; x++)
                for (int c = 0; c < 3; c++)
                    picture.rgb[((size_t(r.y) + y) * picture.width + r.x + x) * 3 + c] = part[(size_t(y) * r.w + x) * 4 + c];
        top += r.h * density;
    }
    return picture;
}

// The screen shows this region of one picture rather than the other; lit: the lit copy lies that far below.
bool showsRather(const GameRun &run, const Image &shown, const Image &other, const layout::Rect &r, int lit = 0) {
    const int w = r.x2 - r.x1, h = r.y2 - r.y1;
    const Image screen = run.capture(r.y1, h);
    const double near = difference(screen, r.x1, r.y1, shown, r.x1, r.y1 + lit, w, h);
    return near < 12 && difference(screen, r.x1, r.y1, other, r.x1, r.y1 + lit, w, h) > near + 8;
}

struct Start {
    std::vector<std::string> env;
    std::string title;    // of the dialog, in the language it opens in
    std::string keys;     // what the player types in it
    std::string code;     // the language the game then speaks
    std::string kept;     // data/language.stt afterwards
};

// Keys that pick a language in the dialog's list, reached by shift+Tab from the first box, then Play.
std::string pick(const std::string &code) {
    const std::vector<ShippedLanguage> &shipped = shippedLanguages();
    size_t at = 0;
    while (at < shipped.size() && shipped[at].code != code) at++;
    std::string keys = "shift+Tab End";
    for (size_t up = at + 1; up < shipped.size(); up++) keys += " Up";
    return keys + " Tab Return";
}

// The desktop's language with only C.UTF-8 generated (as in many containers), then the dialog's pick over it.
TEST(Languages, DesktopLocaleWithoutTheLocaleGeneratedThenTheDialogsChoice) {
    GameFolder game;
    std::filesystem::copy(BROLIX_RUNTIME_DIR "/locale", game.path("locale"), std::filesystem::copy_options::recursive);
    ASSERT_EQ(commandOutput("locale -a | grep -ci '^de_DE\\|^ja_JP' || true"), "0\n") << "the locales must not be there";
    const Image english = game.picture("menu0.tga"), englishDriver = game.picture("page1.jpg");
    const layout::Rect first = layout::MAIN_BUTTONS[0];
    const std::vector<std::string> german = {"LANG=de_DE.UTF-8", "LANGUAGE=de", "LC_ALL=", "LC_MESSAGES="};
    const std::vector<std::string> unknown = {"LANG=xx_YY.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="};
    const Start starts[] = {
        {german, "Willkommen bei Brolix!", "Return", "de", ""},
        {{"LANG=ja_JP.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="}, "Brolix へようこそ！", "Return", "ja", ""},
        {unknown, "Welcome to Brolix !", "Return", "en", ""},
        {german, "Willkommen bei Brolix!", pick("ja"), "ja", "ja"},   // picked in the dialog: over the desktop's, and kept
        {unknown, "Brolix へようこそ！", "Return", "ja", "ja"},
    };
    for (const Start &start : starts) {
        SCOPED_TRACE(start.env[0] + " " + start.env[1] + ", " + start.keys + ": " + start.code);
        const Image menu = inLanguage(game, "menu0.tga", start.code), driver = inLanguage(game, "page1.jpg", start.code);
        GameRun run(game, start.env);
        ASSERT_TRUE(run.passDialog(start.keys, start.title)) << "no dialog titled " << start.title << ", or no game after it";
        ASSERT_TRUE(run.waitShows(driver, 0, 0, 640, 480)) << "no driver page";
        EXPECT_TRUE(start.code == "en" || showsRather(run, driver, englishDriver, {0, 0, 640, 480}));
        run.click(layout::DRIVER_CONTINUE);
        ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 480)) << "no menu";
        EXPECT_TRUE(start.code == "en" || showsRather(run, menu, english, first, layout::LIT))
            << "the first button (lit: its panel is open) is not in its language";
        run.key("Escape");
        EXPECT_EQ(run.waitExit(), 0);
        EXPECT_EQ(game.read("data/language.stt"), start.kept);
    }
}

// A private compositor in its own runtime folder (0700): its X11 back end on the test's Xvfb gives a
// seat without a GPU and passes xdotool's input on; "headless" has no seat.
struct Weston {
    TempDir runtime{"brolix-wayland"};
    std::string socket = "brolix-" + std::to_string(getpid());
    GameRun run;
    unsigned long window = 0;   // weston's own X window, its output

    explicit Weston(GameFolder &game, const std::string &backend = "x11")
        : run(game, {"XDG_RUNTIME_DIR=" + runtime.root()},
              {"/usr/bin/weston", "--backend=" + backend + "-backend.so", "--use-pixman", "--width=800", "--height=600",
               "--no-config", "--socket=" + socket, "--log=" + runtime.path("weston.log")}) {
        const std::regex id("x11 output 800x600, window id ([0-9]+)");
        std::smatch m;
        waitUntil([&] {
            const std::string log = runtime.read("weston.log");
            return std::filesystem::exists(runtime.path(socket)) &&
                   (backend != "x11" || (std::regex_search(log, m, id) && (window = std::stoul(m[1])) != 0));
        });
    }
    std::vector<std::string> clientEnv() const {
        return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + runtime.root(), "BROLIX_SHOW_VIDEO_DRIVER=1"};
    }
};

pid_t childOf(pid_t pid) {
    return pid_t(std::atol(commandOutput("cat /proc/" + std::to_string(pid) + "/task/*/children 2>/dev/null").c_str()));
}
// Ended, or a zombie no one reaps: either way off the screen.
bool gone(pid_t pid) {
    const std::string stat = commandOutput("cat /proc/" + std::to_string(pid) + "/stat 2>/dev/null");
    const size_t end = stat.rfind(')');
    return end == std::string::npos || stat.compare(end + 2, 1, "Z") == 0;
}

// SDL's Wayland driver would crash on a compositor without a seat: the game goes to X11 instead.
// Natively, partial presents must survive a back buffer EGL gives back undefined after each swap.
TEST(Wayland, WithoutASeatThenNativeMaximizedFullScreenAndBackThenTheCompositorGoes) {
    GameFolder game;
    Weston seatless(game, "headless");
    std::vector<std::string> env = seatless.clientEnv();
    for (int signal : {SIGTERM, SIGKILL}) {
        GameRun run(game, env);
        pid_t dialog = 0;
        ASSERT_TRUE(waitUntil([&] { return (dialog = childOf(run.pid())) != 0; }));
        // Once the video system runs (the game prepares it while the dialog shows) SIGTERM is caught: a quit event.
        const std::string status = "sed -n 's/^SigCgt://p' /proc/" + std::to_string(run.pid()) + "/status";
        ASSERT_TRUE(waitUntil([&] { return std::strtoul(commandOutput(status).c_str(), nullptr, 16) >> (SIGTERM - 1) & 1; }));
        kill(run.pid(), signal);
        EXPECT_TRUE(waitUntil([&] { return !run.running(); })) << strsignal(signal);
        EXPECT_TRUE(waitUntil([&] { return gone(dialog); })) << "the dialog outlived the game, " << strsignal(signal);
    }
    GameRun run(game, env);
    ASSERT_EQ(reachMenu(run, game.picture("menu0.tga")), "") << game.read("output.txt");
    EXPECT_NE(game.read("output.txt").find("could not start: the compositor offers no seat (no keyboard, no pointer); using x11"),
              std::string::npos) << game.read("output.txt");
    run.key("Escape");
    EXPECT_EQ(run.waitExit(), 0);
    env.push_back("DISPLAY=");
    GameRun nowhere(game, env);
    EXPECT_EQ(nowhere.waitExit(), 1);
    EXPECT_NE(game.read("output.txt").find("neither the wayland nor the x11 video driver could start"), std::string::npos);

    Weston weston(game);   // its output 800x600 at (0, 0) of the X screen, a 32-pixel panel on top
    ASSERT_NE(weston.window, 0u) << game.read("output.txt") << weston.runtime.read("weston.log");
    game.write("data/fullscreen.stt", "\1");
    GameRun native(game, weston.clientEnv());   // DISPLAY stays set: Wayland is to be preferred, not the only choice
    native.useArea(x11probe::geometryOf(weston.window));   // the game on weston's output, its keys going there
    xdotool("windowfocus --sync " + std::to_string(weston.window));
    pid_t dialog = 0;
    EXPECT_TRUE(waitUntil([&] { return (dialog = childOf(native.pid())) != 0; })) << "no dialog process";
    const Image page = game.picture("page1.jpg"), menu = game.picture("menu0.tga");
    // Return once weston gives the dialog the keyboard, until the game's window opens.
    const auto opened = [&] { return game.read("output.txt").find("brolix: video driver wayland\n") != std::string::npos; };
    ASSERT_TRUE(waitUntil([&] { return xdotool("key Return") && waitUntil(opened, 2000); }, 60000)) << "no game window";
    const auto fullScreen = [&] { return native.shows(page, 0, 0, 0, 0, 640, 480); };
    // The dark title bar reaches both edges under the panel: the window is maximized.
    const auto maximized = [&] {   // weston's whole output: row 32 is its screen row 40, 0 and 639 its edge pixels
        const Image bar = native.capture(32, 1);
        const auto dark = [&](int x) { return bar.at(x, 32)[0] + bar.at(x, 32)[1] + bar.at(x, 32)[2] < 100; };
        return dark(0) && dark(639);
    };
    ASSERT_FALSE(maximized()) << "maximized before it was asked";
    // Weston's own key, again until the window has the keyboard.
    ASSERT_TRUE(waitUntil([&] { return xdotool("key super+shift+m") && waitUntil(maximized, 2000); }, 20000)) << "not maximized";
    xdotool("key F11");
    ASSERT_TRUE(waitUntil(fullScreen)) << "not full screen";
    xdotool("key F11");
    EXPECT_TRUE(waitUntil([&] { return !fullScreen() && maximized(); })) << "not maximized again";
    ASSERT_TRUE(native.running()) << game.read("output.txt");

    xdotool("key Return");   // the driver page, then the menu
    native.useArea({0, 32 + 24, 800, 600 - 32 - 24});   // under the panel and the title bar
    ASSERT_TRUE(native.waitShows(menu, 0, 0, 640, 100)) << "no menu";
    EXPECT_TRUE(dialog && gone(dialog));
    // weston's X11 back end follows the X pointer by its relative motion, and takes its place
    // only as it enters weston's window: aimed from inside, every click would land elsewhere.
    xdotool("mousemove 1000 750");
    const layout::Rect &quit = layout::MAIN_BUTTONS[5], &away = layout::MAIN_BUTTONS[0];
    native.pointAt(away.x2 + 40, 470);
    xdotool("click 1");   // a click on nothing, as a player's first: the window has the pointer and the keys
    Image before = native.capture(), after;
    ASSERT_TRUE(native.waitStill(before));
    const auto lit = [&](const Image &now) {
        return difference(now, quit.x1, quit.y1, before, quit.x1, quit.y1, quit.x2 - quit.x1, quit.y2 - quit.y1);
    };
    native.pointAt(quit);
    Image hovered;
    EXPECT_TRUE(waitUntil([&] { return lit(hovered = native.capture()) > 12; })) << "no hover shown";
    const int px = away.x2 + 40, py = 470;
    native.pointAt(px, py);
    EXPECT_TRUE(waitUntil([&] { return lit(after = native.capture()) < 1; })) << "the lit button stayed";
    ASSERT_TRUE(native.waitStill(after));
    EXPECT_LT(difference(after, 0, 0, before, 0, 0, 640, 480), 2) << "not the picture it was";
    // Off the game's window (onto weston's panel), the game's own pointer picture goes with the pointer.
    const auto pointerDrawn = [&](const Image &now) { return difference(now, px, py, hovered, px, py, 12, 8) > 1; };
    EXPECT_TRUE(pointerDrawn(after));
    xdotool("mousemove 400 10");
    EXPECT_TRUE(waitUntil([&] { return !pointerDrawn(native.capture()); })) << "the pointer picture stayed";
    native.click(layout::PLAY);
    EXPECT_TRUE(native.waitShows(game.picture("ingame0.tga"), 60, 432, 280, 36)) << "no game";

    kill(weston.run.pid(), SIGTERM);
    EXPECT_EQ(native.waitExit(), 1) << game.read("output.txt");
    EXPECT_NE(game.read("output.txt").find("compositor ended its connection"), std::string::npos) << game.read("output.txt");
    EXPECT_EQ(game.read("data/window.stt").substr(8), placeBytes({0, 0, 640, 480}, true).substr(8)) << "not the windowed size kept maximized";
}

}  // namespace
