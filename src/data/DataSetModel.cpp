#include "data/DataSetModel.h"

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
            beginInsertRows({}, row, row);
            endInsertRows();
        });
        connect(dataSet_, &DataSet::rowRemoved, this, [this](int row) {
            beginRemoveRows({}, row, row);
            endRemoveRows();
        });
    }
    endResetModel();
}

void DataSetModel::resetFromDataSet() {
    beginResetModel();
    endResetModel();
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
    return parent.isValid() || !dataSet_ ? 0 : dataSet_->recordCount();
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
    return role == Qt::DisplayRole ? QVariant(dataSet_->textAt(index.row(), f))
                                   : dataSet_->valueAt(index.row(), f);
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
