#pragma once
// The factories of the backends, one per file; CDB::newDB picks one.

#include <memory>

class CDB;

namespace tw::db {

std::unique_ptr<CDB> NewSqliteConnection();
std::unique_ptr<CDB> NewPostgreSqlConnection();
std::unique_ptr<CDB> NewMySqlConnection();
std::unique_ptr<CDB> NewOdbcConnection();

// Seconds a connect may take when the connection string does not say.
constexpr int kConnectTimeoutSeconds = 10;

}  // namespace tw::db
