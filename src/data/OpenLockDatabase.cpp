#include "data/OpenLockDatabase.h"

#include "data/Connection.h"
#include "platform/AppPaths.h"
#include "platform/PrivateFiles.h"
#include "platform/ProgramText.h"

#include <QFileInfo>

namespace qv {

void openLockDatabase(Connection& conn, const LockDatabaseChoice& choice) {
    // Leftovers of a backup or restore that never finished (the program's
    // own db folder holds those of a restore onto the server).
    removeLeftoverWorkFiles(QFileInfo(AppPaths::lockDatabase()).absolutePath());
    try {
        switch (choice.ConnType) {
            case 0: {
                const QString path = LockDatabaseFile(choice.DbPath);
                if (!QFileInfo(path).isFile()) {
                    throw MissingDatabaseFile(qv::programText(QStringLiteral("文件不存在！")));
                }
                removeLeftoverWorkFiles(QFileInfo(path).absolutePath());
                conn.openSQLite(path);
                break;
            }
            case 1:
                conn.openPostgreSQL({choice.ServerName, choice.UserName, choice.Pass});
                break;
            default:
                throw Error(qv::programText(
                                QStringLiteral("Mirefold.ini 中的数据库类型 ConnType=%1 无效（0 "
                                               "为本机数据库文件，1 为数据库服务器）。"))
                                .arg(choice.ConnType));
        }
        conn.checkLockDatabase();
        // A desk that could only read would write cards it cannot record.
        conn.checkWritable();
    } catch (...) {
        conn.close();
        throw;
    }
}

}  // namespace qv
