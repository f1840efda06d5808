#pragma once
// The interactive start: the window program when this build has one, else a message that it has not.

#include <memory>

class CtwApp;

class WindowStart {
  public:
    // Creates the window's application object and host before the command line is read, so that the
    // warnings of its switches appear as message boxes.
    WindowStart(int& argc, char** argv);
    ~WindowStart();
    WindowStart(const WindowStart&) = delete;
    WindowStart& operator=(const WindowStart&) = delete;

    // Opens the main window with the projects of the command line (or ProjList) and runs it to its end.
    // Returns the exit status.
    int Run(const CtwApp& app);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
