#pragma once

// What the headless key interface programs share: the program folder, the
// settings and the lock database they name.
#include "data/OpenLockDatabase.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <cstdio>

namespace qv::tools {

// --dir (the program folder holding Mirefold.ini) and --port (overrides [Interface] Port).
inline void addCommonOptions(QCommandLineParser& p) {
    p.addHelpOption();
    p.addOption({"dir", "The program folder (Mirefold.ini, db/).", "folder"});
    p.addOption({"port", "The port, instead of [Interface] Port.", "port"});
}

inline InterfaceSettings readSettings(const QCommandLineParser& p) {
    if (p.isSet("dir")) {
        AppPaths::setDir(p.value("dir"));
    }
    ReadSystemInfo(LockSystemInfo);
    LockSystemInfo.Loaded = true;
    InterfaceSettings s = ReadInterfaceSettings();
    if (p.isSet("port")) {
        s.Port = p.value("port").toInt();
    }
    return s;
}

// Opens the lock database of [Client Config] on the data module; false
// with the reason printed.
inline bool openDatabase(Tdm& data) {
    dm = &data;
    try {
        openLockDatabase(data.conn, ReadLockDatabaseChoice());
        LockSystemInfo.ConnType = data.conn.kind() == DbKind::PostgreSQL ? 1 : 0;
        return true;
    } catch (const Error& e) {
        std::fprintf(stderr, "lock database: %s\n", qUtf8Printable(e.text()));
        return false;
    }
}

}  // namespace qv::tools
