#pragma once
// The main window: menus, toolbar, status bar and the tabbed area of project windows.

#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QMdiSubWindow>
#include <QStringList>
#include <map>
#include <vector>

class CChildFrame;
class CtwDoc;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPushButton;
class QToolButton;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    static QString AppTitle() { return QStringLiteral("Velmor Tablewright"); }

    CMainFrame();
    ~CMainFrame() override;

    // The start of the interactive program: the projects of the command line or of ProjList, or a new one.
    // run and quit are the -r and -q switches. Returns the number of project windows opened.
    int Start(const std::vector<std::wstring>& projects, bool run, bool quit);

    // Opens a project file in its own window (the open one is activated); null when it cannot be read (the
    // reason is shown).
    CChildFrame* OpenProject(const QString& path);
    // A new, untitled project.
    CChildFrame* NewProject();

    // The active project window; null when none is active.
    CChildFrame* ActiveChild() const;
    // Every project window in the order the projects were opened.
    std::vector<CChildFrame*> Children() const;
    QMdiArea* MdiArea() const { return m_mdi; }

    // The commands, as the menu, toolbar and keyboard reach them.
    void Save();
    void SaveAll();
    void Run();
    // CanInsertMacro for the field that has (or last had) the keyboard focus.
    bool CanInsertMacro(bool fileFieldsAllowed) const;
    // The command's action (by the command numbers of the menus); null for an unknown number.
    QAction* Action(int command) const;
    QToolButton* MacroButton() const { return m_macroButton; }
    QPushButton* StopButton() const { return m_stopButton; }
    // The text of the message pane (a temporary message, or the idle text).
    QString StatusText() const;
    // Updates which commands are enabled (also run before every menu shows).
    void UpdateActions();
    int Look() const { return m_look; }
    void SetLook(int look);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* AddAction(int command, const QString& text, const QString& prompt,
                       const QList<QKeySequence>& shortcuts = {}, const QString& tooltip = {});
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void RebuildRecentMenu();
    void ShowOpenDialog();
    void OnFocusChanged(QWidget* old, QWidget* now);
    void OnSubWindowActivated(QMdiSubWindow* window);
    void UpdateTitle();
    void InsertMacroCommand(int command);
    void OnHostStatus(const QString& text);
    void OnRunStarted();
    void OnRunFinished(bool succeeded);
    void OnRunReturned();
    void RunNextStartupRun();
    void StoreProjectList();
    void ShowHelp();
    void ViewLog();
    void TruncateLog();
    void About();
    CChildFrame* AddChild(std::unique_ptr<CtwDoc> project);

    QMdiArea* m_mdi = nullptr;
    std::map<int, QAction*> m_actions;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_macroMenu = nullptr;
    QToolButton* m_macroButton = nullptr;
    QLabel* m_idle = nullptr;
    QPushButton* m_stopButton = nullptr;
    QAction* m_escape = nullptr;
    QPointer<QWidget> m_lastFocus;
    QPointer<QMdiSubWindow> m_lastActive;
    int m_look = 215;
    int m_untitledCount = 0;
    bool m_quitAfterRun = false;
    std::vector<QPointer<CChildFrame>> m_startupRuns;
};
