#pragma once
// The application: start-up, the command line and console mode.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class CtwDoc;

class CtwApp {
  public:
    // Runs one report: the console loop calls this for each project (the report engine by default).
    using Runner = std::function<bool(CtwDoc& project, const std::wstring& file)>;

    CtwApp();

    // The whole process: settings, command line, then console mode or the window. Returns the exit status.
    int Run(int argc, char** argv);
    // One command-line argument: a switch (-c, -r, -q, -sFILE, -oFILE, -vFILE) or a project file.
    void ParseArgument(const std::wstring& argument);
    // Console mode: every listed project loaded, overridden and run in turn. 0 when every one produced its
    // report, 1 otherwise (also for an empty list).
    int ConsoleRun(std::ostream& out);

    // The first line of the console banner and the line after it.
    static std::wstring Banner();
    // The text of --help.
    static std::string Usage();

    // Start-up state, filled while the command line is read.
    std::vector<std::wstring> m_projectList;
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
    void ApplyOverrides(CtwDoc& project) const;
};

// A path given on the command line, made absolute against the current directory.
std::wstring CommandLinePath(const std::wstring& path);
