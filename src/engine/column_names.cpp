#include "column_names.h"

#include "cdb.h"

ColumnNamesResult ReadColumnNames(CDB& connection, const std::wstring& script) {
    ColumnNamesResult result;
    if (!CDB::isOK(connection.Execute(script, 0))) {
        result.error = connection.m_LastError.empty() ? L"The script could not be executed." : connection.m_LastError;
        connection.CloseCursor(0);
        return result;
    }
    int count = 0;
    if (!CDB::isOK(connection.GetColumnCount(count, 0))) count = 0;
    for (int column = 0; column < count; ++column) {
        std::wstring name;
        connection.GetColumnName(column, name);
        result.names.push_back(std::move(name));
    }
    connection.CloseCursor(0);
    result.ok = true;
    return result;
}
