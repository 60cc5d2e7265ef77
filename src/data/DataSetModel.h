#pragma once

#include "data/DataSet.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>

namespace qv {

// The rows of a DataSet for a grid (the data source of a table component).
// Read-only; column titles can be set per column (the language store sets
// them), and columns can be limited to a chosen list in a chosen order.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(DataSet* dataSet = nullptr, QObject* parent = nullptr);

    void setDataSet(DataSet* dataSet);
    DataSet* dataSet() const { return dataSet_; }
    // Show only these fields, in this order, with these titles (empty title: the field name).
    void setColumns(const QStringList& fields, const QStringList& titles = {});
    QString fieldOfColumn(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

private:
    int fieldIndex(int column) const;
    void resetFromDataSet();

    QPointer<DataSet> dataSet_;
    QStringList fields_;
    QHash<int, QString> titles_;
};

}  // namespace qv
