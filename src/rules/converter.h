#pragma once
// Rewrites every value of one column: regular expression, digit grouping, number format or date pattern,
// then prefix and suffix.

#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

struct Converter {
    std::wstring Column;
    std::wstring Prefix;
    std::wstring Suffix;
    std::wstring DateFrom;
    std::wstring DateTo;
    std::wstring RegexFrom;
    std::wstring RegexTo;
    int Digits = -1;
    int Pres = -1;
    int Group = 0;
    // The compiled RegexFrom of the current run (never saved); compiled once per run.
    std::shared_ptr<const std::wregex> compiled;
    std::wstring compiledFrom;
    std::wstring compileError;
};

bool SameConverter(const Converter& a, const Converter& b);

// The first converter whose Column equals name exactly; null when none.
Converter* FindConverter(std::vector<Converter>& converters, std::wstring_view name);
// Compiles RegexFrom once for a run; false (and compileError) when it is invalid.
bool PrepareConverter(Converter& converter);
// Converts value of a column of type code type into out; failed is 1 when the conversion failed (an invalid
// regular expression: reported once per run through the host, then the result set ends).
void ApplyConverter(Converter& converter, std::wstring_view value, int type, int& failed, std::wstring& out);
std::wstring ApplyConverter(Converter& converter, std::wstring_view value, int type, int& failed);
