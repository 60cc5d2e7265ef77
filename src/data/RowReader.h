#pragma once

#include "data/Connection.h"

#include <QSqlQuery>
#include <QString>
#include <optional>

struct sqlite3_stmt;

namespace qv {

// Reads the rows of one select statement column by column, each value taken
// straight as the number or text it is, without a QVariant per cell: for
// large reads that are turned into items of their own (the room board). On
// an SQLite connection it reads from the library under the connection's own
// handle; on a server through a forward-only QSqlQuery. Values are bound by
// name as in Connection::run; errors are thrown as qv::DbError like it.
class RowReader {
public:
    RowReader(const Connection& conn, const QString& sql, const Binds& binds = {});
    ~RowReader();
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    bool next();
    bool isNull(int column) const;
    // True when the value is stored as a number (not a null, not a text).
    bool isNumber(int column) const;
    // The value as a number (0 for a null or a text that is none).
    double number(int column) const;
    int integer(int column) const;
    // The value as text: empty for a null, a date-time as
    // "yyyy-MM-dd HH:mm:ss", a number as DataSet::displayText gives it.
    QString text(int column) const;

private:
    const Connection& conn_;
    sqlite3_stmt* stmt_ = nullptr;
    std::optional<QSqlQuery> query_;
};

}  // namespace qv
