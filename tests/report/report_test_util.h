#pragma once
// Helpers shared by the writer tests: a throwaway folder, running an outside reader, comparing what it read,
// golden files.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "edge_cases.h"
#include "multi_report.h"
#include "text.h"

namespace rt {

// A folder under the system's temporary folder, removed with everything in it (kept when TW_KEEP_SCRATCH is
// set, to look at the files).
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tw_report_XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempDir() {
        std::error_code error;
        if (!m_path.empty() && !std::getenv("TW_KEEP_SCRATCH")) std::filesystem::remove_all(m_path, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::wstring File(const std::string& name) const { return tw::FromPath(m_path / name); }
    std::string Name(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Points DataDir() (where the HTML templates are) at a folder for the life of the object.
class DataDirOverride {
public:
    explicit DataDirOverride(const std::string& folder) {
        if (const char* old = std::getenv("TABLEWRIGHT_DATA_DIR")) m_old = old;
        setenv("TABLEWRIGHT_DATA_DIR", folder.c_str(), 1);
    }
    ~DataDirOverride() {
        if (m_old.empty())
            unsetenv("TABLEWRIGHT_DATA_DIR");
        else
            setenv("TABLEWRIGHT_DATA_DIR", m_old.c_str(), 1);
    }

private:
    std::string m_old;
};

// Runs a shell command; its standard output and error in output; the exit status.
inline int Run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Standard output and error of a shell command; status receives the exit status.
inline std::string Capture(const std::string& command, int* status = nullptr) {
    std::string output;
    const int result = Run(command, output);
    if (status) *status = result;
    return output;
}

inline bool HasProgram(const std::string& name) {
    std::string output;
    return Run("command -v " + name, output) == 0;
}

// Every needle occurs in haystack, each after the one before; the first one missing is reported.
inline ::testing::AssertionResult InOrder(const std::string& haystack, const std::vector<std::string>& needles) {
    size_t at = 0;
    for (const auto& needle : needles) {
        const size_t found = haystack.find(needle, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure() << "'" << needle << "' not found (in order) in:\n"
                                                 << haystack.substr(0, 3000);
        at = found + needle.size();
    }
    return ::testing::AssertionSuccess();
}

// Whitespace runs (line breaks, wrapping) collapsed to one space, so that wrapped cells compare as one text.
inline std::string Squeeze(const std::string& text) {
    std::string out;
    bool space = false;
    for (const char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f') {
            space = true;
            continue;
        }
        if (space && !out.empty()) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

// The python that has html5lib (Debian's own, not one a user put first on PATH).
inline std::string Python() {
    std::string output;
    if (Run("/usr/bin/python3 -c 'import html5lib'", output) == 0) return "/usr/bin/python3";
    if (Run("python3 -c 'import html5lib'", output) == 0) return "python3";
    return {};
}

inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    return out + "'";
}

// A JSON string of text (UTF-8), for handing expected values to a reader script.
inline std::string JsonString(std::wstring_view text) {
    std::string out = "\"";
    for (const wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            tw::AppendUtf8(out, std::wstring_view(&c, 1));
        }
    }
    return out + "\"";
}

// The edge-case tables as JSON: {"tables": [{"name", "columns", "rows"}...], "title"}.
inline std::string EdgeJson() {
    std::string out = "{\"title\": " + JsonString(edge::Title()) + ", \"tables\": [";
    bool firstTable = true;
    for (const auto& table : edge::Tables()) {
        out += firstTable ? "" : ", ";
        firstTable = false;
        out += "{\"name\": " + JsonString(table.name) + ", \"columns\": [";
        for (size_t c = 0; c < table.columns.size(); ++c) out += (c ? ", " : "") + JsonString(table.columns[c]);
        out += "], \"rows\": [";
        for (size_t r = 0; r < table.rows.size(); ++r) {
            out += r ? ", [" : "[";
            for (size_t c = 0; c < table.rows[r].size(); ++c) out += (c ? ", " : "") + JsonString(table.rows[r][c]);
            out += "]";
        }
        out += "]}";
    }
    return out + "]}";
}

struct EdgeOptions {
    const wchar_t* separator = L",";
    const wchar_t* templ = L"Default.htm";
    const wchar_t* charset = L"utf-8";
    bool cutShort = false;  // a result set cut short follows the edge cases
};

// Writes the edge-case set in format into file through MultiReport; the result of Close (Open's when it failed).
inline int WriteEdgeReport(int format, const std::wstring& file, const EdgeOptions& options = {}) {
    MultiReport report;
    report.AddReport(format, file, options.templ);
    edge::SetUp(report);
    report.SetColumnSeparator(options.separator);
    report.AddProperty(L"%CHARSET%", options.charset);
    if (const int result = report.Open(); result != RE_OK) return result;
    edge::Drive(report);
    if (options.cutShort) edge::DriveUnfinishedRow(report);
    return report.Close();
}

// Runs a checker script of this folder with python; empty when it passes.
inline std::string RunChecker(const std::string& script, const std::string& arguments,
                              const std::string& python = "python3") {
    std::string output;
    const int status = Run(python + " " + Quote(std::string(TW_SOURCE_DIR) + "/tests/report/" + script) + " " + arguments,
                           output);
    return status == 0 ? std::string() : "status " + std::to_string(status) + ": " + output;
}

// Dates and times (the summary's Created row) blanked, so that a golden file stays stable.
inline std::string BlankVolatile(const std::string& text) {
    static const std::regex stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");
    return std::regex_replace(text, stamp, "YYYY-MM-DD HH:MM:SS");
}

// Compares text with the golden file tests/data/report/golden/<name>; TW_UPDATE_GOLDEN=1 rewrites the file
// instead (review the diff before committing it).
inline void ExpectGolden(const std::string& actual, const std::string& name) {
    const std::filesystem::path path = std::filesystem::path(TW_TEST_DATA) / "report" / "golden" / name;
    const char* update = std::getenv("TW_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path, actual);
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "no golden file " << path << " (TW_UPDATE_GOLDEN=1 makes it)";
    EXPECT_EQ(ReadFile(path), actual) << "differs from " << path;
}

}  // namespace rt
