#pragma once

// Settings, database connection and logon. True when an operator is logged on.
bool StartUp();
// Opens dm->conn as [Client Config] says: the SQLite file DbPath (ConnType 0)
// or the PostgreSQL database on ServerName (ConnType 1). A missing file shows
// "文件不存在！"; any other failure (not a lock database, a database this desk
// may not write) shows its reason once. True when the connection is open on a
// lock database the program can write.
bool ConnectDatabase();
