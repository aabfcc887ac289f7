#pragma once
// One connection to the score database: an SQLite file, or a PostgreSQL server shared by
// any number of instances. The store writes its SQL once for both: parameters as ?1, ?2...,
// integers instead of booleans, and ON CONFLICT for the rules a duplicate must not break.
// Not safe to share between threads: the store serialises its calls.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace scored {

struct Bytes {
    std::string data;   // stored as a BLOB or bytea; empty is stored as NULL
};
struct Null {};
using Value = std::variant<int64_t, std::string, Bytes, Null>;

// A statement's rows, each column as text (integers in decimal, blobs as their bytes, NULL
// as empty), and how many rows it inserted, changed or deleted.
struct Rows {
    std::vector<std::vector<std::string>> rows;
    int64_t changed = 0;
};

class Database {
public:
    enum class Engine { SQLite, PostgreSQL };

    // "postgresql://..." or "postgres://..." (a libpq connection URI), anything else an SQLite file.
    static std::unique_ptr<Database> open(const std::string &target, std::string &error);
    static bool isPostgresTarget(const std::string &target);
    virtual ~Database() = default;

    virtual Engine engine() const = 0;
    // One statement; nothing when it fails (see error()).
    std::optional<Rows> run(const std::string &sql, const std::vector<Value> &values = {}) {
        return statement(sql, values);
    }
    // Statements without parameters or rows, separated by semicolons; stops at one that fails.
    virtual bool script(const std::string &sql) = 0;
    // A write transaction, taken at once so two writers never deadlock upgrading their locks.
    virtual bool begin() = 0;
    virtual bool commit() { return run("COMMIT").has_value(); }
    virtual void rollback() { run("ROLLBACK"); }
    // Inside a transaction: waits until no other instance is changing the schema.
    virtual bool lockSchema() = 0;
    // How long a statement may wait for locks (or the server) before it fails.
    virtual void waitAtMost(std::chrono::milliseconds patience) = 0;
    virtual std::string error() const = 0;
    // The type of a table's row number, given in a CREATE TABLE.
    virtual const char *rowIdColumn() const = 0;
    virtual const char *bytesType() const = 0;

protected:
    virtual std::optional<Rows> statement(const std::string &sql, const std::vector<Value> &values) = 0;
};

// What a column of text holds as an integer (0 when it is empty).
int64_t integerOf(const std::string &text);

} // namespace scored
