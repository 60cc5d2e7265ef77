#include "window/EditForm.h"

#include "data/OperationLog.h"
#include "data/dm_unit.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/ProgramText.h"
#include "window/RecordGrid.h"

#include <QCloseEvent>

namespace qv {

EditForm::EditForm(const QString& name, const QString& caption, const QString& gridName,
                   QWidget* parent)
    : Form(name, caption, parent) {
    Table = new DataSet(dm->conn, this);
    Table->setObjectName(name + QStringLiteral("_ado"));
    Table_Grid = new RecordGrid(gridName, Table, this);
    connect(Table_Grid, &RecordGrid::currentRecordChanged, this, [this] {
        if (!editing()) {
            guarded([this] { showRecord(); });
        }
    });
}

EditForm::~EditForm() {
    // The grid outlives this part of the window while its widgets go; it must
    // not call back into it.
    disconnect(Table_Grid, nullptr, this, nullptr);
}

void EditForm::logWrites(const char* added, const char* changed, const char* deleted,
                         const QString& objectColumn) {
    Table->afterWrite = [=, this](const DataSet::RowWrite& write) {
        const char* action = write.kind == DataSet::WriteKind::Inserted  ? added
                             : write.kind == DataSet::WriteKind::Updated ? changed
                                                                         : deleted;
        if (!action) {
            return;
        }
        oplog::Entry e;
        e.action = QLatin1String(action);
        e.object = DataSet::displayText(write.row.value(objectColumn));
        QStringList parts;
        for (const QString& column : write.changed) {
            parts << QStringLiteral("%1: %2 -> %3")
                         .arg(column, DataSet::displayText(write.before.value(column)),
                              DataSet::displayText(write.row.value(column)));
        }
        e.detail = parts.join(QStringLiteral("; "));
        oplog::appendOperation(Table->connection(), e);
    };
}

void EditForm::setMode(Mode mode) {
    mode_ = mode;
    Table_Grid->setEnabled(mode == Mode::Browse);
    modeChanged();
}

void EditForm::addRecord() {
    if (editing()) {
        cancelRecord();
    }
    Table->append();
    setMode(Mode::Add);
    showRecord();
}

void EditForm::editRecord() {
    if (editing() || !Table->active() || Table->isEmpty()) {
        return;
    }
    Table->edit();
    setMode(Mode::Edit);
}

bool EditForm::saveRecord() {
    if (!editing()) {
        return false;
    }
    try {
        fillRecord();
        Table->post();
    } catch (const Abort&) {
        return false;  // a check said why; the row stays in editing
    } catch (const Error& e) {
        showError(e.text());
        return false;
    }
    setMode(Mode::Browse);
    Table_Grid->selectRow(Table->recNo() - 1);
    showRecord();
    recordsChanged();
    return true;
}

void EditForm::cancelRecord() {
    if (Table->state() == DataSet::State::Edit || Table->state() == DataSet::State::Insert) {
        Table->cancel();
    }
    setMode(Mode::Browse);
    showRecord();
}

bool EditForm::deleteRecord(const QString& question) {
    if (editing() || !Table->active() || Table->isEmpty()) {
        return false;
    }
    if (!question.isEmpty() &&
        messageBox(qv::noticeTitle(), question, Icon::Question, Buttons::OkCancel) != Answer::Ok) {
        return false;
    }
    const int row = Table->recNo() - 1;
    Table->deleteRecord();
    Table_Grid->selectRow(row);
    showRecord();
    recordsChanged();
    return true;
}

void EditForm::reject() {
    // Nothing pending is stored when the window closes.
    if (editing()) {
        cancelRecord();
    }
    Form::reject();
}

void EditForm::closeEvent(QCloseEvent* event) {
    if (editing()) {
        cancelRecord();
    }
    Form::closeEvent(event);
}

}  // namespace qv
