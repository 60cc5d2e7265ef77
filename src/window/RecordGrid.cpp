#include "window/RecordGrid.h"

#include "data/DataSet.h"
#include "data/DataSetModel.h"
#include "platform/Named.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

namespace qv {
namespace {

// Keeps the grid's current cell in a column that shows: when the grid gets
// the focus or a key, a current cell in a hidden column moves to the first
// visible column of its row, so that the arrow keys move from there.
class VisibleCurrentCell final : public QObject {
public:
    explicit VisibleCurrentCell(QTableView* view) : QObject(view), view_(view) {
        view->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::KeyPress) {
            showCurrentCell(view_);
        }
        return false;
    }

private:
    QTableView* view_;
};

}  // namespace

int firstVisibleColumn(const QTableView* view) {
    const QHeaderView* header = view->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical)) {
            return logical;
        }
    }
    return 0;
}

void showCurrentCell(QTableView* view) {
    QItemSelectionModel* selection = view->selectionModel();
    const QModelIndex current = view->currentIndex();
    if (!selection || !current.isValid() || !view->isColumnHidden(current.column())) {
        return;
    }
    // The row and its selection stay; only the cell moves.
    selection->setCurrentIndex(current.siblingAtColumn(firstVisibleColumn(view)),
                               QItemSelectionModel::NoUpdate);
}

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
    new VisibleCurrentCell(view);
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
            model_->index(row, currentIndex().isValid() && !isColumnHidden(currentIndex().column())
                                   ? currentIndex().column()
                                   : firstVisibleColumn(this)),
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
        model_->index(row, firstVisibleColumn(this)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
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
