#pragma once
// The window program: the Qt application, its host and the main frame. The one entry that the rest of the
// program uses; free of Qt so that src/app does not include it.

#include <memory>
#include <string>
#include <vector>

struct WindowStartOptions {
    std::vector<std::wstring> projects;  // project files of the command line that exist
    bool run = false;                    // -r: every project window runs its project once it is built
    bool quit = false;                   // -q: the program closes after such a run
};

class WindowProgram {
  public:
    // Whether a display (X11, Wayland or a platform named by QT_QPA_PLATFORM) is there to show the window.
    static bool DisplayAvailable();
    // Creates the application object and installs the window's host.
    WindowProgram(int& argc, char** argv);
    ~WindowProgram();
    WindowProgram(const WindowProgram&) = delete;
    WindowProgram& operator=(const WindowProgram&) = delete;

    // Opens the main frame with the projects and runs the event loop; the exit status.
    int Exec(const WindowStartOptions& options);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
