// The card record, the card functions and the message library.
#include "TestSupport.h"

#include "ShortString.h"
#include "card/CardFunctions.h"
#include "card/LockMsg.h"
#include "platform/Errors.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QtTest>

#include <cstring>

class CardTest : public QObject {
    Q_OBJECT
private slots:
    void recordLayout_data();
    void recordLayout();
    void defaultRecordIsZero();
    void cardTime_data();
    void cardTime();
    void cardTimeOfInvalidWords();
    void serialAndRom_data();
    void serialAndRom();
    void serialOutOfRange_data();
    void serialOutOfRange();
    void resultText_data();
    void resultText();
    void checkDateRange_data();
    void checkDateRange();
    void lockMessages_data();
    void lockMessages();
    void lockMessageWithoutLibrary_data();
    void lockMessageWithoutLibrary();
    void shortStringTruncation_data();
    void shortStringTruncation();
};

namespace {

struct FieldRef {
    uint16_t* words;
    int count;
};

FieldRef field(TCardData& c, const QString& name) {
    if (name == "CardSn")
        return {c.CardSn, 5};
    if (name == "Reserved1")
        return {c.Reserved1, 4};
    if (name == "Reserved2")
        return {c.Reserved2, 5};
    if (name == "Building")
        return {&c.Building, 1};
    if (name == "RoomAddr")
        return {c.RoomAddr, 7};
    if (name == "Floor")
        return {c.Floor, 9};
    if (name == "District")
        return {c.District, 5};
    if (name == "CardType")
        return {c.CardType, 9};
    if (name == "Override")
        return {&c.Override, 1};
    if (name == "Reserved3")
        return {c.Reserved3, 5};
    if (name == "StartTime")
        return {c.StartTime, 6};
    if (name == "EndTime")
        return {c.EndTime, 6};
    return {nullptr, 0};
}

// Puts a copy of `from` at the message library's place in the program folder.
void installLockMsg(const TempAppDir& app, int language, const QString& from) {
    const QString to = app.file(QStringLiteral("Dll/%1/libLockMsg.so").arg(language));
    QVERIFY(QDir().mkpath(QFileInfo(to).absolutePath()));
    QVERIFY(QFile::copy(from, to));
}

bool mapped(const QString& path) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(QFile::encodeName(path));
}

}  // namespace

void CardTest::recordLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("bytes");
    QTest::newRow("CardSn") << "CardSn" << 0 << 10;
    QTest::newRow("Reserved1") << "Reserved1" << 10 << 8;
    QTest::newRow("Reserved2") << "Reserved2" << 18 << 10;
    QTest::newRow("Building") << "Building" << 28 << 2;
    QTest::newRow("RoomAddr") << "RoomAddr" << 30 << 14;
    QTest::newRow("Floor") << "Floor" << 44 << 18;
    QTest::newRow("District") << "District" << 62 << 10;
    QTest::newRow("CardType") << "CardType" << 72 << 18;
    QTest::newRow("Override") << "Override" << 90 << 2;
    QTest::newRow("Reserved3") << "Reserved3" << 92 << 10;
    QTest::newRow("StartTime") << "StartTime" << 102 << 12;
    QTest::newRow("EndTime") << "EndTime" << 114 << 12;
}

void CardTest::recordLayout() {
    QFETCH(QString, name);
    QFETCH(int, offset);
    QFETCH(int, bytes);
    // Fill the field with little-endian words 0x0201, 0x0403, ... and find
    // exactly those bytes at the field's offset, and nothing elsewhere.
    TCardData card{};
    const FieldRef f = field(card, name);
    QCOMPARE(f.count * 2, bytes);
    for (int i = 0; i < f.count; ++i) {
        f.words[i] = static_cast<uint16_t>((2 * i + 1) | ((2 * i + 2) << 8));
    }
    QByteArray raw(reinterpret_cast<const char*>(&card), sizeof card);
    QCOMPARE(raw.size(), 126);
    for (int i = 0; i < raw.size(); ++i) {
        const int expected = (i >= offset && i < offset + bytes) ? i - offset + 1 : 0;
        QCOMPARE(int(static_cast<unsigned char>(raw[i])), expected);
    }
}

void CardTest::defaultRecordIsZero() {
    TCardData card;
    std::memset(&card, 0xAB, sizeof card);
    card = TCardData{};
    const QByteArray raw(reinterpret_cast<const char*>(&card), sizeof card);
    QCOMPARE(raw, QByteArray(126, '\0'));
}

void CardTest::cardTime_data() {
    QTest::addColumn<QDateTime>("value");
    QTest::addColumn<QList<int>>("words");
    QTest::addColumn<QDateTime>("back");
    const QDateTime leap(QDate(2024, 2, 29), QTime(23, 59, 58, 999));
    QTest::newRow("leap day, seconds dropped") << leap << QList<int>{2024, 2, 29, 23, 59, 0}
                                               << QDateTime(QDate(2024, 2, 29), QTime(23, 59));
    const QDateTime midnight(QDate(2025, 1, 1), QTime(0, 0));
    QTest::newRow("midnight") << midnight << QList<int>{2025, 1, 1, 0, 0, 0} << midnight;
    QTest::newRow("invalid") << QDateTime() << QList<int>{0, 0, 0, 0, 0, 0} << QDateTime();
}

void CardTest::cardTime() {
    QFETCH(QDateTime, value);
    QFETCH(QList<int>, words);
    QFETCH(QDateTime, back);
    TCardTime time;
    std::fill(std::begin(time), std::end(time), uint16_t{0xEEEE});
    DateToCardTime(value, time);
    QCOMPARE(QList<int>(std::begin(time), std::end(time)), words);
    QCOMPARE(CardTimeToDate(time), back);
}

void CardTest::cardTimeOfInvalidWords() {
    const TCardTime month13 = {2024, 13, 1, 8, 0, 0};
    QVERIFY(!CardTimeToDate(month13).isValid());
    const TCardTime hour24 = {2024, 3, 1, 24, 0, 0};
    QVERIFY(!CardTimeToDate(hour24).isValid());
    const TCardTime sixthIgnored = {2024, 3, 1, 8, 30, 77};
    QCOMPARE(CardTimeToDate(sixthIgnored), QDateTime(QDate(2024, 3, 1), QTime(8, 30)));
}

void CardTest::serialAndRom_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<qlonglong>("serial");
    QTest::addColumn<int>("word0");
    QTest::addColumn<int>("word1");
    QTest::addColumn<QString>("rom");
    QTest::newRow("guest counter 255 + 1") << 4 << 256LL << 0 << 1 << "00000100";
    QTest::newRow("guest uses word 3, not the type") << 4 << 5LL << 5 << 0 << "00000005";
    QTest::newRow("passage setting, counter 0") << 9 << 0LL << 0 << 0 << "09000000";
    QTest::newRow("emergency 300") << 3 << 300LL << 44 << 1 << "0300012C";
    QTest::newRow("master 255") << 10 << 255LL << 255 << 0 << "0A0000FF";
    QTest::newRow("largest serial") << 1 << 0xFFFFFFLL << 255 << 65535 << "0100FFFFFF";
}

void CardTest::serialAndRom() {
    QFETCH(int, type);
    QFETCH(qlonglong, serial);
    QFETCH(int, word0);
    QFETCH(int, word1);
    QFETCH(QString, rom);
    TCardData card{};
    std::fill(std::begin(card.CardSn), std::end(card.CardSn), uint16_t{0x7777});
    card.CardType[0] = static_cast<uint16_t>(type);
    SetCardSerial(card, serial);
    QCOMPARE(int(card.CardSn[0]), word0);
    QCOMPARE(int(card.CardSn[1]), word1);
    QCOMPARE(QList<int>(card.CardSn + 2, card.CardSn + 5), (QList<int>{0, 0, 0}));
    QCOMPARE(CardSerial(card), serial);
    QCOMPARE(CardRom(card), rom);
    const uint16_t sn[4] = {card.CardSn[0], card.CardSn[1], 0, 0};
    QCOMPARE(CardRom(sn, type), rom);
}

void CardTest::serialOutOfRange_data() {
    QTest::addColumn<qlonglong>("serial");
    QTest::newRow("negative") << -1LL;
    QTest::newRow("beyond two words") << 0x1000000LL;
}

void CardTest::serialOutOfRange() {
    QFETCH(qlonglong, serial);
    TCardData card{};
    SetCardSerial(card, 77);
    QVERIFY_THROWS_EXCEPTION(qv::Error, SetCardSerial(card, serial));
    QCOMPARE(CardSerial(card), 77);  // untouched
}

void CardTest::resultText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("success") << 1 << "操作成功！";
    QTest::newRow("no card") << -1 << "无卡！";
    QTest::newRow("no encoder") << -2 << "无发卡机！";
    QTest::newRow("failure") << -15 << "操作失败！";
    QTest::newRow("foreign system") << -14 << "操作失败！";
    QTest::newRow("zero") << 0 << "操作失败！";
    QTest::newRow("unnamed positive") << 7 << "操作失败！";
}

void CardTest::resultText() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ResultText(code), text);
}

void CardTest::checkDateRange_data() {
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<bool>("passes");
    const QDateTime t(QDate(2024, 3, 1), QTime(14, 30, 15));
    QTest::newRow("equal") << t << t << true;
    QTest::newRow("earlier start") << t.addSecs(-60) << t << true;
    QTest::newRow("start a day after the end") << t.addDays(1) << t << false;
    QTest::newRow("start a second after the end") << t.addSecs(1) << t << false;
    QTest::newRow("invalid start") << QDateTime() << t << false;
}

void CardTest::checkDateRange() {
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(bool, passes);
    qv::TestDialogs boxes;
    QCOMPARE(CheckDateRange(start, end), passes ? QString() : QStringLiteral("日期范围无效！"));
    QVERIFY(boxes.boxes().isEmpty());  // the window shows the message
}

void CardTest::lockMessages_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("zh foreign system") << 2052 << -14 << "发卡机提示 [-14]"
                                       << "非本系统的发卡机！这台发卡机属于另一套酒店门锁系统。";
    QTest::newRow("zh no card") << 2052 << -1 << "发卡机提示 [-1]"
                                << "无卡！请把卡放到发卡机上再试。";
    QTest::newRow("zh unnamed") << 2052 << 42 << "发卡机提示 [42]"
                                << "操作失败！发卡机返回了未知的代码 42。";
    QTest::newRow("en no encoder") << 1033 << -2 << "Card encoder [-2]"
                                   << "No card encoder! Check the encoder's cable and power.";
    QTest::newRow("en failure") << 1033 << -15 << "Card encoder [-15]"
                                << "Operation failed! Place the card again and retry.";
    QTest::newRow("en unnamed") << 1033 << -300 << "Card encoder [-300]"
                                << "Operation failed! The encoder answered the unknown code -300.";
}

void CardTest::lockMessages() {
    QFETCH(int, language);
    QFETCH(int, code);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    TempAppDir app;
    installLockMsg(app, language, language == 2052 ? QV_LOCKMSG_2052 : QV_LOCKMSG_1033);
    LockSystemInfo.LanguageID = language;
    qv::TestDialogs boxes;

    const QString pattern = LockUnitText(0);
    QCOMPARE(pattern.count(QLatin1String("%s")), 1);
    ShowLockMsg(code);
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.last().title, caption);
    QCOMPARE(boxes.last().text, text);
    QCOMPARE(boxes.last().icon, qv::Icon::Information);
    QCOMPARE(boxes.last().buttons, qv::Buttons::Ok);
    // Loaded for the call only.
    QVERIFY(!mapped(LockMsgLibraryPath(language)));
}

void CardTest::lockMessageWithoutLibrary_data() {
    QTest::addColumn<QString>("install");  // what lies at the library's place
    QTest::newRow("no library") << QString();
    QTest::newRow("library without the exports") << QStringLiteral(QV_ENCODER_LIB);
}

void CardTest::lockMessageWithoutLibrary() {
    QFETCH(QString, install);
    TempAppDir app;
    LockSystemInfo.LanguageID = 2052;
    if (!install.isEmpty()) {
        installLockMsg(app, 2052, install);
    }
    qv::TestDialogs boxes;
    QCOMPARE(LockUnitText(0), QString());
    ShowLockMsg(-14);
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.last().title, QStringLiteral("发卡机提示 [-14]"));
    QVERIFY2(boxes.last().text.contains(QLatin1String("-14")), qPrintable(boxes.last().text));
    QCOMPARE(boxes.last().icon, qv::Icon::Information);
}

void CardTest::shortStringTruncation_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::newRow("short") << QStringLiteral("无卡！") << 9;
    QTest::newRow("exactly 255 ascii") << QString(255, 'a') << 255;
    QTest::newRow("ascii beyond 255") << QString(300, 'a') << 255;
    QTest::newRow("3-byte characters, boundary at 255") << QString(100, QChar(0x95E8)) << 255;
    QTest::newRow("2-byte characters, cut to 254") << QString(200, QChar(0xE9)) << 254;
    QTest::newRow("4-byte characters, cut to 252")
        << QString::fromUtf8("\xF0\x9F\x94\x91").repeated(70) << 252;
    QTest::newRow("one ascii then 3-byte, cut to 253")
        << (QStringLiteral("a") + QString(100, QChar(0x95E8))) << 253;
}

void CardTest::shortStringTruncation() {
    QFETCH(QString, text);
    QFETCH(int, length);
    const QByteArray utf8 = text.toUtf8();
    unsigned char buffer[300];
    std::memset(buffer, 0xCC, sizeof buffer);
    lockmsg::writeShortString(buffer, std::string_view(utf8.constData(), utf8.size()));
    QCOMPARE(int(buffer[0]), length);
    for (std::size_t i = 256; i < sizeof buffer; ++i) {
        QCOMPARE(int(buffer[i]), 0xCC);  // nothing past the 256-byte buffer
    }
    const QByteArray written(reinterpret_cast<const char*>(buffer + 1), buffer[0]);
    QCOMPARE(written, utf8.left(length));
    QVERIFY(text.startsWith(QString::fromUtf8(written)));  // whole characters only
}

QTEST_MAIN(CardTest)
#include "tst_card.moc"
