#pragma once

#include <QStringList>

// The operations log and the failed logons in the lock database: what schema
// version 7 adds to version 6.
namespace qv::schema {

// The tables and their indexes, in the schema script's words ({KEY}, ...; see
// Dialect::fill). A new database has them from the schema script.
const QStringList& operationLogStep();

}  // namespace qv::schema
