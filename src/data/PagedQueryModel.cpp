#include "data/PagedQueryModel.h"

#include "data/DataSet.h"
#include "data/Dialect.h"
#include "platform/Guard.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace qv {

PagedQueryModel::PagedQueryModel(Connection& conn, QObject* parent)
    : QAbstractTableModel(parent), conn_(conn) {}

PagedQueryModel::~PagedQueryModel() {
    for (QThread* t : std::as_const(counting_)) {
        t->wait();
        delete t;
    }
}

void PagedQueryModel::setQuery(const QString& selectText, const Binds& binds,
                               const QString& orderBy) {
    select_ = selectText;
    binds_ = binds;
    orderBy_ = orderBy;
}

void PagedQueryModel::setColumns(const QStringList& fields, const QStringList& titles) {
    beginResetModel();
    fields_ = fields;
    titles_.clear();
    for (int i = 0; i < titles.size() && i < fields.size(); ++i) {
        if (!titles[i].isEmpty()) {
            titles_.insert(i, titles[i]);
        }
    }
    endResetModel();
}

QString PagedQueryModel::fieldOfColumn(int column) const {
    if (!fields_.isEmpty()) {
        return fields_.value(column);
    }
    return queryFields_.value(column);
}

void PagedQueryModel::clear() {
    beginResetModel();
    ++generation_;
    rows_.clear();
    total_ = 0;
    totalKnown_ = true;
    endResetModel();
}

void PagedQueryModel::refresh() {
    QStringList names;
    auto page = readPage(0, kPageRows, &names);
    beginResetModel();
    ++generation_;
    queryFields_ = names;
    rows_ = std::move(page);
    totalKnown_ = rows_.size() < kPageRows;
    total_ = totalKnown_ ? static_cast<int>(rows_.size()) : 0;
    endResetModel();
    if (!totalKnown_ && !countInBackground()) {
        QTimer::singleShot(0, this, [this, generation = generation_] {
            if (generation == generation_) {
                guarded([this] { countRows(); });
            }
        });
    }
}

QString PagedQueryModel::countText() const {
    return QStringLiteral("select count(*) from (%1) qv_rows").arg(select_);
}

namespace {
QAtomicInteger<quint64> g_countConnections;
}

bool PagedQueryModel::countInBackground() {
    const QSqlDatabase db = conn_.database();
    const QString name = db.databaseName();
    if (!db.isOpen() || conn_.inTransaction() ||
        (conn_.kind() == DbKind::SQLite &&
         (name.isEmpty() || name == QLatin1String(":memory:") ||
          name.contains(QLatin1String("mode=memory"))))) {
        return false;  // another connection would not see the same rows
    }
    const QString source = db.connectionName();
    const QString sql = countText();
    Binds binds;
    for (auto it = binds_.cbegin(); it != binds_.cend(); ++it) {
        binds.insert(it.key().startsWith(':') ? it.key() : ':' + it.key(),
                     Dialect::toDb(it.value()));
    }
    const quint64 generation = generation_;
    QThread* thread = QThread::create([this, source, sql, binds, generation] {
        const QString own =
            QStringLiteral("qv-count-%1").arg(g_countConnections.fetchAndAddRelaxed(1));
        int total = -1;
        {
            QSqlDatabase counting = QSqlDatabase::cloneDatabase(source, own);
            if (counting.open()) {
                QSqlQuery q(counting);
                q.setForwardOnly(true);
                if (q.prepare(sql)) {
                    for (auto it = binds.cbegin(); it != binds.cend(); ++it) {
                        q.bindValue(it.key(), it.value());
                    }
                    if (q.exec() && q.next()) {
                        total = q.value(0).toInt();
                    }
                }
            }
            counting.close();
        }
        QSqlDatabase::removeDatabase(own);
        QMetaObject::invokeMethod(
            this, [this, generation, total] { counted(generation, total); },
            Qt::QueuedConnection);
    });
    counting_.append(thread);
    connect(thread, &QThread::finished, this, [this, thread] {
        if (counting_.removeOne(thread)) {
            thread->deleteLater();
        }
    });
    thread->start(QThread::LowPriority);
    return true;
}

void PagedQueryModel::counted(quint64 generation, int total) {
    if (generation != generation_ || totalKnown_) {
        return;  // an older search, or counted meanwhile
    }
    if (total < 0) {
        // The count's own connection failed: counted on the window's.
        guarded([this] { countRows(); });
        return;
    }
    // Rows deleted since the first page was read: what was read is all there is.
    total_ = std::max(total, static_cast<int>(rows_.size()));
    totalKnown_ = true;
    emit totalRowsChanged(total_);
}

void PagedQueryModel::countRows() {
    if (totalKnown_) {
        return;
    }
    const int total = conn_.scalar(countText(), binds_).toInt();
    // Rows deleted since the first page was read: what was read is all there is.
    total_ = std::max(total, static_cast<int>(rows_.size()));
    totalKnown_ = true;
    emit totalRowsChanged(total_);
}

QList<QVector<QVariant>> PagedQueryModel::readPage(int offset, int limit,
                                                   QStringList* fieldNames) const {
    QString sql = select_;
    if (!orderBy_.isEmpty()) {
        sql += QStringLiteral(" order by ") + orderBy_;
    }
    Binds binds = binds_;
    if (limit >= 0) {
        sql += QStringLiteral(" limit :qv_limit offset :qv_offset");
        binds.insert(QStringLiteral(":qv_limit"), limit);
        binds.insert(QStringLiteral(":qv_offset"), offset);
    }
    QSqlQuery q = conn_.run(sql, binds);
    const QSqlRecord record = q.record();
    if (fieldNames) {
        fieldNames->clear();
        for (int i = 0; i < record.count(); ++i) {
            fieldNames->append(record.fieldName(i));
        }
    }
    QList<QVector<QVariant>> rows;
    while (q.next()) {
        QVector<QVariant> row(record.count());
        for (int i = 0; i < record.count(); ++i) {
            row[i] = q.value(i);
        }
        rows.append(std::move(row));
    }
    return rows;
}

int PagedQueryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PagedQueryModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(fields_.isEmpty() ? queryFields_.size() : fields_.size());
}

bool PagedQueryModel::canFetchMore(const QModelIndex& parent) const {
    if (parent.isValid() || select_.isEmpty()) {
        return false;
    }
    // Until the rows are counted, a full last page may have more after it.
    return totalKnown_ ? rows_.size() < total_ : rows_.size() % kPageRows == 0;
}

void PagedQueryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    auto page = readPage(static_cast<int>(rows_.size()), kPageRows, nullptr);
    const bool last = page.size() < kPageRows;
    if (!page.isEmpty()) {
        const int first = static_cast<int>(rows_.size());
        beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
        rows_.append(std::move(page));
        endInsertRows();
    }
    if (last && (!totalKnown_ || total_ != rows_.size())) {
        // The rows end here: what was read is all there is (rows may also
        // have been deleted or added since they were counted).
        total_ = static_cast<int>(rows_.size());
        totalKnown_ = true;
        emit totalRowsChanged(total_);
    }
}

void PagedQueryModel::fetchUntil(int row) {
    while (row >= rows_.size() && canFetchMore()) {
        const auto before = rows_.size();
        fetchMore();
        if (rows_.size() == before) {
            break;
        }
    }
}

int PagedQueryModel::fieldIndex(int column) const {
    if (fields_.isEmpty()) {
        return column < queryFields_.size() ? column : -1;
    }
    const QString field = fields_.value(column);
    for (int i = 0; i < queryFields_.size(); ++i) {
        if (queryFields_[i].compare(field, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QVariant PagedQueryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const int field = fieldIndex(index.column());
    if (field < 0) {
        return {};
    }
    return cellText(index.column(), rows_[index.row()].value(field));
}

void PagedQueryModel::setValueTexts(const QString& field, QHash<QString, QString> texts) {
    valueTexts_.insert(field.toLower(), std::move(texts));
}

QString PagedQueryModel::cellText(int column, const QVariant& value) const {
    QString text = DataSet::displayText(value);
    if (!valueTexts_.isEmpty()) {
        const auto table = valueTexts_.constFind(fieldOfColumn(column).toLower());
        if (table != valueTexts_.constEnd()) {
            return table->value(text, text);
        }
    }
    return text;
}

QVariant PagedQueryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (titles_.contains(section)) {
        return titles_.value(section);
    }
    return fieldOfColumn(section);
}

bool PagedQueryModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                    int role) {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return false;
    }
    titles_.insert(section, value.toString());
    emit headerDataChanged(orientation, section, section);
    return true;
}

QVariant PagedQueryModel::value(int row, const QString& field) const {
    if (row < 0 || row >= rows_.size()) {
        return {};
    }
    for (int i = 0; i < queryFields_.size(); ++i) {
        if (queryFields_[i].compare(field, Qt::CaseInsensitive) == 0) {
            return rows_[row].value(i);
        }
    }
    return {};
}

QStringList PagedQueryModel::columnTitles() const {
    QStringList titles;
    for (int c = 0; c < columnCount(); ++c) {
        titles.append(headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    }
    return titles;
}

bool PagedQueryModel::readAllPages(int pageRows, const PageReader& page) const {
    if (select_.isEmpty()) {
        return true;
    }
    // One statement read to its end (no offsets: every page would sort the
    // whole result again), its rows handed over `pageRows` at a time. The
    // reader may let other work use the connection between pages.
    QString sql = select_;
    if (!orderBy_.isEmpty()) {
        sql += QStringLiteral(" order by ") + orderBy_;
    }
    QSqlQuery q = conn_.runWhole(sql, binds_);
    const QSqlRecord record = q.record();
    QVector<int> map;
    for (int c = 0; c < columnCount(); ++c) {
        map.append(record.indexOf(fieldOfColumn(c)));
    }
    QList<QStringList> texts;
    texts.reserve(pageRows);
    bool more = q.next();
    while (more) {
        QStringList cells;
        cells.reserve(map.size());
        for (int c = 0; c < map.size(); ++c) {
            cells.append(map[c] >= 0 ? cellText(c, q.value(map[c])) : QString());
        }
        texts.append(std::move(cells));
        more = q.next();
        if (texts.size() == pageRows || !more) {
            if (!page(texts)) {
                return false;
            }
            texts.clear();
        }
    }
    return true;
}

QList<QStringList> PagedQueryModel::allRowsText(QStringList* titles) const {
    if (titles) {
        *titles = columnTitles();
    }
    QList<QStringList> out;
    readAllPages(kPrintPageRows, [&out](const QList<QStringList>& page) {
        out.append(page);
        return true;
    });
    return out;
}

}  // namespace qv
