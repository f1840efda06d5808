#include "cdb.h"

#include "backends.h"

std::unique_ptr<CDB> CDB::newDB(DS_TYPE type) {
    switch (type) {
        case DS_SQLITE: return tw::db::NewSqliteConnection();
        case DS_POSTGRESQL: return tw::db::NewPostgreSqlConnection();
        case DS_MYSQL: return tw::db::NewMySqlConnection();
        case DS_ODBC: return tw::db::NewOdbcConnection();
    }
    return nullptr;
}
