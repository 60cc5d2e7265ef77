#include "window/QueryForm.h"

#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "platform/Named.h"
#include "records/PrintLibrary.h"
#include "window/RecordGrid.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace qv {

QueryForm::QueryForm(const QString& name, const QString& caption, const QString& gridName,
                     PrintKind printKind, QWidget* parent)
    : QueryForm(name, caption, gridName, printKind, parent, Options{}) {}

QueryForm::QueryForm(const QString& name, const QString& caption, const QString& gridName,
                     PrintKind printKind, QWidget* parent, Options options)
    : Form(name, caption, parent, options), printKind_(printKind) {
    FilterArea = make<QWidget>(QStringLiteral("FilterArea"), this);
    Records = new PagedQueryModel(dm->conn, this);
    Records_Grid = make<QTableView>(gridName, this);
    Records_Grid->setModel(Records);
    setRecordGridLook(Records_Grid);
    Records_Grid->setMinimumHeight(240);
    StatusBar1 = make<QStatusBar>(QStringLiteral("StatusBar1"), this);
    StatusBar1->setSizeGripEnabled(true);
    status_ = new QLabel(StatusBar1);
    StatusBar1->addWidget(status_, 1);

    Buttons_Layout = new QHBoxLayout;
    Buttons_Layout->addStretch();
    Body_Layout = new QVBoxLayout(this);
    Body_Layout->setContentsMargins(8, 8, 8, 0);
    Body_Layout->addWidget(FilterArea);
    Body_Layout->addWidget(Records_Grid, 1);
    Body_Layout->addLayout(Buttons_Layout);
    Body_Layout->addWidget(StatusBar1);

    connect(Records_Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                showStatus();
                currentRowChanged(current.isValid() ? current.row() : -1);
            });
    connect(Records, &QAbstractItemModel::modelReset, this, [this] { showStatus(); });
    connect(Records, &QAbstractItemModel::rowsInserted, this, [this] { showStatus(); });
    connect(Records, &PagedQueryModel::totalRowsChanged, this, [this] { showStatus(); });
    showStatus();
}

QueryForm::~QueryForm() = default;

void QueryForm::addStatusPanels(int count) {
    for (int i = 1; i <= count; ++i) {
        auto* panel = make<QLabel>(QStringLiteral("StatusBar1_Panel%1").arg(i), StatusBar1);
        panel->setMinimumWidth(80);
        StatusBar1->addWidget(panel, 1);
    }
}

void QueryForm::setColumns(const QStringList& fields, const QStringList& titles) {
    Records->setColumns(fields, titles);
}

void QueryForm::runQuery(const QString& selectText, const Binds& binds, const QString& orderBy) {
    Records->setQuery(selectText, binds, orderBy);
    Records->refresh();
    if (Records->rowCount() > 0) {
        Records_Grid->selectionModel()->setCurrentIndex(
            Records->index(0, firstVisibleColumn(Records_Grid)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        currentRowChanged(-1);
    }
    showStatus();
}

QVariant QueryForm::currentValue(const QString& field) const {
    const QModelIndex i = Records_Grid->currentIndex();
    return i.isValid() ? Records->value(i.row(), field) : QVariant();
}

void QueryForm::printRecords() {
    QStringList titles;
    const QList<QStringList> rows = Records->allRowsText(&titles);
    qv::printRecords(makeRecordset(titles, rows), printKind_, this);
}

int QueryForm::currentRecordNumber() const {
    const QModelIndex i = Records_Grid->currentIndex();
    return i.isValid() && Records->rowCount() > 0 ? i.row() + 1 : 0;
}

QString QueryForm::totalText() const {
    const QString total = QString::number(Records->totalRows());
    return Records->totalKnown() ? total : total + '+';
}

QString QueryForm::statusText() const {
    // Message line 0 of a query window is its records label.
    return message(0, QStringLiteral("记录：")) +
           QStringLiteral("%1 / %2").arg(currentRecordNumber()).arg(totalText());
}

QString QueryForm::StatusText() const {
    return status_->text();
}

void QueryForm::currentRowChanged(int) {}

void QueryForm::showStatus() {
    status_->setText(statusText());
}

}  // namespace qv
