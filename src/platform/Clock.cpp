#include "platform/Clock.h"

#include <optional>

namespace qv {
namespace {
std::optional<QDateTime> g_testTime;
}

QDateTime Clock::now() {
    return g_testTime ? *g_testTime : QDateTime::currentDateTime();
}
void Clock::setTestTime(const QDateTime& moment) {
    g_testTime = moment;
}
void Clock::advance(qint64 milliseconds) {
    if (g_testTime) {
        g_testTime = g_testTime->addMSecs(milliseconds);
    }
}
void Clock::useSystemTime() {
    g_testTime.reset();
}
bool Clock::isTestTime() {
    return g_testTime.has_value();
}

}  // namespace qv
