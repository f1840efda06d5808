#include "window_start.h"

#include <iostream>
#include <optional>

#include "ctw_app.h"

#ifdef TW_HAVE_UI
#include "window_program.h"

struct WindowStart::Impl {
    std::optional<WindowProgram> program;
};

WindowStart::WindowStart(int& argc, char** argv) : m_impl(std::make_unique<Impl>()) {
    // Without a display the toolkit would abort; the program says what to do instead.
    if (WindowProgram::DisplayAvailable()) m_impl->program.emplace(argc, argv);
}

int WindowStart::Run(const CtwApp& app) {
    if (!m_impl->program) {
        std::cerr << "tablewright: there is no display to open the window on (DISPLAY is not set); use -c to run "
                     "projects in console mode (see --help).\n";
        return 1;
    }
    WindowStartOptions options;
    options.projects = app.m_projectList;
    options.run = app.m_run;
    options.quit = app.m_quit;
    return m_impl->program->Exec(options);
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
