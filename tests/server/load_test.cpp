// Many players at once, and a crash in the middle of it.
#include "scored_process.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace {

const int kClients = 8;
const int kPerClient = 500;

// Client c's i-th submission: its own name, a score that tells them all apart.
std::string clientName(int c) { return std::string("client ") + char('a' + c); }
int scoreOf(int c, int i) { return c * 100000 + i; }

std::string submissionPath(int c, int i) {
    return "/scoring/scoresubmitter.php?name=client%20" + std::string(1, char('a' + c)) +
           "&score=" + std::to_string(scoreOf(c, i)) + "&computer=M&gamename=brolix1dif" + std::to_string(c % 3);
}

// Submits until done or the first failure; returns the scores acknowledged with "ok".
std::vector<int> submitAll(int port, int c, std::atomic<int> &acknowledged) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_connection_timeout(3);
    client.set_read_timeout(5);
    std::vector<int> acked;
    for (int i = 0; i < kPerClient; ++i) {
        const auto r = client.Get(submissionPath(c, i).c_str());
        if (!r || r->status != 200 || r->body != "ok")
            break;
        acked.push_back(scoreOf(c, i));
        ++acknowledged;
    }
    return acked;
}

using Rows = std::set<std::pair<std::string, int>>; // name, score

struct Database {
    explicit Database(const std::string &path) { sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr); }
    ~Database() { sqlite3_close(db); }
    std::string integrity() {
        std::string result;
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW)
                result += reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        return result;
    }
    // Every row, checking that each sits under the game its client used.
    Rows rows(int &misplaced, long long &total) {
        Rows all;
        misplaced = 0;
        total = 0;
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT name, score, gamename, computer FROM scores", -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                const std::string name = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
                const int score = sqlite3_column_int(stmt, 1);
                const std::string game = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 2));
                const std::string computer = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 3));
                const int c = score / 100000;
                if (name != clientName(c) || game != "brolix1dif" + std::to_string(c % 3) || computer != "M")
                    ++misplaced;
                all.insert({name, score});
                ++total;
            }
        sqlite3_finalize(stmt);
        return all;
    }
    sqlite3 *db = nullptr;
};

} // namespace

TEST(ScoreServerLoad, EightClientsStoreEveryRowExactlyOnce) {
    const ScratchDir dir("load");
    const std::string db = dir.path + "/scores.db";
    ScoredProcess server(db);
    ASSERT_TRUE(server.ok());
    std::atomic<int> acknowledged{0};
    std::vector<std::vector<int>> acked(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] { acked[size_t(c)] = submitAll(server.port(), c, acknowledged); });
    for (std::thread &t : clients)
        t.join();
    EXPECT_EQ(acknowledged.load(), kClients * kPerClient);
    EXPECT_EQ(server.terminate(), 0);

    Database check(db);
    EXPECT_EQ(check.integrity(), "ok");
    int misplaced = 0;
    long long total = 0;
    const Rows rows = check.rows(misplaced, total);
    EXPECT_EQ(total, kClients * kPerClient);
    EXPECT_EQ(rows.size(), size_t(kClients * kPerClient)) << "no duplicates";
    EXPECT_EQ(misplaced, 0);
    for (int c = 0; c < kClients; ++c)
        for (int i = 0; i < kPerClient; ++i)
            ASSERT_TRUE(rows.count({clientName(c), scoreOf(c, i)})) << c << " " << i;
}

TEST(ScoreServerLoad, KillNineLosesNothingAcknowledged) {
    const ScratchDir dir("kill");
    const std::string db = dir.path + "/scores.db";
    auto server = std::make_unique<ScoredProcess>(db);
    ASSERT_TRUE(server->ok());
    const int port = server->port();
    std::atomic<int> acknowledged{0};
    std::vector<std::vector<int>> acked(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] { acked[size_t(c)] = submitAll(port, c, acknowledged); });
    // Kill once a good part of the load has been answered (or after 20 s at most).
    for (int waited = 0; acknowledged.load() < 1000 && waited < 2000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    server->kill9();
    for (std::thread &t : clients)
        t.join();
    const int answered = acknowledged.load();
    EXPECT_GE(answered, 1000);
    EXPECT_LT(answered, kClients * kPerClient) << "the kill came after the load had ended";

    // The server comes back on the same file, which holds every acknowledged row.
    server = std::make_unique<ScoredProcess>(db);
    ASSERT_TRUE(server->ok());
    httplib::Client client("127.0.0.1", server->port());
    const auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(server->terminate(), 0);

    Database check(db);
    EXPECT_EQ(check.integrity(), "ok");
    int misplaced = 0;
    long long total = 0;
    const Rows rows = check.rows(misplaced, total);
    EXPECT_EQ(misplaced, 0);
    EXPECT_GE(total, answered);
    EXPECT_LE(total, answered + kClients) << "at most one unanswered row per client";
    int missing = 0;
    for (int c = 0; c < kClients; ++c)
        for (const int score : acked[size_t(c)])
            missing += rows.count({clientName(c), score}) == 0;
    EXPECT_EQ(missing, 0);
}
