#include "data/DataSet.h"

#include "data/SchemaInfo.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>

namespace qv {

namespace {
bool isIdentifier(const QString& name) {
    static const QRegularExpression re(QStringLiteral(R"(^[A-Za-z_][A-Za-z0-9_]*$)"));
    return re.match(name).hasMatch();
}

void requireIdentifier(const QString& name) {
    if (!isIdentifier(name)) {
        throw Error(qv::programText(QStringLiteral("无效的表名或列名：%1")).arg(name));
    }
}
}  // namespace

DataSet::DataSet(Connection& conn, QObject* parent) : QObject(parent), conn_(conn) {}

void DataSet::clearSql() {
    sql_.clear();
    binds_.clear();
    updateTable_.clear();
}
void DataSet::addSql(const QString& line) {
    sql_.append(line);
}
void DataSet::setSql(const QString& text) {
    sql_ = QStringList{text};
    binds_.clear();
    updateTable_.clear();
}
void DataSet::bind(const QString& name, const QVariant& value) {
    binds_.insert(name.startsWith(':') ? name : ':' + name, value);
}

void DataSet::setTableName(const QString& table) {
    requireIdentifier(table);
    table_ = table;
}

void DataSet::setFilter(const Filter& columnValues) {
    for (const auto& [column, value] : columnValues) {
        requireIdentifier(column);
    }
    filter_ = columnValues;
}

DataSet::Row DataSet::readRow(const QSqlQuery& q) const {
    Row row(columns_.size());
    for (int i = 0; i < columns_.size(); ++i) {
        row[i] = Dialect::fromDb(q.value(i), dateTime_[i]);
    }
    return row;
}

void DataSet::loadFrom(QSqlQuery& q, bool keepColumns) {
    if (!keepColumns) {
        const QSqlRecord rec = q.record();
        columns_.clear();
        dateTime_.clear();
        for (int i = 0; i < rec.count(); ++i) {
            const QString name = schema::canonicalName(rec.fieldName(i));
            columns_.append(name);
            dateTime_.append(schema::isDateTimeColumn(name) ||
                             rec.field(i).metaType().id() == QMetaType::QDateTime);
        }
    }
    rows_.clear();
    while (q.next()) {
        rows_.append(readRow(q));
    }
}

void DataSet::open() {
    close();
    QString text;
    Binds binds = binds_;
    if (!table_.isEmpty() && sql_.isEmpty()) {
        text = QStringLiteral("select * from ") + table_;
        QStringList where;
        for (int i = 0; i < filter_.size(); ++i) {
            const QString p = QStringLiteral(":qv_f%1").arg(i);
            if (filter_[i].second.isNull()) {
                where << filter_[i].first + QStringLiteral(" is null");
            } else {
                where << filter_[i].first + QStringLiteral(" = ") + p;
                binds.insert(p, filter_[i].second);
            }
        }
        if (!where.isEmpty()) {
            text += QStringLiteral(" where ") + where.join(QStringLiteral(" and "));
        }
        if (!orderBy_.isEmpty()) {
            text += QStringLiteral(" order by ") + orderBy_;
        }
    } else {
        text = sql();
    }
    QSqlQuery q = conn_.run(text, binds);
    loadFrom(q);
    state_ = State::Browse;
    emit reset();
    setCurrent(0);
    emit stateChanged();
}

void DataSet::close() {
    if (state_ == State::Inactive && rows_.isEmpty()) {
        return;
    }
    rows_.clear();
    columns_.clear();
    dateTime_.clear();
    state_ = State::Inactive;
    eof_ = bof_ = true;
    current_ = 0;
    emit reset();
    emit stateChanged();
}

void DataSet::refresh() {
    const QStringList keys = keyColumns();
    QVariantList key;
    if (!isEmpty()) {
        for (const QString& k : keys) {
            key << value(k);
        }
    }
    open();
    if (key.isEmpty()) {
        return;
    }
    for (int r = 0; r < rows_.size(); ++r) {
        bool same = true;
        for (int k = 0; k < keys.size() && same; ++k) {
            same = valueAt(r, fieldIndex(keys[k])) == key[k];
        }
        if (same) {
            setCurrent(r);
            return;
        }
    }
}

int DataSet::execSql() {
    QSqlQuery q = conn_.run(sql(), binds_);
    return q.numRowsAffected();
}

void DataSet::setCurrent(int row) {
    if (rows_.isEmpty()) {
        current_ = 0;
        eof_ = bof_ = true;
    } else {
        current_ = std::clamp(row, 0, static_cast<int>(rows_.size()) - 1);
        eof_ = bof_ = false;
    }
    emit scrolled(current_);
}

void DataSet::first() {
    if (state_ == State::Edit || state_ == State::Insert) {
        post();
    }
    setCurrent(0);
}

void DataSet::last() {
    if (state_ == State::Edit || state_ == State::Insert) {
        post();
    }
    setCurrent(static_cast<int>(rows_.size()) - 1);
}

void DataSet::next() {
    if (state_ == State::Edit || state_ == State::Insert) {
        post();
    }
    if (current_ + 1 >= rows_.size()) {
        eof_ = true;
        return;
    }
    setCurrent(current_ + 1);
}

void DataSet::prior() {
    if (state_ == State::Edit || state_ == State::Insert) {
        post();
    }
    if (current_ <= 0) {
        bof_ = true;
        return;
    }
    setCurrent(current_ - 1);
}

void DataSet::moveTo(int recNo) {
    setCurrent(recNo - 1);
}

bool DataSet::locate(const QString& column, const QVariant& value) {
    const int c = fieldIndex(column);
    if (c < 0) {
        return false;
    }
    for (int r = 0; r < rows_.size(); ++r) {
        if (displayText(rows_[r][c]) == displayText(value)) {
            setCurrent(r);
            return true;
        }
    }
    return false;
}

int DataSet::fieldIndex(const QString& column) const {
    for (int i = 0; i < columns_.size(); ++i) {
        if (columns_[i].compare(column, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

const DataSet::Row* DataSet::currentRow() const {
    if (state_ == State::Edit || state_ == State::Insert) {
        return &edit_;
    }
    if (rows_.isEmpty()) {
        return nullptr;
    }
    return &rows_[current_];
}

void DataSet::requireField(int index, const QString& column) const {
    if (index < 0) {
        throw Error(qv::programText(QStringLiteral("没有找到字段 %1。")).arg(column));
    }
}

QVariant DataSet::value(const QString& column) const {
    const int i = fieldIndex(column);
    requireField(i, column);
    return value(i);
}

QVariant DataSet::value(int index) const {
    const Row* row = currentRow();
    if (index < 0 || index >= columns_.size()) {
        throw Error(qv::programText(QStringLiteral("字段序号 %1 超出范围。")).arg(index));
    }
    return row ? row->at(index) : QVariant();
}

QVariant DataSet::valueAt(int row, int column) const {
    if (row < 0 || row >= rows_.size() || column < 0 || column >= columns_.size()) {
        return {};
    }
    return rows_[row][column];
}

QString DataSet::displayText(const QVariant& value) {
    if (value.isNull()) {
        return {};
    }
    if (value.typeId() == QMetaType::QDateTime) {
        return Dialect::dateTimeText(value.toDateTime());
    }
    if (value.typeId() == QMetaType::Double) {
        return QString::number(value.toDouble(), 'g', 15);
    }
    return value.toString();
}

QString DataSet::text(const QString& column) const {
    return displayText(value(column));
}
QString DataSet::textAt(int row, int column) const {
    return displayText(valueAt(row, column));
}

int DataSet::asInteger(const QString& column) const {
    const QVariant v = value(column);
    bool ok = false;
    const int i = v.toInt(&ok);
    return ok ? i : 0;
}

QString DataSet::writeTable() const {
    const QString t = !updateTable_.isEmpty() ? updateTable_ : table_;
    if (t.isEmpty()) {
        throw Error(qv::programText(QStringLiteral("这个查询不能修改：没有指定数据表。")));
    }
    return t;
}

QStringList DataSet::keyColumns() const {
    const QString t = !updateTable_.isEmpty() ? updateTable_ : table_;
    return schema::keyColumns(t);
}

void DataSet::requireKeys(const QStringList& keys) const {
    if (keys.isEmpty()) {
        throw Error(
            qv::programText(QStringLiteral("数据表 %1 没有主键，不能修改。")).arg(writeTable()));
    }
    for (const QString& k : keys) {
        if (fieldIndex(k) < 0) {
            throw Error(
                qv::programText(QStringLiteral("查询中没有主键字段 %1，不能修改。")).arg(k));
        }
    }
}

void DataSet::edit() {
    if (state_ == State::Inactive) {
        throw Error(qv::programText(QStringLiteral("数据集没有打开。")));
    }
    if (state_ != State::Browse) {
        return;
    }
    if (rows_.isEmpty()) {
        throw Error(qv::programText(QStringLiteral("没有可以修改的记录。")));
    }
    edit_ = original_ = rows_[current_];
    modified_ = QVector<bool>(columns_.size(), false);
    state_ = State::Edit;
    emit stateChanged();
}

void DataSet::append() {
    if (state_ == State::Inactive) {
        throw Error(qv::programText(QStringLiteral("数据集没有打开。")));
    }
    if (state_ != State::Browse) {
        post();
    }
    edit_ = Row(columns_.size());
    original_ = edit_;
    modified_ = QVector<bool>(columns_.size(), false);
    state_ = State::Insert;
    emit stateChanged();
}

void DataSet::setValue(const QString& column, const QVariant& value) {
    const int i = fieldIndex(column);
    requireField(i, column);
    setValue(i, value);
}

void DataSet::setValue(int index, const QVariant& value) {
    if (state_ == State::Browse) {
        edit();
    }
    if (state_ != State::Edit && state_ != State::Insert) {
        throw Error(qv::programText(QStringLiteral("数据集不在编辑状态。")));
    }
    if (index < 0 || index >= columns_.size()) {
        throw Error(qv::programText(QStringLiteral("字段序号 %1 超出范围。")).arg(index));
    }
    edit_[index] = value;
    modified_[index] = true;
    emit editValueChanged(index);
}

void DataSet::cancel() {
    if (state_ == State::Edit || state_ == State::Insert) {
        state_ = State::Browse;
        emit stateChanged();
    }
}

QVariantMap DataSet::rowMap(const Row& row) const {
    QVariantMap out;
    for (int i = 0; i < columns_.size() && i < row.size(); ++i) {
        out.insert(columns_[i], row[i]);
    }
    return out;
}

void DataSet::post() {
    if (state_ != State::Edit && state_ != State::Insert) {
        return;
    }
    if (beforePost) {
        beforePost(*this);  // may abort: the row then stays in editing
    }
    const QString table = writeTable();
    requireIdentifier(table);
    Transaction transaction(conn_);
    QStringList names;
    Binds binds;
    for (int i = 0; i < columns_.size(); ++i) {
        if (modified_[i]) {
            requireIdentifier(columns_[i]);
            names << columns_[i];
            binds.insert(QStringLiteral(":qv_v%1").arg(i), edit_[i]);
        }
    }
    if (state_ == State::Insert) {
        QString text;
        if (names.isEmpty()) {
            text = QStringLiteral("insert into %1 default values returning *").arg(table);
        } else {
            QStringList params;
            for (int i = 0; i < columns_.size(); ++i) {
                if (modified_[i]) {
                    params << QStringLiteral(":qv_v%1").arg(i);
                }
            }
            text = QStringLiteral("insert into %1 (%2) values (%3) returning *")
                       .arg(table, names.join(QStringLiteral(", ")),
                            params.join(QStringLiteral(", ")));
        }
        QSqlQuery q = conn_.run(text, binds);
        Row stored = edit_;
        if (q.next()) {
            const QSqlRecord rec = q.record();
            for (int i = 0; i < rec.count(); ++i) {
                const int c = fieldIndex(schema::canonicalName(rec.fieldName(i)));
                if (c >= 0) {
                    stored[c] = Dialect::fromDb(q.value(i), dateTime_[c]);
                }
            }
        }
        q.finish();  // SQLite commits no transaction with a statement still open
        if (afterWrite) {
            afterWrite({WriteKind::Inserted, rowMap(stored), {}, {}});
        }
        transaction.commit();
        rows_.append(stored);
        state_ = State::Browse;
        const int row = static_cast<int>(rows_.size()) - 1;
        emit rowInserted(row);
        setCurrent(row);
        emit stateChanged();
        return;
    }
    // Edit: update the row by its key, as it was read.
    if (!names.isEmpty()) {
        const QStringList keys = keyColumns();
        requireKeys(keys);
        QStringList sets;
        for (int i = 0; i < columns_.size(); ++i) {
            if (modified_[i]) {
                sets << columns_[i] + QStringLiteral(" = :qv_v%1").arg(i);
            }
        }
        QStringList where;
        for (int k = 0; k < keys.size(); ++k) {
            where << keys[k] + QStringLiteral(" = :qv_k%1").arg(k);
            binds.insert(QStringLiteral(":qv_k%1").arg(k), original_[fieldIndex(keys[k])]);
        }
        const QString text =
            QStringLiteral("update %1 set %2 where %3")
                .arg(table, sets.join(QStringLiteral(", ")), where.join(QStringLiteral(" and ")));
        if (conn_.execute(text, binds) == 0) {
            throw DbError(qv::programText(
                QStringLiteral("要修改的记录已经不存在（可能已被其他工作站删除）。")));
        }
        if (afterWrite) {
            QStringList changed;
            for (int i = 0; i < columns_.size(); ++i) {
                if (modified_[i]) {
                    changed << columns_[i];
                }
            }
            afterWrite({WriteKind::Updated, rowMap(edit_), changed, rowMap(original_)});
        }
    }
    transaction.commit();
    rows_[current_] = edit_;
    state_ = State::Browse;
    emit rowChanged(current_);
    emit stateChanged();
}

void DataSet::deleteRecord() {
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (state_ == State::Edit) {
        cancel();
    }
    if (rows_.isEmpty()) {
        throw Error(qv::programText(QStringLiteral("没有可以删除的记录。")));
    }
    const QString table = writeTable();
    const QStringList keys = keyColumns();
    requireKeys(keys);
    QStringList where;
    Binds binds;
    for (int k = 0; k < keys.size(); ++k) {
        where << keys[k] + QStringLiteral(" = :qv_k%1").arg(k);
        binds.insert(QStringLiteral(":qv_k%1").arg(k), value(keys[k]));
    }
    Transaction transaction(conn_);
    conn_.execute(
        QStringLiteral("delete from %1 where %2").arg(table, where.join(QStringLiteral(" and "))),
        binds);
    if (afterWrite) {
        afterWrite({WriteKind::Deleted, rowMap(rows_[current_]), {}, {}});
    }
    transaction.commit();
    const int row = current_;
    rows_.removeAt(row);
    emit rowRemoved(row);
    setCurrent(row);
}

}  // namespace qv
