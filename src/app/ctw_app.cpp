#include "ctw_app.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "ctw_doc.h"
#include "ex_report.h"
#include "host.h"
#include "log.h"
#include "settings.h"
#include "text.h"
#include "window_start.h"

namespace {

// Console mode: message boxes are one line on standard error (the plain host) and nothing is ever opened.
class ConsoleHost : public IHost {
  public:
    bool IsConsoleMode() const override { return true; }
    void OpenFile(const std::wstring&) override {}
};

// The file part of a switch, or a project argument, without the double quotes at its two ends.
std::wstring StripQuotes(std::wstring_view text) {
    while (!text.empty() && text.front() == L'"') text.remove_prefix(1);
    while (!text.empty() && text.back() == L'"') text.remove_suffix(1);
    return std::wstring(text);
}

bool Exists(const std::wstring& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(tw::ToPath(path), error);
}

// Whether two paths name the same file (also when it does not exist yet).
bool SamePath(const std::wstring& a, const std::wstring& b) {
    std::error_code error;
    if (std::filesystem::equivalent(tw::ToPath(a), tw::ToPath(b), error)) return true;
    return tw::ToPath(a).lexically_normal() == tw::ToPath(b).lexically_normal();
}

void Warn(const wchar_t* text, const wchar_t* caption = L"Warning!") {
    Host().MessageBox(text, caption, MessageIcon::Information);
}

bool IsConsoleSwitch(std::string_view argument) {
    return argument.size() > 1 && argument.substr(0, 2) == "-c";
}

}  // namespace

std::wstring CommandLinePath(const std::wstring& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(tw::ToPath(path), error);
    if (error) return path;
    return tw::FromPath(absolute.lexically_normal());
}

CtwApp::CtwApp()
    : m_runner(
          [](CtwDoc& project, const std::wstring& file) { return Engine().RunAndOpen(project, file, 0); }) {}

void CtwApp::ParseArgument(const std::wstring& argument) {
    // Only "-" starts a switch: on this system "/" starts every absolute path.
    if (argument.size() > 1 && argument[0] == L'-') {
        // The file part is missing only when nothing is glued to the switch; "-o\"\"" names an empty file,
        // which then cannot be accessed.
        const bool noFilePart = argument.size() == 2;
        const std::wstring file = CommandLinePath(StripQuotes(std::wstring_view(argument).substr(2)));
        switch (argument[1]) {
            case L'c':
                m_console = m_run = m_quit = true;
                break;
            case L'r':
                m_run = true;
                break;
            case L'q':
                m_quit = true;
                break;
            case L's':
                if (noFilePart) {
                    Warn(L"-s switch without file was specified.", L"Tablewright");
                    break;
                }
                m_sourceGiven = true;
                m_sourceFile = file;
                if (!Exists(file)) Warn(L"Could not access specified source file.");
                break;
            case L'o':
                if (noFilePart) {
                    Warn(L"-o switch without file was specified.");
                    break;
                }
                m_outputGiven = true;
                m_outputFile = file;
                if (!Exists(file)) Warn(L"Could not access specified output file.");
                break;
            case L'v':
                if (noFilePart) {
                    Warn(L"-v switch without file was specified.");
                    break;
                }
                m_valuesFile = file;
                if (!Exists(file)) Warn(L"Could not access specified value file.");
                break;
            default:
                break;  // other letters and upper-case switches are ignored without a message
        }
        return;
    }
    const std::wstring path = StripQuotes(argument);
    if (Exists(path)) {
        m_projectList.push_back(CommandLinePath(path));
    } else {
        CLog::Bug2(L"File '%ls' does not exist or inaccessible.", path.c_str());
    }
}

void CtwApp::ApplyOverrides(CtwDoc& project) const {
    if (m_sourceGiven) {
        if (project.FromFile != 1) {
            project.FromFile = 1;
            project.SetModified(true);
        }
        project.SetQueryFile(m_sourceFile);
    }
    if (m_outputGiven && project.ReportFile != m_outputFile) {
        project.ReportFile = m_outputFile;
        project.SetModified(true);
    }
    if (!m_valuesFile.empty()) {
        if (!Exists(m_valuesFile)) {
            CLog::Bug2(L"Could not access or open parameters file '%ls'", m_valuesFile.c_str());
        } else if (project.Values.empty() || !SamePath(project.ResolvePath(project.Values), m_valuesFile)) {
            project.SetValuesFile(m_valuesFile);
        }
    }
}

int CtwApp::ConsoleRun(std::ostream& out) {
    out << tw::WideToUtf8(Banner()) << std::flush;

    std::vector<std::wstring> list;
    for (const std::wstring& path : m_projectList) {
        if (!path.empty()) list.push_back(path);
    }
    if (!list.empty()) {
        Settings().setArr(L"ProjList", list);  // in memory only: console mode never writes the settings
    } else {
        list = Settings().getArr(L"ProjList");
    }
    if (list.empty()) {
        CLog::Bug(L"Console mode: empty list of the projects to run.");
        return 1;
    }

    CtwDoc project;
    int status = 0;
    for (const std::wstring& listed : list) {
        const std::wstring path = CommandLinePath(listed);
        // A project without a connection of its own must not run on the one of the project before it.
        project.SetConnection(nullptr);
        const bool loaded = project.Load(path);
        ApplyOverrides(project);
        if (!Exists(path)) {
            CLog::Bug2(L"Could not access or access project file '%ls' ", path.c_str());
            status = 1;
            continue;
        }
        if (!loaded) {
            CLog::Bug2(L"Console mode: '%ls' is not a project file (%ls); it is not run.", path.c_str(),
                       project.LoadError().c_str());
            status = 1;
            continue;
        }
        CLog::Bug2(L"Execute in console mode project '%ls'", path.c_str());
        if (!m_runner(project, project.ReportFile)) status = 1;
    }
    project.SetConnection(nullptr);
    return status;
}

std::wstring CtwApp::Banner() {
    return L"Tablewright by Velmor: SQL query results as documents\n Velmor Tablewright (console mode) " +
           CLog::VersionStr(0) + L"\n\n";
}

std::string CtwApp::Usage() {
    return "Usage: tablewright -c [PROJECT.twp ...] [-sFILE] [-oFILE] [-vFILE]\n"
           "       tablewright --help | --version\n"
           "\n"
           "Runs Tablewright projects and writes their reports.\n"
           "\n"
           "  -c        console mode: run every project named (or, with none named, the projects of the\n"
           "            setting ProjList) one after another, without a window\n"
           "  -sFILE    take the SQL script from FILE instead of the project's own script\n"
           "  -oFILE    write the report to FILE instead of the project's ReportFile\n"
           "  -vFILE    take parameter values from FILE instead of the project's parameters file\n"
           "  -r        run each project as soon as its window opens (window mode)\n"
           "  -q        close the program after such a run (window mode)\n"
           "  --help    print this text\n"
           "  --version print the version\n"
           "\n"
           "A switch's FILE is glued to it (-sreport.sql, -s\"my script.sql\"). Paths on the command line "
           "count\n"
           "from the current directory; paths inside a project count from the project file's folder.\n"
           "Overrides are never saved into the project files. Upper-case and unknown switches are ignored.\n"
           "\n"
           "Exit status: 0 when every listed project produced its report without an error, 1 otherwise\n"
           "(also when no project was listed).\n"
           "\n"
           "Settings: " +
           _Settings::FilePath() + "\nLog:      " + CLog::FilePath() +
           " (in console mode every entry also goes to standard error)\n";
}

int CtwApp::Run(int argc, char** argv) {
    Settings();  // declares every setting and reads the settings file once
    bool console = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help") {
            std::cout << Usage();
            return 0;
        }
        if (argument == "--version") {
            std::cout << "Tablewright " << tw::WideToUtf8(CLog::VersionStr(0)) << '\n';
            return 0;
        }
        console = console || IsConsoleSwitch(argument);
    }

    ConsoleHost consoleHost;
    std::unique_ptr<WindowStart> window;
    if (console) {
        SetHost(&consoleHost);
        CLog::SetEcho(true);
    } else {
        window = std::make_unique<WindowStart>(argc, argv);
    }
    for (int i = 1; i < argc; ++i) ParseArgument(tw::Utf8ToWide(argv[i]));

    if (!m_console) return window->Run(*this);
    const int status = ConsoleRun(std::cout);
    SetHost(nullptr);
    return status;
}
