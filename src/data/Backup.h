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
// while other desks write) into a temporary file beside the target, synced
// and then renamed into place. PostgreSQL: a fresh lock database file that
// receives every lock table's rows in one read.
void backupDatabase(Connection& conn, const QString& target, const BackupProgress& progress = {});

// Checks `file` before anything is touched: a lock database
// (application_id), not from a newer program, passing integrity_check. A
// file that fails is refused with the reason and the live database stays as
// it was. Then its contents replace the database of `conn` in one step (SQLite:
// the online backup into the live file; PostgreSQL: one transaction that
// empties and reloads every lock table). Serial counters never go back: a
// counter that is ahead of the restored one keeps its value, so no serial
// written onto a card since the backup is written again.
void restoreDatabase(Connection& conn, const QString& file, const BackupProgress& progress = {});

// The tables of the lock database, in the order of the schema script.
QStringList lockTables();

}  // namespace qv
