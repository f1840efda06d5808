#pragma once
// The versions of the database client libraries the program runs with, for the About box.

#include <string>
#include <vector>

namespace tw::db {

struct ClientLibrary {
    std::wstring name, version, licence;
};

// SQLite, libpq, MariaDB Connector/C and unixODBC, as loaded at run time where the library says.
std::vector<ClientLibrary> ClientLibraries();

}  // namespace tw::db
