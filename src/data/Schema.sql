-- The lock database. One script for SQLite and PostgreSQL: the words in braces
-- are filled in by the SQL dialect ({KEY} an auto-increment key, {DATETIME} a
-- date-time column, {NOW} the local insertion time, {NUMBER} a decimal number).
-- Statements end with a semicolon at the end of a line. Column lines are
-- indented; their first word is the column's name as the program spells it.

CREATE TABLE RoomInfo (
    Room INTEGER NOT NULL,
    RoomStr TEXT NOT NULL CHECK (RoomStr <> ''),
    SystemRoomStr TEXT,
    Buiding INTEGER NOT NULL DEFAULT 0,
    Floor INTEGER NOT NULL DEFAULT 0,
    RoomNumber INTEGER NOT NULL DEFAULT 0,
    District INTEGER NOT NULL DEFAULT 0,
    RoomState INTEGER NOT NULL DEFAULT 0,
    RoomType INTEGER,
    RoomTypeStr TEXT,
    CardSn INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (Room)
);
CREATE UNIQUE INDEX RoomInfo_RoomStr ON RoomInfo (RoomStr);
-- One lock address is one room: two rooms on it would share every card.
CREATE UNIQUE INDEX RoomInfo_Address ON RoomInfo (Buiding, Floor, RoomNumber);

CREATE TABLE GuestInRecord (
    ID {KEY},
    Room INTEGER,
    RoomStr TEXT,
    GuestName TEXT,
    GuestID TEXT,
    Rom TEXT,
    GuestInTime {DATETIME},
    GuestLeaveTime {DATETIME},
    LeaveTime {DATETIME},
    enOverride INTEGER NOT NULL DEFAULT 0,
    InputUser TEXT,
    MakeName TEXT,
    InputTime {DATETIME} DEFAULT {NOW},
    CardCounts INTEGER NOT NULL DEFAULT 1
);
-- The current stays: what the room board and the room list join, at the cost
-- of the current stays and not of the whole history.
CREATE INDEX GuestInRecord_CurrentRoom ON GuestInRecord (Room) WHERE enOverride = 0;
CREATE INDEX GuestInRecord_CurrentRoomStr ON GuestInRecord (RoomStr) WHERE enOverride = 0;
CREATE INDEX GuestInRecord_RoomStr ON GuestInRecord (RoomStr);
CREATE INDEX GuestInRecord_GuestName ON GuestInRecord (GuestName);
CREATE INDEX GuestInRecord_GuestInTime ON GuestInRecord (GuestInTime);
-- One room's stays in the order they began: a search for a room reads that
-- room's rows only, however long the history.
CREATE INDEX GuestInRecord_RoomGuestInTime ON GuestInRecord (Room, GuestInTime);
CREATE INDEX GuestInRecord_GuestLeaveTime ON GuestInRecord (GuestLeaveTime);
CREATE INDEX GuestInRecord_LeaveTime ON GuestInRecord (LeaveTime);
CREATE INDEX GuestInRecord_InputTime ON GuestInRecord (InputTime);

CREATE TABLE MakeCardRecord (
    ID {KEY},
    CardType INTEGER,
    Rom TEXT,
    RoomStr TEXT,
    Room INTEGER,
    Buiding INTEGER,
    Floor INTEGER,
    District INTEGER,
    Holder TEXT,
    Explain TEXT,
    MakeUser TEXT,
    MakeName TEXT,
    StartTime {DATETIME},
    EndTime {DATETIME},
    enOverride INTEGER,
    InputTime {DATETIME} DEFAULT {NOW},
    CardState INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX MakeCardRecord_CardTypeRom ON MakeCardRecord (CardType, Rom);
-- CardState: 0 written and recorded, 1 handed to the encoder with the outcome
-- never learnt, 2 written with its records not stored, 3 such a card
-- cancelled since. The cards still to be cancelled, found without reading
-- the whole log.
CREATE INDEX MakeCardRecord_Unconfirmed ON MakeCardRecord (ID) WHERE CardState IN (1, 2);
CREATE INDEX MakeCardRecord_Rom ON MakeCardRecord (Rom);
CREATE INDEX MakeCardRecord_InputTime ON MakeCardRecord (InputTime);
CREATE INDEX MakeCardRecord_StartTime ON MakeCardRecord (StartTime);

CREATE TABLE OpenDoorRecord (
    ID {KEY},
    RoomStr TEXT,
    Rom TEXT,
    OpenTime {DATETIME},
    CardType INTEGER,
    CardTypeStr TEXT,
    CardHolderStr TEXT,
    MakeName TEXT,
    Buiding INTEGER,
    Floor INTEGER,
    RoomNumber INTEGER,
    RecordKey TEXT
);
-- Buiding, Floor, RoomNumber: the lock that kept the record, also when no
-- room has its address. RecordKey: the record's identity (lock, time as the
-- lock wrote it, card type, card serial, and its place among records that
-- share all of these), so that a record read from several data cards is
-- stored once; empty on rows stored before records were identified.
CREATE UNIQUE INDEX OpenDoorRecord_RecordKey ON OpenDoorRecord (RecordKey);
CREATE INDEX OpenDoorRecord_RoomStrOpenTime ON OpenDoorRecord (RoomStr, OpenTime);
CREATE INDEX OpenDoorRecord_OpenTime ON OpenDoorRecord (OpenTime);

CREATE TABLE Operator (
    ID {KEY},
    Staffer TEXT NOT NULL,
    StafferName TEXT,
    Pass TEXT,
    Branch TEXT,
    GroupID INTEGER NOT NULL DEFAULT 0,
    CheckIn INTEGER NOT NULL DEFAULT 0,
    CheckOut INTEGER NOT NULL DEFAULT 0,
    PassageCard INTEGER NOT NULL DEFAULT 0,
    ClearCard INTEGER NOT NULL DEFAULT 0,
    TimeCard INTEGER NOT NULL DEFAULT 0,
    LostCard INTEGER NOT NULL DEFAULT 0,
    EmergentCard INTEGER NOT NULL DEFAULT 0,
    MasterCard INTEGER NOT NULL DEFAULT 0,
    BuildingCard INTEGER NOT NULL DEFAULT 0,
    FloorCard INTEGER NOT NULL DEFAULT 0,
    DistrictCard INTEGER NOT NULL DEFAULT 0,
    SystemInfo INTEGER NOT NULL DEFAULT 0,
    OperatorManage INTEGER NOT NULL DEFAULT 0,
    DataCard INTEGER NOT NULL DEFAULT 0,
    RoomType INTEGER NOT NULL DEFAULT 0,
    RoomInfo INTEGER NOT NULL DEFAULT 0,
    DistrictInfo INTEGER NOT NULL DEFAULT 0,
    SpareRight INTEGER NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX Operator_Staffer ON Operator (Staffer);

CREATE TABLE RoomType (
    ID {KEY},
    Title TEXT,
    Size {NUMBER},
    Piece {NUMBER}
);

CREATE TABLE RoomStateType (
    ID INTEGER NOT NULL PRIMARY KEY,
    State_Title TEXT
);

CREATE TABLE District (
    DistrictNumber INTEGER NOT NULL PRIMARY KEY,
    Notes TEXT
);

CREATE TABLE CardType (
    ID INTEGER NOT NULL PRIMARY KEY,
    C_Title TEXT
);

CREATE TABLE AllCardSn (
    CardType INTEGER NOT NULL PRIMARY KEY,
    CardSn INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE KeyKindTable (
    KeyID INTEGER NOT NULL PRIMARY KEY,
    KeyKind TEXT
);

CREATE TABLE Groups (
    ID {KEY},
    GroupName TEXT
);

CREATE TABLE SystemInfo (
    ID {KEY},
    InfoKey TEXT,
    InfoValue TEXT
);

CREATE TABLE Mifare (
    ID {KEY},
    Sector INTEGER,
    KeyStr TEXT
);

CREATE TABLE TeamInRecord (
    ID {KEY},
    TeamName TEXT,
    RoomStr TEXT,
    InputTime {DATETIME} DEFAULT {NOW}
);

-- The key requests of the PMS link: one row per request, written by the
-- interface service and served by the station of its encoder. Kind: New,
-- Copy, Extend, Move, CheckOut, Read. State: queued, writing, answered,
-- expired (never written: its link died or its time ran out first). Answer
-- and AnswerText are the status and clear text told to the PMS, AnswerFields
-- the answer record's fields as sent; CardLogIds the card issue log rows of
-- the cards written, separated by commas; PmsKey the request as the PMS
-- sent it, so that a resend is answered with the first answer.
CREATE TABLE KeyRequest (
    ID {KEY},
    Encoder INTEGER NOT NULL,
    Kind TEXT NOT NULL,
    RoomStr TEXT,
    NewRoomStr TEXT,
    GuestName TEXT,
    Reservation TEXT,
    Workstation TEXT,
    Arrival {DATETIME},
    Departure {DATETIME},
    Cards INTEGER NOT NULL DEFAULT 1,
    Operator TEXT,
    LinkId TEXT,
    PmsKey TEXT,
    State TEXT NOT NULL DEFAULT 'queued',
    Answer TEXT,
    AnswerText TEXT,
    AnswerFields TEXT,
    CardLogIds TEXT,
    Deadline {DATETIME},
    InputTime {DATETIME} DEFAULT {NOW},
    TakenTime {DATETIME},
    AnsweredTime {DATETIME}
);
CREATE INDEX KeyRequest_Queued ON KeyRequest (Encoder, ID) WHERE State = 'queued';
CREATE INDEX KeyRequest_PmsKey ON KeyRequest (PmsKey);
CREATE INDEX KeyRequest_InputTime ON KeyRequest (InputTime);

-- The operations log: who did what, from which workstation, one row per
-- action that changed the hotel or may open a door, written in the same
-- transaction as the change. Rows are only ever added. ID is the row's place
-- in the chain (the previous row's plus one, given under the log's lock);
-- RowHash is the generic hash of the row's content and of PrevHash, the
-- previous row's RowHash, so that a row changed or removed later shows.
-- CardLogId links a card's row to its row of the card issue log.
CREATE TABLE OperationLog (
    ID INTEGER NOT NULL PRIMARY KEY,
    LogTime {DATETIME} NOT NULL,
    Staffer TEXT,
    StafferName TEXT,
    Workstation TEXT,
    Action TEXT NOT NULL,
    Object TEXT,
    Detail TEXT,
    Result TEXT NOT NULL,
    CardLogId INTEGER,
    PrevHash TEXT NOT NULL,
    RowHash TEXT NOT NULL
);
CREATE INDEX OperationLog_LogTime ON OperationLog (LogTime, ID);

-- Failed logons by login name, for the lockout that every desk sees; a row
-- with Lockout set is the failure that locked the login.
CREATE TABLE LogonFailure (
    ID {KEY},
    Staffer TEXT NOT NULL,
    FailTime {DATETIME} NOT NULL,
    Workstation TEXT,
    Lockout INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX LogonFailure_Staffer ON LogonFailure (Staffer, FailTime);

INSERT INTO RoomStateType (ID, State_Title) VALUES (0, '正常');
INSERT INTO RoomStateType (ID, State_Title) VALUES (1, '维修');

INSERT INTO CardType (ID, C_Title) VALUES (1, '清除卡');
INSERT INTO CardType (ID, C_Title) VALUES (2, '校时卡');
INSERT INTO CardType (ID, C_Title) VALUES (3, '应急卡');
INSERT INTO CardType (ID, C_Title) VALUES (4, '宾客卡');
INSERT INTO CardType (ID, C_Title) VALUES (5, '楼层卡');
INSERT INTO CardType (ID, C_Title) VALUES (6, '区域卡');
INSERT INTO CardType (ID, C_Title) VALUES (7, '组卡');
INSERT INTO CardType (ID, C_Title) VALUES (8, '楼号卡');
INSERT INTO CardType (ID, C_Title) VALUES (9, '通道设置卡');
INSERT INTO CardType (ID, C_Title) VALUES (10, '总卡');
INSERT INTO CardType (ID, C_Title) VALUES (11, '备用卡');
INSERT INTO CardType (ID, C_Title) VALUES (12, '挂失卡');
INSERT INTO CardType (ID, C_Title) VALUES (13, '设置卡');
INSERT INTO CardType (ID, C_Title) VALUES (14, '采集启动卡');
INSERT INTO CardType (ID, C_Title) VALUES (15, '数据卡');

INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (1, '清除卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (2, '校时卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (3, '应急卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (4, '宾客卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (5, '楼层卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (6, '区域卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (7, '组卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (8, '楼号卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (9, '通道设置卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (10, '总卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (11, '备用卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (12, '挂失卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (13, '设置卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (14, '采集启动卡');
INSERT INTO KeyKindTable (KeyID, KeyKind) VALUES (15, '数据卡');

INSERT INTO AllCardSn (CardType, CardSn) VALUES (1, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (2, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (3, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (4, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (5, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (6, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (7, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (8, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (9, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (10, 0);
INSERT INTO AllCardSn (CardType, CardSn) VALUES (13, 0);

INSERT INTO Groups (GroupName) VALUES ('系统管理员');
INSERT INTO Groups (GroupName) VALUES ('前台');
