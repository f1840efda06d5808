// Converters with arbitrary patterns and values. Every value goes through a converter as the run uses it (the
// fast matcher where the expression lies in its subset) and through a copy that has only the standard matcher:
// both must give the same text, or both fail. Without a regular expression, numbers must come out as printf
// and the integer grouping write them, and the prepared date scan must read what the plain scan reads.
//
// Input (parts separated by 0xFF): RegexFrom, RegexTo, DateFrom, DateTo, Prefix, Suffix, a part of four bytes
// (type, Digits, Pres, Group), then the values.

#include <cstdio>
#include <string>

#include "converter.h"
#include "dates.h"
#include "fld_desc.h"
#include "fuzz_files.h"
#include "fuzz_support.h"
#include "number_text.h"

namespace {

constexpr int kTypes[] = {TC_CHAR,  TC_VARCHAR, TC_INTEGER,   TC_BIGINT, TC_NUMERIC, TC_DECIMAL,
                          TC_FLOAT, TC_DOUBLE,  TC_DATE,      TC_TIME,   TC_TIMESTAMP, 0};
// As for the regular-expression harness: the standard matcher recurses per character.
constexpr size_t kMaxValue = 400;

std::wstring Printf(int digits, int pres, double value) {
    char buffer[1024];
    const int length = std::snprintf(buffer, sizeof buffer, "%*.*f", digits, pres > 0 ? pres : 6, value);
    return tw::Utf8ToWide(std::string_view(buffer, static_cast<size_t>(length)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Scratch::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Scratch::Get();
    fuzz::Input input(data, size);
    Converter converter;
    converter.Column = L"c";
    converter.RegexFrom = input.Text();
    converter.RegexTo = input.Text();
    converter.DateFrom = input.Text();
    converter.DateTo = input.Text();
    converter.Prefix = input.Text();
    converter.Suffix = input.Text();
    const std::string_view numbers = input.Bytes();
    auto byte = [&](size_t i) { return i < numbers.size() ? static_cast<uint8_t>(numbers[i]) : uint8_t{0}; };
    const int type = kTypes[byte(0) % std::size(kTypes)];
    converter.Digits = byte(1) % 202 - 1;  // the project file's range: -1 to 200
    converter.Pres = byte(2) % 32 - 1;     // -1 to 30
    converter.Group = byte(3) & 1;

    const bool regex = !converter.RegexFrom.empty() && !converter.RegexTo.empty();
    Converter standardOnly = converter;
    BeginConverterRun(converter);
    BeginConverterRun(standardOnly);
    const bool valid = PrepareConverter(converter);
    PrepareConverter(standardOnly);
    standardOnly.fastCompiled.reset();

    while (!input.AtEnd()) {
        std::wstring value = input.Text();
        if (value.size() > kMaxValue) value.resize(kMaxValue);
        const std::string where = "from '" + fuzz::Shown(converter.RegexFrom) + "' to '" +
                                  fuzz::Shown(converter.RegexTo) + "', type " + std::to_string(type) +
                                  ", value '" + fuzz::Shown(value) + "'";
        int failed = 0, standardFailed = 0;
        const std::wstring out = ApplyConverter(converter, value, type, failed);
        const std::wstring standardOut = ApplyConverter(standardOnly, value, type, standardFailed);
        if (regex) {
            FUZZ_CHECK(valid || failed, where + ": an invalid expression converted the value");
            // A value over the step budget fails on the side that ran out; the budgets count different steps.
            const bool budget = converter.reportedText.find(L"too complex") != std::wstring::npos ||
                                standardOnly.reportedText.find(L"too complex") != std::wstring::npos;
            if (!budget) {
                FUZZ_CHECK(failed == standardFailed, where + ": only one matcher failed");
                FUZZ_CHECK(out == standardOut, where + ": fast '" + fuzz::Shown(out) + "', standard '" +
                                                   fuzz::Shown(standardOut) + "'");
            }
            // After a failure a converter reports nothing more in its run; start the next value afresh.
            BeginConverterRun(converter);
            BeginConverterRun(standardOnly);
            PrepareConverter(converter);
            PrepareConverter(standardOnly);
            standardOnly.fastCompiled.reset();
            continue;
        }
        FUZZ_CHECK(!failed, where + ": failed without a regular expression");
        const std::wstring converted =
            out.substr(converter.Prefix.size(), out.size() - converter.Prefix.size() - converter.Suffix.size());
        FUZZ_CHECK(out.starts_with(converter.Prefix) && out.ends_with(converter.Suffix),
                   where + ": prefix or suffix missing in '" + fuzz::Shown(out) + "'");
        if (FLD_DESC::IsNumber(type) && value.find(L'.') == std::wstring::npos) {
            const std::wstring expected =
                converter.Group ? FMT::FormatInteger(rules::ReadInteger(value)) : value;
            FUZZ_CHECK(converted == expected, where + ": '" + fuzz::Shown(converted) + "', expected '" +
                                                  fuzz::Shown(expected) + "'");
        } else if (FLD_DESC::IsDouble(type)) {
            const std::wstring expected = Printf(converter.Digits, converter.Pres, rules::ReadNumber(value));
            FUZZ_CHECK(converted == expected, where + ", digits " + std::to_string(converter.Digits) + ", pres " +
                                                  std::to_string(converter.Pres) + ": '" +
                                                  fuzz::Shown(converted) + "', printf '" + fuzz::Shown(expected) +
                                                  "'");
        } else if (FLD_DESC::IsDate(type)) {
            int day = 0, month = 0, year = 0, preparedDay = 0, preparedMonth = 0, preparedYear = 0;
            const int read = DateScanLowLevel(value, day, month, year, 1, converter.DateFrom, 1900, 2100);
            const int preparedRead = DateScanPrepared(value, preparedDay, preparedMonth, preparedYear, 1,
                                                      PrepareDatePattern(converter.DateFrom), 1900, 2100);
            FUZZ_CHECK(read == preparedRead && day == preparedDay && month == preparedMonth &&
                           (day == 0 || year == preparedYear),
                       where + ", pattern '" + fuzz::Shown(converter.DateFrom) + "': the date scans differ");
        } else {
            FUZZ_CHECK(converted == value, where + ": a text changed to '" + fuzz::Shown(converted) + "'");
        }
    }
    return 0;
}
