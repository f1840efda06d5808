#include "window_start.h"

#include <iostream>

#include "ctw_app.h"

#ifdef TW_HAVE_UI
#include "window_program.h"

struct WindowStart::Impl {
    Impl(int& argc, char** argv) : program(argc, argv) {}
    WindowProgram program;
};

WindowStart::WindowStart(int& argc, char** argv) : m_impl(std::make_unique<Impl>(argc, argv)) {}

int WindowStart::Run(const CtwApp& app) {
    WindowStartOptions options;
    options.projects = app.m_projectList;
    options.run = app.m_run;
    options.quit = app.m_quit;
    return m_impl->program.Exec(options);
}
#else
struct WindowStart::Impl {};

WindowStart::WindowStart(int&, char**) {}

int WindowStart::Run(const CtwApp&) {
    std::cerr << "tablewright: the window is not available in this build; use -c to run projects in console "
                 "mode (see --help).\n";
    return 1;
}
#endif

WindowStart::~WindowStart() = default;
