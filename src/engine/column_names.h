#pragma once
// The column names of a script's first result set, read without making a report: the rule pages offer them.

#include <string>
#include <vector>

class CDB;

struct ColumnNamesResult {
    bool ok = false;
    std::wstring error;  // the connection's error text when the script failed
    std::vector<std::wstring> names;
};

// Executes script on connection and reads the names of its first result set only, then closes the cursor.
// Runs on any thread, but the connection must be left alone meanwhile (no report run of the same project);
// connection.CancelAll() from another thread stops it, with the driver's interrupt error (the caller resets
// the cancel state with ResetCancel before and after).
ColumnNamesResult ReadColumnNames(CDB& connection, const std::wstring& script);
