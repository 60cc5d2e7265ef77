#include "window/RecordGrid.h"

#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "platform/Named.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

namespace qv {

void setRecordGridLook(QTableView* view) {
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setTabKeyNavigation(false);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
}

RecordGrid::RecordGrid(const QString& name, DataSet* dataSet, QWidget* parent)
    : QTableView(parent), dataSet_(dataSet) {
    setObjectName(name);
    model_ = new DataSetModel(dataSet, this);
    setModel(model_);
    setRecordGridLook(this);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                // While a row is pending (edited or appended in the grid) the
                // data set stays on it, wherever the grid's cursor goes.
                if (current.isValid() && dataSet_ && model_->pendingRow() < 0 &&
                    current.row() + 1 != dataSet_->recNo()) {
                    dataSet_->moveTo(current.row() + 1);
                }
                emit currentRecordChanged(current.isValid() ? current.row() : -1);
            });
    if (dataSet_) {
        connect(dataSet_, &DataSet::scrolled, this, [this] { followDataSet(); });
        connect(dataSet_, &DataSet::reset, this, [this] { followDataSet(); });
    }
}

void RecordGrid::setColumns(const QStringList& fields, const QStringList& titles) {
    model_->setColumns(fields, titles);
}

void RecordGrid::followDataSet() {
    const int pending = model_->pendingRow();
    if (pending < 0 && (!dataSet_ || !dataSet_->active() || dataSet_->isEmpty())) {
        emit currentRecordChanged(-1);
        return;
    }
    const int row = pending >= 0 ? pending : dataSet_->recNo() - 1;
    if (currentIndex().row() != row) {
        selectionModel()->setCurrentIndex(
            model_->index(row, std::max(0, currentIndex().column())),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        emit currentRecordChanged(row);
    }
}

void RecordGrid::selectRow(int row) {
    if (!dataSet_ || !dataSet_->active() || dataSet_->isEmpty()) {
        return;
    }
    row = std::clamp(row, 0, dataSet_->recordCount() - 1);
    selectionModel()->setCurrentIndex(
        model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    dataSet_->moveTo(row + 1);
}

int RecordGrid::currentRow() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

QString RecordGrid::positionText() const {
    const int count = dataSet_ && dataSet_->active() ? dataSet_->recordCount() : 0;
    const int at = count > 0 ? dataSet_->recNo() : 0;
    return QStringLiteral("%1 / %2").arg(at).arg(count);
}

}  // namespace qv
