#pragma once

#include <QDate>
#include <QDateTime>

namespace qv {

// The one source of "now". The program uses the system clock; tests set a
// fixed moment (and may move it forward) instead of waiting for real time.
class Clock {
public:
    static QDateTime now();
    static QDate date() { return now().date(); }

    static void setTestTime(const QDateTime& moment);
    static void advance(qint64 milliseconds);
    static void useSystemTime();
    static bool isTestTime();
};

}  // namespace qv
