#include "temp_folder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

std::string TemporaryDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0') {
        struct stat info {};
        if (::stat(tmp, &info) == 0 && S_ISDIR(info.st_mode)) {
            std::string folder = tmp;
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            return folder;
        }
    }
    return "/tmp";
}

PrivateTempFolder::~PrivateTempFolder() { Remove(); }

PrivateTempFolder::PrivateTempFolder(PrivateTempFolder&& other) noexcept : m_path(std::exchange(other.m_path, {})) {}

PrivateTempFolder& PrivateTempFolder::operator=(PrivateTempFolder&& other) noexcept {
    if (this != &other) {
        Remove();
        m_path = std::exchange(other.m_path, {});
    }
    return *this;
}

bool PrivateTempFolder::Make(const char* prefix) {
    Remove();
    std::string pattern = TemporaryDirectory() + "/" + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return false;
    m_path = buffer.data();
    return true;
}

bool PrivateTempFolder::EnsureExists(const char* prefix) {
    if (!m_path.empty()) {
        struct stat info {};
        // lstat: a symbolic link planted under our name is not our folder.
        if (::lstat(m_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()) return true;
        m_path.clear();
    }
    return Make(prefix);
}

void PrivateTempFolder::Remove() noexcept {
    if (m_path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    m_path.clear();
}
