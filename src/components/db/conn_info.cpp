#include "conn_info.h"

#include <atomic>
#include <cwctype>

#include "conn_fields.h"
#include "conn_string.h"
#include "log.h"
#include "sys_reg.h"

namespace {

constexpr const wchar_t* kTypeNames[] = {L"sqlite", L"postgresql", L"mysql", L"odbc"};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// "name on host:port as user", leaving out what is not known.
std::wstring ServerLine(const wchar_t* product, const std::wstring& database, const std::wstring& host,
                        const std::wstring& port, const std::wstring& user) {
    std::wstring line = product;
    if (!database.empty()) line += L" " + database;
    line += L" on " + (host.empty() ? std::wstring(L"localhost") : host);
    // A Unix socket folder has no port worth showing.
    if (!port.empty() && !host.starts_with(L"/")) line += L":" + port;
    if (!user.empty()) line += L" as " + user;
    return line;
}

std::wstring PostgreSqlLine(const std::wstring& text) {
    tw::db::UriParts uri;
    if (tw::db::ParseUri(text, uri)) {
        const auto& q = uri.query;
        return ServerLine(L"PostgreSQL", tw::db::ParamValue(q, L"dbname", uri.database),
                          tw::db::ParamValue(q, L"host", uri.host), tw::db::ParamValue(q, L"port", uri.port.empty() ? L"5432" : uri.port),
                          tw::db::ParamValue(q, L"user", uri.user));
    }
    const auto params = tw::db::ParseKeyValues(text);
    const std::wstring user = tw::db::ParamValue(params, L"user");
    return ServerLine(L"PostgreSQL", tw::db::ParamValue(params, L"dbname", user),
                      tw::db::ParamValue(params, L"host", tw::db::ParamValue(params, L"hostaddr")),
                      tw::db::ParamValue(params, L"port", L"5432"), user);
}

std::wstring MySqlLine(const std::wstring& text) {
    const auto params = tw::db::ParseKeyValues(text);
    std::wstring database = tw::db::ParamValue(params, L"database");
    if (database.empty()) database = tw::db::ParamValue(params, L"dbname", tw::db::ParamValue(params, L"db"));
    std::wstring host = tw::db::ParamValue(params, L"host");
    const std::wstring socket = tw::db::ParamValue(params, L"socket");
    if (!socket.empty()) host = socket;
    return ServerLine(L"MySQL", database, host, tw::db::ParamValue(params, L"port", L"3306"),
                      tw::db::ParamValue(params, L"user"));
}

std::wstring OdbcLine(const std::wstring& text) {
    const auto params = tw::db::ParseOdbcPairs(text);
    std::wstring line = L"ODBC";
    const std::wstring dsn = tw::db::ParamValue(params, L"dsn");
    line += L" " + (dsn.empty() ? tw::db::ParamValue(params, L"driver") : dsn);
    const std::wstring database = tw::db::ParamValue(params, L"database");
    if (!database.empty()) line += L" " + database;
    const std::wstring user = tw::db::ParamValue(params, L"uid");
    if (!user.empty()) line += L" as " + user;
    return line;
}

}  // namespace

const wchar_t* DsTypeName(DS_TYPE type) {
    const auto index = static_cast<size_t>(type);
    return index < std::size(kTypeNames) ? kTypeNames[index] : L"";
}

bool DsTypeFromName(std::wstring_view name, DS_TYPE& type) {
    for (size_t i = 0; i < std::size(kTypeNames); ++i) {
        const std::wstring_view candidate = kTypeNames[i];
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (size_t c = 0; c < name.size() && same; ++c)
            same = std::towlower(static_cast<wint_t>(name[c])) == static_cast<wint_t>(candidate[c]);
        if (same) {
            type = static_cast<DS_TYPE>(i);
            return true;
        }
    }
    return false;
}

void CONN_INFO::Load(const CSysReg& store, const wchar_t* section) {
    Type = DS_SQLITE;
    Connection.clear();
    // The store's current section is a reading position, not part of its content.
    auto& reader = const_cast<CSysReg&>(store);
    reader.Section(section, 0);
    std::wstring typeName;
    store.Read(L"Type", typeName, L"");
    store.Read(L"Connection", Connection, L"");
    if (typeName.empty()) return;
    DS_TYPE type;
    if (DsTypeFromName(typeName, type)) {
        Type = type;
        return;
    }
    CLog::Bug(L"CONN_INFO::Load: unknown data-source type; the connection is left empty", typeName, __FILE__,
              __LINE__);
    Connection.clear();
}

void CONN_INFO::Save(CSysReg& store, const wchar_t* section) const {
    store.Section(section, 0);
    store.Save(L"Type", DsTypeName(Type));
    bool removed = false;
    store.Save(L"Connection", tw::db::WithoutPassword(Type, Connection, removed));
    static std::atomic<bool> told{false};
    if (removed && !told.exchange(true)) {
        CLog::Bug(L"CONN_INFO::Save: the password was left out of the saved connection string",
                  L"passwords belong in PGPASSWORD or ~/.pgpass (PostgreSQL), ~/.my.cnf (MySQL/MariaDB) or "
                  L"odbc.ini (ODBC)");
    }
}

std::wstring CONN_INFO::ConnectString() const { return tw::db::WithPassword(Type, Connection, Password); }

bool CONN_INFO::IsEmpty() const {
    for (wchar_t c : Connection)
        if (!IsBlank(c)) return false;
    return true;
}

std::wstring CONN_INFO::ConInfo() const {
    switch (Type) {
        case DS_SQLITE: return L"SQLite " + Connection;
        case DS_POSTGRESQL: return PostgreSqlLine(Connection);
        case DS_MYSQL: return MySqlLine(Connection);
        case DS_ODBC: return OdbcLine(Connection);
    }
    return Connection;
}
