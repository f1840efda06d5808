#pragma once
// Reading native connection strings: libpq-style "key=value" lists (also used for mysql), PostgreSQL URIs and
// ODBC "key=value;" lists. Used for the description line, for leaving passwords out of project files and by the
// backends that take their settings apart.

#include <string>
#include <string_view>
#include <vector>

#include "conn_info.h"

namespace tw::db {

// One setting of a connection string and where it stands in the text ([begin, end), for removal).
struct ConnParam {
    std::wstring key;  // lower case
    std::wstring value;
    size_t begin = 0, end = 0;
};

// "key = value key2='quoted \' value'": blanks separate pairs, values may be single-quoted with backslash escapes.
std::vector<ConnParam> ParseKeyValues(std::wstring_view text);
// "Key=Value;Key2={braced;value}": semicolons separate pairs, values may be braced ("}}" is a brace).
std::vector<ConnParam> ParseOdbcPairs(std::wstring_view text);

// The parts of a postgresql:// (or postgres://) URI, their %XX escapes decoded; false when the text is no such
// URI.
struct UriParts {
    std::wstring user, password, host, port, database;
    std::vector<ConnParam> query;  // key=value pairs after "?"
};
bool ParseUri(std::wstring_view text, UriParts& parts);

// The value of key (lower case) among params, or the fallback.
std::wstring ParamValue(const std::vector<ConnParam>& params, std::wstring_view key, std::wstring_view fallback = {});

// The connection string without any password it holds; removed tells whether one was there.
std::wstring WithoutPassword(DS_TYPE type, std::wstring_view text, bool& removed);

}  // namespace tw::db
