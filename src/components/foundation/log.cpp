#include "log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "text.h"

namespace {

std::mutex g_mutex;
std::wstring g_state;
bool g_echo = false;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

// Appends one line to the log file (and standard error when echoing); a log that cannot be written is
// skipped.
void Write(std::wstring_view text, std::wstring_view detail, const char* source, int line) {
    std::lock_guard lock(g_mutex);
    std::string entry = Timestamp();
    if (!g_state.empty()) {
        entry += " [";
        tw::AppendUtf8(entry, g_state);
        entry += "]";
    }
    entry += ' ';
    tw::AppendUtf8(entry, text);
    if (!detail.empty()) {
        entry += ": ";
        tw::AppendUtf8(entry, detail);
    }
    if (source && *source) {
        entry += " (";
        entry += source;
        if (line > 0) entry += ":" + std::to_string(line);
        entry += ")";
    }
    // One entry is one line, whatever the texts hold.
    for (char& c : entry)
        if (c == '\n' || c == '\r') c = ' ';
    entry += '\n';

    if (g_echo) std::fputs(entry.c_str(), stderr);

    const std::filesystem::path path = CLog::FilePath();
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "ae"));
    if (file) std::fwrite(entry.data(), 1, entry.size(), file.get());
}

std::string EnvFolder(const char* variable, const char* fallbackUnderHome) {
    const char* value = std::getenv(variable);
    // Relative values are to be ignored, as the XDG base directory rules say.
    if (value && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/" + fallbackUnderHome;
}

}  // namespace

void CLog::Bug(std::wstring_view text, std::wstring_view detail, const char* source, int line) {
    Write(text, detail, source, line);
}

void CLog::Bug2(const wchar_t* format, ...) {
    if (!format) return;
    // Grow the buffer until the entry fits: vswprintf gives -1 both for a short buffer and for a bad
    // argument, so an encoding error stops the growth and the format itself is logged.
    constexpr size_t kLimit = size_t{1} << 26;
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list arguments;
        va_start(arguments, format);
        errno = 0;
        const int length = std::vswprintf(buffer.data(), buffer.size(), format, arguments);
        va_end(arguments);
        if (length >= 0) {
            Write(std::wstring_view(buffer.data(), static_cast<size_t>(length)), {}, nullptr, 0);
            return;
        }
        if (errno == EILSEQ || buffer.size() >= kLimit) {
            Write(format, L"(entry could not be formatted)", nullptr, 0);
            return;
        }
        buffer.resize(buffer.size() * 4);
    }
}

void CLog::State(const wchar_t* state) {
    std::lock_guard lock(g_mutex);
    if (state)
        g_state = state;
    else
        g_state.clear();
}

const std::wstring& CLog::CurrentState() { return g_state; }

std::wstring CLog::VersionStr(int) { return tw::Utf8ToWide(TW_VERSION); }

void CLog::SetEcho(bool echo) {
    std::lock_guard lock(g_mutex);
    g_echo = echo;
}

std::string CLog::FilePath() {
    return EnvFolder("XDG_STATE_HOME", ".local/state") + "/tablewright/tablewright.log";
}
