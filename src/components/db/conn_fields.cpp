#include "conn_fields.h"

#include <vector>

#include "conn_string.h"

namespace tw::db {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Where each field's key may be spelled in several ways, the first spelling is the one written.
struct FieldKeys {
    std::vector<std::wstring_view> host, port, database, user, password;
};

const FieldKeys& KeysOf(DS_TYPE type) {
    static const FieldKeys postgresql{{L"host"}, {L"port"}, {L"dbname"}, {L"user"}, {L"password"}};
    static const FieldKeys mysql{
        {L"host"}, {L"port"}, {L"database", L"dbname", L"db"}, {L"user"}, {L"password", L"passwd", L"pwd"}};
    static const FieldKeys odbc{{L"server", L"servername"}, {L"port"}, {L"database"}, {L"uid", L"user"},
                                {L"pwd", L"password"}};
    return type == DS_ODBC ? odbc : type == DS_MYSQL ? mysql : postgresql;
}

bool IsOneOf(const std::wstring& key, const std::vector<std::wstring_view>& keys) {
    for (std::wstring_view candidate : keys)
        if (key == candidate) return true;
    return false;
}

// Whether the last character of a key/value span is escaped by a backslash ("a=x\ " ends in a blank that
// belongs to the value); ODBC lists have no escapes.
bool EscapedAtEnd(DS_TYPE type, std::wstring_view span) {
    if (type == DS_ODBC) return false;
    size_t backslashes = 0;
    while (backslashes + 1 < span.size() && span[span.size() - 2 - backslashes] == L'\\') ++backslashes;
    return backslashes % 2 == 1;
}

void AppendOption(std::wstring& options, std::wstring_view text, wchar_t separator) {
    if (!options.empty()) options += separator == L';' ? L";" : L" ";
    options.append(text);
}

// Fields of a key/value list; the last setting of a key wins, as in the client libraries.
ConnFields FromParams(DS_TYPE type, std::wstring_view text, const std::vector<ConnParam>& params) {
    const FieldKeys& keys = KeysOf(type);
    const wchar_t separator = type == DS_ODBC ? L';' : L' ';
    ConnFields fields;
    for (const ConnParam& param : params) {
        if (IsOneOf(param.key, keys.host)) fields.host = param.value;
        else if (IsOneOf(param.key, keys.port)) fields.port = param.value;
        else if (IsOneOf(param.key, keys.database)) fields.database = param.value;
        else if (IsOneOf(param.key, keys.user)) fields.user = param.value;
        else if (IsOneOf(param.key, keys.password)) fields.password = param.value;
        else if (type == DS_ODBC && param.key == L"dsn") fields.dsn = param.value;
        else if (type == DS_ODBC && param.key == L"driver") fields.driver = param.value;
        else {
            std::wstring_view span = text.substr(param.begin, param.end - param.begin);
            while (!span.empty() && (IsBlank(span.back()) || span.back() == separator) && !EscapedAtEnd(type, span))
                span.remove_suffix(1);
            AppendOption(fields.options, span, separator);
        }
    }
    return fields;
}

ConnFields FromUri(const UriParts& uri) {
    ConnFields fields;
    fields.host = uri.host;
    fields.port = uri.port;
    fields.database = uri.database;
    fields.user = uri.user;
    fields.password = uri.password;
    // Query settings override the authority's, as in libpq.
    for (const ConnParam& param : uri.query) {
        if (param.key == L"host") fields.host = param.value;
        else if (param.key == L"port") fields.port = param.value;
        else if (param.key == L"dbname") fields.database = param.value;
        else if (param.key == L"user") fields.user = param.value;
        else if (param.key == L"password") fields.password = param.value;
        else AppendOption(fields.options, param.key + L"=" + QuoteKeyValue(param.value), L' ');
    }
    return fields;
}

void AddPair(std::wstring& text, std::wstring_view key, const std::wstring& value, DS_TYPE type) {
    if (value.empty()) return;
    if (type == DS_ODBC) {
        if (!text.empty()) text += L';';
        text.append(key).append(L"=").append(QuoteOdbcValue(value));
    } else {
        if (!text.empty()) text += L' ';
        text.append(key).append(L"=").append(QuoteKeyValue(value));
    }
}

}  // namespace

std::wstring QuoteKeyValue(std::wstring_view value) {
    bool plain = !value.empty();
    for (wchar_t c : value) plain = plain && !IsBlank(c) && c != L'\'' && c != L'\\';
    if (plain) return std::wstring(value);
    std::wstring quoted = L"'";
    for (wchar_t c : value) {
        if (c == L'\'' || c == L'\\') quoted += L'\\';
        quoted += c;
    }
    return quoted + L"'";
}

std::wstring QuoteOdbcValue(std::wstring_view value) {
    bool plain = value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back()));
    for (wchar_t c : value) plain = plain && c != L';' && c != L'{' && c != L'}';
    if (plain) return std::wstring(value);
    std::wstring braced = L"{";
    for (wchar_t c : value) {
        braced += c;
        if (c == L'}') braced += L'}';
    }
    return braced + L"}";
}

ConnFields FieldsFromString(DS_TYPE type, std::wstring_view text) {
    switch (type) {
        case DS_SQLITE: {
            ConnFields fields;
            fields.database = std::wstring(text);
            return fields;
        }
        case DS_ODBC: return FromParams(type, text, ParseOdbcPairs(text));
        case DS_MYSQL: return FromParams(type, text, ParseKeyValues(text));
        case DS_POSTGRESQL: break;
    }
    UriParts uri;
    if (ParseUri(text, uri)) return FromUri(uri);
    return FromParams(type, text, ParseKeyValues(text));
}

std::wstring StringFromFields(DS_TYPE type, const ConnFields& fields) {
    if (type == DS_SQLITE) return fields.database;
    const FieldKeys& keys = KeysOf(type);
    std::wstring text;
    if (type == DS_ODBC) {
        // A data source names its driver itself; a driver needs the server and database spelled out.
        AddPair(text, L"DSN", fields.dsn, type);
        if (fields.dsn.empty()) AddPair(text, L"Driver", fields.driver, type);
        AddPair(text, L"Server", fields.host, type);
        AddPair(text, L"Port", fields.port, type);
        AddPair(text, L"Database", fields.database, type);
        AddPair(text, L"UID", fields.user, type);
    } else {
        AddPair(text, keys.host.front(), fields.host, type);
        AddPair(text, keys.port.front(), fields.port, type);
        AddPair(text, keys.database.front(), fields.database, type);
        AddPair(text, keys.user.front(), fields.user, type);
    }
    // Options are kept as typed, minus any password they hold.
    bool removed = false;
    const std::wstring options = WithoutPassword(type, fields.options, removed);
    if (!options.empty()) AppendOption(text, options, type == DS_ODBC ? L';' : L' ');
    return text;
}

std::wstring WithPassword(DS_TYPE type, std::wstring_view text, std::wstring_view password) {
    std::wstring result(text);
    if (password.empty() || type == DS_SQLITE) return result;
    if (type == DS_ODBC) {
        while (!result.empty() && (IsBlank(result.back()) || result.back() == L';')) result.pop_back();
        const std::wstring pair = L"PWD=" + QuoteOdbcValue(password);
        const std::wstring appended = result.empty() ? pair : result + L";" + pair;
        // An unclosed brace at the end would take the password into its value: it goes first then.
        if (ParamValue(ParseOdbcPairs(appended), L"pwd") == password) return appended;
        return pair + L";" + result;
    }
    UriParts uri;
    if (type == DS_POSTGRESQL && ParseUri(text, uri)) {
        // A URI takes the password as a query setting, percent-encoded where it is not a plain character.
        std::wstring encoded;
        for (wchar_t c : password) {
            const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                               c == L'-' || c == L'.' || c == L'_' || c == L'~';
            if (plain) {
                encoded += c;
                continue;
            }
            std::string utf8;
            const auto code = static_cast<uint32_t>(c);
            if (code < 0x80) utf8 += static_cast<char>(code);
            else if (code < 0x800) {
                utf8 += static_cast<char>(0xC0 | (code >> 6));
                utf8 += static_cast<char>(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                utf8 += static_cast<char>(0xE0 | (code >> 12));
                utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                utf8 += static_cast<char>(0xF0 | (code >> 18));
                utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (code & 0x3F));
            }
            static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
            for (char byte : utf8) {
                const auto value = static_cast<unsigned char>(byte);
                encoded += L'%';
                encoded += kHex[value >> 4];
                encoded += kHex[value & 15];
            }
        }
        const size_t fragment = result.find(L'#');
        if (fragment != std::wstring::npos) result.erase(fragment);
        return result + (result.find(L'?') == std::wstring::npos ? L"?" : L"&") + L"password=" + encoded;
    }
    while (!result.empty() && IsBlank(result.back())) result.pop_back();
    const std::wstring pair = L"password=" + QuoteKeyValue(password);
    const std::wstring appended = result.empty() ? pair : result + L" " + pair;
    // A last setting without its value ("sslmode="), with an unclosed quote or a trailing backslash would take
    // the password into its value: it goes first then.
    if (ParamValue(ParseKeyValues(appended), L"password") == password) return appended;
    return pair + L" " + result;
}

}  // namespace tw::db
