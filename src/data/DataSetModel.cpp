#include "data/DataSetModel.h"

#include "platform/Guard.h"

namespace qv {

DataSetModel::DataSetModel(DataSet* dataSet, QObject* parent) : QAbstractTableModel(parent) {
    setDataSet(dataSet);
}

void DataSetModel::setDataSet(DataSet* dataSet) {
    beginResetModel();
    if (dataSet_) {
        disconnect(dataSet_, nullptr, this, nullptr);
    }
    dataSet_ = dataSet;
    if (dataSet_) {
        connect(dataSet_, &DataSet::reset, this, &DataSetModel::resetFromDataSet);
        connect(dataSet_, &DataSet::rowChanged, this, [this](int row) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
        connect(dataSet_, &DataSet::rowInserted, this, [this](int row) {
            if (pendingInsert_ && row == dataSet_->recordCount() - 1) {
                // The appended row the grid already shows has been stored.
                pendingInsert_ = false;
                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
                return;
            }
            beginInsertRows({}, row, row);
            endInsertRows();
        });
        connect(dataSet_, &DataSet::rowRemoved, this, [this](int row) {
            beginRemoveRows({}, row, row);
            endRemoveRows();
        });
        connect(dataSet_, &DataSet::stateChanged, this, &DataSetModel::followState);
        connect(dataSet_, &DataSet::editValueChanged, this, [this](int field) {
            const int row = pendingRow();
            if (row < 0) {
                return;
            }
            for (int c = 0; c < columnCount(); ++c) {
                if (fieldIndex(c) == field) {
                    emit dataChanged(index(row, c), index(row, c));
                }
            }
        });
    }
    pendingInsert_ = false;
    endResetModel();
}

void DataSetModel::resetFromDataSet() {
    beginResetModel();
    pendingInsert_ = false;
    endResetModel();
}

void DataSetModel::setEditableFields(const QStringList& fields) {
    const bool wasEditable = !editable_.isEmpty();
    editable_ = fields;
    if (wasEditable != !editable_.isEmpty()) {
        beginResetModel();
        pendingInsert_ =
            !editable_.isEmpty() && dataSet_ && dataSet_->state() == DataSet::State::Insert;
        endResetModel();
    }
}

int DataSetModel::pendingRow() const {
    if (editable_.isEmpty() || !dataSet_) {
        return -1;
    }
    if (pendingInsert_) {
        return dataSet_->recordCount();
    }
    if (dataSet_->state() == DataSet::State::Edit) {
        return dataSet_->recNo() - 1;
    }
    return -1;
}

void DataSetModel::followState() {
    if (editable_.isEmpty() || !dataSet_) {
        return;
    }
    const bool inserting = dataSet_->state() == DataSet::State::Insert;
    const int row = dataSet_->recordCount();
    if (inserting && !pendingInsert_) {
        beginInsertRows({}, row, row);
        pendingInsert_ = true;
        endInsertRows();
    } else if (!inserting && pendingInsert_) {
        // The appended row was cancelled (a stored one arrives as rowInserted).
        beginRemoveRows({}, row, row);
        pendingInsert_ = false;
        endRemoveRows();
    }
    allRowsChanged();  // rows are enabled or disabled with a pending row
}

void DataSetModel::allRowsChanged() {
    if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void DataSetModel::setColumns(const QStringList& fields, const QStringList& titles) {
    beginResetModel();
    fields_ = fields;
    titles_.clear();
    for (int i = 0; i < titles.size(); ++i) {
        if (!titles[i].isEmpty()) {
            titles_.insert(i, titles[i]);
        }
    }
    endResetModel();
}

int DataSetModel::fieldIndex(int column) const {
    if (!dataSet_) {
        return -1;
    }
    if (fields_.isEmpty()) {
        return column;
    }
    return column < fields_.size() ? dataSet_->fieldIndex(fields_[column]) : -1;
}

QString DataSetModel::fieldOfColumn(int column) const {
    if (!fields_.isEmpty()) {
        return fields_.value(column);
    }
    return dataSet_ ? dataSet_->fieldName(column) : QString();
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !dataSet_) {
        return 0;
    }
    return dataSet_->recordCount() + (pendingInsert_ ? 1 : 0);
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !dataSet_) {
        return 0;
    }
    return fields_.isEmpty() ? dataSet_->fieldCount() : static_cast<int>(fields_.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !dataSet_ || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const int f = fieldIndex(index.column());
    if (f < 0) {
        return {};
    }
    if (index.row() == pendingRow()) {
        const QVariant pending = dataSet_->value(f);
        return role == Qt::DisplayRole ? QVariant(DataSet::displayText(pending)) : pending;
    }
    return role == Qt::DisplayRole ? QVariant(dataSet_->textAt(index.row(), f))
                                   : dataSet_->valueAt(index.row(), f);
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid() || editable_.isEmpty()) {
        return flags;
    }
    const int pending = pendingRow();
    if (pending >= 0 && index.row() != pending) {
        return Qt::NoItemFlags;
    }
    if (editable_.contains(fieldOfColumn(index.column()), Qt::CaseInsensitive)) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !dataSet_ || !dataSet_->active() ||
        !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    const int f = fieldIndex(index.column());
    if (f < 0) {
        return false;
    }
    const bool pending = index.row() == pendingRow();
    const QVariant old = pending ? dataSet_->value(f) : dataSet_->valueAt(index.row(), f);
    if (DataSet::displayText(old) == DataSet::displayText(value)) {
        return false;  // nothing changed: no editing starts
    }
    bool done = false;
    // A grid commits its editor from the event loop: errors end here, shown.
    guarded([&] {
        if (!pending) {
            dataSet_->moveTo(index.row() + 1);
        }
        dataSet_->setValue(f, value);  // starts editing a stored row
        done = true;
    });
    if (done) {
        emit dataChanged(index, index);
    }
    return done;
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    if (titles_.contains(section)) {
        return titles_.value(section);
    }
    return fieldOfColumn(section);
}

bool DataSetModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                 int role) {
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole) ||
        section < 0) {
        return false;
    }
    titles_.insert(section, value.toString());
    emit headerDataChanged(orientation, section, section);
    return true;
}

}  // namespace qv
