#pragma once
// Date and time helpers: macros, the date scanner, number grouping and the run timer.

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// The text with "$DATE$" and "$TIME$" replaced by now in the given formats (DD, MM, YYYY, YY in the date
// format; HH, MM, SS in the time format).
std::wstring DateAndTimeMacros(std::wstring_view text, std::wstring_view dateFormat,
                               std::wstring_view timeFormat);
// Same, with the moment given.
std::wstring DateAndTimeMacros(std::wstring_view text, std::wstring_view dateFormat,
                               std::wstring_view timeFormat, const std::tm& now);
// One date or time format applied to a moment (the tokens above).
std::wstring FormatDate(std::wstring_view format, const std::tm& now);
std::wstring FormatTime(std::wstring_view format, const std::tm& now);
// The local time now.
std::tm LocalNow();

// Reads day, month and year from the start of value by a pattern of the tokens DD, MM, YYYY, YY (other
// pattern characters must match literally). Leaves day and month 0 when the value does not match; a year
// outside [minYear, maxYear] is no match. Returns the number of characters read, 0 on no match.
int DateScanLowLevel(std::wstring_view value, int& day, int& month, int& year, int mode,
                     std::wstring_view pattern, int minYear, int maxYear);

// A DateScanLowLevel pattern read once into its tokens and literal characters, for scanning many values.
struct DatePattern {
    enum class Part : unsigned char { Year4, Year2, Day, Month, Literal };
    struct Item {
        Part part;
        wchar_t literal;  // for Part::Literal
    };
    std::vector<Item> items;
};
DatePattern PrepareDatePattern(std::wstring_view pattern);
// DateScanLowLevel with a prepared pattern: the same results.
int DateScanPrepared(std::wstring_view value, int& day, int& month, int& year, int mode, const DatePattern& pattern,
                     int minYear, int maxYear);
// The same on UTF-8 bytes: the results of their decoded text when the bytes it reads (as many as the pattern has
// characters) are ASCII.
int DateScanPrepared(std::string_view value, int& day, int& month, int& year, int mode, const DatePattern& pattern,
                     int minYear, int maxYear);

namespace FMT {
// A 64-bit integer with "," every three digits: -1,234,567.
std::wstring FormatInteger(long long value);
}  // namespace FMT

// The run timer.
class _TimeCounter {
  public:
    void Start();
    void Stop();
    // Seconds between Start and Stop (or now, while running).
    double Seconds() const;
    // Rows per second over that time as a grouped integer text, such as "412,345".
    std::wstring PerSecond(long long rows) const;

  private:
    std::chrono::steady_clock::time_point m_start{}, m_stop{};
    bool m_running = false;
};
