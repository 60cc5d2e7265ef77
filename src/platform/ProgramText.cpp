#include "platform/ProgramText.h"

#include <QReadWriteLock>

namespace qv {
namespace {

QReadWriteLock& tableLock() {
    static QReadWriteLock lock;
    return lock;
}

QHash<QString, QString>& table() {
    static QHash<QString, QString> texts;
    return texts;
}

}  // namespace

QString programText(const QString& builtIn) {
    const QReadLocker locker(&tableLock());
    const auto it = table().constFind(builtIn);
    return it == table().constEnd() || it->isEmpty() ? builtIn : *it;
}

QString noticeTitle() {
    return programText(QStringLiteral("提示"));
}

void setProgramTexts(QHash<QString, QString> texts) {
    const QWriteLocker locker(&tableLock());
    table() = std::move(texts);
}

}  // namespace qv
