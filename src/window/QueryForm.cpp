#include "window/QueryForm.h"

#include "data/PagedQueryModel.h"
#include "data/dm_unit.h"
#include "platform/Dialogs.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "printing/PrintLibrary.h"
#include "window/RecordGrid.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <malloc.h>

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
    // A long list is read and laid out for some time: the operator is asked
    // first, with the number of records.
    Records->countRows();
    const int total = Records->totalRows();
    if (total > kPrintQuestionRows &&
        messageBox(noticeTitle(),
                   programText(QStringLiteral("要打印的记录共有 %1 条，读取和排版需要一些时间。"
                                              "确定要打印吗？"))
                       .arg(total),
                   Icon::Question, Buttons::OkCancel) != Answer::Ok) {
        return;
    }
    {
        // Read a page at a time into a compact table, with the count read so
        // far; Cancel stops the reading and nothing is printed.
        PrintRows rows(Records->columnTitles());
        const std::unique_ptr<QProgressDialog> window =
            progressWindow(QStringLiteral("PrintProgress"),
                           programText(QStringLiteral("正在读取要打印的记录……")), std::max(1, total));
        QProgressDialog& progress = *window;
        const bool complete = Records->readAllPages(
            PagedQueryModel::kPrintPageRows, [&](const QList<QStringList>& page) {
                for (const QStringList& row : page) {
                    rows.append(row);
                }
                progress.setValue(static_cast<int>(std::min<qsizetype>(rows.rowCount(), total)));
                keepPainted();
                return !progress.wasCanceled();
            });
        progress.reset();
        if (!complete) {
            return;
        }
        qv::printRecords(makeRecordset(std::move(rows)), printKind_, this);
    }
    // The list's texts were many small blocks: what the heap keeps free of
    // them goes back to the system, so the desk does not stay large.
    malloc_trim(0);
}

std::unique_ptr<QProgressDialog> QueryForm::progressWindow(const QString& objectName,
                                                           const QString& label, int maximum) {
    auto progress = std::make_unique<QProgressDialog>(label, programText(QStringLiteral("取消")), 0,
                                                      maximum, this);
    progress->setObjectName(objectName);
    progress->setWindowTitle(windowTitle());
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(400);
    progress->setValue(0);
    return progress;
}

void QueryForm::keepPainted() {
    // The desk stays painted before the progress window shows; presses wait
    // until then (the window takes them).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
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
