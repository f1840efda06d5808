#pragma once
// Helpers of the RTF, PDF and CHM writer tests: scratch folders, outside readers, files as text.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace twtest {

// A scratch folder removed at the end of the test (kept when TW_KEEP_SCRATCH is set, to look at the files).
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tw-writers2-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!m_path.empty() && !std::getenv("TW_KEEP_SCRATCH")) std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

inline bool HaveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Standard output of a shell command; status receives the exit status.
inline std::string Capture(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    const int rc = ::pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Every needle occurs in haystack, each after the one before; the first one missing is reported.
inline ::testing::AssertionResult InOrder(const std::string& haystack,
                                          const std::vector<std::string>& needles) {
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
    for (char c : text) {
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

}  // namespace twtest
