// Platform services: INI semantics, the version block, the handler guard.
#include "TestSupport.h"

#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/FileVersion.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "platform/SharedLibrary.h"
#include "platform/TestDialogs.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QtTest>

class PlatformTest : public QObject {
    Q_OBJECT
private slots:
    void iniReadsWithWindowsSemantics_data();
    void iniReadsWithWindowsSemantics();
    void iniWriteKeepsEverythingElse();
    void iniWriteAddsKeysAndSections();
    void iniWriteFailureIsAnError();
    void versionBlockOfTheProgram();
    void fileWithoutVersionBlock();
    void guardShowsErrorsAndSwallowsAbort();
    void terminateIsQueuedAndObservable();
    void missingLibraryIsReported();
};

void PlatformTest::iniReadsWithWindowsSemantics_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("decimal") << QByteArray("V=42") << "int"
                             << "42";
    QTest::newRow("negative") << QByteArray("V=-7") << "int"
                              << "-7";
    QTest::newRow("hex") << QByteArray("V=0x10") << "int"
                         << "16";
    QTest::newRow("hex upper") << QByteArray("V=0XfF") << "int"
                               << "255";
    QTest::newRow("letters") << QByteArray("V=abc") << "int"
                             << "99";
    QTest::newRow("trailing junk") << QByteArray("V=12abc") << "int"
                                   << "99";
    QTest::newRow("empty") << QByteArray("V=") << "int"
                           << "99";
    QTest::newRow("bare 0x") << QByteArray("V=0x") << "int"
                             << "99";
    QTest::newRow("spaces") << QByteArray("  v =  5  ") << "int"
                            << "5";
    QTest::newRow("time full") << QByteArray("V=08:05:09") << "time"
                               << "08:05:09";
    QTest::newRow("time short") << QByteArray("V=9:30") << "time"
                                << "09:30:00";
    QTest::newRow("time 25h") << QByteArray("V=25:00:00") << "time"
                              << "12:00:00";
    QTest::newRow("time junk") << QByteArray("V=noon") << "time"
                               << "12:00:00";
    QTest::newRow("text quoted") << QByteArray("V=\"a b\"") << "text"
                                 << "a b";
    QTest::newRow("text chinese") << QByteArray("V=金色酒店") << "text"
                                  << "金色酒店";
    QTest::newRow("no equals") << QByteArray("V") << "text"
                               << "dflt";
    QTest::newRow("bool nonzero") << QByteArray("V=2") << "bool"
                                  << "1";
    QTest::newRow("bool junk") << QByteArray("V=yes") << "bool"
                               << "0";
}

void PlatformTest::iniReadsWithWindowsSemantics() {
    QFETCH(QByteArray, line);
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    TempAppDir app;
    app.write("t.ini", "; comment\r\n[Other]\r\nV=1\r\n[sEcTiOn]\r\n" + line + "\r\nV=555\r\n");
    const qv::IniFile ini(app.file("t.ini"));
    QString got;
    if (kind == "int") {
        got = QString::number(ini.readInteger("Section", "V", 99));
    } else if (kind == "time") {
        got = ini.readTime("Section", "V", QTime(12, 0)).toString("HH:mm:ss");
    } else if (kind == "bool") {
        got = ini.readBool("Section", "V", false) ? "1" : "0";
    } else {
        got = ini.readString("Section", "V", "dflt");
    }
    if (QByteArray(QTest::currentDataTag()) == "no equals") {
        expected = "555";  // the malformed line is skipped, the next V is found
    }
    QCOMPARE(got, expected);
}

void PlatformTest::iniWriteKeepsEverythingElse() {
    TempAppDir app;
    // The hotel name of an older file is in the Chinese code page (GBK "华府").
    const QByteArray before =
        "\xEF\xBB\xBF; hotel settings\r\n[SystemInfo]\r\nHotelName=\xBB\xAA\xB8\xAE\r\n"
        "DayCount=2 ; nights\r\nweird line\r\n\r\n[Client Config]\r\nConnType=0\r\nDbPath=/x\r\n";
    app.write("Mirefold.ini", before);
    qv::IniFile ini(app.file("Mirefold.ini"));
    ini.writeInteger("client config", "CONNTYPE", 1);
    QByteArray expected = before;
    expected.replace("ConnType=0", "CONNTYPE=1");
    QCOMPARE(app.read("Mirefold.ini"), expected);
    const qv::IniFile after(app.file("Mirefold.ini"));
    QCOMPARE(after.readInteger("Client Config", "ConnType", 0), 1);
    if (QStringDecoder("GB18030").isValid()) {
        QCOMPARE(after.readString("SystemInfo", "HotelName", ""), QString("华府"));
    }
}

void PlatformTest::iniWriteAddsKeysAndSections() {
    TempAppDir app;
    app.write("a.ini", "[SystemInfo]\nHotelName=X\n; end of section\n\n[Config]\nCommProt=1\n");
    qv::IniFile ini(app.file("a.ini"));
    ini.writeString("SystemInfo", "Pass", "0A1B2C3D");
    ini.writeTime("SystemInfo", "LeaveTime", QTime(9, 5));
    ini.writeBool("New Section", "Flag", true);
    QCOMPARE(QString::fromUtf8(app.read("a.ini")),
             QString("[SystemInfo]\nHotelName=X\n; end of section\nPass=0A1B2C3D\n"
                     "LeaveTime=09:05:00\n\n[Config]\nCommProt=1\n\n[New Section]\nFlag=1\n"));

    qv::IniFile fresh(app.file("sub/new.ini"));
    QVERIFY(!fresh.exists());
    fresh.writeInteger("A", "B", 3);
    QCOMPARE(app.read("sub/new.ini"), QByteArray("[A]\nB=3\n"));
}

void PlatformTest::iniWriteFailureIsAnError() {
    TempAppDir app;
    app.write("plain-file", "not a folder");
    // The file's folder is a plain file: nothing can be saved there, even as root.
    qv::IniFile ini(app.file("plain-file/x.ini"));
    QVERIFY_THROWS_EXCEPTION(qv::Error, ini.writeInteger("A", "B", 2));
    QCOMPARE(app.read("plain-file"), QByteArray("not a folder"));
}

void PlatformTest::versionBlockOfTheProgram() {
    const TFileVersion version;
    QVERIFY(version.HasVersionInfo());
    QCOMPARE(version.GetTranslation(), QString("080404b0"));
    QCOMPARE(version.GetVersionString("ProductName"), QString("Quorvane"));
    QVERIFY(!version.GetVersionString("CompanyName").isEmpty());
    QVERIFY(version.GetVersionString("FileVersion").startsWith("18.0"));
    QCOMPARE(version.GetVersionString("NoSuchValue"), QString());
}

void PlatformTest::fileWithoutVersionBlock() {
    TempAppDir app;
    app.write("junk.bin", QByteArray(4096, 'x'));
    for (const QString& file : {QString("/bin/sh"), app.file("junk.bin"), app.file("missing")}) {
        const TFileVersion version(file);
        QVERIFY2(!version.HasVersionInfo(), qPrintable(file));
        QCOMPARE(version.GetTranslation(), QString());
        QCOMPARE(version.GetVersionString("ProductName"), QString());
    }
}

void PlatformTest::guardShowsErrorsAndSwallowsAbort() {
    qv::TestDialogs boxes;
    QVERIFY(qv::guarded([] {}));
    QVERIFY(!qv::guarded([] { throw qv::DbError("no such table: Operator"); }));
    QVERIFY(!qv::guarded([] { qv::abortSilently(); }));
    QVERIFY(!qv::guarded([] { throw 42; }));
    QCOMPARE(boxes.boxes().size(), 2);
    QCOMPARE(boxes.boxes()[0].text, QString("no such table: Operator"));
    QCOMPARE(boxes.boxes()[0].icon, qv::Icon::Error);
    QCOMPARE(boxes.boxes()[0].title, qv::applicationTitle());
}

void PlatformTest::terminateIsQueuedAndObservable() {
    qv::clearTerminateRequest();
    qv::requestTerminate();
    QVERIFY(qv::terminateRequested());
    // The request ends the loop that runs next, not the code that asked.
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, [&] { loop.exit(7); });
    QCOMPARE(loop.exec(), 0);
    qv::clearTerminateRequest();
}

void PlatformTest::missingLibraryIsReported() {
    qv::SharedLibrary lib(QStringLiteral("/nonexistent/libQuorvane.so"));
    QVERIFY(!lib.isLoaded());
    QVERIFY(!lib.errorString().isEmpty());
    QCOMPARE(lib.resolve("MakeGuestCard"), nullptr);
}

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
