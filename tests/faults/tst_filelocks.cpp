// The program's real file dialogs on the folder of the live lock database:
// the process keeps every lock it holds on lock.db, lock.db-wal and
// lock.db-shm (closing any descriptor of a file drops them all), and a
// second program on the same folder loses nothing of the first one's writes.

#include "TestSupport.h"

#include "data/Connection.h"
#include "platform/Dialogs.h"
#include "platform/QtDialogs.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include <unistd.h>

namespace {

// The POSIX locks this process holds, as /proc/locks lists them.
int locksHeld() {
    QFile f(QStringLiteral("/proc/locks"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QRegularExpression mine(
        QStringLiteral("\\bPOSIX\\b.*\\s%1\\s").arg(QCoreApplication::applicationPid()));
    int n = 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (mine.match(QString::fromLatin1(line)).hasMatch()) {
            ++n;
        }
    }
    return n;
}

// Another program on the same database: one more serial, or the serial read.
QString otherProgram(const TempAppDir& app, const QString& op, const QString& live) {
    QProcess child;
    child.start(QStringLiteral(QV_FAULT_CHILD), {app.path(), op, QStringLiteral("sqlite"), live});
    child.waitForFinished(60000);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        return QStringLiteral("failed: ") + QString::fromUtf8(child.readAllStandardError());
    }
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

}  // namespace

class FileLocksTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fileDialogsKeepTheLocks_data();
    void fileDialogsKeepTheLocks();

private:
    QString live() const { return app_->file(QStringLiteral("db/lock.db")); }
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<qv::Connection> conn_;
    qv::QtDialogs dialogs_;
    qv::Dialogs* previous_ = nullptr;
};

void FileLocksTest::init() {
    app_ = std::make_unique<TempAppDir>();
    conn_ = std::make_unique<qv::Connection>();
    conn_->openSQLite(live(), true);
    conn_->createSchema();
    previous_ = qv::setDialogs(&dialogs_);
}

void FileLocksTest::cleanup() {
    qv::setDialogs(previous_);
    conn_.reset();
    app_.reset();
}

void FileLocksTest::fileDialogsKeepTheLocks_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("open dialog") << false;
    QTest::newRow("save dialog") << true;
}

void FileLocksTest::fileDialogsKeepTheLocks() {
    QFETCH(bool, save);
    const QString bump =
        QStringLiteral("update AllCardSn set CardSn = CardSn + 1 where CardType = 10");
    conn_->execute(bump);  // 1, in the WAL file
    const int before = locksHeld();
    QVERIFY2(before > 0, "the live database holds no lock");
    QVERIFY(QFileInfo::exists(live() + QStringLiteral("-wal")));

    bool missed = false;
    bool sawFiles = false;
    whenShown<QFileDialog>(
        [&](QFileDialog* d) {
            auto* model = d->findChild<QFileSystemModel*>();
            QVERIFY(model);
            // Until the dialog lists the database's three files, in both views.
            const auto listed = [&] {
                const QModelIndex folder = model->index(app_->file(QStringLiteral("db")));
                return model->rowCount(folder) >= 3;
            };
            sawFiles = QTest::qWaitFor(listed, 5000);
            QTest::qWait(200);
            if (auto* detail = d->findChild<QToolButton*>(QStringLiteral("detailModeButton"))) {
                detail->click();
            }
            QTest::qWait(300);
            saveScreenshot(
                d, save ? QStringLiteral("filedialog-save") : QStringLiteral("filedialog-open"));
            d->reject();
        },
        10000, &missed);
    QString path = app_->file(QStringLiteral("db"));
    const QString filter = QStringLiteral("所有文件 (*)");
    const bool chosen = save ? qv::dialogs().saveFile(QStringLiteral("数据备份"), filter, path)
                             : qv::dialogs().openFile(QStringLiteral("数据恢复"), filter, path);
    QVERIFY(!missed);
    QVERIFY(!chosen);
    QVERIFY(sawFiles);
    QCOMPARE(locksHeld(), before);

    // A second program comes and goes; it must see this one's WAL as in use.
    QCOMPARE(otherProgram(*app_, QStringLiteral("bump"), live()), QString());  // 2
    conn_->execute(bump);                                                      // 3
    QCOMPARE(otherProgram(*app_, QStringLiteral("read"), live()), QStringLiteral("3"));
    QCOMPARE(
        conn_->scalar(QStringLiteral("select CardSn from AllCardSn where CardType = 10")).toInt(),
        3);
    QCOMPARE(conn_->scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
             QStringLiteral("ok"));
}

QTEST_MAIN(FileLocksTest)
#include "tst_filelocks.moc"
