// The connection-string readers on arbitrary texts: key/value lists, ODBC lists and PostgreSQL URIs. Spans lie
// within the text; a text without its password holds no password setting any more (and losing it twice changes
// nothing); a quoted value reads back as itself; fields taken from a string, built into a string and taken
// again are the same fields (less the password, which a built string never holds); a password joined for
// connecting reads back as that password.
//
// Input: a type byte, then the connection string, then a value for the quoting checks.

#include <string>

#include "conn_fields.h"
#include "conn_string.h"
#include "fuzz_support.h"

using namespace tw::db;

namespace {

bool HasPasswordKey(DS_TYPE type, const std::vector<ConnParam>& params) {
    for (const ConnParam& param : params) {
        if (param.key == L"password") return true;
        if ((type == DS_MYSQL || type == DS_ODBC) && param.key == L"pwd") return true;
        if (type == DS_MYSQL && param.key == L"passwd") return true;
    }
    return false;
}

void CheckSpans(const std::vector<ConnParam>& params, size_t size, const std::string& where) {
    size_t last = 0;
    for (const ConnParam& param : params) {
        FUZZ_CHECK(param.begin <= param.end && param.end <= size && param.begin >= last,
                   where + ": a span outside the text or out of order");
        last = param.end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const auto type = static_cast<DS_TYPE>(input.Byte() % 4);
    const std::wstring text = input.Text();
    const std::wstring value = input.Text();
    const std::string where = "type " + std::to_string(type) + ", '" + fuzz::Shown(text) + "'";

    CheckSpans(ParseKeyValues(text), text.size(), where);
    CheckSpans(ParseOdbcPairs(text), text.size(), where);
    UriParts uri;
    if (ParseUri(text, uri)) CheckSpans(uri.query, text.size(), where);

    bool removed = false;
    const std::wstring without = WithoutPassword(type, text, removed);
    if (type != DS_SQLITE) {
        UriParts parts;
        const bool isUri = type == DS_POSTGRESQL && ParseUri(without, parts);
        if (isUri) {
            FUZZ_CHECK(parts.password.empty() && !HasPasswordKey(type, parts.query),
                       where + ": the URI keeps a password: '" + fuzz::Shown(without) + "'");
        } else {
            const auto params = type == DS_ODBC ? ParseOdbcPairs(without) : ParseKeyValues(without);
            FUZZ_CHECK(!HasPasswordKey(type, params),
                       where + ": a password is left in '" + fuzz::Shown(without) + "'");
        }
    }
    bool removedAgain = false;
    const std::wstring twice = WithoutPassword(type, without, removedAgain);
    FUZZ_CHECK(twice == without && !removedAgain,
               where + ": removing the password again changed '" + fuzz::Shown(without) + "' to '" +
                   fuzz::Shown(twice) + "'");

    // Quoting: the value comes back whole from the list it is written into.
    const auto keyValues = ParseKeyValues(L"k=" + QuoteKeyValue(value));
    FUZZ_CHECK(keyValues.size() == 1 && keyValues[0].value == value,
               "value '" + fuzz::Shown(value) + "' quoted as '" + fuzz::Shown(QuoteKeyValue(value)) +
                   "' does not read back");
    const auto odbc = ParseOdbcPairs(L"K=" + QuoteOdbcValue(value) + L";");
    FUZZ_CHECK(odbc.size() == 1 && odbc[0].value == value,
               "value '" + fuzz::Shown(value) + "' quoted as '" + fuzz::Shown(QuoteOdbcValue(value)) +
                   "' does not read back in an ODBC list");

    // Fields to string to fields. Deliberate exceptions: a URI query key that is not a plain name (a blank, "=",
    // a quote) has no spelling in a key/value list; options that begin like a URI (a setting without a value
    // named "postgres://...") make the built string a URI. libpq refuses both as they stand.
    bool plainKeys = true;
    if (type == DS_POSTGRESQL && ParseUri(text, uri)) {
        for (const ConnParam& param : uri.query)
            for (const wchar_t c : param.key)
                plainKeys = plainKeys && ((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'_');
    }
    const ConnFields fields = FieldsFromString(type, text);
    if (type == DS_POSTGRESQL &&
        (fields.options.starts_with(L"postgres://") || fields.options.starts_with(L"postgresql://")))
        plainKeys = false;
    const std::wstring built = StringFromFields(type, fields);
    ConnFields expected = fields;
    expected.password.clear();
    if (type == DS_ODBC && !expected.dsn.empty()) expected.driver.clear();  // a data source names its driver
    const ConnFields again = FieldsFromString(type, built);
    FUZZ_CHECK(!plainKeys || again == expected, where + ": fields built into '" + fuzz::Shown(built) +
                                      "' read back differently (database '" + fuzz::Shown(again.database) +
                                      "' was '" + fuzz::Shown(expected.database) + "', options '" +
                                      fuzz::Shown(again.options) + "' were '" + fuzz::Shown(expected.options) +
                                      "')");

    // The session password joined for connecting, to the string as typed (a URI too) and as built.
    if (type == DS_POSTGRESQL && !value.empty() && ParseUri(text, uri)) {
        const std::wstring connect = WithPassword(type, text, value);
        const ConnFields withPassword = FieldsFromString(type, connect);
        FUZZ_CHECK(withPassword.password == value,
                   where + ": password '" + fuzz::Shown(value) + "' joined to the URI as '" + fuzz::Shown(connect) +
                       "' reads back as '" + fuzz::Shown(withPassword.password) + "'");
    }
    if (type != DS_SQLITE && !value.empty()) {
        const std::wstring connect = WithPassword(type, built, value);
        const ConnFields withPassword = FieldsFromString(type, connect);
        FUZZ_CHECK(withPassword.password == value,
                   where + ": password '" + fuzz::Shown(value) + "' joined as '" + fuzz::Shown(connect) +
                       "' reads back as '" + fuzz::Shown(withPassword.password) + "'");
    }
    return 0;
}
