#pragma once

#include "platform/Errors.h"
#include "settings/Settings.h"

namespace qv {
class Connection;

// The chosen lock database file does not exist ("文件不存在！").
class MissingDatabaseFile : public Error {
public:
    using Error::Error;
};

// Opens `conn` on the lock database that `choice` names, the one way the
// program opens one (at start-up and from the connection window): the file's
// path read as LockDatabaseFile() reads it, or the server; then the lock
// database checks (a lock database of a version this program knows, with
// every table and column the program uses; an older one is brought up to
// date) and the test that this desk may write it. Work files that an ended
// backup or restore left in the database's folder are removed.
//
// Throws qv::Error with the reason for the operator, MissingDatabaseFile for a
// file that does not exist; `conn` is then closed.
void openLockDatabase(Connection& conn, const LockDatabaseChoice& choice);

}  // namespace qv
