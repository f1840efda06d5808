// Cells handed over as the database's UTF-8 bytes must give the very bytes that the same cells give as wide
// text: for every writer, every character set path, with and without rules, stray bytes included.
#include <gtest/gtest.h>

#include <random>

#include "golden_calls.h"
#include "markup.h"
#include "report_test_util.h"

namespace {

// Values as a database may hold them: plain ASCII, entities, separators, quotes and line breaks, non-ASCII,
// characters no markup may carry, and bytes that are not UTF-8 at all.
const std::vector<std::string>& Values() {
    static const std::vector<std::string> values = {
        "",
        "plain 123",
        "Item <1> & \"Söhne\" 'Łódź'",
        "tab\tand, comma; semi",
        "line\nbreak\r\nend",
        "\"",
        "\"quoted\" twice \"\"",
        "€ 12,50 – “curly” ™ Ÿ",
        "emoji 😀 and CJK 漢字",
        std::string("nul\0inside", 10),
        "controls \x01\x1f\x7f and C1 \xC2\x85\xC2\x9F",
        "noncharacters \xEF\xBF\xBE \xEF\xB7\x90 \xF4\x8F\xBF\xBF",
        "stray \x80\x9f\xA0\xFF bytes",
        "truncated \xC3",
        "overlong \xC0\xAF and \xE0\x80\xAF",
        "surrogate \xED\xA0\x80 encoded",
        "too high \xF4\x90\x80\x80",
        "\xE2\x82",
        "sep::two€one",
        "12.5",
        "-3",
        "1e5",
        "2026-12-07",
        "2026-12-07 23:30:00.123",
        "2026-12-07 23:30:00",
        " padded ",
        "_x0041_ kept",
    };
    return values;
}

// Cell formats as the rules make them: none, a property and a marker's look, a converter's prefix and suffix,
// and the column types a spreadsheet reads numbers and dates by.
std::vector<CellFormat> Formats() {
    std::vector<CellFormat> formats(8);
    formats[1].attributes = L"style=\"color: #800000; background-color: #ffe0e0\" align=\"right\"";
    formats[1].styleName = L"Pr0";
    formats[1].setsStyle = true;
    formats[1].bold = formats[1].italic = true;
    formats[1].size = 12;
    formats[2].before = L"[€ <";
    formats[2].after = L"> \"]";
    formats[2].valueType = 12;
    // The database's type codes: VARCHAR, DOUBLE, INTEGER, DATE, TIMESTAMP.
    formats[3].valueType = 12;
    formats[4].valueType = 8;
    formats[5].valueType = 4;
    formats[6].valueType = 9;
    formats[7].valueType = 11;
    formats[7].bold = true;
    return formats;
}

// One report of every value in every format; utf8 chooses FormattedCellUtf8. inRow false writes cells where no
// row is open, the writers' slow path.
std::string WriteReport(const rt::TempDir& dir, int format, const wchar_t* charset, const wchar_t* separator,
                        bool utf8, bool inRow, const std::string& name) {
    MultiReport report;
    report.AddReport(format, dir.File(name), L"Golden.htm");
    golden::SetUp(report, charset);
    report.SetColumnSeparator(separator);
    EXPECT_EQ(report.Open(), RE_OK);
    std::vector<int> handles;
    for (const CellFormat& cell : Formats()) handles.push_back(report.PrepareCell(cell));
    handles.push_back(-1);
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, static_cast<int>(handles.size()));
    for (size_t column = 0; column < handles.size(); ++column) report.Cell(L"c" + std::to_wstring(column), 1, {});
    report.EndRow({});
    // A workbook measures its column widths on the first hundred rows, on wide text: the rows after them
    // count.
    const int rounds = format == RF_XLSX ? 5 : 1;
    for (int round = 0; round < rounds; ++round)
        for (const std::string& value : Values()) {
            if (inRow) report.BeginRow(L"row", {}, static_cast<int>(handles.size()));
            for (const int handle : handles) {
                if (utf8) {
                    report.FormattedCellUtf8(handle, L"c", value);
                } else {
                    report.FormattedCell(handle, L"c", tw::Utf8ToWide(value));
                }
            }
            if (inRow) report.EndRow(L"row");
        }
    report.EndTable(L"ResultSet");
    EXPECT_EQ(report.Close(), RE_OK);
    if (format != RF_XLSX) return rt::ReadFile(dir.Path() / name);
    // A workbook carries the time it was written (in the zip and in its properties): its sheets and styles
    // are compared instead.
    int status = 0;
    const std::string parts =
        rt::Capture("unzip -p " + rt::Quote((dir.Path() / name).string()) + " 'xl/*'", &status);
    EXPECT_EQ(status, 0);
    return parts;
}

void ExpectSameBytes(int format, const wchar_t* charset, const wchar_t* separator) {
    SCOPED_TRACE("format " + std::to_string(format) + " " + tw::WideToUtf8(charset) + " separator '" +
                 tw::WideToUtf8(separator) + "'");
    rt::DataDirOverride data(std::string(TW_TEST_DATA) + "/report");
    rt::TempDir dir;
    for (const bool inRow : {true, false}) {
        const std::string wide = WriteReport(dir, format, charset, separator, false, inRow, "wide.out");
        const std::string bytes = WriteReport(dir, format, charset, separator, true, inRow, "bytes.out");
        EXPECT_GT(wide.size(), 200u);
        EXPECT_TRUE(wide == bytes) << "in a row: " << inRow << "\n--- wide:\n" << wide << "\n--- bytes:\n" << bytes;
    }
}

TEST(Utf8Cells, HtmlGivesTheSameBytesInEveryCharset) {
    for (const wchar_t* charset : {L"utf-8", L"iso-8859-1", L"windows-1252", L"us-ascii", L"koi8-r"})
        ExpectSameBytes(RF_HTML, charset, L"\t");
}

TEST(Utf8Cells, TextGivesTheSameBytesWithEverySeparator) {
    for (const wchar_t* separator : {L"\t", L";", L",", L"\"", L"€", L"::", L"", L"\x80"})
        ExpectSameBytes(RF_TEXT, L"utf-8", separator);
}

TEST(Utf8Cells, EveryOtherWriterGivesTheSameBytes) {
    for (const int format : {RF_XML, RF_EXCEL, RF_XLSX, RF_RTF}) ExpectSameBytes(format, L"utf-8", L"\t");
}

// The encoder on its own, for every set, escaped and as markup, over random byte strings as well.
TEST(Utf8Cells, EncoderMatchesTheWidePathOnAnyBytes) {
    std::vector<std::string> values = Values();
    std::mt19937 random(20261207);
    const char alphabet[] = {'a', '<', '&', '"', '\'', '\r', '\x01', '\x7f', '\x80', '\xc3', '\xa9', '\xe2',
                             '\x82', '\xac', '\xf0', '\x9f', '\x98', '\x80', '\xed', '\xbf', '\xff'};
    for (int i = 0; i < 2000; ++i) {
        std::string value(random() % 12, ' ');
        for (char& c : value) c = alphabet[random() % sizeof alphabet];
        values.push_back(value);
    }
    for (const wchar_t* charset : {L"utf-8", L"iso-8859-1", L"windows-1252", L"us-ascii", L"koi8-r"}) {
        markup::HtmlEncoder encoder;
        ASSERT_TRUE(encoder.SetCharset(charset));
        for (const bool escape : {true, false}) {
            for (const std::string& value : values) {
                std::string wide, bytes;
                encoder.Append(wide, tw::Utf8ToWide(value), escape);
                encoder.AppendUtf8(bytes, value, escape);
                ASSERT_EQ(wide, bytes) << tw::WideToUtf8(charset) << " escape " << escape << " value " << value;
            }
        }
    }
}

// The character-by-character reading used on bytes is the one Utf8ToWide applies to whole texts.
TEST(Utf8Cells, DecodingByCharacterMatchesUtf8ToWide) {
    std::mt19937 random(7);
    for (int i = 0; i < 5000; ++i) {
        std::string value(random() % 10, ' ');
        for (char& c : value) c = static_cast<char>(random() % 4 == 0 ? random() % 0x80 : 0x80 + random() % 0x80);
        std::wstring decoded;
        for (size_t at = 0; at < value.size();) {
            char32_t c;
            bool valid;
            const size_t length = tw::DecodeUtf8Char(std::string_view(value).substr(at), c, &valid);
            ASSERT_GE(length, 1u);
            ASSERT_TRUE(valid || length == 1);
            decoded.push_back(static_cast<wchar_t>(c));
            at += length;
        }
        ASSERT_EQ(decoded, tw::Utf8ToWide(value));
    }
}

}  // namespace
