#include "cdb.h"

#include "backends.h"
#include "text.h"

std::unique_ptr<CDB> CDB::newDB(DS_TYPE type) {
    switch (type) {
        case DS_SQLITE: return tw::db::NewSqliteConnection();
        case DS_POSTGRESQL: return tw::db::NewPostgreSqlConnection();
        case DS_MYSQL: return tw::db::NewMySqlConnection();
        case DS_ODBC: return tw::db::NewOdbcConnection();
    }
    return nullptr;
}

int CDB::GetValueUtf8(int column, std::string& value) {
    const int result = GetValue(column, m_wideValue, 0, 0, 0);
    value.clear();
    if (result == DB_OK) tw::AppendUtf8(value, m_wideValue);
    return result;
}
