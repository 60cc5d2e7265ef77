#pragma once

#include "data/ChangeFeed.h"

#include <QStringList>
#include <span>

// What the change feed watches in the lock database, and the server's side
// of it: schema version 6 adds the notifying triggers to version 5.
namespace qv::schema {

struct WatchedTable {
    const char* table;  // as the schema script names it
    Changes changes;    // what a change of the table means to a listener
};
// Every table whose change a desk may want to see.
std::span<const WatchedTable> watchedTables();
// What a notification naming `table` (any case) means; nothing for a table
// that is not watched.
Changes changesOfTable(const QString& table);

// PostgreSQL only, for a new database and for the upgrade to version 6 alike:
// the function that notifies 'quorvane_changes' with the changed table's name,
// and on each watched table a statement-level trigger calling it after every
// insert, update, delete and truncate. Run again, they replace what is there.
const QStringList& changeFeedServerStatements();

}  // namespace qv::schema
