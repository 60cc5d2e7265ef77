// quorvane-langstore: turns a translation source into the rows of the
// language store.
//
//   quorvane-langstore install <source.tsv> <Language.db>
//       replaces the rows of the source's language (its file name, e.g.
//       1033.tsv) in the store, creating the store when it is missing; rows
//       of every other language, a translator's own included, stay.
//   quorvane-langstore check <source.tsv>...
//       reads the sources and reports the first fault of each.
#include "language/LanguageSource.h"
#include "platform/Errors.h"
#include "platform/FileVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

namespace {

int usage() {
    std::fputs(
        "usage: quorvane-langstore install <source.tsv> <Language.db>\n"
        "       quorvane-langstore check <source.tsv>...\n",
        stderr);
    return 2;
}

void print(FILE* to, const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), to);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return usage();
    }
    const QString command = args[0];
    try {
        if (command == QLatin1String("check") && args.size() >= 2) {
            for (const QString& path : args.mid(1)) {
                if (qv::language::sourceLanguageId(path) == 0) {
                    throw qv::Error(
                        QStringLiteral("%1: the file's name must be its language identifier, "
                                       "e.g. 1033.tsv")
                            .arg(path));
                }
                qv::language::storeRows(qv::language::readSource(path));
            }
            return 0;
        }
        if (command == QLatin1String("install") && args.size() == 3) {
            const QString source = args[1];
            const int language = qv::language::sourceLanguageId(source);
            if (language == 0) {
                throw qv::Error(
                    QStringLiteral("%1: the file's name must be its language identifier, "
                                   "e.g. 1033.tsv")
                        .arg(source));
            }
            const qv::language::StoreRows rows =
                qv::language::storeRows(qv::language::readSource(source));
            const QString product = TFileVersion().GetVersionString(QStringLiteral("ProductName"));
            qv::language::installLanguage(args[2], product, language, rows);
            print(stdout, QStringLiteral("language %1: %2 component rows, %3 windows' messages "
                                         "written to %4")
                              .arg(language)
                              .arg(rows.components.size())
                              .arg(rows.messages.size())
                              .arg(QDir::toNativeSeparators(args[2])));
            if (rows.untranslated > 0) {
                print(stderr, QStringLiteral("%1 texts have no translation yet and keep the "
                                             "program's own text")
                                  .arg(rows.untranslated));
            }
            return 0;
        }
    } catch (const qv::Error& e) {
        print(stderr, QStringLiteral("quorvane-langstore: ") + e.text());
        return 1;
    }
    return usage();
}
