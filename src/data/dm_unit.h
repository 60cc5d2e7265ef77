#pragma once

#include "data/ChangeFeed.h"
#include "data/Connection.h"
#include "data/DataSet.h"

#include <QObject>
#include <QStringList>

// The data module: the one connection to the lock database and the query and
// table components that several windows share.
class Tdm : public QObject {
    Q_OBJECT
public:
    explicit Tdm(QObject* parent = nullptr);
    ~Tdm() override;

    qv::Connection conn;
    // Tells the desk's windows what other desks and programs changed on
    // `conn`, and when its server is lost and back; started after the logon.
    qv::ChangeFeed feed{conn};

    // The table components that windows share: the operators (rights), the
    // room types and the rooms (each with its before-post check).
    qv::DataSet Operator_ado;
    qv::DataSet RoomType_ado;
    qv::DataSet RoomInfo_ado;

    // Creates a new, empty lock database file at `path` with the schema.
    void CreateMDB(const QString& path);
    // The value lists of GetDataTypeItems.
    enum DataTypeKind {
        OperatorIds = 0,      // Operator.ID
        RoomTypeTitles = 1,   // RoomType.Title
        CardTypeTitles = 2,   // CardType.C_Title
        CardTypeTitles2 = 3,  // CardType.C_Title (the same list)
        Buildings = 4,        // the buildings that have rooms, ascending
        Floors = 5,           // the floors that have rooms, ascending
        Districts = 6,        // District.DistrictNumber, ascending
    };
    // Fills `items` with the values of one column (kinds 0 to 6) and returns
    // the 1-based position of `find` among them (the last equal row), or -1.
    int GetDataTypeItems(int kind, QStringList& items, const QString& find);

    void RoomType_adoBeforePost(qv::DataSet& dataSet);
    void RoomInfo_adoBeforePost(qv::DataSet& dataSet);

    // Closes every table component (before the connection is closed or reopened).
    void closeTables();
};

extern Tdm* dm;
