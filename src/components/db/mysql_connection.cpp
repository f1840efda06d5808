#include "backends.h"
#include "cdb.h"

std::unique_ptr<CDB> tw::db::NewMySqlConnection() { return nullptr; }
