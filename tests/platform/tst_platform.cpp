// Platform services: INI semantics, the version block, the handler guard,
// text of whole characters, the real message boxes.
#include "TestSupport.h"

#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/FileVersion.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "platform/LengthLimit.h"
#include "platform/QtDialogs.h"
#include "platform/SharedLibrary.h"
#include "platform/TestDialogs.h"
#include "platform/Text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
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
    void newIniFileIsPrivate();
    void wholeCharacters_data();
    void wholeCharacters();
    void lengthLimitCountsCharacters_data();
    void lengthLimitCountsCharacters();
    void messageBoxShowsItsWholeTitle_data();
    void messageBoxShowsItsWholeTitle();
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

void PlatformTest::newIniFileIsPrivate() {
    TempAppDir app;
    // A settings file the program creates may come to hold the server password.
    qv::IniFile fresh(app.file("Mirefold.ini"));
    fresh.writeString("Client Config", "Pass", "secret");
    const QFileDevice::Permissions mode = QFileInfo(app.file("Mirefold.ini")).permissions();
    QCOMPARE(mode & (QFileDevice::ReadOther | QFileDevice::WriteOther), QFileDevice::Permissions());
    QVERIFY(mode & QFileDevice::ReadOwner && mode & QFileDevice::WriteOwner);
    // An existing file keeps the mode its owner gave it.
    app.write("shared.ini", "[A]\nB=1\n");
    const QFileDevice::Permissions shared = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QFile::setPermissions(app.file("shared.ini"), shared);
    qv::IniFile(app.file("shared.ini")).writeInteger("A", "B", 2);
    QCOMPARE(QFileInfo(app.file("shared.ini")).permissions() & 0xF0FF,
             shared);  // without the "user" bits
}

namespace {
const QString kSmile = QString::fromUtf8("\xF0\x9F\x98\x80");  // one character, two UTF-16 units
const QChar kHalf(0xD83D);                                     // its first half alone
}  // namespace

void PlatformTest::wholeCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("firstTwo");
    QTest::addColumn<QString>("wellFormed");
    const QString bad = QString(QChar(QChar::ReplacementCharacter));
    QTest::newRow("plain") << "abc" << 3 << "ab"
                           << "abc";
    QTest::newRow("chinese") << "金色酒店" << 4 << "金色"
                             << "金色酒店";
    QTest::newRow("emoji second") << "a" + kSmile + "b" << 3 << "a" + kSmile << "a" + kSmile + "b";
    QTest::newRow("half at the end") << "ab" + QString(kHalf) << 3 << "ab"
                                     << "ab" + bad;
    QTest::newRow("second half alone")
        << QString(QChar(0xDE00)) + "x" << 2 << QString(QChar(0xDE00)) + "x" << bad + "x";
    QTest::newRow("halves reversed") << QString(QChar(0xDE00)) + QString(kHalf) << 2
                                     << QString(QChar(0xDE00)) + QString(kHalf) << bad + bad;
    QTest::newRow("empty") << "" << 0 << ""
                           << "";
}

void PlatformTest::wholeCharacters() {
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QString, firstTwo);
    QFETCH(QString, wellFormed);
    QCOMPARE(qv::characterCount(text), count);
    QCOMPARE(qv::leftCharacters(text, 2), firstTwo);
    QCOMPARE(qv::wellFormed(text), wellFormed);
    QCOMPARE(QString::fromUtf8(qv::wellFormed(text).toUtf8()), wellFormed);  // valid UTF-8
}

void PlatformTest::lengthLimitCountsCharacters_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>(
        "typed");  // inserted at once, as typing, pasting or an input method does
    QTest::addColumn<QString>("after");
    const QString nineteen(19, u'名');
    QTest::newRow("emoji as the twentieth character")
        << nineteen << 19 << kSmile << nineteen + kSmile;
    QTest::newRow("emoji past the limit") << nineteen + "x" << 20 << kSmile << nineteen + "x";
    QTest::newRow("two emoji, room for one")
        << nineteen << 19 << kSmile + kSmile << nineteen + kSmile;
    QTest::newRow("paste in the middle keeps what fits")
        << QString(18, u'a') << 9 << "XYZ" << QString(9, u'a') + "XY" + QString(9, u'a');
    QTest::newRow("emoji pasted in the middle, no room")
        << QString(20, u'a') << 5 << "b" + kSmile << QString(20, u'a');
    QTest::newRow("chinese") << "" << 0 << QString(25, u'金') << QString(20, u'金');
}

void PlatformTest::lengthLimitCountsCharacters() {
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, typed);
    QFETCH(QString, after);
    QLineEdit edit;
    edit.setMaxLength(20);  // a limit in UTF-16 units, which the helper replaces
    qv::limitCharacters(&edit, 20);
    edit.setText(before);
    edit.setCursorPosition(cursor);
    edit.insert(typed);
    QCOMPARE(edit.text(), after);
    QCOMPARE(qv::wellFormed(edit.text()), edit.text());  // never half a character
}

void PlatformTest::messageBoxShowsItsWholeTitle_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("application title, short text") << "Quorvane V18.0"
                                                   << "两次密码不符！";
    QTest::newRow("notice, short text") << "提示"
                                        << "完成";
    QTest::newRow("long title") << "Quorvane V18.0 — 数据库连接设置与测试"
                                << "OK";
}

void PlatformTest::messageBoxShowsItsWholeTitle() {
    QFETCH(QString, title);
    QFETCH(QString, text);
    qv::QtDialogs dialogs;
    int width = 0;
    int needed = 0;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        QCOMPARE(box->windowTitle(), title);
        width = box->width();
        needed = box->fontMetrics().horizontalAdvance(title) + 100;
        saveScreenshot(box, "MessageBox-" + QString(QTest::currentDataTag()).replace(' ', '-'));
        box->buttons().first()->click();  // the one button, "确定"
    });
    QCOMPARE(dialogs.message(title, text, qv::Icon::Error, qv::Buttons::Ok), qv::Answer::Ok);
    QVERIFY2(width >= needed, qPrintable(QString("%1 < %2").arg(width).arg(needed)));
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

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"
