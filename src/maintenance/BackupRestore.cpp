#include "maintenance/BackupRestore.h"

#include "data/Backup.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

namespace {

const QString kFilter = QStringLiteral("门锁数据库 (*.db);;所有文件 (*)");

QString title(const MessageText& text) {
    return text(2, QStringLiteral("提示"));
}

// A progress window that keeps the desk painted while the database is copied.
class Progress {
public:
    Progress(QWidget* owner, const QString& label) : dialog_(label, QString(), 0, 100, owner) {
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(300);
        dialog_.setCancelButton(nullptr);
        dialog_.setAutoClose(true);
    }
    qv::BackupProgress callback() {
        return [this](qint64 done, qint64 total) {
            dialog_.setValue(total > 0 ? static_cast<int>(done * 100 / total) : 0);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
    }

private:
    QProgressDialog dialog_;
};

}  // namespace

QString DefaultBackupName(const QDateTime& moment) {
    QString suffix = QFileInfo(qv::AppPaths::lockDatabase()).suffix();
    if (dm && dm->conn.isOpen() && dm->conn.kind() == qv::DbKind::SQLite) {
        suffix = QFileInfo(dm->conn.database().databaseName()).suffix();
    }
    return moment.toString(QStringLiteral("yyMMddHHmmss")) + QStringLiteral("_BackUp") +
           (suffix.isEmpty() ? QString() : '.' + suffix);
}

void BackupDatabaseFromMenu(QWidget* owner, const MessageText& text) {
    const QDir folder(QFileInfo(qv::AppPaths::lockDatabase()).absolutePath());
    QString path = folder.filePath(DefaultBackupName(qv::Clock::now()));
    if (!qv::dialogs().saveFile(text(22, QStringLiteral("数据备份")), kFilter, path)) {
        return;
    }
    if (QFileInfo::exists(path)) {
        qv::messageBox(title(text), text(4, QStringLiteral("文件已存在，请另选文件名！")),
                       qv::Icon::Error);
        return;
    }
    try {
        Progress progress(owner, text(22, QStringLiteral("数据备份")));
        qv::backupDatabase(dm->conn, path, progress.callback());
    } catch (const qv::Error& e) {
        qv::messageBox(title(text),
                       text(20, QStringLiteral("数据备份失败！")) + QStringLiteral("\n") + e.text(),
                       qv::Icon::Error);
        return;
    }
    qv::messageBox(title(text), text(3, QStringLiteral("数据备份完成！")), qv::Icon::Information);
}

void RestoreDatabaseFromMenu(QWidget* owner, const MessageText& text) {
    if (qv::messageBox(title(text),
                       text(5, QStringLiteral("恢复数据将用备份文件替换当前数据库中的全部数据，"
                                              "确定要恢复吗？")),
                       qv::Icon::Warning, qv::Buttons::OkCancel) != qv::Answer::Ok) {
        return;
    }
    QString path = QFileInfo(qv::AppPaths::lockDatabase()).absolutePath();
    if (!qv::dialogs().openFile(text(23, QStringLiteral("数据恢复")), kFilter, path)) {
        return;
    }
    if (!QFileInfo(path).isFile()) {
        qv::messageBox(title(text), text(7, QStringLiteral("文件不存在！")), qv::Icon::Error);
        return;
    }
    try {
        Progress progress(owner, text(23, QStringLiteral("数据恢复")));
        dm->closeTables();
        qv::restoreDatabase(dm->conn, path, progress.callback());
    } catch (const qv::Error& e) {
        qv::messageBox(title(text),
                       text(21, QStringLiteral("数据恢复失败，数据库未作改动。")) +
                           QStringLiteral("\n") + e.text(),
                       qv::Icon::Error);
        return;
    }
    RoomBoardChanged = true;
    qv::messageBox(title(text), text(6, QStringLiteral("数据恢复完成！")), qv::Icon::Information);
}
