#include "window_program.h"

#include <unistd.h>

#include <QApplication>
#include <QTimer>

#include "main_frame.h"
#include "qt_host.h"
#include "screenshot_tour.h"

namespace {

// Settings that must be in place before the application object exists.
int& PrepareApplication(int& argc) {
    // Chromium refuses to start as root with its sandbox; root happens in containers and CI, nowhere else.
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationName(QStringLiteral("Tablewright"));
    return argc;
}

}  // namespace

struct WindowProgram::Impl {
    Impl(int& argc, char** argv) : application(PrepareApplication(argc), argv) {}
    QApplication application;
    QtHost host;
};

bool WindowProgram::DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

WindowProgram::WindowProgram(int& argc, char** argv) : m_impl(std::make_unique<Impl>(argc, argv)) {}

WindowProgram::~WindowProgram() = default;

int WindowProgram::Exec(const WindowStartOptions& options) {
    QApplication::setApplicationDisplayName(CMainFrame::AppTitle());
    auto frame = std::make_unique<CMainFrame>();
    frame->Start(options.projects, options.run, options.quit);
    frame->show();
    ScreenshotTour::StartIfAsked(*frame);
    const int status = QApplication::exec();
    frame.reset();
    return status;
}
