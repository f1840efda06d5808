#include "report_target.h"

#include <sys/stat.h>

#include <filesystem>
#include <string_view>
#include <utility>

#include "cdb.h"
#include "ctw_doc.h"
#include "text.h"

namespace {

namespace fs = std::filesystem;

std::wstring Trimmed(std::wstring text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    const size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The path of a file: URI: the authority (empty or "localhost") and the query are dropped, %XX decoded.
std::wstring UriPath(std::wstring_view uri) {
    uri.remove_prefix(5);  // "file:"
    uri = uri.substr(0, uri.find_first_of(L"?#"));
    if (uri.starts_with(L"//")) {
        const size_t slash = uri.find(L'/', 2);
        uri = slash == std::wstring_view::npos ? std::wstring_view() : uri.substr(slash);
    }
    std::string bytes;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == L'%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 && HexValue(uri[i + 2]) >= 0) {
            bytes.push_back(static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2])));
            i += 2;
        } else {
            tw::AppendUtf8(bytes, uri.substr(i, 1));
        }
    }
    return tw::Utf8ToWide(bytes);
}

// Same device and inode when both exist; otherwise the same absolute path with the links that exist resolved.
bool SameFile(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    const std::string pathA = tw::WideToUtf8(a), pathB = tw::WideToUtf8(b);
    struct stat infoA {}, infoB {};
    const bool existsA = ::stat(pathA.c_str(), &infoA) == 0, existsB = ::stat(pathB.c_str(), &infoB) == 0;
    // A character device (-o/dev/null with -v/dev/null) holds nothing that writing could destroy.
    if (existsA && existsB)
        return !S_ISCHR(infoA.st_mode) && infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    if (existsA != existsB) return false;
    std::error_code error;
    const fs::path resolvedA = fs::weakly_canonical(fs::absolute(pathA, error), error);
    if (error) return false;
    const fs::path resolvedB = fs::weakly_canonical(fs::absolute(pathB, error), error);
    return !error && resolvedA == resolvedB;
}

}  // namespace

std::wstring SqliteDatabaseFile(const std::wstring& connection, const std::wstring& baseFolder) {
    const std::wstring target = Trimmed(connection);
    if (target.empty() || target == L":memory:") return {};
    if (target.starts_with(L"file:")) {
        if (target.find(L"mode=memory") != std::wstring::npos) return {};
        const std::wstring path = UriPath(target);
        return path == L":memory:" ? std::wstring() : path;
    }
    fs::path file = tw::ToPath(target);
    if (file.is_relative() && !baseFolder.empty()) file = tw::ToPath(baseFolder) / file;
    return tw::FromPath(file);
}

std::vector<RunInput> RunInputsOf(const CtwDoc& project) {
    std::wstring database;
    if (const CDB* db = project.Connection(); db && db->m_ConInfo.Type == DS_SQLITE)
        database = SqliteDatabaseFile(db->m_ConInfo.Connection, db->m_ConInfo.BaseFolder);
    return {
        {project.PathName(), L"project file"},
        {project.FromFile != 0 && !project.QueryFile.empty() ? project.ResolvePath(project.QueryFile) : L"",
         L"script file"},
        {project.Values.empty() ? L"" : project.ResolvePath(project.Values), L"parameters file"},
        {database, L"database"},
    };
}

std::wstring ReportTargetClash(const std::vector<RunInput>& inputs, const std::wstring& reportPath) {
    if (reportPath.empty()) return {};
    for (const RunInput& input : inputs) {
        if (SameFile(reportPath, input.path))
            return L"The report file is the same file as the " + input.what + L" of the project.";
    }
    return {};
}
