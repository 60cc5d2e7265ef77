// The window platform: the window base and its keys, the record grid, the
// paged query model, the record-query and editing bases, the layout filters.

#include "WindowFixture.h"

#include "data/DataSet.h"
#include "data/PagedQueryModel.h"
#include "platform/Named.h"
#include "printing/PrintLibrary.h"
#include "window/EditForm.h"
#include "window/Form.h"
#include "window/LayoutLists.h"
#include "window/QueryForm.h"
#include "window/RecordGrid.h"
#include "window/RoomPictures.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const char* const kPgDatabase = "qvtest_window";

class KeyForm : public qv::Form {
public:
    explicit KeyForm(bool escCloses = true)
        : qv::Form(QStringLiteral("Key_Form"), QStringLiteral("键"), nullptr,
                   Options{escCloses, false, CaptureTexts::Fixed}) {
        Edit = qv::make<QLineEdit>(QStringLiteral("Edit"), this);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(Edit);
        FormCreate();
    }
    QLineEdit* Edit;
    QList<int> seen;

protected:
    bool FormKeyDown(QKeyEvent* e) override {
        seen << e->key();
        return e->key() == Qt::Key_F2;
    }
};

// Room types on the editing base, as the room type window uses it.
class TypeForm : public qv::EditForm {
public:
    TypeForm()
        : qv::EditForm(QStringLiteral("Type_Form"), QStringLiteral("类型"),
                       QStringLiteral("Type_DBGrid"), nullptr) {
        Title_Edit = qv::make<QLineEdit>(QStringLiteral("Title_Edit"), this);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(Table_Grid);
        layout->addWidget(Title_Edit);
        Table->setTableName(QStringLiteral("RoomType"));
        Table->setOrderBy(QStringLiteral("ID"));
        Table->beforePost = [](qv::DataSet& d) { dm->RoomType_adoBeforePost(d); };
        Table->open();
        FormCreate();
        showRecord();
    }
    QLineEdit* Title_Edit;
    int changes = 0;

protected:
    void showRecord() override { Title_Edit->setText(Table->text(QStringLiteral("Title"))); }
    void fillRecord() override { Table->setValue(QStringLiteral("Title"), Title_Edit->text()); }
    void recordsChanged() override { ++changes; }
};

class StayQuery : public qv::QueryForm {
public:
    StayQuery()
        : qv::QueryForm(QStringLiteral("Stay_Form"), QStringLiteral("住客"),
                        QStringLiteral("Stay_DBGrid"), qv::PrintKind::GuestStays, nullptr) {
        setColumns({QStringLiteral("RoomStr"), QStringLiteral("GuestName")},
                   {QStringLiteral("门牌号码"), QStringLiteral("客人姓名")});
        FormCreate();
    }
    using qv::QueryForm::currentValue;
    using qv::QueryForm::runQuery;
};

int count(const QString& sql) {
    return dm->conn.scalar(sql).toInt();
}

void addStays(int n) {
    qv::inTransaction(dm->conn, [&] {
        for (int i = 0; i < n; ++i) {
            dm->conn.execute(
                QStringLiteral("insert into GuestInRecord (Room, RoomStr, GuestName, enOverride) "
                               "values (1, :r, :g, 1)"),
                {{QStringLiteral(":r"), QStringLiteral("R%1").arg(i, 5, 10, QChar('0'))},
                 {QStringLiteral(":g"), QStringLiteral("客人%1").arg(i)}});
        }
    });
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QV_SET_UP_WINDOW_FIXTURE(fx, kPgDatabase); }
    void cleanup() { fx.tearDown(); }

    void formKeys_data();
    void formKeys();
    void bitmapToIcon();
    void bitmapToIconOfBadFiles_data();
    void bitmapToIconOfBadFiles();
    void messageLines();
    void recordGridFollowsDataSet();
    void pagedModelReadsAsScrolled_data() { addDatabaseKinds(); }
    void pagedModelReadsAsScrolled();
    void queryFormShowsPosition();
    void editFormStoresAndRefuses_data() { addDatabaseKinds(); }
    void editFormStoresAndRefuses();
    void editFormClosingStoresNothing();
    void editFormDeleteAsks();
    void layoutFilters();

private:
    WindowFixture fx;
};

void WindowTest::formKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("escCloses");
    QTest::addColumn<bool>("closed");
    QTest::newRow("Esc closes") << int(Qt::Key_Escape) << true << true;
    QTest::newRow("Esc kept open") << int(Qt::Key_Escape) << false << false;
    QTest::newRow("own key consumed") << int(Qt::Key_F2) << true << false;
}

void WindowTest::formKeys() {
    QFETCH(int, key);
    QFETCH(bool, escCloses);
    QFETCH(bool, closed);
    KeyForm f(escCloses);
    QCOMPARE(f.objectName(), QStringLiteral("Key_Form"));
    QCOMPARE(f.windowTitle(), QStringLiteral("键"));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.Edit->setFocus();
    QTest::keyClick(f.Edit, Qt::Key(key));
    // The window's own keys see every key first, before its controls.
    QCOMPARE(f.seen, QList<int>{key});
    QCOMPARE(f.result() == QDialog::Rejected && !f.isVisible(), closed);
}

void WindowTest::messageLines() {
    KeyForm f;
    QCOMPARE(f.message(3, QStringLiteral("没有该房号！")), QStringLiteral("没有该房号！"));
}

void WindowTest::recordGridFollowsDataSet() {
    qv::DataSet rooms(dm->conn);
    rooms.setSql(QStringLiteral("select RoomStr from RoomInfo order by RoomStr"));
    QWidget host;
    auto* grid = new qv::RecordGrid(QStringLiteral("Rooms_DBGrid"), &rooms, &host);
    grid->setColumns({QStringLiteral("RoomStr")}, {QStringLiteral("门牌号码")});
    QCOMPARE(grid->positionText(), QStringLiteral("0 / 0"));
    rooms.open();
    QVERIFY(rooms.recordCount() > 3);
    const QString total = QString::number(rooms.recordCount());
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("门牌号码"));

    clickRow(grid, 2);  // the grid moves the data set
    QCOMPARE(rooms.recNo(), 3);
    QCOMPARE(grid->positionText(), QStringLiteral("3 / ") + total);
    rooms.first();  // the data set moves the grid
    QCOMPARE(grid->currentRow(), 0);
    grid->selectRow(100000);  // clamped to the last row
    QCOMPARE(rooms.recNo(), rooms.recordCount());
    QCOMPARE(grid->positionText(), total + QStringLiteral(" / ") + total);
}

void WindowTest::pagedModelReadsAsScrolled() {
    constexpr int kRows = 600;
    addStays(kRows);
    qv::PagedQueryModel model(dm->conn);
    model.setQuery(
        QStringLiteral("select ID, RoomStr, GuestName from GuestInRecord "
                       "where enOverride = :done and RoomStr like :prefix"),
        {{QStringLiteral(":done"), 1}, {QStringLiteral(":prefix"), QStringLiteral("R%")}},
        QStringLiteral("RoomStr desc, ID"));
    model.setColumns({QStringLiteral("RoomStr"), QStringLiteral("GuestName")},
                     {QStringLiteral("门牌号码")});
    model.refresh();
    // The first page shows at once and the count follows; the rows come a page at a time.
    QCOMPARE(model.rowCount(), qv::PagedQueryModel::kPageRows);
    QVERIFY(!model.totalKnown());
    QSignalSpy counted(&model, &qv::PagedQueryModel::totalRowsChanged);
    QTRY_COMPARE(counted.size(), 1);
    QCOMPARE(counted.first().first().toInt(), kRows);
    QCOMPARE(model.totalRows(), kRows);
    QVERIFY(model.canFetchMore());
    model.fetchUntil(kRows - 1);
    QCOMPARE(model.rowCount(), kRows);
    QVERIFY(!model.canFetchMore());
    // Pages neither overlap nor leave gaps.
    for (int r = 0; r < kRows; ++r) {
        QCOMPARE(model.data(model.index(r, 0), Qt::DisplayRole).toString(),
                 QStringLiteral("R%1").arg(kRows - 1 - r, 5, 10, QChar('0')));
    }
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("GuestName"));
    QStringList titles;
    const auto all = model.allRowsText(&titles);
    QCOMPARE(titles, (QStringList{QStringLiteral("门牌号码"), QStringLiteral("GuestName")}));
    QCOMPARE(all.size(), kRows);
    QCOMPARE(all.last(), (QStringList{QStringLiteral("R00000"), QStringLiteral("客人0")}));

    // A value that looks like SQL is only ever a value.
    model.setQuery(QStringLiteral("select ID, RoomStr from GuestInRecord where GuestName = :g"),
                   {{QStringLiteral(":g"), QStringLiteral("x' or '1'='1")}}, QStringLiteral("ID"));
    model.refresh();
    QCOMPARE(model.totalRows(), 0);
    QCOMPARE(model.rowCount(), 0);

    // A search left while its rows are still being counted: the count of the
    // earlier one never overwrites the later, and a model that goes while
    // counting waits for it.
    model.setQuery(QStringLiteral("select ID, RoomStr from GuestInRecord"), {},
                   QStringLiteral("ID"));
    model.refresh();
    model.setQuery(QStringLiteral("select ID from GuestInRecord where ID < 0"), {},
                   QStringLiteral("ID"));
    model.refresh();
    QVERIFY(model.totalKnown());
    QTest::qWait(50);
    QCOMPARE(model.totalRows(), 0);
    {
        qv::PagedQueryModel gone(dm->conn);
        gone.setQuery(QStringLiteral("select ID from GuestInRecord"), {}, QStringLiteral("ID"));
        gone.refresh();
    }
}

void WindowTest::queryFormShowsPosition() {
    addStays(300);
    StayQuery f;
    QCOMPARE(f.StatusText(), QStringLiteral("记录：0 / 0"));
    f.runQuery(QStringLiteral("select ID, RoomStr, GuestName from GuestInRecord"), {},
               QStringLiteral("RoomStr, ID"));
    // The first screen before the count, which follows.
    QCOMPARE(f.StatusText(), QStringLiteral("记录：1 / 256+"));
    QTRY_COMPARE(f.StatusText(), QStringLiteral("记录：1 / 300"));
    QCOMPARE(f.currentValue(QStringLiteral("GuestName")).toString(), QStringLiteral("客人0"));
    clickRow(f.Records_Grid, 9);
    QCOMPARE(f.StatusText(), QStringLiteral("记录：10 / 300"));
    QCOMPARE(f.Records_Grid->objectName(), QStringLiteral("Stay_DBGrid"));
    f.resize(500, 400);
    saveScreenshot(&f, QStringLiteral("window_queryform"));
}

void WindowTest::editFormStoresAndRefuses() {
    TypeForm f;
    const int before = count(QStringLiteral("select count(*) from RoomType"));
    f.addRecord();
    QVERIFY(f.editing());
    QVERIFY(!f.Table_Grid->isEnabled());
    QVERIFY(f.Title_Edit->text().isEmpty());

    // The data module's check refuses an empty title: the row stays in editing.
    QVERIFY(!f.saveRecord());
    QCOMPARE(fx.dialogs->last().text, QStringLiteral("请输入房号！"));
    QVERIFY(f.editing());
    QCOMPARE(count(QStringLiteral("select count(*) from RoomType")), before);

    f.Title_Edit->setText(QStringLiteral("套房 'A'"));
    QVERIFY(f.saveRecord());
    QVERIFY(!f.editing());
    QCOMPARE(f.changes, 1);
    QCOMPARE(dm->conn
                 .scalar(QStringLiteral("select count(*) from RoomType where Title = :t"),
                         {{QStringLiteral(":t"), QStringLiteral("套房 'A'")}})
                 .toInt(),
             1);

    f.editRecord();
    f.Title_Edit->setText(QStringLiteral("测试套房"));
    QVERIFY(f.saveRecord());
    QCOMPARE(count(QStringLiteral("select count(*) from RoomType")), before + 1);
    QCOMPARE(dm->conn
                 .scalar(QStringLiteral("select count(*) from RoomType where Title = :t"),
                         {{QStringLiteral(":t"), QStringLiteral("测试套房")}})
                 .toInt(),
             1);
}

void WindowTest::editFormClosingStoresNothing() {
    const int before = count(QStringLiteral("select count(*) from RoomType"));
    {
        TypeForm f;
        f.show();
        f.addRecord();
        f.Title_Edit->setText(QStringLiteral("未保存"));
        QTest::keyClick(f.Title_Edit, Qt::Key_Escape);
        QVERIFY(!f.isVisible());
        QVERIFY(!f.editing());
    }
    QCOMPARE(count(QStringLiteral("select count(*) from RoomType")), before);
}

void WindowTest::editFormDeleteAsks() {
    TypeForm f;
    const int before = count(QStringLiteral("select count(*) from RoomType"));
    QVERIFY(before > 0);
    fx.dialogs->answer(qv::Answer::Cancel);
    QVERIFY(!f.deleteRecord(QStringLiteral("确定要删除吗？")));
    QCOMPARE(count(QStringLiteral("select count(*) from RoomType")), before);
    QCOMPARE(fx.dialogs->last().icon, qv::Icon::Question);
    QVERIFY(f.deleteRecord(QStringLiteral("确定要删除吗？")));
    QCOMPARE(count(QStringLiteral("select count(*) from RoomType")), before - 1);
    QCOMPARE(f.changes, 1);
}

void WindowTest::layoutFilters() {
    QComboBox box;
    qv::fillLayoutFilter(&box, Tdm::Buildings, QStringLiteral("所有楼号"));
    QVERIFY(box.count() >= 2);
    QCOMPARE(box.currentText(), QStringLiteral("所有楼号"));
    QCOMPARE(qv::layoutFilterValue(&box), std::nullopt);
    box.setCurrentIndex(0);
    QCOMPARE(qv::layoutFilterValue(&box),
             std::optional<int>(
                 dm->conn.scalar(QStringLiteral("select min(Buiding) from RoomInfo")).toInt()));
}

void WindowTest::bitmapToIcon() {
    // 4x2 bitmap: the bottom-left pixel is magenta, as is the top-right one;
    // the rest are colours that must stay opaque.
    TempAppDir app;
    QImage bmp(4, 2, QImage::Format_RGB32);
    const QRgb magenta = qRgb(255, 0, 255);
    const QRgb nearMagenta = qRgb(255, 1, 255);
    bmp.setPixel(0, 0, qRgb(10, 20, 30));
    bmp.setPixel(1, 0, nearMagenta);
    bmp.setPixel(2, 0, qRgb(0, 0, 0));
    bmp.setPixel(3, 0, magenta);
    bmp.setPixel(0, 1, magenta);
    bmp.setPixel(1, 1, qRgb(200, 100, 0));
    bmp.setPixel(2, 1, qRgb(255, 255, 255));
    bmp.setPixel(3, 1, qRgb(0, 255, 0));
    const QString path = app.file(QStringLiteral("room.bmp"));
    QVERIFY(bmp.save(path, "BMP"));

    const QIcon icon = BitmapToIcon(path);
    QVERIFY(!icon.isNull());
    const QImage out = icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(out.size(), QSize(32, 32));
    // Each source pixel became an 8x16 block; look at the block centres.
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            const QRgb got = out.pixel(x * 8 + 4, y * 16 + 8);
            const QRgb src = bmp.pixel(x, y);
            if (src == magenta) {
                QCOMPARE(qAlpha(got), 0);
            } else {
                QCOMPARE(qAlpha(got), 255);
                QCOMPARE(got & 0xFFFFFFu, src & 0xFFFFFFu);
            }
        }
    }
}

void WindowTest::bitmapToIconOfBadFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("create");
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("truncated header") << QByteArray("BM\x36\x00\x00\x00", 6) << true;
    QTest::newRow("text") << QByteArray("not a bitmap at all") << true;
}

void WindowTest::bitmapToIconOfBadFiles() {
    QFETCH(QByteArray, content);
    QFETCH(bool, create);
    TempAppDir app;
    if (create) {
        app.write(QStringLiteral("pic/build/Normal.bmp"), content);
    }
    QVERIFY(BitmapToIcon(app.file(QStringLiteral("pic/build/Normal.bmp"))).isNull());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
