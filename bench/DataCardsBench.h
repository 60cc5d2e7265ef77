#pragma once

// The data card benchmark's helpers: it fills a large lock database and measures
// against the bare SQLite C API.

#include <sqlite3.h>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace qvbench {

// Ends the benchmark with SQLite's message when `rc` is a failure.
inline void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Fast generation on a connection of its own: one transaction, prepared
// inserts, no syncing (the file is thrown away afterwards).
class Generator {
public:
    explicit Generator(const QString& path) {
        check(sqlite3_open(path.toUtf8().constData(), &db_), db_, "open");
        exec("PRAGMA synchronous=OFF");
        exec("BEGIN");
    }
    ~Generator() {
        exec("COMMIT");
        sqlite3_close(db_);
    }
    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    void exec(const char* sql) {
        check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), db_, sql);
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db_, sql, -1, &st, nullptr), db_, sql);
        return st;
    }
    void step(sqlite3_stmt* st) {
        check(sqlite3_step(st), db_, "insert");
        sqlite3_reset(st);
    }
    sqlite3* db() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace qvbench
