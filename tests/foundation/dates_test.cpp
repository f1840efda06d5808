#include "dates.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

namespace {

std::tm Moment(int year, int month, int day, int hour, int minute, int second) {
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return when;
}

TEST(DatesTest, FormatsAndMacros) {
    const std::tm when = Moment(2007, 3, 5, 9, 4, 7);
    struct Case {
        const wchar_t* text;
        const wchar_t* dateFormat;
        const wchar_t* timeFormat;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"$DATE$ $TIME$", L"DD-MM-YYYY", L"HH:MM:SS", L"05-03-2007 09:04:07"},
        // MM is the month in a date format and the minute in a time format.
        {L"$DATE$|$TIME$", L"MM", L"MM", L"03|04"},
        // Longest tokens first: YYYY is not two YY; YYYYY is a year and a literal Y.
        {L"$DATE$", L"YYYY/YY/YYYYY", L"", L"2007/07/2007Y"},
        {L"$DATE$", L"YYYMMDD", L"", L"07Y0305"},
        {L"on $DATE$ at $TIME$, again $DATE$", L"YY.MM.DD", L"HHhMM",
         L"on 07.03.05 at 09h04, again 07.03.05"},
        {L"no macros here", L"DD", L"HH", L"no macros here"},
        {L"$date$ $DATE $TIME", L"DD", L"HH", L"$date$ $DATE $TIME"},  // case and shape must match exactly
        {L"$DATE$$DATE$", L"DD", L"", L"0505"},
        // A format containing the macro itself is not expanded again.
        {L"$DATE$", L"$DATE$ DD", L"", L"$DATE$ 05"},
        {L"$TIME$", L"", L"dd HH mm ss", L"dd 09 mm ss"},  // lower case is literal text
        {L"$DATE$", L"", L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateAndTimeMacros(c.text, c.dateFormat, c.timeFormat, when), c.expected) << c.dateFormat;

    EXPECT_EQ(FormatDate(L"DD/MM/YYYY", Moment(999, 12, 31, 0, 0, 0)), L"31/12/0999");
    EXPECT_EQ(FormatTime(L"HH:MM:SS", Moment(2000, 1, 1, 23, 59, 60)), L"23:59:60");
    // Without a moment the macros use the current time.
    EXPECT_EQ(DateAndTimeMacros(L"$DATE$", L"YYYY", L""), std::to_wstring(LocalNow().tm_year + 1900));
}

TEST(DatesTest, DateScanLowLevel) {
    struct Case {
        const wchar_t* value;
        const wchar_t* pattern;
        int mode;
        int day, month, year;  // day and month 0: no match
        int read;
    };
    const Case cases[] = {
        {L"2019-03-05 10:20:30", L"YYYY-MM-DD", 1, 5, 3, 2019, 10},
        {L"05.03.2019", L"DD.MM.YYYY", 1, 5, 3, 2019, 10},
        {L"03/05/19", L"MM/DD/YY", 1, 5, 3, 2019, 8},
        {L"03/05/69", L"MM/DD/YY", 1, 5, 3, 1969, 8},
        {L"03/05/68", L"MM/DD/YY", 1, 5, 3, 2068, 8},
        {L"20190305", L"YYYYMMDD", 1, 5, 3, 2019, 8},
        {L"31-12-2100", L"DD-MM-YYYY", 1, 31, 12, 2100, 10},
        {L"01-01-1900", L"DD-MM-YYYY", 1, 1, 1, 1900, 10},
        // No match: out of range fields, wrong separators, short values, letters.
        {L"32-01-2019", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"00-01-2019", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"01-13-2019", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"01-00-2019", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"01-01-1899", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"01-01-2101", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"01/01/2019", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"01-01-201", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"01-01", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"ab-cd-efgh", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"1-3-2019", L"DD-MM-YYYY", 1, 0, 0, 0, 0},
        {L"\u0661\u0662-01-2019", L"DD-MM-YYYY", 1, 0, 0, 0, 0},  // only ASCII digits count
        // Mode 0 also takes one-digit days and months.
        {L"1-3-2019", L"DD-MM-YYYY", 0, 1, 3, 2019, 8},
        {L"15-3-2019", L"DD-MM-YYYY", 0, 15, 3, 2019, 9},
    };
    for (const auto& c : cases) {
        int day = 99, month = 99, year = 0;
        const int read = DateScanLowLevel(c.value, day, month, year, c.mode, c.pattern, 1900, 2100);
        EXPECT_EQ(day, c.day) << c.value;
        EXPECT_EQ(month, c.month) << c.value;
        if (c.day) {
            EXPECT_EQ(year, c.year) << c.value;
        }
        EXPECT_EQ(read, c.read) << c.value;
        // The prepared pattern scans alike.
        int preparedDay = 99, preparedMonth = 99, preparedYear = 0;
        EXPECT_EQ(DateScanPrepared(c.value, preparedDay, preparedMonth, preparedYear, c.mode,
                                   PrepareDatePattern(c.pattern), 1900, 2100),
                  read)
            << c.value;
        EXPECT_EQ(preparedDay, day) << c.value;
        EXPECT_EQ(preparedMonth, month) << c.value;
        EXPECT_EQ(preparedYear, year) << c.value;
    }
}

TEST(DatesTest, FormatInteger) {
    struct Case {
        long long value;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0, L"0"},           {-7, L"-7"},           {999, L"999"},           {-999, L"-999"},
        {1000, L"1,000"},    {-1000, L"-1,000"},    {100000, L"100,000"},    {1234567, L"1,234,567"},
        {LLONG_MAX, L"9,223,372,036,854,775,807"},  {LLONG_MIN, L"-9,223,372,036,854,775,808"},
    };
    for (const auto& c : cases) EXPECT_EQ(FMT::FormatInteger(c.value), c.expected) << c.value;
}

TEST(DatesTest, TimeCounter) {
    _TimeCounter idle;
    EXPECT_EQ(idle.Seconds(), 0.0);
    EXPECT_EQ(idle.PerSecond(1000), L"0");  // no time passed

    _TimeCounter timer;
    timer.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    timer.Stop();
    const double seconds = timer.Seconds();
    EXPECT_GT(seconds, 0.015);
    EXPECT_EQ(timer.Seconds(), seconds);  // stopped: the time stands still
    EXPECT_EQ(timer.PerSecond(0), L"0");
    EXPECT_EQ(timer.PerSecond(LLONG_MAX).front(), L'9');  // huge rates do not overflow
    const std::wstring rate = timer.PerSecond(1'000'000);
    EXPECT_NE(rate.find(L','), std::wstring::npos) << rate;  // grouped: well over 1,000 rows per second
}

}  // namespace
