// The real game under Xvfb, played with xdotool as a person would: sixty-seconds games from the
// start-up dialog to the saved name, scored online against the real score server; the installed
// game played by the keys alone, killed and resumed; a record watched; every start-up choice, and
// the window fitted, resized, switched and repainted.
#include <gtest/gtest.h>

#include "loopback_http.h"   // before X11's headers, whose macros clash with it

#include <algorithm>
#include <array>
#include <cstring>

#include "game_run.h"
#include "makers.h"
#include "played_game.h"
#include "scored_process.h"

namespace {

layout::Rect cell(int x, int y) {
    const int left = layout::BOARD_X + layout::CELL * x, top = layout::BOARD_Y + layout::CELL * y;
    return {left, top, left + layout::CELL, top + layout::CELL};
}

// The board shown, read into the rules' own table: each cell the colour, of the game's first
// ones, whose gem picture matches its middle best.
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

// Alt+Enter to full screen and back, each switch waited for.
void switchTwiceByAltEnter(const GameRun &run) {
    const x11probe::Geometry windowed = x11probe::geometryOf(run.window());
    const auto sized = [&](int w) { return waitUntil([&] { return x11probe::geometryOf(run.window()).width == w; }); };
    xdotool("key alt+Return");
    EXPECT_TRUE(sized(DisplayWidth(x11probe::display(), 0))) << "Alt+Enter did not switch";
    xdotool("key alt+Return");
    EXPECT_TRUE(sized(windowed.width)) << "Alt+Enter did not switch back";
}

// The entry panel (its heading: centred on the band y 77..434, 3 left, 1 up), then the name
// (its last letter tapped) and Enter; first the name offered is erased, as long as it is.
// Switched halfway by Alt+Enter, the window changes and the name goes on being typed.
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

// What a score table holds for this name; 0 when it is not there.
uint32_t pointsOf(const std::string &table, const std::string &name) {
    uint32_t points = 0;
    if (table.find(name) != std::string::npos) std::memcpy(&points, table.data() + table.find(name) + 32, 4);
    return points;
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

// True once a frame has read the pointer and button since the call: the cursor drawn at a
// spot beside the middle of r, then back at it, takes a frame begun after the first was shown.
bool frameSince(GameRun &run, const Image &mouse, const layout::Rect &r) {
    const int x = (r.x1 + r.x2) / 2, y = (r.y1 + r.y2) / 2;
    for (int dx : {4, 0}) {
        run.pointAt(x + dx, y);
        if (!waitUntil([&] { return cursorAt(run, mouse, x + dx, y); })) return false;
    }
    return true;
}

// A board click whose press and release each reach the game: a release and the next press
// that fall between two of its frames would be one held press.
void clickSeen(GameRun &run, const Image &mouse, const layout::Rect &r) {
    run.pointAt(r);
    xdotool("mousedown 1");
    ASSERT_TRUE(frameSince(run, mouse, r)) << "press not seen";
    xdotool("mouseup 1");
    ASSERT_TRUE(frameSince(run, mouse, r)) << "release not seen";
}

// The press waits until the game draws the button lit under the pointer (its left end: the
// cursor is not there), so a game frame reads it.
void clickGameButton(GameRun &run, const Image &inGame, int id) {
    const layout::Rect &b = layout::GAME_BUTTONS[id];
    run.pointAt(b);
    ASSERT_TRUE(waitUntil([&] { return run.shows(inGame, b.x1, b.y1, b.x1, b.y1 + layout::LIT, 24, b.y2 - b.y1); }))
        << "button " << id << " not lit";
    run.click(b);
}

// The pause panel over the board.
bool pausedNow(const GameRun &run, const Image &inGame) {
    const layout::Rect &pause = layout::PAUSE_SRC;
    return run.shows(inGame, layout::PAUSE_AT.x, layout::PAUSE_AT.y, pause.x1, pause.y1, pause.x2 - pause.x1, 60);
}


// Skin 1 and the box ticked in the stored settings, the score server down as the game starts;
// sixty seconds and difficulty 0 chosen in the menu (and stored). PLAY starts the game at once, on
// the machine's own seed; the server, up by the game's end, keeps its record verified but not
// ranked. Back in the menu a seed ticket is fetched; the next game, played at its real pace (the
// server ranks no game older than its ticket), is ranked, verified by its record; that record posted
// again is refused.
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
    ASSERT_EQ(reachMenu(run, menu), "");
    run.click(layout::MODE_ROWS[0]);
    run.click(layout::DIFF_BOXES[0]);
    run.click(layout::PLAY);
    ASSERT_TRUE(run.waitShows(inGame, 60, 432, 280, 36)) << "no game";
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(game.path("brolix0dif0.journal")); }))
        << "a game kept beside the program journals there";
    ScoredProcess server(game.path("scores.db"), port);
    ASSERT_TRUE(server.ok());
    const int gameMs = 2 * 61 * 75 * 14;   // its length, twice over
    ASSERT_NO_FATAL_FAILURE(enterName(run, entry, "bob", "", false, gameMs));
    const std::string db = game.path("scores.db");
    ASSERT_TRUE(waitUntil([&] { return !rows(db, "SELECT name FROM scores").empty(); })) << "not on the server";
    EXPECT_EQ(rows(db, "SELECT printf('%s %d %d', name, verified, ranked) FROM scores"), std::vector<std::string>{"bob 1 0"});
    EXPECT_NE(get(port, "/").body.find("<td class=\"num\"></td><td>bob</td>"), std::string::npos) << "not shown apart";
    ASSERT_NO_FATAL_FAILURE(clickGameButton(run, inGame, 2));   // menu
    ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 100));
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(game.path("next.ticket")); })) << "no ticket fetched";
    run.click(layout::PLAY);
    ASSERT_NO_FATAL_FAILURE(enterName(run, entry, "ada lovelace", "bob", false, gameMs));
    const std::string row = "<td>ada lovelace</td><td class=\"num\">";
    std::string board;
    ASSERT_TRUE(waitUntil([&] { return (board = get(port, "/").body).find(row + "0</td>") != std::string::npos; }))
        << "not on the server; the game said: " << game.read("output.txt");
    // Ranked, in first place, which takes a ticket and a record that replays to the score; the
    // record is there to watch, and posted again it ranks nothing.
    EXPECT_NE(board.find("<td class=\"num\">1</td>" + row), std::string::npos) << "not ranked";
    const std::string link = "href=\"/scoring/record.php?id=";
    ASSERT_NE(board.find(link, board.find(row)), std::string::npos) << "ranked without its record";
    const size_t id = board.find(link, board.find(row)) + link.size();
    const std::string record = get(port, "/scoring/record.php?id=" + board.substr(id, board.find('"', id) - id)).body;
    EXPECT_EQ(record.substr(0, 4), "BRXR");
    EXPECT_EQ(postRecord(port, 0, 0, "thief", 0, record).status, 409);
    ASSERT_NO_FATAL_FAILURE(clickGameButton(run, inGame, 2));   // menu
    ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 100));
    run.key("Escape");
    ASSERT_EQ(run.waitExit(), 0);
    prefs[4] = 0;
    EXPECT_EQ(game.read("prefs.raw"), prefs) << "volume 100, sixty seconds, difficulty 0";
    EXPECT_EQ(game.read("opened.txt"), "") << "nothing opened in a browser";
    const std::string wave = game.read("sound.wav");
    EXPECT_TRUE(wave.size() > 44 && std::any_of(wave.begin() + 44, wave.end(), [](char b) { return b != 0; })) << "nothing was heard";
}

// A relax game from the menu to the stored result by the keyboard alone: the board cursor and
// Shift+arrow make three exchanges found on the screen, H a hint, P pauses and goes on, Escape
// ends it into the name entry, where Alt+Enter switches the window and leaves the half-typed name
// as it was. A board is read once it stood still for twenty frames: at the end of a clearing two
// pictures alike can still be a board that takes no click.
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

// A game of this mode at difficulty 0 from the menu's PLAY (the press ends during the spin),
// the menu reached first from the start-up dialog unless it shows already.
void playFromMenu(GameRun &run, const GameFolder &game, int mode, bool start = true) {
    if (start) {
        ASSERT_EQ(reachMenu(run, game.picture("menu0.tga")), "");
    }
    run.click(layout::MODE_ROWS[mode]);
    run.click(layout::DIFF_BOXES[0]);
    run.click(layout::PLAY);
    ASSERT_TRUE(run.waitShows(game.picture("ingame0.tga"), 60, 432, 280, 36)) << "no game";
}

// What the game showed when it was killed: its board at rest, and its timer over the last
// two seconds, each picture with when it was taken.
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

// The killed game back, paused, with its score, its timer as shown in its last second
// of play, and, once P is tapped, its board.
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

// Installed into a prefix and started by a player with a fresh home: a relax game by the keys
// alone, then killed in the middle of a five-minutes game, and of a million game: the next PLAY
// of each brings it back, paused. Escape ends a game and its journal. A damaged journal and one
// of other rules are set aside, said once each, and a new game starts. The install stays as it
// was and every save lands in the player's folders, the relax result though the game was killed.
TEST(Installed, KeysAloneThenKilledGamesComeBackAtTheNextPlay) {
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
    Killed killed;
    {
        GameRun run(game, env, installed);
        ASSERT_EQ(reachMenu(run, game.picture("menu0.tga")), "");
        relaxGameByKeys(run, game);
        ASSERT_NO_FATAL_FAILURE(playFromMenu(run, game, 1, false));
        killed = playThenKill(run, game);
    }
    ASSERT_FALSE(game.read("state/brolix/brolix1dif0.journal").empty());
    // Each killed game back and ended; then a set-aside journal's mode starts anew: million, killed in turn, then sixty seconds.
    for (const auto &[mode, next] : {std::pair{1, 2}, std::pair{2, 0}}) {
        GameRun run(game, env, installed);
        ASSERT_NO_FATAL_FAILURE(playFromMenu(run, game, mode));
        expectResumed(run, game, killed);
        run.key("Escape");
        ASSERT_TRUE(run.waitShows(game.picture("menu0.tga"), 0, 0, 640, 100));
        const std::string journal = "brolix" + std::to_string(mode) + "dif0.journal";
        EXPECT_FALSE(std::filesystem::exists(state + journal)) << "Escape leaves " << journal;
        ASSERT_NO_FATAL_FAILURE(playFromMenu(run, game, next, false));
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
    EXPECT_GT(pointsOf(game.read("xdg/brolix/srelx"), "keys"), 0u) << "the relax result was lost with the killed game";
}

// A record watched: the game shows, the watcher's P pauses it, it ends by itself or at
// Escape, and nothing is saved. A file that is not a whole record is refused by name (the
// faults a record may have are the record test's).
TEST(Replay, ARecordIsShownThenEndsAndBadFilesAreRefused) {
    GameFolder game;
    {
        PlayedGame played(modeFiveMinutes, 0, 7, 7);
        played.exchange();
        played.frames(300);
        played.clickButton(2);
    }
    const std::string record = writeRecord(gameRecord);
    game.write("game.brxr", record);
    game.write("cut.brxr", record.substr(0, record.size() - 4));
    const std::string watch = game.path("brolix");
    const Image inGame = game.picture("ingame0.tga");
    for (bool escape : {false, true}) {
        GameRun run(game, {}, {watch, "--replay", game.path("game.brxr")});
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
    EXPECT_FALSE(std::filesystem::exists(game.path("prefs.raw")) || std::filesystem::exists(game.path("data/s5mn")));
    for (const auto &[file, fault] : std::vector<std::pair<std::string, std::string>>{
             {"cut.brxr", "truncated"}, {"none.brxr", "cannot be opened"}}) {
        GameRun run(game, {}, {watch, game.path(file)});   // as a file manager opens a record: said in a box too
        std::string box;   // whose name xdotool cannot read: found in the window tree
        EXPECT_TRUE(waitUntil([&] {
            box = commandOutput("xwininfo -root -children | grep '\"Brolix: game record\"' | grep -o '0x[0-9a-f]*'");
            return !box.empty();
        })) << "no box";
        xdotool("windowfocus --sync " + box.substr(0, box.find('\n')) + " key Return");
        EXPECT_EQ(run.waitExit(), 1) << file;
        EXPECT_NE(game.read("output.txt").find("brolix: " + game.path(file) + ": " + fault), std::string::npos) << file;
    }
}

// Another program's window over the game's, white, then gone; and (unless another window
// is to keep the focus) the game's window hidden, then shown and focused as a window
// manager restores it: it shows what it showed before, though nothing in the game changed.
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

// A 1920x1080 desktop (the test's own Xvfb). The start-up dialog driven from the keyboard: focus
// starts on "Play Full Screen", ticked; Tab goes on to the skin list, "Internet Scoring", Help,
// Quit and Play; Escape does not end it, Help does not either. Windowed, the game opens at 2x.
// Resized to no whole scale, the pointer still selects the gem under it; F11 goes full screen, and
// that choice and the window's size survive a restart. Covered, hidden and shown again while the
// game waits (the driver page, a held key, another window in front), it shows its picture again;
// a click gives it the focus. The driver page's download button opens the page and ends the game.
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

        xdotool("windowfocus --sync " + window + " keydown p");   // the game waits for its release
        expectRepaintedAfterCover(run, "key wait", false);   // hidden, it would lose the key
        xdotool("keyup p");
        ASSERT_TRUE(waitUntil([&] { return difference(run.capture(), 0, 0, last, 0, 0, 640, 480) > 2; })) << "no pause";
        run.key("p");
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
    const std::string place = game.read("data/window.stt");
    ASSERT_EQ(place.size(), 24u);
    EXPECT_EQ(place.substr(0, 16), std::string("\x40\x01\0\0\x3c\0\0\0\xe8\x03\0\0\xbc\x02\0\0", 16)) << "320, 60, 1000 x 700";

    GameRun again(game, {"BROLIX_NO_FRAME_WAIT=1"});
    ASSERT_TRUE(again.waitWindow("Welcome to Brolix !"));
    xdotool("key Return");   // "Play Full Screen" now ticked
    ASSERT_TRUE(again.waitWindow("Brolix"));
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

// The windowed place as window.stt holds it: x, y, width, height, display, maximized.
std::string placeBytes(int32_t x, int32_t y, int32_t w, int32_t h, bool maximized = false) {
    const int32_t fields[6] = {x, y, w, h, 0, maximized};
    return std::string(reinterpret_cast<const char *>(fields), sizeof fields);
}

// Under a real window manager (openbox) on a 2560x1440 desktop, which frames the window and
// places a new or newly framed window by its frame. The window opens where it was left, at
// every one of five starts; fifteen full-screen round trips by 5 ms taps of F11 each switch and
// leave it there; maximized, it goes full screen and comes back maximized, and the next start
// opens it maximized; its maximized size is never stored as the windowed one.
TEST(WindowManager, PlaceKeptAcrossSwitchesRestartsAndMaximize) {
    GameFolder game;
    GameRun openbox(game, {}, {"/usr/bin/openbox"});
    ASSERT_TRUE(waitUntil(x11probe::windowManagerRuns)) << game.read("output.txt");
    game.write("data/fullscreen.stt", "\1");
    game.write("data/window.stt", placeBytes(501, 320, 1280, 960));
    const Image page = game.picture("page1.jpg");
    for (int start = 1; start <= 6; start++) {
        GameRun run(game, {"BROLIX_NO_FRAME_WAIT=1"});
        ASSERT_TRUE(run.waitWindow("Welcome to Brolix !"));
        xdotool("key Return");
        ASSERT_TRUE(run.waitWindow("Brolix"));
        const auto placed = [&](int x, int y, int w, int h) {
            return waitUntil([&] {
                const x11probe::Geometry g = x11probe::geometryOf(run.window());
                return g.x == x && g.y == y && g.width == w && g.height == h;
            });
        };
        const auto fullScreen = [&] { return placed(0, 0, 2560, 1440); };
        const auto where = [&] {
            const x11probe::Geometry g = x11probe::geometryOf(run.window());
            return std::to_string(g.x) + ", " + std::to_string(g.y) + " " + std::to_string(g.width) + "x" +
                   std::to_string(g.height);
        };
        // The frame and the state change in steps: only the whole work area less the
        // frame, with the state set, is maximized.
        const auto maximized = [&] {
            return waitUntil([&] {
                const x11probe::Geometry g = x11probe::geometryOf(run.window());
                const x11probe::Geometry m = x11probe::maximizedPlace(run.window());
                return x11probe::isMaximized(run.window()) && m.width > 2000 && g.x == m.x && g.y == m.y &&
                       g.width == m.width && g.height == m.height;
            });
        };
        if (start < 6)
            EXPECT_TRUE(placed(501, 320, 1280, 960)) << "start " << start << " at " << where();
        else
            EXPECT_TRUE(maximized()) << "not opened maximized: " << where();
        run.measure();
        ASSERT_TRUE(run.waitShows(page, 0, 0, 640, 480)) << "no driver page";
        for (int trip = 1; start == 1 && trip <= 15; trip++) {
            tap("F11");
            ASSERT_TRUE(fullScreen()) << "trip " << trip << ": the tap was missed";
            tap("F11");
            ASSERT_TRUE(placed(501, 320, 1280, 960)) << "trip " << trip << " back at " << where();
        }
        if (start == 5) {
            x11probe::askMaximize(run.window());
            ASSERT_TRUE(maximized()) << "not maximized";
            tap("F11");
            ASSERT_TRUE(fullScreen());
            tap("F11");
            EXPECT_TRUE(maximized()) << "not maximized again: " << where();
        }
        xdotool("windowfocus --sync " + std::to_string(run.window()) + " key alt+F4");
        EXPECT_EQ(run.waitExit(), 0);
        EXPECT_EQ(game.read("data/window.stt"), placeBytes(501, 320, 1280, 960, start >= 5)) << "start " << start;
    }
}

}  // namespace
