#include "script_check.h"

#include <algorithm>
#include <memory>

#include "cdb.h"

namespace {

std::unique_ptr<CDB> Open(const CONN_INFO& info, std::wstring& error) {
    std::unique_ptr<CDB> connection = CDB::newDB(info.Type);
    if (connection == nullptr) {
        error = L"Unknown database type.";
        return nullptr;
    }
    if (!CDB::isOK(connection->Connect(info))) {
        error = connection->m_LastError;
        return nullptr;
    }
    return connection;
}

// Adds the values of every column of every row of the current result set.
void AddValues(CDB& connection, std::vector<std::wstring>& names) {
    int count = 0;
    connection.GetColumnCount(count, 0);
    while (connection.Fetch(0) == DB_OK) {
        for (int column = 1; column <= count; ++column) {
            std::wstring value;
            if (CDB::isOK(connection.GetValue(column, value, 0, 0, 0)) && !value.empty()) names.push_back(value);
        }
    }
}

}  // namespace

ScriptCheckResult CheckScript(const CONN_INFO& info, const std::wstring& script) {
    ScriptCheckResult result;
    std::unique_ptr<CDB> connection = Open(info, result.error);
    if (connection == nullptr) return result;
    result.ok = CDB::isOK(connection->Execute(script, 0));
    if (!result.ok) result.error = connection->m_LastError;
    connection->CloseCursor(0);
    connection->Disconnect();
    return result;
}

std::vector<std::wstring> ReadSchemaNames(const CONN_INFO& info) {
    std::vector<std::wstring> names;
    std::wstring error;
    std::unique_ptr<CDB> connection = Open(info, error);
    if (connection == nullptr) return names;
    const std::wstring query =
        info.Type == DS_SQLITE
            ? L"SELECT m.name, p.name FROM sqlite_master m JOIN pragma_table_info(m.name) p "
              L"WHERE m.type IN ('table', 'view')"
            : L"SELECT table_name, column_name FROM information_schema.columns WHERE table_schema NOT IN "
              L"('pg_catalog', 'information_schema', 'mysql', 'performance_schema', 'sys')";
    if (CDB::isOK(connection->Execute(query, 0))) AddValues(*connection, names);
    connection->CloseCursor(0);
    connection->Disconnect();
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}
