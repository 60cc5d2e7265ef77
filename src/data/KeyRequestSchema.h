#pragma once

#include <QStringList>

// The key request queue of the PMS link in the lock database: what schema
// version 5 adds to version 4.
namespace qv::schema {

// The table and its indexes, in the schema script's words ({KEY}, ...; see
// Dialect::fill). A new database has them from the schema script.
const QStringList& keyRequestStep();
// PostgreSQL only, for a new database and for the upgrade alike: the
// statement-level trigger that tells the change feed the requests changed
// (and the notifying function, where the database does not have it yet).
const QStringList& keyRequestServerStatements();

}  // namespace qv::schema
