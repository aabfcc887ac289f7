// The score store on both engines: the same rules whether the scores sit in one SQLite
// file or in a PostgreSQL database shared by several instances.
#include "store.h"
#include "test_databases.h"

#include <gtest/gtest.h>

#include <future>

namespace {

using scored::Game;
using scored::Store;
using scored::Submission;

class StoreOn : public ::testing::TestWithParam<Engine> {
protected:
    TempDir dir{"store"};
    const std::string target = freshDatabase(GetParam(), dir);

    static std::vector<std::string> shown(Store &store, const Game &game) {
        std::vector<std::string> out;
        const std::vector<scored::Entry> entries = store.top(game).value();
        for (const scored::Entry &entry : entries)
            out.push_back(entry.name + " " + std::to_string(entry.score) + (entry.verified ? "" : "?"));
        return out;
    }
    // A statement that keeps every other writer of the scores out until the holder's transaction ends.
    const char *writeLock() const {
        return GetParam() == Engine::SQLite ? "DELETE FROM scores WHERE 0"
                                            : "LOCK TABLE scores IN SHARE ROW EXCLUSIVE MODE";
    }
};

Submission verified(const Game &game, const std::string &name, int32_t score, const std::string &record) {
    return {game, name, score, true, record};
}

TEST_P(StoreOn, RanksEachGameBestFirstKeepsRecordsByteForByteAndQualifiesOnlyWhatBeatsTheTenth) {
    Store store(target);
    ASSERT_EQ(store.error(), "");
    const Game points{0, 1}, million{2, 1};
    const std::string binary("\0\x01\xff\x80'\\x00\"", 9); // NUL, high bytes, quotes, a backslash
    std::vector<Submission> batch;
    for (int i = 1; i <= 11; ++i) {
        batch.push_back(verified(points, "p" + std::to_string(i), i * 100, binary + std::to_string(i)));
        batch.push_back(verified(million, "m" + std::to_string(i), 1000 + i, "r"));
    }
    batch.push_back(verified(points, "tie", 1100, "r"));         // after p11, who came first
    batch.push_back({points, "unrecorded", 5000, false, ""});      // the best, but sent without a record
    batch.push_back({points, "x'); DROP TABLE scores;--", 1, false, ""});
    ASSERT_TRUE(store.add(batch, 1700000000));

    EXPECT_EQ(shown(store, points), (std::vector<std::string>{"p11 1100", "tie 1100", "p10 1000", "p9 900", "p8 800",
                                                               "p7 700", "p6 600", "p5 500", "p4 400", "p3 300"}));
    EXPECT_EQ(shown(store, million).front(), "m1 1001");
    EXPECT_EQ(shown(store, million).back(), "m10 1010");
    EXPECT_TRUE(shown(store, Game{1, 1}).empty());
    // The tenth place must be beaten strictly, in each game's own direction.
    EXPECT_EQ(store.qualifies({points, 300}), false);
    EXPECT_EQ(store.qualifies({points, 301}), true);
    EXPECT_EQ(store.qualifies({million, 1010}), false);
    EXPECT_EQ(store.qualifies({million, 1009}), true);
    EXPECT_EQ(store.qualifies({Game{1, 1}, 0}), true);

    const scored::Entry first = store.top(points)->front();
    EXPECT_EQ(first.submitted, 1700000000);
    EXPECT_EQ(store.record(first.id), binary + "11");
    EXPECT_EQ(store.record(first.id + 1000000), "") << "no such score";
    store.rankUnverified(true);
    const scored::Entry unrecorded = store.top(points)->front();
    EXPECT_EQ(unrecorded.name + std::to_string(unrecorded.verified), "unrecorded0");
    EXPECT_EQ(store.record(unrecorded.id), "") << "a score without a record offers none";
    EXPECT_EQ(column(target, "SELECT name FROM scores WHERE score = 1"),
              std::vector<std::string>{"x'); DROP TABLE scores;--"});
}

TEST_P(StoreOn, InstancesStartingAtOnceShareOneSchemaAndABatchThatCannotCommitStoresNothing) {
    std::string error;
    const std::unique_ptr<scored::Database> holder = scored::Database::open(target, error);
    // An instance caught changing the schema: one starting meanwhile waits for it to finish.
    ASSERT_TRUE(holder && holder->begin() && holder->lockSchema() &&
                holder->script("CREATE TABLE schema_version (version INTEGER NOT NULL)"));
    std::future<std::string> waiting = std::async(std::launch::async, [this] { return Store(target).error(); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    ASSERT_TRUE(holder->commit());
    EXPECT_EQ(waiting.get(), "");

    Store store(target), other(target);
    EXPECT_EQ(column(target, "SELECT count(*) FROM schema_version"), std::vector<std::string>{"1"});
    const Game game{1, 0};
    ASSERT_TRUE(store.add({verified(game, "ann", 10, "a")}, 1));
    EXPECT_EQ(shown(other, game), std::vector<std::string>{"ann 10"}) << "one instance sees what another stored";

    ASSERT_TRUE(holder->begin() && holder->run(writeLock())) << holder->error();
    store.waitAtMost(std::chrono::milliseconds(200));
    EXPECT_FALSE(store.add({verified(game, "bob", 20, "b"), verified(game, "cy", 30, "c")}, 2));
    holder->rollback();
    EXPECT_EQ(shown(other, game), std::vector<std::string>{"ann 10"}) << "a failed batch leaves nothing behind";
    EXPECT_TRUE(store.add({verified(game, "dee", 40, "d")}, 3)) << "the store is usable again";
    Store reopened(target);
    EXPECT_EQ(shown(reopened, game), (std::vector<std::string>{"dee 40", "ann 10"}));
}

INSTANTIATE_TEST_SUITE_P(BothEngines, StoreOn, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto &info) { return std::string(engineName(info.param)); });

TEST(PostgresStore, ALostConnectionIsTakenUpAgainAndABadAddressIsReported) {
    TempDir dir{"store"};
    const std::string target = freshDatabase(Engine::PostgreSQL, dir);
    Store store(target);
    ASSERT_TRUE(store.add({verified(Game{0, 0}, "ann", 10, "a")}, 1));
    // As when the database server restarts: every session of the store is cut.
    column(target, "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity"
                   " WHERE application_name = 'brolix-scored' AND pid <> pg_backend_pid()");
    EXPECT_EQ(store.top(Game{0, 0}).value().size(), 1u);
    EXPECT_TRUE(store.add({verified(Game{0, 0}, "bob", 20, "b")}, 2));

    EXPECT_NE(Store(target.substr(0, target.rfind('/') + 1) + "nosuchdatabase").error(), "");
    EXPECT_NE(Store("postgresql://brolix@127.0.0.1:1/brolix").error(), "");
}

} // namespace
