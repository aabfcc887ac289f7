#include "database.h"

#include <sqlite3.h>

#include <cstdlib>
#include <map>

namespace scored {

std::unique_ptr<Database> openSqlite(const std::string &path, std::string &error);

namespace {

class SqliteDatabase : public Database {
public:
    explicit SqliteDatabase(sqlite3 *db) : _db(db) {}
    ~SqliteDatabase() override {
        for (auto &kept : _statements)
            sqlite3_finalize(kept.second);
        sqlite3_close(_db); // the WAL is folded back in
    }

    Engine engine() const override { return Engine::SQLite; }
    bool begin() override { return run("BEGIN IMMEDIATE").has_value(); }
    bool lockSchema() override { return true; } // BEGIN IMMEDIATE already keeps other writers out
    void waitAtMost(std::chrono::milliseconds patience) override { sqlite3_busy_timeout(_db, int(patience.count())); }
    std::string error() const override { return sqlite3_errmsg(_db); }
    const char *rowIdColumn() const override { return "INTEGER PRIMARY KEY"; }
    const char *bytesType() const override { return "BLOB"; }

    bool script(const std::string &sql) override {
        return sqlite3_exec(_db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    std::optional<Rows> statement(const std::string &sql, const std::vector<Value> &values) override {
        sqlite3_stmt *statement = prepared(sql);
        if (!statement)
            return std::nullopt;
        for (size_t i = 0; i < values.size(); ++i)
            bind(statement, int(i + 1), values[i]);
        Rows result;
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW)
            result.rows.push_back(row(statement));
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (step != SQLITE_DONE)
            return std::nullopt;
        result.changed = sqlite3_changes(_db);
        return result;
    }

private:
    // Kept prepared: the same few statements run for every request.
    sqlite3_stmt *prepared(const std::string &sql) {
        auto found = _statements.find(sql);
        if (found != _statements.end())
            return found->second;
        sqlite3_stmt *statement = nullptr;
        const char *rest = nullptr;
        if (sqlite3_prepare_v2(_db, sql.c_str(), int(sql.size()), &statement, &rest) != SQLITE_OK)
            return nullptr;
        if (rest && *rest) { // one statement only: the rest would be silently skipped
            sqlite3_finalize(statement);
            return nullptr;
        }
        return _statements.emplace(sql, statement).first->second;
    }

    static void bind(sqlite3_stmt *statement, int index, const Value &value) {
        if (const int64_t *number = std::get_if<int64_t>(&value))
            sqlite3_bind_int64(statement, index, *number);
        else if (const std::string *text = std::get_if<std::string>(&value))
            sqlite3_bind_text(statement, index, text->data(), int(text->size()), SQLITE_TRANSIENT);
        else if (const Bytes *bytes = std::get_if<Bytes>(&value); bytes && !bytes->data.empty())
            sqlite3_bind_blob(statement, index, bytes->data.data(), int(bytes->data.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(statement, index);
    }

    static std::vector<std::string> row(sqlite3_stmt *statement) {
        std::vector<std::string> columns;
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
            const void *bytes = sqlite3_column_type(statement, c) == SQLITE_BLOB ? sqlite3_column_blob(statement, c)
                                                                                  : sqlite3_column_text(statement, c);
            columns.emplace_back(bytes ? static_cast<const char *>(bytes) : "",
                                 bytes ? size_t(sqlite3_column_bytes(statement, c)) : 0);
        }
        return columns;
    }

    sqlite3 *_db;
    std::map<std::string, sqlite3_stmt *> _statements;
};

// Short: a locked database should be reported, not waited out past the game's patience.
const int kBusyMilliseconds = 1000;

} // namespace

std::unique_ptr<Database> openSqlite(const std::string &path, std::string &error) {
    sqlite3 *db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    auto database = std::make_unique<SqliteDatabase>(db);
    // FULL syncs the WAL at every commit: an answered submission survives even a power cut.
    if (!database->run("PRAGMA journal_mode = WAL") || !database->run("PRAGMA synchronous = FULL")) {
        error = database->error();
        return nullptr;
    }
    return database;
}

int64_t integerOf(const std::string &text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

} // namespace scored
