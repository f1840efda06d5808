#pragma once
// The upper pane of a project window: the connection line and the nine page tabs; Run, Connect, SQL Console.

#include <QWidget>
#include <array>
#include <functional>

class CtwDoc;
class ProjectPage;
class QLineEdit;
class QTabWidget;
class QToolButton;

class CProjectView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPageCount = 9;
    // Makes the page of a tab index; the placeholder pages until the real ones exist (tests install stand-ins).
    using PageFactory = std::function<ProjectPage*(int index, CProjectView* view)>;
    static void SetPageFactory(PageFactory factory);

    // Tab labels and help topics, by page index.
    static QString TabLabel(int index);
    static QString HelpTopic(int index);

    CProjectView(CtwDoc* project, QWidget* parent = nullptr);
    ~CProjectView() override;

    CtwDoc* Project() const { return m_project; }
    int CurrentPage() const { return m_currentPage; }
    ProjectPage* Page(int index) const;
    QTabWidget* Tabs() const { return m_tabs; }
    QString ConnectionText() const;

    // Refreshes the connection text and has every page load its values.
    void ProjectChanged();
    // Writes the current page's values into the project (before Save and Run); nothing while it runs.
    void StoreCurrentPage();
    // False while the project runs: its pages are read-only and store nothing.
    bool CanStore() const { return !m_running; }
    // The project's run started or ended: pages read-only and the project commands waiting meanwhile.
    void SetRunning(bool running);
    bool IsRunning() const { return m_running; }
    // A page runs a statement on the project's connection (loading column names): runs wait until it ends.
    void SetConnectionInUse(bool inUse) {
        m_connectionInUse = inUse;
        emit connectionInUseChanged(inUse);
    }
    bool ConnectionInUse() const { return m_connectionInUse; }
    // The project's database is being connected: Run, Connect and SQL Console wait.
    void SetConnecting(bool connecting);
    bool IsConnecting() const { return m_connecting; }

    // Runs the project into its ReportFile on the worker thread.
    void Run();
    void Connect();
    void SqlConsole();
    // Shows the help topic of the current page.
    void ShowHelp();

  signals:
    // A run started from this view has returned.
    void runReturned(bool succeeded);
    // A setter changed a field of the project (a ProjectField); pages showing it refresh.
    void projectFieldChanged(int field);
    // A page started or ended a statement on the connection (the preview waits meanwhile).
    void connectionInUseChanged(bool inUse);

  private:
    void OnTabChanged(int index);
    void RefreshConnectionText();
    // True (with the status-bar message) when the project cannot take a command now.
    bool Busy();

    CtwDoc* m_project;
    int m_currentPage = 0;
    bool m_running = false;
    bool m_connecting = false;
    bool m_connectionInUse = false;
    QLineEdit* m_connectionText = nullptr;
    QToolButton* m_connectButton = nullptr;
    QTabWidget* m_tabs = nullptr;
    std::array<ProjectPage*, kPageCount> m_pages{};
};
