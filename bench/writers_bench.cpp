// Writer throughput: 1,000,000 rows x 8 columns of synthetic calls, the way the report run makes them, through
// each format of MultiReport. Prints rows/s, MB/s and the peak resident size. Run by hand:
//   writers_bench [rows] [folder]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "multi_report.h"
#include "text.h"

namespace {

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Run(int format, const char* name, long rows, const std::filesystem::path& folder) {
    const std::filesystem::path file = folder / (std::string("bench.") + name);
    MultiReport report;
    report.AddReport(format, tw::FromPath(file), L"Default.htm");
    report.AddProperty(L"%TITLE%", L"Benchmark");
    report.AddProperty(L"%CHARSET%", L"utf-8");
    report.SetColumnSeparator(L"\t");
    report.SetStyles(L"<Style ss:ID=\"Pr0\"><Font ss:Bold=\"1\" ss:Italic=\"0\" ss:Color=\"black\" ss:Size=\"10\"/></Style>\n");
    const auto start = std::chrono::steady_clock::now();
    if (report.Open() != RE_OK) {
        std::fprintf(stderr, "%s: %s\n", name, tw::WideToUtf8(report.ErrorText()).c_str());
        return;
    }
    const wchar_t* columns[8] = {L"id", L"name", L"city", L"amount", L"date", L"code", L"note", L"flag"};
    report.BeginSubDocument(L"", L"Results.html", L"Results");
    report.Ancor(L"Results");
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 8);
    for (const auto* column : columns) report.Cell(column, 1, L"");
    report.EndRow(L"");
    std::wstring values[8] = {L"", L"Customer name & co", L"Z\u00fcrich", L"", L"2024-05-17",
                              L"AB-1234", L"A note of moderate length <b>", L"1"};
    for (long row = 0; row < rows; ++row) {
        values[0] = std::to_wstring(row);
        values[3] = std::to_wstring(row % 100000) + L".25";
        report.BeginRow(L"row", L"", 8);
        for (int c = 0; c < 8; ++c) {
            if (c == 3) report.SetCellColor(L"Pr0");
            report.BeginCell(columns[c], 0, c == 3 ? L" align=\"Right\"" : L"");
            report.Text(values[c], 0, L"", 0);
            report.EndCell(columns[c], 0);
            report.SetCellColor(L"");
        }
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    report.EndSubDocument();
    const int result = report.Close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::error_code error;
    const double megabytes = static_cast<double>(std::filesystem::file_size(file, error)) / 1e6;
    std::printf("%-6s %8.3f s %12.0f rows/s %8.1f MB %8.1f MB/s  peak RSS %ld KB%s\n", name, seconds,
                static_cast<double>(rows) / seconds, megabytes, megabytes / seconds, PeakRssKb(),
                result == RE_OK ? "" : "  (Close failed)");
    std::filesystem::remove(file, error);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    std::printf("%ld rows x 8 columns\n", rows);
    Run(RF_HTML, "html", rows, folder);
    Run(RF_XML, "xml", rows, folder);
    Run(RF_TEXT, "txt", rows, folder);
    Run(RF_EXCEL, "xls", rows, folder);
    return 0;
}
