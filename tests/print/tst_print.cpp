// The print library Dll/libPrint.so, loaded from the build tree, and the
// program's binding to it.

#include "TestSupport.h"

#include "data/Connection.h"
#include "data/DataSet.h"
#include "language/Language.h"
#include "language/LanguageSource.h"
#include "platform/Errors.h"
#include "platform/FileVersion.h"
#include "platform/ProgramText.h"
#include "platform/SharedLibrary.h"
#include "platform/TestDialogs.h"
#include "printing/PrintLibrary.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <cstddef>
#include <functional>

extern "C" void qv_print_c_layout(size_t out[6]);

using qv::PrintKind;

namespace {

const QString kHotel = QStringLiteral("金叶大酒店");

// A program folder with the built print library in Dll/ and a Mirefold.ini
// naming the hotel. The library is copied in, as the program ships it, so
// that it finds the program's folder from its own location.
class PrintFolder {
public:
    PrintFolder() {
        app.write(
            QStringLiteral("Mirefold.ini"),
            QStringLiteral("[SystemInfo]\r\nHotelName=%1\r\nDayCount=1\r\n").arg(kHotel).toUtf8());
        QDir().mkpath(app.file(QStringLiteral("Dll")));
        if (!QFile::copy(QStringLiteral(QV_PRINT_LIBRARY), libraryPath())) {
            qFatal("cannot copy %s into the test's program folder", QV_PRINT_LIBRARY);
        }
    }
    QString libraryPath() const { return app.file(QStringLiteral("Dll/libPrint.so")); }
    QString file(const QString& name) const { return app.file(name); }

    TempAppDir app;
};

// The tools that read a PDF back; a test that needs one fails without it.
QString tool(const char* name) {
    return QStandardPaths::findExecutable(QLatin1String(name));
}

#define REQUIRE_POPPLER()                                                                      \
    QVERIFY2(!tool("pdftotext").isEmpty() && !tool("pdfinfo").isEmpty(),                       \
             "pdftotext and pdfinfo (poppler-utils) are needed to read the PDF back; install " \
             "poppler-utils")

QString run(const char* program, const QStringList& args) {
    QProcess p;
    p.start(tool(program), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Text of one page (1-based) or of the whole document (0).
QString pdfText(const QString& pdf, int page = 0) {
    QStringList args;
    if (page > 0) {
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    }
    args << QStringLiteral("-enc") << QStringLiteral("UTF-8") << pdf << QStringLiteral("-");
    return run("pdftotext", args);
}

// Text without white space: a PDF keeps no blanks between glyphs, so the
// reader guesses them from the gaps.
QString squeezed(const QString& text) {
    QString out = text;
    out.remove(QRegularExpression(QStringLiteral("\\s")));
    return out;
}

// The foot of a page, as extracted.
QString pageMark(int page, int pages) {
    return squeezed(QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages));
}

struct PdfInfo {
    int pages = 0;
    double width = 0;
    double height = 0;
};

PdfInfo pdfInfo(const QString& pdf) {
    const QString text = run("pdfinfo", {pdf});
    PdfInfo info;
    const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(text);
    const auto size =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)")).match(text);
    info.pages = pages.hasMatch() ? pages.captured(1).toInt() : 0;
    info.width = size.hasMatch() ? size.captured(1).toDouble() : 0;
    info.height = size.hasMatch() ? size.captured(2).toDouble() : 0;
    return info;
}

// A reader of RFC 4180 CSV (after the byte-order mark).
QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            record << field;
            field.clear();
        } else if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record << field;
            records << record;
            record.clear();
            field.clear();
            ++i;
        } else {
            field += ch;
        }
    }
    if (!field.isEmpty() || !record.isEmpty()) {
        record << field;
        records << record;
    }
    return records;
}

// Handles every modal window that opens while a call runs: `handle` sees it
// and must close it. Anything still open after the time limit is closed and
// counted, so that a test never hangs.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> handle) : handle_(std::move(handle)) {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start();
        clock_.start();
    }
    int seen() const { return seen_; }
    int forced() const { return forced_; }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == current_) {
            if (modal && clock_.elapsed() > 30000) {
                ++forced_;
                modal->close();
            }
            return;
        }
        current_ = modal;
        ++seen_;
        handle_(modal);
    }

    std::function<void(QWidget*)> handle_;
    QTimer timer_;
    QElapsedTimer clock_;
    QPointer<QWidget> current_;
    int seen_ = 0;
    int forced_ = 0;
};

// A result set of the C interface written the way another program would,
// counting what is done to it.
struct CountingRecordset : QvRecordset {
    CountingRecordset() : QvRecordset{&kVtbl} {}
    int32_t refs = 1;  // the caller's
    int addRefs = 0;
    int releases = 0;
    int freed = 0;
    int32_t fewestRefsWhileRead = 1 << 30;
    QList<QByteArray> columns{"RoomStr",     "Rom",           "OpenTime",
                              "CardTypeStr", "CardHolderStr", "MakeName"};
    QList<QByteArray> row{"1203", "0A1B2C3D", "2024-05-01 14:32:00", "宾客卡", "王小明", "李娜"};

    static CountingRecordset* self(const QvRecordset* rs) {
        return static_cast<CountingRecordset*>(const_cast<QvRecordset*>(rs));
    }
    static void read(const QvRecordset* rs) {
        CountingRecordset* s = self(rs);
        s->fewestRefsWhileRead = std::min(s->fewestRefsWhileRead, s->refs);
    }
    static inline const QvRecordsetVtbl kVtbl{
        [](const QvRecordset* rs) -> int32_t {
            read(rs);
            return 1;
        },
        [](const QvRecordset* rs) -> int32_t {
            read(rs);
            return int32_t(self(rs)->columns.size());
        },
        [](const QvRecordset* rs, int32_t c) -> const char* {
            read(rs);
            return c >= 0 && c < self(rs)->columns.size() ? self(rs)->columns[c].constData()
                                                          : nullptr;
        },
        [](const QvRecordset* rs, int32_t r, int32_t c) -> const char* {
            read(rs);
            return r == 0 && c >= 0 && c < self(rs)->row.size() ? self(rs)->row[c].constData()
                                                                : nullptr;
        },
        [](QvRecordset* rs) -> int32_t {
            ++self(rs)->addRefs;
            return ++self(rs)->refs;
        },
        [](QvRecordset* rs) -> int32_t {
            CountingRecordset* s = self(rs);
            ++s->releases;
            if (--s->refs == 0) {
                ++s->freed;
            }
            return s->refs;
        },
    };
};

// Keeps a copy of an output file when QV_PRINT_SNAPSHOT_DIR names a folder.
void keepSnapshot(const QString& file, const QString& name) {
    const QString snapshots = qEnvironmentVariable("QV_PRINT_SNAPSHOT_DIR");
    if (!snapshots.isEmpty()) {
        const QString target = QDir(snapshots).filePath(name);
        QFile::remove(target);
        QFile::copy(file, target);
    }
}

QPushButton* buttonOf(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QLatin1String(name));
}

// Closes the print window, after checking it is one and keeping a picture of
// it when QV_PRINT_SNAPSHOT_DIR names a folder.
void closePrintWindow(QWidget* w, QString* title, int* previewPages) {
    *title = w->windowTitle();
    if (w->objectName() != QLatin1String("PrintPreview_Form")) {
        w->close();
        return;
    }
    QTest::qWait(200);
    if (auto* preview = w->findChild<QWidget*>(QStringLiteral("Preview"))) {
        *previewPages = preview->property("pageCount").toInt();
    }
    const QString snapshots = qEnvironmentVariable("QV_PRINT_SNAPSHOT_DIR");
    if (!snapshots.isEmpty()) {
        w->grab().save(QDir(snapshots).filePath(QStringLiteral("print-window.png")));
    }
    buttonOf(w, "Close_Bt")->click();
}

QList<QStringList> guestRows(int count) {
    QList<QStringList> rows;
    for (int i = 1; i <= count; ++i) {
        rows << QStringList{QString::number(i),
                            QStringLiteral("宾客%1").arg(i, 4, 10, QChar('0')),
                            QStringLiteral("4401%1").arg(i, 6, 10, QChar('0')),
                            QStringLiteral("1203"),
                            QStringLiteral("00A1B2C3"),
                            QStringLiteral("2024-05-01 12:00:00"),
                            QStringLiteral("2024-05-03 12:00:00"),
                            QStringLiteral("2024-05-02 09:15:00"),
                            QStringLiteral("1"),
                            QStringLiteral("前台小李"),
                            QStringLiteral("2024-05-01 12:01:30")};
    }
    return rows;
}

const QStringList kGuestColumns{"ID",         "GuestName",   "GuestID",        "Room",
                                "Rom",        "GuestInTime", "GuestLeaveTime", "LeaveTime",
                                "enOverride", "InputUser",   "InputTime"};
const QStringList kGuestHeaders{"宾客姓名", "证件号码", "房号",       "入住时间",
                                "预离时间", "退房时间", "操作员姓名", "登记时间"};

}  // namespace

class tst_Print : public QObject {
    Q_OBJECT

private slots:
    void recordLayout();
    void reports_data();
    void reports();
    void longReportBreaksOverPages();
    void csvKeepsEveryCell();
    void referencesAreBalanced_data();
    void referencesAreBalanced();
    void tableRecordset();
    void recordsetOfAQuery();
    void printWindow();
    void printWindowAndFileDialogInTheDesksLanguage_data();
    void printWindowAndFileDialogInTheDesksLanguage();
    void noRecordset();
    void unusableLibrary_data();
    void unusableLibrary();
};

void tst_Print::recordLayout() {
    size_t c[6];
    qv_print_c_layout(c);
    QCOMPARE(c[0], sizeof(TPrintFromDll));
    QCOMPARE(c[1], offsetof(TPrintFromDll, AppHandle));
    QCOMPARE(c[2], offsetof(TPrintFromDll, Recordset));
    QCOMPARE(c[3], offsetof(TPrintFromDll, PrintKind));
    QCOMPARE(c[4], offsetof(TPrintFromDll, Reserved));
    QCOMPARE(c[5], alignof(TPrintFromDll));
    QCOMPARE(sizeof(TPrintFromDll), size_t(24));
    QCOMPARE(offsetof(TPrintFromDll, Reserved), size_t(20));
}

void tst_Print::reports_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QString>("chineseCell");
    QTest::addColumn<QString>("unprinted");  // a value of a column the report leaves out

    QTest::newRow("door openings")
        << 0 << QStringList{"ID",       "RoomStr",     "Rom",           "OpenTime",
                            "CardType", "CardTypeStr", "CardHolderStr", "MakeName"}
        << QStringList{"XQ7781", "1203",   "0A1B2C3D", "2024-05-01 14:32:00",
                       "4",      "宾客卡", "张三丰",   "李经理"}
        << "开门记录" << QStringList{"房间号", "卡类型", "卡号", "持卡人", "开门时间", "发卡人"}
        << "张三丰"
        << "XQ7781";
    QTest::newRow("card issues") << 1
                                 << QStringList{"C_Title",   "Rom",      "Holder",    "Buiding",
                                                "MakeUser",  "MakeName", "Room",      "RoomStr",
                                                "InputTime", "Floor",    "District",  "StartTime",
                                                "EndTime",   "Explain",  "enOverride"}
                                 << QStringList{"宾客卡",
                                                "0A1B2C3D",
                                                "赵敏",
                                                "1",
                                                "zhaologin",
                                                "周芷若",
                                                "10203",
                                                "1203",
                                                "2024-05-01 12:00:00",
                                                "2",
                                                "0",
                                                "2024-05-01 12:00:00",
                                                "2024-05-02 12:00:00",
                                                "补办说明",
                                                "0"}
                                 << "发卡记录" << QStringList{"卡种类", "持卡人",   "发卡人",
                                                              "房间",   "发卡时间", "结束时间"}
                                 << "周芷若"
                                 << "补办说明";
    QTest::newRow("guest stays") << 2 << kGuestColumns << guestRows(1).first() << "宾客入住记录"
                                 << kGuestHeaders << "前台小李"
                                 << "00A1B2C3";
    QTest::newRow("unknown kind: every column under its own name")
        << 99 << QStringList{"房号", "备注"} << QStringList{"8808", "加床一张"} << "记录报表"
        << QStringList{"房号", "备注"} << "加床一张" << QString();
}

void tst_Print::reports() {
    QFETCH(int, kind);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, row);
    QFETCH(QString, title);
    QFETCH(QStringList, headers);
    QFETCH(QString, chineseCell);
    QFETCH(QString, unprinted);
    REQUIRE_POPPLER();

    PrintFolder folder;
    qv::TestDialogs boxes;
    qv::PrintLibrary library(folder.libraryPath());
    const QString pdf = folder.file(QStringLiteral("report.pdf"));
    QCOMPARE(library.render(qv::makeRecordset(columns, {row}), static_cast<PrintKind>(kind), pdf,
                            qv::PrintFormat::Pdf),
             int(QV_PRINT_OK));
    QVERIFY2(boxes.boxes().isEmpty(), qPrintable(boxes.texts().join('\n')));

    keepSnapshot(pdf, QStringLiteral("report-%1.pdf").arg(kind));
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(title), qPrintable(text));
    QVERIFY(text.contains(kHotel));
    for (const QString& header : headers) {
        QVERIFY2(text.contains(header), qPrintable(header));
    }
    QVERIFY(text.contains(chineseCell));
    QVERIFY2(squeezed(text).contains(pageMark(1, 1)), qPrintable(text));
    QVERIFY(squeezed(text).contains(
        QRegularExpression(QStringLiteral("打印日期：\\d{4}-\\d{2}-\\d{2}\\d{2}:\\d{2}"))));
    if (!unprinted.isEmpty()) {
        QVERIFY2(!text.contains(unprinted), qPrintable(unprinted));
    }
}

void tst_Print::longReportBreaksOverPages() {
    REQUIRE_POPPLER();
    PrintFolder folder;
    qv::PrintLibrary library(folder.libraryPath());
    const int count = 150;
    const QString guests = folder.file(QStringLiteral("guests.pdf"));
    QCOMPARE(library.render(qv::makeRecordset(kGuestColumns, guestRows(count)),
                            PrintKind::GuestStays, guests, qv::PrintFormat::Pdf),
             int(QV_PRINT_OK));

    keepSnapshot(guests, QStringLiteral("guests.pdf"));
    const PdfInfo info = pdfInfo(guests);
    QVERIFY2(info.pages >= 3, qPrintable(QString::number(info.pages)));
    QVERIFY2(info.width > info.height, "eight columns print across a landscape page");

    QString all;
    for (int page = 1; page <= info.pages; ++page) {
        const QString text = pdfText(guests, page);
        QVERIFY2(squeezed(text).contains(pageMark(page, info.pages)), qPrintable(text));
        QVERIFY(text.contains(kHotel));
        for (const QString& header : kGuestHeaders) {
            QVERIFY2(text.contains(header),
                     qPrintable(QStringLiteral("page %1: %2").arg(page).arg(header)));
        }
        all += text;
    }
    // No row lost or printed twice at a page break.
    for (int i = 1; i <= count; ++i) {
        const QString id = QStringLiteral("4401%1").arg(i, 6, 10, QChar('0'));
        QCOMPARE(all.count(id), 1);
    }

    const QString doors = folder.file(QStringLiteral("doors.pdf"));
    QCOMPARE(library.render(qv::makeRecordset({"RoomStr", "Rom", "OpenTime"},
                                              {{"1203", "0A1B2C3D", "2024-05-01"}}),
                            PrintKind::DoorOpenings, doors, qv::PrintFormat::Pdf),
             int(QV_PRINT_OK));
    const PdfInfo narrow = pdfInfo(doors);
    QVERIFY2(narrow.width < narrow.height, "three short columns print on a portrait page");
}

void tst_Print::csvKeepsEveryCell() {
    PrintFolder folder;
    qv::PrintLibrary library(folder.libraryPath());
    QList<QStringList> rows = guestRows(3);
    const QString awkward = QStringLiteral("住客\"老王\",加床\n第二行");
    rows[1][1] = awkward;    // GuestName
    rows[2][2] = QString();  // an empty ID number stays an empty field
    const QString csv = folder.file(QStringLiteral("guests.csv"));
    QCOMPARE(library.render(qv::makeRecordset(kGuestColumns, rows), PrintKind::GuestStays, csv,
                            qv::PrintFormat::Csv),
             int(QV_PRINT_OK));

    // A list of guests is for the desk's user and group only.
    QCOMPARE(QFileInfo(csv).permissions() &
                 (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::WriteGroup),
             QFileDevice::Permissions());
    keepSnapshot(csv, QStringLiteral("guests.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.contains(QStringLiteral("\"住客\"\"老王\"\",加床\n第二行\"").toUtf8()));

    // Read back, the file is the report: its headers, then each row's printed columns.
    const QList<QStringList> records = parseCsv(QString::fromUtf8(bytes.mid(3)));
    QCOMPARE(records.size(), 4);
    QCOMPARE(records[0], kGuestHeaders);
    const QList<int> printed{1, 2, 3, 5, 6, 7, 9, 10};  // the columns of kGuestHeaders
    for (int r = 0; r < 3; ++r) {
        QStringList expected;
        for (const int c : printed) {
            expected << rows[r][c];
        }
        QCOMPARE(records[r + 1], expected);
    }

    // The same cell on paper keeps both of its lines.
    REQUIRE_POPPLER();
    const QString pdf = folder.file(QStringLiteral("guests.pdf"));
    QCOMPARE(library.render(qv::makeRecordset(kGuestColumns, rows), PrintKind::GuestStays, pdf,
                            qv::PrintFormat::Pdf),
             int(QV_PRINT_OK));
    keepSnapshot(pdf, QStringLiteral("awkward.pdf"));
    const QString text = squeezed(pdfText(pdf));
    QVERIFY2(text.contains(QStringLiteral("住客\"老王\",加床")) &&
                 text.contains(QStringLiteral("第二行")),
             qPrintable(text));
}

void tst_Print::referencesAreBalanced_data() {
    QTest::addColumn<bool>("window");
    QTest::newRow("render") << false;
    QTest::newRow("print window") << true;
}

void tst_Print::referencesAreBalanced() {
    QFETCH(bool, window);
    PrintFolder folder;
    qv::SharedLibrary library(folder.libraryPath());
    QVERIFY2(library.isLoaded(), qPrintable(library.errorString()));
    auto show = library.function<PrintForm_Show_Fn>(QV_PRINT_SHOW_EXPORT);
    auto render = library.function<PrintForm_Render_Fn>(QV_PRINT_RENDER_EXPORT);
    QVERIFY(show && render);

    CountingRecordset rows;
    // The caller's pattern: take the record's reference, call, release.
    TPrintFromDll rec{};
    rec.Recordset = &rows;
    rec.PrintKind = QV_PRINT_KIND_DOOR_OPENINGS;
    rows.vtbl->addRef(&rows);
    if (window) {
        QString title;
        int pages = 0;
        ModalWatcher watcher([&](QWidget* w) { closePrintWindow(w, &title, &pages); });
        show(rec);
        QCOMPARE(watcher.seen(), 1);
        QCOMPARE(watcher.forced(), 0);
        QCOMPARE(title, QStringLiteral("打印预览 - 开门记录"));
    } else {
        const QByteArray pdf = QFile::encodeName(folder.file(QStringLiteral("r.pdf")));
        QCOMPARE(render(rec, pdf.constData(), QV_PRINT_FORMAT_PDF), int32_t(QV_PRINT_OK));
    }
    QCOMPARE(rows.refs, 2);  // what the caller holds: its own and the record's
    QVERIFY(rows.addRefs >= 2);
    QCOMPARE(rows.releases, rows.addRefs - 1);
    QVERIFY2(rows.fewestRefsWhileRead >= 3,
             "the library holds a reference of its own while it reads");
    rows.vtbl->release(&rows);
    rows.vtbl->release(&rows);
    QCOMPARE(rows.freed, 1);
    QCOMPARE(rows.refs, 0);
}

void tst_Print::tableRecordset() {
    const int before = qv::TableRecordset::liveCount();
    {
        PrintFolder folder;
        qv::PrintLibrary library(folder.libraryPath());
        qv::RecordsetRef rows =
            qv::makeRecordset({"RoomStr", "CardHolderStr"}, {{"1203", "张三"}, {"1205", ""}});
        const qv::TableRecordset* table = qv::TableRecordset::from(rows.get());
        QVERIFY(table);
        QCOMPARE(table->refCount(), 1);
        QCOMPARE(QString::fromUtf8(rows.get()->vtbl->cellText(rows.get(), 0, 1)),
                 QStringLiteral("张三"));
        QCOMPARE(rows.get()->vtbl->cellText(rows.get(), 2, 0), nullptr);
        QCOMPARE(rows.get()->vtbl->columnName(rows.get(), -1), nullptr);

        QCOMPARE(library.render(rows, PrintKind::DoorOpenings, folder.file(QStringLiteral("t.csv")),
                                qv::PrintFormat::Csv),
                 int(QV_PRINT_OK));
        QCOMPARE(table->refCount(), 1);
        {
            const qv::RecordsetRef copy = rows;
            QCOMPARE(table->refCount(), 2);
        }
        QCOMPARE(table->refCount(), 1);
        QCOMPARE(qv::TableRecordset::liveCount(), before + 1);
    }
    QCOMPARE(qv::TableRecordset::liveCount(), before);

    // A row that does not fit the columns is refused, not cut or padded.
    QVERIFY_THROWS_EXCEPTION(qv::Error,
                             qv::makeRecordset({"RoomStr", "Rom"}, {{"1203", "AB"}, {"1205"}}));
    QCOMPARE(qv::TableRecordset::liveCount(), before);
}

void tst_Print::recordsetOfAQuery() {
    TempAppDir app;
    qv::Connection conn;
    conn.openSQLite(app.file("db/lock.db"), true);
    conn.createSchema();
    conn.execute(
        "insert into OpenDoorRecord (RoomStr, Rom, OpenTime, CardHolderStr) values "
        "('1203', '00000001', '2026-03-01 15:31:00', '张伟'), ('1101', '02000003', null, null)");
    qv::DataSet q(conn);
    q.setSql("select RoomStr, OpenTime, CardHolderStr from OpenDoorRecord order by RoomStr desc");
    q.open();
    const qv::RecordsetRef rows = qv::makeRecordset(q);
    QvRecordset* rs = rows.get();
    QCOMPARE(rs->vtbl->rowCount(rs), 2);
    QCOMPARE(rs->vtbl->columnCount(rs), 3);
    QCOMPARE(QString::fromUtf8(rs->vtbl->columnName(rs, 1)), QString("OpenTime"));
    QCOMPARE(QString::fromUtf8(rs->vtbl->cellText(rs, 0, 1)), QString("2026-03-01 15:31:00"));
    QCOMPARE(QString::fromUtf8(rs->vtbl->cellText(rs, 0, 2)), QString("张伟"));
    QCOMPARE(QString::fromUtf8(rs->vtbl->cellText(rs, 1, 0)), QString("1101"));
    QCOMPARE(QString::fromUtf8(rs->vtbl->cellText(rs, 1, 1)), QString());
}

void tst_Print::printWindow() {
    PrintFolder folder;
    qv::TestDialogs boxes;
    qv::PrintLibrary library(folder.libraryPath());
    const int before = qv::TableRecordset::liveCount();
    qv::RecordsetRef rows = qv::makeRecordset(kGuestColumns, guestRows(40));

    QString title;
    int pages = 0;
    QStringList buttons;
    ModalWatcher watcher([&](QWidget* w) {
        for (const char* name : {"Print_Bt", "SavePdf_Bt", "SaveCsv_Bt", "Close_Bt"}) {
            if (QPushButton* b = buttonOf(w, name)) {
                buttons << b->text();
            }
        }
        closePrintWindow(w, &title, &pages);
    });
    QVERIFY(library.show(rows, PrintKind::GuestStays));
    QCOMPARE(watcher.seen(), 1);
    QCOMPARE(watcher.forced(), 0);
    QCOMPARE(title, QStringLiteral("打印预览 - 宾客入住记录"));
    QCOMPARE(buttons, (QStringList{"打印(&P)", "保存为PDF", "保存为CSV", "关闭(&C)"}));
    QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(qv::TableRecordset::from(rows.get())->refCount(), 1);
    rows.reset();
    QCOMPARE(qv::TableRecordset::liveCount(), before);
}

void tst_Print::printWindowAndFileDialogInTheDesksLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("printButtons");
    QTest::addColumn<QStringList>("fileTexts");  // the file dialog's Qt texts
    QTest::newRow("Chinese") << 2052 << "打印预览 - 宾客入住记录"
                             << QStringList{"打印(&P)", "保存为PDF", "保存为CSV", "关闭(&C)"}
                             << QStringList{"查找范围：", "文件名称(&N)：", "保存(&S)", "取消"};
    QTest::newRow("English") << 1033 << "Print Preview - Guest Stay Records"
                             << QStringList{"&Print", "Save as PDF", "Save as CSV", "&Close"}
                             << QStringList{"Look in:", "File &name:", "&Save", "Cancel"};
}

// The print window and the file dialog it opens speak the language chosen at
// the desk: the print library's texts come from the program's language store,
// the file dialog's from Qt's own translations.
void tst_Print::printWindowAndFileDialogInTheDesksLanguage() {
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QStringList, printButtons);
    QFETCH(QStringList, fileTexts);
    PrintFolder folder;
    qv::language::installLanguage(
        folder.file("db/Language.db"), TFileVersion().GetVersionString("ProductName"), 1033,
        qv::language::storeRows(
            qv::language::readSource(QStringLiteral(QV_SOURCE_DIR "/assets/language/1033.tsv"))));
    qv::language::loadProgramTexts(language);
    qv::PrintLibrary library(folder.libraryPath());
    qv::RecordsetRef rows = qv::makeRecordset(kGuestColumns, guestRows(3));

    QString shownTitle;
    QStringList buttons;
    QStringList fileDialog;
    QWidget* printWindow = nullptr;
    ModalWatcher watcher([&](QWidget* w) {
        if (auto* files = qobject_cast<QFileDialog*>(w)) {
            for (const char* label : {"lookInLabel", "fileNameLabel"}) {
                if (auto* l = files->findChild<QLabel*>(QLatin1String(label))) {
                    fileDialog << l->text();
                }
            }
            if (auto* box = files->findChild<QDialogButtonBox*>()) {
                for (QAbstractButton* b : box->buttons()) {
                    fileDialog << b->text();
                }
            }
            files->reject();
        } else if (!printWindow) {
            printWindow = w;
            shownTitle = w->windowTitle();
            for (const char* name : {"Print_Bt", "SavePdf_Bt", "SaveCsv_Bt", "Close_Bt"}) {
                if (QPushButton* b = buttonOf(w, name)) {
                    buttons << b->text();
                }
            }
            QTimer::singleShot(0, buttonOf(w, "SavePdf_Bt"), &QPushButton::click);
        } else {
            buttonOf(w, "Close_Bt")->click();
        }
    });
    QVERIFY(library.show(rows, PrintKind::GuestStays));
    qv::language::loadProgramTexts(2052);
    qv::setProgramTexts({});
    QCOMPARE(watcher.forced(), 0);
    QCOMPARE(shownTitle, title);
    QCOMPARE(buttons, printButtons);
    QCOMPARE(fileDialog.join(QLatin1Char('|')), fileTexts.join(QLatin1Char('|')));
}

void tst_Print::noRecordset() {
    PrintFolder folder;
    qv::PrintLibrary library(folder.libraryPath());

    // A window whose query never ran hands over no result set: the operator is told.
    QStringList seen;
    ModalWatcher watcher([&](QWidget* w) {
        seen << w->objectName();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen << box->text();
            box->buttons().first()->click();
        } else {
            w->close();
        }
    });
    QVERIFY(library.show(qv::RecordsetRef(), PrintKind::DoorOpenings));
    QCOMPARE(watcher.seen(), 1);
    QCOMPARE(seen.size(), 2);
    QVERIFY2(seen[1].contains(QStringLiteral("没有可打印的记录")), qPrintable(seen.join('|')));

    const QString pdf = folder.file(QStringLiteral("none.pdf"));
    QCOMPARE(library.render(qv::RecordsetRef(), PrintKind::DoorOpenings, pdf, qv::PrintFormat::Pdf),
             int(QV_PRINT_NO_RECORDSET));
    QVERIFY(!QFile::exists(pdf));
}

void tst_Print::unusableLibrary_data() {
    QTest::addColumn<QString>("library");  // empty: the program's own, in a folder without Dll/
    QTest::addColumn<QString>("says");
    QTest::newRow("no file") << QStringLiteral("missing/libPrint.so")
                             << QStringLiteral("找不到打印库");
    QTest::newRow("no export") << QStringLiteral(QV_PRINT_NOEXPORT_LIBRARY)
                               << QStringLiteral("PrintForm_Show");
    QTest::newRow("program folder without Dll") << QString() << QStringLiteral("Dll/libPrint.so");
}

void tst_Print::unusableLibrary() {
    QFETCH(QString, library);
    QFETCH(QString, says);
    TempAppDir app;
    qv::TestDialogs boxes;
    const qv::RecordsetRef rows = qv::makeRecordset({"RoomStr"}, {{"1203"}});
    int windows = 0;
    ModalWatcher watcher([&](QWidget* w) {
        ++windows;
        w->close();
    });

    bool shown = true;
    if (library.isEmpty()) {
        shown = qv::printRecords(rows, PrintKind::DoorOpenings);
    } else {
        const QString path = QDir::isAbsolutePath(library) ? library : app.file(library);
        qv::PrintLibrary print(path);
        shown = print.show(rows, PrintKind::DoorOpenings);
    }
    QVERIFY(!shown);
    QCOMPARE(windows, 0);
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.last().icon, qv::Icon::Error);
    QVERIFY2(boxes.last().text.contains(says), qPrintable(boxes.last().text));
    QVERIFY(boxes.last().text.contains(QStringLiteral("无法打印")));
}

QTEST_MAIN(tst_Print)
#include "tst_print.moc"
