// Throughput and peak memory of the RTF and PDF writers for large result sets, PDF pages per second, and the
// time the PDF writer takes for one very long cell.
//
//   writers2_bench [--pdf] [rows ...]     (default: 100000 1000000; --pdf: only the PDF rows and the mixed text)
//
// Each case runs in a child process of its own, so that its peak resident set size is its own. Rows are
// written the way the run writes them: four columns, some cells styled, and the file is removed afterwards.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fstream>

#include "multi_report.h"
#include "pdf_writer.h"
#include "text.h"

namespace {

void Cell(AReport& report, const wchar_t* column, const std::wstring& text, const wchar_t* attributes,
          bool bold) {
    report.BeginCell(column, 0, attributes);
    if (bold) report.BeginStyle(RS_BOLD, 0);
    report.Text(text, 0, L"", 0);
    if (bold) report.EndStyle(RS_BOLD, 0);
    report.EndCell(column, 0);
    report.SetCellColor(L"");
}

int WriteReport(int format, const std::string& path, long rows) {
    MultiReport report;
    report.AddReport(format, tw::Utf8ToWide(path), L"Default.htm");
    report.AddProperty(L"%TITLE%", L"Benchmark");
    if (report.Open() != RE_OK) {
        std::fprintf(stderr, "open failed: %s\n", tw::WideToUtf8(report.ErrorText()).c_str());
        return 1;
    }
    const bool rtf = format == RF_RTF;
    report.Text(L"Benchmark", 1, L"", 0);
    report.BeginSubDocument(L"", L"Results.html", L"Results");
    report.Ancor(L"Results");
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 4);
    for (const wchar_t* column : {L"id", L"name", L"amount", L"created"}) report.Cell(column, 1, L"");
    report.EndRow(L"");
    std::wstring id, name, amount;
    const std::wstring created = L"2024-03-15 10:42:07";
    for (long row = 0; row < rows; ++row) {
        id = std::to_wstring(row);
        name = L"customer \u00e9 " + id;
        amount = std::to_wstring(row % 100000) + L".25";
        report.BeginRow(L"row", L"", 4);
        Cell(report, L"id", id, L"", false);
        Cell(report, L"name", name, row % 10 == 0 ? (rtf ? L"red;yellow" : L"yellow") : L"", row % 10 == 0);
        Cell(report, L"amount", amount, rtf ? L"Default;Default" : L"Default", false);
        Cell(report, L"created", created, L"", false);
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    report.EndSubDocument();
    const auto* pdf = dynamic_cast<const PdfReport*>(report.Writer());
    const int pages = pdf ? pdf->PageCount() : 0;
    if (report.Close() != RE_OK) {
        std::fprintf(stderr, "close failed: %s\n", tw::WideToUtf8(report.ErrorText()).c_str());
        return 1;
    }
    std::ofstream(path + ".pages") << pages;
    return 0;
}

// Rows of varied Latin text (every value different, letters from all of Latin-1 and Latin Extended-A), the case
// where the PDF writer's tables of glyph advances learn the most.
int WriteMixed(const std::string& path, long rows) {
    MultiReport report;
    report.AddReport(RF_PDF, tw::Utf8ToWide(path), L"");
    if (report.Open() != RE_OK) return 1;
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 3);
    for (const wchar_t* column : {L"id", L"words", L"code"}) report.Cell(column, 1, L"");
    report.EndRow(L"");
    unsigned state = 12345;
    auto next = [&state] { return state = state * 1103515245u + 12345u, (state >> 8) & 0xFFFF; };
    auto character = [&next]() -> wchar_t {
        const unsigned pick = next() % 100;
        if (pick < 60) return static_cast<wchar_t>(L'a' + next() % 26);
        if (pick < 70) return static_cast<wchar_t>(L'A' + next() % 26);
        if (pick < 80) return static_cast<wchar_t>(L'0' + next() % 10);
        if (pick < 90) return static_cast<wchar_t>(0xC0 + next() % 0x40);
        return static_cast<wchar_t>(0x100 + next() % 0x80);
    };
    std::wstring words, code;
    for (long row = 0; row < rows; ++row) {
        words.clear();
        for (int word = 0; word < 3; ++word) {
            if (word > 0) words += L' ';
            for (unsigned length = 3 + next() % 5; length > 0; --length) words += character();
        }
        code.clear();
        for (int i = 0; i < 6; ++i) code += character();
        report.BeginRow(L"row", L"", 3);
        report.Cell(std::to_wstring(row), 0, L"");
        report.Cell(words, 0, L"");
        report.Cell(code, 0, L"");
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    const auto* pdf = dynamic_cast<const PdfReport*>(report.Writer());
    const int pages = pdf ? pdf->PageCount() : 0;
    if (report.Close() != RE_OK) return 1;
    std::ofstream(path + ".pages") << pages;
    return 0;
}

// One row whose middle cell holds characters of prose (the case that once grew with the square of the length).
int WriteLongCell(const std::string& path, long characters) {
    MultiReport report;
    report.AddReport(RF_PDF, tw::Utf8ToWide(path), L"");
    if (report.Open() != RE_OK) return 1;
    std::wstring text;
    text.reserve(static_cast<size_t>(characters) + 64);
    for (long sentence = 0; static_cast<long>(text.size()) < characters; ++sentence)
        text += L"Sentence " + std::to_wstring(sentence) + L" of a long value that wraps. ";
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 3);
    for (const wchar_t* column : {L"id", L"text", L"note"}) report.Cell(column, 1, L"");
    report.EndRow(L"");
    report.BeginRow(L"row", L"", 3);
    Cell(report, L"id", L"1", L"", false);
    Cell(report, L"text", text, L"", false);
    Cell(report, L"note", L"long", L"", false);
    report.EndRow(L"row");
    report.EndTable(L"ResultSet");
    const auto* pdf = dynamic_cast<const PdfReport*>(report.Writer());
    const int pages = pdf ? pdf->PageCount() : 0;
    if (report.Close() != RE_OK) return 1;
    std::ofstream(path + ".pages") << pages;
    return 0;
}

// Runs one case in a child; prints its line. False when it failed.
bool Measure(const char* label, long size, const std::string& path, int (*write)(const std::string&, long)) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) _exit(write(path, size));
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    struct stat info {};
    ::stat(path.c_str(), &info);
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    long pages = 0;
    std::ifstream(path + ".pages") >> pages;
    std::printf("%-9s %10ld %9.2f %9.2f %14.0f %14.1f %12.1f %8ld %10.0f%s\n", label, size, seconds, cpu,
                static_cast<double>(size) / cpu, static_cast<double>(usage.ru_maxrss) / 1024.0,
                static_cast<double>(info.st_size) / (1024.0 * 1024.0), pages,
                pages ? static_cast<double>(pages) / cpu : 0.0, ok ? "" : "  FAILED");
    std::fflush(stdout);
    if (!std::getenv("TW_BENCH_KEEP")) ::unlink(path.c_str());  // kept to look at
    ::unlink((path + ".pages").c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> counts;
    bool pdfOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--pdf")
            pdfOnly = true;
        else
            counts.push_back(std::atol(argv[i]));
    }
    if (counts.empty()) counts = {100000, 1000000};
    const char* temp = std::getenv("TMPDIR");
    std::string folder = std::string(temp && *temp ? temp : "/tmp") + "/tw-bench-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) return 1;

    // Wall time suffers when the machine is busy; CPU time (user + system of the child) is the steadier
    // figure.
    std::printf("%-9s %10s %9s %9s %14s %14s %12s %8s %10s\n", "case", "size", "wall s", "cpu s", "size/cpu s",
                "peak RSS MiB", "file MiB", "pages", "pages/cpu s");
    int failures = 0;
    for (const long rows : pdfOnly ? std::vector<long>{} : counts)
        failures += Measure("RTF rows", rows, folder + "/bench.rtf",
                            [](const std::string& path, long size) { return WriteReport(RF_RTF, path, size); })
                        ? 0
                        : 1;
    for (const long rows : counts)
        failures += Measure("PDF rows", rows, folder + "/bench.pdf",
                            [](const std::string& path, long size) { return WriteReport(RF_PDF, path, size); })
                        ? 0
                        : 1;
    for (const long rows : counts)
        failures += Measure("PDF mixed", rows, folder + "/mixed.pdf", WriteMixed) ? 0 : 1;
    for (const long characters : pdfOnly ? std::vector<long>{} : std::vector<long>{100000L, 1000000L})
        failures += Measure("PDF cell", characters, folder + "/long.pdf", WriteLongCell) ? 0 : 1;
    if (std::getenv("TW_BENCH_KEEP"))
        std::printf("files kept in %s\n", folder.c_str());
    else
        ::rmdir(folder.c_str());
    return failures == 0 ? 0 : 1;
}
