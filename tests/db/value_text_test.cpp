// Value texts as the databases' own clients show them: floating numbers, and values a driver cannot convert.

#include "value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "db_test_util.h"

namespace {

using namespace dbtest;

std::wstring Double(double value) {
    std::wstring out;
    tw::db::AssignDouble(value, out);
    return out;
}

std::wstring Float(float value) {
    std::wstring out;
    tw::db::AssignFloat(value, out);
    return out;
}

std::wstring FromServer(const char* text, bool singlePrecision) {
    std::wstring out;
    tw::db::AssignDoubleText(text, singlePrecision, out);
    return out;
}

TEST(ValueText, DoublesHaveAtMostFifteenSignificantDigits) {
    EXPECT_EQ(Double(0.1 + 0.2), L"0.3");
    EXPECT_EQ(Double(58456.509999999995), L"58456.51");
    EXPECT_EQ(Double(1.0 / 3), L"0.333333333333333");
    EXPECT_EQ(Double(123456789012345.0), L"123456789012345");
    EXPECT_EQ(Double(1e15), L"1e+15");
    EXPECT_EQ(Double(0.0001), L"0.0001");
    EXPECT_EQ(Double(0.00001), L"1e-05");
    EXPECT_EQ(Double(-2.5), L"-2.5");
    EXPECT_EQ(Double(std::numeric_limits<double>::quiet_NaN()), L"NaN");
    EXPECT_EQ(Double(std::numeric_limits<double>::infinity()), L"Infinity");
    EXPECT_EQ(Double(-std::numeric_limits<double>::infinity()), L"-Infinity");
}

// The fast path from the shortest digits must agree with printf's %.15g everywhere: short decimals, values at
// the layout's borders, zeros, subnormals and arbitrary bit patterns.
TEST(ValueText, DoublesMatchPrintfOnAnyValue) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1e-5,
                                  9.99999999999999e-5,
                                  0.0001,
                                  99999999999999.9,
                                  999999999999999.0,
                                  999999999999999.4,
                                  999999999999999.5,
                                  1e15,
                                  123456789012345.6,
                                  0.1 + 0.2,
                                  5e-324,
                                  2.2250738585072014e-308,
                                  1.7976931348623157e308,
                                  0.5,
                                  100.0,
                                  1e14};
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) values.push_back(value);
        // Values as tables hold them: a few digits at some scale.
        values.push_back(static_cast<double>(static_cast<std::int64_t>(random() % 2000001) - 1000000) /
                         std::pow(10.0, static_cast<int>(random() % 24) - 8));
        // Any magnitude printed without an exponent, and 15 digits and a half (the hardest roundings), with
        // their neighbours.
        const double scale = std::pow(10.0, static_cast<int>(random() % 21) - 5);
        values.push_back(std::ldexp(static_cast<double>(random() >> 11), -53) * 10 * scale);
        const double half = (static_cast<double>(100000000000000 + random() % 900000000000000) + 0.5) * scale / 1e14;
        values.push_back(half);
        values.push_back(std::nextafter(half, 0.0));
        values.push_back(std::nextafter(half, 1e300));
    }
    for (const double value : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.15g", value);
        std::string text;
        tw::db::AssignDouble(value, text);
        ASSERT_EQ(text, expected) << "bits of the value: " << std::hexfloat << value;
    }
}

TEST(ValueText, FloatsUseTheShortestTextThatReadsBackLaidOutAsPsql) {
    EXPECT_EQ(Float(123456789.0f), L"1.2345679e+08");
    EXPECT_EQ(Float(0.1f), L"0.1");
    EXPECT_EQ(Float(123456.0f), L"123456");
    EXPECT_EQ(Float(1234567.0f), L"1.234567e+06");
    EXPECT_EQ(Float(0.0001f), L"0.0001");
    EXPECT_EQ(Float(0.00001f), L"1e-05");
    EXPECT_EQ(Float(-std::numeric_limits<float>::infinity()), L"-Infinity");
    EXPECT_EQ(Float(std::nanf("")), L"NaN");
}

TEST(ValueText, ServerTextsAreReprintedAndNonNumbersKept) {
    EXPECT_EQ(FromServer("0.30000000000000004", false), L"0.3");
    EXPECT_EQ(FromServer("1.23456792e+08", true), L"1.2345679e+08");
    EXPECT_EQ(FromServer("NaN", false), L"NaN");
    EXPECT_EQ(FromServer("Infinity", true), L"Infinity");
    EXPECT_EQ(FromServer("-Infinity", false), L"-Infinity");
    EXPECT_EQ(FromServer("12abc", false), L"12abc");
}

TEST(OdbcValues, TextTheDriverCannotConvertToTheColumnsNumberTypeIsReadAsText) {
    const std::string connection = Env("TW_TEST_ODBC_SQLITE");
    if (connection.empty()) GTEST_SKIP() << "TW_TEST_ODBC_SQLITE is not set (tests/services.sh start)";
    auto db = CDB::newDB(DS_ODBC);
    ASSERT_EQ(db->Connect(CONN_INFO{DS_ODBC, Widen(connection), {}}), DB_OK) << Narrow(db->m_LastError);
    const auto outcome = RunScript(*db, L"CREATE TEMP TABLE tw_loose (n NUMERIC, d DOUBLE, r REAL);"
                                        L"INSERT INTO tw_loose VALUES ('abc', 'x y', NULL);"
                                        L"INSERT INTO tw_loose VALUES (1.5, 0.1 + 0.2, 0.25);"
                                        L"SELECT n, d, r FROM tw_loose ORDER BY rowid");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 1u);
    EXPECT_EQ(outcome.sets[0].rows,
              (std::vector<std::vector<std::wstring>>{{L"abc", L"x y", L""}, {L"1.5", L"0.3", L"0.25"}}));
}

}  // namespace
