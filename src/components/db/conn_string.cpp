#include "conn_string.h"

#include <algorithm>
#include <cwctype>

#include "text.h"

namespace tw::db {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring Lower(std::wstring_view text) {
    std::wstring result(text);
    for (auto& c : result) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return result;
}

std::wstring Trimmed(std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::wstring(text.substr(begin, end - begin));
}

bool IsPasswordKey(DS_TYPE type, std::wstring_view key) {
    switch (type) {
        case DS_POSTGRESQL: return key == L"password";
        case DS_MYSQL: return key == L"password" || key == L"passwd" || key == L"pwd";
        case DS_ODBC: return key == L"pwd" || key == L"password";
        case DS_SQLITE: return false;
    }
    return false;
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A part of a URI with its %XX escapes decoded, as libpq reads it: the bytes are UTF-8 (bytes that are not UTF-8
// read as Windows-1252); a "%" without two hexadecimal digits stays as it is.
std::wstring PercentDecoded(std::wstring_view text) {
    if (text.find(L'%') == std::wstring_view::npos) return std::wstring(text);
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            bytes.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
            continue;
        }
        tw::AppendUtf8Char(bytes, static_cast<char32_t>(text[i]));
    }
    return tw::Utf8ToWide(bytes);
}

// text without blanks around it; for a key/value list a blank escaped by a backslash at the end stays, since
// it belongs to the last value.
std::wstring TrimmedList(DS_TYPE type, std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) {
        size_t backslashes = 0;
        while (end - 1 - backslashes > begin && text[end - 2 - backslashes] == L'\\') ++backslashes;
        if (type != DS_ODBC && backslashes % 2 == 1) break;
        --end;
    }
    return std::wstring(text.substr(begin, end - begin));
}

// Removes the spans of the given pairs and the separators that followed them.
std::wstring RemoveSpans(std::wstring_view text, const std::vector<ConnParam>& params, DS_TYPE type,
                         wchar_t separator, bool& removed) {
    std::wstring result;
    size_t copied = 0;
    for (const auto& param : params) {
        if (!IsPasswordKey(type, param.key)) continue;
        removed = true;
        result.append(text.substr(copied, param.begin - copied));
        size_t skip = param.end;
        while (skip < text.size() && (IsBlank(text[skip]) || text[skip] == separator)) ++skip;
        copied = skip;
    }
    result.append(text.substr(copied));
    return TrimmedList(type, result);
}

}  // namespace

std::vector<ConnParam> ParseKeyValues(std::wstring_view text) {
    std::vector<ConnParam> params;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i >= text.size()) break;
        ConnParam param;
        param.begin = i;
        const size_t keyStart = i;
        while (i < text.size() && text[i] != L'=' && !IsBlank(text[i])) ++i;
        param.key = Lower(text.substr(keyStart, i - keyStart));
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i < text.size() && text[i] == L'=') {
            ++i;
            while (i < text.size() && IsBlank(text[i])) ++i;
            if (i < text.size() && text[i] == L'\'') {
                ++i;
                while (i < text.size() && text[i] != L'\'') {
                    if (text[i] == L'\\' && i + 1 < text.size()) ++i;
                    param.value.push_back(text[i++]);
                }
                if (i < text.size()) ++i;
            } else {
                while (i < text.size() && !IsBlank(text[i])) {
                    if (text[i] == L'\\' && i + 1 < text.size()) ++i;
                    param.value.push_back(text[i++]);
                }
            }
        }
        param.end = i;
        params.push_back(std::move(param));
    }
    return params;
}

std::vector<ConnParam> ParseOdbcPairs(std::wstring_view text) {
    std::vector<ConnParam> params;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (IsBlank(text[i]) || text[i] == L';')) ++i;
        if (i >= text.size()) break;
        ConnParam param;
        param.begin = i;
        const size_t keyStart = i;
        while (i < text.size() && text[i] != L'=' && text[i] != L';') ++i;
        param.key = Lower(Trimmed(text.substr(keyStart, i - keyStart)));
        if (i < text.size() && text[i] == L'=') {
            ++i;
            while (i < text.size() && IsBlank(text[i])) ++i;
            if (i < text.size() && text[i] == L'{') {
                ++i;
                while (i < text.size()) {
                    if (text[i] == L'}') {
                        if (i + 1 < text.size() && text[i + 1] == L'}') {
                            param.value.push_back(L'}');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    param.value.push_back(text[i++]);
                }
                while (i < text.size() && text[i] != L';') ++i;
            } else {
                const size_t valueStart = i;
                while (i < text.size() && text[i] != L';') ++i;
                param.value = Trimmed(text.substr(valueStart, i - valueStart));
            }
        }
        param.end = i;
        params.push_back(std::move(param));
    }
    return params;
}

bool ParseUri(std::wstring_view text, UriParts& parts) {
    parts = UriParts{};
    size_t pos;
    if (text.starts_with(L"postgresql://"))
        pos = 13;
    else if (text.starts_with(L"postgres://"))
        pos = 11;
    else
        return false;
    const size_t authorityEnd = std::min(text.find_first_of(L"/?", pos), text.size());
    std::wstring_view authority = text.substr(pos, authorityEnd - pos);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring_view::npos) {
        const std::wstring_view userInfo = authority.substr(0, at);
        const size_t colon = userInfo.find(L':');
        parts.user = PercentDecoded(userInfo.substr(0, colon));
        if (colon != std::wstring_view::npos) parts.password = PercentDecoded(userInfo.substr(colon + 1));
        authority = authority.substr(at + 1);
    }
    // The port follows the last colon unless that colon sits inside an [IPv6] address.
    const size_t colon = authority.rfind(L':');
    if (colon != std::wstring_view::npos && authority.find(L']', colon) == std::wstring_view::npos) {
        parts.host = PercentDecoded(authority.substr(0, colon));
        parts.port = PercentDecoded(authority.substr(colon + 1));
    } else {
        parts.host = PercentDecoded(authority);
    }
    size_t rest = authorityEnd;
    if (rest < text.size() && text[rest] == L'/') {
        const size_t queryStart = std::min(text.find(L'?', rest), text.size());
        parts.database = PercentDecoded(text.substr(rest + 1, queryStart - rest - 1));
        rest = queryStart;
    }
    if (rest < text.size() && text[rest] == L'?') {
        size_t i = rest + 1;
        while (i < text.size()) {
            const size_t end = std::min(text.find(L'&', i), text.size());
            const std::wstring_view pair = text.substr(i, end - i);
            const size_t equals = pair.find(L'=');
            ConnParam param;
            param.key = Lower(PercentDecoded(pair.substr(0, equals)));
            if (equals != std::wstring_view::npos) param.value = PercentDecoded(pair.substr(equals + 1));
            param.begin = i;
            param.end = end;
            parts.query.push_back(std::move(param));
            i = end + 1;
        }
    }
    return true;
}

std::wstring ParamValue(const std::vector<ConnParam>& params, std::wstring_view key, std::wstring_view fallback) {
    // The last setting wins, as in libpq.
    for (auto it = params.rbegin(); it != params.rend(); ++it)
        if (it->key == key) return it->value;
    return std::wstring(fallback);
}

std::wstring WithoutPassword(DS_TYPE type, std::wstring_view text, bool& removed) {
    removed = false;
    switch (type) {
        case DS_SQLITE: return std::wstring(text);
        case DS_ODBC: return RemoveSpans(text, ParseOdbcPairs(text), type, L';', removed);
        case DS_MYSQL: return RemoveSpans(text, ParseKeyValues(text), type, L' ', removed);
        case DS_POSTGRESQL: break;
    }
    UriParts uri;
    // Blanks around a URI go, as RemoveSpans would drop them: a URI is still one when they are gone.
    const std::wstring trimmedText = TrimmedList(type, text);
    if (!ParseUri(trimmedText, uri)) {
        const std::wstring rest = RemoveSpans(text, ParseKeyValues(text), type, L' ', removed);
        // What is left may begin like a URI ("password postgres://u:p@h"): its password goes too.
        bool removedFromUri = false;
        if (ParseUri(rest, uri)) {
            std::wstring without = WithoutPassword(type, rest, removedFromUri);
            removed = removed || removedFromUri;
            return without;
        }
        return rest;
    }
    text = trimmedText;

    std::wstring result(text);
    // Query parameters first: they stand after the user information, so its positions stay valid.
    size_t queryStart = result.find(L'?');
    const bool queryPassword = std::any_of(uri.query.begin(), uri.query.end(),
                                           [](const ConnParam& param) { return param.key == L"password"; });
    if (queryStart != std::wstring::npos && queryPassword) {
        std::wstring query;
        for (const auto& param : uri.query) {
            if (param.key == L"password") {
                removed = true;
                continue;
            }
            query += query.empty() ? L"" : L"&";
            query.append(text.substr(param.begin, param.end - param.begin));
        }
        result.erase(queryStart);
        if (!query.empty()) result += L"?" + query;
    }
    const size_t schemeEnd = result.find(L"://") + 3;
    const size_t authorityEnd = std::min(result.find_first_of(L"/?", schemeEnd), result.size());
    const size_t at = result.rfind(L'@', authorityEnd);
    if (at != std::wstring::npos && at >= schemeEnd) {
        const size_t colon = result.find(L':', schemeEnd);
        if (colon < at) {
            result.erase(colon, at - colon);
            removed = true;
        }
    }
    // Without its password setting the query may end in blanks that stood before it.
    return TrimmedList(type, result);
}

}  // namespace tw::db
