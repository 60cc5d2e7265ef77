#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qv {
namespace {
QString g_dir;

QString executableDir() {
    if (QCoreApplication::instance()) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}
}  // namespace

QString AppPaths::dir() {
    return g_dir.isEmpty() ? executableDir() : g_dir;
}
void AppPaths::setDir(const QString& dir) {
    g_dir = QDir(dir).absolutePath();
}
void AppPaths::reset() {
    g_dir.clear();
}

QString AppPaths::file(const QString& relative) {
    QString rel = relative;
    rel.replace('\\', '/');
    return QDir(dir()).filePath(rel);
}

}  // namespace qv
