#include "printing/PrintLibrary.h"

#include "data/DataSet.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <QDir>

#include <limits>

namespace qv {

// --- RecordsetRef ---------------------------------------------------------

RecordsetRef RecordsetRef::adopt(QvRecordset* rs) {
    return RecordsetRef(rs);
}

RecordsetRef RecordsetRef::share(QvRecordset* rs) {
    if (rs) {
        rs->vtbl->addRef(rs);
    }
    return RecordsetRef(rs);
}

RecordsetRef::RecordsetRef(const RecordsetRef& other) : rs_(other.rs_) {
    if (rs_) {
        rs_->vtbl->addRef(rs_);
    }
}

RecordsetRef::RecordsetRef(RecordsetRef&& other) noexcept : rs_(other.rs_) {
    other.rs_ = nullptr;
}

RecordsetRef& RecordsetRef::operator=(RecordsetRef other) noexcept {
    std::swap(rs_, other.rs_);
    return *this;
}

void RecordsetRef::reset() noexcept {
    if (QvRecordset* rs = std::exchange(rs_, nullptr)) {
        rs->vtbl->release(rs);
    }
}

// --- TableRecordset -------------------------------------------------------

std::atomic<int> TableRecordset::live_{0};

const QvRecordsetVtbl TableRecordset::vtbl_ = {
    &TableRecordset::rowCountOf, &TableRecordset::columnCountOf, &TableRecordset::columnNameOf,
    &TableRecordset::cellTextOf, &TableRecordset::addRefOf,      &TableRecordset::releaseOf,
};

PrintRows::PrintRows(const QStringList& columns) : columns_(columns) {}

void PrintRows::append(const QStringList& row) {
    if (row.size() != columns_.size()) {
        throw Error(
            qv::programText(QStringLiteral("打印数据有误：第 %1 行有 %2 个字段，应为 %3 个。"))
                .arg(rowCount() + 1)
                .arg(row.size())
                .arg(columns_.size()));
    }
    if (rowCount() >= std::numeric_limits<int32_t>::max()) {
        throw Error(qv::programText(QStringLiteral("打印的记录太多。")));
    }
    for (const QString& cell : row) {
        starts_.append(text_.size());
        text_.append(cell.toUtf8());
        text_.append('\0');
    }
}

RecordsetRef makeRecordset(const QStringList& columns, const QList<QStringList>& rows) {
    PrintRows table(columns);
    for (const QStringList& row : rows) {
        table.append(row);
    }
    return makeRecordset(std::move(table));
}

RecordsetRef makeRecordset(PrintRows&& rows) {
    return RecordsetRef::adopt(new TableRecordset(std::move(rows)));
}

RecordsetRef makeRecordset(const DataSet& rows) {
    QStringList columns;
    for (int c = 0; c < rows.fieldCount(); ++c) {
        columns << rows.fieldName(c);
    }
    PrintRows table(columns);
    for (int r = 0; r < rows.recordCount(); ++r) {
        QStringList row;
        row.reserve(columns.size());
        for (int c = 0; c < rows.fieldCount(); ++c) {
            row << rows.textAt(r, c);
        }
        table.append(row);
    }
    return makeRecordset(std::move(table));
}

TableRecordset::TableRecordset(PrintRows&& rows)
    : QvRecordset{&vtbl_}, cells_(std::move(rows)), rows_(static_cast<int32_t>(cells_.rowCount())) {
    columns_.reserve(cells_.columns_.size());
    for (const QString& c : cells_.columns_) {
        columns_ << c.toUtf8();
    }
    ++live_;
}

TableRecordset::~TableRecordset() {
    --live_;
}

const TableRecordset* TableRecordset::from(const QvRecordset* rs) {
    return rs && rs->vtbl == &vtbl_ ? static_cast<const TableRecordset*>(rs) : nullptr;
}

int32_t TableRecordset::rowCountOf(const QvRecordset* self) {
    return from(self)->rows_;
}

int32_t TableRecordset::columnCountOf(const QvRecordset* self) {
    return from(self)->columns();
}

const char* TableRecordset::columnNameOf(const QvRecordset* self, int32_t column) {
    const TableRecordset* t = from(self);
    return column >= 0 && column < t->columns() ? t->columns_[column].constData() : nullptr;
}

const char* TableRecordset::cellTextOf(const QvRecordset* self, int32_t row, int32_t column) {
    const TableRecordset* t = from(self);
    if (row < 0 || row >= t->rows_ || column < 0 || column >= t->columns()) {
        return nullptr;
    }
    return t->cells_.text_.constData() + t->cells_.starts_[qsizetype(row) * t->columns() + column];
}

int32_t TableRecordset::addRefOf(QvRecordset* self) {
    return ++static_cast<TableRecordset*>(self)->refs_;
}

int32_t TableRecordset::releaseOf(QvRecordset* self) {
    auto* t = static_cast<TableRecordset*>(self);
    const int32_t left = --t->refs_;
    if (left == 0) {
        delete t;
    }
    return left;
}

// --- PrintLibrary ---------------------------------------------------------

PrintLibrary::PrintLibrary(const QString& path) : path_(path) {}

PrintLibrary& PrintLibrary::program() {
    static PrintLibrary library;
    return library;
}

QString PrintLibrary::path() const {
    return path_.isEmpty() ? AppPaths::file(QStringLiteral("Dll/libPrint.so")) : path_;
}

bool PrintLibrary::bind() {
    if (isBound()) {
        return true;
    }
    const QString file = path();
    if (!library_.load(file)) {
        error_ = qv::programText(QStringLiteral("找不到打印库 %1，无法打印。\n%2"))
                     .arg(QDir::toNativeSeparators(file), library_.errorString());
        return false;
    }
    show_ = library_.function<PrintForm_Show_Fn>(QV_PRINT_SHOW_EXPORT);
    if (!show_) {
        error_ = qv::programText(QStringLiteral("打印库 %1 中没有函数 %2，无法打印。"))
                     .arg(QDir::toNativeSeparators(file), QLatin1String(QV_PRINT_SHOW_EXPORT));
        library_.unload();
        return false;
    }
    render_ = library_.function<PrintForm_Render_Fn>(QV_PRINT_RENDER_EXPORT);
    error_.clear();
    return true;
}

bool PrintLibrary::ensureBound() {
    if (bind()) {
        return true;
    }
    reportUnusable(error_);
    return false;
}

void PrintLibrary::reportUnusable(const QString& why) const {
    messageBox(qv::noticeTitle(), why, Icon::Error);
}

namespace {

// The record handed to the library: owner, the record's own reference to the
// rows, report kind; everything else zero.
TPrintFromDll printRecord(QWidget* owner, const RecordsetRef& held, PrintKind kind) {
    TPrintFromDll rec{};
    rec.AppHandle = reinterpret_cast<uintptr_t>(owner);
    rec.Recordset = held.get();
    rec.PrintKind = static_cast<uint8_t>(kind);
    return rec;
}

}  // namespace

bool PrintLibrary::show(const RecordsetRef& records, PrintKind kind, QWidget* owner) {
    if (!ensureBound()) {
        return false;
    }
    // Fill, take the record's reference, call; `held` releases it when the
    // call returns, also when it raises.
    const RecordsetRef held = records;
    show_(printRecord(owner, held, kind));
    return true;
}

int PrintLibrary::render(const RecordsetRef& records, PrintKind kind, const QString& file,
                         PrintFormat format) {
    if (!ensureBound()) {
        return QV_PRINT_BAD_ARGUMENT;
    }
    if (!render_) {
        reportUnusable(
            qv::programText(QStringLiteral("打印库 %1 中没有函数 %2，无法保存报表。"))
                .arg(QDir::toNativeSeparators(path()), QLatin1String(QV_PRINT_RENDER_EXPORT)));
        return QV_PRINT_BAD_ARGUMENT;
    }
    const QByteArray target = file.toUtf8();
    const RecordsetRef held = records;
    return render_(printRecord(nullptr, held, kind), target.constData(),
                   static_cast<int32_t>(format));
}

bool printRecords(const RecordsetRef& records, PrintKind kind, QWidget* owner) {
    return PrintLibrary::program().show(records, kind, owner);
}

}  // namespace qv
