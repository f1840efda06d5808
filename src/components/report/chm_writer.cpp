#include "chm_writer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>

#include "text.h"

extern char** environ;

namespace {

std::string g_compiler = "chmcmd";

constexpr char kIndexPage[] = "index.html";
constexpr char kProjectBase[] = "report";

std::wstring_view Property(const ReportSetup& setup, std::wstring_view name) {
    for (const auto& [key, value] : setup.properties)
        if (key == name) return value;
    return {};
}

// The full path of an executable found in PATH (or the name itself when it holds a slash), empty if none.
std::string FindExecutable(const std::string& name) {
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (true) {
        const size_t colon = dirs.find(':');
        std::string candidate(dirs.substr(0, colon));
        if (candidate.empty()) candidate = ".";
        candidate += '/';
        candidate += name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        dirs.remove_prefix(colon + 1);
    }
}

// A page name from the run is used as a plain file name inside the folder, never as a path.
std::wstring SafePageName(std::wstring_view file) {
    std::wstring name(file);
    for (wchar_t& c : name)
        if (c == L'/' || c == L'\\' || c < 0x20) c = L'_';
    if (name.empty() || name == L"." || name == L"..") name = L"page.html";
    if (name == L"index.html") name = L"index_.html";
    return name;
}

// Text for the sitemap files (.hhc/.hhk) and the project: ASCII with numeric references for the rest.
void AppendSitemapText(std::string& out, std::wstring_view text) {
    for (wchar_t c : text) {
        if (c == L'&')
            out += "&amp;";
        else if (c == L'<')
            out += "&lt;";
        else if (c == L'>')
            out += "&gt;";
        else if (c == L'"')
            out += "&quot;";
        else if (c < 0x20)
            out += ' ';
        else if (c < 0x80)
            out += static_cast<char>(c);
        else
            out += "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
    }
}

void AppendSitemapEntry(std::string& out, std::wstring_view name, std::wstring_view local) {
    out += "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"";
    AppendSitemapText(out, name);
    out += "\"><param name=\"Local\" value=\"";
    AppendSitemapText(out, local);
    out += "\"></OBJECT>\n";
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Moves a file, copying when the two places are on different file systems.
bool MoveFile(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
    std::filesystem::rename(from, to, error);
    if (!error) return true;
    error.clear();
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    if (error) return false;
    std::filesystem::remove(from, error);
    error.clear();
    return true;
}

}  // namespace

void ChmReport::SetCompiler(std::string name) { g_compiler = std::move(name); }

ChmReport::ChmReport() = default;

ChmReport::~ChmReport() { RemoveOwnFolder(); }

void ChmReport::RemoveOwnFolder() {
    if (m_ownFolder.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(m_ownFolder, ignored);
    m_ownFolder.clear();
}

int ChmReport::Open() {
    m_error.clear();
    m_pages.clear();
    m_pageError.clear();
    m_inPage = false;
    if (FindExecutable(g_compiler).empty())
        return Fail(RE_OPEN, L"The CHM compiler '" + tw::Utf8ToWide(g_compiler) +
                                 L"' was not found; install the package fp-utils to write CHM reports.");
    RemoveOwnFolder();
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/tw20XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return Fail(RE_OPEN, L"Could not create a temporary folder for the CHM pages: " +
                                 tw::Utf8ToWide(std::strerror(errno)));
    m_ownFolder = pattern;
    m_pageFolder = m_ownFolder;
    if (!m_file.Open(tw::Utf8ToWide(m_ownFolder + "/" + kIndexPage), OutputFile::Placement::Scratch)) {
        const std::wstring error = m_file.ErrorText();
        RemoveOwnFolder();
        return Fail(RE_OPEN, error);
    }
    // The report itself is started now, so that a folder it cannot be written in fails the run at once; the
    // compiled file is copied into it at Close and only then replaces the old report.
    if (!m_report.Open(m_setup.file)) {
        m_file.Discard();
        RemoveOwnFolder();
        return Fail(RE_OPEN, m_report.ErrorText());
    }
    SetOutput(nullptr);
    LoadTemplate();
    WriteHead(m_file);
    return RE_OK;
}

void ChmReport::BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) {
    if (!m_file.IsOpen()) return;
    EndPage();
    CloseAll();  // what is still open on the start page ends there
    if (!folder.empty() && m_pages.empty()) {
        std::error_code error;
        std::filesystem::create_directories(tw::ToPath(folder), error);
        if (!error) m_pageFolder = tw::WideToUtf8(folder);
    }
    while (!m_pageFolder.empty() && m_pageFolder.size() > 1 && m_pageFolder.back() == '/')
        m_pageFolder.pop_back();
    Page page{SafePageName(file), std::wstring(title)};
    const std::wstring path = tw::Utf8ToWide(m_pageFolder + "/") + page.file;
    if (!m_page.Open(path, OutputFile::Placement::Scratch)) {
        if (m_pageError.empty()) m_pageError = m_page.ErrorText();
        return;  // the page's content goes to the start page instead
    }
    m_pages.push_back(std::move(page));
    m_pageTitle = title;
    m_inPage = true;
    WriteHead(m_page, m_pageTitle);
    SetOutput(&m_page);
    HtmlReport::BeginSubDocument(folder, file, title);
}

void ChmReport::EndSubDocument() {
    if (m_inPage) {
        EndPage();
    } else {
        HtmlReport::EndSubDocument();
    }
}

void ChmReport::EndPage() {
    if (!m_inPage) return;
    CloseAll();
    WriteTail(m_page, m_pageTitle);
    if (!m_page.Close() && m_pageError.empty()) m_pageError = m_page.ErrorText();
    SetOutput(nullptr);
    m_inPage = false;
}

// The contents on the start page link to the pages; the run names each page after the anchor it holds.
void ChmReport::TocItem(std::wstring_view anchor, std::wstring_view text, int level) {
    if (!IsOpen(Element::Toc)) BeginToc();
    if (level > 0) {
        WriteRaw("<li class=\"toc-level-");
        WriteRaw(std::to_string(level));
        WriteRaw("\">");
    } else {
        WriteRaw("<li>");
    }
    WriteRaw("<a href=\"");
    WriteEscaped(SafePageName(std::wstring(anchor) + L".html"));
    WriteRaw("#");
    WriteEscaped(anchor);
    WriteRaw("\">");
    WriteEscaped(text);
    WriteRaw("</a></li>\n");
}

int ChmReport::Close() {
    if (!m_file.IsOpen()) return RE_OK;
    EndPage();
    SetOutput(nullptr);
    CloseAll();
    WriteTail(m_file);
    const bool indexWritten = m_file.Close();
    int result = RE_OK;
    if (!indexWritten) {
        result = Fail(RE_WRITE, m_file.ErrorText());
    } else if (!m_pageError.empty()) {
        result = Fail(RE_WRITE, m_pageError);
    } else {
        std::error_code error;
        if (m_pageFolder != m_ownFolder &&
            !MoveFile(m_ownFolder + "/" + kIndexPage, m_pageFolder + "/" + kIndexPage, error)) {
            result = Fail(RE_WRITE, L"Could not move the CHM start page: " + tw::Utf8ToWide(error.message()));
        } else if (!WriteProjectFiles(m_pageFolder, kProjectBase)) {
            result =
                Fail(RE_WRITE, L"Could not write the CHM project files in " + tw::Utf8ToWide(m_pageFolder));
        } else {
            result = Compile(m_pageFolder, kProjectBase);
        }
    }
    if (result != RE_OK) m_report.Discard();
    RemoveOwnFolder();
    return result;
}

void ChmReport::Discard() {
    m_page.Discard();
    m_inPage = false;
    m_report.Discard();
    HtmlReport::Discard();
    RemoveOwnFolder();
}

bool ChmReport::WriteProjectFiles(const std::string& folder, const std::string& base) {
    std::wstring title(Property(m_setup, L"%TITLE%"));
    if (title.empty()) title = L"Report";

    std::string project = "[OPTIONS]\r\nCompatibility=1.1 or later\r\nCompiled file=" + base +
                          ".chm\r\nContents file=" + base + ".hhc\r\nIndex file=" + base +
                          ".hhk\r\nDefault topic=index.html\r\nDisplay compile progress=No\r\n"
                          "Language=0x409 English (United States)\r\nTitle=";
    AppendSitemapText(project, title);
    project += "\r\n\r\n[FILES]\r\nindex.html\r\n";
    for (const Page& page : m_pages) project += tw::WideToUtf8(page.file) + "\r\n";

    const std::string head =
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML>\n<HEAD>\n</HEAD>\n<BODY>\n";
    std::string contents = head +
                           "<OBJECT type=\"text/site properties\">\n<param name=\"Window Styles\" "
                           "value=\"0x800025\">\n</OBJECT>\n<UL>\n";
    AppendSitemapEntry(contents, title, L"index.html");
    for (const Page& page : m_pages)
        AppendSitemapEntry(contents, page.title.empty() ? page.file : page.title, page.file);
    contents += "</UL>\n</BODY>\n</HTML>\n";

    std::string index = head + "<UL>\n";
    AppendSitemapEntry(index, title, L"index.html");
    for (const Page& page : m_pages)
        if (!page.title.empty()) AppendSitemapEntry(index, page.title, page.file);
    index += "</UL>\n</BODY>\n</HTML>\n";

    return WriteWhole(folder + "/" + base + ".hhp", project) &&
           WriteWhole(folder + "/" + base + ".hhc", contents) &&
           WriteWhole(folder + "/" + base + ".hhk", index);
}

bool ChmReport::WaitForCompiler(pid_t pid, int& status) const {
    constexpr auto kPoll = std::chrono::milliseconds(20);
    for (;;) {
        // Without a stop flag nothing needs a look in between: one blocking wait.
        const pid_t done = ::waitpid(pid, &status, m_setup.stop ? WNOHANG : 0);
        if (done == pid) return true;
        if (done < 0 && errno != EINTR) return true;
        if (done == 0 && m_setup.stop->load(std::memory_order_relaxed)) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        if (done == 0) std::this_thread::sleep_for(kPoll);
    }
}

int ChmReport::Compile(const std::string& folder, const std::string& base) {
    const std::string compiler = FindExecutable(g_compiler);
    if (compiler.empty())
        return Fail(RE_WRITE, L"The CHM compiler '" + tw::Utf8ToWide(g_compiler) +
                                  L"' was not found; install the package fp-utils to write CHM reports.");
    const std::string logPath = m_ownFolder + "/chmcmd.log";
    const std::string output = folder + "/" + base + ".chm";
    std::error_code error;
    std::filesystem::remove(output, error);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::string project = base + ".hhp";
    std::string noScan = "--no-html-scan";
    char* argv[] = {const_cast<char*>(compiler.c_str()), noScan.data(), project.data(), nullptr};
    pid_t pid = 0;
    const int spawnError = ::posix_spawn(&pid, compiler.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0)
        return Fail(RE_WRITE,
                    L"Could not start the CHM compiler: " + tw::Utf8ToWide(std::strerror(spawnError)));
    int status = 0;
    if (!WaitForCompiler(pid, status)) return Fail(RE_WRITE, L"The CHM compile was stopped.");
    const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!exited || !std::filesystem::exists(output, error))
        return Fail(RE_WRITE, L"The CHM compiler failed:\n" + tw::Utf8ToWide(ReadWhole(logPath)));
    const int compiled = ::open(output.c_str(), O_RDONLY | O_CLOEXEC);
    if (compiled < 0)
        return Fail(RE_WRITE, L"Could not read the compiled CHM file: " + tw::Utf8ToWide(std::strerror(errno)));
    char chunk[65536];
    ssize_t got = 0;
    while ((got = ::read(compiled, chunk, sizeof chunk)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        m_report.Write(std::string_view(chunk, static_cast<size_t>(got)));
    }
    const int readError = got < 0 ? errno : 0;
    ::close(compiled);
    std::filesystem::remove(output, error);
    if (readError != 0)
        return Fail(RE_WRITE, L"Could not read the compiled CHM file: " + tw::Utf8ToWide(std::strerror(readError)));
    if (!m_report.Close()) return Fail(RE_WRITE, m_report.ErrorText());
    return RE_OK;
}
