// The encoder binding driven through the real simulator library from the
// build tree, its state folder in a temporary directory, and the simulator's
// command-line tool.
#include "SimEncoder.h"
#include "TestSupport.h"

#include "card/CardFunctions.h"
#include "card/Encoder.h"
#include "platform/TestDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <cstring>
#include <functional>

using qv::Encoder;

namespace {

// A card with a distinct value in every word the library carries.
TCardData fullCard() {
    TCardData c{};
    uint16_t next = 100;
    auto fill = [&next](uint16_t* w, int n) {
        for (int i = 0; i < n; ++i) {
            w[i] = next++;
        }
    };
    fill(c.CardSn, 5);
    fill(c.Reserved2, 5);
    c.Building = 0xFFFE;
    fill(c.RoomAddr, 7);
    fill(c.Floor, 9);
    fill(c.District, 5);
    fill(c.CardType, 9);
    c.Override = 1;
    fill(c.Reserved3, 5);
    DateToCardTime(QDateTime(QDate(2024, 2, 29), QTime(14, 5)), c.StartTime);
    DateToCardTime(QDateTime(QDate(2024, 3, 1), QTime(12, 0)), c.EndTime);
    return c;
}

QByteArray bytes(const TCardData& c) {
    return {reinterpret_cast<const char*>(&c), sizeof c};
}

int16_t call(const QString& name) {
    Encoder& e = Encoder::instance();
    TCardData card = fullCard();
    if (name == "openPort")
        return e.openPort(1);
    if (name == "getParameter") {
        qv::ParameterBlock block;
        return e.getParameter(block);
    }
    if (name == "readSystemPas") {
        qv::SystemCode code;
        return e.readSystemPas(code);
    }
    if (name == "systemInitialization") {
        const qv::SystemCode code = {0xA1, 0xB2, 0xC3, 0xD4};
        return e.systemInitialization(code);
    }
    if (name == "makeGuestCard")
        return e.makeCard(CardTypes::Guest, card);
    if (name == "makeMasterCard")
        return e.makeCard(CardTypes::Master, card);
    if (name == "readCard")
        return e.readCard(card);
    if (name == "clearCard")
        return e.clearCard();
    if (name == "readDataCard") {
        qv::DataCardBuffer buffer;
        return e.readDataCard(buffer);
    }
    if (name == "readOneOpenDoorRecord") {
        qv::DataCardBuffer buffer;
        qv::OpenDoorRecord record;
        return e.readOneOpenDoorRecord(record, buffer);
    }
    qFatal("unknown call %s", qPrintable(name));
}

const QStringList kAllCalls = {
    "openPort",      "getParameter",         "readSystemPas", "systemInitialization",
    "makeGuestCard", "makeMasterCard",       "readCard",      "clearCard",
    "readDataCard",  "readOneOpenDoorRecord"};

}  // namespace

class EncoderTest : public QObject {
    Q_OBJECT
private slots:
    void answersOfTheEncoder_data();
    void answersOfTheEncoder();
    void parametersAndPairing();
    void everyCardTypeRoundTrips_data();
    void everyCardTypeRoundTrips();
    void unissuedTypeIsNotWritten();
    void failNextLeavesTheCard_data();
    void failNextLeavesTheCard();
    void clearingBlanksTheCard();
    void dataCardRecords();
    void dataCardRefusals_data();
    void dataCardRefusals();
    void stateFolderNextToTheLibrary();
    void missingLibrary_data();
    void missingLibrary();
    void toolShowsAWrittenCard();
    void toolReportsACorruptImage();
    void toolRejectsBadArguments_data();
    void toolRejectsBadArguments();
};

void EncoderTest::answersOfTheEncoder_data() {
    // Set-up through the tool (each entry one command), or "file:NAME=TEXT"
    // to write a state file directly; then a call and its answer.
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("expected");
    QTest::newRow("no card: read") << QStringList{} << "readCard" << -1;
    QTest::newRow("no card: write") << QStringList{} << "makeGuestCard" << -1;
    QTest::newRow("no card: clear") << QStringList{} << "clearCard" << -1;
    QTest::newRow("no card: data card") << QStringList{} << "readDataCard" << -1;
    QTest::newRow("fresh encoder opens its port") << QStringList{} << "openPort" << 1;
    const QStringList offline{"place blank", "set online 0"};
    for (const QString& c : kAllCalls) {
        QTest::addRow("off line: %s", qPrintable(c)) << offline << c << -2;
    }
    QTest::newRow("blank card reads") << QStringList{"place blank"} << "readCard" << 1;
    QTest::newRow("corrupt image: read")
        << QStringList{"file:card.txt=card=written\nCardSn=1 2\n"} << "readCard" << -15;
    QTest::newRow("corrupt image: write")
        << QStringList{"file:card.txt=garbage"} << "makeGuestCard" << -15;
    QTest::newRow("word out of range")
        << QStringList{"place blank", "file:card.txt=card=written\nBuilding=70000\n"} << "readCard"
        << -15;
    QTest::newRow("corrupt parameters")
        << QStringList{"place blank", "file:encoder.txt=online=maybe\n"} << "readCard" << -15;
    QTest::newRow("state folder is a file") << QStringList{"folder-is-file"} << "readCard" << -15;
    QTest::newRow("state folder is a file: parameters")
        << QStringList{"folder-is-file"} << "readSystemPas" << -15;
}

void EncoderTest::answersOfTheEncoder() {
    QFETCH(QStringList, setup);
    QFETCH(QString, call);
    QFETCH(int, expected);
    SimEncoder sim;
    QVERIFY(sim.loaded());
    for (const QString& step : setup) {
        if (step == "folder-is-file") {
            QFile f(sim.stateDir());
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (step.startsWith("file:")) {
            const QString rest = step.mid(5);
            const qsizetype eq = rest.indexOf('=');
            sim.writeState(rest.left(eq), rest.mid(eq + 1).toUtf8());
        } else {
            QCOMPARE(sim.tool(step.split(' ')), 0);
        }
    }
    QCOMPARE(int(::call(call)), expected);
}

void EncoderTest::parametersAndPairing() {
    SimEncoder sim;
    Encoder& e = Encoder::instance();
    qv::ParameterBlock block;
    QCOMPARE(int(e.getParameter(block)), 1);
    QCOMPARE(int(block[0]), 3);  // IC card by default

    qv::SystemCode code;
    QCOMPARE(int(e.readSystemPas(code)), 1);
    QCOMPARE(QList<int>(std::begin(code), std::end(code)), (QList<int>{0xA1, 0xB2, 0xC3, 0xD4}));

    QCOMPARE(sim.tool({"set", "code", "0102a0FF"}), 0);
    QCOMPARE(sim.tool({"set", "kind", "9"}), 0);
    QCOMPARE(int(e.readSystemPas(code)), 1);
    QCOMPARE(QList<int>(std::begin(code), std::end(code)), (QList<int>{0x01, 0x02, 0xA0, 0xFF}));
    QCOMPARE(int(e.systemInitialization(code)), 1);
    const qv::SystemCode foreign = {0x01, 0x02, 0xA0, 0xFE};
    QCOMPARE(int(e.systemInitialization(foreign)), -14);
    QCOMPARE(int(e.getParameter(block)), 1);
    QCOMPARE(int(block[0]), 9);

    QCOMPARE(sim.tool({"set", "online", "0"}), 0);
    QCOMPARE(int(e.getParameter(block)), -2);
    QVERIFY(int16_t(block[0]) < 0);
}

void EncoderTest::everyCardTypeRoundTrips_data() {
    QTest::addColumn<int>("type");
    for (const TCardTypeInfo& info : IssuedCardTypes) {
        QTest::addRow("%s", info.makeFunction) << int(info.type);
    }
}

void EncoderTest::everyCardTypeRoundTrips() {
    QFETCH(int, type);
    SimEncoder sim;
    QCOMPARE(sim.tool({"place", "blank"}), 0);
    TCardData written = fullCard();
    const TCardData before = written;
    QCOMPARE(int(Encoder::instance().makeCard(type, written)), 1);
    QCOMPARE(bytes(written), bytes(before));  // the caller's record is not changed

    TCardData read;
    std::memset(&read, 0x5A, sizeof read);
    QCOMPARE(int(Encoder::instance().readCard(read)), 1);
    TCardData expected = before;
    expected.CardType[0] = static_cast<uint16_t>(type);                // set by the function called
    std::memset(expected.Reserved1, 0x5A, sizeof expected.Reserved1);  // not carried
    QCOMPARE(bytes(read), bytes(expected));
    QCOMPARE(CardTimeToDate(read.StartTime), QDateTime(QDate(2024, 2, 29), QTime(14, 5)));
}

void EncoderTest::unissuedTypeIsNotWritten() {
    SimEncoder sim;
    QCOMPARE(sim.tool({"place", "blank"}), 0);
    TCardData card = fullCard();
    QCOMPARE(int(Encoder::instance().makeCard(7, card)), -15);
    TCardData read{};
    QCOMPARE(int(Encoder::instance().readCard(read)), 1);
    QCOMPARE(int(read.CardType[0]), 0);  // still blank
}

void EncoderTest::failNextLeavesTheCard_data() {
    QTest::addColumn<QString>("write");
    QTest::newRow("card write") << "makeMasterCard";
    QTest::newRow("clearing") << "clearCard";
}

void EncoderTest::failNextLeavesTheCard() {
    QFETCH(QString, write);
    SimEncoder sim;
    QCOMPARE(sim.tool({"place", "blank"}), 0);
    TCardData guest = fullCard();
    QCOMPARE(int(Encoder::instance().makeCard(CardTypes::Guest, guest)), 1);
    QFile cardFile(sim.stateFile("card.txt"));
    QVERIFY(cardFile.open(QIODevice::ReadOnly));
    const QByteArray before = cardFile.readAll();
    cardFile.close();

    QCOMPARE(sim.tool({"set", "fail-next"}), 0);
    QCOMPARE(int(::call(write)), -15);
    QVERIFY(cardFile.open(QIODevice::ReadOnly));
    QCOMPARE(cardFile.readAll(), before);
    cardFile.close();
    TCardData read{};
    QCOMPARE(int(Encoder::instance().readCard(read)), 1);
    QCOMPARE(int(read.CardType[0]), 4);

    QCOMPARE(int(::call(write)), 1);  // only the next write fails
}

void EncoderTest::clearingBlanksTheCard() {
    SimEncoder sim;
    QCOMPARE(sim.tool({"place", "blank"}), 0);
    TCardData card = fullCard();
    QCOMPARE(int(Encoder::instance().makeCard(CardTypes::Floor, card)), 1);
    QCOMPARE(int(Encoder::instance().clearCard()), 1);
    TCardData read;
    std::memset(&read, 0x5A, sizeof read);
    QCOMPARE(int(Encoder::instance().readCard(read)), 1);
    QCOMPARE(int(read.CardType[0]), 0);
    QCOMPARE(int(read.Building), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(read.RoomAddr), sizeof read.RoomAddr),
             QByteArray(sizeof read.RoomAddr, '\0'));
    QString out;
    QCOMPARE(sim.tool({"show"}, &out), 0);
    QVERIFY2(out.contains("Blank card"), qPrintable(out));
}

void EncoderTest::dataCardRecords() {
    SimEncoder sim;
    sim.app().write("records.csv",
                    "building,floor,room number,card type,serial,time\n"
                    "1,2,3,4,257,2024-03-01 08:15\n"
                    "\n"
                    "# a lock with a broken clock\n"
                    "1,2,3,2,0,2024-13-01 25:61\n"
                    "7,12,30,10,300,2023-12-31 23:59\n");
    QCOMPARE(sim.tool({"place-datacard", sim.app().file("records.csv")}), 0);

    struct Expected {
        int building, floor, room, type;
        int sn0, sn1;
        QList<int> time;
    };
    const QList<Expected> expected = {
        {1, 2, 3, 4, 1, 1, {2024, 3, 1, 8, 15, 0}},
        {1, 2, 3, 2, 0, 0, {2024, 13, 1, 25, 61, 0}},
        {7, 12, 30, 10, 44, 1, {2023, 12, 31, 23, 59, 0}},
    };
    Encoder& e = Encoder::instance();
    qv::DataCardBuffer buffer;
    QCOMPARE(int(e.readDataCard(buffer)), 1);
    for (const Expected& x : expected) {
        qv::OpenDoorRecord r;
        QCOMPARE(int(e.readOneOpenDoorRecord(r, buffer)), 1);
        QCOMPARE(int(r.Building), x.building);
        QCOMPARE(int(r.Floor), x.floor);
        QCOMPARE(int(r.RoomAddr[0]), x.room);
        QCOMPARE(QList<int>(r.RoomAddr + 1, r.RoomAddr + 7), (QList<int>{0, 0, 0, 0, 0, 0}));
        QCOMPARE(int(r.CardType), x.type);
        QCOMPARE(QList<int>(r.CardSn, r.CardSn + 4), (QList<int>{x.sn0, x.sn1, 0, 0}));
        QCOMPARE(QList<int>(std::begin(r.Time), std::end(r.Time)), x.time);
    }
    qv::OpenDoorRecord past;
    QVERIFY(e.readOneOpenDoorRecord(past, buffer) != 1);
    QVERIFY(e.readOneOpenDoorRecord(past, buffer) != 1);

    // Reading again starts from the first record.
    QCOMPARE(int(e.readDataCard(buffer)), 1);
    qv::OpenDoorRecord first;
    QCOMPARE(int(e.readOneOpenDoorRecord(first, buffer)), 1);
    QCOMPARE(int(first.CardSn[0]), 1);
}

void EncoderTest::dataCardRefusals_data() {
    QTest::addColumn<QString>("card");  // "guest", "blank", "empty data card"
    QTest::addColumn<int>("readDataCard");
    QTest::addColumn<int>("firstRecord");
    QTest::newRow("guest card") << "guest" << -15 << -15;
    QTest::newRow("blank card") << "blank" << -15 << -15;
    QTest::newRow("data card without records") << "empty" << 1 << 0;
}

void EncoderTest::dataCardRefusals() {
    QFETCH(QString, card);
    QFETCH(int, readDataCard);
    QFETCH(int, firstRecord);
    SimEncoder sim;
    QCOMPARE(sim.tool({"place", "blank"}), 0);
    if (card == "guest") {
        TCardData c = fullCard();
        QCOMPARE(int(Encoder::instance().makeCard(CardTypes::Guest, c)), 1);
    } else if (card == "empty") {
        sim.app().write("none.csv", "# nothing collected\n");
        QCOMPARE(sim.tool({"place-datacard", sim.app().file("none.csv")}), 0);
    }
    qv::DataCardBuffer buffer;
    QCOMPARE(int(Encoder::instance().readDataCard(buffer)), readDataCard);
    qv::OpenDoorRecord r;
    QCOMPARE(int(Encoder::instance().readOneOpenDoorRecord(r, buffer)), firstRecord);
}

void EncoderTest::stateFolderNextToTheLibrary() {
    // Without the override the state lives in encoder/ beside the library.
    TempAppDir app;
    qunsetenv("QUORVANE_ENCODER_DIR");
    const QString lib = app.file("libQuorvane.so");
    QVERIFY(QFile::copy(QStringLiteral(QV_ENCODER_LIB), lib));
    Encoder::instance().reset();
    QVERIFY(Encoder::instance().ensureLoaded());  // the program's folder by default
    QCOMPARE(Encoder::instance().errorString(), QString());
    QCOMPARE(int(Encoder::instance().readCard(*std::make_unique<TCardData>())), -1);

    QProcess p;
    p.start(QStringLiteral(QV_ENCODER_TOOL), {"--dir", app.file("encoder"), "place", "blank"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    TCardData card = fullCard();
    QCOMPARE(int(Encoder::instance().makeCard(CardTypes::Time, card)), 1);
    QVERIFY(QFileInfo(app.file("encoder/card.txt")).isFile());
    // Atomic writes leave no temporary files behind.
    QCOMPARE(QDir(app.file("encoder")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"card.txt"});
    Encoder::instance().reset();
}

void EncoderTest::missingLibrary_data() {
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("named");  // what the one message must name
    QTest::newRow("no file") << "/nonexistent/libQuorvane.so"
                             << "/nonexistent/libQuorvane.so";
    QTest::newRow("exports missing") << QV_LOCKMSG_2052 << "MakeCardOpenPort";
}

void EncoderTest::missingLibrary() {
    QFETCH(QString, library);
    QFETCH(QString, named);
    SimEncoder sim;
    QCOMPARE(sim.tool({"place", "blank"}), 0);  // a working encoder state, unused
    qv::TestDialogs boxes;
    Encoder& e = Encoder::instance();
    e.reset();
    QVERIFY(!e.load(library));
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY2(boxes.last().text.contains(named), qPrintable(boxes.last().text));
    QCOMPARE(boxes.last().icon, qv::Icon::Warning);
    QVERIFY(e.failureReported());

    for (const QString& c : kAllCalls) {
        QCOMPARE(int(::call(c)), -2);
    }
    qv::ParameterBlock block;
    e.getParameter(block);
    QVERIFY(int16_t(block[0]) < 0);
    QVERIFY(!e.load(library));  // a second failure is not reported again
    QCOMPARE(boxes.boxes().size(), 1);

    e.reset();  // reset forgets the report
    QVERIFY(!e.failureReported());
    QVERIFY(!e.load(library));
    QCOMPARE(boxes.boxes().size(), 2);
}

void EncoderTest::toolShowsAWrittenCard() {
    SimEncoder sim;
    QCOMPARE(sim.tool({"place", "blank"}), 0);
    TCardData card{};
    SetCardSerial(card, 257);
    card.RoomAddr[0] = 3;
    card.RoomAddr[1] = card.Building = 1;
    card.RoomAddr[2] = card.Floor[0] = 12;
    card.Override = 1;
    DateToCardTime(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)), card.StartTime);
    DateToCardTime(QDateTime(QDate(2024, 3, 2), QTime(12, 0)), card.EndTime);
    QCOMPARE(int(Encoder::instance().makeCard(CardTypes::Guest, card)), 1);

    QString out;
    QCOMPARE(sim.tool({"show"}, &out), 0);
    for (const char* line :
         {"Kind:          4  guest card", "Serial:        257  (CardSn 1 1 0 0 0)",
          "Lock address:  room 3, building 1, floor 12", "Building:      1\n",
          "Floor:         12\n", "District:      0\n", "Override:      1",
          "Start:         2024-02-29 23:59\n", "End:           2024-03-02 12:00\n"}) {
        QVERIFY2(out.contains(QString::fromUtf8(line)), qPrintable(out));
    }
    QCOMPARE(sim.tool({"status"}, &out), 0);
    QVERIFY2(out.contains(QStringLiteral("guest card (客人卡), type 4")), qPrintable(out));
    QVERIFY2(out.contains("A1B2C3D4"), qPrintable(out));
}

void EncoderTest::toolReportsACorruptImage() {
    SimEncoder sim;
    sim.writeState("card.txt", "card=written\nCardSn=1 0 0 0 0\nBogus=1\n");
    QString out, err;
    const int code = sim.tool({"show"}, &out, &err);
    QVERIFY(code != 0);
    QVERIFY2(err.contains("corrupt") && err.contains("Bogus"), qPrintable(err));
    QVERIFY(!out.contains("Kind:"));
}

void EncoderTest::toolRejectsBadArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("problem");
    QTest::newRow("nothing") << QStringList{} << "no command";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command";
    QTest::newRow("place what") << QStringList{"place"} << "place takes";
    QTest::newRow("place other") << QStringList{"place", "guest"} << "place takes";
    QTest::newRow("short code") << QStringList{"set", "code", "A1B2C3"} << "8 hex digits";
    QTest::newRow("non-hex code") << QStringList{"set", "code", "A1B2C3DG"} << "8 hex digits";
    QTest::newRow("online 2") << QStringList{"set", "online", "2"} << "0 or 1";
    QTest::newRow("kind text") << QStringList{"set", "kind", "ic"} << "set kind";
    QTest::newRow("unknown setting") << QStringList{"set", "colour", "1"} << "unknown setting";
    QTest::newRow("unknown option") << QStringList{"--force", "show"} << "unknown option";
    QTest::newRow("show extra") << QStringList{"show", "all"} << "wrong arguments";
}

void EncoderTest::toolRejectsBadArguments() {
    QFETCH(QStringList, args);
    QFETCH(QString, problem);
    SimEncoder sim;
    QString out, err;
    QCOMPARE(sim.tool(args, &out, &err), 2);
    QVERIFY2(err.contains(problem), qPrintable(err));
    QVERIFY2(err.contains("usage: quorvane-encoder"), qPrintable(err));
    // Nothing was written.
    QVERIFY(!QFileInfo::exists(sim.stateDir()));
}

QTEST_MAIN(EncoderTest)
#include "tst_encoder.moc"
