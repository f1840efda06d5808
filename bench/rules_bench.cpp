// Cost of the column rules on the per-cell path: TestMarker for each kind and operation, ApplyConverter for each
// conversion, in nanoseconds per value (the time per iteration, one value per iteration).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cwctype>
#include <random>
#include <string>
#include <vector>

#include "converter.h"
#include "fld_desc.h"
#include "rule_style.h"
#include "simple_regex.h"
#include "text.h"
#include "value_marker.h"

namespace {

constexpr size_t kValueCount = 4096;  // a power of two: the index wraps with a mask

std::vector<std::wstring> IntegerValues() {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> amount(-50000, 2000000);
    std::vector<std::wstring> values;
    for (size_t i = 0; i < kValueCount; ++i) values.push_back(std::to_wstring(amount(random)));
    return values;
}

std::vector<std::wstring> NumberValues() {
    std::mt19937 random(2);
    std::uniform_real_distribution<double> amount(-500.0, 250000.0);
    std::vector<std::wstring> values;
    wchar_t text[64];
    for (size_t i = 0; i < kValueCount; ++i) {
        std::swprintf(text, 64, L"%.2f", amount(random));
        values.emplace_back(text);
    }
    return values;
}

std::vector<std::wstring> TextValues() {
    const wchar_t* const names[] = {L"Anderson & Sons", L"Müller GmbH", L"Zhang Wei", L"O'Brien",
                                    L"north-east region", L"Łódź office", L"Smith", L"Bakery \"Sunrise\""};
    std::mt19937 random(3);
    std::vector<std::wstring> values;
    for (size_t i = 0; i < kValueCount; ++i) values.emplace_back(names[random() % 8]);
    return values;
}

std::vector<std::wstring> DateValues() {
    std::mt19937 random(4);
    std::vector<std::wstring> values;
    wchar_t text[64];
    for (size_t i = 0; i < kValueCount; ++i) {
        std::swprintf(text, 64, L"%04d-%02d-%02d %02d:%02d:%02d", 1990 + static_cast<int>(random() % 40),
                      1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 28),
                      static_cast<int>(random() % 24), static_cast<int>(random() % 60),
                      static_cast<int>(random() % 60));
        values.emplace_back(text);
    }
    return values;
}

struct MarkerSetup {
    const char* kind;
    int type;
    std::vector<std::wstring> (*values)();
    const wchar_t* operand;
    const wchar_t* range;
};

const MarkerSetup kMarkerKinds[] = {
    {"integer", TC_INTEGER, IntegerValues, L"1000000", L"100000;1500000"},
    {"number", TC_DOUBLE, NumberValues, L"125000.50", L"1000.5;200000"},
    {"text", TC_VARCHAR, TextValues, L"Smith", L"M;T"},
};

const wchar_t* const kOperations[] = {L">", L"<", L"=", L"!=", L">=", L"<=", L"Contains", L"Starts with",
                                      L"In Range"};

// utf8: the values arrive as UTF-8 bytes, as from SQLite, PostgreSQL and MariaDB, in cells that decode them
// only for a test that needs the text.
void BM_TestMarker(benchmark::State& state, const MarkerSetup& setup, const wchar_t* operation, bool utf8) {
    const std::vector<std::wstring> values = setup.values();
    std::vector<std::string> bytes;
    for (const std::wstring& value : values) bytes.push_back(tw::WideToUtf8(value));
    std::wstring decoded;
    rules::CellValue cell;
    ValueMarker marker;
    marker.ConditionColumn = L"value";
    marker.ConditionOperation = operation;
    const std::wstring op(operation);
    marker.ConditionOperand = op == L"In Range" ? setup.range : op == L"Contains" || op == L"Starts with"
                                                                    ? (setup.type == TC_VARCHAR ? L"S" : L"12")
                                                                    : setup.operand;
    PrepareMarker(marker, {L"value"}, {setup.type});
    size_t index = 0, holds = 0;
    for (auto _ : state) {
        const size_t at = index++ & (kValueCount - 1);
        if (utf8) {
            cell.ResetUtf8(bytes[at], decoded);
        } else {
            cell.Reset(values[at]);
        }
        holds += TestMarker(marker, cell);
    }
    benchmark::DoNotOptimize(holds);
    state.SetItemsProcessed(state.iterations());
}

void BM_ApplyConverter(benchmark::State& state, Converter converter, int type,
                       std::vector<std::wstring> (*makeValues)(), bool standardMatcher) {
    const std::vector<std::wstring> values = makeValues();
    PrepareConverter(converter);
    // For comparison: std::wregex alone, as every expression was matched before the fast matcher.
    if (standardMatcher) converter.fastCompiled.reset();
    std::wstring out;
    size_t index = 0;
    int failed = 0;
    for (auto _ : state) {
        ApplyConverter(converter, values[index++ & (kValueCount - 1)], type, failed, out);
        benchmark::DoNotOptimize(out.data());
    }
    if (failed) state.SkipWithError("conversion failed");
    state.SetItemsProcessed(state.iterations());
}

// For comparison: the expression compiled anew for every value, as a converter without a per-run cache would.
void BM_RegexCompiledPerValue(benchmark::State& state, Converter converter,
                              std::vector<std::wstring> (*makeValues)()) {
    const std::vector<std::wstring> values = makeValues();
    std::wstring out;
    size_t index = 0;
    int failed = 0;
    for (auto _ : state) {
        BeginConverterRun(converter);
        ApplyConverter(converter, values[index++ & (kValueCount - 1)], TC_VARCHAR, failed, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}

std::vector<std::wstring> RangeTexts() {
    std::mt19937 random(5);
    std::vector<std::wstring> values;
    for (size_t i = 0; i < kValueCount; ++i) {
        values.push_back(L"order " + std::to_wstring(random() % 10000) + L"-" + std::to_wstring(random() % 100) +
                         L" shipped");
    }
    return values;
}

// Twenty characters with runs of digits among letters.
std::vector<std::wstring> DigitRunTexts() {
    std::mt19937 random(6);
    std::vector<std::wstring> values;
    for (size_t i = 0; i < kValueCount; ++i) {
        std::wstring value;
        while (value.size() < 20) {
            const bool digits = value.empty() ? random() % 2 == 0 : !std::iswdigit(value.back());
            for (size_t run = 1 + random() % 4; run > 0 && value.size() < 20; --run) {
                const auto offset = static_cast<wchar_t>(random() % (digits ? 10 : 26));
                value += static_cast<wchar_t>((digits ? L'0' : L'a') + offset);
            }
        }
        values.push_back(value);
    }
    return values;
}

std::vector<std::wstring> MailTexts() {
    const wchar_t* const users[] = {L"jane", L"bob_smith", L"info", L"k2"};
    const wchar_t* const hosts[] = {L"example", L"shop", L"mail_server"};
    std::mt19937 random(7);
    std::vector<std::wstring> values;
    for (size_t i = 0; i < kValueCount; ++i) {
        values.push_back(std::wstring(users[random() % 4]) + L"@" + hosts[random() % 3] + L".com");
    }
    return values;
}

// The fast matcher alone: every match of a global replace found, nothing written.
void BM_RegexMatches(benchmark::State& state, const wchar_t* pattern, std::vector<std::wstring> (*makeValues)()) {
    const std::vector<std::wstring> values = makeValues();
    const auto regex = rules::SimpleRegex::Compile(pattern);
    if (regex == nullptr) {
        state.SkipWithError("outside the fast matcher's subset");
        return;
    }
    rules::RegexScratch scratch;
    size_t index = 0, found = 0;
    for (auto _ : state) {
        rules::RegexMatches matches(*regex, values[index++ & (kValueCount - 1)], scratch);
        while (matches.Next() == rules::RegexResult::Found) ++found;
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations());
}

void RegisterRegex(const char* name, const wchar_t* from, const wchar_t* to,
                   std::vector<std::wstring> (*makeValues)()) {
    benchmark::RegisterBenchmark((std::string("RegexMatches/") + name).c_str(), BM_RegexMatches, from,
                                 makeValues);
    Converter converter;
    converter.RegexFrom = from;
    converter.RegexTo = to;
    benchmark::RegisterBenchmark((std::string("ApplyConverter/regex_std/") + name).c_str(), BM_ApplyConverter,
                                 converter, TC_VARCHAR, makeValues, true);
    benchmark::RegisterBenchmark((std::string("ApplyConverter/regex_fast/") + name).c_str(), BM_ApplyConverter,
                                 converter, TC_VARCHAR, makeValues, false);
}

void BM_StyleAttributes(benchmark::State& state) {
    RuleStyle style;
    style.Align = L"Right";
    style.BackgroundColor = L"yellow";
    style.FontColor = L"red";
    style.FontSize = -1;
    style.CSSClass = L"num";
    std::wstring out;
    for (auto _ : state) {
        StyleAttributes(style, 1, out);
        benchmark::DoNotOptimize(out.data());
    }
}

void RegisterAll() {
    for (const MarkerSetup& setup : kMarkerKinds) {
        for (const wchar_t* operation : kOperations) {
            std::string name = std::string("TestMarker/") + setup.kind + "/";
            for (const wchar_t* c = operation; *c; ++c) name += static_cast<char>(*c == L' ' ? L'_' : *c);
            benchmark::RegisterBenchmark(name.c_str(), BM_TestMarker, setup, operation, false);
            benchmark::RegisterBenchmark((name + "/utf8").c_str(), BM_TestMarker, setup, operation, true);
        }
    }

    Converter regex;
    regex.RegexFrom = L"(\\d+)-(\\d+)";
    regex.RegexTo = L"$2/$1";
    benchmark::RegisterBenchmark("ApplyConverter/regex", BM_ApplyConverter, regex, TC_VARCHAR, RangeTexts, false);
    benchmark::RegisterBenchmark("ApplyConverter/regex_compiled_per_value", BM_RegexCompiledPerValue, regex,
                                 RangeTexts);
    // The same expressions on std::wregex alone and on the fast matcher.
    RegisterRegex("ranges", L"(\\d+)-(\\d+)", L"$2/$1", RangeTexts);
    RegisterRegex("date_anchored", L"^([0-9]{4})-([0-9]{2})", L"$2/$1", DateValues);
    RegisterRegex("digit_runs", L"[0-9]+", L"<$&>", DigitRunTexts);
    RegisterRegex("mail_host", L"(\\w+)@(\\w+)\\.com", L"$2", MailTexts);

    Converter group;
    group.Group = 1;
    benchmark::RegisterBenchmark("ApplyConverter/group", BM_ApplyConverter, group, TC_INTEGER, IntegerValues,
                                 false);

    Converter fixed;
    fixed.Digits = 12;
    fixed.Pres = 2;
    benchmark::RegisterBenchmark("ApplyConverter/fixed", BM_ApplyConverter, fixed, TC_DOUBLE, NumberValues,
                                 false);

    Converter date;
    date.DateFrom = L"YYYY-MM-DD";
    date.DateTo = L"DD MON YYYY";
    benchmark::RegisterBenchmark("ApplyConverter/date", BM_ApplyConverter, date, TC_TIMESTAMP, DateValues, false);

    Converter affixes;
    affixes.Prefix = L"€ ";
    affixes.Suffix = L" net";
    benchmark::RegisterBenchmark("ApplyConverter/prefix_suffix", BM_ApplyConverter, affixes, TC_VARCHAR,
                                 TextValues, false);

    benchmark::RegisterBenchmark("StyleAttributes/html", BM_StyleAttributes);
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
