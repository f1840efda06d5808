#include "log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <vector>

#include "file_descriptor.h"
#include "text.h"

namespace {

enum class Level { Info, Warning, Shown };

std::mutex g_mutex;
std::wstring g_state;
bool g_echo = false;
bool g_echoInfo = false;

using tw::FileDescriptor;

// The log says what the user ran and from where: the folder is made private to the user, parents included
// when they are made here, and a log folder that others can enter is closed again.
bool EnsurePrivateFolder(const std::filesystem::path& folder, bool closeExisting) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode)) return false;
        if (closeExisting && (info.st_mode & 077) != 0 && info.st_uid == ::geteuid())
            ::chmod(folder.c_str(), info.st_mode & 0700);
        return true;
    }
    if (errno != ENOENT) return false;
    const std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !EnsurePrivateFolder(parent, false)) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Opens the log for appending, private to the user; past the size limit the current log becomes the ".1" file
// first, so the two files never hold much more than twice the limit.
int OpenLog(const std::string& path, size_t comingBytes) {
    bool rotated = false;
    for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return -1;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return fd;  // /dev/null and the like: as is
        if ((info.st_mode & 07777) != 0600 && info.st_uid == ::geteuid()) ::fchmod(fd, 0600);
        const bool full = info.st_size > 0 && static_cast<size_t>(info.st_size) + comingBytes > CLog::kRotateSize;
        // A log that cannot be renamed is still written to: a long entry beats a lost one.
        if (rotated || !full || ::rename(path.c_str(), (path + ".1").c_str()) != 0) return fd;
        ::close(fd);
        rotated = true;
    }
}

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
void Write(Level level, std::wstring_view text, std::wstring_view detail, const char* source, int line) {
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

    const bool echo = level == Level::Warning ? g_echo : level == Level::Info && g_echo && g_echoInfo;
    if (echo) {
        std::fputs(entry.c_str(), stderr);
        std::fflush(stderr);
    }

    const std::string path = CLog::FilePath();
    if (!EnsurePrivateFolder(std::filesystem::path(path).parent_path(), true)) return;
    const FileDescriptor file(OpenLog(path, entry.size()));
    if (file.Get() < 0) return;
    // One write per entry: with O_APPEND, entries of several processes never interleave within a line.
    for (size_t done = 0; done < entry.size();) {
        const ssize_t written = ::write(file.Get(), entry.data() + done, entry.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<size_t>(written);
    }
}

// Formats an entry with swprintf's format. The buffer grows until the entry fits: vswprintf gives -1 both for a
// short buffer and for a bad argument, so an encoding error stops the growth and the format itself is logged.
void WriteFormatted(Level level, const wchar_t* format, va_list arguments) {
    if (!format) return;
    constexpr size_t kLimit = size_t{1} << 26;
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list copy;
        va_copy(copy, arguments);
        errno = 0;
        const int length = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (length >= 0) {
            Write(level, std::wstring_view(buffer.data(), static_cast<size_t>(length)), {}, nullptr, 0);
            return;
        }
        if (errno == EILSEQ || buffer.size() >= kLimit) {
            Write(level, format, L"(entry could not be formatted)", nullptr, 0);
            return;
        }
        buffer.resize(buffer.size() * 4);
    }
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
    Write(Level::Warning, text, detail, source, line);
}

void CLog::Bug2(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteFormatted(Level::Warning, format, arguments);
    va_end(arguments);
}

void CLog::Info(std::wstring_view text, std::wstring_view detail) { Write(Level::Info, text, detail, nullptr, 0); }

void CLog::Info2(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteFormatted(Level::Info, format, arguments);
    va_end(arguments);
}

void CLog::Shown(std::wstring_view text) { Write(Level::Shown, text, {}, nullptr, 0); }

void CLog::State(const wchar_t* state) {
    std::lock_guard lock(g_mutex);
    if (state)
        g_state = state;
    else
        g_state.clear();
}

const std::wstring& CLog::CurrentState() { return g_state; }

std::wstring CLog::VersionStr(int) { return tw::Utf8ToWide(TW_VERSION); }

void CLog::SetEcho(bool echo, bool info) {
    std::lock_guard lock(g_mutex);
    g_echo = echo;
    g_echoInfo = info;
}

std::string CLog::FilePath() {
    return EnvFolder("XDG_STATE_HOME", ".local/state") + "/tablewright/tablewright.log";
}
