#pragma once

#include "QuorvanePrint.h"

#include "platform/SharedLibrary.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

class QWidget;

namespace qv {

class DataSet;

// Report kinds of the print library.
enum class PrintKind : uint8_t {
    DoorOpenings = QV_PRINT_KIND_DOOR_OPENINGS,  // door-opening records window
    CardIssues = QV_PRINT_KIND_CARD_ISSUES,      // card issue records window
    GuestStays = QV_PRINT_KIND_GUEST_STAYS,      // guest query window
    Operations = QV_PRINT_KIND_OPERATIONS,       // operations log window
};

enum class PrintFormat { Pdf = QV_PRINT_FORMAT_PDF, Csv = QV_PRINT_FORMAT_CSV };

// A counted reference to a result set of the print interface. Copies take a
// reference, destruction releases it. Empty stands for "no result set" (a
// window whose query was never run).
class RecordsetRef {
public:
    RecordsetRef() = default;
    // Takes over a reference the caller already holds.
    static RecordsetRef adopt(QvRecordset* rs);
    // Takes a new reference.
    static RecordsetRef share(QvRecordset* rs);

    RecordsetRef(const RecordsetRef& other);
    RecordsetRef(RecordsetRef&& other) noexcept;
    RecordsetRef& operator=(RecordsetRef other) noexcept;
    ~RecordsetRef() { reset(); }

    void reset() noexcept;
    QvRecordset* get() const { return rs_; }
    explicit operator bool() const { return rs_ != nullptr; }

private:
    explicit RecordsetRef(QvRecordset* rs) : rs_(rs) {}
    QvRecordset* rs_ = nullptr;
};

// Rows of texts kept for printing in little memory: every cell's UTF-8, with
// its terminating NUL, one after the other in one buffer. A list of hundreds
// of thousands of rows takes little more than its text.
class PrintRows {
public:
    explicit PrintRows(const QStringList& columns);
    // Adds a row of one cell per column (qv::Error otherwise).
    void append(const QStringList& row);
    qsizetype rowCount() const { return columns_.isEmpty() ? 0 : starts_.size() / columns_.size(); }
    const QStringList& columns() const { return columns_; }

private:
    friend class TableRecordset;
    QStringList columns_;
    QByteArray text_;
    QList<qsizetype> starts_;  // where each cell begins in text_, row by row
};

// Builds the result set handed to the print library from a table of texts:
// column names and rows of cells. This is the one place where the program
// makes what it prints; adapters from query objects end here. Each row must
// have one cell per column (qv::Error otherwise). The table is copied, so the
// result set depends on nothing of the caller's.
RecordsetRef makeRecordset(const QStringList& columns, const QList<QStringList>& rows);
// The same from rows read for printing; they are taken over, not copied.
RecordsetRef makeRecordset(PrintRows&& rows);
// The rows a window's query shows, in its order, with their display texts
// (date-times as "yyyy-MM-dd HH:mm:ss", empty for null).
RecordsetRef makeRecordset(const DataSet& rows);

// The result set made by makeRecordset: the texts kept as UTF-8 for the C
// interface, freed when the last reference is released.
class TableRecordset final : public QvRecordset {
public:
    TableRecordset(const TableRecordset&) = delete;
    TableRecordset& operator=(const TableRecordset&) = delete;

    // The table behind `rs`, or nullptr when `rs` is another implementation.
    static const TableRecordset* from(const QvRecordset* rs);
    int32_t refCount() const { return refs_.load(); }
    int32_t rows() const { return rows_; }
    int32_t columns() const { return static_cast<int32_t>(columns_.size()); }
    // Result sets alive in the process (leak checks).
    static int liveCount() { return live_.load(); }

private:
    friend RecordsetRef makeRecordset(PrintRows&&);
    explicit TableRecordset(PrintRows&& rows);
    ~TableRecordset();

    static int32_t rowCountOf(const QvRecordset* self);
    static int32_t columnCountOf(const QvRecordset* self);
    static const char* columnNameOf(const QvRecordset* self, int32_t column);
    static const char* cellTextOf(const QvRecordset* self, int32_t row, int32_t column);
    static int32_t addRefOf(QvRecordset* self);
    static int32_t releaseOf(QvRecordset* self);
    static const QvRecordsetVtbl vtbl_;

    QList<QByteArray> columns_;
    PrintRows cells_;
    int32_t rows_ = 0;
    std::atomic<int32_t> refs_{1};
    static std::atomic<int> live_;
};

// The print library Dll/libPrint.so, bound by name. A library or export that
// is missing is reported to the operator in one message box for each attempt
// to print, and nothing is printed.
class PrintLibrary {
public:
    // The library at `path`; empty means Dll/libPrint.so in the program's folder.
    explicit PrintLibrary(const QString& path = QString());
    PrintLibrary(const PrintLibrary&) = delete;
    PrintLibrary& operator=(const PrintLibrary&) = delete;

    // The program's print library, bound at its first use and kept loaded.
    static PrintLibrary& program();

    QString path() const;
    // Loads the library and resolves PrintForm_Show (and PrintForm_Render if
    // it has one). False with the reason in errorString(); shows nothing.
    bool bind();
    bool isBound() const { return show_ != nullptr; }
    QString errorString() const { return error_; }

    // Shows the print window of `records` as the report `kind`, owned by
    // `owner` (or the active window), and returns when the operator closes
    // it. An empty `records` is handed over as such; the library says so.
    // False when the library could not be used (a message was shown).
    bool show(const RecordsetRef& records, PrintKind kind, QWidget* owner = nullptr);

    // Writes the report to `file` without a window. The library's result
    // (QV_PRINT_OK on success); QV_PRINT_BAD_ARGUMENT after a message when
    // the library or its PrintForm_Render is missing.
    int render(const RecordsetRef& records, PrintKind kind, const QString& file,
               PrintFormat format);

private:
    bool ensureBound();
    void reportUnusable(const QString& why) const;

    QString path_;
    SharedLibrary library_;
    PrintForm_Show_Fn show_ = nullptr;
    PrintForm_Render_Fn render_ = nullptr;
    QString error_;
};

// What the record windows call to print their list.
bool printRecords(const RecordsetRef& records, PrintKind kind, QWidget* owner = nullptr);

}  // namespace qv
