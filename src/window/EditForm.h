#pragma once

#include "data/DataSet.h"
#include "window/Form.h"

#include <QStringList>

class QCloseEvent;
class QHBoxLayout;
class QPushButton;

namespace qv {
class RecordGrid;

// The base of the windows that edit one table (rooms, room types, districts,
// operators): a grid of the table's rows and add / edit / save / delete /
// cancel on its current row. Values are bound; the table's checks before a
// row is stored (`Table->beforePost`, e.g. the data module's) run on save and
// keep the row in editing when they refuse it; a database error is shown
// through the error box and the row stays in editing, nothing lost. A window
// closed with a change pending stores nothing.
//
// The window builds its widgets, opens `Table` (table mode or a query with
// an update table) and overrides:
//   showRecord()  - fill the boxes from the current row (or clear them);
//   fillRecord()  - copy the boxes into the row being edited (checks that
//                   need a message may call qv::abortSilently() after it);
//   modeChanged() - enable or disable its buttons and boxes for the mode.
class EditForm : public Form {
    Q_OBJECT
public:
    ~EditForm() override;

    enum class Mode { Browse, Add, Edit };

    DataSet* Table;
    RecordGrid* Table_Grid;  // named by the window

    Mode mode() const { return mode_; }
    bool editing() const { return mode_ != Mode::Browse; }

    // A new row: the boxes are cleared by showRecord() on the empty row.
    void addRecord();
    // Edits the current row; nothing when there is none.
    void editRecord();
    // Stores the row being edited (fillRecord, the checks, the statement).
    // True when it was stored; false (the row stays in editing) when a check
    // refused it or the database failed, after the message.
    bool saveRecord();
    // Drops the pending change and shows the stored row again.
    void cancelRecord();
    // Deletes the current row after the question `question` (OK/Cancel, when
    // not empty). True when a row was deleted.
    bool deleteRecord(const QString& question = QString());

protected:
    EditForm(const QString& name, const QString& caption, const QString& gridName, QWidget* parent);

    virtual void showRecord() {}
    virtual void fillRecord() {}
    virtual void modeChanged() {}
    // After a row was stored or deleted (the room board, for instance).
    virtual void recordsChanged() {}

    // Writes each row that post() or deleteRecord() stores or deletes to the
    // operations log, in the write's transaction: `added`, `changed` and
    // `deleted` are the actions (qv::oplog::Actions; nullptr: not written
    // this way), the row's `objectColumn` names it, an update lists the
    // columns it changed with their values before and after.
    void logWrites(const char* added, const char* changed, const char* deleted,
                   const QString& objectColumn);

    void setMode(Mode mode);
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    Mode mode_ = Mode::Browse;
};

}  // namespace qv
