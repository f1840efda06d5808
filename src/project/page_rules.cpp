#include "page_rules.h"

#include <unistd.h>

#include <array>
#include <filesystem>

#include "text.h"

namespace pages {

namespace {
constexpr std::array<OutputFormatInfo, 7> kFormats{{
    {L"HTML", 1, L"htm", L"HTML documents|*.htm", true, false, true},
    {L"XML", 2, L"xml", L"XML documents|*.xml", false, false, false},
    {L"Text", 3, L"txt", L"Text files|*.txt", false, false, false},
    {L"Word/RTF", 0, L"doc", L"Word documents|*.doc", false, true, false},
    {L"Excel", 6, L"xls", L"Excel spreadsheets|*.xls", false, false, false},
    {L"CHM", 4, L"chm", L"Windows HTML Helps|*.chm", true, false, true},
    {L"PDF", 5, L"pdf", L"PDF Documents|*.pdf", false, true, false},
}};
}  // namespace

std::span<const OutputFormatInfo> OutputFormats() { return kFormats; }

int FormatPosition(int format) {
    for (size_t position = 0; position < kFormats.size(); ++position) {
        if (kFormats[position].format == format) return static_cast<int>(position);
    }
    return 0;
}

const OutputFormatInfo& FormatAt(int position) {
    if (position < 0 || position >= static_cast<int>(kFormats.size())) return kFormats[0];
    return kFormats[static_cast<size_t>(position)];
}

std::wstring WithExtension(const std::wstring& file, std::wstring_view extension) {
    if (file.size() <= 4 || extension.size() != 3) return file;
    if (std::wstring_view(file).substr(file.size() - 3) == extension) return file;
    return file.substr(0, file.size() - 3) + std::wstring(extension);
}

std::wstring TrimScript(std::wstring_view text) {
    constexpr std::wstring_view blanks = L" \r\n\t";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos) return {};
    const size_t last = text.find_last_not_of(blanks);
    return std::wstring(text.substr(first, last - first + 1));
}

bool IsReadableFile(const std::wstring& path) {
    if (path.empty()) return false;
    const std::string native = tw::WideToUtf8(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(native, error)) return false;
    return access(native.c_str(), R_OK) == 0;
}

std::wstring PlaceScript(const std::wstring& script, size_t caret, const std::wstring& text, Placement mode) {
    switch (mode) {
        case Placement::Replace:
            return text;
        case Placement::Append:
            return script + text + L" ";
        case Placement::AtCaret:
        default: {
            const size_t at = caret > script.size() ? script.size() : caret;
            return script.substr(0, at) + text + script.substr(at);
        }
    }
}

std::string_view SqlKeywords() {
    return "ADD ALL ALTER AND ANY AS ASC AVG BEGIN BETWEEN BY CASE CAST CHECK COALESCE COLUMN COMMIT CONSTRAINT "
           "COUNT CREATE CROSS CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP DATABASE DEFAULT DELETE DESC DISTINCT "
           "DROP ELSE END EXCEPT EXISTS FALSE FETCH FOREIGN FROM FULL FUNCTION GROUP HAVING IF IN INDEX INNER "
           "INSERT INTERSECT INTO IS JOIN KEY LEFT LIKE LIMIT MAX MIN NOT NULL NULLIF OFFSET ON OR ORDER OUTER "
           "PRIMARY PROCEDURE REFERENCES RIGHT ROLLBACK SELECT SET SUM TABLE THEN TOP TRANSACTION TRIGGER TRUE "
           "UNION UNIQUE UPDATE USING VALUES VIEW WHEN WHERE WITH";
}

}  // namespace pages
