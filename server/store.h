#pragma once
// The score database: one SQLite file in WAL mode, or a PostgreSQL database that any
// number of instances share. Every submission is committed (and synced) before add()
// returns, so an acknowledged score survives a crash. Safe to share between threads:
// calls are serialised.
#include "requests.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace scored {

class Database;

struct Entry {
    std::string name;
    int32_t score = 0;
    int64_t submitted = 0;   // seconds since 1970, UTC
    int64_t id = 0;
    bool verified = false;   // stored with the record it replayed from
    bool ranked = false;     // on the leaderboard, not only shown beside it
};

class Store {
public:
    // Opens or creates the file, or connects to "postgresql://..."; brings the schema up to
    // date. Check error() before use.
    explicit Store(const std::string &target);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    const std::string &error() const { return _error; } // empty when the file is usable
    // Whether scores sent without a record rank beside verified ones (false at first).
    void rankUnverified(bool rank) { _rankUnverified = rank; }
    // How long the next calls may wait for a database another process holds locked (1 s at first).
    void waitAtMost(std::chrono::milliseconds patience);
    // Each returns nothing (or false) when the database fails.
    std::optional<bool> qualifies(const Question &question); // would enter the top ten of its game
    // All committed and synced together with one disk flush, or none (nothing returned).
    // Each is false when its ticket's seed or its record is in the store already.
    std::optional<std::vector<bool>> add(const std::vector<Submission> &submissions, int64_t submitted);
    // The ten best that rank, then the ten best verified that do not; each best first.
    std::optional<std::vector<Entry>> top(const Game &game);
    std::optional<std::string> ticketKey();        // made and kept at the first call
    std::optional<bool> seedRanked(const Game &game, uint32_t seed);
    // A verified score's record: nothing when the database fails, an empty string when there is none.
    std::optional<std::string> record(int64_t id);

private:
    std::string _error;
    std::unique_ptr<Database> _db;
    std::mutex _lock;
    bool _rankUnverified = false;
};

} // namespace scored
