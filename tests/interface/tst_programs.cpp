// The three key interface programs as a hotel runs them, on an SQLite lock
// database: quorvane-interface, quorvane-station for encoder 1 on the
// encoder simulator, and quorvane-pms sending the records.
#include "SimEncoder.h"
#include "TestSupport.h"

#include "data/Connection.h"
#include "data/DemoHotel.h"
#include "data/Operators.h"
#include "data/dm_unit.h"
#include "settings/Settings.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {
QString program(const char* name) {
    return QStringLiteral(QV_APP_DIR "/") + QLatin1String(name);
}
}  // namespace

class ProgramsTest : public QObject {
    Q_OBJECT
private slots:
    void keysThroughThePrograms_data();
    void keysThroughThePrograms();
};

void ProgramsTest::keysThroughThePrograms_data() {
    QTest::addColumn<QString>("allowFrom");
    QTest::addColumn<bool>("linked");
    QTest::newRow("allowed") << "127.0.0.1" << true;
    QTest::newRow("address not allowed") << "192.0.2.7" << false;
}

void ProgramsTest::keysThroughThePrograms() {
    QFETCH(QString, allowFrom);
    QFETCH(bool, linked);
    TempAppDir app;
    {
        Tdm data;
        dm = &data;
        data.conn.openSQLite(app.file("db/lock.db"), true);
        data.conn.createSchema();
        qv::createDemoHotel(data.conn);
        qv::OperatorRightValues all{};
        all.fill(true);
        QVERIFY(qv::addOperator("pms", "PMS", all));
        dm = nullptr;
    }
    SimEncoder sim(app);
    QVERIFY(sim.loaded());
    QVERIFY(sim.command("place blank"));
    QVERIFY(QFile::copy(QStringLiteral(QV_ENCODER_LIB), app.file("libQuorvane.so")));
    app.write("Mirefold.ini",
              QStringLiteral("[Client Config]\nConnType=0\n[Interface]\nRole=server\n"
                             "Port=0\nOperator=pms\nEncoder=1\nCardWait=5\n"
                             "AllowFrom=%1\n")
                  .arg(allowFrom)
                  .toUtf8());

    QProcess service;
    service.start(program("quorvane-interface"), {"--dir", app.path()});
    QVERIFY(service.waitForReadyRead(20000));
    const QString banner = QString::fromUtf8(service.readAllStandardOutput());
    const QRegularExpressionMatch port = QRegularExpression(":(\\d+)").match(banner);
    QVERIFY2(port.hasMatch(), qPrintable(banner));
    QProcess station;
    station.start(program("quorvane-station"), {"--dir", app.path()});
    QVERIFY(station.waitForStarted());

    QProcess pms;
    pms.start(program("quorvane-pms"),
              {"--port", port.captured(1), "--wait", "20",
               QStringLiteral("KR KC=1 KT=N K#=1 RN=1203 GD=%1")
                   .arg(QDate::currentDate().addDays(2).toString("yyMMdd"))});
    if (linked) {
        QVERIFY(pms.waitForFinished(40000));
    } else {
        pms.waitForFinished(3000);  // it keeps trying: the link never comes up
    }
    const QString out = QString::fromUtf8(pms.readAllStandardOutput());
    if (linked) {
        QCOMPARE(pms.exitCode(), 0);
        QVERIFY2(out.contains("< KA AS=OK"), qPrintable(out));
        QVERIFY2(out.contains("RN=1203"), qPrintable(out));
    } else {
        QVERIFY2(!out.contains("link up"), qPrintable(out));
        pms.kill();
        pms.waitForFinished();
    }
    station.terminate();
    service.terminate();
    station.waitForFinished();
    service.waitForFinished();

    Tdm data;
    dm = &data;
    data.conn.openSQLite(app.file("db/lock.db"));
    QCOMPARE(data.conn.scalar("select count(*) from MakeCardRecord where RoomStr = '1203'").toInt(),
             linked ? 1 : 0);
    QCOMPARE(data.conn.scalar("select count(*) from KeyRequest").toInt(), linked ? 1 : 0);
    dm = nullptr;
}

QTEST_GUILESS_MAIN(ProgramsTest)
#include "tst_programs.moc"
