#include "data/RowReader.h"

#include "data/DataSet.h"
#include "data/SqliteCalls.h"
#include "platform/Errors.h"

#include <sqlite3.h>

namespace qv {

RowReader::RowReader(const Connection& conn, const QString& sql, const Binds& binds) : conn_(conn) {
    sqlite3* db = nullptr;
    if (conn.kind() == DbKind::SQLite) {
        conn.requireOpen();
        db = sqlite::handleOf(conn.database());
    }
    if (!db) {
        query_.emplace(conn.run(sql, binds));
        return;
    }
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
        conn.failSQLite(db);
    }
    for (auto it = binds.cbegin(); it != binds.cend(); ++it) {
        const QString name = it.key().startsWith(':') ? it.key() : ':' + it.key();
        const int index = sqlite3_bind_parameter_index(stmt_, name.toUtf8().constData());
        if (index == 0) {
            continue;  // as QSqlQuery: a value the statement does not name is left out
        }
        const int rc = sqlite::bind(stmt_, index, Dialect::toDb(it.value()));
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            conn.failSQLite(db);
        }
    }
}

RowReader::~RowReader() {
    sqlite3_finalize(stmt_);
}

bool RowReader::next() {
    if (query_) {
        return query_->next();
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    sqlite3* db = sqlite3_db_handle(stmt_);
    conn_.failSQLite(db);
}

bool RowReader::isNull(int column) const {
    if (query_) {
        return query_->isNull(column);
    }
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

bool RowReader::isNumber(int column) const {
    if (query_) {
        switch (query_->value(column).typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Double:
            case QMetaType::Float:
                return true;
            default:
                return false;
        }
    }
    const int type = sqlite3_column_type(stmt_, column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

double RowReader::number(int column) const {
    if (query_) {
        return query_->value(column).toDouble();
    }
    return sqlite3_column_double(stmt_, column);
}

int RowReader::integer(int column) const {
    if (query_) {
        return query_->value(column).toInt();
    }
    return sqlite3_column_int(stmt_, column);
}

QString RowReader::text(int column) const {
    if (query_) {
        return DataSet::displayText(query_->value(column));
    }
    switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_FLOAT:
            return QString::number(sqlite3_column_double(stmt_, column), 'g', 15);
        case SQLITE_INTEGER:
            return QString::number(sqlite3_column_int64(stmt_, column));
        default: {
            const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
            return QString::fromUtf8(utf8, sqlite3_column_bytes(stmt_, column));
        }
    }
}

}  // namespace qv
