// System settings, connection settings, and backup and restore from the main
// menu: through the real windows and the test dialogs.

#include "WindowFixture.h"

#include "data/Backup.h"
#include "data/OpenLockDatabase.h"
#include "data/Session.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/Cd_Unit.h"
#include "maintenance/SystemInfo_Unit.h"
#include "platform/AppPaths.h"
#include "platform/Application.h"
#include "platform/IniFile.h"
#include "platform/RadioGroup.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <unistd.h>

namespace {

const char* const kPgDatabase = "qvtest_maintenance";

QString defaultText(int, const QString& text) {
    return text;
}

}  // namespace

class MaintenanceTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase);
        qv::clearTerminateRequest();
    }
    void cleanup() {
        qv::clearTerminateRequest();
        fx.tearDown();
    }

    void settingsSaveEndsProgram();
    void settingsBadTimeWritesNothing();
    void settingsNightsTypedOutOfRange();
    void connectionTestSwitchesOnlyOnSuccess();
    void connectionSaveStoresServer();
    void connectionRefusesWhatStartUpRefuses_data();
    void connectionRefusesWhatStartUpRefuses();
    void backupAndRestoreFromMenu();

private:
    WindowFixture fx;
};

void MaintenanceTest::settingsSaveEndsProgram() {
    // No [Config] section: COM1 and lock type 0 are shown and written.
    fx.app->write(QStringLiteral("Mirefold.ini"),
                  "[SystemInfo]\nHotelName=Old\nDayCount=2\nLeaveTime=12:00:00\nKeep=me\n");
    LockSystemInfo.HotelName = QStringLiteral("Old");
    LockSystemInfo.DayCount = 2;
    TSystemInfo_Form f;
    QCOMPARE(f.windowTitle(), QStringLiteral("基本参数设置"));
    QCOMPARE(f.CommPort_RG->itemIndex(), 0);
    QVERIFY(f.LockType->isHidden());
    QCOMPARE(f.DayCount_SE->maximum(), 100);
    saveScreenshot(&f, QStringLiteral("systeminfo"));
    f.HotelName_Edit->setText(QStringLiteral("湖畔酒店"));
    f.LeaveTime_Edit->setText(QStringLiteral("13:30"));
    f.CommPort_RG->setItemIndex(2);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    QCOMPARE(fx.dialogs->texts(),
             (QStringList{QStringLiteral("保存成功"),
                          QStringLiteral("系统参数已更改，请退出系统重新运行！")}));
    QVERIFY(qv::terminateRequested());
    const qv::IniFile ini(qv::AppPaths::iniFile());
    QCOMPARE(ini.readInteger(QStringLiteral("Config"), QStringLiteral("CommProt"), -1), 2);
    QCOMPARE(ini.readInteger(QStringLiteral("Config"), QStringLiteral("LockType"), -1), 0);
    QCOMPARE(ini.readString(QStringLiteral("SystemInfo"), QStringLiteral("HotelName"), {}),
             QStringLiteral("湖畔酒店"));
    QCOMPARE(ini.readTime(QStringLiteral("SystemInfo"), QStringLiteral("LeaveTime"), {}),
             QTime(13, 30));
    QCOMPARE(ini.readString(QStringLiteral("SystemInfo"), QStringLiteral("Keep"), {}),
             QStringLiteral("me"));
    QCOMPARE(LockSystemInfo.LeaveTime, QTime(13, 30));
    QCOMPARE(qv::session().login, QStringLiteral("desk1"));
}

void MaintenanceTest::settingsBadTimeWritesNothing() {
    fx.app->write(QStringLiteral("Mirefold.ini"), "[SystemInfo]\nHotelName=Old\n");
    const QByteArray before = fx.app->read(QStringLiteral("Mirefold.ini"));
    TSystemInfo_Form f;
    f.HotelName_Edit->setText(QStringLiteral("New"));
    f.LeaveTime_Edit->setText(QStringLiteral("25:99"));
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Error);
    QCOMPARE(fx.app->read(QStringLiteral("Mirefold.ini")), before);
    QVERIFY(!qv::terminateRequested());
}

// The nights box takes every digit typed and brings the number into 0 to
// 100 when it is left, or when Save is pressed without leaving it.
void MaintenanceTest::settingsNightsTypedOutOfRange() {
    fx.app->write(QStringLiteral("Mirefold.ini"), "[SystemInfo]\nDayCount=2\n");
    LockSystemInfo.DayCount = 2;
    TSystemInfo_Form f;
    f.show();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    const struct {
        const char* typed;
        int value;
    } cases[] = {{"250", 100}, {"7", 7}, {"100", 100}, {"0", 0}, {"1000", 100}, {"", 0}};
    for (const auto& c : cases) {
        f.DayCount_SE->setFocus();
        f.DayCount_SE->selectAll();
        QTest::keyClick(f.DayCount_SE, Qt::Key_Delete);
        QTest::keyClicks(f.DayCount_SE, QString::fromLatin1(c.typed));
        // Every digit stays while typing (at most three).
        QCOMPARE(f.DayCount_SE->text(), QString::fromLatin1(c.typed).left(3));
        QTest::keyClick(f.DayCount_SE, Qt::Key_Tab);
        QVERIFY(!f.DayCount_SE->hasFocus());
        QCOMPARE(f.DayCount_SE->value(), c.value);
        QCOMPARE(f.DayCount_SE->text(), QString::number(c.value));
    }
    f.DayCount_SE->setFocus();
    f.DayCount_SE->selectAll();
    QTest::keyClicks(f.DayCount_SE, QStringLiteral("250"));
    f.Button1->click();  // as its key Alt+S does: the box keeps the focus
    const qv::IniFile ini(qv::AppPaths::iniFile());
    QCOMPARE(ini.readInteger(QStringLiteral("SystemInfo"), QStringLiteral("DayCount"), -1), 100);
}

void MaintenanceTest::connectionTestSwitchesOnlyOnSuccess() {
    const QString first = dm->conn.database().databaseName();
    // A second lock database, and a file that is not one.
    const QString second = fx.app->file(QStringLiteral("db/second.db"));
    qv::backupDatabase(dm->conn, second);
    fx.app->write(QStringLiteral("db/notes.db"), "not a database at all");
    TCdForm f;
    QCOMPARE(f.PageControl1->currentIndex(), int(TCdForm::EmbeddedPage));
    // No DbPath stored: the default path is shown.
    QCOMPARE(f.Memo_DbPath->toPlainText(), DefaultDbPath());
    saveScreenshot(&f, QStringLiteral("connection"));

    const struct {
        QString path;
        QString message;
    } refused[] = {
        {fx.app->file(QStringLiteral("db/notes.db")), QStringLiteral("数据库链接失败!")},
        {second + QStringLiteral("\n"), QStringLiteral("文件不存在!")},
    };
    for (const auto& c : refused) {
        fx.dialogs->clear();
        f.Memo_DbPath->setPlainText(c.path);
        QTest::mouseClick(f.But_Test, Qt::LeftButton);
        QVERIFY2(fx.dialogs->texts().first().startsWith(c.message), qPrintable(c.path));
        // The desk stays on its database.
        QCOMPARE(dm->conn.database().databaseName(), first);
        QVERIFY(dm->conn.scalar(QStringLiteral("select count(*) from RoomInfo")).toInt() > 0);
    }
    f.Memo_DbPath->setPlainText(second);
    QTest::mouseClick(f.But_Test, Qt::LeftButton);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("数据库链接成功!"));
    QCOMPARE(dm->conn.database().databaseName(), second);
    // Tested, not saved: the next start uses the stored choice.
    QVERIFY(!qv::IniFile(qv::AppPaths::iniFile())
                 .hasKey(QStringLiteral("Client Config"), QStringLiteral("DbPath")));
    QTest::mouseClick(f.But_Save, Qt::LeftButton);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("保存成功"));
    const qv::IniFile ini(qv::AppPaths::iniFile());
    QCOMPARE(ini.readString(QStringLiteral("Client Config"), QStringLiteral("DbPath"), {}), second);
    QCOMPARE(ini.readInteger(QStringLiteral("Client Config"), QStringLiteral("ConnType"), -1), 0);
}

void MaintenanceTest::connectionRefusesWhatStartUpRefuses_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");  // empty: accepted
    QTest::newRow("read-only file") << "readonly"
                                    << "不能写入";
    QTest::newRow("lacks a table") << "lacking"
                                   << "RoomInfo";
    QTest::newRow("path with backslashes") << "backslash" << QString();
}

void MaintenanceTest::connectionRefusesWhatStartUpRefuses() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString first = dm->conn.database().databaseName();
    const QString other = fx.app->file(QStringLiteral("db/other.db"));
    qv::backupDatabase(dm->conn, other);
    struct Writable {  // the temporary folder must be removable afterwards
        QString file;
        ~Writable() {
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file});
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        }
    } writable{other};
    QString typed = other;
    if (kind == QLatin1String("readonly")) {
        QFile::setPermissions(other, QFile::ReadOwner | QFile::ReadGroup);
        if (geteuid() == 0 &&
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), other}) != 0) {
            QSKIP("running as root on a file system without immutable files");
        }
    } else if (kind == QLatin1String("lacking")) {
        qv::Connection c;
        c.openSQLite(other);
        c.execute(QStringLiteral("drop table RoomInfo"));
    } else {
        typed = QStringLiteral("db\\other.db");
    }
    TCdForm f;
    f.Memo_DbPath->setPlainText(typed);
    for (QPushButton* button : {f.But_Test, f.But_Save}) {
        fx.dialogs->clear();
        QTest::mouseClick(button, Qt::LeftButton);
        const QString text = fx.dialogs->last().text;
        if (reason.isEmpty()) {
            QCOMPARE(text, button == f.But_Test ? QStringLiteral("数据库链接成功!")
                                                : QStringLiteral("保存成功"));
            QCOMPARE(dm->conn.database().databaseName(), other);
            continue;
        }
        QCOMPARE(fx.dialogs->boxes().size(), 1);
        // The reason start-up gives for the same choice.
        LockDatabaseChoice choice;
        choice.DbPath = typed;
        QString startUp;
        try {
            qv::Connection c;
            qv::openLockDatabase(c, choice);
        } catch (const qv::Error& e) {
            startUp = e.text();
        }
        QVERIFY2(startUp.contains(reason), qPrintable(startUp));
        QCOMPARE(text.section('\n', 1), startUp);
        QVERIFY(text.startsWith(button == f.But_Test ? QStringLiteral("数据库链接失败!")
                                                     : QStringLiteral("数据库链接配置是错误的!")));
        // The desk stays on its database; nothing is stored.
        QCOMPARE(dm->conn.database().databaseName(), first);
        QVERIFY(!qv::IniFile(qv::AppPaths::iniFile())
                     .hasKey(QStringLiteral("Client Config"), QStringLiteral("DbPath")));
    }
}

void MaintenanceTest::connectionSaveStoresServer() {
    const PgServer pg = PgServer::fromEnvironment();
    QV_REQUIRE_PG(pg);
    {
        // The server's lock database.
        pg.recreateDatabase(QStringLiteral("halvorn"));
        qv::Connection c;
        c.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, QStringLiteral("halvorn")});
        c.createSchema();
    }
    TCdForm f;
    f.PageControl1->setCurrentIndex(TCdForm::ServerPage);
    f.Server_Edit->setText(pg.host);
    f.Port_SE->setValue(pg.port);
    f.User_Edit->setText(pg.user);
    f.Pass_Edit->setText(QStringLiteral("wrong"));
    QTest::mouseClick(f.But_Save, Qt::LeftButton);
    QVERIFY(fx.dialogs->last().text.startsWith(QStringLiteral("数据库链接配置是错误的!")));
    QVERIFY(!qv::IniFile(qv::AppPaths::iniFile())
                 .hasKey(QStringLiteral("Client Config"), QStringLiteral("ServerName")));
    f.Pass_Edit->setText(pg.password);
    QTest::mouseClick(f.But_Save, Qt::LeftButton);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("保存成功"));
    QCOMPARE(dm->conn.kind(), qv::DbKind::PostgreSQL);
    QCOMPARE(LockSystemInfo.ConnType, uint8_t(1));
    const qv::IniFile ini(qv::AppPaths::iniFile());
    QCOMPARE(ini.readString(QStringLiteral("Client Config"), QStringLiteral("ServerName"), {}),
             pg.hostAndPort());
    QCOMPARE(ini.readInteger(QStringLiteral("Client Config"), QStringLiteral("ConnType"), -1), 1);
}

void MaintenanceTest::backupAndRestoreFromMenu() {
    qv::Clock::setTestTime(QDateTime(QDate(2024, 1, 31), QTime(9, 30, 15)));
    // The database file's extension follows the name.
    QCOMPARE(DefaultBackupName(qv::Clock::now()), QStringLiteral("240131093015_BackUp.db"));

    const QString backup = fx.app->file(QStringLiteral("db/menu.db"));
    fx.dialogs->answerFile(backup);
    BackupDatabaseFromMenu(nullptr, defaultText);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("数据备份完成！"));
    QVERIFY(QFileInfo(backup).isFile());
    // The same name again is refused.
    fx.dialogs->answerFile(backup);
    BackupDatabaseFromMenu(nullptr, defaultText);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("文件已存在，请另选文件名！"));

    dm->conn.execute(QStringLiteral("delete from RoomInfo"));
    // The question comes first; Cancel changes nothing.
    fx.dialogs->answer(qv::Answer::Cancel);
    BackupDatabaseFromMenu(nullptr, defaultText);  // a cancelled save dialog as well
    RestoreDatabaseFromMenu(nullptr, defaultText);
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Warning);
    QCOMPARE(dm->conn.scalar(QStringLiteral("select count(*) from RoomInfo")).toInt(), 0);
    // A file that is no backup is refused with the database untouched.
    fx.app->write(QStringLiteral("db/junk.db"), "junk");
    fx.dialogs->answerFile(fx.app->file(QStringLiteral("db/junk.db")));
    RestoreDatabaseFromMenu(nullptr, defaultText);
    QVERIFY(fx.dialogs->last().text.startsWith(QStringLiteral("数据恢复失败")));
    QCOMPARE(dm->conn.scalar(QStringLiteral("select count(*) from RoomInfo")).toInt(), 0);
    QVERIFY(!RoomBoardChanged);
    fx.dialogs->answerFile(backup);
    RestoreDatabaseFromMenu(nullptr, defaultText);
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("数据恢复完成！"));
    QVERIFY(dm->conn.scalar(QStringLiteral("select count(*) from RoomInfo")).toInt() > 0);
    QVERIFY(RoomBoardChanged);
}

QTEST_MAIN(MaintenanceTest)
#include "tst_maintenance.moc"
