#pragma once

#include "QuorvanePrint.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace qvprint {

// One report, as printed: the rows of the result set reduced to the columns of
// the report kind, under their printed headers. A snapshot, so the library
// holds no reference to the result set once it has built one.
struct Report {
    int kind = -1;
    QString title;      // "开门记录", ...
    QString hotelName;  // may be empty
    QDateTime printed;  // print date shown on every page
    QStringList headers;
    QList<QStringList> rows;  // each row has headers.size() cells

    QString suggestedFileName(const QString& suffix) const;
};

// The report's title for a kind; unknown kinds get a generic title.
QString reportTitle(int kind);

// True when `rs` is non-null and offers every function of the interface.
bool isUsable(const QvRecordset* rs);

// Reads `rs` (which must be usable) into a report of `kind`. A kind with a
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
