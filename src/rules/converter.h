#pragma once
// Rewrites every value of one column: regular expression, digit grouping, number format or date pattern,
// then prefix and suffix.

#include <memory>
#include <regex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dates.h"
#include "number_text.h"
#include "regex_budget.h"
#include "simple_regex.h"

// A replacement text ("$2/$1") read once for an expression's group count: literal pieces of the text and
// references to the match, applied to every match without reading the text again.
struct CompiledReplacement {
    enum class Kind : unsigned char { Literal, Match, Before, After, Group };
    struct Part {
        Kind kind;
        size_t first;   // Literal: offset into text; Group: the group's number
        size_t length;  // Literal: length
    };
    std::wstring text;
    size_t groups = 0;
    std::vector<Part> parts;
};
// Reads replacement by the rules of AppendSubstitution for an expression with groups groups.
void CompileReplacement(std::wstring_view replacement, size_t groups, CompiledReplacement& out);

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
    // The same expression for the fast matcher when it lies in its subset (null otherwise), with the matcher's
    // scratch memory; the standard one above still validates the expression and serves every other one.
    std::shared_ptr<const rules::SimpleRegex> fastCompiled;
    rules::RegexScratch fastScratch;
    std::wstring compiledFrom;
    CompiledReplacement replacement;  // RegexTo for the compiled expression's groups
    std::wstring compileError;
    bool errorReported = false;  // the invalid expression has been shown to the user in this run
    std::wstring reportedText;   // what was shown then
    // DateFrom read into its tokens and DateTo with placeholders for its tokens, prepared once per run (never
    // saved); prepared again only when DateFrom or DateTo changed.
    DatePattern datePattern;
    std::wstring datePatternFrom;
    std::wstring dateTemplate;
    std::wstring dateTemplateTo;
    bool datePrepared = false;
    bool dateFullYear = false;
    bool dateTemplateUsable = false;  // false when DateTo holds a placeholder character itself
};

bool SameConverter(const Converter& a, const Converter& b);

// The first converter whose Column equals name exactly; null when none.
Converter* FindConverter(std::vector<Converter>& converters, std::wstring_view name);
// Forgets the compiled expression and its error report, so the next run compiles (and reports) afresh.
void BeginConverterRun(Converter& converter);
// Compiles RegexFrom once for a run (again only when RegexFrom changed); false (and compileError) when it is
// invalid. Reports nothing itself: ApplyConverter reports when a value meets the invalid expression.
bool PrepareConverter(Converter& converter);
// Converts value of a column of type code type into out; failed is 1 when the conversion failed (an invalid
// regular expression, a failing match, or a value that needs more matching steps than its budget
// (RegexStepBudget): reported once per run through the host, out left empty, and the run ends the result set).
void ApplyConverter(Converter& converter, std::wstring_view value, int type, int& failed, std::wstring& out);
std::wstring ApplyConverter(Converter& converter, std::wstring_view value, int type, int& failed);
// The same for a cell whose number readings may already have been made (by a marker on the same column).
void ApplyConverter(Converter& converter, const rules::CellValue& value, int type, int& failed, std::wstring& out);
// The conversion without Prefix and Suffix, for callers that write those themselves: a view of the value itself
// when the converter leaves it as it is, else of scratch; empty with failed 1 as for ApplyConverter.
std::wstring_view ConvertValue(Converter& converter, const rules::CellValue& value, int type, int& failed,
                               std::wstring& scratch);

// True when ConvertValueUtf8 serves the converter: it has no regular expression, which reads the value's text.
bool ConverterConvertsBytes(const Converter& converter);
// ConvertValue for a cell read as UTF-8 (CellValue::ResetUtf8), on its bytes and into UTF-8, for a converter that
// ConverterConvertsBytes accepts: true with ConvertValue's text, encoded, in converted (a view of the bytes
// themselves or of scratch); false when this value needs its text (a date whose pattern would read characters
// beyond ASCII, say), which the caller then converts with ConvertValue.
bool ConvertValueUtf8(Converter& converter, const rules::CellValue& cell, int type, std::string& scratch,
                      std::string_view& converted);

// True when ConvertValue gives every value of a column of type code type back as it is (only Prefix and Suffix are
// added): no regular expression, no number format, no date pattern that applies to the type.
bool ConverterKeepsValues(const Converter& converter, int type);

// Appends to out the replacement text for one match by the ECMAScript rules: "$&" the match, "$1".."$99" the
// groups, "$`" the text before the match, "$'" the text after it, "$$" a dollar sign, anything else literal.
void AppendSubstitution(std::wstring& out, std::wstring_view replacement,
                        const std::match_results<const wchar_t*>& match, std::wstring_view subject);
// The same with the match as the standard matcher finds it under a step budget.
void AppendSubstitution(std::wstring& out, std::wstring_view replacement,
                        const std::match_results<rules::BudgetIterator>& match, std::wstring_view subject);
// The same with the match as captures of the fast matcher: the whole match first, then every group.
void AppendSubstitution(std::wstring& out, std::wstring_view replacement,
                        std::span<const rules::RegexCapture> captures, std::wstring_view subject);
