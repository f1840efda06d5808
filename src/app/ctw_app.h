#pragma once
// The application: start-up, the command line and console mode.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "ex_report.h"

class CtwDoc;

class CtwApp {
  public:
    // Runs one report and says what happened: the console loop calls this for each project (the report engine
    // by default).
    using Runner = std::function<RunOutcome(CtwDoc& project, const std::wstring& file)>;

    CtwApp();

    // The whole process: settings, command line, then console mode or the window. Returns the exit status.
    int Run(int argc, char** argv);
    // One command-line argument: a switch (-c, -r, -q, -sFILE, -oFILE, -vFILE) or a project file.
    void ParseArgument(const std::wstring& argument);
    // Console mode: every listed project loaded, overridden and run in turn. 0 when every one produced its
    // report, 1 otherwise (also for an empty list or a named project that is missing); 130 or 143 when SIGINT
    // or SIGTERM stopped the run, and the projects after it are not run.
    int ConsoleRun(std::ostream& out);

    // The first line of the console banner and the line after it.
    static std::wstring Banner();
    // The text of --help.
    static std::string Usage();

    // Start-up state, filled while the command line is read.
    std::vector<std::wstring> m_projectList;
    // A project was named on the command line (then ProjList is never used), and one of them was missing.
    bool m_projectNamed = false;
    bool m_projectMissing = false;
    bool m_console = false;
    bool m_run = false;
    bool m_quit = false;
    bool m_sourceGiven = false;
    std::wstring m_sourceFile;
    bool m_outputGiven = false;
    std::wstring m_outputFile;
    std::wstring m_valuesFile;

    Runner m_runner;

  private:
    bool ApplyOverrides(CtwDoc& project) const;
    // Loads, checks and runs one listed project; Failed also when it could not be loaded or checked.
    RunOutcome::State RunOne(CtwDoc& project, const std::wstring& path);
};

// A path given on the command line, made absolute against the current directory.
std::wstring CommandLinePath(const std::wstring& path);
