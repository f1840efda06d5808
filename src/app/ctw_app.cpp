#include "ctw_app.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "ctw_doc.h"
#include "ex_report.h"
#include "host.h"
#include "log.h"
#include "settings.h"
#include "stop_signals.h"
#include "text.h"
#include "window_start.h"

namespace {

// Console mode: message boxes are one line on standard error (the plain host), kept in the log as well, and
// nothing is ever opened.
class ConsoleHost : public IHost {
  public:
    bool IsConsoleMode() const override { return true; }
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon) override {
        IHost::MessageBox(text, caption, icon);
        CLog::Shown(std::wstring(caption) + L": " + std::wstring(text));
    }
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

// Whether a parameters file can be read; the reason when not. Opened without waiting, so that a FIFO (a
// process substitution) is accepted and left unread for the run.
bool CanReadFile(const std::wstring& path, std::wstring& reason) {
    const int fd = ::open(tw::ToPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = tw::Utf8ToWide(std::strerror(errno));
        return false;
    }
    struct stat info {};
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    ::close(fd);
    if (folder) reason = L"it is a folder";
    return !folder;
}

// The default runner: the report engine, whose outcome is what the console reports.
RunOutcome EngineRun(CtwDoc& project, const std::wstring& file) {
    const bool written = Engine().RunAndOpen(project, file, 0);
    RunOutcome outcome = Engine().LastOutcome();
    if (!written && outcome.state == RunOutcome::State::Finished) outcome.state = RunOutcome::State::Failed;
    return outcome;
}

}  // namespace

std::wstring CommandLinePath(const std::wstring& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(tw::ToPath(path), error);
    if (error) return path;
    return tw::FromPath(absolute.lexically_normal());
}

CtwApp::CtwApp() : m_runner(EngineRun) {}

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
    m_projectNamed = true;
    if (Exists(path)) {
        m_projectList.push_back(CommandLinePath(path));
    } else {
        CLog::Bug2(L"File '%ls' does not exist or inaccessible.", path.c_str());
        m_projectMissing = true;
    }
}

bool CtwApp::ApplyOverrides(CtwDoc& project) const {
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
        // A run with the project's own values would publish a report for the wrong day: better none.
        std::wstring reason;
        if (!CanReadFile(m_valuesFile, reason)) {
            CLog::Bug2(L"Could not access or open parameters file '%ls' (%ls); project '%ls' is not run.",
                       m_valuesFile.c_str(), reason.c_str(), project.PathName().c_str());
            return false;
        }
        if (project.Values.empty() || !SamePath(project.ResolvePath(project.Values), m_valuesFile)) {
            project.SetValuesFile(m_valuesFile);
        }
    }
    return true;
}

RunOutcome::State CtwApp::RunOne(CtwDoc& project, const std::wstring& path) {
    if (!Exists(path)) {
        CLog::Bug2(L"Could not access or access project file '%ls' ", path.c_str());
        return RunOutcome::State::Failed;
    }
    // A project without a connection of its own must not run on the one of the project before it.
    project.SetConnection(nullptr);
    if (!project.Load(path)) {
        // Load has logged the details; this line says what console mode does about them.
        if (project.LoadProblems().empty())
            CLog::Bug2(L"Console mode: '%ls' is not a project file (%ls); it is not run.", path.c_str(),
                       project.LoadError().c_str());
        else
            CLog::Bug2(L"Console mode: '%ls' has values that cannot be used; it is not run.", path.c_str());
        return RunOutcome::State::Failed;
    }
    if (!ApplyOverrides(project)) return RunOutcome::State::Failed;
    if (m_valuesFile.empty() && !project.Values.empty()) {
        // Without its values the script would run with the parameter names left in it.
        const std::wstring values = project.ResolvePath(project.Values);
        std::wstring reason;
        if (!CanReadFile(values, reason)) {
            CLog::Bug2(L"Could not access or open parameters file '%ls' (%ls); project '%ls' is not run.",
                       values.c_str(), reason.c_str(), path.c_str());
            return RunOutcome::State::Failed;
        }
    }
    CLog::Info2(L"Execute in console mode project '%ls'", path.c_str());
    const CDB* db = project.Connection();
    if (db == nullptr || !db->IsConnected()) {
        // The report gets its paragraph; the driver's reason is for whoever reads standard error.
        const std::wstring reason = db && !db->m_LastError.empty() ? db->m_LastError
                                                                   : std::wstring(L"the project names no database");
        CLog::Bug2(L"Could not connect to the database of project '%ls': %ls", path.c_str(), reason.c_str());
    }
    const RunOutcome outcome = m_runner(project, project.ReportFile);
    for (const std::wstring& error : outcome.reportErrors)
        CLog::Bug2(L"Project '%ls': %ls", path.c_str(), error.c_str());
    return outcome.state;
}

int CtwApp::ConsoleRun(std::ostream& out) {
    out << tw::WideToUtf8(Banner()) << std::flush;

    std::vector<std::wstring> list;
    for (const std::wstring& path : m_projectList) {
        if (!path.empty()) list.push_back(path);
    }
    if (!list.empty()) {
        Settings().setArr(L"ProjList", list);  // in memory only: console mode never writes the settings
    } else if (!m_projectNamed) {
        list = Settings().getArr(L"ProjList");
    }
    if (list.empty()) {
        // Projects named but none found were reported one by one already.
        if (!m_projectMissing) CLog::Bug(L"Console mode: empty list of the projects to run.");
        return 1;
    }

    const StopSignals signals([] { Engine().RequestStop(); });
    CtwDoc project;
    int status = m_projectMissing ? 1 : 0;
    for (const std::wstring& listed : list) {
        const RunOutcome::State state = RunOne(project, CommandLinePath(listed));
        if (state != RunOutcome::State::Finished) status = 1;
        if (signals.Received() != 0) {
            // A signal that came after the run had finished has still asked not to run the rest.
            CLog::Bug2(L"Console mode: stopped by %ls during or after project '%ls'; no further project is run.",
                       signals.Received() == SIGINT ? L"SIGINT" : L"SIGTERM", listed.c_str());
            status = StopSignals::ExitStatus(signals.Received());
            break;
        }
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
           "  -c        console mode: run every project named (or, when no project is named at all, the\n"
           "            projects of the setting ProjList) one after another, without a window\n"
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
           "A project whose parameters file (-vFILE or its own) cannot be read is not run.\n"
           "\n"
           "Exit status: 0 when every listed project produced its report without an error, 1 otherwise\n"
           "(also when no project was listed, a named project is missing or not a project, or a parameters\n"
           "file cannot be read); 130 or 143 when SIGINT or SIGTERM stopped the run: the report being\n"
           "written is left as it was and no further project is run. A second signal ends the program at once.\n"
           "\n"
           "Standard output carries the banner. Standard error carries warnings and errors; what is being\n"
           "run, the time it took and a progress line only when standard error is a terminal.\n"
           "\n"
           "Settings: " +
           _Settings::FilePath() + "\nLog:      " + CLog::FilePath() +
           " (every entry; private to the user; the older part is kept as tablewright.log.1)\n";
}

int CtwApp::Run(int argc, char** argv) {
    bool console = false;
    for (int i = 1; i < argc; ++i) console = console || IsConsoleSwitch(argv[i]);
    // Warnings and errors always reach standard error, from the settings file's onwards; what is being done
    // only when a person watches it.
    // That there is no settings file yet is normal for console use, and no news even on a terminal.
    CLog::SetEcho(true, false);
    Settings();  // declares every setting and reads the settings file once
    CLog::SetEcho(true, console && ::isatty(STDERR_FILENO) == 1);
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
    }

    ConsoleHost consoleHost;
    std::unique_ptr<WindowStart> window;
    if (console) {
        SetHost(&consoleHost);
    } else {
        window = std::make_unique<WindowStart>(argc, argv);
    }
    for (int i = 1; i < argc; ++i) ParseArgument(tw::Utf8ToWide(argv[i]));

    if (!m_console) return window->Run(*this);
    const int status = ConsoleRun(std::cout);
    SetHost(nullptr);
    return status;
}
