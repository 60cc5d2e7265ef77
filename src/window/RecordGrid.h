#pragma once

#include <QStringList>
#include <QTableView>

namespace qv {
class DataSet;
class DataSetModel;

// A read-only grid of records: whole rows, one at a time, on a data set
// (through a DataSetModel whose column titles the language store captures
// and replaces). The grid's current row and the data set's current record
// follow each other. A grid whose model names editable fields
// (records()->setEditableFields) edits the data set in place and stays on the
// row being edited or appended.
//
//   Stays_DBGrid = new RecordGrid("Stays_DBGrid", GL_ADO, this);
//   Stays_DBGrid->setColumns({"RoomStr"}, {"门牌号码"});
class RecordGrid : public QTableView {
    Q_OBJECT
public:
    RecordGrid(const QString& name, DataSet* dataSet, QWidget* parent);

    DataSet* dataSet() const { return dataSet_; }
    DataSetModel* records() const { return model_; }
    // The fields shown, in this order, with these column titles.
    void setColumns(const QStringList& fields, const QStringList& titles = {});

    // Makes row `row` (0-based, clamped to the rows there are) current and
    // selected; nothing when there are no rows.
    void selectRow(int row);
    // The current row, -1 when there is none.
    int currentRow() const;
    // "n / m": the current record and the number of records ("0 / 0" when empty).
    QString positionText() const;

signals:
    // The current record changed (by the grid or by the data set).
    void currentRecordChanged(int row);

private:
    void followDataSet();

    DataSet* dataSet_;
    DataSetModel* model_;
};

// Sets the usual look of a read-only grid on `view`: whole-row single
// selection, no editing, no row header, compact rows, Tab leaving the grid,
// and a current cell that is always in a column that shows (showCurrentCell
// whenever the grid gets the focus or a key).
void setRecordGridLook(QTableView* view);
// The first column that shows, in the order shown (0 when none does).
int firstVisibleColumn(const QTableView* view);
// Moves a current cell that sits in a hidden column to the first column that
// shows, in the same row.
void showCurrentCell(QTableView* view);

}  // namespace qv
