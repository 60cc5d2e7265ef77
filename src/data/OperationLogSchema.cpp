#include "data/OperationLogSchema.h"

namespace qv::schema {

const QStringList& operationLogStep() {
    // As the tables were when version 7 brought them. A database that has
    // them already (made by a newer script and stamped older) keeps them.
    static const QStringList step{
        QStringLiteral("CREATE TABLE IF NOT EXISTS OperationLog (\n"
                       "    ID INTEGER NOT NULL PRIMARY KEY,\n"
                       "    LogTime {DATETIME} NOT NULL,\n"
                       "    Staffer TEXT,\n"
                       "    StafferName TEXT,\n"
                       "    Workstation TEXT,\n"
                       "    Action TEXT NOT NULL,\n"
                       "    Object TEXT,\n"
                       "    Detail TEXT,\n"
                       "    Result TEXT NOT NULL,\n"
                       "    CardLogId INTEGER,\n"
                       "    PrevHash TEXT NOT NULL,\n"
                       "    RowHash TEXT NOT NULL\n"
                       ")"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS OperationLog_LogTime ON OperationLog "
                       "(LogTime, ID)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS LogonFailure (\n"
                       "    ID {KEY},\n"
                       "    Staffer TEXT NOT NULL,\n"
                       "    FailTime {DATETIME} NOT NULL,\n"
                       "    Workstation TEXT,\n"
                       "    Lockout INTEGER NOT NULL DEFAULT 0\n"
                       ")"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS LogonFailure_Staffer ON LogonFailure "
                       "(Staffer, FailTime)"),
    };
    return step;
}

}  // namespace qv::schema
