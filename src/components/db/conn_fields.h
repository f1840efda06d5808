#pragma once
// A connection string taken apart into the fields of the connect dialog and put together again, per backend,
// and the session password joined to a string only for the moment of connecting.

#include <string>
#include <string_view>

#include "conn_info.h"

namespace tw::db {

// What the connect dialog shows. Settings without a field of their own stay in options, as typed.
struct ConnFields {
    std::wstring database;  // sqlite: the file; otherwise the database name
    std::wstring host, port, user;
    std::wstring dsn, driver;  // odbc only: a data source name or a driver
    std::wstring options;      // the other settings: "key=value ..." (odbc: "Key=Value;...")
    std::wstring password;     // only what a pasted string held; never part of a built string

    bool operator==(const ConnFields&) const = default;
};

// The fields of a connection string of type (a PostgreSQL URI too).
ConnFields FieldsFromString(DS_TYPE type, std::wstring_view text);
// The connection string of the fields, without a password: "host=db port=5432 dbname=sales user=report" for
// postgresql, "host=... port=... database=... user=..." for mysql, "DSN=...;UID=...;..." for odbc.
std::wstring StringFromFields(DS_TYPE type, const ConnFields& fields);
// The string to connect with: text with password added (none when password is empty; sqlite has none).
std::wstring WithPassword(DS_TYPE type, std::wstring_view text, std::wstring_view password);

// One value written for a "key=value" list: quoted with backslash escapes when empty or holding a blank, a quote
// or a backslash.
std::wstring QuoteKeyValue(std::wstring_view value);
// One value written for an ODBC list: braced ("}" doubled) when it holds ";", a brace, or blanks at its ends.
std::wstring QuoteOdbcValue(std::wstring_view value);

}  // namespace tw::db
