#include "data/KeyRequestSchema.h"

namespace qv::schema {

const QStringList& keyRequestStep() {
    // As the table was when version 5 brought it; later versions change it
    // with steps of their own. A database that has the table already (made
    // by a newer script and stamped older) keeps it.
    static const QStringList step{
        QStringLiteral("CREATE TABLE IF NOT EXISTS KeyRequest (\n"
                       "    ID {KEY},\n"
                       "    Encoder INTEGER NOT NULL,\n"
                       "    Kind TEXT NOT NULL,\n"
                       "    RoomStr TEXT,\n"
                       "    NewRoomStr TEXT,\n"
                       "    GuestName TEXT,\n"
                       "    Reservation TEXT,\n"
                       "    Workstation TEXT,\n"
                       "    Arrival {DATETIME},\n"
                       "    Departure {DATETIME},\n"
                       "    Cards INTEGER NOT NULL DEFAULT 1,\n"
                       "    Operator TEXT,\n"
                       "    LinkId TEXT,\n"
                       "    PmsKey TEXT,\n"
                       "    State TEXT NOT NULL DEFAULT 'queued',\n"
                       "    Answer TEXT,\n"
                       "    AnswerText TEXT,\n"
                       "    AnswerFields TEXT,\n"
                       "    CardLogIds TEXT,\n"
                       "    Deadline {DATETIME},\n"
                       "    InputTime {DATETIME} DEFAULT {NOW},\n"
                       "    TakenTime {DATETIME},\n"
                       "    AnsweredTime {DATETIME}\n"
                       ")"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS KeyRequest_Queued ON KeyRequest (Encoder, ID) "
                       "WHERE State = 'queued'"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS KeyRequest_PmsKey ON KeyRequest (PmsKey)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS KeyRequest_InputTime ON KeyRequest (InputTime)"),
    };
    return step;
}

const QStringList& keyRequestServerStatements() {
    // The change feed's function names the changed table in its
    // notification; it is made here only when the database lacks it, so a
    // database that has it keeps it as it is.
    static const QStringList statements{
        QStringLiteral(
            "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_proc p JOIN pg_namespace n ON "
            "n.oid = p.pronamespace WHERE p.proname = 'qv_notify_change' AND n.nspname = "
            "current_schema()) THEN EXECUTE 'CREATE OR REPLACE FUNCTION qv_notify_change() "
            "RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN PERFORM "
            "pg_notify(''quorvane_changes'', TG_TABLE_NAME); RETURN NULL; END $f$'; END IF; "
            "END $$"),
        QStringLiteral("DROP TRIGGER IF EXISTS KeyRequest_Changes ON KeyRequest"),
        QStringLiteral("CREATE TRIGGER KeyRequest_Changes AFTER INSERT OR UPDATE OR DELETE ON "
                       "KeyRequest FOR EACH STATEMENT EXECUTE FUNCTION qv_notify_change()"),
    };
    return statements;
}

}  // namespace qv::schema
