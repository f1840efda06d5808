#pragma once
// A connection description: the data-source type and the native connection string.

#include <string>

class CSysReg;

// Data-source types; their names in project files are "sqlite", "postgresql", "mysql" and "odbc".
enum DS_TYPE { DS_SQLITE = 0, DS_POSTGRESQL = 1, DS_MYSQL = 2, DS_ODBC = 3 };

const wchar_t* DsTypeName(DS_TYPE type);
// The type named by text (any letter case); false when the text names none.
bool DsTypeFromName(std::wstring_view name, DS_TYPE& type);

struct CONN_INFO {
    DS_TYPE Type = DS_SQLITE;
    // sqlite: a file path or file: URI; postgresql: libpq conninfo or URI; mysql: "host=... port=... user=...
    // database=..."; odbc: an ODBC connection string.
    std::wstring Connection;
    // Folder that relative SQLite paths count from (the project file's folder); never saved.
    std::wstring BaseFolder;
    // A password typed for this session (connect dialog): joined to Connection only when connecting, never
    // saved, never shown, and not part of the comparison (the same settings with another password are the same
    // connection).
    std::wstring Password = {};

    // The text the client library is given: Connection with Password joined to it.
    std::wstring ConnectString() const;

    // Reads Type and Connection from the table [section]; an absent table gives an empty description.
    void Load(const CSysReg& store, const wchar_t* section);
    // Writes Type and Connection into [section]; a password in the connection string is left out.
    void Save(CSysReg& store, const wchar_t* section) const;
    bool IsEmpty() const;
    // One line such as "PostgreSQL sales on localhost:5432 as report".
    std::wstring ConInfo() const;

    bool operator==(const CONN_INFO& other) const { return Type == other.Type && Connection == other.Connection; }
    bool operator!=(const CONN_INFO& other) const { return !(*this == other); }
};
