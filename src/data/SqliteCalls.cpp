#include "data/SqliteCalls.h"

#include <sqlite3.h>
#include <QSqlDriver>

namespace qv::sqlite {

sqlite3* handleOf(const QSqlDatabase& db) {
    if (!db.isOpen() || !db.driver()) {
        return nullptr;
    }
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3* const*>(v.data());
}

int bind(sqlite3_stmt* statement, int index, const QVariant& value) {
    if (value.isNull()) {
        return sqlite3_bind_null(statement, index);
    }
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
            return sqlite3_bind_int64(statement, index, value.toLongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return sqlite3_bind_double(statement, index, value.toDouble());
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return sqlite3_bind_blob(statement, index, bytes.constData(),
                                     static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        }
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            return sqlite3_bind_text(statement, index, utf8.constData(),
                                     static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        }
    }
}

QVariant value(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER:
            return QVariant(static_cast<qlonglong>(sqlite3_column_int64(statement, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(statement, column));
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                              sqlite3_column_bytes(statement, column));
        case SQLITE_NULL:
            return QVariant();
        default:
            return QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                sqlite3_column_bytes(statement, column));
    }
}

}  // namespace qv::sqlite
