#pragma once

#include "data/Connection.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVector>

#include <functional>

class QThread;

namespace qv {

// The rows of a record query for a grid, read a page at a time as the grid
// scrolls to them: a search that matches hundreds of thousands of rows shows
// its first page at once. The query is given as its select ... from ...
// where text with bound values and, apart, its order; each page runs it again
// with a limit and an offset, so no cursor or lock is held between pages.
//
// The number of matching rows is known at once when they fit on the first
// page. A search that matches more shows its first page first; its rows are
// counted after, on a connection of their own in the background, so that
// neither the first screen nor the keys pressed meanwhile wait for the count
// (a database that cannot be opened twice, an SQLite one in memory, counts
// on the window's connection when the event loop next turns; countRows()
// counts at once). totalRowsChanged() tells when the number is known.
//
//   model->setQuery("select * from OpenDoorRecord where RoomStr = :room", {{":room", room}},
//                   "OpenTime desc, ID desc");
//   model->setColumns({"RoomStr", "OpenTime"}, {"门牌号码", "开门时间"});
//   model->refresh();
class PagedQueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageRows = 256;

    explicit PagedQueryModel(Connection& conn, QObject* parent = nullptr);
    // Waits for a count still running in the background.
    ~PagedQueryModel() override;

    // The query (trusted SQL with ":name" parameters) and its order, which
    // should end in a unique key so that pages never overlap.
    void setQuery(const QString& selectText, const Binds& binds, const QString& orderBy);
    // The fields shown, in this order, with these titles (empty: all fields of the query).
    void setColumns(const QStringList& fields, const QStringList& titles = {});
    QString fieldOfColumn(int column) const;
    // The texts shown (and printed) for the values of `field`: codes stored
    // in a column shown as words. A value not among them shows as it is.
    void setValueTexts(const QString& field, QHash<QString, QString> texts);

    // Reads the first page; the number of matching rows follows (see above).
    // Throws qv::DbError; a failing query leaves the rows shown before.
    void refresh();
    // Empties the model (no query run).
    void clear();

    // Rows the query matched when it was last run, once counted; until then
    // the rows read so far.
    int totalRows() const { return totalKnown_ ? total_ : static_cast<int>(rows_.size()); }
    bool totalKnown() const { return totalKnown_; }
    // Counts the matching rows now when they are not known yet. Throws qv::DbError.
    void countRows();
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;
    // Reads pages until row `row` (0-based) is read or the rows end.
    void fetchUntil(int row);

    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // The value of `field` in row `row` (read rows only), null when unknown.
    QVariant value(int row, const QString& field) const;
    // The titles of the shown columns.
    QStringList columnTitles() const;
    // Reads every matching row again, `pageRows` at a time, as display texts
    // of the shown columns, handing each page to `page`; false from it stops
    // the reading. False when stopped. Throws qv::DbError.
    static constexpr int kPrintPageRows = 2000;
    using PageReader = std::function<bool(const QList<QStringList>& rows)>;
    bool readAllPages(int pageRows, const PageReader& page) const;
    // Every matching row as display texts of the shown columns (read page by
    // page); with the column titles in `titles`.
    QList<QStringList> allRowsText(QStringList* titles = nullptr) const;

signals:
    // The number of matching rows became known.
    void totalRowsChanged(int total);

private:
    QList<QVector<QVariant>> readPage(int offset, int limit, QStringList* fieldNames) const;
    QString countText() const;
    // Counts the rows of the current search on a connection of its own;
    // false when the database cannot be opened again.
    bool countInBackground();
    void counted(quint64 generation, int total);
    int fieldIndex(int column) const;
    // The display text of `value` in column `column`.
    QString cellText(int column, const QVariant& value) const;

    Connection& conn_;
    QString select_;
    Binds binds_;
    QString orderBy_;
    QStringList fields_;       // shown fields (empty: every field)
    QStringList queryFields_;  // fields the query returns
    QHash<int, QString> titles_;
    QHash<QString, QHash<QString, QString>> valueTexts_;  // by field, in lower case
    QList<QVector<QVariant>> rows_;
    int total_ = 0;
    bool totalKnown_ = true;
    quint64 generation_ = 0;    // one per search, so a late count of an older one is dropped
    QList<QThread*> counting_;  // counts still running in the background
};

}  // namespace qv
