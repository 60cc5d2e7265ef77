// Pairing the encoder with the hotel at start, through the real binding and
// the encoder simulator, with every box answered by TestDialogs.
#include "SimEncoder.h"
#include "TestSupport.h"

#include "card/EncoderPairing.h"
#include "platform/Application.h"
#include "platform/IniFile.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <QtTest>
#include <memory>

class PairingTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void systemCodeText_data();
    void systemCodeText();
    void formatsEveryValue();
    void startEncoder_data();
    void startEncoder();

private:
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<SimEncoder> sim_;
    std::unique_ptr<qv::TestDialogs> boxes_;
};

void PairingTest::init() {
    app_ = std::make_unique<TempAppDir>();
    sim_ = std::make_unique<SimEncoder>(*app_);
    QVERIFY(sim_->loaded());
    boxes_ = std::make_unique<qv::TestDialogs>();
    LockSystemInfo = TLockSystemInfo();
    LockSystemInfo.LanguageID = 2052;
    qv::clearTerminateRequest();
}

void PairingTest::cleanup() {
    boxes_.reset();
    sim_.reset();
    app_.reset();
    LockSystemInfo = TLockSystemInfo();
    qv::clearTerminateRequest();
}

void PairingTest::systemCodeText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("upper case") << "A1B2C3D4" << true << QList<int>{0xA1, 0xB2, 0xC3, 0xD4};
    QTest::newRow("lower case") << "0102a0ff" << true << QList<int>{0x01, 0x02, 0xA0, 0xFF};
    QTest::newRow("too short") << "A1B2C3" << false << QList<int>{};
    QTest::newRow("too long") << "A1B2C3D4E5" << false << QList<int>{};
    QTest::newRow("empty") << "" << false << QList<int>{};
    QTest::newRow("not a hex digit") << "A1B2C3DG" << false << QList<int>{};
    QTest::newRow("sign in a pair") << "+1B2C3D4" << false << QList<int>{};
    QTest::newRow("blank in a pair") << "A1B2C3 4" << false << QList<int>{};
}

void PairingTest::systemCodeText() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QList<int>, values);
    qv::SystemCode code = {7, 7, 7, 7};
    QCOMPARE(qv::parseSystemCode(text, code), valid);
    if (!valid) {
        QCOMPARE(QList<int>(code, code + 4), (QList<int>{7, 7, 7, 7}));  // untouched
        return;
    }
    QCOMPARE(QList<int>(code, code + 4), values);
    QCOMPARE(qv::formatSystemCode(code), text.toUpper());
}

void PairingTest::formatsEveryValue() {
    // Values past two digits keep every digit (the encoder's words are 16 bits).
    const qv::SystemCode code = {0x0, 0xF, 0x10, 0x1A2};
    QCOMPARE(qv::formatSystemCode(code), QString("000F101A2"));
}

void PairingTest::startEncoder_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("encoderCode");
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("pass");       // LockSystemInfo.Pass before
    QTest::addColumn<int>("result");         // -100: nothing (port not opened)
    QTest::addColumn<QStringList>("boxes");  // a piece of each box's text, in order
    QTest::addColumn<bool>("terminate");
    QTest::addColumn<QString>("passAfter");
    QTest::addColumn<QString>("stored");  // [SystemInfo] Pass afterwards ("-": no key)
    QTest::newRow("first start stores the code")
        << 3 << "0102A0FF" << true << "" << 3 << QStringList{"0102A0FF"} << false << "0102A0FF"
        << "0102A0FF";
    QTest::newRow("later start, lower case")
        << 3 << "A1B2C3D4" << true << "a1b2c3d4" << 3 << QStringList{} << false << "a1b2c3d4"
        << "-";
    QTest::newRow("later start, MIFARE locks")
        << 9 << "A1B2C3D4" << true << "A1B2C3D4" << 9 << QStringList{} << false << "A1B2C3D4"
        << "-";
    QTest::newRow("encoder of another hotel")
        << 3 << "A1B2C3D4" << true << "A1B2C3D5" << 3 << QStringList{"非本系统的发卡机！", "-14"}
        << true << "A1B2C3D5"
        << "-";
    QTest::newRow("data collector is not paired")
        << 0 << "0102A0FF" << true << "" << 0 << QStringList{} << false << ""
        << "-";
    QTest::newRow("invalid stored code")
        << 3 << "A1B2C3D4" << true << "A1B2C3" << 3 << QStringList{"无效"} << false << "A1B2C3"
        << "-";
    QTest::newRow("off line") << 3 << "A1B2C3D4" << false << "" << -100
                              << QStringList{"没有检测到发卡机，系统为演示版!"} << false << ""
                              << "-";
}

void PairingTest::startEncoder() {
    QFETCH(int, kind);
    QFETCH(QString, encoderCode);
    QFETCH(bool, online);
    QFETCH(QString, pass);
    QFETCH(int, result);
    QFETCH(QStringList, boxes);
    QFETCH(bool, terminate);
    QFETCH(QString, passAfter);
    QFETCH(QString, stored);
    sim_->writeState("encoder.txt", QString("kind=%1\ncode=%2\nonline=%3\n")
                                        .arg(kind)
                                        .arg(encoderCode)
                                        .arg(online ? 1 : 0)
                                        .toUtf8());
    LockSystemInfo.Pass = pass;

    const std::optional<int> got = qv::startEncoder(qv::Encoder::instance());
    QCOMPARE(got.value_or(-100), result);
    const QStringList texts = boxes_->texts();
    QCOMPARE(texts.size(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i) {
        QVERIFY2(texts[i].contains(boxes[i]), qPrintable(texts[i]));
    }
    if (!got) {
        QCOMPARE(boxes_->last().title, QString("-2"));  // the port's answer
        QCOMPARE(boxes_->last().icon, qv::Icon::Information);
    }
    QCOMPARE(qv::terminateRequested(), terminate);
    QCOMPARE(LockSystemInfo.Pass, passAfter);
    const qv::IniFile ini(app_->file("Mirefold.ini"));
    QCOMPARE(
        ini.hasKey("SystemInfo", "Pass") ? ini.readString("SystemInfo", "Pass", "") : QString("-"),
        stored);
}

QTEST_GUILESS_MAIN(PairingTest)
#include "tst_pairing.moc"
