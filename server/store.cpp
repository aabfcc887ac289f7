#include "store.h"

#include "database.h"

#include <string>

namespace scored {

namespace {

// Each step of the schema, in order, never changed once released: a database records
// the last one it took, and every instance that starts takes those it lacks.
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
                    " record " + db.bytesType() + ");"
                    "CREATE INDEX IF NOT EXISTS scores_by_game ON scores (gamename, score)",
    };
}

// A file of a server from before records: its scores stay, as unverified.
const char *const kAddRecords =
    "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE scores ADD COLUMN record BLOB";

bool lacksRecords(Database &db) {
    const std::optional<Rows> columns = db.run("PRAGMA table_info(scores)");
    if (!columns || columns->rows.empty())
        return false;
    for (const std::vector<std::string> &column : columns->rows)
        if (column[1] == "verified")
            return false;
    return true;
}

// Takes the steps this database lacks, in one transaction that other instances starting
// at the same moment wait for. Returns why it failed, or nothing.
std::string migrate(Database &db) {
    if (!db.begin())
        return db.error();
    bool ok = db.lockSchema() && db.script("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    if (ok && db.engine() == Database::Engine::SQLite && lacksRecords(db))
        ok = db.script(kAddRecords);
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

// ?4: 1 ranks unverified scores too.
const char *rankedQuery(const Game &game) {
    return game.fewerIsBetter()
        ? "SELECT name, score, submitted, id, verified FROM scores WHERE gamename = ?1 AND (verified <> 0 OR ?4 <> 0)"
          " ORDER BY score ASC, id ASC LIMIT ?2 OFFSET ?3"
        : "SELECT name, score, submitted, id, verified FROM scores WHERE gamename = ?1 AND (verified <> 0 OR ?4 <> 0)"
          " ORDER BY score DESC, id ASC LIMIT ?2 OFFSET ?3";
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
                                              int64_t(_rankUnverified)});
    if (!tenth)
        return std::nullopt;
    if (tenth->rows.empty())
        return true; // fewer than ten entries
    const int64_t bar = integerOf(tenth->rows[0][1]);
    return question.game.fewerIsBetter() ? question.score < bar : question.score > bar;
}

bool Store::add(const std::vector<Submission> &submissions, int64_t submitted) {
    std::lock_guard<std::mutex> hold(_lock);
    if (!_db->begin())
        return false;
    bool stored = true;
    for (size_t i = 0; stored && i < submissions.size(); ++i)
        stored = _db->run("INSERT INTO scores (gamename, name, score, computer, submitted, verified, record)"
                          " VALUES (?1, ?2, ?3, 'M', ?4, ?5, ?6)",
                          {submissions[i].game.name(), submissions[i].name, int64_t(submissions[i].score), submitted,
                           int64_t(submissions[i].verified), Bytes{submissions[i].record}})
                     .has_value();
    if (stored && _db->commit())
        return true;
    _db->rollback();
    return false;
}

std::optional<std::vector<Entry>> Store::top(const Game &game) {
    std::lock_guard<std::mutex> hold(_lock);
    const std::optional<Rows> ranked =
        _db->run(rankedQuery(game), {game.name(), int64_t(kTopPlaces), int64_t(0), int64_t(_rankUnverified)});
    if (!ranked)
        return std::nullopt;
    std::vector<Entry> entries;
    for (const std::vector<std::string> &row : ranked->rows)
        entries.push_back({row[0], int32_t(integerOf(row[1])), integerOf(row[2]), integerOf(row[3]),
                           integerOf(row[4]) != 0});
    return entries;
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
