// The real brolix-scored on loopback: what it ranks, keeps and refuses, and what strangers,
// a locked database, a crowd of players and a crash cannot make it lose.
#include "played_game.h"
#include "scored_process.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <future>
#include <regex>
#include <thread>
#include <vector>

namespace {

// A record of a game nobody plays: its header and an end mark at this frame.
std::string idleRecord(int mode, uint32_t frames, int difficulty = 0) {
    GameRecord record;
    record.header.mode = mode;
    record.header.difficulty = difficulty;
    record.header.colours = 5 + difficulty;
    record.frames = frames;
    return writeRecord(record);
}

class ScoreServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server->ok()) << "brolix-scored did not start"; }
    Reply get(const std::string &target) { return ::get(server->port(), target); }
    void expectOk(const std::string &target) { EXPECT_EQ(get(target).body, "ok") << target; }

    TempDir dir{"scored"};
    const std::string db = dir.path("scores.db");
    // Scores sent without a record rank here, as on a server among friends.
    std::unique_ptr<ScoredProcess> server =
        std::make_unique<ScoredProcess>(db, 0, std::vector<std::string>{"--trust-unverified"});
};

} // namespace

TEST_F(ScoreServer, EachGameRanksItsOwnTopTen) {
    EXPECT_EQ(get(ask(2, 0, 5000)).body, "yes") << "an empty list takes any result";
    for (int i = 1; i <= 12; ++i) {
        expectOk(submit(0, 1, "p" + std::string(1, char('a' + i)), i * 100));
        expectOk(submit(2, 1, "t" + std::string(1, char('a' + i)), 1000 + i * 60));
    }
    // The tenth place must be beaten strictly: 300 points, 1600 seconds; each game on its own.
    EXPECT_EQ(get(ask(0, 1, 300)).body + get(ask(0, 1, 301)).body, "noyes");
    EXPECT_EQ(get(ask(2, 1, 1600)).body + get(ask(2, 1, 1599)).body, "noyes");
    EXPECT_EQ(get(ask(0, 2, 1)).body + get(ask(1, 1, 0)).body, "yesyes");

    expectOk(submit(1, 0, "ann%20lee", 7)); // the game percent-encodes its names
    expectOk(submit(1, 2, "max", 2147483647));
    EXPECT_EQ(rows(db, "SELECT printf('%s %s %d %s', gamename, name, score, computer) FROM scores WHERE score = 7"),
              std::vector<std::string>{"brolix1dif0 ann lee 7 M"});
    // The leaderboard: the ten best of each game, best first, times as hh:mm:ss.
    std::vector<std::string> expected, shown;
    for (int i = 12; i >= 3; --i)
        expected.push_back("p" + std::string(1, char('a' + i)) + " " + std::to_string(i * 100));
    expected.insert(expected.end(), {"ann lee 7", "max 2147483647"});
    for (int i = 1; i <= 10; ++i)
        expected.push_back("t" + std::string(1, char('a' + i)) + " 00:" + std::to_string(16 + i) + ":40");
    const std::string page = get("/").body;
    const std::regex row("<td>([^<]*)</td><td class=\"num\">([^<]*)</td>");
    for (std::sregex_iterator m(page.begin(), page.end(), row), end; m != end; ++m)
        shown.push_back((*m)[1].str() + " " + (*m)[2].str());
    EXPECT_EQ(shown, expected);
    EXPECT_NE(get("/download.php?name=nodriver").body.find("glxinfo"), std::string::npos);
}

TEST_F(ScoreServer, ServesThePlayersWhileStrangersHoldConnectionsAndRefusesWhatTheGameNeverSendsOrCannotStore) {
    std::vector<int> silent; // from two other addresses
    for (int i = 0; i < 48; ++i)
        silent.push_back(connectFrom(INADDR_LOOPBACK + 1 + uint32_t(i % 2), server->port()));
    expectOk(submit(0, 0, "punctual", 7));
    char byte;
    for (const int fd : silent) { // still held: the player was not kept waiting until they were dropped
        EXPECT_TRUE(recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN);
        close(fd);
    }
    const std::string bob = submit(0, 0, "bob", 1), head = " HTTP/1.1\r\nHost: t\r\nConnection: close\r\n";
    std::vector<std::pair<int, std::string>> bad = {
        {400, "/scoring/ishighscore.php?gamename=brolix2dif0&submtdscore=10"}, {400, submit(2, 0, "bob", 0)},
        {400, "/scoring/scoresubmitterdesc.php?name=bob&score=10&computer=M&gamename=brolix0dif0"},
        {400, "/scoring/ishighscore.php?gamename=brolix0dif0"}, {400, bob + "&admin=1"},
        {404, "/scores.db"}, {404, "/download.php?name=other"}, {405, "POST " + bob + head + "\r\n"},
        {413, "GET " + bob + head + "Transfer-Encoding: chunked\r\n\r\n"},
        {413, "POST " + bob + head + "Content-Length: 500000000\r\n\r\n"}, // never sent: refused unread
        {414, bob + "&" + std::string(9000, 'x')},
        {431, "GET " + bob + head + "X: " + std::string(9000, 'x') + "\r\n\r\n"}};
    // Bob's submission with one part changed: one row per way each check could be too lenient.
    for (const auto &[part, by] : std::vector<std::pair<std::string, std::string>>{
             {"=bob", "=bob%27--"}, {"=bob", "=" + std::string(20, 'a')}, {"=bob", "="}, {"=bob", "=Bob"},
             {"=bob", "=b0b"}, {"=bob", "=bob%0Aevil"}, {"=bob", "=%20%20%20"}, {"=bob", "=bob%00"},
             {"=bob", "=%2562ob"}, {"=1&", "=-5&"}, {"=1&", "=2147483648&"}, {"=1&", "=99999999999999999999&"},
             {"=1&", "=&"}, {"=1&", "=1&score=2&"}, {"0dif0", "3dif0"}, {"0dif0", "0dif3"}, {"0dif0", "0dif0%20"},
             {"=M", "=m"}, {"&computer=M", ""}}) {
        std::string changed = bob;
        bad.push_back({400, changed.replace(changed.find(part), part.size(), by)});
    }
    for (const auto &[status, request] : bad) {
        const Reply r = request[0] == '/' ? get(request) : sendRaw(server->port(), request);
        EXPECT_EQ(r.status, status) << request.substr(0, 120);
        EXPECT_TRUE(!r.body.empty() && r.body.find('\n') >= r.body.size() - 1) << "one line: " << r.body;
        EXPECT_EQ(r.body.find("yes"), std::string::npos) << "the game would read a yes";
    }
    EXPECT_EQ(::get(server->port(), bob, "HEAD").status, 405);
    const ScoredProcess second(dir.path("second.db"), server->port());
    EXPECT_FALSE(second.ok()) << "a second server on the port would take half of the scores";

    // A database that fails answers 503, never ok or yes.
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<std::future<Reply>> replies;
    for (int i = 0; i < 3; ++i)
        replies.push_back(std::async(std::launch::async, [&, i] { return get(submit(0, 0, "locked", i)); }));
    for (std::future<Reply> &reply : replies)
        EXPECT_EQ(reply.get().status, 503) << "no answer in time, or a wrong one";
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    expectOk(submit(0, 0, "unlocked", 5));
    EXPECT_EQ(rows(db, "SELECT name FROM scores"), (std::vector<std::string>{"punctual", "unlocked"}));
    ASSERT_EQ(sqlite3_exec(other, "DROP TABLE scores", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    for (const std::string &target : {ask(0, 0, 5), submit(0, 0, "after", 20), std::string("/")})
        EXPECT_EQ(get(target).status, 503) << target;
}

// Eight players submit 500 results each. The server is killed with SIGKILL during the
// load and started again; the players go on from their last acknowledged result.
TEST_F(ScoreServer, EveryAcknowledgedScoreOutlivesAKillUnderLoad) {
    const int players = 8, each = 500;
    std::atomic<int> acknowledged{0};
    std::vector<int> next(players, 0);
    const auto play = [&] { // each player's results until the first one not acknowledged
        std::vector<std::future<void>> running;
        for (int p = 0; p < players; ++p)
            running.push_back(std::async(std::launch::async, [&, p, port = server->port()] {
                for (; next[p] < each; ++next[p], ++acknowledged)
                    if (::get(port, submit(1, p % 3, "player", p * each + next[p])).body != "ok")
                        return;
            }));
        return running;
    };
    std::vector<std::future<void>> running = play();
    for (int i = 0; i < 2000 && acknowledged < 1000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    server->kill9();
    running.clear(); // waits for every player
    EXPECT_GE(acknowledged.load(), 1000);
    EXPECT_LT(acknowledged.load(), players * each) << "the kill came after the load";

    server = std::make_unique<ScoredProcess>(db);
    ASSERT_TRUE(server->ok());
    play().clear();
    EXPECT_EQ(acknowledged.load(), players * each);
    EXPECT_EQ(server->terminate(), 0);
    EXPECT_EQ(rows(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    // Every one of the 4,000 scores, and no more than one unacknowledged row per player besides.
    EXPECT_EQ(rows(db, "SELECT printf('%d from %d to %d, %d', count(DISTINCT score), min(score), max(score),"
                       " count(*) <= 4008) FROM scores"), std::vector<std::string>{"4000 from 0 to 3999, 1"});
}

// A server from before records keeps its scores, as unverified: only a score whose
// record replays to it ranks, unless the server is told to trust the others.
TEST(VerifiedScores, OnlyARecordThatReplaysToItsScoreRanks) {
    TempDir dir("scored");
    const std::string db = dir.path("old.db");
    sqlite3 *old = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &old), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(old, "CREATE TABLE scores (id INTEGER PRIMARY KEY, gamename TEXT NOT NULL, name TEXT NOT NULL,"
                                " score INTEGER NOT NULL, computer TEXT NOT NULL, submitted INTEGER NOT NULL);"
                                "INSERT INTO scores VALUES (1, 'brolix0dif1', 'veteran', 99999, 'M', 0),"
                                " (2, 'brolix1dif2', '<b>bold</b><script>x</script>', 9, 'M', 0)",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(old);
    auto server = std::make_unique<ScoredProcess>(db);
    ASSERT_TRUE(server->ok());
    const int port = server->port();
    PlayedGame game(modeSixtySeconds, 1, 7, 7); // a whole game of the scripted player
    while (!gameOver)
        if (!game.exchange()) game.frame();
    const std::string record = writeRecord(gameRecord);
    const int32_t result = _realScore;
    ASSERT_GT(result, 0);

    EXPECT_EQ(get(port, submit(0, 1, "forger", 88888)).body, "ok") << "a client without records still submits";
    for (int i = 0; i < 10; i++) // a full table of unverified scores bars nothing
        EXPECT_EQ(get(port, submit(0, 2, "crowd", 5000)).body, "ok");
    EXPECT_EQ(get(port, ask(0, 2, 1)).body, "yes");
    std::string damaged = record;
    damaged.pop_back();
    // The reader's own refusals are the record test's; here one stands for them all.
    const std::vector<std::tuple<int, int, long long, std::string, int, std::string>> refused = {
        {0, 1, result + 1, record, 422, "replays to " + std::to_string(result)},
        {0, 2, result, record, 422, "another game"},
        {1, 1, result, record, 422, "another game"},
        {0, 1, result, damaged, 400, "truncated"},
        {0, 1, result, record + std::string(70000, '\0'), 413, "64 KiB"},
        {0, 1, 0, idleRecord(0, 75 * 60 * 30 + 1, 1), 413, "lasts longer"}};
    for (const auto &[mode, difficulty, score, bytes, status, reason] : refused) {
        const Reply r = postRecord(port, mode, difficulty, "cheat", score, bytes);
        EXPECT_EQ(r.status, status) << reason;
        EXPECT_NE(r.body.find(reason), std::string::npos) << r.body;
        EXPECT_EQ(r.body.find('\n'), r.body.size() - 1) << "one line: " << r.body;
    }
    EXPECT_EQ(get(port, "/scoring/scorerecord.php?name=a&score=1&computer=M&gamename=brolix0dif1").status, 405);
    const Reply verified = postRecord(port, 0, 1, "ada", result, record);
    EXPECT_TRUE(verified.status == 200 && verified.body == "ok") << verified.status << " " << verified.body;
    EXPECT_EQ(rows(db, "SELECT printf('%s %d %d', name, score, verified) FROM scores WHERE gamename = 'brolix0dif1' ORDER BY id"),
              (std::vector<std::string>{"veteran 99999 0", "forger 88888 0", "ada " + std::to_string(result) + " 1"}));

    // Ranked: the verified score alone; its record downloads byte for byte, no other does.
    const std::string page = get(port, "/").body;
    EXPECT_NE(page.find("<td>ada</td><td class=\"num\">" + std::to_string(result) + "</td>"), std::string::npos);
    EXPECT_TRUE(page.find("veteran") == std::string::npos && page.find("forger") == std::string::npos);
    const std::string id = rows(db, "SELECT id FROM scores WHERE name = 'ada'").at(0);
    const Reply download = get(port, "/scoring/record.php?id=" + id);
    EXPECT_EQ(download.body, record);
    EXPECT_NE(download.head.find("attachment"), std::string::npos);
    EXPECT_EQ(get(port, "/scoring/record.php?id=1").status, 404) << "the veteran's score has no record";
    EXPECT_EQ(get(port, "/scoring/record.php?id=x").status, 404);

    // Among friends every score ranks, as before records (asks included: the fixture's server trusts).
    EXPECT_EQ(server->terminate(), 0);
    server = std::make_unique<ScoredProcess>(db, 0, std::vector<std::string>{"--trust-unverified"});
    ASSERT_TRUE(server->ok());
    const std::string trusting = get(server->port(), "/").body;
    EXPECT_NE(trusting.find("unverified"), std::string::npos);
    // The server refuses such a name; one written by another tool is still shown as text.
    EXPECT_TRUE(trusting.find("<td>&lt;b&gt;bold&lt;/b&gt;&lt;script&gt;x&lt;/script&gt;</td>") != std::string::npos &&
                trusting.find("<b>") == std::string::npos);
}

// A flood of long records: past the queue they are turned away at once with a time to
// come back, and the leaderboard is served all along.
TEST_F(ScoreServer, AFloodOfLongRecordsIsTurnedAwayWhileTheLeaderboardAnswers) {
    const std::string longRecord = idleRecord(2, 200000); // never ends: refused after its whole replay
    std::vector<std::future<Reply>> flood;
    for (uint32_t i = 0; i < 100; i++)
        flood.push_back(std::async(std::launch::async, [&, i] {
            return postRecord(server->port(), 2, 0, "flood", 5, longRecord, INADDR_LOOPBACK + 10 + i % 5);
        }));
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(get("/").status, 200) << "the leaderboard during the flood";
    int turnedAway = 0, replayed = 0;
    for (std::future<Reply> &reply : flood) {
        const Reply r = reply.get();
        turnedAway += r.status == 503 && r.head.find("Retry-After: ") != std::string::npos;
        replayed += r.status == 422 && r.body.find("does not reach the end") != std::string::npos;
    }
    EXPECT_EQ(turnedAway + replayed, 100) << "every other answer is a fault";
    EXPECT_GE(turnedAway, 50);
    EXPECT_GE(replayed, 1);
    EXPECT_EQ(rows(db, "SELECT count(*) FROM scores"), std::vector<std::string>{"0"});
}
