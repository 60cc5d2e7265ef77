// Start-up: the settings file, the database connection and the logon window.
#include "LockDatabase.h"
#include "TestSupport.h"
#include "data/Session.h"

#include "window/InputPasswordBox_Unit.h"
#include "app/Logon_Unit.h"
#include "app/StartUp.h"
#include "data/DemoHotel.h"
#include "data/Passwords.h"
#include "data/dm_unit.h"
#include "language/Language.h"
#include "language/LanguageSource.h"
#include "platform/FileVersion.h"
#include "platform/IniFile.h"
#include "platform/LanguageIds.h"
#include "platform/ProgramText.h"
#include "platform/TestDialogs.h"
#include "records/UnconfirmedCards_Unit.h"
#include "settings/Settings.h"

#include <unistd.h>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {
const char* const kPgDatabase = "halvorn";

}  // namespace

class AppTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void settingsDefaultsWithoutFile();
    void settingsValues_data();
    void settingsValues();
    void settingsOutOfRange_data();
    void settingsOutOfRange();
    void settingsMessageInTheChosenLanguage();
    void connectReportsEachFailureOnce_data();
    void connectReportsEachFailureOnce();
    void connectToServer();
    void readOnlyDatabaseIsRefused_data();
    void readOnlyDatabaseIsRefused();
    void firstRunCreatesAdministrator_data() { addDatabaseKinds(); }
    void firstRunCreatesAdministrator();
    void firstRunRefusals();
    void firstRunNeedsNameAndPassword_data();
    void firstRunNeedsNameAndPassword();
    void logonRefusesAndAccepts_data() { addDatabaseKinds(); }
    void logonRefusesAndAccepts();
    void plainTextPasswordIsHashedAtFirstLogon();
    void escapeCancelsTheLogon();
    void startUpThenRestart();

private:
    void openDatabase();  // a demo hotel of the current row's kind, no operators
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<Tdm> dm_;
};

void AppTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dm_ = std::make_unique<Tdm>();
    dm = dm_.get();
    LockSystemInfo = TLockSystemInfo();
    qv::session() = qv::Session();
}

void AppTest::cleanup() {
    dm_.reset();
    app_.reset();
    LockSystemInfo = TLockSystemInfo();
    qv::session() = qv::Session();
}

void AppTest::openDatabase() {
    QV_OPEN_FRESH_LOCK_DATABASE(dm->conn, *app_, kPgDatabase, true);
}

void AppTest::settingsDefaultsWithoutFile() {
    QVERIFY(!QFile::exists(app_->file("Mirefold.ini")));
    QVERIFY(LoadSettings());
    QVERIFY(LockSystemInfo.Loaded);
    QCOMPARE(LockSystemInfo.HotelName, QString());
    QCOMPARE(LockSystemInfo.DayCount, 1);
    QCOMPARE(LockSystemInfo.LeaveTime, QTime(12, 0));
    QCOMPARE(LockSystemInfo.TimeTolerance, 0);
    QCOMPARE(LockSystemInfo.Pass, QString());
    QCOMPARE(LockSystemInfo.LanguageID, qv::defaultLanguageId());
    QCOMPARE(LockSystemInfo.ConnType, 0);
    QCOMPARE(LockSystemInfo.Recycle, 24);
    QCOMPARE(DefaultDbPath(), app_->file("db/lock.db"));
    TLock_Info lock;
    lock.Sector = 0;
    ReadLockInfo(lock);
    QCOMPARE(lock.CommProt, 0);
    QCOMPARE(lock.Sector, 8);
    QCOMPARE(lock.KeyStr, QString("A0B1C2D3E4F5"));
    QVERIFY(!QFile::exists(app_->file("Mirefold.ini")));  // reading never creates it
}

void AppTest::settingsValues_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("DayCount abc") << QByteArray("[SystemInfo]\nDayCount=abc\n") << "DayCount"
                                  << "1";
    QTest::newRow("DayCount 0x10") << QByteArray("[SystemInfo]\nDayCount=0x10\n") << "DayCount"
                                   << "16";
    QTest::newRow("LeaveTime 25h")
        << QByteArray("[SystemInfo]\nLeaveTime=25:00:00\n") << "LeaveTime"
        << "12:00:00";
    QTest::newRow("LeaveTime short") << QByteArray("[SystemInfo]\nLeaveTime=9:30\n") << "LeaveTime"
                                     << "09:30:00";
    QTest::newRow("Recycle 300") << QByteArray("[Client Config]\nRecycle=300\n") << "Recycle"
                                 << "44";
    QTest::newRow("ConnType") << QByteArray("[client config]\nconntype=1\n") << "ConnType"
                              << "1";
    QTest::newRow("HotelName") << QByteArray("[SystemInfo]\nHotelName=金色酒店\n") << "HotelName"
                               << "金色酒店";
    QTest::newRow("LanguageID") << QByteArray("[SystemInfo]\nLanguageID=1033\n") << "LanguageID"
                                << "1033";
    QTest::newRow("TimeTolerance")
        << QByteArray("[SystemInfo]\nTimeTolerance=10\n") << "TimeTolerance"
        << "10";
    QTest::newRow("foreign lines")
        << QByteArray("garbage\n[SystemInfo\n=x\n[SystemInfo]\nDayCount=3\n") << "DayCount"
        << "3";
    QTest::newRow("CommProt") << QByteArray("[Config]\nCommProt=2\n") << "CommProt"
                              << "2";
}

void AppTest::settingsValues() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    app_->write("Mirefold.ini", ini);
    LoadSettings();
    TLock_Info lock;
    ReadLockInfo(lock);
    const TLockSystemInfo& s = LockSystemInfo;
    const QMap<QString, QString> got = {
        {"DayCount", QString::number(s.DayCount)},
        {"LeaveTime", s.LeaveTime.toString("HH:mm:ss")},
        {"Recycle", QString::number(s.Recycle)},
        {"ConnType", QString::number(s.ConnType)},
        {"HotelName", s.HotelName},
        {"LanguageID", QString::number(s.LanguageID)},
        {"TimeTolerance", QString::number(s.TimeTolerance)},
        {"CommProt", QString::number(lock.CommProt)},
    };
    QCOMPARE(got.value(field), expected);
}

void AppTest::settingsOutOfRange_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QStringList>("lines");  // what the one message names
    const QByteArray tolerance = "[SystemInfo]\nTimeTolerance=";
    const QByteArray connType = "[Client Config]\nConnType=";
    QTest::newRow("tolerance of years")
        << tolerance + "40000000" << false << QStringList{"TimeTolerance=40000000"};
    QTest::newRow("tolerance past 32 bits")
        << tolerance + "99999999999" << false << QStringList{"TimeTolerance=99999999999"};
    QTest::newRow("tolerance a day early")
        << tolerance + "-1441" << false << QStringList{"TimeTolerance=-1441"};
    QTest::newRow("tolerance a day") << tolerance + "1440" << true << QStringList{};
    QTest::newRow("ConnType 256 (read as 0)")
        << connType + "256" << false << QStringList{"ConnType=256"};
    QTest::newRow("ConnType 257 (read as 1)")
        << connType + "257" << false << QStringList{"ConnType=257"};
    QTest::newRow("ConnType -1 (read as 255)")
        << connType + "-1" << false << QStringList{"ConnType=-1"};
    QTest::newRow("ConnType 0x101") << connType + "0x101" << false << QStringList{"ConnType=0x101"};
    QTest::newRow("ConnType 2") << connType + "2" << false << QStringList{"ConnType=2"};
    // Nights outside the settings window's 0 to 100 are said and brought to
    // the nearest end for the run.
    QTest::newRow("nights below 0") << QByteArray("[SystemInfo]\nDayCount=-1\n") << true
                                    << QStringList{"DayCount=-1", "0 到 100", "本次使用 0。"};
    QTest::newRow("nights 500") << QByteArray("[SystemInfo]\nDayCount=500\n") << true
                                << QStringList{"DayCount=500", "0 到 100", "本次使用 100。"};
    QTest::newRow("nights past 32 bits")
        << QByteArray("[SystemInfo]\nDayCount=99999999999\n") << true
        << QStringList{"DayCount=99999999999", "本次使用 100。"};
    QTest::newRow("nights 100") << QByteArray("[SystemInfo]\nDayCount=100\n") << true
                                << QStringList{};
    QTest::newRow("nights 0") << QByteArray("[SystemInfo]\nDayCount=0\n") << true << QStringList{};
    QTest::newRow("nights not a number")
        << QByteArray("[SystemInfo]\nDayCount=abc\n") << true << QStringList{};
    QTest::newRow("port 256 (read as 0)")
        << QByteArray("[Config]\nCommProt=256\n") << false << QStringList{"CommProt=256"};
    QTest::newRow("language 0") << QByteArray("[SystemInfo]\nLanguageID=0\n") << true
                                << QStringList{"LanguageID=0", "本次使用"};
    QTest::newRow("two at once")
        << QByteArray("[SystemInfo]\nTimeTolerance=-50000\n[Client Config]\nConnType=256\n")
        << false << QStringList{"TimeTolerance=-50000", "ConnType=256", "请改正"};
}

void AppTest::settingsOutOfRange() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, starts);
    QFETCH(QStringList, lines);
    app_->write("Mirefold.ini", ini);
    qv::TestDialogs boxes;
    QCOMPARE(LoadSettings(), starts);
    if (lines.isEmpty()) {
        QVERIFY(boxes.boxes().isEmpty());
        return;
    }
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.last().title, QString("提示"));
    QCOMPARE(boxes.last().icon, starts ? qv::Icon::Warning : qv::Icon::Error);
    for (const QString& line : lines) {
        QVERIFY2(boxes.last().text.contains(line), qPrintable(boxes.last().text));
    }
    if (starts) {
        QCOMPARE(LockSystemInfo.LanguageID, qv::defaultLanguageId());
        QVERIFY(LockSystemInfo.DayCount >= kMinDayCount && LockSystemInfo.DayCount <= kMaxDayCount);
        return;
    }
    // The start ends with that one message: no connection, no logon window.
    boxes.clear();
    QVERIFY(!StartUp());
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY(!dm->conn.isOpen());
}

// The desk chose English: start-up's first message, the one about the
// settings, is in English already.
void AppTest::settingsMessageInTheChosenLanguage() {
    qv::language::installLanguage(
        app_->file("db/Language.db"), TFileVersion().GetVersionString("ProductName"), 1033,
        qv::language::storeRows(
            qv::language::readSource(QStringLiteral(QV_SOURCE_DIR "/assets/language/1033.tsv"))));
    app_->write("Mirefold.ini",
                "[SystemInfo]\nLanguageID=1033\nDayCount=500\n[Client Config]\nConnType=7\n");
    qv::TestDialogs boxes;
    QVERIFY(!StartUp());
    qv::setProgramTexts({});
    QCOMPARE(boxes.boxes().size(), 1);
    const QString text = boxes.last().text;
    QVERIFY2(text.contains("has values out of range") &&
                 text.contains("DayCount=500: a number of nights from 0 to 100; 100 is used") &&
                 text.contains("Please correct them"),
             qPrintable(text));
    QCOMPARE(boxes.last().title, QString("Quorvane"));
}

void AppTest::connectReportsEachFailureOnce_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QByteArray>("file");  // written to db/lock.db when not empty
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("emptyFile");  // db/lock.db exists and is empty
    QTest::newRow("missing file") << QByteArray() << QByteArray() << "文件不存在！" << false;
    QTest::newRow("empty file") << QByteArray() << QByteArray() << "不是门锁数据库" << true;
    QTest::newRow("text file") << QByteArray()
                               << QByteArray("hello, I am not a database, not at all\n")
                               << "not a database" << false;
    QTest::newRow("unknown kind") << QByteArray("[Client Config]\nConnType=5\n") << QByteArray()
                                  << "ConnType=5" << false;
    QTest::newRow("server down")
        << QByteArray("[Client Config]\nConnType=1\nServerName=127.0.0.1:1\nUserName=x\nPass=y\n")
        << QByteArray() << "无法打开数据库" << false;
}

void AppTest::connectReportsEachFailureOnce() {
    QFETCH(QByteArray, ini);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(bool, emptyFile);
    app_->write("Mirefold.ini", ini);
    if (!file.isEmpty() || emptyFile) {
        app_->write("db/lock.db", file);
    }
    LoadSettings();
    qv::TestDialogs boxes;
    QVERIFY(!ConnectDatabase());
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.last().title, QString("提示"));
    QVERIFY2(boxes.last().text.contains(message), qPrintable(boxes.last().text));
    QVERIFY(!dm->conn.isOpen());
    QCOMPARE(app_->read("db/lock.db"), file);  // nothing created or changed
    QCOMPARE(QFileInfo::exists(app_->file("db/lock.db")), !file.isEmpty() || emptyFile);
    QVERIFY(!QFileInfo::exists(app_->file("db/lock.db-wal")));
    // And start-up ends there, without a logon window.
    boxes.clear();
    QVERIFY(!StartUp());
    QCOMPARE(boxes.boxes().size(), 1);
}

void AppTest::connectToServer() {
    const PgServer pg = PgServer::fromEnvironment();
    QV_REQUIRE_PG(pg);
    pg.recreateDatabase(kPgDatabase);
    app_->write("Mirefold.ini",
                QString("[Client Config]\nConnType=1\nServerName=%1\nUserName=%2\nPass=%3\n")
                    .arg(pg.hostAndPort(), pg.user, pg.password)
                    .toUtf8());
    LoadSettings();
    qv::TestDialogs boxes;
    QVERIFY(!ConnectDatabase());  // the database is there but has no lock tables
    QVERIFY2(boxes.last().text.contains("不是门锁数据库"), qPrintable(boxes.last().text));
    {
        qv::Connection setup;
        setup.openPostgreSQL({pg.hostAndPort(), pg.user, pg.password, kPgDatabase});
        setup.createSchema();
    }
    boxes.clear();
    QVERIFY(ConnectDatabase());
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(dm->conn.kind(), qv::DbKind::PostgreSQL);

    qv::IniFile(app_->file("Mirefold.ini")).writeString("Client Config", "Pass", "wrong");
    QVERIFY(!ConnectDatabase());
    QVERIFY2(boxes.last().text.contains("password", Qt::CaseInsensitive),
             qPrintable(boxes.last().text));
}

void AppTest::readOnlyDatabaseIsRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only file") << "sqlite";
    QTest::newRow("login without write rights on postgres") << "postgres";
}

void AppTest::readOnlyDatabaseIsRefused() {
    QFETCH(QString, kind);
    openDatabase();
    const QString file = app_->file("db/lock.db");
    struct Writable {  // the temporary folder must be removable afterwards
        QString file;
        ~Writable() {
            if (QFileInfo::exists(file)) {
                QProcess::execute("chattr", {"-i", file});
                QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            }
        }
    } writable{file};
    if (kind == "sqlite") {
        dm->conn.close();
        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup);
        if (geteuid() == 0 && QProcess::execute("chattr", {"+i", file}) != 0) {
            QSKIP(
                "running as root on a file system without immutable files: "
                "a read-only file cannot be made");
        }
    } else {
        const PgServer pg = PgServer::fromEnvironment();
        pg.admin(QString("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                         "'qv_reader') THEN CREATE ROLE qv_reader LOGIN PASSWORD '%1'; "
                         "END IF; END $$")
                     .arg(pg.password));
        dm->conn.execute("grant select on all tables in schema public to qv_reader");
        dm->conn.close();
        app_->write(
            "Mirefold.ini",
            QString("[Client Config]\nConnType=1\nServerName=%1\nUserName=qv_reader\nPass=%2\n")
                .arg(pg.hostAndPort(), pg.password)
                .toUtf8());
    }
    const QByteArray before = app_->read("db/lock.db");
    LoadSettings();
    qv::TestDialogs boxes;
    QVERIFY(!ConnectDatabase());
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY2(boxes.last().text.contains("不能写入"), qPrintable(boxes.last().text));
    QVERIFY(!dm->conn.isOpen());
    QCOMPARE(app_->read("db/lock.db"), before);
}

void AppTest::firstRunCreatesAdministrator() {
    openDatabase();
    LockSystemInfo.Loaded = true;
    TLogonForm form;
    QVERIFY(form.isFirstRun());
    QVERIFY(form.FirstRun_Label->isVisibleTo(&form));
    QVERIFY(!form.Title_Label->isVisibleTo(&form));
    QCOMPARE(form.Operator_Label->text(), QString("请设定用户名："));
    QCOMPARE(form.Pass_Label->text(), QString("请设定口令："));
    QCOMPARE(form.Ok_Bt->text(), QString("确定"));

    form.show();
    saveScreenshot(&form, "LogonForm-first-run");
    QTest::keyClicks(form.LoginCode_Edit, "admin");
    QTest::keyClicks(form.SystemLogin_Pas, "s3cret");
    whenShown<TInputPasswordBox>([](TInputPasswordBox* box) {
        saveScreenshot(box, "InputPasswordBox");
        QCOMPARE(box->windowTitle(), QString("MyInputBox"));
        QCOMPARE(box->Prompt_Label->text(), QString("请再次输入口令："));
        QCOMPARE(box->Input_MaskEdit->echoMode(), QLineEdit::Password);
        QTest::keyClicks(box->Input_MaskEdit, "s3cret");
        QTest::mouseClick(box->Confirm_Bt, Qt::LeftButton);
    });
    QTest::mouseClick(form.Ok_Bt, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(qv::session().login, QString("admin"));
    QCOMPARE(qv::session().name, QString("系统管理员"));
    QCOMPARE(qv::session().group, 0);

    qv::DataSet op(dm->conn);
    op.setTableName("Operator");
    op.open();
    QCOMPARE(op.recordCount(), 1);
    QCOMPARE(op.text("Staffer"), QString("admin"));
    QCOMPARE(op.text("Branch"), QString("********************"));
    QVERIFY(qv::isPasswordHash(op.text("Pass")));
    QVERIFY(qv::verifyPassword("s3cret", op.text("Pass")));
    for (int i = 6; i < 24; ++i) {
        QVERIFY2(op.asInteger(op.fieldName(i)) == 1, qPrintable(op.fieldName(i)));
    }

    TLogonForm again;  // the next start shows the normal logon
    again.show();
    saveScreenshot(&again, "LogonForm");
    QVERIFY(!again.isFirstRun());
    QCOMPARE(again.Ok_Bt->text(), QString("登  陆"));
    QVERIFY(again.Title_Label->isVisibleTo(&again));
}

void AppTest::firstRunRefusals() {
    openDatabase();
    qv::TestDialogs boxes;
    TLogonForm form;
    form.show();
    QTest::keyClicks(form.LoginCode_Edit, "admin");
    QTest::keyClicks(form.SystemLogin_Pas, "one");

    whenShown<TInputPasswordBox>(
        [](TInputPasswordBox* box) { QTest::mouseClick(box->Cancel_Bt, Qt::LeftButton); });
    QTest::mouseClick(form.Ok_Bt, Qt::LeftButton);
    whenShown<TInputPasswordBox>([](TInputPasswordBox* box) {
        QTest::keyClicks(box->Input_MaskEdit, "two");
        QTest::keyClick(box->Input_MaskEdit, Qt::Key_Return);
    });
    QTest::mouseClick(form.Ok_Bt, Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList{"两次密码不符！"});
    QCOMPARE(form.result(), 0);
    QVERIFY(form.isVisible());
    QCOMPARE(dm->conn.scalar("select count(*) from Operator").toInt(), 0);
}

void AppTest::firstRunNeedsNameAndPassword_data() {
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("no name") << ""
                             << "pw"
                             << "请输入用户名！"
                             << "LoginCode_Edit";
    QTest::newRow("blanks for a name") << "   "
                                       << "pw"
                                       << "请输入用户名！"
                                       << "LoginCode_Edit";
    QTest::newRow("no password") << "admin"
                                 << ""
                                 << "请输入口令！"
                                 << "SystemLogin_Pas";
}

void AppTest::firstRunNeedsNameAndPassword() {
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    openDatabase();
    qv::TestDialogs boxes;
    TLogonForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(form.isFirstRun());
    form.LoginCode_Edit->setText(login);
    form.SystemLogin_Pas->setText(password);
    bool asked = false;  // the password is not asked for again
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<TInputPasswordBox*>(QApplication::activeModalWidget())) {
            asked = true;
            box->reject();
        }
    });
    watch.start();
    QTest::mouseClick(form.Ok_Bt, Qt::LeftButton);
    watch.stop();
    QVERIFY(!asked);
    QCOMPARE(boxes.texts(), QStringList{message});
    QCOMPARE(form.result(), 0);
    QCOMPARE(form.focusWidget()->objectName(), focus);
    QCOMPARE(dm->conn.scalar("select count(*) from Operator").toInt(), 0);
}

void AppTest::logonRefusesAndAccepts() {
    openDatabase();
    const QString quoted = "O'Hara";
    dm->conn.execute(
        "insert into Operator (Staffer, StafferName, Pass, GroupID) values (:s, :n, :p, 2)",
        {{":s", quoted}, {":n", "前台"}, {":p", qv::hashPassword("pw'1")}});
    dm->conn.execute("insert into Operator (Staffer, StafferName, Pass) values ('admin', 'A', :p)",
                     {{":p", qv::hashPassword("right")}});
    // Operators entered by hand without a password.
    dm->conn.execute("insert into Operator (Staffer, Pass) values ('nopass', '')");
    dm->conn.execute("insert into Operator (Staffer) values ('nullpass')");
    qv::TestDialogs boxes;
    TLogonForm form;
    form.show();
    QVERIFY(!form.isFirstRun());
    const QList<QPair<QString, QString>> refused = {
        {"admin", "wrong"}, {"nobody", "right"}, {"' OR '1'='1", "' OR '1'='1"},
        {"admin", ""},      {"ADMIN", "right"},  {QString(200, 'x'), "right"},
        {"nopass", ""},     {"nullpass", ""},    {"nopass", "x"},
    };
    for (const auto& [login, password] : refused) {
        boxes.clear();
        form.LoginCode_Edit->setText(login);
        form.SystemLogin_Pas->setText(password);
        QTest::mouseClick(form.Ok_Bt, Qt::LeftButton);
        QCOMPARE(boxes.boxes().size(), 1);
        QCOMPARE(boxes.last().text, QString("错误的用户名或密码！"));
        QCOMPARE(boxes.last().title, QString("提示"));
        QCOMPARE(boxes.last().icon, qv::Icon::Error);
        QCOMPARE(form.result(), 0);
        QCOMPARE(form.focusWidget(), form.SystemLogin_Pas);
    }
    QVERIFY(qv::session().login.isEmpty());
    QCOMPARE(dm->conn.scalar("select Pass from Operator where Staffer = 'nopass'").toString(),
             QString());
    QVERIFY(dm->conn.scalar("select Pass from Operator where Staffer = 'nullpass'").isNull());
    form.LoginCode_Edit->setText(quoted);
    form.SystemLogin_Pas->setText("pw'1");
    QTest::keyClick(form.SystemLogin_Pas, Qt::Key_Return);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(qv::session().login, quoted);
    QCOMPARE(qv::session().name, QString("前台"));
    QCOMPARE(qv::session().group, 2);
}

void AppTest::plainTextPasswordIsHashedAtFirstLogon() {
    openDatabase();
    dm->conn.execute(
        "insert into Operator (Staffer, StafferName, Pass, Branch) values ('desk', 'D', 'plain', "
        ":b)",
        {{":b", "********************"}});
    for (int attempt = 0; attempt < 2; ++attempt) {
        TLogonForm form;
        form.LoginCode_Edit->setText("desk");
        form.SystemLogin_Pas->setText("plain");
        form.Ok_BtClick();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const QString stored =
            dm->conn.scalar("select Pass from Operator where Staffer = 'desk'").toString();
        QVERIFY(qv::isPasswordHash(stored));
        QVERIFY(qv::verifyPassword("plain", stored));
        QCOMPARE(dm->conn.scalar("select Branch from Operator").toString(),
                 QString("********************"));
    }
}

void AppTest::escapeCancelsTheLogon() {
    openDatabase();
    dm->conn.execute("insert into Operator (Staffer, Pass) values ('a', 'b')");
    TLogonForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    QTest::keyClicks(form.LoginCode_Edit, "a");
    QTest::keyClick(form.LoginCode_Edit, Qt::Key_Escape);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(!form.isVisible());
}

void AppTest::startUpThenRestart() {
    openDatabase();
    dm->conn.close();
    app_->write("Mirefold.ini", "[SystemInfo]\nHotelName=金色酒店\n");
    qv::TestDialogs boxes;
    whenShown<TLogonForm>([](TLogonForm* logon) {
        QVERIFY(logon->isFirstRun());
        logon->LoginCode_Edit->setText("boss");
        logon->SystemLogin_Pas->setText("pw");
        whenShown<TInputPasswordBox>([](TInputPasswordBox* box) {
            box->Input_MaskEdit->setText("pw");
            box->Confirm_BtClick();
        });
        logon->Ok_BtClick();
    });
    QVERIFY(StartUp());
    QCOMPARE(LockSystemInfo.HotelName, QString("金色酒店"));
    QCOMPARE(qv::session().login, QString("boss"));

    // The program starts again: settings re-read, a normal logon.
    dm->conn.close();
    LockSystemInfo = TLockSystemInfo();
    qv::session() = qv::Session();
    whenShown<TLogonForm>([](TLogonForm* logon) {
        QVERIFY(!logon->isFirstRun());
        logon->LoginCode_Edit->setText("boss");
        logon->SystemLogin_Pas->setText("pw");
        logon->Ok_BtClick();
    });
    QVERIFY(StartUp());
    QCOMPARE(qv::session().name, QString("系统管理员"));
    QVERIFY(boxes.boxes().isEmpty());

    // A desk stopped while its encoder wrote a card: the next start names it.
    dm->conn.execute(
        "insert into MakeCardRecord (CardType, Rom, RoomStr, Holder, CardState) "
        "values (4, '01020300000009', '1203', '张三', 1)");
    dm->conn.close();
    whenShown<TLogonForm>([](TLogonForm* logon) {
        logon->LoginCode_Edit->setText("boss");
        logon->SystemLogin_Pas->setText("pw");
        logon->Ok_BtClick();
    });
    boxes.answer(qv::Answer::Cancel);  // later
    QVERIFY(StartUp());
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.last().icon, qv::Icon::Warning);
    QCOMPARE(boxes.last().buttons, qv::Buttons::OkCancel);
    // The card by its room and holder, not by the number the room's cards share.
    QVERIFY2(boxes.last().text.contains("1203") && boxes.last().text.contains("张三") &&
                 !boxes.last().text.contains("01020300000009"),
             qPrintable(boxes.last().text));

    // The next start: the clerk settles it at once, in the window the notice opens.
    auto logOn = [] {
        whenShown<TLogonForm>([](TLogonForm* logon) {
            logon->LoginCode_Edit->setText("boss");
            logon->SystemLogin_Pas->setText("pw");
            logon->Ok_BtClick();
        });
    };
    dm->conn.close();
    boxes.clear();
    logOn();
    boxes.answer(qv::Answer::Ok);  // settle now
    boxes.answer(qv::Answer::Ok);  // lost or destroyed: yes
    bool shown = false;
    whenShown<TUnconfirmedCards_Form>(
        [&shown](TUnconfirmedCards_Form* f) {
            shown = true;
            QCOMPARE(f->Cards_Grid->rowCount(), 1);
            QVERIFY(f->Lost_Bt->isEnabled());
            QTest::mouseClick(f->Lost_Bt, Qt::LeftButton);
            f->reject();
        },
        15000);
    QVERIFY(StartUp());
    QVERIFY(shown);
    QVERIFY(UnconfirmedCards().isEmpty());

    // And the notice does not come back.
    dm->conn.close();
    boxes.clear();
    logOn();
    QVERIFY(StartUp());
    QVERIFY2(boxes.boxes().isEmpty(), qPrintable(boxes.texts().join('\n')));
}

QTEST_MAIN(AppTest)
#include "tst_app.moc"
