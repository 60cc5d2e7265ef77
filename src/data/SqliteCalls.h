#pragma once

// The data layer's calls into the SQLite library under the handle of an open
// QSQLITE connection (the library Qt's driver uses itself): for statements
// that are read cell by cell, without a QVariant per cell in between.

#include <QSqlDatabase>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace qv::sqlite {

// The handle under `db`, or nullptr when it is not an open SQLite connection.
sqlite3* handleOf(const QSqlDatabase& db);
// Binds a value as the database takes it (after Dialect::toDb) to the
// parameter `index` (from 1); the library's result code.
int bind(sqlite3_stmt* statement, int index, const QVariant& value);
// The value of `column` of the current row, typed as Qt's driver types it
// (integer, floating point, text, bytes; a null as a null).
QVariant value(sqlite3_stmt* statement, int column);

}  // namespace qv::sqlite
