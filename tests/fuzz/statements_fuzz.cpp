// The statement splitter on arbitrary scripts: every statement is a non-empty, trimmed piece of the script,
// the pieces come in order without overlapping, and the statements joined again by ";" on lines of its own
// split into the same statements.

#include <string>

#include "cparse.h"
#include "fuzz_support.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::wstring script = tw::Utf8ToWide(input.Rest());
    CParse parser;
    const int count = parser.Parse(script, 0);
    FUZZ_CHECK(count == parser.Count() && static_cast<size_t>(count) == parser.Statements().size(),
               "the count disagrees with the statements");
    size_t from = 0;
    std::wstring joined;
    for (const std::wstring& statement : parser.Statements()) {
        const std::string where = "script '" + fuzz::Shown(script) + "', statement '" + fuzz::Shown(statement) + "'";
        FUZZ_CHECK(!statement.empty(), where + ": empty");
        FUZZ_CHECK(!IsBlank(statement.front()) && !IsBlank(statement.back()), where + ": not trimmed");
        const size_t at = script.find(statement, from);
        FUZZ_CHECK(at != std::wstring::npos, where + ": not a piece of the script after the one before");
        from = at + statement.size();
        if (!joined.empty()) joined += L"\n;\n";
        joined += statement;
    }
    CParse again;
    again.Parse(joined, 0);
    FUZZ_CHECK(again.Statements() == parser.Statements(),
               "script '" + fuzz::Shown(script) + "': joined again it splits into " +
                   std::to_string(again.Count()) + " statements instead of " + std::to_string(count));
    return 0;
}
