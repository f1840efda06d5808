#include <gtest/gtest.h>

#include "fld_desc.h"
#include "value_marker.h"

namespace {

ValueMarker Prepared(int type, const wchar_t* operation, const wchar_t* operand) {
    ValueMarker marker;
    marker.ConditionColumn = L"v";
    marker.ConditionOperation = operation;
    marker.ConditionOperand = operand;
    PrepareMarker(marker, {L"v"}, {type});
    return marker;
}

TEST(ParseOperation, FirstCharacterDecides) {
    const struct {
        const wchar_t* text;
        MarkerOperation expected;
    } cases[] = {
        {L"!=", MO_NOT_EQUAL}, {L"!", MO_NOT_EQUAL},        {L"<", MO_LESS},           {L"<=", MO_LESS_EQUAL},
        {L"<>", MO_LESS},      {L"<= ", MO_LESS},           {L"=", MO_EQUAL},          {L"==", MO_EQUAL},
        {L">", MO_GREATER},    {L">=", MO_GREATER_EQUAL},   {L"Contains", MO_CONTAINS}, {L"Cx", MO_CONTAINS},
        {L"C", MO_CONTAINS},   {L"In Range", MO_IN_RANGE},  {L"Starts with", MO_STARTS_WITH},
    };
    for (const auto& c : cases) {
        ValueMarker marker;
        marker.ConditionOperation = c.text;
        ParseOperation(marker);
        EXPECT_EQ(marker.operation, c.expected) << testing::PrintToString(std::wstring(c.text));
    }
    // Unrecognised texts leave the operation as it was.
    for (const wchar_t* text : {L"", L"Equals", L"contains", L" ="}) {
        ValueMarker marker;
        marker.operation = MO_LESS;
        marker.ConditionOperation = text;
        ParseOperation(marker);
        EXPECT_EQ(marker.operation, MO_LESS) << testing::PrintToString(std::wstring(text));
    }
}

struct TestCase {
    int type;
    const wchar_t* operation;
    const wchar_t* operand;
    const wchar_t* value;
    bool expected;
};

TEST(TestMarker, Comparisons) {
    const TestCase cases[] = {
        // Integer ranges: both bounds included; one bound alone; nothing after the separator reads as 0.
        {TC_INTEGER, L"In Range", L"10;20", L"10", true},
        {TC_INTEGER, L"In Range", L"10;20", L"20", true},
        {TC_INTEGER, L"In Range", L"10;20", L"9", false},
        {TC_INTEGER, L"In Range", L"10;20", L"21", false},
        {TC_INTEGER, L"In Range", L"10", L"10", true},
        {TC_INTEGER, L"In Range", L"10", L"11", false},
        {TC_INTEGER, L"In Range", L"10;", L"10", false},
        {TC_INTEGER, L"In Range", L"10;", L"0", false},
        {TC_INTEGER, L"In Range", L";5", L"-1", false},
        {TC_INTEGER, L"In Range", L";5", L"0", true},
        {TC_INTEGER, L"In Range", L"1;2;3", L"2", true},  // the high bound "2;3" reads as 2
        // Integer reading: digits up to the first other character, blanks and sign allowed.
        {TC_INTEGER, L">", L"5", L"5.9", false},
        {TC_INTEGER, L">", L"5", L"6", true},
        {TC_SMALLINT, L"=", L"7", L"  +7 apples", true},
        {TC_BIGINT, L"=", L"-12", L"-12x", true},
        {TC_TINYINT, L"=", L"0", L"", true},
        {TC_INTEGER, L"=", L"0", L"abc", true},
        {TC_INTEGER, L"!=", L"0", L"- 5", false},
        {TC_BIGINT, L">", L"2147483647", L"3000000000", true},  // no 32-bit wrap-around
        {TC_BIGINT, L"<", L"0", L"99999999999999999999999", false},  // saturates, never wraps negative
        {TC_INTEGER, L"<=", L"3", L"3", true},
        {TC_INTEGER, L">=", L"3", L"2", false},
        {TC_INTEGER, L"<", L"3", L"2", true},
        // Number reading: decimal point, exponent, longest valid prefix.
        {TC_DOUBLE, L"=", L"0.1", L"0.10", true},
        {TC_NUMERIC, L"=", L"0", L"", true},
        {TC_REAL, L">", L"999.5", L"1e3", true},
        {TC_FLOAT, L"=", L"1", L"1e", true},
        {TC_FLOAT, L"=", L"1", L"1e+", true},
        {TC_DECIMAL, L"=", L"0.5", L".5", true},
        {TC_DECIMAL, L"=", L"5", L"5.", true},
        {TC_DOUBLE, L"=", L"0", L".", true},
        {TC_DOUBLE, L"=", L"0", L"-", true},
        {TC_DOUBLE, L"<", L"0", L" -2.5e-3kg", true},
        {TC_DOUBLE, L"=", L"1234.5", L"1,234.5", false},  // reads as 1
        {TC_DOUBLE, L">", L"1e308", L"1e999", true},        // overflow is infinity, not 0
        {TC_DOUBLE, L"=", L"0", L"1e-999", true},
        {TC_DOUBLE, L"In Range", L"-1.5;1.5", L"1.5", true},
        {TC_DOUBLE, L"In Range", L"-1.5;1.5", L"1.51", false},
        {TC_DOUBLE, L"!=", L"nan", L"inf", false},  // neither is a number: both read as 0
        // Text: exact and ordinal, case-sensitive, a proper prefix first.
        {TC_VARCHAR, L"=", L"0.1", L"0.10", false},
        {TC_VARCHAR, L"=", L"abc", L"abc", true},
        {TC_VARCHAR, L"!=", L"abc", L"ABC", true},
        {TC_VARCHAR, L"<", L"abc", L"abcd", false},
        {TC_VARCHAR, L">", L"abc", L"abcd", true},
        {TC_VARCHAR, L"<", L"a", L"B", true},
        {TC_VARCHAR, L">=", L"b", L"b", true},
        {TC_VARCHAR, L"<=", L"b", L"a", true},
        {TC_VARCHAR, L"<", L"", L"", false},
        {TC_WVARCHAR, L"<", L"\uFFFD", L"\U0001F600", true},  // UTF-16 order: surrogates before U+E000..U+FFFF
        {TC_WVARCHAR, L">", L"\uD7FF", L"\U0001F600", true},
        {TC_WVARCHAR, L">", L"\U0001F600", L"\U0001F601", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"b", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"c", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"czz", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"d", true},
        {TC_VARCHAR, L"In Range", L"b;d", L"da", false},
        {TC_VARCHAR, L"In Range", L"b;d", L"a", false},
        {TC_VARCHAR, L"In Range", L"b;", L"b", false},
        {TC_VARCHAR, L"In Range", L"", L"", false},
        {TC_VARCHAR, L"In Range", L"b", L"b", true},
        {TC_VARCHAR, L"In Range", L"b", L"c", false},
        {TC_VARCHAR, L"In Range", L";d", L"", true},
        // Dates and other types compare as text.
        {TC_DATE, L">", L"2019-02-28", L"2019-03-05", true},
        {TC_DATE, L">", L"28-02-2019", L"05-03-2019", false},
        // Contains and Starts with work on the fetched text, for every kind.
        {TC_VARCHAR, L"Contains", L"", L"", true},
        {TC_INTEGER, L"Contains", L"", L"17", true},
        {TC_VARCHAR, L"Contains", L"abc", L"xABCx", false},
        {TC_VARCHAR, L"Contains", L"abc", L"xabcx", true},
        {TC_INTEGER, L"Contains", L"5", L"150", true},
        {TC_DOUBLE, L"Contains", L"0.10", L"0.1", false},
        {TC_VARCHAR, L"Starts with", L"", L"", true},
        {TC_VARCHAR, L"Starts with", L"ab", L"abc", true},
        {TC_VARCHAR, L"Starts with", L"abc", L"ab", false},
        {TC_INTEGER, L"Starts with", L"0", L"007", true},
        // No recognised operation never holds.
        {TC_VARCHAR, L"Equals", L"x", L"x", false},
        {TC_VARCHAR, L"", L"", L"", false},
    };
    for (const TestCase& c : cases) {
        const ValueMarker marker = Prepared(c.type, c.operation, c.operand);
        EXPECT_EQ(TestMarker(marker, c.value), c.expected)
            << "type " << c.type << " " << testing::PrintToString(std::wstring(c.operation)) << " "
            << testing::PrintToString(std::wstring(c.operand)) << " value "
            << testing::PrintToString(std::wstring(c.value));
    }
}

TEST(PrepareMarker, BindsByExactNameAndForgetsEarlierResultSets) {
    ValueMarker marker;
    marker.ConditionColumn = L"Qty";
    marker.ConditionOperation = L">";
    marker.ConditionOperand = L"5";
    const std::vector<std::wstring> row = {L"a", L"9", L"9"};

    PrepareMarker(marker, {L"Name", L"Qty", L"Qty"}, {TC_VARCHAR, TC_INTEGER, TC_VARCHAR});
    EXPECT_EQ(marker.conditionPosition, 1);
    EXPECT_EQ(marker.conditionType, TC_INTEGER);
    EXPECT_EQ(marker.operation, MO_GREATER);
    EXPECT_TRUE(MarkerHolds(marker, row));

    // The operand is read again for each result set: the integer 9 > 5, the text "9" > "5" too, "10" is not.
    PrepareMarker(marker, {L"Qty"}, {TC_VARCHAR});
    EXPECT_EQ(marker.conditionPosition, 0);
    EXPECT_FALSE(MarkerHolds(marker, {L"10"}));

    PrepareMarker(marker, {L"Name", L"QTY"}, {TC_VARCHAR, TC_INTEGER});
    EXPECT_EQ(marker.conditionPosition, -1);
    EXPECT_FALSE(MarkerHolds(marker, row));

    // A position beyond a short row never holds.
    PrepareMarker(marker, {L"a", L"b", L"Qty"}, {TC_VARCHAR, TC_VARCHAR, TC_INTEGER});
    EXPECT_FALSE(MarkerHolds(marker, {L"x", L"9"}));
    EXPECT_TRUE(MarkerHolds(marker, {L"x", L"1", L"9"}));
}

TEST(RowAndCellMarkers, OwnMarkerWinsOverTheRowMarker) {
    // Columns: Name, Qty, Status. Qty has its own marker on Qty > 5; Status is tested by two whole-row
    // markers, of which only the one found for Status (the first) counts; Name has none.
    const std::vector<std::wstring> names = {L"Name", L"Qty", L"Status"};
    const std::vector<int> types = {TC_VARCHAR, TC_INTEGER, TC_VARCHAR};
    ValueMarker own;
    own.Column = L"Qty";
    own.ConditionColumn = L"Qty";
    own.ConditionOperation = L">";
    own.ConditionOperand = L"5";
    ValueMarker late;
    late.IsWholeRow = 1;
    late.ConditionColumn = L"Status";
    late.ConditionOperation = L"=";
    late.ConditionOperand = L"late";
    ValueMarker qtyRow;  // a whole-row marker on Qty, reached only through the Qty column
    qtyRow.IsWholeRow = 1;
    qtyRow.ConditionColumn = L"Qty";
    qtyRow.ConditionOperation = L"=";
    qtyRow.ConditionOperand = L"0";
    for (ValueMarker* marker : {&own, &late, &qtyRow}) PrepareMarker(*marker, names, types);

    const std::vector<const ValueMarker*> columnMarkers = {nullptr, &own, &late};
    struct Case {
        std::vector<std::wstring> row;
        const ValueMarker* rowMarker;
        const ValueMarker* name;
        const ValueMarker* qty;
    } cases[] = {
        {{L"a", L"9", L"late"}, &late, &late, &own},
        {{L"a", L"1", L"late"}, &late, &late, &late},
        {{L"a", L"9", L"ok"}, nullptr, nullptr, &own},
        {{L"a", L"1", L"ok"}, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const ValueMarker* rowMarker = RowMarker(columnMarkers, c.row);
        EXPECT_EQ(rowMarker, c.rowMarker);
        EXPECT_EQ(CellMarker(nullptr, rowMarker, c.row), c.name);
        EXPECT_EQ(CellMarker(&own, rowMarker, c.row), c.qty);
    }

    // The first whole-row marker in column order wins; a whole-row marker also marks its own column's cell.
    const std::vector<const ValueMarker*> twoRowMarkers = {nullptr, &qtyRow, &late};
    const std::vector<std::wstring> both = {L"a", L"0", L"late"};
    EXPECT_EQ(RowMarker(twoRowMarkers, both), &qtyRow);
    EXPECT_EQ(CellMarker(&late, RowMarker(twoRowMarkers, both), both), &late);
}

}  // namespace
