// Online scoring with the real game: sixty-seconds games played to their end under
// Xvfb with xdotool, against the real score server on the port the test build asks.
// The local table is made unbeatable, so a name entry can only come from the server.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "game_driver.h"
#include "loopback_http.h"
#include "scored_process.h"

namespace {

using namespace gamedriver;

const int scorePort = BROLIX_E2E_SCORE_PORT;
const std::string artifactsDir = BROLIX_ARTIFACTS_DIR;
const std::string playerName = "grace hopper";
const int gameTimeoutMs = 150000;  // sixty seconds of play, with room for a slow software renderer

// Every row of the sixty-seconds table far above what a minute of play scores.
Bytes unbeatableTable() {
    Bytes table(324, 0);
    for (size_t row = 0; row < 9; row++) {
        std::memcpy(&table[row * 36], "local hero", 10);
        const uint32_t score = 1000000;
        std::memcpy(&table[row * 36 + 32], &score, 4);
    }
    return table;
}

// Nothing listens on the port: a connection is refused. (Binding it would not tell:
// the servers bind with SO_REUSEPORT, which lets a second one in beside the first.)
bool nothingListensOn(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    const bool refused = fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 &&
                         errno == ECONNREFUSED;
    if (fd >= 0) close(fd);
    return refused;
}

struct StoredScore {
    std::string gamename, name, computer;
    long long score;
};

// What the server's database holds, read as another client would.
std::vector<StoredScore> storedScores(const std::string &dbPath) {
    std::vector<StoredScore> rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *query = nullptr;
        sqlite3_prepare_v2(db, "SELECT gamename, name, computer, score FROM scores ORDER BY id", -1, &query, nullptr);
        while (query && sqlite3_step(query) == SQLITE_ROW) {
            auto text = [query](int column) {
                return std::string(reinterpret_cast<const char *>(sqlite3_column_text(query, column)));
            };
            rows.push_back({text(0), text(1), text(2), sqlite3_column_int64(query, 3)});
        }
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return rows;
}

// The leaderboard page's table of one mode and difficulty, by their titles.
std::string leaderboardTable(const std::string &page, const std::string &mode, const std::string &difficulty) {
    const size_t section = page.find("<h2>" + mode + "</h2>");
    if (section == std::string::npos) return "";
    const size_t caption = page.find("<caption>" + difficulty + "</caption>", section);
    if (caption == std::string::npos) return "";
    return page.substr(caption, page.find("</table>", caption) - caption);
}

// The score as the player reads it off the window: each glyph of the score font,
// blended over the in-game background, matched against the screen from the left.
struct ScoreGlyph {
    char digit;
    int x1, x2, advance;  // columns in the font picture, pen advance; rows 0 to 25
};
const ScoreGlyph scoreGlyphs[] = {{'1', 0, 11, 11},    {'2', 11, 31, 20},   {'3', 30, 50, 20},  {'4', 51, 68, 17},
                                  {'5', 68, 86, 17},   {'6', 87, 105, 18},  {'7', 106, 123, 17}, {'8', 122, 142, 20},
                                  {'9', 143, 162, 19}, {'0', 162, 183, 21}};
const int scoreLeft = 435, scoreTop = 442, glyphHeight = 25;

// Mean difference per channel between the screen and a glyph (font with alpha) blended over the background.
double glyphDifference(const Image &screen, int pen, const ScoreGlyph &glyph, const Image &font,
                       const Image &background) {
    const int w = glyph.x2 - glyph.x1;
    if (font.channels != 4 || pen + w > screen.width || scoreTop + glyphHeight > screen.height) return 255;
    double sum = 0;
    for (int y = 0; y < glyphHeight; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char *g = font.at(glyph.x1 + x, y), *b = background.at(pen + x, scoreTop + y);
            const unsigned char *s = screen.at(pen + x, scoreTop + y);
            for (int c = 0; c < 3; c++) sum += std::abs(s[c] - (g[c] * g[3] + b[c] * (255 - g[3])) / 255.0);
        }
    return sum / (double(w) * glyphHeight * 3);
}

// The digits shown, read from the left while some glyph matches; empty when none does.
std::string shownScore(const Image &screen, const Image &font, const Image &background) {
    std::string digits;
    for (int pen = scoreLeft;;) {
        const ScoreGlyph *best = nullptr;
        double bestDifference = 1e9;
        for (const ScoreGlyph &glyph : scoreGlyphs) {
            const double d = glyphDifference(screen, pen, glyph, font, background);
            if (d < bestDifference) bestDifference = d, best = &glyph;
        }
        if (bestDifference > 12) return digits;
        digits += best->digit;
        pen += best->advance;
    }
}

class OnlineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(nothingListensOn(scorePort))
            << "something already listens on 127.0.0.1:" << scorePort
            << ", where the test build of the game asks its score server; stop it and run again";
        std::filesystem::copy_file(BROLIX_E2E_GAME, game.path("brolix"),
                                   std::filesystem::copy_options::overwrite_existing);
        const int32_t prefs[5] = {100, 0, 1, 0, 0};  // sixty seconds, difficulty 1
        const unsigned char *bytes = reinterpret_cast<const unsigned char *>(prefs);
        game.write("prefs.raw", Bytes(bytes, bytes + sizeof prefs));
        game.write("data/s60", unbeatableTable());
        menu = game.picture("data/menu0.tga");
        inGame = game.picture("data/ingame0.tga");
        driverPage = game.picture("data/page1.jpg");
        entryPanel = game.picture("data/entername0.tga");
        gameOverPicture = game.picture("data/gameover0.tga");
        scoreFont = loadImage(game.path("data/numbers.tga"), true);
        ASSERT_TRUE(entryPanel.width && gameOverPicture.width && scoreFont.width) << "pictures of the data folder missing";
    }

    // From the start-up dialog to the first frame of a game.
    void startGame(GameRun &run) {
        ASSERT_EQ(run.reachMenu(driverPage, menu), "");
        run.click(489, 364);
        ASSERT_TRUE(run.waitShows(inGame, 60, 432, 60, 432, 280, 36)) << "no game";
    }

    // Both panels are centred on the band between y 77 and 434; the entry panel sits
    // 3 pixels left and 1 up. Compared on their headings, away from the typed name.
    bool entryPanelShown(const GameRun &run) const {
        const int x = (640 - entryPanel.width) / 2 - 3, y = int((357 - entryPanel.height) / 2.0 + 77 - 1);
        return run.shows(entryPanel, x + 40, y + 12, 40, 12, entryPanel.width - 80, 50);
    }
    bool gameOverShown(const GameRun &run) const {
        const int x = (640 - gameOverPicture.width) / 2, y = int((357 - gameOverPicture.height) / 2.0 + 77);
        return run.shows(gameOverPicture, x + 40, y + 20, 40, 20, gameOverPicture.width - 80, 60);
    }
    // Waits for the end of the game: true when the entry panel, false when the game-over picture shows.
    bool waitGameEnd(GameRun &run, bool &ended) const {
        bool entry = false;
        ended = GameRun::waitUntil([&] { return (entry = entryPanelShown(run)) || gameOverShown(run); }, gameTimeoutMs);
        return entry;
    }

    // The score the window shows, read with the game's pointer out of the way.
    std::string scoreShown(const GameRun &run) const {
        run.pointAt(620, 10);
        sleepMs(100);
        return shownScore(run.capture(), scoreFont, inGame);
    }

    // Exchanges neighbours all over the board for a while; only those that make a line score.
    static void playFor(const GameRun &run, int ms) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; msSince(start) < ms; i++) {
            const bool across = i % 2 == 0;
            const int x = across ? (i * 5) % 11 : (i * 7) % 12, y = across ? (i * 3) % 8 : (i * 5) % 7;
            run.click(71 + 42 * x + 21, 90 + 42 * y + 21, 60);
            run.click(71 + 42 * (x + across) + 21, 90 + 42 * (y + !across) + 21, 60);
            sleepMs(120);
        }
    }

    static void screenshot(const std::string &name) {
        std::filesystem::create_directories(artifactsDir);
        GameRun::screenshot(artifactsDir + "/online_" + name + ".png");
    }

    // The menu button, then Escape in the menu: a normal exit that saves the files.
    void quit(GameRun &run) {
        run.click(300, 450);
        EXPECT_TRUE(run.waitShows(menu, 0, 0, 0, 0, 640, 100)) << "the menu button did not lead to the menu";
        run.key("Escape");
        EXPECT_EQ(run.waitExit(), 0);
    }

    InstalledGame game{BROLIX_RUNTIME_DIR};
    Image menu, inGame, driverPage, entryPanel, gameOverPicture, scoreFont;
};

TEST_F(OnlineEndToEnd, TickedBoxTheServerRanksTheGameAndShowsTheTypedName) {
    ScratchDir serverDir("online-e2e");
    const std::string dbPath = serverDir.path + "/scores.db";
    ScoredProcess server(dbPath, scorePort);
    ASSERT_TRUE(server.ok()) << "brolix-scored did not start on 127.0.0.1:" << scorePort;
    game.write("data/gamepad.stt", {1});

    GameRun run(game);
    ASSERT_NO_FATAL_FAILURE(startGame(run));
    const Clock::time_point started = Clock::now();
    EXPECT_EQ(scoreShown(run), "0");
    playFor(run, 45000);
    screenshot("ticked_played");

    bool ended = false;
    const bool entry = waitGameEnd(run, ended);
    const std::string score = scoreShown(run);
    std::printf("game end seen %.1f s after the game showed, with %s points\n", msSince(started) / 1000,
                score.c_str());
    screenshot("ticked_end");
    ASSERT_TRUE(ended) << "the sixty-seconds game did not end";
    ASSERT_TRUE(entry) << "the server ranks every result while it has fewer than ten, but no name entry was offered";
    ASSERT_FALSE(score.empty()) << "no score readable on the window";
    EXPECT_TRUE(storedScores(dbPath).empty()) << "nothing is stored before the name is accepted";

    run.type(playerName);
    sleepMs(200);
    screenshot("ticked_name_typed");
    run.key("Return");

    httplib::Client client("127.0.0.1", scorePort);
    std::string page, table;
    GameRun::waitUntil(
        [&] {
            const httplib::Result reply = client.Get("/");
            page = reply && reply->status == 200 ? reply->body : "";
            table = leaderboardTable(page, "Sixty seconds", "Normal");
            return table.find(playerName) != std::string::npos;
        },
        15000);
    screenshot("ticked_after_enter");
    std::ofstream(artifactsDir + "/online_leaderboard.html") << page;

    const std::vector<StoredScore> rows = storedScores(dbPath);
    ASSERT_EQ(rows.size(), 1u) << "exactly one submission";
    EXPECT_EQ(rows[0].gamename, "brolix0dif1");
    EXPECT_EQ(rows[0].name, playerName);
    EXPECT_EQ(rows[0].computer, "M");
    EXPECT_EQ(std::to_string(rows[0].score), score) << "the server keeps the score the player saw";
    EXPECT_NE(table.find("<td>" + playerName + "</td><td class=\"num\">" + score + "</td>"),
              std::string::npos)
        << "the leaderboard's sixty-seconds Normal table lacks the entry:\n"
        << table;

    EXPECT_TRUE(GameRun::waitUntil([&] { return !entryPanelShown(run); }, 5000)) << "the entry panel stays";
    quit(run);
    EXPECT_EQ(game.read("data/gamepad.stt"), Bytes({1})) << "the box stays ticked";
    EXPECT_EQ(game.read("data/s60"), unbeatableTable()) << "the server alone granted the entry; the local table keeps";
}

TEST_F(OnlineEndToEnd, UntickedBoxTheServerHearsNothing) {
    LoopbackHttp listener;
    ASSERT_TRUE(listener.start(scorePort)) << "cannot listen on 127.0.0.1:" << scorePort;
    game.write("data/gamepad.stt", {0});

    GameRun run(game);
    ASSERT_NO_FATAL_FAILURE(startGame(run));
    bool ended = false;
    const bool entry = waitGameEnd(run, ended);
    screenshot("unticked_end");
    ASSERT_TRUE(ended) << "the sixty-seconds game did not end";
    EXPECT_FALSE(entry) << "no table ranks this game, yet a name entry was offered";
    sleepMs(500);
    EXPECT_TRUE(gameOverShown(run));
    EXPECT_EQ(listener.requests(), 0) << "the unticked game asked the score server";
    quit(run);
    EXPECT_EQ(listener.requests(), 0);
    EXPECT_EQ(game.read("data/gamepad.stt"), Bytes({0}));
}

}  // namespace
