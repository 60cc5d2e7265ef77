#pragma once

#include "QuorvanePrint.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace qvprint {

// One report, as printed: the rows of the result set reduced to the columns of
// the report kind, under their printed headers. The rows are read from the
// result set as they are laid out, painted or written, so that a long list
// is never copied whole: the result set must stay referenced while the
// report is used.
struct Report {
    int kind = -1;
    QString title;      // "开门记录", ...
    QString hotelName;  // may be empty
    QDateTime printed;  // print date shown on every page
    QStringList headers;
    const QvRecordset* source = nullptr;  // the rows; none when null
    QList<int32_t> sourceColumns;         // the result set's column of each header
    int32_t rowCount = 0;

    // The text of printed column `column` of row `row`.
    QString cell(int row, int column) const;
    QStringList row(int row) const;
    QString suggestedFileName(const QString& suffix) const;
};
// The report's title for a kind; unknown kinds get a generic title.
QString reportTitle(int kind);

// True when `rs` is non-null and offers every function of the interface.
bool isUsable(const QvRecordset* rs);

// Describes `rs` (which must be usable) as a report of `kind`. A kind with a
// layout prints the layout's columns that the result set has, in the layout's
// order, under the layout's headers; when the result set has none of them, or
// the kind has no layout, every column is printed under its own name.
Report buildReport(const QvRecordset& rs, int kind, const QString& hotelName,
                   const QDateTime& printed);

// The report as CSV: UTF-8 with a byte-order mark, the header line first,
// CRLF line ends, fields quoted per RFC 4180 when they hold a comma, a quote
// or a line break.
QByteArray toCsv(const Report& report);

// Each writer replaces `path` only once the new file is complete; on failure
// `error` says why and the old file (if any) is untouched.
bool writeCsv(const Report& report, const QString& path, QString& error);
bool writePdf(const Report& report, const QString& path, QString& error);

}  // namespace qvprint
