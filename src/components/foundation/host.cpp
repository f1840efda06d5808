#include "host.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "log.h"
#include "text.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

IHost& PlainHost() {
    static IHost host;
    return host;
}

std::atomic<IHost*> g_host{nullptr};

bool HoldsData(const fs::path& folder) {
    std::error_code ec;
    return !folder.empty() && fs::is_directory(folder / "tmpl", ec);
}

}  // namespace

void IHost::MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon) {
    std::string line = tw::WideToUtf8(caption);
    line += ": ";
    tw::AppendUtf8(line, text);
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void IHost::OpenFile(const std::wstring& path) {
    if (IsConsoleMode() || path.empty()) return;
    // An absolute path can never be taken for an option of xdg-open.
    std::error_code ec;
    const std::string file = fs::absolute(tw::ToPath(path), ec).string();
    if (ec) return;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::string program = "xdg-open";
    char* arguments[] = {program.data(), const_cast<char*>(file.c_str()), nullptr};
    pid_t child = 0;
    const int result = posix_spawnp(&child, "xdg-open", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        CLog::Bug(L"Could not start xdg-open", tw::Utf8ToWide(file), "host", __LINE__);
        return;
    }
    // Reap the child when it ends so that no zombie stays; the caller does not wait for it.
    std::thread([child] {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

IHost& Host() {
    IHost* host = g_host.load();
    return host ? *host : PlainHost();
}

void SetHost(IHost* host) { g_host.store(host); }

std::string DataDir() {
    const char* configured = std::getenv("TABLEWRIGHT_DATA_DIR");
    if (configured && *configured) return configured;

    std::error_code ec;
    const fs::path binary = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path folder = binary.parent_path();
        // Installed, the data is under ../share/tablewright; in the build tree build/tablewright sits in the
        // source tree that holds tmpl/.
        for (const fs::path& candidate :
             {folder, folder.parent_path(), folder.parent_path() / "share/tablewright"}) {
            if (HoldsData(candidate)) return candidate.lexically_normal().string();
        }
    }
    return TW_SOURCE_DIR;
}
