// The Text writer: any table written with any separator reads back through a strict CSV reader (RFC 4180 with
// the report's separator) to the same rows and values.
//
// Deliberate exceptions, checked as such: an empty separator joins the values with nothing between them, and
// a separator holding a double quote or a line break cannot be told from the quoting; neither reads back, and
// the writer still writes every value as stored (the file holds every character of the values in order).
//
// Input (parts separated by 0xFF): the separator, a byte (columns 1 to 8, and whether cells come whole or in
// pieces), then the values, row after row; the first row is the header.

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "fuzz_support.h"
#include "text_writer.h"

namespace {

using Table = std::vector<std::vector<std::wstring>>;

// RFC 4180 with any separator: nullopt when the text breaks the format (a quote inside an unquoted value, text
// after a closing quote, an unterminated quote, no line end at the end).
std::optional<Table> ReadCsv(std::wstring_view text, std::wstring_view separator) {
    Table table;
    size_t i = 0;
    while (i < text.size()) {
        std::vector<std::wstring> row;
        for (;;) {
            std::wstring value;
            if (i < text.size() && text[i] == L'"') {
                ++i;
                for (;;) {
                    if (i >= text.size()) return std::nullopt;
                    if (text[i] == L'"') {
                        if (i + 1 < text.size() && text[i + 1] == L'"') {
                            value.push_back(L'"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    value.push_back(text[i++]);
                }
            } else {
                while (i < text.size() && text[i] != L'\n' && text.substr(i, separator.size()) != separator) {
                    if (text[i] == L'"') return std::nullopt;
                    value.push_back(text[i++]);
                }
            }
            row.push_back(std::move(value));
            if (i >= text.size()) return std::nullopt;
            if (text[i] == L'\n') {
                ++i;
                break;
            }
            if (text.substr(i, separator.size()) != separator) return std::nullopt;
            i += separator.size();
        }
        table.push_back(std::move(row));
    }
    return table;
}

std::string Describe(const Table& table) {
    std::string text;
    for (const auto& row : table) {
        text += "[";
        for (const auto& value : row) text += "'" + fuzz::Shown(value) + "' ";
        text += "]";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Scratch::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::wstring separator = input.Text();
    const std::string_view shape = input.Bytes();
    const uint8_t shapeByte = shape.empty() ? 0 : static_cast<uint8_t>(shape[0]);
    const size_t columns = shapeByte % 8 + 1;
    const bool pieces = shapeByte & 8;
    Table table;
    while (!input.AtEnd()) {
        if (table.empty() || table.back().size() == columns) table.emplace_back();
        table.back().push_back(input.Text());
    }
    while (!table.empty() && table.back().size() < columns) table.back().emplace_back();

    const std::filesystem::path path = fuzz::Scratch::Get().File("report.txt");
    TextReport report;
    ReportSetup setup;
    setup.format = RF_TEXT;
    setup.file = tw::FromPath(path);
    setup.separator = separator;
    report.SetSetup(setup);
    FUZZ_CHECK(report.Open() == RE_OK, "the report cannot be opened: " + fuzz::Shown(report.ErrorText()));
    report.BeginTable(L"ResultSet", L"");
    for (size_t r = 0; r < table.size(); ++r) {
        const int header = r == 0 ? 1 : 0;
        report.BeginRow(header ? L"" : L"row", L"", static_cast<int>(columns));
        for (const std::wstring& value : table[r]) {
            if (pieces && !header) {
                // As the engine writes a formatted cell: the value in pieces, with line breaks as EndOfLine.
                report.BeginCell(L"c", 0, L"");
                size_t start = 0;
                for (size_t lf; (lf = value.find(L'\n', start)) != std::wstring::npos; start = lf + 1) {
                    report.Text(std::wstring_view(value).substr(start, lf - start), 0, L"", 0);
                    report.EndOfLine();
                }
                report.Text(std::wstring_view(value).substr(start), 0, L"", 0);
                report.EndCell(L"c", 0);
            } else {
                report.Cell(value, header, L"");
            }
        }
        report.EndRow(header ? L"" : L"row");
    }
    report.EndTable(L"ResultSet");
    FUZZ_CHECK(report.Close() == RE_OK, "the report cannot be closed: " + fuzz::Shown(report.ErrorText()));

    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::wstring text = tw::Utf8ToWide(bytes);
    const std::string where = "separator '" + fuzz::Shown(separator) + "', table " + Describe(table) + ", file '" +
                              fuzz::Shown(text) + "'";
    const bool readable = !separator.empty() && separator.find_first_of(L"\"\r\n") == std::wstring::npos;
    if (!readable) {
        // Every character of every value is in the file, in order.
        size_t at = 0;
        for (const auto& row : table)
            for (const auto& value : row)
                for (const wchar_t c : value) {
                    at = text.find(c, at);
                    FUZZ_CHECK(at != std::wstring::npos, where + ": a character of the values is lost");
                    ++at;
                }
        return 0;
    }
    const std::optional<Table> read = ReadCsv(text, separator);
    FUZZ_CHECK(read.has_value(), where + ": not valid CSV");
    FUZZ_CHECK(*read == table, where + ": reads back as " + Describe(*read));
    return 0;
}
