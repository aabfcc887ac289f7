#include "store.h"

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
    " record BLOB);"
    "CREATE INDEX IF NOT EXISTS scores_by_game ON scores (gamename, score);";

// A database of a server from before records: its scores stay, as unverified.
const char *const kAddRecords =
    "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE scores ADD COLUMN record BLOB;";

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

// ?4: 1 ranks unverified scores too.
const char *rankedQuery(const Game &game) {
    return game.fewerIsBetter()
        ? "SELECT name, score, submitted, id, verified FROM scores WHERE gamename = ?1 AND (verified OR ?4)"
          " ORDER BY score ASC, id ASC LIMIT ?2 OFFSET ?3"
        : "SELECT name, score, submitted, id, verified FROM scores WHERE gamename = ?1 AND (verified OR ?4)"
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
    if (!exec("PRAGMA journal_mode = WAL") || !exec("PRAGMA synchronous = FULL") || !exec(kSchema))
        _error = sqlite3_errmsg(_db);
    else if (!hasColumn(_db, "scores", "verified") &&
             !exec(("BEGIN IMMEDIATE;" + std::string(kAddRecords) + "COMMIT").c_str())) {
        _error = sqlite3_errmsg(_db);
        exec("ROLLBACK");
    }
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
    const int step = tenth.step();
    if (step == SQLITE_DONE)
        return true; // fewer than ten entries
    if (step != SQLITE_ROW)
        return std::nullopt;
    const int64_t bar = tenth.integer(1);
    return question.game.fewerIsBetter() ? question.score < bar : question.score > bar;
}

bool Store::add(const std::vector<Submission> &submissions, int64_t submitted) {
    std::lock_guard<std::mutex> hold(_lock);
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    bool stored;
    {
        Statement insert(_db, "INSERT INTO scores (gamename, name, score, computer, submitted, verified, record)"
                              " VALUES (?1, ?2, ?3, 'M', ?4, ?5, ?6)");
        stored = insert.ok();
        for (size_t i = 0; stored && i < submissions.size(); ++i) {
            insert.bind(1, submissions[i].game.name());
            insert.bind(2, submissions[i].name);
            insert.bind(3, int64_t(submissions[i].score));
            insert.bind(4, submitted);
            insert.bind(5, int64_t(submissions[i].verified));
            insert.bindBlob(6, submissions[i].record);
            stored = insert.step() == SQLITE_DONE;
            insert.reset();
        }
    } // finalised before the commit
    if (stored && exec("COMMIT"))
        return true;
    exec("ROLLBACK");
    return false;
}

std::optional<std::vector<Entry>> Store::top(const Game &game) {
    std::lock_guard<std::mutex> hold(_lock);
    std::vector<Entry> entries;
    Statement ranked(_db, rankedQuery(game));
    if (!ranked.ok())
        return std::nullopt;
    ranked.bind(1, game.name());
    ranked.bind(2, int64_t(kTopPlaces));
    ranked.bind(3, int64_t(0));
    ranked.bind(4, int64_t(_rankUnverified));
    int step;
    while ((step = ranked.step()) == SQLITE_ROW)
        entries.push_back({ranked.text(0), int32_t(ranked.integer(1)), ranked.integer(2), ranked.integer(3),
                           ranked.integer(4) != 0});
    if (step != SQLITE_DONE)
        return std::nullopt;
    return entries;
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
