#pragma once

#include <QString>
#include <QStringList>

// What the program knows of the lock database's tables, read from the schema
// script itself so that there is one source: the statements, the spelling of
// every column, the date-time columns and each table's key.
namespace qv::schema {

// The script's statements, comments removed.
QStringList statements(const QString& script);

// A column or table name as the program spells it ("staffername" ->
// "StafferName"); names the schema does not know come back unchanged.
QString canonicalName(const QString& name);
bool isDateTimeColumn(const QString& column);
// The key columns of a table (empty for an unknown table).
QStringList keyColumns(const QString& table);
// The columns of a table in their order.
QStringList columns(const QString& table);

}  // namespace qv::schema
