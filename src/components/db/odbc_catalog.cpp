#include "odbc_catalog.h"

#include <sql.h>
#include <sqlext.h>

#include <memory>

#include "text.h"

namespace tw::db {
namespace {

struct EnvironmentFree {
    void operator()(void* handle) const noexcept { SQLFreeHandle(SQL_HANDLE_ENV, handle); }
};
using Environment = std::unique_ptr<void, EnvironmentFree>;

Environment OpenEnvironment() {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) return nullptr;
    Environment environment(handle);
    SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return environment;
}

std::wstring Text(const SQLCHAR* bytes) { return Utf8ToWide(reinterpret_cast<const char*>(bytes)); }

}  // namespace

std::vector<OdbcDataSource> OdbcDataSources() {
    std::vector<OdbcDataSource> sources;
    Environment environment = OpenEnvironment();
    if (!environment) return sources;
    SQLCHAR name[SQL_MAX_DSN_LENGTH * 4 + 1];
    SQLCHAR description[1024];
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(environment.get(), direction, name, sizeof name, &nameLength, description,
                                        sizeof description, &descriptionLength))) {
        sources.push_back({Text(name), Text(description)});
        direction = SQL_FETCH_NEXT;
    }
    return sources;
}

std::vector<std::wstring> OdbcDrivers() {
    std::vector<std::wstring> drivers;
    Environment environment = OpenEnvironment();
    if (!environment) return drivers;
    SQLCHAR name[1024];
    SQLCHAR attributes[4096];
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(environment.get(), direction, name, sizeof name, &nameLength, attributes,
                                    sizeof attributes, &attributesLength))) {
        drivers.push_back(Text(name));
        direction = SQL_FETCH_NEXT;
    }
    return drivers;
}

}  // namespace tw::db
