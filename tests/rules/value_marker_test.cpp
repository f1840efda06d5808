#include "value_marker.h"

#include <gtest/gtest.h>

#include <random>

#include "fld_desc.h"
#include "text.h"

namespace {

std::string Show(const wchar_t* text) { return testing::PrintToString(std::wstring(text)); }

// Prepared against Name, Qty, Status (VARCHAR, INTEGER, VARCHAR); tests with other columns prepare again.
ValueMarker Marker(int wholeRow, const wchar_t* column, const wchar_t* operation, const wchar_t* operand) {
    ValueMarker marker;
    marker.IsWholeRow = wholeRow;
    marker.ConditionColumn = column;
    marker.ConditionOperation = operation;
    marker.ConditionOperand = operand;
    PrepareMarker(marker, {L"Name", L"Qty", L"Status"}, {TC_VARCHAR, TC_INTEGER, TC_VARCHAR});
    return marker;
}

TEST(ParseOperation, FirstCharacterDecides) {
    const struct {
        const wchar_t* text;
        MarkerOperation expected;
    } cases[] = {
        {L"!=", MO_NOT_EQUAL}, {L"<", MO_LESS},      {L"<=", MO_LESS_EQUAL}, {L"<>", MO_LESS},
        {L"=", MO_EQUAL},      {L">", MO_GREATER},   {L">=", MO_GREATER_EQUAL}, {L">= ", MO_GREATER},
        {L"Cx", MO_CONTAINS},  {L"In Range", MO_IN_RANGE}, {L"Starts with", MO_STARTS_WITH},
        // Unrecognised texts leave the operation as it was.
        {L"", MO_LESS},        {L"Equals", MO_LESS}, {L"contains", MO_LESS},
    };
    for (const auto& c : cases) {
        ValueMarker marker;
        marker.operation = MO_LESS;
        marker.ConditionOperation = c.text;
        ParseOperation(marker);
        EXPECT_EQ(marker.operation, c.expected) << Show(c.text);
    }
}

TEST(TestMarker, Comparisons) {
    const struct {
        int type;
        const wchar_t* operation;
        const wchar_t* operand;
        const wchar_t* value;
        bool expected;
    } cases[] = {
        // Integer ranges: both bounds included; one bound alone; nothing after the separator reads as 0.
        {TC_INTEGER, L"In Range", L"10;20", L"10", true},
        {TC_INTEGER, L"In Range", L"10;20", L"9", false},
        {TC_INTEGER, L"In Range", L"10;20", L"21", false},
        {TC_INTEGER, L"In Range", L"10", L"10", true},
        {TC_INTEGER, L"In Range", L"10;", L"10", false},
        {TC_INTEGER, L"In Range", L";5", L"0", true},
        // Integer reading: digits up to the first other character; empty and non-numeric read as 0.
        {TC_INTEGER, L">", L"5", L"5.9", false},
        {TC_SMALLINT, L"=", L"7", L"  +7 apples", true},
        {TC_TINYINT, L"=", L"0", L"", true},
        {TC_BIGINT, L">", L"2147483647", L"3000000000", true},       // no 32-bit wrap-around
        {TC_BIGINT, L"<", L"0", L"99999999999999999999999", false},  // saturates, never wraps negative
        // Number reading: decimal point, exponent, longest valid prefix.
        {TC_DOUBLE, L"=", L"0.1", L"0.10", true},
        {TC_NUMERIC, L"=", L"0", L"", true},
        {TC_FLOAT, L"=", L"1", L"1e+", true},
        {TC_DOUBLE, L"<", L"0", L" -2.5e-3kg", true},
        {TC_DOUBLE, L">", L"1e308", L"1e999", true},  // overflow is infinity, not 0
        {TC_DOUBLE, L"!=", L"nan", L"inf", false},  // neither is a number: both read as 0
        // Text: exact and ordinal, case-sensitive, a proper prefix first, UTF-16 order.
        {TC_VARCHAR, L"=", L"0.1", L"0.10", false},
        {TC_VARCHAR, L"!=", L"abc", L"ABC", true},
        {TC_VARCHAR, L">", L"abc", L"abcd", true},
        {TC_VARCHAR, L"<", L"a", L"B", true},
        {TC_WVARCHAR, L"<", L"\uFFFD", L"\U0001F600", true},  // surrogates sort before U+E000..U+FFFF
        {TC_WVARCHAR, L">", L"\uD7FF", L"\U0001F600", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"b", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"czz", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"da", false},
        {TC_VARCHAR, L"In Range", L"b;d", L"a", false},
        {TC_VARCHAR, L"In Range", L"b;", L"b", false},
        {TC_VARCHAR, L"In Range", L"", L"", false},
        {TC_VARCHAR, L"In Range", L"b", L"b", true},
        {TC_VARCHAR, L"In Range", L";d", L"", true},
        // Dates compare as text.
        {TC_DATE, L">", L"2019-02-28", L"2019-03-05", true},
        {TC_DATE, L">", L"28-02-2019", L"05-03-2019", false},
        // Contains and Starts with work on the fetched text, for every kind.
        {TC_VARCHAR, L"Contains", L"", L"", true},
        {TC_VARCHAR, L"Contains", L"abc", L"xABCx", false},
        {TC_INTEGER, L"Contains", L"5", L"150", true},
        {TC_DOUBLE, L"Contains", L"0.10", L"0.1", false},
        {TC_VARCHAR, L"Contains", L"aab", L"aaab", true},  // a false start just before the match
        {TC_VARCHAR, L"Contains", L"ab", L"xa", false},    // a partial match cut off by the end
        {TC_VARCHAR, L"Contains", L"b", L"ab", true},
        {TC_VARCHAR, L"Starts with", L"", L"x", true},
        {TC_VARCHAR, L"Starts with", L"abc", L"ab", false},
        {TC_INTEGER, L"Starts with", L"0", L"007", true},
        {TC_VARCHAR, L"Equals", L"x", L"x", false},
    };
    for (const auto& c : cases) {
        ValueMarker marker = Marker(0, L"v", c.operation, c.operand);
        PrepareMarker(marker, {L"v"}, {c.type});
        EXPECT_EQ(TestMarker(marker, c.value), c.expected)
            << c.type << " " << Show(c.operation) << " " << Show(c.operand) << " value " << Show(c.value);
    }
}

TEST(PrepareMarker, BindsByExactNameAndForgetsEarlierResultSets) {
    ValueMarker marker = Marker(0, L"Qty", L">", L"5");
    PrepareMarker(marker, {L"Name", L"Qty", L"Qty"}, {TC_VARCHAR, TC_INTEGER, TC_VARCHAR});
    EXPECT_EQ(marker.conditionPosition, 1);
    EXPECT_TRUE(MarkerHolds(marker, {L"a", L"10", L"1"}));

    // Operands and kind are read again for each result set: as text, "10" sorts before "5".
    PrepareMarker(marker, {L"Qty"}, {TC_VARCHAR});
    EXPECT_FALSE(MarkerHolds(marker, {L"10"}));

    PrepareMarker(marker, {L"Name", L"QTY"}, {TC_VARCHAR, TC_INTEGER});
    EXPECT_EQ(marker.conditionPosition, -1);
    EXPECT_FALSE(MarkerHolds(marker, {L"a", L"10", L"10"}));

    // A position beyond a short row never holds.
    PrepareMarker(marker, {L"a", L"b", L"Qty"}, {TC_VARCHAR, TC_VARCHAR, TC_INTEGER});
    EXPECT_FALSE(MarkerHolds(marker, {L"x", L"9"}));
}

TEST(RowAndCellMarkers, OwnMarkerWinsOverTheRowMarker) {
    const ValueMarker own = Marker(0, L"Qty", L">", L"5");
    const ValueMarker late = Marker(1, L"Status", L"=", L"late");
    const std::vector<const ValueMarker*> columnMarkers = {nullptr, &own, &late};
    const struct {
        std::vector<std::wstring> row;
        const ValueMarker* rowMarker;
        const ValueMarker* qty;
    } cases[] = {
        {{L"a", L"9", L"late"}, &late, &own},
        {{L"a", L"1", L"late"}, &late, &late},
        {{L"a", L"9", L"ok"}, nullptr, &own},
        {{L"a", L"1", L"ok"}, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const ValueMarker* rowMarker = RowMarker(columnMarkers, c.row);
        EXPECT_EQ(rowMarker, c.rowMarker);
        EXPECT_EQ(CellMarker(nullptr, rowMarker, c.row), c.rowMarker);
        EXPECT_EQ(CellMarker(&own, rowMarker, c.row), c.qty);
    }

    // The first whole-row marker in column order wins.
    const ValueMarker empty = Marker(1, L"Qty", L"=", L"0");
    const std::vector<std::wstring> both = {L"a", L"0", L"late"};
    EXPECT_EQ(RowMarker({nullptr, &empty, &late}, both), &empty);
}

}  // namespace

// A text comparison, "Contains" or "Starts with" answered on UTF-8 bytes agrees with the answer on the decoded
// text, and leaves bytes that are no UTF-8 (read as Windows-1252) to the text unless the operand is ASCII and
// the operation no ordering; ordering leaves characters from U+E000 up to the text too. A cell read as UTF-8
// gives every marker the answer of its decoded text.
TEST(ValueMarker, TextComparisonsOnUtf8BytesAgreeWithTheText) {
    std::mt19937 random(11);
    const std::vector<std::string> pieces = {"n",        "o",        "e",    "\xc3\xa9", "\xe2\x82\xac", "\x80",
                                             "\xff",     "\xed\xa0", "\xc3", "\xee\x80\x80", "\xf0\x9f\x98\x80"};
    const std::vector<const wchar_t*> operations = {L"=", L"!=", L"Contains", L"Starts with", L"<",
                                                    L">", L"<=", L">=",       L"In Range"};
    int byBytes = 0;
    for (const wchar_t* operand : {L"none", L"", L"no", L"\u00e9", L"\u20ac", L"n\u20aco", L"e;o", L"e\u00e9;o", L";n"}) {
        for (const wchar_t* operation : operations) {
            ValueMarker marker;
            marker.ConditionColumn = L"c";
            marker.ConditionOperation = operation;
            marker.ConditionOperand = operand;
            PrepareMarker(marker, {L"c"}, {TC_VARCHAR});
            ASSERT_TRUE(marker.testsBytes) << operation;
            const std::wstring_view text = operand;
            const bool ascii = text.find_first_of(L"\u00e9\u20ac") == std::wstring_view::npos;
            const bool ordering = std::wstring_view(operation).find_first_of(L"<>I") != std::wstring_view::npos;
            std::vector<std::string> values = {tw::WideToUtf8(operand), "none", "\x80", ""};
            for (int i = 0; i < 3000; ++i) {
                std::string value;
                for (int n = static_cast<int>(random() % 5); n > 0; --n) value += pieces[random() % pieces.size()];
                values.push_back(value);
            }
            for (const std::string& value : values) {
                const std::wstring decoded = tw::Utf8ToWide(value);
                const int answer = TestMarkerUtf8(marker, value);
                if (ascii && !ordering) {
                    EXPECT_GE(answer, 0) << value;
                }
                if (answer >= 0) {
                    ++byBytes;
                    EXPECT_EQ(answer == 1, TestMarker(marker, decoded)) << value;
                }
                std::wstring scratch;
                rules::CellValue cell;
                cell.ResetUtf8(value, scratch);
                EXPECT_EQ(TestMarker(marker, cell), TestMarker(marker, decoded)) << value;
            }
            if (!ascii || ordering) {
                EXPECT_EQ(TestMarkerUtf8(marker, "\x80"), -1);
            }
        }
    }
    EXPECT_GT(byBytes, 100000);
    // Numbers compare as numbers, ordering and other operations as text; an operand UTF-8 cannot carry stays
    // on the text.
    auto testsBytes = [](const wchar_t* operation, const wchar_t* operand, int type) {
        ValueMarker marker;
        marker.ConditionColumn = L"c";
        marker.ConditionOperation = operation;
        marker.ConditionOperand = operand;
        PrepareMarker(marker, {L"c"}, {type});
        return marker.testsBytes;
    };
    EXPECT_FALSE(testsBytes(L"=", L"5", TC_INTEGER));
    EXPECT_FALSE(testsBytes(L"=", L"5", TC_DOUBLE));
    EXPECT_TRUE(testsBytes(L"<", L"b", TC_VARCHAR));
    EXPECT_FALSE(testsBytes(L"<", L"\uE000", TC_VARCHAR));
    EXPECT_FALSE(testsBytes(L"In Range", L"a;\U0001F600", TC_VARCHAR));
    EXPECT_TRUE(testsBytes(L"Contains", L"b", TC_VARCHAR));
    EXPECT_TRUE(testsBytes(L"Starts with", L"1", TC_INTEGER));
    EXPECT_FALSE(testsBytes(L"=", L"\xD800", TC_VARCHAR));
}
