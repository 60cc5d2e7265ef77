#pragma once

#include "data/Connection.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace qv {

// A query or table on the lock database, read into memory when opened (a
// static cursor): walk its rows, read fields by name, and edit, append or
// delete the current row and post it back to its table. Values are bound,
// never spliced: SQL text holds ":name" parameters filled by bind(), and a
// table's filter is built from column/value pairs.
class DataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Filter = QList<QPair<QString, QVariant>>;

    explicit DataSet(Connection& conn, QObject* parent = nullptr);

    Connection& connection() const { return conn_; }

    // Query text, built line by line like the query components of the windows.
    void clearSql();
    void addSql(const QString& line);
    void setSql(const QString& text);
    QString sql() const { return sql_.join('\n'); }
    void bind(const QString& name, const QVariant& value);

    // Table mode: open() reads "select * from <table>" with the filter and order.
    void setTableName(const QString& table);
    QString tableName() const { return table_; }
    void setFilter(const Filter& columnValues);
    void clearFilter() { setFilter({}); }
    // Trusted column names only (never text typed by an operator).
    void setOrderBy(const QString& columns) { orderBy_ = columns; }
    // The table that edited rows of a query are posted to.
    void setUpdateTable(const QString& table) { updateTable_ = table; }

    void open();
    void close();
    // Reads the rows again, staying on the row with the same key if it is still there.
    void refresh();
    bool active() const { return state_ != State::Inactive; }
    State state() const { return state_; }
    // Runs the text as a statement without rows; the number of rows changed.
    int execSql();

    // Navigation; record numbers are 1-based, 0 when there is no row.
    bool isEmpty() const { return rows_.isEmpty(); }
    int recordCount() const { return static_cast<int>(rows_.size()); }
    int recNo() const { return isEmpty() ? 0 : current_ + 1; }
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int recNo);
    bool locate(const QString& column, const QVariant& value);

    // Fields of the current row (or of the row being edited).
    int fieldCount() const { return static_cast<int>(columns_.size()); }
    QString fieldName(int index) const { return columns_.value(index); }
    int fieldIndex(const QString& column) const;
    bool hasField(const QString& column) const { return fieldIndex(column) >= 0; }
    QVariant value(const QString& column) const;
    QVariant value(int index) const;
    QVariant valueAt(int row, int column) const;
    bool isNull(const QString& column) const { return value(column).isNull(); }
    QString text(const QString& column) const;  // display text; date-times "yyyy-MM-dd HH:mm:ss"
    QString textAt(int row, int column) const;
    int asInteger(const QString& column) const;

    // Editing the current row, or a new one, then post() or cancel().
    void edit();
    void append();
    void setValue(const QString& column, const QVariant& value);
    void setValue(int index, const QVariant& value);
    void post();
    void cancel();
    void deleteRecord();

    // Runs before a row is stored; may show a message and qv::abortSilently().
    std::function<void(DataSet&)> beforePost;
    // What a row stored or deleted by post() or deleteRecord() was.
    enum class WriteKind { Inserted, Updated, Deleted };
    struct RowWrite {
        WriteKind kind;
        QVariantMap row;      // the row as stored; for a deletion as it was
        QStringList changed;  // an update: the columns it changed
        QVariantMap before;   // an update: the row as it was read
    };
    // Runs after the statement of post() or deleteRecord(), in the same
    // transaction: when it throws, nothing of the write is stored (the
    // operations log row of the change, for instance).
    std::function<void(const RowWrite&)> afterWrite;

    static QString displayText(const QVariant& value);

signals:
    void reset();  // rows read again or closed
    void rowChanged(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    void scrolled(int row);  // the current row moved
    // The data set was opened or closed, or began or ended editing or appending.
    void stateChanged();
    // A field of the row being edited or appended was set.
    void editValueChanged(int column);

private:
    using Row = QVector<QVariant>;
    QString writeTable() const;
    QStringList keyColumns() const;
    void requireKeys(const QStringList& keys) const;
    void requireField(int index, const QString& column) const;
    void loadFrom(QSqlQuery& q, bool keepColumns = false);
    Row readRow(const QSqlQuery& q) const;
    void setCurrent(int row);
    const Row* currentRow() const;

    Connection& conn_;
    QStringList sql_;
    Binds binds_;
    QString table_;
    QString updateTable_;
    Filter filter_;
    QString orderBy_;

    QStringList columns_;
    QVector<bool> dateTime_;
    QList<Row> rows_;
    int current_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    State state_ = State::Inactive;
    QVariantMap rowMap(const Row& row) const;
    Row edit_;
    Row original_;
    QVector<bool> modified_;
};

}  // namespace qv
