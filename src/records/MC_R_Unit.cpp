#include "records/MC_R_Unit.h"

#include "data/Session.h"
#include "language/ComponentText.h"

#include "card/CardRecords.h"
#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "printing/PrintLibrary.h"
#include "records/UnconfirmedCards_Unit.h"
#include "window/DatePicker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>

namespace {

const QString kDateFormat = QStringLiteral("yyyy年M月d日");
const QString kQuestionDateFormat = QStringLiteral("yyyy-MM-dd");

const QStringList kFields = {"C_Title",   "Rom",       "Holder",  "MakeName", "RoomStr",
                             "InputTime", "StartTime", "EndTime", "Explain"};
const QStringList kTitles = {"卡种类",   "卡号",     "持卡人",   "发卡人", "房间",
                             "发卡时间", "起始时间", "结束时间", "摘要"};
const QList<int> kHiddenColumns = {1, 6, 8};  // Rom, StartTime, Explain

const QColor kOutcomeUnknown(255, 214, 140);  // amber
const QColor kCancelled(220, 220, 220);       // grey

// Cards whose writing was never confirmed stand out on amber, cancelled
// cards on grey, each with a hint: the rows the old-record deletion keeps.
// The column of the card kind (C_Title, the first of kFields).
constexpr int kKindColumn = 0;

class CardRowDelegate final : public QStyledItemDelegate {
public:
    CardRowDelegate(const TMC_R_From* form, QObject* parent)
        : QStyledItemDelegate(parent), form_(form) {}

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == kKindColumn) {
            option->text = CardTypeText(option->text);  // the kind in the chosen language
        }
        if (form_->IsOutcomeUnknownRow(index.row())) {
            option->backgroundBrush = kOutcomeUnknown;
        } else if (form_->RowState(index.row()) == CardLogStates::Cancelled) {
            option->backgroundBrush = kCancelled;
        }
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() == QEvent::ToolTip) {
            if (const QString tip = form_->RowHint(index.row()); !tip.isEmpty()) {
                QToolTip::showText(event->globalPos(), tip, view);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    const TMC_R_From* form_;
};

}  // namespace

TMC_R_From::TMC_R_From(QWidget* parent)
    : QueryForm(QStringLiteral("MC_R_From"), QStringLiteral("查询发卡记录"),
                QStringLiteral("DBGrid1"), qv::PrintKind::CardIssues, parent,
                Options{.captureTexts = CaptureTexts::FromVariable}) {
    using qv::make;
    QWidget* area = FilterArea;

    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("查询时段：从"), area);
    DateStart_Dtp = new qv::DatePicker(QStringLiteral("DateStart_Dtp"), kDateFormat, area);
    Label1->setBuddy(DateStart_Dtp);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("至"), area);
    DateEnd_Dtp = new qv::DatePicker(QStringLiteral("DateEnd_Dtp"), kDateFormat, area);
    Label2->setBuddy(DateEnd_Dtp);
    Label3 = make<QLabel>(QStringLiteral("Label3"), QStringLiteral("卡类型："), area);
    CardType_CB = make<QComboBox>(QStringLiteral("CardType_CB"), area);
    qv::language::markRuntimeText(CardType_CB);
    CardType_CB->setMaxVisibleItems(15);
    CardType_CB->setMinimumContentsLength(8);
    Label3->setBuddy(CardType_CB);
    Check_Bt = make<QPushButton>(QStringLiteral("Check_Bt"), QStringLiteral("查 询(&R)"), area);
    Check_Bt->setDefault(true);

    CheckBox1 = make<QCheckBox>(QStringLiteral("CheckBox1"), QStringLiteral("卡类型："), area);
    CheckBox2 = make<QCheckBox>(QStringLiteral("CheckBox2"), QStringLiteral("操作员："), area);
    ComboBox1 = make<QComboBox>(QStringLiteral("ComboBox1"), area);
    CheckBox3 = make<QCheckBox>(QStringLiteral("CheckBox3"), QStringLiteral("全部记录"), area);
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{CheckBox1, CheckBox2, ComboBox1, CheckBox3}) {
        hidden->hide();
    }

    auto* filters = new QHBoxLayout(area);
    filters->setContentsMargins(0, 0, 0, 0);
    filters->addWidget(Label1);
    filters->addWidget(DateStart_Dtp);
    filters->addWidget(Label2);
    filters->addWidget(DateEnd_Dtp);
    filters->addSpacing(16);
    filters->addWidget(Label3);
    filters->addWidget(CardType_CB);
    filters->addSpacing(16);
    filters->addWidget(Check_Bt);
    filters->addStretch();

    Button1 = make<QPushButton>(QStringLiteral("Button1"), QStringLiteral("打 印(&P)"), this);
    Button1->setAutoDefault(false);
    Button1->hide();
    DeleteOldData_Bt = make<QPushButton>(QStringLiteral("DeleteOldData_Bt"),
                                         QStringLiteral("删除两个月以上制卡记录"), this);
    DeleteOldData_Bt->setAutoDefault(false);
    DeleteOldData_Bt->setEnabled(false);
    Unconfirmed_Bt = make<QPushButton>(QStringLiteral("Unconfirmed_Bt"),
                                       QStringLiteral("发卡结果不明的卡(&U)…"), this);
    Unconfirmed_Bt->setAutoDefault(false);
    BitBtn2 = make<QPushButton>(QStringLiteral("BitBtn2"), QStringLiteral("关 闭(&C)"), this);
    BitBtn2->setAutoDefault(false);
    Buttons_Layout->insertWidget(0, DeleteOldData_Bt);
    Buttons_Layout->insertWidget(1, Unconfirmed_Bt);
    Buttons_Layout->addWidget(Button1);
    Buttons_Layout->addWidget(BitBtn2);
    addStatusPanels(2);  // the status bar's second and third panels, empty

    DBGrid1 = Records_Grid;
    MC_S_ADO = Records;
    setColumns(kFields, kTitles);
    for (int c : kHiddenColumns) {
        DBGrid1->setColumnHidden(c, true);
    }
    DBGrid1->setColumnWidth(0, 90);
    DBGrid1->setColumnWidth(2, 110);
    DBGrid1->setColumnWidth(3, 90);
    DBGrid1->setColumnWidth(4, 70);
    DBGrid1->setColumnWidth(5, 150);
    DBGrid1->setItemDelegate(new CardRowDelegate(this, DBGrid1));

    setTabOrder(DateStart_Dtp, DateEnd_Dtp);
    setTabOrder(DateEnd_Dtp, CardType_CB);
    setTabOrder(CardType_CB, Check_Bt);
    setTabOrder(Check_Bt, DBGrid1);
    setTabOrder(DBGrid1, DeleteOldData_Bt);
    setTabOrder(DeleteOldData_Bt, Unconfirmed_Bt);
    setTabOrder(Unconfirmed_Bt, BitBtn2);

    connect(Check_Bt, &QPushButton::clicked, this, qv::slot(this, &TMC_R_From::Check_BtClick));
    connect(CardType_CB, &QComboBox::currentIndexChanged, this,
            [this] { qv::guarded([this] { Check_BtClick(); }); });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this,
            [this] { qv::guarded([this] { Check_BtClick(); }); });
    connect(Button1, &QPushButton::clicked, this, qv::slot(this, &TMC_R_From::Button1Click));
    connect(DeleteOldData_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TMC_R_From::DeleteOldData_BtClick));
    connect(Unconfirmed_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TMC_R_From::Unconfirmed_BtClick));
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    resize(900, 560);
    FormCreate();
}

TMC_R_From::~TMC_R_From() = default;

void TMC_R_From::FormCreate() {
    QueryForm::FormCreate();
    const QDate today = qv::Clock::now().date();
    DateStart_Dtp->setDate(today);
    DateEnd_Dtp->setDate(today);
    // Filling the list is no choice of the operator's: it runs no search.
    {
        const QSignalBlocker quiet(CardType_CB);
        QStringList items;
        qv::guarded([&] { GetDataTypeItems(items); });
        // The kinds' names are the database's and the search goes by them
        // (the item's data); the list shows them in the chosen language.
        CardType_CB->clear();
        for (const QString& title : items) {
            CardType_CB->addItem(CardTypeText(title), title);
        }
        // The last item stands for every kind.
        CardType_CB->addItem(message(1, QStringLiteral("全部卡类")));
        CardType_CB->setCurrentIndex(CardType_CB->count() - 1);
    }
    qv::guarded([this] {
        DeleteOldData_Bt->setEnabled(qv::session().hasRight(QStringLiteral("SystemInfo")));
    });
    qv::guarded([this] { MakeCardRecordList(); });
    DateStart_Dtp->setFocus();
}

void TMC_R_From::GetDataTypeItems(QStringList& items) {
    items = qv::cardTypeTitles(dm->conn);
}

qv::CardIssueSearch TMC_R_From::Search() const {
    qv::CardIssueSearch s;
    s.issued = {DateStart_Dtp->date(), DateEnd_Dtp->date()};
    const int kind = CardType_CB->currentIndex();
    if (kind >= 0 && kind < CardType_CB->count() - 1) {
        s.cardTitle = CardType_CB->itemData(kind).toString();
    }
    return s;
}

void TMC_R_From::MakeCardRecordList() {
    const qv::RecordSearch search = qv::cardIssueSearch(Search());
    runQuery(search.select, search.binds, search.orderBy);
}

void TMC_R_From::Check_BtClick() {
    MakeCardRecordList();
}

void TMC_R_From::Button1Click() {
    printRecords();
}

void TMC_R_From::DeleteOldData_BtClick() {
    const QDate cutOff = qv::cardRecordCutOff(qv::Clock::now().date());
    const qv::Answer answer =
        qv::messageBox(qv::programText(QStringLiteral("信息提示")),
                       qv::programText(QStringLiteral("是否要删除%1以前的制卡记录?"))
                           .arg(cutOff.toString(kQuestionDateFormat)),
                       qv::Icon::Question, qv::Buttons::OkCancel);
    if (answer != qv::Answer::Ok) {
        return;
    }
    // Millions of rows go in steps under a progress window: the desk stays
    // painted, and Cancel stops after the step under way.
    qv::CardRecordPurge purge;
    {
        const std::unique_ptr<QProgressDialog> progress = progressWindow(
            QStringLiteral("DeleteProgress"),
            qv::programText(QStringLiteral("正在删除%1以前的制卡记录……"))
                .arg(cutOff.toString(kQuestionDateFormat)),
            0);
        keepPainted();
        purge = qv::deleteCardRecordsUpTo(dm->conn, cutOff, [&](int removed) {
            progress->setLabelText(qv::programText(QStringLiteral("已删除 %1 条制卡记录……"))
                                       .arg(removed));
            progress->setValue(0);
            keepPainted();
            return !progress->wasCanceled();
        });
    }
    MakeCardRecordList();
    QString text = qv::programText(QStringLiteral("已删除 %1 条制卡记录。")).arg(purge.removed);
    if (purge.keptUnconfirmed > 0) {
        text += '\n' + qv::programText(QStringLiteral("保留了 %1 条写卡结果不明或记录未保存的制卡"
                                                      "记录：这些卡可能已经写好并能开门，"
                                                      "请先处理它们。"))
                           .arg(purge.keptUnconfirmed);
    }
    if (purge.keptCancelled > 0) {
        text += '\n' + qv::programText(QStringLiteral("保留了 %1 条已注销的制卡记录：丢失的卡"
                                                      "可能仍然存在。"))
                           .arg(purge.keptCancelled);
    }
    qv::messageBox(qv::noticeTitle(), text, qv::Icon::Information);
}

void TMC_R_From::Unconfirmed_BtClick() {
    TUnconfirmedCards_Form f(this);
    f.exec();
    MakeCardRecordList();  // the rows settled there change their marks
}

bool TMC_R_From::IsOutcomeUnknownRow(int row) const {
    return MC_S_ADO->value(row, QStringLiteral("OutcomeUnknown")).toInt() != 0;
}

int TMC_R_From::RowState(int row) const {
    const QVariant state = MC_S_ADO->value(row, QStringLiteral("CardState"));
    return state.isValid() ? state.toInt() : CardLogStates::Written;
}

QString TMC_R_From::RowHint(int row) const {
    if (IsOutcomeUnknownRow(row)) {
        return CardStateText(RowState(row)) + '\n' +
               qv::programText(
                   QStringLiteral("写卡结果未确认：此卡可能已经写成，请读卡核对或注销。"));
    }
    if (RowState(row) == CardLogStates::Cancelled) {
        return qv::programText(QStringLiteral("此卡已注销（已擦除，或已登记为丢失或损坏）。"));
    }
    return QString();
}

QString TMC_R_From::statusText() const {
    return message(0, QStringLiteral("记录：")) + QString::number(currentRecordNumber()) + '/' +
           totalText();
}
