#pragma once

#include <QString>
#include <functional>

class QWidget;

// What the main window's "数据备份" and "数据恢复" run. `text(index, default)`
// gives the main window's message lines (2 the title of every box, 3 backup
// done, 4 the file exists, 5 the restore question, 6 restore done, 7 the file
// does not exist; 20 backup failed, 21 restore failed, 22 and 23 the file
// boxes' titles: lines 8 to 10 are the board's own).
using MessageText = std::function<QString(int index, const QString& defaultText)>;

// Offers "yyMMddHHmmss_BackUp" with the database file's extension in the db
// folder, refuses a name that exists, writes the backup with a progress
// window and says whether it worked.
void BackupDatabaseFromMenu(QWidget* owner, const MessageText& text);
// Asks first, then restores a checked backup with a progress window; a file
// that is refused leaves the database as it was. The room board is rebuilt.
void RestoreDatabaseFromMenu(QWidget* owner, const MessageText& text);

// The name offered for a backup made at `moment`: "240131093015_BackUp.db".
QString DefaultBackupName(const class QDateTime& moment);
