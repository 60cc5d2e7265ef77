#include "records/OperationLog_Unit.h"

#include "data/OperationLog.h"
#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "language/ComponentText.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "printing/PrintLibrary.h"
#include "window/DatePicker.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

const QStringList kFields = {"LogTime", "StafferName", "Staffer", "Workstation", "Action",
                             "Object",  "Detail",      "Result",  "ID"};
const QStringList kTitles = {"时间",      "操作员", "登录名", "工作站", "操作",
                             "房间/对象", "详情",   "结果",   "序号"};

}  // namespace

TOperationLog_Form::TOperationLog_Form(QWidget* parent)
    : QueryForm(QStringLiteral("OperationLog_Form"), QStringLiteral("操作日志"),
                QStringLiteral("OperationLog_DBGrid"), qv::PrintKind::Operations, parent) {
    using qv::make;
    QWidget* area = FilterArea;

    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("日期：从"), area);
    DateStart_Dtp = new qv::DatePicker(QStringLiteral("DateStart_Dtp"), kDateFormat, area);
    Label1->setBuddy(DateStart_Dtp);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("至"), area);
    DateEnd_Dtp = new qv::DatePicker(QStringLiteral("DateEnd_Dtp"), kDateFormat, area);
    Label2->setBuddy(DateEnd_Dtp);
    Label3 = make<QLabel>(QStringLiteral("Label3"), QStringLiteral("操作员："), area);
    Operator_CB = make<QComboBox>(QStringLiteral("Operator_CB"), area);
    Operator_CB->setEditable(true);  // a deleted operator's login may be typed
    Operator_CB->setMinimumContentsLength(10);
    qv::language::markRuntimeText(Operator_CB);
    Label3->setBuddy(Operator_CB);
    Label4 = make<QLabel>(QStringLiteral("Label4"), QStringLiteral("操作："), area);
    Action_CB = make<QComboBox>(QStringLiteral("Action_CB"), area);
    Action_CB->setMaxVisibleItems(20);
    Action_CB->setMinimumContentsLength(10);
    qv::language::markRuntimeText(Action_CB);
    Label4->setBuddy(Action_CB);
    Label5 = make<QLabel>(QStringLiteral("Label5"), QStringLiteral("房间/对象："), area);
    Object_Edit = make<QLineEdit>(QStringLiteral("Object_Edit"), area);
    Object_Edit->setMaxLength(60);
    Label5->setBuddy(Object_Edit);

    auto* fields = new QGridLayout(area);
    fields->setContentsMargins(0, 0, 0, 0);
    fields->addWidget(Label1, 0, 0, Qt::AlignRight);
    fields->addWidget(DateStart_Dtp, 0, 1);
    fields->addWidget(Label2, 0, 2, Qt::AlignRight);
    fields->addWidget(DateEnd_Dtp, 0, 3);
    fields->addWidget(Label5, 0, 4, Qt::AlignRight);
    fields->addWidget(Object_Edit, 0, 5);
    fields->addWidget(Label3, 1, 0, Qt::AlignRight);
    fields->addWidget(Operator_CB, 1, 1);
    fields->addWidget(Label4, 1, 2, Qt::AlignRight);
    fields->addWidget(Action_CB, 1, 3);
    fields->setColumnMinimumWidth(1, 150);
    fields->setColumnMinimumWidth(3, 150);
    fields->setColumnMinimumWidth(5, 120);
    fields->setColumnStretch(6, 1);

    Find_Bt = make<QPushButton>(QStringLiteral("Find_Bt"), QStringLiteral("查询(&F)"), this);
    Find_Bt->setDefault(true);
    Verify_Bt =
        make<QPushButton>(QStringLiteral("Verify_Bt"), QStringLiteral("检查日志(&V)"), this);
    Verify_Bt->setAutoDefault(false);
    Print_Bt = make<QPushButton>(QStringLiteral("Print_Bt"), QStringLiteral("打印(&P)"), this);
    Print_Bt->setAutoDefault(false);
    Close_Bt = make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("关闭(&X)"), this);
    Close_Bt->setAutoDefault(false);
    Buttons_Layout->insertWidget(0, Verify_Bt);
    Buttons_Layout->addWidget(Find_Bt);
    Buttons_Layout->addWidget(Print_Bt);
    Buttons_Layout->addWidget(Close_Bt);

    OperationLog_DBGrid = Records_Grid;
    OperationLog_ADO = Records;
    setColumns(kFields, kTitles);
    const int widths[] = {140, 80, 80, 100, 110, 90, 260, 50, 60};
    for (int c = 0; c < kFields.size(); ++c) {
        OperationLog_DBGrid->setColumnWidth(c, widths[c]);
    }

    setTabOrder(DateStart_Dtp, DateEnd_Dtp);
    setTabOrder(DateEnd_Dtp, Object_Edit);
    setTabOrder(Object_Edit, Operator_CB);
    setTabOrder(Operator_CB, Action_CB);
    setTabOrder(Action_CB, OperationLog_DBGrid);
    setTabOrder(OperationLog_DBGrid, Verify_Bt);
    setTabOrder(Verify_Bt, Find_Bt);
    setTabOrder(Find_Bt, Print_Bt);
    setTabOrder(Print_Bt, Close_Bt);

    connect(Find_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOperationLog_Form::Find_BtClick));
    connect(Verify_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOperationLog_Form::Verify_BtClick));
    connect(Print_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TOperationLog_Form::Print_BtClick));
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);

    resize(1000, 600);
    FormCreate();
}

TOperationLog_Form::~TOperationLog_Form() = default;

void TOperationLog_Form::FormCreate() {
    QueryForm::FormCreate();
    const QDate today = qv::Clock::now().date();
    DateStart_Dtp->setDate(today);
    DateEnd_Dtp->setDate(today);
    const QString all = qv::programText(QStringLiteral("全部"));
    Operator_CB->clear();
    Operator_CB->addItem(all, QString());
    qv::guarded([this] {
        for (const QString& login : qv::operatorLogins(dm->conn)) {
            Operator_CB->addItem(login, login);
        }
    });
    Action_CB->clear();
    Action_CB->addItem(all, QString());
    for (const auto& [code, text] : qv::oplog::actions()) {
        Action_CB->addItem(qv::programText(text), code);
    }
    // A failing first search shows its error; the window opens with an empty list.
    qv::guarded([this] { Find_BtClick(); });
    DateStart_Dtp->setFocus();
}

qv::OperationLogSearch TOperationLog_Form::Search() const {
    qv::OperationLogSearch s;
    s.logged = {DateStart_Dtp->date(), DateEnd_Dtp->date()};
    // A login typed into the box is taken as it is; the first item is every operator.
    const int index = Operator_CB->findText(Operator_CB->currentText());
    s.staffer =
        index >= 0 ? Operator_CB->itemData(index).toString() : Operator_CB->currentText().trimmed();
    s.action = Action_CB->currentData().toString();
    s.object = Object_Edit->text().trimmed();
    return s;
}

void TOperationLog_Form::Find_BtClick() {
    // The actions and results in the language chosen now.
    OperationLog_ADO->setValueTexts(QStringLiteral("Action"), qv::oplog::actionTexts());
    OperationLog_ADO->setValueTexts(QStringLiteral("Result"), qv::oplog::resultTexts());
    const qv::RecordSearch search = qv::operationLogSearch(Search());
    runQuery(search.select, search.binds, search.orderBy);
}

void TOperationLog_Form::Verify_BtClick() {
    const qv::oplog::ChainReport report = qv::oplog::verifyOperationLog(dm->conn);
    if (report.intact()) {
        qv::messageBox(
            qv::noticeTitle(),
            qv::programText(QStringLiteral("操作日志完整：共 %1 行，没有被修改或删除的行。"
                                           "\n最后一行的校验值：%2"))
                .arg(report.rows)
                .arg(report.lastHash),
            qv::Icon::Information);
        return;
    }
    QStringList lines;
    for (const qv::oplog::ChainProblem& p : report.problems) {
        lines << p.text();
    }
    qv::messageBox(qv::noticeTitle(),
                   qv::programText(QStringLiteral("操作日志已被改动：\n%1"))
                       .arg(lines.join(QStringLiteral("\n"))),
                   qv::Icon::Warning);
}

void TOperationLog_Form::Print_BtClick() {
    printRecords();
}
