#include "ui_fixture.h"

#include <QSettings>

#include "html_preview.h"

RecordingHost& TestHost() {
    static RecordingHost* host = new RecordingHost;  // lives as long as the application
    return *host;
}

void WindowTest::SetUp() {
    Settings().ResetToDefaults();
    QSettings().clear();
    TestHost().boxes.clear();
    TestHost().opened.clear();
    TestHost().questions.clear();
    TestHost().answer = QMessageBox::No;
    CProjectView::SetPageFactory([this](int index, CProjectView* view) -> ProjectPage* {
        return new StandInPage(view, index, m_pageLog);
    });
    m_folder.Write("data.sqlite", "");
    m_frame = std::make_unique<CMainFrame>();
}

void WindowTest::TearDown() {
    Settle();
    TestHost().answer = QMessageBox::No;
    if (m_frame) {
        // Nothing is saved on the way out of a test.
        for (CChildFrame* child : m_frame->Children()) child->Project().SetModified(false);
        m_frame->close();
        m_frame.reset();
    }
    Settle();
    Settings().ResetToDefaults();
}

void WindowTest::Settle() {
    for (int round = 0; round < 3; ++round) {
        RunController::Instance().WaitForEnd();
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

std::wstring WindowTest::WriteProject(const std::string& name, const std::string& script,
                                      const std::string& reportFile, int open) {
    std::string text = "[Query]\nText = '''" + script + "'''\n[Target]\nReportFile = '" + reportFile +
                       "'\nOpen = " + std::to_string(open) +
                       "\n[Connection]\nType = 'sqlite'\nConnection = 'data.sqlite'\n";
    return std::filesystem::path(m_folder.Write(name, text)).wstring();
}

CChildFrame* WindowTest::Open(const std::string& name, const std::string& script, const std::string& reportFile,
                              int open) {
    CChildFrame* child = m_frame->OpenProject(QString::fromStdWString(WriteProject(name, script, reportFile, open)));
    if (child != nullptr) WaitFor([child] { return !child->IsConnecting(); });
    return child;
}

StandInPage* WindowTest::Page(CChildFrame* child, int index) const {
    return static_cast<StandInPage*>(child->View()->Page(index));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, the window profile and the log live in a folder of the test run's own.
    TestFolder home;
    ::setenv("XDG_STATE_HOME", (home.Path() / "state").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.Path() / "config").c_str(), 1);
    QCoreApplication::setOrganizationName(QStringLiteral("VelmorTest"));
    QCoreApplication::setApplicationName(QStringLiteral("TablewrightTest"));
    QApplication application(argc, argv);
    CHtmlPreview::SetUseWebEngine(false);
    TestHost();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
