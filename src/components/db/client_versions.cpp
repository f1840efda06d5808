#include "client_versions.h"

#include <libpq-fe.h>
#include <mysql.h>
#include <sqlite3.h>

#include "text.h"

namespace tw::db {

std::vector<ClientLibrary> ClientLibraries() {
    const int pq = PQlibVersion();  // e.g. 150005 for 15.5
    const std::wstring pqVersion = std::to_wstring(pq / 10000) + L"." + std::to_wstring(pq % 100);
    return {
        {L"SQLite", Utf8ToWide(sqlite3_libversion()), L"public domain"},
        {L"libpq (PostgreSQL)", pqVersion, L"PostgreSQL Licence"},
        {L"MariaDB Connector/C", Utf8ToWide(mysql_get_client_info()), L"LGPL 2.1"},
        {L"unixODBC", L"", L"LGPL 2.1"},
    };
}

}  // namespace tw::db
