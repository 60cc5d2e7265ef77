#pragma once

#include <QString>

namespace qv {

// Every path the program names relative to its own folder. The folder is the
// directory of the executable; tests point it at a temporary directory.
class AppPaths {
public:
    static QString dir();
    static void setDir(const QString& dir);
    static void reset();

    // A path below the program's folder, with '/' separators ("db/lock.db").
    static QString file(const QString& relative);

    static QString iniFile() { return file(QStringLiteral("Mirefold.ini")); }
    static QString informationFile() { return file(QStringLiteral("Information.ini")); }
    static QString lockDatabase() { return file(QStringLiteral("db/lock.db")); }
    static QString languageDatabase() { return file(QStringLiteral("db/Language.db")); }
    static QString dllDir() { return file(QStringLiteral("Dll")); }
    static QString pictureDir() { return file(QStringLiteral("pic/build")); }
};

}  // namespace qv
