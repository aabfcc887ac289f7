#include "store.h"

#include "database.h"
#include "tickets.h"

#include <string>

namespace scored {

namespace {

// Each step of the schema, in order, never changed once released: a database records
// the last one it took, and every instance that starts takes those it lacks.
// A ticket's seed ranks once in its game, and a record is kept once: a copy posted again,
// under any name, is refused.
std::vector<std::string> migrations(const Database &db) {
    return {
        std::string("CREATE TABLE IF NOT EXISTS scores ("
                    " id ") + db.rowIdColumn() + ","
                    " gamename TEXT NOT NULL,"
                    " name TEXT NOT NULL,"
                    " score INTEGER NOT NULL,"
                    " computer TEXT NOT NULL,"
                    " submitted BIGINT NOT NULL,"
                    " verified INTEGER NOT NULL DEFAULT 0,"
                    " record " + db.bytesType() + ","
                    " ranked INTEGER NOT NULL DEFAULT 0,"
                    " seed BIGINT,"
                    " digest TEXT);"
                    "CREATE TABLE IF NOT EXISTS secrets (name TEXT PRIMARY KEY, value " + db.bytesType() + " NOT NULL);"
                    "CREATE INDEX IF NOT EXISTS scores_by_game ON scores (gamename, score);"
                    "CREATE UNIQUE INDEX IF NOT EXISTS scores_ranked_seed ON scores (gamename, seed) WHERE ranked <> 0;"
                    "CREATE UNIQUE INDEX IF NOT EXISTS scores_record ON scores (digest)",
    };
}

// Columns a file of an older server, from before the steps were counted, lacks: its scores
// stay, as unverified, and its verified ones (records of whole sessions, seeds of the
// game's choosing) as unranked.
struct OldColumns {
    const char *column;
    const char *sql;
};
const OldColumns kOldColumns[] = {
    {"verified", "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0;"
                 "ALTER TABLE scores ADD COLUMN record BLOB"},
    {"ranked", "ALTER TABLE scores ADD COLUMN ranked INTEGER NOT NULL DEFAULT 0;"
               "ALTER TABLE scores ADD COLUMN seed INTEGER;"
               "ALTER TABLE scores ADD COLUMN digest TEXT"},
};

bool addOldColumns(Database &db) {
    const std::optional<Rows> columns = db.run("PRAGMA table_info(scores)");
    if (!columns)
        return false;
    for (const OldColumns &old : kOldColumns) {
        bool has = columns->rows.empty(); // no table: the first step makes it whole
        for (const std::vector<std::string> &column : columns->rows)
            has = has || column[1] == old.column;
        if (!has && !db.script(old.sql))
            return false;
    }
    return true;
}

// Takes the steps this database lacks, in one transaction that other instances starting
// at the same moment wait for. Returns why it failed, or nothing.
std::string migrate(Database &db) {
    if (!db.begin())
        return db.error();
    bool ok = db.lockSchema() && db.script("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    if (ok && db.engine() == Database::Engine::SQLite)
        ok = addOldColumns(db);
    const std::optional<Rows> done = ok ? db.run("SELECT COALESCE(MAX(version), 0) FROM schema_version") : std::nullopt;
    const std::vector<std::string> steps = migrations(db);
    ok = done.has_value();
    for (size_t step = ok ? size_t(integerOf(done->rows[0][0])) : steps.size(); ok && step < steps.size(); ++step)
        ok = db.script(steps[step]) && db.run("INSERT INTO schema_version (version) VALUES (?1)", {int64_t(step + 1)});
    if (ok && db.commit())
        return {};
    const std::string error = db.error(); // before the rollback clears it
    db.rollback();
    return error.empty() ? "cannot bring the schema up to date" : error;
}

const char *const kTicketKeyName = "ticket key";

// ?4: 1 ranks every score (among friends); ?5: 1 the verified scores that do not rank instead.
const char *rankedQuery(const Game &game) {
    return game.fewerIsBetter()
        ? "SELECT name, score, submitted, id, verified, CASE WHEN ranked <> 0 OR ?4 <> 0 THEN 1 ELSE 0 END"
          " FROM scores WHERE gamename = ?1 AND CASE WHEN ?5 <> 0 THEN verified <> 0 AND ranked = 0 AND ?4 = 0"
          " ELSE ranked <> 0 OR ?4 <> 0 END ORDER BY score ASC, id ASC LIMIT ?2 OFFSET ?3"
        : "SELECT name, score, submitted, id, verified, CASE WHEN ranked <> 0 OR ?4 <> 0 THEN 1 ELSE 0 END"
          " FROM scores WHERE gamename = ?1 AND CASE WHEN ?5 <> 0 THEN verified <> 0 AND ranked = 0 AND ?4 = 0"
          " ELSE ranked <> 0 OR ?4 <> 0 END ORDER BY score DESC, id ASC LIMIT ?2 OFFSET ?3";
}

} // namespace

Store::Store(const std::string &target) : _db(Database::open(target, _error)) {
    if (_db)
        _error = migrate(*_db);
}

Store::~Store() = default;

void Store::waitAtMost(std::chrono::milliseconds patience) {
    std::lock_guard<std::mutex> hold(_lock);
    _db->waitAtMost(patience);
}

std::optional<bool> Store::qualifies(const Question &question) {
    std::lock_guard<std::mutex> hold(_lock);
    const std::optional<Rows> tenth =
        _db->run(rankedQuery(question.game), {question.game.name(), int64_t(1), int64_t(kTopPlaces - 1),
                                              int64_t(_rankUnverified), int64_t(0)});
    if (!tenth)
        return std::nullopt;
    if (tenth->rows.empty())
        return true; // fewer than ten entries
    const int64_t bar = integerOf(tenth->rows[0][1]);
    return question.game.fewerIsBetter() ? question.score < bar : question.score > bar;
}

std::optional<std::vector<bool>> Store::add(const std::vector<Submission> &submissions, int64_t submitted) {
    std::lock_guard<std::mutex> hold(_lock);
    if (!_db->begin())
        return std::nullopt;
    std::vector<bool> stored;
    for (const Submission &s : submissions) {
        const std::optional<Rows> inserted = _db->run(
            "INSERT INTO scores (gamename, name, score, computer, submitted, verified, record, ranked, seed, digest)"
            " VALUES (?1, ?2, ?3, 'M', ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT DO NOTHING",
            {s.game.name(), s.name, int64_t(s.score), submitted, int64_t(s.verified), Bytes{s.record},
             int64_t(s.ranked), s.verified ? Value(int64_t(s.seed)) : Value(Null{}),
             s.digest.empty() ? Value(Null{}) : Value(s.digest)});
        if (!inserted)
            break;
        stored.push_back(inserted->changed == 1);
    }
    if (stored.size() == submissions.size() && _db->commit())
        return stored;
    _db->rollback();
    return std::nullopt;
}

std::optional<std::vector<Entry>> Store::top(const Game &game) {
    std::lock_guard<std::mutex> hold(_lock);
    std::vector<Entry> entries;
    for (const int64_t unranked : {0, 1}) {
        const std::optional<Rows> best = _db->run(
            rankedQuery(game), {game.name(), int64_t(kTopPlaces), int64_t(0), int64_t(_rankUnverified), unranked});
        if (!best)
            return std::nullopt;
        for (const std::vector<std::string> &row : best->rows)
            entries.push_back({row[0], int32_t(integerOf(row[1])), integerOf(row[2]), integerOf(row[3]),
                               integerOf(row[4]) != 0, integerOf(row[5]) != 0});
    }
    return entries;
}

std::optional<std::string> Store::ticketKey() {
    std::lock_guard<std::mutex> hold(_lock);
    // Two servers starting on one database at once agree on the first key written.
    const std::string fresh = randomBytes(kTicketKeyBytes);
    if (fresh.size() != kTicketKeyBytes ||
        !_db->run("INSERT INTO secrets (name, value) VALUES (?1, ?2) ON CONFLICT DO NOTHING",
                  {std::string(kTicketKeyName), Bytes{fresh}}))
        return std::nullopt;
    const std::optional<Rows> stored =
        _db->run("SELECT value FROM secrets WHERE name = ?1", {std::string(kTicketKeyName)});
    if (!stored || stored->rows.empty() || stored->rows[0][0].size() < kTicketKeyBytes)
        return std::nullopt;
    return stored->rows[0][0];
}

std::optional<bool> Store::seedRanked(const Game &game, uint32_t seed) {
    std::lock_guard<std::mutex> hold(_lock);
    const std::optional<Rows> ranked = _db->run(
        "SELECT 1 FROM scores WHERE gamename = ?1 AND seed = ?2 AND ranked <> 0", {game.name(), int64_t(seed)});
    if (!ranked)
        return std::nullopt;
    return !ranked->rows.empty();
}

std::optional<std::string> Store::record(int64_t id) {
    std::lock_guard<std::mutex> hold(_lock);
    const std::optional<Rows> stored =
        _db->run("SELECT record FROM scores WHERE id = ?1 AND verified <> 0 AND record IS NOT NULL", {id});
    if (!stored)
        return std::nullopt;
    return stored->rows.empty() ? std::string() : stored->rows[0][0];
}

} // namespace scored
