#pragma once

#include "data/DataSet.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>

namespace qv {

// The rows of a DataSet for a grid (the data source of a table component).
// Read-only unless editable fields are named; column titles can be set per
// column (the language store sets them), and columns can be limited to a
// chosen list in a chosen order.
//
// With editable fields the grid edits the data set in place: setting a cell
// of a stored row starts editing that row (a value equal to the stored one
// changes nothing), and the row being edited or appended is shown with its
// pending values, an appended row as the last row of the grid. While a row is
// pending every other row is disabled, so the grid stays on it until the
// data set posts or cancels it.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(DataSet* dataSet = nullptr, QObject* parent = nullptr);

    void setDataSet(DataSet* dataSet);
    DataSet* dataSet() const { return dataSet_; }
    // Show only these fields, in this order, with these titles (empty title: the field name).
    void setColumns(const QStringList& fields, const QStringList& titles = {});
    QString fieldOfColumn(int column) const;
    // The fields the grid may edit (empty: a read-only grid, the default).
    void setEditableFields(const QStringList& fields);
    QStringList editableFields() const { return editable_; }
    // The grid row of the row being edited or appended, -1 when none.
    int pendingRow() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

private:
    int fieldIndex(int column) const;
    void resetFromDataSet();
    void followState();
    void allRowsChanged();

    QPointer<DataSet> dataSet_;
    QStringList fields_;
    QHash<int, QString> titles_;
    QStringList editable_;
    bool pendingInsert_ = false;  // the appended row is shown as the last row
};

}  // namespace qv
