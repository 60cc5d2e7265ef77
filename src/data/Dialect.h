#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace qv {

enum class DbKind { SQLite, PostgreSQL };

// Where the two database kinds differ. Date-times are kept as
// "yyyy-MM-dd HH:mm:ss" text in SQLite and as timestamp(0) in PostgreSQL; both
// go in and come out as local QDateTime through toDb/fromDb.
class Dialect {
public:
    explicit Dialect(DbKind kind) : kind_(kind) {}
    DbKind kind() const { return kind_; }

    // The schema script with its placeholders filled in for this kind.
    QString schemaScript() const;
    // Schema text with the words in braces ({KEY}, {DATETIME}, {NOW},
    // {NUMBER}) filled in for this kind, as in the schema script.
    QString fill(QString schemaText) const;

    // A value for a bound parameter: date-times as unambiguous text, yes/no as
    // 1/0, text as valid UTF-8 (a lone surrogate becomes U+FFFD).
    static QVariant toDb(const QVariant& value);
    // A column value as the program uses it: date-time text becomes QDateTime.
    static QVariant fromDb(const QVariant& value, bool isDateTimeColumn);

    static QString dateTimeText(const QDateTime& value);
    static QDateTime parseDateTime(const QString& text);

    // A condition that holds when `column` contains the text bound to
    // `param` (as likePattern(text)) anywhere, letters matched without regard
    // to case on both kinds. '%', '_' and quotes in the text are characters,
    // not patterns. A null column never matches.
    QString containsCondition(const QString& column, const QString& param) const;
    static QString likePattern(const QString& text);

private:
    DbKind kind_;
};

// The DateDiff interval names of the configured database kind (ConnType 0:
// 'd', 'n', 'h' with quotes; ConnType 1: d, n, hh); empty for any other kind.
// Units: 0 days, 1 minutes, 2 hours.
QString DateDiffUnit(int unit);

enum class DateUnit { Day = 0, Minute = 1, Hour = 2 };
enum class DiffCompare { GreaterOrEqual, Greater, LessOrEqual, Less, Equal };

// A condition with the meaning of "DateDiff(unit, reference, column) <op> 0" —
// the number of unit boundaries crossed from the reference to the column —
// written as a plain comparison of the column against bound moments, so an
// index on the column serves it. `sql` holds the text with named parameters
// (":<param>_a", ":<param>_b"); bind `first` and, for Equal, `second`.
struct DateCondition {
    QString sql;
    QString firstName;
    QDateTime first;
    QString secondName;
    QDateTime second;
};
DateCondition dateDiffCondition(const QString& column, DateUnit unit, const QDateTime& reference,
                                DiffCompare compare, const QString& param);

// The start of the unit that holds `value` (midnight, the minute, the hour).
QDateTime truncateTo(const QDateTime& value, DateUnit unit);

}  // namespace qv
