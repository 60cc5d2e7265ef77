#pragma once

#include <QFileDevice>
#include <QString>
#include <QStringList>

// Files the program writes that hold operators, guests or settings (backups,
// the copies a restore works on, exported record lists): readable by the
// desk's user and group only, whatever the umask, and made beside the file
// they become, never in a shared temporary folder.
namespace qv {

// Owner read and write, group read (0640).
QFileDevice::Permissions privateFilePermissions();

// Creates `path`, which must not exist yet, as an empty private file. False,
// with the reason in `error`, when it cannot be made.
bool createPrivateFile(const QString& path, QString* error = nullptr);

// Makes the open `file` private (for a QSaveFile before it is committed).
bool makePrivate(QFileDevice& file);

// A name for a work file beside `target` (".<name>.<pid>-<random>.qvpart"),
// which the program knows as its own when one is left behind.
QString workFileBeside(const QString& target);

// Removes the work files in `folder` that a backup or restore left when it
// was ended before it finished (killed, power cut): those of processes that
// no longer run, and this process's own (which are never in use between two
// operations). With their journals. The names removed.
QStringList removeLeftoverWorkFiles(const QString& folder);

}  // namespace qv
