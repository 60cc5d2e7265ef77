#pragma once

#include <QString>

namespace qv {

// Operator passwords are kept as Argon2id hashes (libsodium's encoded form,
// "$argon2id$..."). A row that still holds a plain-text password, entered by
// hand into the database, is recognised so that the logon can accept it once
// and store it hashed.
QString hashPassword(const QString& password);
bool isPasswordHash(const QString& stored);
// True when `password` matches `stored` (a hash, or plain text compared as text).
bool verifyPassword(const QString& password, const QString& stored);

}  // namespace qv
