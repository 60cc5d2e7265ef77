#include "platform/ProgramText.h"

#include <QCoreApplication>
#include <QReadWriteLock>
#include <QTranslator>

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

// The table's translation of `builtIn`, or nothing.
QString lookUp(const QString& builtIn) {
    const QReadLocker locker(&tableLock());
    const auto it = table().constFind(builtIn);
    return it == table().constEnd() ? QString() : *it;
}

bool tableIsEmpty() {
    const QReadLocker locker(&tableLock());
    return table().isEmpty();
}

// Answers the application's translation requests in the program's context
// from the table, so that a library with a platform layer of its own (the
// print library) shows the program's texts in the chosen language too.
class ProgramTranslator final : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char*,
                      int) const override {
        if (!context || qstrcmp(context, kProgramTextContext) != 0 || !sourceText) {
            return QString();
        }
        return lookUp(QString::fromUtf8(sourceText));
    }
    bool isEmpty() const override { return false; }
};

void installTranslator() {
    static ProgramTranslator* installed = nullptr;
    if (installed || !QCoreApplication::instance()) {
        return;
    }
    installed = new ProgramTranslator;
    installed->moveToThread(QCoreApplication::instance()->thread());
    installed->setParent(QCoreApplication::instance());
    QCoreApplication::installTranslator(installed);
    // Gone with the application; a later application gets its own.
    QObject::connect(installed, &QObject::destroyed, [] { installed = nullptr; });
}

}  // namespace

QString programText(const QString& builtIn) {
    if (const QString text = lookUp(builtIn); !text.isEmpty()) {
        return text;
    }
    if (tableIsEmpty() && QCoreApplication::instance()) {
        // This copy of the platform layer was never given texts: the
        // application's translators know them when the program's do.
        return QCoreApplication::translate(kProgramTextContext, builtIn.toUtf8().constData());
    }
    return builtIn;
}

QString noticeTitle() {
    return programText(QStringLiteral("提示"));
}

void setProgramTexts(QHash<QString, QString> texts) {
    {
        const QWriteLocker locker(&tableLock());
        table() = std::move(texts);
    }
    installTranslator();
}

}  // namespace qv
