// The score store: the same rules on one SQLite file as on a PostgreSQL database shared by instances.
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
            out.push_back(entry.name + " " + std::to_string(entry.score) + (entry.ranked ? "" : entry.verified ? "~" : "?"));
        return out;
    }
    // A statement that keeps every other writer of the scores out until the holder's transaction ends.
    const char *writeLock() const {
        return GetParam() == Engine::SQLite ? "DELETE FROM scores WHERE 0"
                                            : "LOCK TABLE scores IN SHARE ROW EXCLUSIVE MODE";
    }
};

Submission unrecorded(const Game &game, const std::string &name, int32_t score) {
    Submission s;
    s.game = game;
    s.name = name;
    s.score = score;
    return s;
}
// The name stands for the record's digest, one per record.
Submission verified(const Game &game, const std::string &name, int32_t score, const std::string &record,
                    uint32_t seed = 0, bool ranked = true) {
    return {game, name, score, true, record, "", ranked, seed ? seed : uint32_t(std::hash<std::string>()(name)),
            "digest of " + name};
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
    batch.push_back(unrecorded(points, "unrecorded", 5000));     // the best, but sent without a record
    batch.push_back(unrecorded(points, "x'); DROP TABLE scores;--", 1));
    batch.push_back(verified(points, "untick", 4000, "r", 0, false)); // replayed, but played without a ticket
    // Refused by the database: a seed that ranked in its game already, a record kept already.
    batch.push_back(verified(points, "again", 9000, "r", batch[0].seed));
    Submission copy = verified(points, "copy", 9000, "r");
    copy.digest = batch[0].digest;
    batch.push_back(copy);
    batch.push_back(verified(million, "elsewhere", 999, "r", batch[0].seed)); // the same seed in another game
    const std::vector<bool> stored = store.add(batch, 1700000000).value();
    EXPECT_EQ(std::count(stored.begin(), stored.end(), false), 2);
    EXPECT_FALSE(stored[stored.size() - 3] || stored[stored.size() - 2]);
    EXPECT_EQ(store.seedRanked(points, batch[0].seed), true);
    EXPECT_EQ(store.seedRanked(points, batch[0].seed + 1), false);

    // The ten that rank, then the best verified games that do not.
    EXPECT_EQ(shown(store, points), (std::vector<std::string>{"p11 1100", "tie 1100", "p10 1000", "p9 900", "p8 800",
                                                               "p7 700", "p6 600", "p5 500", "p4 400", "p3 300",
                                                               "untick 4000~"}));
    EXPECT_EQ(shown(store, million).front(), "elsewhere 999");
    EXPECT_EQ(shown(store, million).back(), "m9 1009");
    EXPECT_TRUE(shown(store, Game{1, 1}).empty());
    // The tenth place must be beaten strictly, in each game's own direction.
    for (const auto &[question, qualifies] : std::vector<std::pair<scored::Question, bool>>{
             {{points, 300}, false}, {{points, 301}, true}, {{million, 1009}, false}, {{million, 1008}, true}, {{Game{1, 1}, 0}, true}})
        EXPECT_EQ(store.qualifies(question), qualifies) << question.game.name() << " " << question.score;

    const scored::Entry first = store.top(points)->front();
    EXPECT_EQ(first.submitted, 1700000000);
    EXPECT_EQ(store.record(first.id), binary + "11");
    EXPECT_EQ(store.record(first.id + 1000000), "") << "no such score";
    store.rankUnverified(true);
    const scored::Entry best = store.top(points)->front();
    EXPECT_EQ(best.name + std::to_string(best.verified), "unrecorded0");
    EXPECT_EQ(store.record(best.id), "") << "a score without a record offers none";
    EXPECT_EQ(rows(target, "SELECT name FROM scores WHERE score = 1"),
              std::vector<std::string>{"x'); DROP TABLE scores;--"});
}

TEST_P(StoreOn, InstancesStartingAtOnceShareOneSchemaABatchThatCannotCommitStoresNothingAndALostConnectionIsTakenUp) {
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
    EXPECT_EQ(rows(target, "SELECT count(*) FROM schema_version"), std::vector<std::string>{"1"});
    const Game game{1, 0};
    ASSERT_TRUE(store.add({verified(game, "ann", 10, "a")}, 1));
    EXPECT_EQ(shown(other, game), std::vector<std::string>{"ann 10"}) << "one instance sees what another stored";
    // The same game posted to two instances at the same moment ranks once.
    const Game raced{0, 2};
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        const std::string n = std::to_string(seed);
        auto first = std::async(std::launch::async, [&] { return store.add({verified(raced, "a" + n, 1, "", seed)}, 2); });
        const auto second = other.add({verified(raced, "b" + n, 1, "", seed)}, 2);
        const auto firstStored = first.get();
        ASSERT_TRUE(firstStored && second);
        EXPECT_NE(firstStored->at(0), second->at(0)) << "seed " << seed;
    }

    ASSERT_TRUE(holder->begin() && holder->run(writeLock())) << holder->error();
    store.waitAtMost(std::chrono::milliseconds(200));
    EXPECT_FALSE(store.add({verified(game, "bob", 20, "b"), verified(game, "cy", 30, "c")}, 2));
    holder->rollback();
    EXPECT_EQ(shown(other, game), std::vector<std::string>{"ann 10"}) << "a failed batch leaves nothing behind";
    EXPECT_TRUE(store.add({verified(game, "dee", 40, "d")}, 3)) << "the store is usable again";
    EXPECT_EQ(shown(other, game), (std::vector<std::string>{"dee 40", "ann 10"}));
    if (GetParam() != Engine::PostgreSQL)
        return;
    // As when the database server restarts: every session of the store is cut, and taken up again.
    rows(target, "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity"
                 " WHERE application_name = 'brolix-scored' AND pid <> pg_backend_pid()");
    EXPECT_EQ(shown(store, game), (std::vector<std::string>{"dee 40", "ann 10"}));
    EXPECT_TRUE(store.add({verified(game, "eve", 50, "e")}, 4));
    EXPECT_NE(Store(target.substr(0, target.rfind('/') + 1) + "nosuchdatabase").error(), "");
    EXPECT_NE(Store("postgresql://brolix@127.0.0.1:1/brolix").error(), "");
}

INSTANTIATE_TEST_SUITE_P(BothEngines, StoreOn, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto &info) { return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL"; });

} // namespace
