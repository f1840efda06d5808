#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "file_descriptor.h"
#include "text.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

std::wstring SystemError(int error) { return Utf8ToWide(std::strerror(error)); }

std::wstring Quoted(const fs::path& path) { return L"'" + FromPath(path) + L"'"; }

using tw::FileDescriptor;

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

mode_t NewFileMode() {
    // The process's umask can only be read by setting it; the core runs on one thread.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

ReadResult ReadWholeFile(const fs::path& path, std::string& bytes, std::wstring& error) {
    bytes.clear();
    // O_NONBLOCK: opening a FIFO must not wait for a writer; only regular files are read below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int code = errno;
        error = L"Could not open " + Quoted(path) + L": " + SystemError(code);
        return code == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    }
    FileDescriptor file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        error = L"Could not read " + Quoted(path) + L": " + SystemError(code);
        return ReadResult::Unreadable;
    }
    // A folder, a device or a FIFO is no text file (and /dev/zero would never end).
    if (!S_ISREG(info.st_mode)) {
        error = L"Could not read " + Quoted(path) + L": " +
                (S_ISDIR(info.st_mode) ? SystemError(EISDIR) : std::wstring(L"not a regular file"));
        return ReadResult::Unreadable;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            const int code = errno;
            if (code == EINTR) continue;
            error = L"Could not read " + Quoted(path) + L": " + SystemError(code);
            bytes.clear();
            return ReadResult::Unreadable;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return ReadResult::Ok;
}

bool ReplaceFile(const fs::path& requested, std::string_view content, std::wstring& error) {
    std::error_code ec;
    fs::path target = requested;
    // Replace the file a link points to, not the link.
    if (fs::is_symlink(fs::symlink_status(requested, ec))) {
        const fs::path resolved = fs::weakly_canonical(requested, ec);
        if (!ec) target = resolved;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        const int code = errno;
        error = L"Could not create a temporary file in " + Quoted(folder) + L": " + SystemError(code);
        return false;
    }
    FileDescriptor file(fd);
    const fs::path temporary(name.data());
    // Reads errno before building any text, which could change it.
    auto fail = [&](const wchar_t* what, const fs::path& which) {
        const int code = errno;
        ::unlink(temporary.c_str());
        error = std::wstring(what) + L" " + Quoted(which) + L": " + SystemError(code);
        return false;
    };

    struct stat existing {};
    const mode_t mode = ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();
    ::fchmod(fd, mode);  // Best effort: a file system without modes keeps its own.

    if (!WriteAll(fd, content)) return fail(L"Could not write", temporary);
    if (::fsync(fd) != 0) return fail(L"Could not flush", temporary);
    if (file.Close() != 0) return fail(L"Could not close", temporary);
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(L"Could not replace", target);

    // Make the rename itself durable; a failure here no longer endangers either file.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

}  // namespace tw
