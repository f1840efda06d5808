// The parameters file: lines "?N=value" whose names are replaced by their values in the script and texts.

#include <cwctype>
#include <filesystem>
#include <fstream>

#include "ctw_doc.h"
#include "log.h"
#include "text.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The rest of a line read as a decimal integer the way atoi does (leading blanks, a sign, digits up to the
// first other character); only whether it is positive matters, so a long run of digits cannot overflow.
bool IsPositiveNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    bool nonZero = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (text[i] != L'0') nonZero = true;
    }
    return nonZero && !negative;
}

}  // namespace

bool ParseParameterLine(std::wstring_view line, ParameterValue& result) {
    if (line.size() <= 2 || line[0] != L'?' || !IsPositiveNumber(line.substr(1))) return false;
    const size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        result.name.clear();
        result.value.assign(line);
        return true;
    }
    std::wstring_view name = line.substr(0, equals);
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    result.name.assign(name);
    result.value.assign(line.substr(equals + 1));
    return true;
}

std::wstring ReplaceParameterValues(std::wstring text, const std::vector<ParameterValue>& values) {
    // Values that hold names of later records multiply the text record by record ("?1=?2?2", "?2=?3?3", ...):
    // past this length the remaining records are left out instead of exhausting memory.
    constexpr size_t kMaxLength = size_t{16} << 20;
    std::wstring replaced;
    for (const ParameterValue& parameter : values) {
        if (parameter.name.empty()) continue;
        size_t at = text.find(parameter.name);
        if (at == std::wstring::npos) continue;
        // One copy of the text with every occurrence replaced, left to right (replacing in place would move the
        // rest of the text once per occurrence). An inserted value is never searched again, so a value holding
        // its own name cannot loop.
        replaced.clear();
        size_t copied = 0;
        bool tooLong = false;
        for (; at != std::wstring::npos; at = text.find(parameter.name, copied)) {
            replaced.append(text, copied, at - copied).append(parameter.value);
            copied = at + parameter.name.size();
            if (replaced.size() + (text.size() - copied) > kMaxLength) {
                tooLong = true;
                break;
            }
        }
        if (tooLong) {
            CLog::Bug(L"The parameter values make the text too long; the values from this one on were not applied.",
                      parameter.name);
            break;
        }
        replaced.append(text, copied);
        text.swap(replaced);
    }
    return text;
}

void CtwDoc::LoadValues() {
    m_values.clear();
    if (Values.empty()) return;
    const std::wstring path = ResolvePath(Values);
    std::error_code error;
    if (!std::filesystem::exists(tw::ToPath(path), error)) {
        CLog::Bug(L"The provided value file is not accesable or not found.", path);
        return;
    }
    std::ifstream file(tw::ToPath(path), std::ios::binary);
    if (!file) return;
    std::string bytes;
    std::wstring line;
    ParameterValue parameter;
    bool firstLine = true;
    while (std::getline(file, bytes)) {
        // Editors that write a UTF-8 byte-order mark must not cost the first parameter.
        if (firstLine && bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
        firstLine = false;
        const size_t end = bytes.find_last_not_of("\r\n");
        bytes.resize(end == std::string::npos ? 0 : end + 1);
        // Lines are UTF-8; bytes that are not valid UTF-8 read as Windows-1252 (older files).
        tw::Utf8ToWide(bytes, line);
        if (ParseParameterLine(line, parameter)) m_values.push_back(parameter);
    }
}
