#include "data/ChangeFeedSchema.h"

namespace qv::schema {

namespace {
const WatchedTable kWatched[] = {
    {"RoomInfo", Changes(Change::Rooms) | Change::RoomStates},
    {"RoomType", Change::Rooms},
    {"District", Change::Rooms},
    {"GuestInRecord", Change::Stays},
    {"TeamInRecord", Change::Stays},
    {"MakeCardRecord", Change::CardRecords},
    {"OpenDoorRecord", Change::CardRecords},
    {"KeyRequest", Change::KeyRequests},
};
}  // namespace

std::span<const WatchedTable> watchedTables() {
    return kWatched;
}

Changes changesOfTable(const QString& table) {
    for (const WatchedTable& w : kWatched) {
        if (table.compare(QLatin1String(w.table), Qt::CaseInsensitive) == 0) {
            return w.changes;
        }
    }
    return {};
}

const QStringList& changeFeedServerStatements() {
    static const QStringList statements = [] {
        // One notification per table and transaction: the server folds equal
        // notifications of one transaction into one, so a restore or a group
        // check-in of forty rooms tells each desk once.
        QStringList out{QStringLiteral(
            "CREATE OR REPLACE FUNCTION qv_notify_change() RETURNS trigger LANGUAGE plpgsql AS "
            "$f$ BEGIN PERFORM pg_notify('quorvane_changes', TG_TABLE_NAME); RETURN NULL; END "
            "$f$")};
        for (const WatchedTable& w : kWatched) {
            const QString table = QLatin1String(w.table);
            out << QStringLiteral("DROP TRIGGER IF EXISTS %1_Changes ON %1").arg(table)
                << QStringLiteral(
                       "CREATE TRIGGER %1_Changes AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE "
                       "ON %1 FOR EACH STATEMENT EXECUTE FUNCTION qv_notify_change()")
                       .arg(table);
        }
        return out;
    }();
    return statements;
}

}  // namespace qv::schema
