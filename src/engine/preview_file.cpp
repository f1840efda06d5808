// The preview file of a project: a preview run written into a file that only this user can reach.

#include <fcntl.h>
#include <unistd.h>

#include <cwchar>

#include "ctw_doc.h"
#include "ex_report.h"
#include "log_state.h"
#include "text.h"

namespace {

// Creates path afresh for the writer: an old file of ours is replaced, and O_EXCL with O_NOFOLLOW never follows
// or reuses anything planted under the name.
bool CreatePrivateFile(const std::string& path) {
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

std::wstring PreparePreviewFile(CtwDoc& project) {
    ExReport& engine = Engine();
    const std::wstring folder = engine.PreviewFolder();
    if (folder.empty()) {
        CLog::Bug(L"Could not create the preview folder in the temporary folder.");
        return {};
    }
    if (project.m_previewName.empty()) {
        const unsigned high = engine.NextRandom();
        const unsigned low = engine.NextRandom();
        wchar_t name[16];
        std::swprintf(name, std::size(name), L"tw%08X", high * 65536u + low);
        project.m_previewName = name;
    }
    const std::wstring path =
        folder + L"/" + project.m_previewName + (project.Format == 3 ? L".txt" : L".html");
    if (!CreatePrivateFile(tw::WideToUtf8(path))) {
        CLog::Bug(L"Could not create the preview file.", path, "ExReport", __LINE__);
        return {};
    }
    return path;
}

std::wstring RunPreview(CtwDoc& project) {
    LogStateScope state(L"HtmlPreview::Refresh");
    const std::wstring path = PreparePreviewFile(project);
    if (!path.empty()) Engine().RunAndOpen(project, path, 1);
    return path;
}

bool DeletePreview(const std::wstring& path) {
    if (path.empty()) return false;
    return ::unlink(tw::WideToUtf8(path).c_str()) == 0;
}
