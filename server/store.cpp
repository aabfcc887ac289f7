#include "store.h"

#include "tickets.h"

#include <sqlite3.h>

#include <string>

namespace scored {

namespace {

const char *const kSchema =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id INTEGER PRIMARY KEY,"
    " gamename TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " score INTEGER NOT NULL,"
    " computer TEXT NOT NULL,"
    " submitted INTEGER NOT NULL,"
    " verified INTEGER NOT NULL DEFAULT 0,"
    " record BLOB,"
    " ranked INTEGER NOT NULL DEFAULT 0,"
    " seed INTEGER,"
    " digest TEXT);"
    "CREATE TABLE IF NOT EXISTS secrets (name TEXT PRIMARY KEY, value BLOB NOT NULL);";

// Columns a database of an older server lacks: its scores stay, as unverified, and its
// verified ones (records of whole sessions, seeds of the game's choosing) as unranked.
struct Migration {
    const char *column;
    const char *sql;
};
const Migration kMigrations[] = {
    {"verified", "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0;"
                 "ALTER TABLE scores ADD COLUMN record BLOB;"},
    {"ranked", "ALTER TABLE scores ADD COLUMN ranked INTEGER NOT NULL DEFAULT 0;"
               "ALTER TABLE scores ADD COLUMN seed INTEGER;"
               "ALTER TABLE scores ADD COLUMN digest TEXT;"},
};

// A ticket's seed ranks once in its game, and a record is kept once: a copy posted again,
// under any name, is refused.
const char *const kIndexes =
    "CREATE INDEX IF NOT EXISTS scores_by_game ON scores (gamename, score);"
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_ranked_seed ON scores (gamename, seed) WHERE ranked;"
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_record ON scores (digest);";

const char *const kTicketKeyName = "ticket key";

// Short: a locked database should be reported, not waited out past the game's patience.
const int kBusyMilliseconds = 1000;

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool ok() const { return _stmt != nullptr; }
    void bind(int index, const std::string &text) {
        sqlite3_bind_text(_stmt, index, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, int64_t value) { sqlite3_bind_int64(_stmt, index, value); }
    void bindNull(int index) { sqlite3_bind_null(_stmt, index); }
    void bindTextOrNull(int index, const std::string &text) {
        if (text.empty())
            bindNull(index);
        else
            bind(index, text);
    }
    void bindBlob(int index, const std::string &bytes) {
        if (bytes.empty())
            sqlite3_bind_null(_stmt, index);
        else
            sqlite3_bind_blob(_stmt, index, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    std::string blob(int column) {
        const void *b = sqlite3_column_blob(_stmt, column);
        return b ? std::string(static_cast<const char *>(b), size_t(sqlite3_column_bytes(_stmt, column))) : "";
    }
    int step() { return sqlite3_step(_stmt); }
    void reset() { sqlite3_reset(_stmt); }
    int64_t integer(int column) { return sqlite3_column_int64(_stmt, column); }
    std::string text(int column) {
        const unsigned char *t = sqlite3_column_text(_stmt, column);
        return t ? reinterpret_cast<const char *>(t) : "";
    }

private:
    sqlite3_stmt *_stmt = nullptr;
};

// ?4: 1 ranks every score (among friends); ?5: 1 the verified scores that do not rank instead.
const char *rankedQuery(const Game &game) {
    return game.fewerIsBetter()
        ? "SELECT name, score, submitted, id, verified, ranked OR ?4 FROM scores WHERE gamename = ?1"
          " AND CASE WHEN ?5 THEN verified AND NOT (ranked OR ?4) ELSE ranked OR ?4 END"
          " ORDER BY score ASC, id ASC LIMIT ?2 OFFSET ?3"
        : "SELECT name, score, submitted, id, verified, ranked OR ?4 FROM scores WHERE gamename = ?1"
          " AND CASE WHEN ?5 THEN verified AND NOT (ranked OR ?4) ELSE ranked OR ?4 END"
          " ORDER BY score DESC, id ASC LIMIT ?2 OFFSET ?3";
}

bool hasColumn(sqlite3 *db, const char *table, const char *column) {
    Statement columns(db, (std::string("PRAGMA table_info(") + table + ")").c_str());
    while (columns.ok() && columns.step() == SQLITE_ROW)
        if (columns.text(1) == column)
            return true;
    return false;
}

} // namespace

Store::Store(const std::string &path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &_db, flags, nullptr) != SQLITE_OK) {
        _error = _db ? sqlite3_errmsg(_db) : "out of memory";
        return;
    }
    sqlite3_busy_timeout(_db, kBusyMilliseconds);
    // FULL syncs the WAL at every commit: an answered submission survives even a power cut.
    if (!exec("PRAGMA journal_mode = WAL") || !exec("PRAGMA synchronous = FULL") || !exec(kSchema)) {
        _error = sqlite3_errmsg(_db);
        return;
    }
    for (const Migration &migration : kMigrations)
        if (!hasColumn(_db, "scores", migration.column) &&
            !exec(("BEGIN IMMEDIATE;" + std::string(migration.sql) + "COMMIT").c_str())) {
            _error = sqlite3_errmsg(_db);
            exec("ROLLBACK");
            return;
        }
    if (!exec(kIndexes))
        _error = sqlite3_errmsg(_db);
}

Store::~Store() {
    sqlite3_close(_db);
}

void Store::waitAtMost(std::chrono::milliseconds patience) {
    std::lock_guard<std::mutex> hold(_lock);
    sqlite3_busy_timeout(_db, int(patience.count()));
}

bool Store::exec(const char *sql) {
    return sqlite3_exec(_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<bool> Store::qualifies(const Question &question) {
    std::lock_guard<std::mutex> hold(_lock);
    Statement tenth(_db, rankedQuery(question.game));
    if (!tenth.ok())
        return std::nullopt;
    tenth.bind(1, question.game.name());
    tenth.bind(2, int64_t(1));
    tenth.bind(3, int64_t(kTopPlaces - 1));
    tenth.bind(4, int64_t(_rankUnverified));
    tenth.bind(5, int64_t(0));
    const int step = tenth.step();
    if (step == SQLITE_DONE)
        return true; // fewer than ten entries
    if (step != SQLITE_ROW)
        return std::nullopt;
    const int64_t bar = tenth.integer(1);
    return question.game.fewerIsBetter() ? question.score < bar : question.score > bar;
}

std::optional<std::vector<bool>> Store::add(const std::vector<Submission> &submissions, int64_t submitted) {
    std::lock_guard<std::mutex> hold(_lock);
    if (!exec("BEGIN IMMEDIATE"))
        return std::nullopt;
    std::vector<bool> stored;
    bool ok;
    {
        Statement insert(_db, "INSERT INTO scores (gamename, name, score, computer, submitted, verified, record,"
                              " ranked, seed, digest) VALUES (?1, ?2, ?3, 'M', ?4, ?5, ?6, ?7, ?8, ?9)"
                              " ON CONFLICT DO NOTHING");
        ok = insert.ok();
        for (size_t i = 0; ok && i < submissions.size(); ++i) {
            const Submission &s = submissions[i];
            insert.bind(1, s.game.name());
            insert.bind(2, s.name);
            insert.bind(3, int64_t(s.score));
            insert.bind(4, submitted);
            insert.bind(5, int64_t(s.verified));
            insert.bindBlob(6, s.record);
            insert.bind(7, int64_t(s.ranked));
            if (s.verified)
                insert.bind(8, int64_t(s.seed));
            else
                insert.bindNull(8);
            insert.bindTextOrNull(9, s.digest);
            ok = insert.step() == SQLITE_DONE;
            stored.push_back(sqlite3_changes(_db) == 1);
            insert.reset();
        }
    } // finalised before the commit
    if (ok && exec("COMMIT"))
        return stored;
    exec("ROLLBACK");
    return std::nullopt;
}

std::optional<std::vector<Entry>> Store::top(const Game &game) {
    std::lock_guard<std::mutex> hold(_lock);
    std::vector<Entry> entries;
    for (const int64_t unranked : {0, 1}) {
        Statement best(_db, rankedQuery(game));
        if (!best.ok())
            return std::nullopt;
        best.bind(1, game.name());
        best.bind(2, int64_t(kTopPlaces));
        best.bind(3, int64_t(0));
        best.bind(4, int64_t(_rankUnverified));
        best.bind(5, unranked);
        int step;
        while ((step = best.step()) == SQLITE_ROW)
            entries.push_back({best.text(0), int32_t(best.integer(1)), best.integer(2), best.integer(3),
                               best.integer(4) != 0, best.integer(5) != 0});
        if (step != SQLITE_DONE)
            return std::nullopt;
    }
    return entries;
}

std::optional<std::string> Store::ticketKey() {
    std::lock_guard<std::mutex> hold(_lock);
    // Two servers starting on one file at once agree on the first key written.
    const std::string fresh = randomBytes(kTicketKeyBytes);
    Statement insert(_db, "INSERT OR IGNORE INTO secrets (name, value) VALUES (?1, ?2)");
    if (fresh.size() != kTicketKeyBytes || !insert.ok())
        return std::nullopt;
    insert.bind(1, std::string(kTicketKeyName));
    insert.bindBlob(2, fresh);
    Statement stored(_db, "SELECT value FROM secrets WHERE name = ?1");
    if (insert.step() != SQLITE_DONE || !stored.ok())
        return std::nullopt;
    stored.bind(1, std::string(kTicketKeyName));
    if (stored.step() != SQLITE_ROW)
        return std::nullopt;
    const std::string key = stored.blob(0);
    if (key.size() < kTicketKeyBytes)
        return std::nullopt;
    return key;
}

std::optional<bool> Store::seedRanked(const Game &game, uint32_t seed) {
    std::lock_guard<std::mutex> hold(_lock);
    Statement ranked(_db, "SELECT 1 FROM scores WHERE gamename = ?1 AND seed = ?2 AND ranked");
    if (!ranked.ok())
        return std::nullopt;
    ranked.bind(1, game.name());
    ranked.bind(2, int64_t(seed));
    const int step = ranked.step();
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        return std::nullopt;
    return step == SQLITE_ROW;
}

std::optional<std::string> Store::record(int64_t id) {
    std::lock_guard<std::mutex> hold(_lock);
    Statement stored(_db, "SELECT record FROM scores WHERE id = ?1 AND verified AND record IS NOT NULL");
    if (!stored.ok())
        return std::nullopt;
    stored.bind(1, id);
    const int step = stored.step();
    if (step == SQLITE_DONE)
        return std::string();
    if (step != SQLITE_ROW)
        return std::nullopt;
    return stored.blob(0);
}

} // namespace scored
