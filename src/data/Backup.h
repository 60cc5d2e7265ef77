#pragma once

#include <QString>
#include <functional>

namespace qv {
class Connection;

// Backup and restore of the lock database, whichever kind it is. A backup is
// always an embedded lock database file (SQLite, the format of db/lock.db), so
// a hotel can keep it, restore it, and move from one desk to a shared server.
//
// Progress is reported as (done, total) steps; the caller may keep the
// window painted from it. Failures throw qv::Error with a text for the
// operator; nothing is left half-done.

using BackupProgress = std::function<void(qint64 done, qint64 total)>;

// Writes a backup of the open database `conn` to `target`, which must not
// exist. SQLite: the online backup of the live file (a consistent moment even
// while other desks write) into a work file beside the target, synced and
// then linked into place. PostgreSQL: a fresh lock database file that
// receives every lock table's rows in one read. The backup and its work file
// are private to the desk's user and group; work files an ended backup left
// in the target's folder are removed first.
void backupDatabase(Connection& conn, const QString& target, const BackupProgress& progress = {});

// Checks `file` before anything is touched: a lock database
// (application_id), not from a newer program, with every table and column,
// passing integrity_check. A file that fails is refused with the reason and
// the live database stays as it was. The checked copy (a private work file
// beside the live file, or in the program's db folder for the server) then
// replaces the contents of `conn` in one transaction under the write lock,
// together with what must outlive a restore: serial counters never go back
// (a counter ahead of the restored one keeps its value, so no serial written
// onto a card since the backup is written again), and card issue log rows
// of cards whose issue never completed are kept. Ended at any moment, the
// database is the old one or the restored one, whole.
void restoreDatabase(Connection& conn, const QString& file, const BackupProgress& progress = {});

// The tables of the lock database, in the order of the schema script.
QStringList lockTables();

}  // namespace qv
