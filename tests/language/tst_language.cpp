// The language store: capture and apply of window texts, message lines,
// languages, bad stores and the capture-mode key; the radio group widget.
#include "TestSupport.h"

#include "language/ComponentText.h"
#include "language/FormKeys.h"
#include "language/Language.h"
#include "language/LanguageSource.h"
#include "platform/AppPaths.h"
#include "platform/Errors.h"
#include "platform/KeyPreview.h"
#include "platform/RadioGroup.h"
#include "platform/TestDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

namespace {

// A window with one component of every kind the store knows.
class TSample_Form : public QDialog {
    Q_OBJECT
public:
    explicit TSample_Form(CaptureTexts texts = CaptureTexts::Fixed) {
        setObjectName("Sample_Form");
        setWindowTitle("客人查询");
        auto* grid = new QGridLayout(this);
        Title_Lb = add<QLabel>("Title_Lb", grid, 0, 0);
        Title_Lb->setText("客人类型");
        Ok_Bt = add<QPushButton>("Ok_Bt", grid, 0, 1);
        Ok_Bt->setText("确定");
        Ok_Bt->setToolTip("保存并关闭");
        Room_Edit = add<QLineEdit>("Room_Edit", grid, 1, 0);
        Room_Edit->setPlaceholderText("房号");
        Pass_Edit = add<QLineEdit>("Pass_Edit", grid, 1, 1);
        Pass_Edit->setEchoMode(QLineEdit::Password);
        Kind_CB = add<QComboBox>("Kind_CB", grid, 2, 0);
        Kind_CB->addItem("标准间", 11);
        Kind_CB->addItem("大床房", 12);
        Kind_CB->addItem("套房", 13);
        Guest_RG = add<qv::RadioGroup>("Guest_RG", grid, 2, 1);
        Guest_RG->setTitle("查询范围");
        Guest_RG->setItems({"在住客人", "所有客人", "退房客人"});
        Guest_RG->setItemIndex(0);
        Floor_LB = add<QListWidget>("Floor_LB", grid, 3, 0);
        Floor_LB->addItems({"一楼", "二楼"});
        Note_Memo = add<QPlainTextEdit>("Note_Memo", grid, 3, 1);
        Note_Memo->setPlainText("第一行\n第二行");
        Record_DBGrid = add<QTableView>("Record_DBGrid", grid, 4, 0);
        model = new QStandardItemModel(0, 3, this);
        model->setHorizontalHeaderLabels({"房号", "客人", "入住时间"});
        Record_DBGrid->setModel(model);
        Room_LV = add<QTreeWidget>("Room_LV", grid, 4, 1);
        Room_LV->setHeaderLabels({"楼号", "房间"});
        Card_LV = add<QTableWidget>("Card_LV", grid, 5, 0);
        Card_LV->setColumnCount(2);
        Card_LV->setHorizontalHeaderLabels({"卡号", "类型"});
        // A control inside a scroll area lives below Qt's own viewport.
        auto* scroll = add<QScrollArea>("", grid, 5, 1);
        auto* inner = new QWidget;
        auto* innerLayout = new QVBoxLayout(inner);
        Days_Edit = new QSpinBox(inner);
        Days_Edit->setObjectName("Days_Edit");
        Days_Edit->setSuffix("天");
        innerLayout->addWidget(Days_Edit);
        scroll->setWidget(inner);
        Exit_Menu = new QAction("退出", this);
        Exit_Menu->setObjectName("Exit_Menu");
        addAction(Exit_Menu);

        Language1 = new TLanguage(this);
        qv::KeyPreview::install(this, [this, texts](QKeyEvent* e) {
            return CaptureModeKeyDown(this, Language1, e, texts);
        });
    }

    template <class W>
    W* add(const QString& name, QGridLayout* grid, int row, int column) {
        auto* w = new W(this);
        w->setObjectName(name);
        grid->addWidget(w, row, column);
        return w;
    }

    QLabel* Title_Lb;
    QPushButton* Ok_Bt;
    QLineEdit* Room_Edit;
    QLineEdit* Pass_Edit;
    QComboBox* Kind_CB;
    qv::RadioGroup* Guest_RG;
    QListWidget* Floor_LB;
    QPlainTextEdit* Note_Memo;
    QTableView* Record_DBGrid;
    QStandardItemModel* model;
    QTreeWidget* Room_LV;
    QTableWidget* Card_LV;
    QSpinBox* Days_Edit;
    QAction* Exit_Menu;
    TLanguage* Language1;
};

const QStringList kComponentOrder{"Title_Lb", "Ok_Bt",     "Room_Edit", "Pass_Edit",     "Kind_CB",
                                  "Guest_RG", "Floor_LB",  "Note_Memo", "Record_DBGrid", "Room_LV",
                                  "Card_LV",  "Days_Edit", "Exit_Menu"};

QStringList texts(const QComboBox* c) {
    QStringList out;
    for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
    return out;
}
QStringList texts(const QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
    return out;
}
QStringList texts(const QAbstractItemModel* m) {
    QStringList out;
    for (int c = 0; c < m->columnCount(); ++c) out << m->headerData(c, Qt::Horizontal).toString();
    return out;
}
QStringList texts(const QTreeWidget* t) {
    QStringList out;
    for (int c = 0; c < t->columnCount(); ++c) out << t->headerItem()->text(c);
    return out;
}

// Every text of the sample window that the store may change, in one list.
QStringList snapshot(const TSample_Form& f) {
    return QStringList{f.windowTitle(),
                       f.Title_Lb->text(),
                       f.Ok_Bt->text(),
                       f.Ok_Bt->toolTip(),
                       f.Room_Edit->placeholderText(),
                       f.Pass_Edit->text(),
                       f.Guest_RG->title(),
                       f.Note_Memo->toPlainText(),
                       f.Days_Edit->suffix(),
                       f.Exit_Menu->text(),
                       f.objectName(),
                       f.Ok_Bt->objectName()} +
           texts(f.Kind_CB) + f.Guest_RG->items() + texts(f.Floor_LB) + texts(f.model) +
           texts(f.Room_LV) + texts(f.Card_LV->model());
}

// Direct access to the store file, on a connection of the test's own.
class Store {
public:
    Store() : name_(QStringLiteral("test_store_%1").arg(++serial_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        db.setDatabaseName(qv::AppPaths::languageDatabase());
        if (!db.open())
            qFatal("cannot open the store");
    }
    ~Store() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlQuery exec(const QString& sql, const QVariantList& values = {}) const {
        QSqlQuery q(QSqlDatabase::database(name_));
        q.prepare(sql);
        for (const QVariant& v : values) q.addBindValue(v);
        if (!q.exec())
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return q;
    }
    void addComponent(const QString& form, const QString& component, int language,
                      const QString& text, const QString& app = "Quorvane") const {
        exec(
            "insert into Component_Table (AppName, FormName, ComponentName, LanguageID, "
            "ComponentClass, "
            "ComponentProperty) values (?, ?, ?, ?, 'X', ?)",
            {app, form, component, language, text});
    }
    void addDialog(const QString& form, int dialogId, int language, const QString& title,
                   const QString& messages) const {
        exec(
            "insert into Dialog_Table (AppName, FormName, DialogID, LanguageID, Title, MessageStr) "
            "values ('Quorvane', ?, ?, ?, ?, ?)",
            {form, dialogId, language, title, messages});
    }
    // The window's rows: component name -> property text, in ID order.
    QList<QPair<QString, QString>> rows(const QString& form, int language) const {
        QList<QPair<QString, QString>> out;
        QSqlQuery q = exec(
            "select ComponentName, ComponentProperty from Component_Table where "
            "AppName = 'Quorvane' and FormName = ? and LanguageID = ? order by ID",
            {form, language});
        while (q.next()) out.append({q.value(0).toString(), q.value(1).toString()});
        return out;
    }
    QString text(const QString& form, const QString& component, int language) const {
        QSqlQuery q = exec(
            "select ComponentProperty from Component_Table where AppName = 'Quorvane' and "
            "FormName = ? and "
            "ComponentName = ? and LanguageID = ?",
            {form, component, language});
        return q.next() ? q.value(0).toString() : QString();
    }
    void setText(const QString& form, const QString& component, int language,
                 const QString& text) const {
        exec(
            "update Component_Table set ComponentProperty = ? where FormName = ? and ComponentName "
            "= ? "
            "and LanguageID = ?",
            {text, form, component, language});
    }
    int count(const QString& where = "1 = 1") const {
        QSqlQuery q = exec("select count(*) from Component_Table where " + where);
        return q.next() ? q.value(0).toInt() : -1;
    }

private:
    static inline int serial_ = 0;
    QString name_;
};

void pressCaptureKey(QWidget* w) {
    QTest::keyClick(w, Qt::Key_F12, Qt::ControlModifier | Qt::AltModifier);
}

}  // namespace

class LanguageTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void createsStoreWithItsFolderAndTables();
    void emptyStoreKeepsBuiltInTexts();
    void captureWritesEveryComponentThenTheWindow();
    void captureAndApplyRoundTrip();
    void editedRowChangesOnlyItsText_data();
    void editedRowChangesOnlyItsText();
    void malformedLinesAreSkippedOneByOne_data();
    void malformedLinesAreSkippedOneByOne();
    void captureAgainAsksAndReplacesOnlyThatWindowAndLanguage();
    void failedCaptureKeepsEarlierRows();
    void captureModeKey_data();
    void captureModeKey();
    void captureModeKeyAsTheXServerDeliversIt_data();
    void captureModeKeyAsTheXServerDeliversIt();
    void captureModeTextsFromVariable();
    void languagesSwitchBackAndForth();
    void messageLinesAndDialogTitles();
    void unusableStoreIsReportedAndWindowKeepsItsTexts_data();
    void unusableStoreIsReportedAndWindowKeepsItsTexts();
    void valuesWithLineBreaksRoundTrip();
    void radioGroupChoiceAndKeys();
    void sourceFaultsNameTheirLine_data();
    void sourceFaultsNameTheirLine();
    void sourceInstallsItsLanguageOnly();

private:
    std::unique_ptr<TempAppDir> app_;
    std::unique_ptr<qv::TestDialogs> dialogs_;
};

void LanguageTest::init() {
    app_ = std::make_unique<TempAppDir>();
    dialogs_ = std::make_unique<qv::TestDialogs>();
    {
        QWidget owner;
        TLanguage store(&owner);  // every test starts with an empty store
    }
    // Connections left in use when a window goes away would lose queries.
    QTest::failOnWarning(QRegularExpression("QSqlDatabase|connection .* still in use"));
}

void LanguageTest::cleanup() {
    dialogs_.reset();
    app_.reset();
    QVERIFY2(QSqlDatabase::connectionNames().isEmpty(),
             qPrintable(QSqlDatabase::connectionNames().join(", ")));
}

void LanguageTest::createsStoreWithItsFolderAndTables() {
    QVERIFY(QDir(app_->file("db")).removeRecursively());
    {
        TSample_Form form;
        QVERIFY(form.Language1->IsOpen());
        QCOMPARE(form.Language1->objectName(), QString("Language1"));
        QCOMPARE(form.Language1->AppName(), QString("Quorvane"));
    }
    QVERIFY(QFile::exists(app_->file("db/Language.db")));
    QVERIFY(dialogs_->boxes().isEmpty());

    Store store;
    const QStringList componentColumns{
        "ID",         "AppName",        "FormName",         "ComponentName",
        "LanguageID", "ComponentClass", "ComponentProperty"};
    const QStringList dialogColumns{"ID",         "AppName", "FormName",  "DialogID",
                                    "LanguageID", "Title",   "MessageStr"};
    for (const auto& [table, columns] : {std::pair{QString("Component_Table"), componentColumns},
                                         std::pair{QString("Dialog_Table"), dialogColumns}}) {
        QStringList got;
        QSqlQuery q = store.exec("select name from pragma_table_info(?) order by cid", {table});
        while (q.next()) got << q.value(0).toString();
        QCOMPARE(got, columns);
    }
    // ID is the key, given by the store.
    store.addComponent("A_Form", "X", 2052, "text:a");
    store.addComponent("A_Form", "Y", 2052, "text:b");
    QSqlQuery ids = store.exec("select ID from Component_Table order by ID");
    QVERIFY(ids.next());
    const int first = ids.value(0).toInt();
    QVERIFY(ids.next());
    QCOMPARE(ids.value(0).toInt(), first + 1);
    // Missing required columns are refused.
    QSqlQuery bad(QSqlDatabase::database(QSqlDatabase::connectionNames().first()));
    QVERIFY(!bad.exec("insert into Dialog_Table (AppName, FormName) values ('Quorvane', 'F')"));
}

void LanguageTest::emptyStoreKeepsBuiltInTexts() {
    TSample_Form form;
    const QStringList before = snapshot(form);
    form.Language1->SetLanguageID(2052);
    form.Language1->SetActive(true);
    QVERIFY(form.Language1->Active());
    QCOMPARE(snapshot(form), before);
    QVERIFY(form.Language1->Variable().isEmpty());
    QCOMPARE(form.Language1->GetVariable(0), QString());
    QCOMPARE(form.Language1->GetVariable(13), QString());
    QCOMPARE(form.Language1->GetVariable(-1), QString());
    QCOMPARE(form.Language1->GetVariable(3, "请输入房号！"), QString("请输入房号！"));
    QCOMPARE(form.Language1->GetDialogTitle(1), QString());
    QCOMPARE(form.Language1->GetLanguageList(), QStringList());
    QVERIFY(dialogs_->boxes().isEmpty());
}

void LanguageTest::captureWritesEveryComponentThenTheWindow() {
    TSample_Form form;
    form.Language1->SetLanguageID(2052);
    form.Pass_Edit->setText("secret-password");
    form.Language1->CaptureForm();
    QVERIFY(dialogs_->boxes().isEmpty());  // nothing to replace, nothing asked

    Store store;
    const auto rows = store.rows("Sample_Form", 2052);
    QStringList names;
    for (const auto& r : rows) names << r.first;
    QCOMPARE(names, kComponentOrder + QStringList{"Sample_Form"});

    QSqlQuery q =
        store.exec("select AppName, ComponentClass from Component_Table where ComponentName = ?",
                   {"Record_DBGrid"});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("Quorvane"));
    QCOMPARE(q.value(1).toString(), QString("QTableView"));

    const QString radio = store.text("Sample_Form", "Guest_RG", 2052);
    QVERIFY2(radio.contains("title:查询范围\n"), qPrintable(radio));
    QVERIFY2(
        radio.endsWith(
            "\nItems:TStrings\n          0:在住客人\n          1:所有客人\n          2:退房客人"),
        qPrintable(radio));
    QVERIFY(radio.startsWith("objectName:Guest_RG\n"));  // inherited properties first

    QVERIFY(store.text("Sample_Form", "Record_DBGrid", 2052)
                .endsWith("\nColumns:TDBGridColumns\n   0:房号\n   1:客人\n   2:入住时间"));
    QVERIFY(store.text("Sample_Form", "Room_LV", 2052)
                .endsWith("\nColumns:TListColumns\n   0:楼号\n   1:房间"));
    QVERIFY(store.text("Sample_Form", "Card_LV", 2052)
                .endsWith("\nColumns:TListColumns\n   0:卡号\n   1:类型"));
    QVERIFY(store.text("Sample_Form", "Note_Memo", 2052)
                .endsWith("\nLines:TStrings\n          0:第一行\n          1:第二行"));
    QVERIFY(store.text("Sample_Form", "Kind_CB", 2052)
                .contains("\nItems:TStrings\n          0:标准间\n"));
    const QString button = store.text("Sample_Form", "Ok_Bt", 2052);
    QVERIFY(button.split('\n').contains("text:确定"));
    QVERIFY(button.split('\n').contains("toolTip:保存并关闭"));
    QVERIFY(store.text("Sample_Form", "Exit_Menu", 2052).split('\n').contains("text:退出"));
    QVERIFY(store.text("Sample_Form", "Days_Edit", 2052).split('\n').contains("suffix:天"));

    // A password is never written into the store.
    QVERIFY(!store.count("ComponentProperty like '%secret-password%'"));
    // The window's own row holds its texts only.
    const QString window = store.text("Sample_Form", "Sample_Form", 2052);
    QVERIFY(window.split('\n').contains("windowTitle:客人查询"));
    QVERIFY(!window.contains("Items:") && !window.contains("Columns:"));
    QCOMPARE(store.count("ComponentName like 'qt_%' or ComponentName = 'Language1'"), 0);
}

void LanguageTest::captureAndApplyRoundTrip() {
    {
        TSample_Form form;
        form.Language1->SetLanguageID(2052);
        form.Language1->CaptureForm();
    }
    TSample_Form form;
    const QStringList captured = snapshot(form);
    // Another program state: the stored texts come back, the choices stay.
    form.Guest_RG->setItems({"a", "b", "c"});
    form.Guest_RG->setItemIndex(2);
    form.Kind_CB->setItemText(0, "x");
    form.Kind_CB->setCurrentIndex(1);
    form.model->setHorizontalHeaderLabels({"1", "2", "3"});
    form.Note_Memo->setPlainText("x\ny");
    form.Ok_Bt->setText("?");
    form.setWindowTitle("?");
    form.Language1->SetLanguageID(2052);
    form.Language1->Translate();
    QCOMPARE(snapshot(form), captured);
    QCOMPARE(form.Guest_RG->items(), QStringList({"在住客人", "所有客人", "退房客人"}));
    QCOMPARE(form.Guest_RG->itemIndex(), 2);
    QCOMPARE(form.Kind_CB->currentIndex(), 1);
    QCOMPARE(form.Kind_CB->itemData(0).toInt(), 11);
    QVERIFY(dialogs_->boxes().isEmpty());
}

void LanguageTest::editedRowChangesOnlyItsText_data() {
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("changed");  // index in snapshot()
    QTest::addColumn<QString>("expected");
    // Snapshot indices: 0 window title, 1 label, 2 button, 3 hint, 4 placeholder,
    // 6 group title, 7 memo, 8 suffix, 9 action, then combo 12-14, radio 15-17,
    // list 18-19, grid 20-22, tree 23-24, table 25-26.
    QTest::newRow("button caption") << "Ok_Bt"
                                    << "text:确定"
                                    << "text:OK" << 2 << "OK";
    QTest::newRow("hint") << "Ok_Bt"
                          << "toolTip:保存并关闭"
                          << "toolTip:Save" << 3 << "Save";
    QTest::newRow("window row") << "Sample_Form"
                                << "windowTitle:客人查询"
                                << "windowTitle:Guests" << 0 << "Guests";
    QTest::newRow("grid column 1") << "Record_DBGrid"
                                   << "   1:客人"
                                   << "   1:Guest" << 21 << "Guest";
    QTest::newRow("list view column") << "Room_LV"
                                      << "   0:楼号"
                                      << "   0:Building" << 23 << "Building";
    QTest::newRow("table column") << "Card_LV"
                                  << "   1:类型"
                                  << "   1:Kind" << 26 << "Kind";
    QTest::newRow("radio item") << "Guest_RG"
                                << "          2:退房客人"
                                << "          2:Checked out" << 17 << "Checked out";
    QTest::newRow("combo item") << "Kind_CB"
                                << "          1:大床房"
                                << "          1:King" << 13 << "King";
    QTest::newRow("list item") << "Floor_LB"
                               << "          0:一楼"
                               << "          0:1F" << 18 << "1F";
    QTest::newRow("memo line") << "Note_Memo"
                               << "          1:第二行"
                               << "          1:Line 2" << 7 << "第一行\nLine 2";
    QTest::newRow("spin box in scroll area") << "Days_Edit"
                                             << "suffix:天"
                                             << "suffix: days" << 8 << " days";
    QTest::newRow("action") << "Exit_Menu"
                            << "text:退出"
                            << "text:E&xit" << 9 << "E&xit";
    QTest::newRow("value with colons") << "Title_Lb"
                                       << "text:客人类型"
                                       << "text:Kind: a:b" << 1 << "Kind: a:b";
    // Names never change, whatever the row says.
    QTest::newRow("objectName") << "Ok_Bt"
                                << "objectName:Ok_Bt"
                                << "objectName:Other_Bt" << -1 << "";
    QTest::newRow("accessibleName") << "Ok_Bt"
                                    << "accessibleName:"
                                    << "accessibleName:x" << -1 << "";
    QTest::newRow("window name") << "Sample_Form"
                                 << "objectName:Sample_Form"
                                 << "objectName:X" << -1 << "";
}

void LanguageTest::editedRowChangesOnlyItsText() {
    QFETCH(QString, component);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, changed);
    QFETCH(QString, expected);
    {
        TSample_Form form;
        form.Language1->SetLanguageID(2052);
        form.Language1->CaptureForm();
    }
    Store store;
    QString text = store.text("Sample_Form", component, 2052);
    QVERIFY2(text.split('\n').contains(from), qPrintable(text));
    text.replace(from, to);
    if (QByteArray(QTest::currentDataTag()) == "window name") {
        text += "\nImeName:x";
    }
    store.setText("Sample_Form", component, 2052, text);

    TSample_Form form;
    QStringList want = snapshot(form);
    if (changed >= 0)
        want[changed] = expected;
    form.Language1->SetLanguageID(2052);
    form.Language1->Translate();
    QCOMPARE(snapshot(form), want);
    QCOMPARE(form.Ok_Bt->accessibleName(), QString());
}

void LanguageTest::malformedLinesAreSkippedOneByOne_data() {
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");  // the component's texts afterwards
    const QString items = "Items:TStrings\n";
    QTest::newRow("no colon") << "Ok_Bt"
                              << "just words\ntext:OK" << QStringList{"OK", "保存并关闭"};
    QTest::newRow("empty name") << "Ok_Bt"
                                << ":value\ntoolTip:Hint" << QStringList{"确定", "Hint"};
    QTest::newRow("unknown property") << "Ok_Bt"
                                      << "Caption:OK\ntext:Go" << QStringList{"Go", "保存并关闭"};
    QTest::newRow("not a text") << "Ok_Bt"
                                << "enabled:false\ncheckable:true\ntext:Go"
                                << QStringList{"Go", "保存并关闭", "enabled"};
    QTest::newRow("name case") << "Ok_Bt"
                               << "Text:OK\ntoolTip:Hint" << QStringList{"确定", "Hint"};
    QTest::newRow("orphan item lines")
        << "Ok_Bt"
        << "Items:TStrings\n          0:a\n   1:b\ntext:OK" << QStringList{"OK", "保存并关闭"};
    QTest::newRow("radio: more items")
        << "Guest_RG"
        << items + "          0:a\n          1:b\n          2:c\n          3:d\ntitle:T"
        << QStringList{"T", "在住客人", "所有客人", "退房客人"};
    QTest::newRow("radio: fewer items")
        << "Guest_RG" << items + "          0:a\n          1:b\ntitle:T"
        << QStringList{"T", "在住客人", "所有客人", "退房客人"};
    QTest::newRow("radio: no items")
        << "Guest_RG" << items + "title:T" << QStringList{"T", "在住客人", "所有客人", "退房客人"};
    QTest::newRow("radio: exact, any indent")
        << "Guest_RG" << items + "  0:a:1\n\t1:b\n          2:\ntitle:T"
        << QStringList{"T", "a:1", "b", ""};
    QTest::newRow("grid: more columns")
        << "Record_DBGrid"
        << "Columns:TDBGridColumns\n   0:A\n   1:B\n   2:C\n   3:D\ntoolTip:G"
        << QStringList{"G", "A", "B", "C"};
    QTest::newRow("grid: fewer columns")
        << "Record_DBGrid"
        << "Columns:TDBGridColumns\n   0:A\ntoolTip:G" << QStringList{"G", "A", "客人", "入住时间"};
    QTest::newRow("CR LF lines") << "Guest_RG"
                                 << "title:T\r\nItems:TStrings\r\n   0:a\r\n   1:b\r\n   2:c\r\n"
                                 << QStringList{"T", "a", "b", "c"};
}

void LanguageTest::malformedLinesAreSkippedOneByOne() {
    QFETCH(QString, component);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    {
        Store store;
        store.addComponent("Sample_Form", component, 2052, text);
        store.addComponent("Sample_Form", "Gone_Bt", 2052, "text:x");  // a component that is gone
    }
    TSample_Form form;
    form.Language1->SetLanguageID(2052);
    form.Language1->Translate();
    QStringList got;
    if (component == "Ok_Bt") {
        got << form.Ok_Bt->text() << form.Ok_Bt->toolTip();
        if (expected.size() > 2)
            got << (form.Ok_Bt->isEnabled() && !form.Ok_Bt->isCheckable() ? "enabled" : "changed");
    } else if (component == "Guest_RG") {
        got << form.Guest_RG->title() << form.Guest_RG->items();
    } else {
        got << form.Record_DBGrid->toolTip() << texts(form.model);
    }
    QCOMPARE(got, expected);
    QCOMPARE(form.Ok_Bt->objectName(), QString("Ok_Bt"));
    QVERIFY(dialogs_->boxes().isEmpty());
}

void LanguageTest::captureAgainAsksAndReplacesOnlyThatWindowAndLanguage() {
    Store store;
    store.addComponent("Sample_Form", "Ok_Bt", 1033, "text:OK");
    store.addComponent("Other_Form", "Ok_Bt", 2052, "text:好");
    store.addComponent("Sample_Form", "Ok_Bt", 2052, "text:Old", "OtherApp");
    const int foreign = 3;

    TSample_Form form;
    form.Language1->SetLanguageID(2052);
    form.Language1->CaptureForm();
    QVERIFY(dialogs_->boxes().isEmpty());
    const int rowsPerCapture = static_cast<int>(kComponentOrder.size()) + 1;
    QCOMPARE(store.count(), foreign + rowsPerCapture);

    // Cancel keeps the earlier capture.
    form.Ok_Bt->setText("新确定");
    dialogs_->answer(qv::Answer::Cancel);
    form.Language1->CaptureForm();
    QCOMPARE(dialogs_->boxes().size(), 1);
    const qv::Box box = dialogs_->last();
    QCOMPARE(box.title, QString("提示"));
    QCOMPARE(box.text, QString("窗体中的内容已经存在是否清除重建？"));
    QCOMPARE(box.icon, qv::Icon::Stop);
    QCOMPARE(box.buttons, qv::Buttons::OkCancel);
    QVERIFY(store.text("Sample_Form", "Ok_Bt", 2052).contains("text:确定"));

    // OK rebuilds this window's rows of this language only.
    dialogs_->answer(qv::Answer::Ok);
    form.Language1->CaptureForm();
    QCOMPARE(store.count(), foreign + rowsPerCapture);
    QVERIFY(store.text("Sample_Form", "Ok_Bt", 2052).contains("text:新确定"));
    QCOMPARE(store.text("Sample_Form", "Ok_Bt", 1033), QString("text:OK"));
    QCOMPARE(store.text("Other_Form", "Ok_Bt", 2052), QString("text:好"));
    QCOMPARE(store.count("AppName = 'OtherApp' and ComponentProperty = 'text:Old'"), 1);
}

void LanguageTest::failedCaptureKeepsEarlierRows() {
    TSample_Form form;
    form.Language1->CaptureForm();
    Store store;
    const auto earlier = store.rows("Sample_Form", 0);
    // The store refuses one row half-way through the capture.
    store.exec(
        "create trigger refuse before insert on Component_Table when new.ComponentName = "
        "'Exit_Menu' "
        "begin select raise(abort, 'disk full'); end");
    form.Ok_Bt->setText("新确定");
    dialogs_->answer(qv::Answer::Ok);  // replace the rows
    dialogs_->answer(qv::Answer::Ok);  // the capture-mode question
    dialogs_->answerInput("plumb");
    pressCaptureKey(&form);
    QCOMPARE(dialogs_->boxes().size(), 4);
    QCOMPARE(dialogs_->last().icon, qv::Icon::Error);
    QVERIFY2(dialogs_->last().text.contains("disk full"), qPrintable(dialogs_->last().text));
    QCOMPARE(store.rows("Sample_Form", 0), earlier);
}

void LanguageTest::captureModeKey_data() {
    QTest::addColumn<QString>("script");  // answers, in order: ok, cancel, code:<text>, nocode
    QTest::addColumn<bool>("captured");
    QTest::newRow("right code") << "ok code:plumb" << true;
    QTest::newRow("cancel at question") << "cancel" << false;
    QTest::newRow("wrong code") << "ok code:plumb2" << false;
    QTest::newRow("code case") << "ok code:Plumb" << false;
    QTest::newRow("empty code") << "ok code:" << false;
    QTest::newRow("cancel input") << "ok nocode" << false;
}

void LanguageTest::captureModeKey() {
    QFETCH(QString, script);
    QFETCH(bool, captured);
    for (const QString& step : script.split(' ')) {
        if (step == "ok")
            dialogs_->answer(qv::Answer::Ok);
        else if (step == "cancel")
            dialogs_->answer(qv::Answer::Cancel);
        else if (step == "nocode")
            dialogs_->cancelInput();
        else
            dialogs_->answerInput(step.mid(5));
    }
    TSample_Form form;
    form.Language1->SetLanguageID(2052);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Room_Edit->setFocus();
    QCOMPARE(QApplication::focusWidget(), form.Room_Edit);
    // Other keys are the window's own.
    QTest::keyClick(form.Room_Edit, Qt::Key_F12, Qt::ControlModifier);
    QTest::keyClick(form.Room_Edit, Qt::Key_F11, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(dialogs_->boxes().isEmpty());

    pressCaptureKey(form.Room_Edit);
    QCOMPARE(dialogs_->pendingReplies(), 0);
    const auto& boxes = dialogs_->boxes();
    QVERIFY(!boxes.isEmpty());
    QCOMPARE(boxes[0].kind, qv::Box::Kind::Message);
    QCOMPARE(boxes[0].title, QString("提示"));
    QCOMPARE(boxes[0].text, QString("文件不存在，请重新选择！"));
    QCOMPARE(boxes[0].icon, qv::Icon::Warning);
    QCOMPARE(boxes[0].buttons, qv::Buttons::OkCancel);
    if (boxes.size() > 1) {
        QCOMPARE(boxes[1].kind, qv::Box::Kind::Input);
        QCOMPARE(boxes[1].title, QString("验证 "));
        QCOMPARE(boxes[1].text, QString("请输入验证码:"));
    }
    QCOMPARE(boxes.size(), script.startsWith("cancel") ? 1 : 2);
    QCOMPARE(Store().count(), captured ? static_cast<int>(kComponentOrder.size()) + 1 : 0);
}

// The key presses as the X server hands them to the program under the
// standard keyboard map: key sym (Qt's native virtual key), X modifier state
// and the Qt key it maps to. Ctrl+Alt+F12 comes as the console switch, a key
// sym Qt has no key for.
void LanguageTest::captureModeKeyAsTheXServerDeliversIt_data() {
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<quint32>("keySym");
    QTest::addColumn<quint32>("xState");
    QTest::addColumn<bool>("asks");
    constexpr quint32 kShift = 1, kControl = 4, kAlt = 8;
    const int ctrlShift = int(Qt::ControlModifier | Qt::ShiftModifier);
    const int ctrlAlt = int(Qt::ControlModifier | Qt::AltModifier);
    QTest::newRow("Ctrl+Shift+F12")
        << int(Qt::Key_F12) << ctrlShift << 0xFFC9u << (kShift | kControl) << true;
    QTest::newRow("Ctrl+Alt+F12 as XF86Switch_VT_12")
        << 0 << ctrlAlt << 0x1008FE0Cu << (kControl | kAlt) << true;
    QTest::newRow("Ctrl+Alt+F12 as F12 (server keys off)")
        << int(Qt::Key_F12) << ctrlAlt << 0xFFC9u << (kControl | kAlt) << true;
    QTest::newRow("Ctrl+Alt+F11 as XF86Switch_VT_11")
        << 0 << ctrlAlt << 0x1008FE0Bu << (kControl | kAlt) << false;
    QTest::newRow("Shift+F12") << int(Qt::Key_F12) << int(Qt::ShiftModifier) << 0xFFC9u << kShift
                               << false;
    QTest::newRow("Ctrl+Shift+Alt+F12")
        << int(Qt::Key_F12) << int(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier)
        << 0xFFC9u << (kShift | kControl | kAlt) << false;
}

void LanguageTest::captureModeKeyAsTheXServerDeliversIt() {
    QFETCH(int, qtKey);
    QFETCH(int, modifiers);
    QFETCH(quint32, keySym);
    QFETCH(quint32, xState);
    QFETCH(bool, asks);
    if (asks) {
        dialogs_->answer(qv::Answer::Cancel);
    }
    TSample_Form form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Room_Edit->setFocus();
    constexpr quint32 kF12KeyCode = 96;  // the evdev key code of F12
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::KeyboardModifiers(modifiers), kF12KeyCode, keySym,
                    xState);
    QApplication::sendEvent(form.Room_Edit, &press);
    QCOMPARE(dialogs_->boxes().size(), asks ? 1 : 0);
    if (asks) {
        QCOMPARE(dialogs_->boxes()[0].text, QString("文件不存在，请重新选择！"));
    }
}

void LanguageTest::captureModeTextsFromVariable() {
    QStringList lines;
    for (int i = 0; i < 15; ++i) lines << QString("line %1").arg(i);
    Store().addDialog("Sample_Form", 0, 2052, "t", lines.join("\r\n"));

    for (const bool withLines : {true, false}) {
        dialogs_->clear();
        TSample_Form form(CaptureTexts::FromVariable);
        form.Language1->SetLanguageID(withLines ? 2052 : 1033);
        form.Language1->Translate();
        dialogs_->answer(qv::Answer::Ok);
        dialogs_->answerInput("plumb");
        pressCaptureKey(&form);
        QCOMPARE(dialogs_->boxes().size(), 2);
        const qv::Box question = dialogs_->boxes()[0];
        const qv::Box input = dialogs_->boxes()[1];
        if (withLines) {
            QCOMPARE(question.title, QString("line 13"));
            QCOMPARE(question.text, QString("line 13"));
            QCOMPARE(input.title, QString("line 14"));
            QCOMPARE(input.text, QString("line 14"));
        } else {  // no lines in this language: still readable boxes
            QCOMPARE(question.text, QString("文件不存在，请重新选择！"));
            QCOMPARE(input.text, QString("请输入验证码:"));
        }
        QCOMPARE(question.icon, qv::Icon::Warning);
    }
    QCOMPARE(Store().count("LanguageID = 2052"), static_cast<int>(kComponentOrder.size()) + 1);
    QCOMPARE(Store().count("LanguageID = 1033"), static_cast<int>(kComponentOrder.size()) + 1);
}

void LanguageTest::languagesSwitchBackAndForth() {
    {
        TSample_Form form;
        form.Language1->SetLanguageID(2052);
        form.Language1->CaptureForm();
    }
    Store store;
    // The English rows: the Chinese capture with its texts replaced.
    const QList<QPair<QString, QString>> english{{"确定", "OK"},
                                                 {"在住客人", "In house"},
                                                 {"所有客人", "All guests"},
                                                 {"退房客人", "Checked out"},
                                                 {"客人查询", "Guest query"},
                                                 {"房号", "Room"},
                                                 {"楼号", "Building"}};
    for (const auto& [name, text] : store.rows("Sample_Form", 2052)) {
        QString t = text;
        for (const auto& [zh, en] : english) {
            t.replace(zh, en);
        }
        store.addComponent("Sample_Form", name, 1033, t);
    }

    TSample_Form form;
    const QStringList chinese = snapshot(form);
    form.Language1->SetLanguageID(1033);
    QCOMPARE(snapshot(form), chinese);  // the identifier alone changes nothing
    form.Language1->Translate();
    QCOMPARE(form.Ok_Bt->text(), QString("OK"));
    QCOMPARE(form.windowTitle(), QString("Guest query"));
    QCOMPARE(form.Guest_RG->items(), QStringList({"In house", "All guests", "Checked out"}));
    QCOMPARE(texts(form.model).first(), QString("Room"));
    QCOMPARE(texts(form.Room_LV).first(), QString("Building"));

    form.Language1->SetLanguageID(2052);
    form.Language1->Translate();
    QCOMPARE(snapshot(form), chinese);

    // A language without rows keeps what the window shows.
    form.Language1->SetLanguageID(1033);
    form.Language1->Translate();
    form.Language1->SetLanguageID(1041);
    form.Language1->Translate();
    QCOMPARE(form.Ok_Bt->text(), QString("OK"));
    QCOMPARE(form.Language1->GetLanguageList(), QStringList({"1033", "2052"}));

    // The program's own language needs no rows: its texts come back, the
    // message lines too.
    store.exec("delete from Component_Table");
    store.addDialog("Sample_Form", 0, 1033, "", "Line zero\nLine one");
    form.Language1->SetLanguageID(1033);
    form.Language1->Translate();
    QCOMPARE(form.Language1->GetVariable(1), QString("Line one"));
    QCOMPARE(form.Ok_Bt->text(), QString("OK"));  // rows gone, English stays
    form.Language1->SetLanguageID(2052);
    form.Language1->Translate();
    QCOMPARE(snapshot(form), chinese);
    QCOMPARE(form.Language1->GetVariable(1), QString());
}

void LanguageTest::messageLinesAndDialogTitles() {
    Store store;
    store.addDialog("Sample_Form", 1, 2052, "第一个", "旧\r\n行");
    store.addDialog("Sample_Form", 2, 2052, "第二个", "零\r\n一\r\n\r\n三\r\n");
    store.addDialog("Sample_Form", 1, 2052, "重复", "x");
    store.exec("update Dialog_Table set MessageStr = ? where Title = '重复'", {"零\n一\n\n三"});
    store.addDialog("Other_Form", 1, 2052, "别的", "别的");
    store.addDialog("Sample_Form", 1, 1033, "First", "Zero");

    TSample_Form form;
    form.Language1->SetLanguageID(2052);
    form.Language1->Translate();
    // The last row wins; a final line break adds no line.
    QCOMPARE(form.Language1->Variable(), QStringList({"零", "一", "", "三"}));
    QCOMPARE(form.Language1->GetVariable(3), QString("三"));
    QCOMPARE(form.Language1->GetVariable(4), QString());
    QCOMPARE(form.Language1->GetVariable(2, "默认"), QString("默认"));
    QCOMPARE(form.Language1->GetVariable(1, "默认"), QString("一"));
    QCOMPARE(form.Language1->GetDialogTitle(1), QString("第一个"));
    QCOMPARE(form.Language1->GetDialogTitle(2), QString("第二个"));
    QCOMPARE(form.Language1->GetDialogTitle(3), QString());
    // Values are bound, never spliced into the statement.
    form.setObjectName("Sample_Form' or '1'='1");
    QCOMPARE(form.Language1->GetDialogTitle(1), QString());

    // A language without rows keeps the lines it had.
    form.setObjectName("Sample_Form");
    form.Language1->SetLanguageID(1041);
    form.Language1->Translate();
    QCOMPARE(form.Language1->GetVariable(0), QString("零"));
    form.Language1->SetLanguageID(1033);
    form.Language1->Translate();
    QCOMPARE(form.Language1->Variable(), QStringList({"Zero"}));
    QCOMPARE(form.Language1->GetDialogTitle(1), QString("First"));
}

void LanguageTest::unusableStoreIsReportedAndWindowKeepsItsTexts_data() {
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not a database") << QByteArray("garbage") << "file is not a database";
    QTest::newRow("no Dialog_Table") << QByteArray("drop table Dialog_Table") << "Dialog_Table";
    QTest::newRow("no Component_Table")
        << QByteArray("drop table Component_Table") << "Component_Table";
    QTest::newRow("column missing")
        << QByteArray("alter table Dialog_Table drop column MessageStr") << "MessageStr";
    QTest::newRow("folder in its place") << QByteArray("folder") << "";
}

void LanguageTest::unusableStoreIsReportedAndWindowKeepsItsTexts() {
    QFETCH(QByteArray, setup);
    QFETCH(QString, reason);
    if (setup == "garbage") {
        app_->write("db/Language.db", QByteArray(4096, 'x'));
    } else if (setup == "folder") {
        QVERIFY(QFile::remove(app_->file("db/Language.db")));
        QVERIFY(QDir(app_->path()).mkpath("db/Language.db"));
    } else {
        Store().exec(QString::fromLatin1(setup));
    }
    const QByteArray before = app_->read("db/Language.db");

    TSample_Form form;
    QCOMPARE(dialogs_->boxes().size(), 1);
    const qv::Box box = dialogs_->last();
    QCOMPARE(box.icon, qv::Icon::Error);
    QVERIFY2(box.text.contains("Language.db") && box.text.contains(reason), qPrintable(box.text));
    QVERIFY(!form.Language1->IsOpen());

    const QStringList builtIn = snapshot(form);
    form.Language1->SetLanguageID(2052);
    form.Language1->Translate();
    QCOMPARE(snapshot(form), builtIn);
    QCOMPARE(form.Language1->GetDialogTitle(1), QString());
    QCOMPARE(form.Language1->GetLanguageList(), QStringList());
    QCOMPARE(dialogs_->boxes().size(), 1);  // said once, when the window opened

    // The capture mode says why it cannot write, and changes nothing.
    dialogs_->answer(qv::Answer::Ok);
    dialogs_->answerInput("plumb");
    pressCaptureKey(&form);
    QCOMPARE(dialogs_->last().icon, qv::Icon::Error);
    QVERIFY(dialogs_->last().text.contains("Language.db"));
    QCOMPARE(app_->read("db/Language.db"), before);
}

void LanguageTest::valuesWithLineBreaksRoundTrip() {
    const QString text = "第一行\n第二行 C:\\db\\new\r\n末行\\";
    {
        TSample_Form form;
        form.Title_Lb->setText(text);
        form.Language1->CaptureForm();
    }
    Store store;
    const QStringList lines = store.text("Sample_Form", "Title_Lb", 0).split('\n');
    QVERIFY(lines.contains("text:第一行\\n第二行 C:\\\\db\\\\new\\n末行\\\\"));
    for (const QString& value :
         {QString("a\\nb"), QString("a\\b"), QString("a\\"), QString("\\\\n")}) {
        QCOMPARE(qv::language::decodeValue(qv::language::encodeValue(value)), value);
    }
    TSample_Form form;
    form.Language1->Translate();
    QCOMPARE(form.Title_Lb->text(), QString("第一行\n第二行 C:\\db\\new\n末行\\"));
}

void LanguageTest::radioGroupChoiceAndKeys() {
    qv::RadioGroup group("范围");
    QSignalSpy changed(&group, &qv::RadioGroup::itemIndexChanged);
    QCOMPARE(group.itemIndex(), -1);
    group.setItems({"在住客人", "所有客人", "退房客人"});
    QCOMPARE(group.count(), 3);
    QCOMPARE(group.itemIndex(), -1);
    group.setItemIndex(1);
    QVERIFY(group.button(1)->isChecked());
    QCOMPARE(changed.takeFirst().at(0).toInt(), 1);

    // Arrow keys move the choice.
    group.show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    group.button(1)->setFocus();
    QTest::keyClick(group.button(1), Qt::Key_Down);
    QCOMPARE(group.itemIndex(), 2);
    QCOMPARE(changed.takeFirst().at(0).toInt(), 2);
    QTest::keyClick(group.button(2), Qt::Key_Up);
    QCOMPARE(group.itemIndex(), 1);
    changed.clear();

    // Same number of items: texts change, the choice stays, nothing signalled.
    group.setItems({"a", "b", "c"});
    QCOMPARE(group.itemIndex(), 1);
    QCOMPARE(group.button(1)->text(), QString("b"));
    QVERIFY(changed.isEmpty());
    // Fewer items: the choice stays while in range, otherwise it is cleared.
    group.setItems({"a", "b"});
    QCOMPARE(group.itemIndex(), 1);
    group.setItems({"a"});
    QCOMPARE(group.itemIndex(), -1);
    QCOMPARE(changed.takeLast().at(0).toInt(), -1);
    group.setItems({"a", "b"});
    group.setItemIndex(0);
    group.setItemIndex(7);
    QCOMPARE(group.itemIndex(), -1);
    QVERIFY(!group.button(0)->isChecked());
    QCOMPARE(group.findChildren<QRadioButton*>().size(), 2);
}

void LanguageTest::sourceFaultsNameTheirLine_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("fault");
    const QString ok = "F\tOk_Bt\tQPushButton\ttext\t确定\tOK\n";
    QTest::newRow("five fields") << ok + "F\tX\tQLabel\ttext\t文\n"
                                 << "t.tsv:2: 5 fields";
    QTest::newRow("no property") << "# c\n" + ok + "F\tX\tQLabel\t\t文\tText\n"
                                 << "t.tsv:3: form, component and property";
    QTest::newRow("entry of a text") << ok + "F\tX\tQLabel\ttext.1\t文\tText\n"
                                     << "t.tsv:2: \"text.1\" is neither";
    QTest::newRow("list without entry") << ok + "F\tX\tQComboBox\tItems\t文\tText\n"
                                        << "t.tsv:2: the list \"Items\" needs";
    QTest::newRow("twice") << ok + ok << "t.tsv:2: F Ok_Bt text is translated twice";
    QTest::newRow("message elsewhere") << ok + "F\tOk_Bt\tX\tVariable.0\t文\tText\n"
                                       << "t.tsv:2: message lines are";
    QTest::newRow("gap in a list")
        << ok + "F\tX\tQComboBox\tItems.0\t甲\tA\nF\tX\tQComboBox\tItems.2\t丙\tC\n"
        << "F X: entry Items.1 is missing (line 3 has Items.2)";
}

void LanguageTest::sourceFaultsNameTheirLine() {
    QFETCH(QString, source);
    QFETCH(QString, fault);
    try {
        qv::language::storeRows(qv::language::parseSource(source, "t.tsv"));
        QFAIL("the source was taken");
    } catch (const qv::Error& e) {
        QVERIFY2(e.text().startsWith(fault), qPrintable(e.text()));
    }
}

void LanguageTest::sourceInstallsItsLanguageOnly() {
    Store store;
    store.addComponent("Sample_Form", "Ok_Bt", 2052, "text:好");  // a translator's own
    store.addComponent("Sample_Form", "Ok_Bt", 1033, "text:Old");
    store.addComponent("Sample_Form", "Ok_Bt", 1033, "text:Other product", "Another");
    const QString source =
        "# English\n"
        "Sample_Form\tOk_Bt\tQPushButton\ttext\t确定\tOK\n"
        "Sample_Form\tGuest_RG\tqv::RadioGroup\tItems.0\t在住客人\tIn house\n"
        "Sample_Form\tGuest_RG\tqv::RadioGroup\tItems.1\t所有客人\tAll guests\n"
        "Sample_Form\tGuest_RG\tqv::RadioGroup\tItems.2\t退房客人\tChecked out\n"
        "Sample_Form\tRoom_LV\tQTreeWidget\tColumns.0\t楼号\t\n"
        "Sample_Form\tRoom_LV\tQTreeWidget\tColumns.1\t房间\tRoom\n"
        "Sample_Form\tLanguage1\tTLanguage\tVariable.2\t第三行\tThird line\n";
    const auto rows = qv::language::storeRows(qv::language::parseSource(source, "1033.tsv"));
    QCOMPARE(rows.untranslated, 1);
    qv::language::installLanguage(qv::AppPaths::languageDatabase(), "Quorvane", 1033, rows);
    qv::language::installLanguage(qv::AppPaths::languageDatabase(), "Quorvane", 1033, rows);

    QCOMPARE(store.rows("Sample_Form", 2052).size(), 1);  // kept
    QCOMPARE(store.exec("select count(*) from Component_Table where AppName = 'Another'").next(),
             true);
    QCOMPARE(store.rows("Sample_Form", 1033).size(), 3);  // replaced, not added twice

    TSample_Form form;
    form.Language1->SetLanguageID(1033);
    form.Language1->Translate();
    QCOMPARE(form.Ok_Bt->text(), QString("OK"));
    QCOMPARE(form.Guest_RG->items(), QStringList({"In house", "All guests", "Checked out"}));
    QCOMPARE(texts(form.Room_LV), QStringList({"楼号", "Room"}));
    QCOMPARE(form.Language1->GetVariable(1), QString());
    QCOMPARE(form.Language1->GetVariable(2), QString("Third line"));
}

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
