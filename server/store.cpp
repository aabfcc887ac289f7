#include "store.h"

#include <sqlite3.h>

namespace scored {

namespace {

const char *const kSchema =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id INTEGER PRIMARY KEY,"
    " gamename TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " score INTEGER NOT NULL,"
    " computer TEXT NOT NULL,"
    " submitted INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS scores_by_game ON scores (gamename, score);";

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

const char *rankedQuery(const Game &game) {
    return game.fewerIsBetter()
        ? "SELECT name, score, submitted FROM scores WHERE gamename = ?1"
          " ORDER BY score ASC, id ASC LIMIT ?2 OFFSET ?3"
        : "SELECT name, score, submitted FROM scores WHERE gamename = ?1"
          " ORDER BY score DESC, id ASC LIMIT ?2 OFFSET ?3";
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
        Statement insert(_db, "INSERT INTO scores (gamename, name, score, computer, submitted)"
                              " VALUES (?1, ?2, ?3, 'M', ?4)");
        stored = insert.ok();
        for (size_t i = 0; stored && i < submissions.size(); ++i) {
            insert.bind(1, submissions[i].game.name());
            insert.bind(2, submissions[i].name);
            insert.bind(3, int64_t(submissions[i].score));
            insert.bind(4, submitted);
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
    int step;
    while ((step = ranked.step()) == SQLITE_ROW)
        entries.push_back({ranked.text(0), int32_t(ranked.integer(1)), ranked.integer(2)});
    if (step != SQLITE_DONE)
        return std::nullopt;
    return entries;
}

} // namespace scored
