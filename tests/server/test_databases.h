#pragma once
// Test support: an empty score database of either engine; PostgreSQL's on scripts/with_postgresql.sh's cluster.
#include "database.h"
#include "temp_dir.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using Engine = scored::Database::Engine;

// Where to reach a new empty database: a file in dir, or a database created on the cluster.
inline std::string freshDatabase(Engine engine, const TempDir &dir) {
    static std::atomic<int> made{0};
    const std::string name = "t" + std::to_string(getpid()) + "_" + std::to_string(++made);
    if (engine == Engine::SQLite)
        return dir.path(name + ".db");
    const char *cluster = std::getenv("BROLIX_TEST_PG");
    if (!cluster || !*cluster)
        throw std::runtime_error("BROLIX_TEST_PG is not set: run this test through ctest "
                                 "(scripts/with_postgresql.sh starts the cluster)");
    std::string error;
    const std::unique_ptr<scored::Database> admin = scored::Database::open(cluster, error);
    if (!admin || !admin->script("CREATE DATABASE " + name))
        throw std::runtime_error("cannot create a database on " + std::string(cluster) + ": " +
                                 (admin ? admin->error() : error));
    const std::string url = cluster;
    return url.substr(0, url.rfind('/') + 1) + name;
}

// The first column of each row the query gives in this database.
inline std::vector<std::string> rows(const std::string &target, const std::string &sql) {
    std::string error;
    const std::unique_ptr<scored::Database> db = scored::Database::open(target, error);
    std::vector<std::string> out;
    const std::optional<scored::Rows> rows = db ? db->run(sql) : std::nullopt;
    if (!rows)
        throw std::runtime_error("cannot read " + target + ": " + (db ? db->error() : error));
    for (const std::vector<std::string> &row : rows->rows)
        out.push_back(row.at(0));
    return out;
}
