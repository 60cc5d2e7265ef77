#include "platform/Application.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace qv {

QString productTitle() {
    return QStringLiteral("Quorvane V18.0");
}

namespace {
QString g_title = productTitle();
bool g_terminate = false;
}  // namespace

void setApplicationTitle(const QString& title) {
    g_title = title;
}
QString applicationTitle() {
    return g_title;
}

void requestTerminate() {
    g_terminate = true;
    if (auto* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
}

bool terminateRequested() {
    return g_terminate;
}
void clearTerminateRequest() {
    g_terminate = false;
}

}  // namespace qv
