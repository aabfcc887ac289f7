// The real brolix-scored on loopback: what it answers, refuses, shows and keeps.
#include "scored_process.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

struct Reply {
    int status = 0;   // 0: no answer
    std::string body;
};

Reply get(int port, const std::string &pathAndQuery, int readSeconds = 5) {
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false); // send the bytes exactly as the test wrote them
    client.set_connection_timeout(3);
    client.set_read_timeout(readSeconds);
    const auto result = client.Get(pathAndQuery.c_str());
    return result ? Reply{result->status, result->body} : Reply{};
}

std::string question(const std::string &game, int score) {
    const bool desc = game[6] == '2';
    return std::string("/scoring/ishighscore") + (desc ? "desc" : "") + ".php?gamename=" + game +
           "&submtdscore=" + std::to_string(score);
}

std::string submission(const std::string &game, const std::string &name, int score) {
    const bool desc = game[6] == '2';
    return std::string("/scoring/scoresubmitter") + (desc ? "desc" : "") + ".php?name=" + name +
           "&score=" + std::to_string(score) + "&computer=M&gamename=" + game;
}

long long countRows(const std::string &dbPath) {
    sqlite3 *db = nullptr;
    long long rows = -1;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM scores", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            rows = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

// Connections from 127.0.0.2 and 127.0.0.3 (strangers, not the game) that send nothing,
// each given at most 3 s to be established.
std::vector<int> openIdle(int port, int count) {
    std::vector<int> fds;
    const timeval patience{3, 0};
    for (int i = 0; i < count; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience); // bounds connect()
        sockaddr_in from{}, to{};
        from.sin_family = to.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + uint32_t(i % 2));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(uint16_t(port));
        bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from);
        connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to);
        fds.push_back(fd);
    }
    return fds;
}

// Sends raw bytes on a fresh connection; returns what comes back within 5 s.
std::string exchange(int port, const std::string &bytes) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(uint16_t(port));
    const timeval patience{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::string reply(4096, 0);
    ssize_t n = -1;
    if (connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 &&
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()))
        n = recv(fd, reply.data(), reply.size(), 0);
    close(fd);
    reply.resize(size_t(std::max<ssize_t>(n, 0)));
    return reply;
}

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override {
        db = dir.path + "/scores.db";
        server = std::make_unique<ScoredProcess>(db);
        ASSERT_TRUE(server->ok()) << "brolix-scored did not start";
    }
    int port() const { return server->port(); }
    void expectOk(const std::string &request) {
        const Reply r = get(port(), request);
        EXPECT_EQ(r.status, 200) << request << ": " << r.body;
        EXPECT_EQ(r.body, "ok") << request;
    }

    ScratchDir dir{"scored"};
    std::string db;
    std::unique_ptr<ScoredProcess> server;
};

} // namespace

TEST_F(ScoreServer, EmptyBoardsRankAnyResult) {
    for (int mode = 0; mode < 3; ++mode)
        for (int difficulty = 0; difficulty < 3; ++difficulty) {
            const std::string game = "brolix" + std::to_string(mode) + "dif" + std::to_string(difficulty);
            const Reply r = get(port(), question(game, mode == 2 ? 5000 : 0));
            EXPECT_EQ(r.status, 200) << game;
            EXPECT_EQ(r.body, "yes") << game;
        }
}

TEST_F(ScoreServer, PointsMustBeatTheTenthStrictly) {
    for (int i = 1; i <= 10; ++i)
        expectOk(submission("brolix0dif1", "player", i * 100));
    EXPECT_EQ(get(port(), question("brolix0dif1", 100)).body, "no");
    EXPECT_EQ(get(port(), question("brolix0dif1", 99)).body, "no");
    EXPECT_EQ(get(port(), question("brolix0dif1", 101)).body, "yes");
    // Other difficulties and modes keep their own lists.
    EXPECT_EQ(get(port(), question("brolix0dif2", 1)).body, "yes");
    EXPECT_EQ(get(port(), question("brolix1dif1", 1)).body, "yes");
}

TEST_F(ScoreServer, TimesMustBeatTheTenthByBeingShorter) {
    for (int i = 1; i <= 10; ++i)
        expectOk(submission("brolix2dif1", "runner", 1000 + i * 60));
    EXPECT_EQ(get(port(), question("brolix2dif1", 1600)).body, "no");
    EXPECT_EQ(get(port(), question("brolix2dif1", 9999)).body, "no");
    EXPECT_EQ(get(port(), question("brolix2dif1", 1599)).body, "yes");
    EXPECT_EQ(get(port(), question("brolix2dif1", 1)).body, "yes");
}

TEST_F(ScoreServer, EveryMalformedRequestIsRefusedAndNothingStored) {
    const std::string good = "&computer=M&gamename=brolix0dif0";
    const std::string sub = "/scoring/scoresubmitter.php?";
    const std::string ask = "/scoring/ishighscore.php?";
    const std::string bad[] = {
        // injection attempts
        sub + "name=bob%27%3B%20DROP%20TABLE%20scores%3B--&score=1" + good,
        sub + "name=%3Cscript%3Ealert(1)%3C%2Fscript%3E&score=1" + good,
        sub + "name=bob&score=1%20OR%201%3D1" + good,
        ask + "gamename=brolix0dif0%27%20OR%20%271%27%3D%271&submtdscore=1",
        // names: overlong, empty, outside a to z and space
        sub + "name=" + std::string(20, 'a') + "&score=1" + good,
        sub + "name=&score=1" + good,
        sub + "name=Bob&score=1" + good,
        sub + "name=b0b&score=1" + good,
        sub + "name=bob%0Aevil&score=1" + good,
        sub + "name=%20%20%20&score=1" + good,
        sub + "name=+&score=1" + good,
        sub + "name=%C3%A9mile&score=1" + good,
        // game names
        sub + "name=bob&score=1&computer=M&gamename=brolix3dif0",
        sub + "name=bob&score=1&computer=M&gamename=brolix0dif3",
        sub + "name=bob&score=1&computer=M&gamename=tetris",
        ask + "gamename=&submtdscore=1",
        "/scoring/ishighscore.php?gamename=brolix2dif0&submtdscore=10",
        "/scoring/scoresubmitterdesc.php?name=bob&score=10" + good,
        // scores: negative, huge, not a number, zero seconds
        sub + "name=bob&score=-5" + good,
        sub + "name=bob&score=2147483648" + good,
        sub + "name=bob&score=99999999999999999999" + good,
        sub + "name=bob&score=abc" + good,
        sub + "name=bob&score=1e5" + good,
        sub + "name=bob&score=" + good,
        "/scoring/scoresubmitterdesc.php?name=bob&score=0&computer=M&gamename=brolix2dif0",
        ask + "gamename=brolix0dif0&submtdscore=-1",
        // missing, repeated and unknown keys; the computer letter
        sub + "score=1" + good,
        sub + "name=bob" + good,
        sub + "name=bob&score=1&gamename=brolix0dif0",
        sub + "name=bob&score=1&computer=M",
        sub + "name=bob&score=1&computer=m&gamename=brolix0dif0",
        sub + "name=bob&score=1&score=2" + good,
        sub + "name=bob&score=1" + good + "&admin=1",
        "/scoring/scoresubmitter.php",
        ask + "gamename=brolix0dif0",
        // percent-encoding tricks
        sub + "name=%00bob&score=1" + good,
        sub + "name=bob%00&score=1" + good,
        sub + "name=%2562ob&score=1" + good,
        sub + "name=bob%&score=1" + good,
        sub + "name=bob&score=%2D1" + good,
        sub + "name=bob&score=1%00" + good,
        sub + "name=bob&score=1&computer=M&gamename=brolix0dif0%00",
        sub + "name=bob&score=1&computer=M&gamename=brolix0dif0%20",
    };
    for (const std::string &request : bad) {
        const Reply r = get(port(), request);
        EXPECT_EQ(r.status, 400) << request;
        ASSERT_FALSE(r.body.empty()) << request;
        EXPECT_EQ(r.body.find('\n'), r.body.size() - 1) << "one line: " << request;
        EXPECT_EQ(r.body.find("yes"), std::string::npos) << "the game would read a yes: " << request;
    }
    EXPECT_EQ(countRows(db), 0);
    const std::string page = get(port(), "/").body;
    EXPECT_EQ(page.find("bob"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST_F(ScoreServer, EncodedButValidValuesAreTaken) {
    expectOk(submission("brolix0dif0", "ann%20lee", 10));
    expectOk(submission("brolix0dif0", "b+c", 20));              // form encoding: '+' is a space
    expectOk("/scoring/scoresubmitter.php?%6Eame=dot&score=%33%30&computer=M&gamename=brolix0dif0");
    EXPECT_EQ(countRows(db), 3);
    const std::string page = get(port(), "/").body;
    EXPECT_NE(page.find("<td>ann lee</td><td class=\"num\">10</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>b c</td><td class=\"num\">20</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>dot</td><td class=\"num\">30</td>"), std::string::npos);
}

TEST_F(ScoreServer, LeaderboardShowsTheTopTenBestFirst) {
    for (int i = 1; i <= 12; ++i)
        expectOk(submission("brolix1dif0", "p" + std::string(size_t(i), 'x'), i * 10));
    expectOk(submission("brolix2dif2", "speedy", 3725));
    expectOk(submission("brolix2dif2", "steady", 9432));
    const Reply r = get(port(), "/");
    ASSERT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("name=\"viewport\""), std::string::npos);
    EXPECT_EQ(r.body.find("<td>px</td>"), std::string::npos) << "11th and 12th are not shown";
    EXPECT_EQ(r.body.find("<td>pxx</td>"), std::string::npos);
    const size_t first = r.body.find("<td>pxxxxxxxxxxxx</td>"), tenth = r.body.find("<td>pxxx</td>");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(tenth, std::string::npos);
    EXPECT_LT(first, tenth);
    const size_t speedy = r.body.find("<td>speedy</td><td class=\"num\">01:02:05</td>");
    const size_t steady = r.body.find("<td>steady</td><td class=\"num\">02:37:12</td>");
    ASSERT_NE(speedy, std::string::npos);
    ASSERT_NE(steady, std::string::npos);
    EXPECT_LT(speedy, steady);
}

TEST_F(ScoreServer, DriverPageAndUnknownPaths) {
    const Reply driver = get(port(), "/download.php?name=nodriver");
    EXPECT_EQ(driver.status, 200);
    EXPECT_NE(driver.body.find("glxinfo"), std::string::npos);
    EXPECT_EQ(get(port(), "/download.php?name=other").status, 404);
    EXPECT_EQ(get(port(), "/download.php").status, 404);
    EXPECT_EQ(get(port(), "/scoring/ishighscoreXphp?gamename=brolix0dif0&submtdscore=1").status, 404);
    EXPECT_EQ(get(port(), "/scores.db").status, 404);
    EXPECT_EQ(get(port(), "/../scores.db").status, 404);
}

TEST_F(ScoreServer, CleanStopAndRestartKeepEverything) {
    expectOk(submission("brolix0dif2", "keeper", 4321));
    expectOk(submission("brolix2dif0", "timer", 777));
    EXPECT_EQ(server->terminate(), 0);
    EXPECT_FALSE(exists(db + "-wal")) << "a clean stop folds the log back into the database";
    server = std::make_unique<ScoredProcess>(db);
    ASSERT_TRUE(server->ok());
    const std::string page = get(port(), "/").body;
    EXPECT_NE(page.find("<td>keeper</td><td class=\"num\">4321</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>timer</td><td class=\"num\">00:12:57</td>"), std::string::npos);
    EXPECT_EQ(countRows(db), 2);
}

TEST(ScoreServerOptions, BadOptionsAndUnusableFilesStopAtOnce) {
    const std::string binary = BROLIX_SCORED_PATH;
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --help >/dev/null").c_str())), 0);
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --port 70000 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --port abc 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --frobnicate 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --db 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --port 0 --db /nonexistent/dir/s.db 2>/dev/null").c_str())), 1);
    const ScratchDir dir("scored");
    const std::string notADatabase = dir.path + "/garbage.db";
    std::system(("head -c 4096 /dev/urandom > " + notADatabase).c_str());
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --port 0 --db " + notADatabase + " 2>/dev/null").c_str())), 1);
}

TEST_F(ScoreServer, ASecondServerOnTheSamePortIsRefused) {
    const ScratchDir dir("scored-second");
    // Bounded: a server that wrongly binds would otherwise run for ever.
    const std::string command = "timeout 10 " + std::string(BROLIX_SCORED_PATH) + " --port " + std::to_string(port()) +
                                " --db " + dir.path + "/other.db 2>/dev/null >/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    expectOk(submission("brolix0dif0", "keeper", 10));
    EXPECT_EQ(countRows(db), 1);
}

TEST_F(ScoreServer, DatabaseFailuresAreReportedNotHidden) {
    expectOk(submission("brolix0dif0", "before", 10));
    sqlite3 *handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, "DROP TABLE scores", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
    for (const std::string &request : {question("brolix0dif0", 5), submission("brolix0dif0", "after", 20),
                                       std::string("/")}) {
        const Reply r = get(port(), request);
        EXPECT_EQ(r.status, 503) << request;
        EXPECT_EQ(r.body.find("yes"), std::string::npos);
    }
}

TEST_F(ScoreServer, OnlyGetWithoutABodyIsTaken) {
    // Answered from the headers alone: the 500 MB are never sent, let alone read.
    const std::string post = "POST " + submission("brolix0dif0", "poster", 1) +
                             " HTTP/1.1\r\nHost: t\r\nContent-Length: 500000000\r\n\r\n";
    EXPECT_EQ(exchange(port(), post).substr(0, 13), "HTTP/1.1 413 ");
    httplib::Client client("127.0.0.1", port());
    const auto head = client.Head(submission("brolix0dif0", "header", 1).c_str());
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 405);
    EXPECT_EQ(countRows(db), 0);
}

TEST_F(ScoreServer, ALockedDatabaseAnswers503WithinTwoSeconds) {
    sqlite3 *holder = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<Reply> replies(3);
    std::vector<std::thread> players;
    for (size_t i = 0; i < replies.size(); ++i)
        players.emplace_back([&, i] { replies[i] = get(port(), submission("brolix0dif0", "locked", int(i)), 2); });
    for (std::thread &t : players)
        t.join();
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    for (const Reply &r : replies)
        EXPECT_EQ(r.status, 503) << "no answer within 2 s, or a wrong one";
    expectOk(submission("brolix0dif0", "unlocked", 5));
    EXPECT_EQ(countRows(db), 1);
}

TEST_F(ScoreServer, IdleConnectionsDoNotDelayASubmission) {
    const std::vector<int> idle = openIdle(port(), 48);
    const Reply r = get(port(), submission("brolix0dif0", "punctual", 7), 2);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "ok");
    for (const int fd : idle)
        close(fd);
}
