#pragma once
// Work that the Query page does against the database on a connection of its own, so it can run on a worker
// thread while the project's connection stays free for runs: checking a script, and reading the names that
// the SQL editor completes.

#include <string>
#include <vector>

#include "conn_info.h"

// What a check of a script gave: ok, or the database's (or the connecting driver's) text.
struct ScriptCheckResult {
    bool ok = false;
    std::wstring error;
};

// Connects a new connection described by info, executes script as one call, closes the cursor and
// disconnects.
ScriptCheckResult CheckScript(const CONN_INFO& info, const std::wstring& script);

// The table and view names and the column names of the database described by info (each once, sorted);
// empty when it cannot be connected or read.
std::vector<std::wstring> ReadSchemaNames(const CONN_INFO& info);
