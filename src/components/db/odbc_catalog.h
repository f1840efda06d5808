#pragma once
// What the ODBC driver manager knows: its data sources (odbc.ini) and drivers (odbcinst.ini).

#include <string>
#include <vector>

namespace tw::db {

struct OdbcDataSource {
    std::wstring name, description;  // the description is the driver's name in unixODBC
};

// The user and system data sources, in the driver manager's order; empty when it has none.
std::vector<OdbcDataSource> OdbcDataSources();
// The installed drivers' names.
std::vector<std::wstring> OdbcDrivers();

}  // namespace tw::db
