#include "output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "text.h"

namespace {

// A file-size limit (ulimit -f) kills a process with SIGXFSZ by default. Ignored, the write fails with EFBIG
// instead and the run ends with "File too large" while the old report stays. A handler the program set is kept.
void IgnoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGXFSZ, SIG_IGN);
    });
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

enum class Target { File, InPlace, LinkLoop };

// Follows a chain of symbolic links to the file that is to be replaced; the link may dangle (the report is new).
// /dev/stdout, /dev/fd/N and /proc/self/fd/N name an open descriptor: never followed, written in place.
Target FollowLinks(std::string& path) {
    for (int hop = 0; hop < 40; ++hop) {
        if (StartsWith(path, "/proc/") || StartsWith(path, "/dev/fd/")) return Target::InPlace;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return Target::File;
        std::vector<char> link(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<size_t>(length) >= link.size()) return Target::File;
        std::string next(link.data(), static_cast<size_t>(length));
        path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
    }
    return Target::LinkLoop;
}

// The permissions of a new file, as open(2) with 0666 would give them. Read from /proc, since umask(2) can only
// read the mask by changing it, which would race with other threads creating files.
mode_t NewFileMode() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(0666 & ~mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// The hidden temporary name beside target; a long name is shortened so that the result still fits NAME_MAX.
std::string TemporaryPattern(const std::string& target) {
    std::string name = NameOf(target);
    constexpr size_t kMaxName = NAME_MAX - 8;  // "." + name + ".XXXXXX"
    if (name.size() > kMaxName) {
        size_t cut = kMaxName;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole UTF-8 characters
        name.resize(cut);
    }
    return FolderOf(target) + "/." + name + ".XXXXXX";
}

void SyncFolder(const std::string& folder) {
    // Makes the rename durable; a failure here no longer endangers either file.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

void OutputFile::SetError(const wchar_t* what, int error) {
    if (m_error.empty()) m_error = std::wstring(what) + L" '" + m_path + L"': " + tw::Utf8ToWide(std::strerror(error));
    m_writeFailed.store(true, std::memory_order_relaxed);
}

bool OutputFile::Open(const std::wstring& path, Placement placement) {
    Discard();
    IgnoreFileSizeSignal();
    m_path = path;
    m_error.clear();
    m_writeFailed.store(false, std::memory_order_relaxed);
    m_buffer.clear();
    m_buffer.reserve(kFlushAt + 4096);
    m_written = 0;
    m_keepOwner = false;
    m_sync = false;
    std::string target = tw::WideToUtf8(path);
    if (target.empty() || target.back() == '/') {
        SetError(L"Could not create the file", target.empty() ? ENOENT : EISDIR);
        return false;
    }
    if (placement == Placement::Scratch) return OpenInPlace(target);
    switch (FollowLinks(target)) {
        case Target::InPlace: return OpenInPlace(tw::WideToUtf8(path));
        case Target::LinkLoop: SetError(L"Could not create the file", ELOOP); return false;
        case Target::File: break;
    }
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) {
            SetError(L"Could not create the file", EISDIR);
            return false;
        }
        return OpenInPlace(target);  // a device or a FIFO: there is nothing to keep
    }
    return OpenBeside(target);
}

bool OutputFile::OpenInPlace(const std::string& path) {
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        SetError(L"Could not create the file", errno);
        return false;
    }
    return true;
}

bool OutputFile::OpenBeside(const std::string& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        // A report the user may not write stays protected, although its folder would allow the rename.
        if (::access(target.c_str(), W_OK) != 0) {
            SetError(L"Could not create the file", errno);
            return false;
        }
        m_mode = existing.st_mode & 07777;
        m_owner = existing.st_uid;
        m_group = existing.st_gid;
        m_keepOwner = true;
    } else {
        m_mode = NewFileMode();
    }
    std::string pattern = TemporaryPattern(target);
    // mkostemp creates the file 0600: nobody else reads a report while it is being written.
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        SetError(L"Could not create the file", errno);
        return false;
    }
    m_target = target;
    m_temporary = pattern;
    m_sync = true;
    return true;
}

void OutputFile::Flush() {
    if (m_fd < 0 || !m_error.empty()) {
        m_buffer.clear();
        return;
    }
    const char* data = m_buffer.data();
    size_t left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(L"Could not write the file", errno);
            break;
        }
        data += n;
        left -= static_cast<size_t>(n);
        m_written += static_cast<unsigned long long>(n);
    }
    m_buffer.clear();
}

bool OutputFile::WriteAt(unsigned long long offset, std::string_view bytes) {
    Flush();
    if (m_fd < 0 || !m_error.empty()) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(L"Could not write the file", errno);
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
        offset += static_cast<unsigned long long>(n);
    }
    return true;
}

bool OutputFile::Close() {
    if (m_fd < 0) return m_error.empty();
    Flush();
    if (m_sync && m_error.empty()) {
        if (m_keepOwner && ::fchown(m_fd, m_owner, m_group) != 0) {
            // Best effort: only root may give a file to another user, and a file system may have no owners.
        }
        if (::fchmod(m_fd, m_mode) != 0) SetError(L"Could not write the file", errno);
        if (::fsync(m_fd) != 0) SetError(L"Could not write the file", errno);
    }
    if (::close(m_fd) != 0) SetError(L"Could not finish the file", errno);
    m_fd = -1;
    if (!m_temporary.empty()) {
        if (m_error.empty() && ::rename(m_temporary.c_str(), m_target.c_str()) != 0)
            SetError(L"Could not replace the file", errno);
        if (m_error.empty()) {
            SyncFolder(FolderOf(m_target));
        } else {
            ::unlink(m_temporary.c_str());
        }
        m_temporary.clear();
    }
    return m_error.empty();
}

void OutputFile::Discard() {
    m_buffer.clear();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
}
