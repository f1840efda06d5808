#include "main_frame.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "child_frame.h"
#include "ctw_doc.h"
#include "help.h"
#include "html_preview.h"
#include "icons.h"
#include "log.h"
#include "macro_menu.h"
#include "not_built.h"
#include "project_view.h"
#include "qt_host.h"
#include "recent_files.h"
#include "run_controller.h"
#include "settings.h"
#include "themes.h"

namespace {

// Command numbers of the menus, toolbar and shortcuts.
enum Command {
    kNew = 57600, kOpen = 57601, kClose = 57602, kSave = 57603, kSaveAs = 57604, kRecent = 57616, kAbout = 57664,
    kExit = 57665, kCopy = 57634, kCut = 57635, kPaste = 57637, kUndo = 57643, kSaveAll = 32796, kRun = 1179,
    kConnect = 1009, kSqlConsole = 32812, kViewLog = 2771, kTruncateLog = 2772, kSettings = 2773,
    kHelpIndex = 32807, kMacroButton = 223,
};

const char* const kIdleText = "Ready";

// The project view or preview that holds widget, if any.
template <class Pane>
Pane* EnclosingPane(QWidget* widget) {
    for (QWidget* at = widget; at != nullptr; at = at->parentWidget()) {
        if (auto* pane = qobject_cast<Pane*>(at)) return pane;
    }
    return nullptr;
}

}  // namespace

CMainFrame::CMainFrame() {
    setWindowTitle(AppTitle());
    setWindowIcon(AppIcon());
    setAcceptDrops(true);
    m_mdi = new QMdiArea(this);
    m_mdi->setViewMode(QMdiArea::TabbedView);
    m_mdi->setTabsClosable(true);
    m_mdi->setTabsMovable(true);
    m_mdi->setDocumentMode(true);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    m_look = ApplyLook(StoredLook());
    Action(m_look)->setChecked(true);

    connect(qApp, &QApplication::focusChanged, this, &CMainFrame::OnFocusChanged);
    RunController& controller = RunController::Instance();
    connect(&controller, &RunController::runStarted, this, &CMainFrame::OnRunStarted);
    connect(&controller, &RunController::runFinished, this,
            [this](CtwDoc*, RunController::Kind, bool succeeded) { OnRunFinished(succeeded); });
    connect(&controller, &RunController::busy, this, [this](const QString& text) { statusBar()->showMessage(text, 5000); });
    if (QtHost* host = QtHost::Instance()) {
        host->SetMainWindow(this);
        connect(host, &QtHost::statusText, this, &CMainFrame::OnHostStatus);
    }
    resize(1100, 800);
    UpdateActions();
}

CMainFrame::~CMainFrame() {
    if (QtHost* host = QtHost::Instance(); host && host->MainWindow() == this) host->SetMainWindow(nullptr);
}

QAction* CMainFrame::AddAction(int command, const QString& text, const QString& prompt,
                               const QList<QKeySequence>& shortcuts, const QString& tooltip) {
    auto* action = new QAction(text, this);
    action->setStatusTip(prompt);
    if (!shortcuts.isEmpty()) action->setShortcuts(shortcuts);
    if (!tooltip.isEmpty()) action->setToolTip(tooltip);
    addAction(action);  // shortcuts work while the toolbar or menu is hidden
    m_actions[command] = action;
    return action;
}

QAction* CMainFrame::Action(int command) const {
    const auto found = m_actions.find(command);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::BuildMenus() {
    QStyle* style = QApplication::style();
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(AddAction(kNew, tr("&New"), tr("Create a new document"), {QKeySequence(Qt::CTRL | Qt::Key_N)}));
    file->addAction(
        AddAction(kOpen, tr("&Open..."), tr("Open an existing document"), {QKeySequence(Qt::CTRL | Qt::Key_O)}));
    file->addSeparator();
    file->addAction(AddAction(kSave, tr("Save"), tr("Save the active document"), {QKeySequence(Qt::CTRL | Qt::Key_S)}));
    file->addAction(AddAction(kSaveAll, tr("Save All"), tr("Save all projects to the disk"), {}, tr("Save All")));
    file->addAction(AddAction(kSaveAs, tr("Save Project as..."), tr("Save the active document with a new name")));
    file->addSeparator();
    file->addAction(AddAction(kClose, tr("&Close"), tr("Close the active document")));
    file->addSeparator();
    m_recentMenu = file->addMenu(tr("Recent File"));
    file->addSeparator();
    file->addAction(AddAction(kExit, tr("E&xit"), tr("Quit the application; prompts to save documents")));
    Action(kNew)->setIcon(style->standardIcon(QStyle::SP_FileIcon));
    Action(kOpen)->setIcon(style->standardIcon(QStyle::SP_DialogOpenButton));
    Action(kSave)->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
    Action(kSaveAll)->setIcon(SaveAllIcon());
    connect(Action(kNew), &QAction::triggered, this, &CMainFrame::NewProject);
    connect(Action(kOpen), &QAction::triggered, this, &CMainFrame::ShowOpenDialog);
    connect(Action(kSave), &QAction::triggered, this, &CMainFrame::Save);
    connect(Action(kSaveAll), &QAction::triggered, this, &CMainFrame::SaveAll);
    connect(Action(kSaveAs), &QAction::triggered, this, [this] {
        if (CChildFrame* child = ActiveChild()) {
            child->View()->StoreCurrentPage();
            if (child->Save(true)) RecentFiles::Add(QString::fromStdWString(child->Project().PathName()));
            RebuildRecentMenu();
        }
    });
    connect(Action(kClose), &QAction::triggered, this, [this] {
        if (CChildFrame* child = ActiveChild()) child->parentWidget()->close();
    });
    connect(Action(kExit), &QAction::triggered, this, &QWidget::close);
    RebuildRecentMenu();

    QMenu* report = menuBar()->addMenu(tr("Report"));
    report->addAction(AddAction(kRun, tr("Run"), tr("Create the report"), {QKeySequence(Qt::CTRL | Qt::Key_R)}, tr("Run")));
    report->addSeparator();
    report->addAction(AddAction(kConnect, tr("Connect to Database..."), tr("Connect to Database"), {}, tr("Connect")));
    report->addAction(AddAction(kSqlConsole, tr("SQL Console..."), tr("Open SQL console window")));
    Action(kRun)->setIcon(RunIcon());
    connect(Action(kRun), &QAction::triggered, this, &CMainFrame::Run);
    connect(Action(kConnect), &QAction::triggered, this, [this] {
        if (CChildFrame* child = ActiveChild()) child->View()->Connect();
    });
    connect(Action(kSqlConsole), &QAction::triggered, this, [this] {
        if (CChildFrame* child = ActiveChild()) child->View()->SqlConsole();
    });

    QMenu* tools = menuBar()->addMenu(tr("Tools"));
    tools->addAction(AddAction(kViewLog, tr("View Log File"), tr("View the program log"),
                               {QKeySequence(Qt::CTRL | Qt::Key_L)}, tr("ViewLog")));
    tools->addAction(AddAction(kTruncateLog, tr("Truncate Log File"), tr("Truncate the program log")));
    tools->addSeparator();
    tools->addAction(AddAction(kSettings, tr("Settings..."), tr("Open the settigns window"),
                               {QKeySequence(Qt::CTRL | Qt::Key_T)}, tr("Settings")));
    Action(kViewLog)->setIcon(LogIcon());
    Action(kSettings)->setIcon(SettingsIcon());
    connect(Action(kViewLog), &QAction::triggered, this, &CMainFrame::ViewLog);
    connect(Action(kTruncateLog), &QAction::triggered, this, &CMainFrame::TruncateLog);
    connect(Action(kSettings), &QAction::triggered, this, [this] { ShowNotBuilt(this, tr("Settings")); });
    tools->addSeparator();
    QMenu* looks = tools->addMenu(tr("Application Look"));
    auto* lookGroup = new QActionGroup(this);
    for (int look = kFirstLook; look <= kLastLook; ++look) {
        QAction* action = AddAction(look, LookEntry(look), tr("Activate the %1 look").arg(LookEntry(look).remove('&')));
        action->setCheckable(true);
        lookGroup->addAction(action);
        looks->addAction(action);
        connect(action, &QAction::triggered, this, [this, look] { SetLook(look); });
    }

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(AddAction(kHelpIndex, tr("&Index..."), tr("List Help topics"), {QKeySequence(Qt::Key_F1)}));
    help->addSeparator();
    help->addAction(AddAction(kAbout, tr("&About Velmor Tablewright..."),
                              tr("Display program information, version number and copyright")));
    Action(kAbout)->setIcon(style->standardIcon(QStyle::SP_MessageBoxInformation));
    connect(Action(kHelpIndex), &QAction::triggered, this, &CMainFrame::ShowHelp);
    connect(Action(kAbout), &QAction::triggered, this, &CMainFrame::About);

    // The edit keys beyond each field's own: they act on the focused field.
    const struct {
        int command;
        const char* method;
        QList<QKeySequence> keys;
    } edits[] = {
        {kCopy, "copy", {QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {kCut, "cut", {QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {kPaste, "paste", {QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {kUndo, "undo", {QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
    };
    for (const auto& edit : edits) {
        QAction* action = AddAction(edit.command, QString::fromLatin1(edit.method), {}, edit.keys);
        const char* method = edit.method;
        connect(action, &QAction::triggered, this, [method] {
            if (QWidget* focus = QApplication::focusWidget()) QMetaObject::invokeMethod(focus, method);
        });
    }

    for (QMenu* menu : {file, report, tools, help}) connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
}

void CMainFrame::BuildToolBar() {
    QToolBar* bar = addToolBar(tr("Main"));
    bar->setObjectName(QStringLiteral("Main"));
    bar->setIconSize(QSize(20, 20));
    bar->setMovable(false);
    bar->addAction(Action(kNew));
    bar->addAction(Action(kOpen));
    bar->addAction(Action(kSave));
    bar->addAction(Action(kSaveAll));
    bar->addSeparator();

    m_macroMenu = new QMenu(tr("Macros"), this);
    for (const MacroEntry& entry : MacroEntries()) {
        QAction* action = AddAction(entry.command, QString::fromLatin1(entry.text), QString::fromLatin1(entry.prompt));
        if (entry.inMenu) {
            m_macroMenu->addAction(action);
            if (entry.separatorAfter) m_macroMenu->addSeparator();
        }
        const int command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { InsertMacroCommand(command); });
    }
    connect(m_macroMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
    QAction* macroAction = AddAction(kMacroButton, tr("Macros"), tr("Insert macro call in the cursor position"), {},
                                     tr("Insert macro"));
    macroAction->setIcon(MacroIcon());
    macroAction->setMenu(m_macroMenu);
    m_macroButton = new QToolButton(bar);
    m_macroButton->setDefaultAction(macroAction);
    m_macroButton->setPopupMode(QToolButton::InstantPopup);
    m_macroButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_macroButton->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(m_macroButton);
    bar->addSeparator();
    bar->addAction(Action(kRun));
    bar->addAction(Action(kSettings));
    bar->addAction(Action(kViewLog));
    bar->addSeparator();
    bar->addAction(Action(kAbout));
}

void CMainFrame::BuildStatusBar() {
    m_idle = new QLabel(tr(kIdleText), this);
    statusBar()->addWidget(m_idle, 1);
    m_stopButton = new QPushButton(style()->standardIcon(QStyle::SP_BrowserStop), tr("Stop"), this);
    m_stopButton->setToolTip(tr("Stop the report being created (Esc)"));
    m_stopButton->setFocusPolicy(Qt::NoFocus);
    m_stopButton->hide();
    connect(m_stopButton, &QPushButton::clicked, this, [] { RunController::Instance().RequestStop(); });
    statusBar()->addPermanentWidget(m_stopButton);
    // The lock indicators are shown as the familiar panes; the toolkit gives no portable way to read the locks.
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromLatin1(indicator), this);
        label->setEnabled(false);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        label->setAlignment(Qt::AlignCenter);
        statusBar()->addPermanentWidget(label);
    }
    m_escape = new QAction(this);
    m_escape->setShortcut(QKeySequence(Qt::Key_Escape));
    m_escape->setShortcutContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    addAction(m_escape);
    connect(m_escape, &QAction::triggered, this, [] { RunController::Instance().RequestStop(); });
}

QString CMainFrame::StatusText() const {
    const QString message = statusBar()->currentMessage();
    return message.isEmpty() ? m_idle->text() : message;
}

void CMainFrame::RebuildRecentMenu() {
    m_recentMenu->clear();
    const QStringList files = RecentFiles::Load();
    m_recentMenu->setEnabled(!files.isEmpty());
    int number = 1;
    for (const QString& path : files) {
        QAction* action = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(number++).arg(path));
        action->setStatusTip(tr("Open this document"));
        connect(action, &QAction::triggered, this, [this, path] { OpenProject(path); });
    }
    m_actions[kRecent] = m_recentMenu->menuAction();
}

void CMainFrame::UpdateActions() {
    CChildFrame* child = ActiveChild();
    Action(kConnect)->setEnabled(child != nullptr);
    Action(kSqlConsole)->setEnabled(child != nullptr);
    Action(kSave)->setEnabled(child != nullptr);
    Action(kSaveAs)->setEnabled(child != nullptr);
    Action(kClose)->setEnabled(child != nullptr);
    bool anyModified = false;
    for (CChildFrame* each : Children()) anyModified = anyModified || each->Project().IsModified();
    Action(kSaveAll)->setEnabled(anyModified);

    QWidget* focus = m_lastFocus.data();
    const FieldKind kind = FieldKindOf(focus);
    const int page = child != nullptr ? child->View()->CurrentPage() : -1;
    Action(kMacroButton)->setEnabled(kind != FieldKind::None);
    for (const MacroEntry& entry : MacroEntries()) Action(entry.command)->setEnabled(MacroEnabled(entry, kind, page));
}

bool CMainFrame::CanInsertMacro(bool fileFieldsAllowed) const {
    CChildFrame* child = ActiveChild();
    return ::CanInsertMacro(fileFieldsAllowed, FieldKindOf(m_lastFocus.data()),
                            child != nullptr ? child->View()->CurrentPage() : -1);
}

void CMainFrame::InsertMacroCommand(int command) {
    UpdateActions();
    QAction* action = Action(command);
    if (action == nullptr || !action->isEnabled() || m_lastFocus.isNull()) return;
    const QString token = action->text();
    m_lastFocus->setFocus();
    InsertMacro(m_lastFocus.data(), token);
}

void CMainFrame::OnFocusChanged(QWidget*, QWidget* now) {
    // The macro menu acts on the field the user was typing in, also while its popup holds the keyboard.
    if (now != nullptr && now->window() == this) {
        m_lastFocus = now;
        UpdateActions();
    }
}

CChildFrame* CMainFrame::ActiveChild() const {
    QMdiSubWindow* window = m_mdi->activeSubWindow();
    if (window == nullptr) window = m_mdi->currentSubWindow();
    // The area forgets its active window while the main window is not active (a popup, a message box); the
    // tab the user chose last is still the active project.
    if (window == nullptr) window = m_lastActive.data();
    if (window == nullptr) {
        // The current tab is the active project (the area keeps its windows in tab order).
        const QTabBar* tabs = m_mdi->findChild<QTabBar*>();
        if (tabs != nullptr) window = m_mdi->subWindowList(QMdiArea::CreationOrder).value(tabs->currentIndex());
    }
    return window != nullptr ? qobject_cast<CChildFrame*>(window->widget()) : nullptr;
}

std::vector<CChildFrame*> CMainFrame::Children() const {
    std::vector<CChildFrame*> children;
    for (QMdiSubWindow* window : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* child = qobject_cast<CChildFrame*>(window->widget())) children.push_back(child);
    }
    return children;
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* window) {
    if (window != nullptr) m_lastActive = window;
    UpdateTitle();
    UpdateActions();
}

void CMainFrame::UpdateTitle() {
    CChildFrame* child = ActiveChild();
    setWindowTitle(child != nullptr ? child->windowTitle() + QStringLiteral(" - ") + AppTitle() : AppTitle());
}

CChildFrame* CMainFrame::AddChild(std::unique_ptr<CtwDoc> project) {
    const int untitled = project->PathName().empty() ? ++m_untitledCount : 0;
    auto* child = new CChildFrame(std::move(project), untitled);
    QMdiSubWindow* window = m_mdi->addSubWindow(child);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(AppIcon());
    connect(child, &CChildFrame::titleChanged, this, [this] {
        UpdateTitle();
        UpdateActions();
    });
    connect(child->View(), &CProjectView::runReturned, this, &CMainFrame::OnRunReturned);
    connect(child, &CChildFrame::connectFinished, this, [this] {
        if (!m_startupRuns.empty()) RunNextStartupRun();
    });
    connect(child->View()->Tabs(), &QTabWidget::currentChanged, this, &CMainFrame::UpdateActions);
    window->showMaximized();
    m_mdi->setActiveSubWindow(window);
    m_lastActive = window;
    UpdateTitle();
    UpdateActions();
    return child;
}

CChildFrame* CMainFrame::NewProject() {
    auto project = std::make_unique<CtwDoc>();
    return AddChild(std::move(project));
}

CChildFrame* CMainFrame::OpenProject(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (CChildFrame* child : Children()) {
        if (QString::fromStdWString(child->Project().PathName()) == absolute) {
            m_mdi->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(child->parentWidget()));
            return child;
        }
    }
    if (!QFileInfo::exists(absolute)) {
        Host().MessageBox(tr("The project %1 does not exist.").arg(absolute).toStdWString(), L"Open",
                          MessageIcon::Error);
        RecentFiles::Remove(absolute);
        RebuildRecentMenu();
        return nullptr;
    }
    auto project = std::make_unique<CtwDoc>();
    if (!project->LoadFile(absolute.toStdWString())) {
        const QString text = tr("The project %1 could not be opened:\n%2")
                                 .arg(absolute, QString::fromStdWString(project->LoadError()));
        Host().MessageBox(text.toStdWString(), L"Open", MessageIcon::Error);
        return nullptr;
    }
    project->SetPathName(absolute.toStdWString());
    project->SetModified(false);
    RecentFiles::Add(absolute);
    RebuildRecentMenu();
    CChildFrame* child = AddChild(std::move(project));
    child->ConnectInBackground();
    return child;
}

void CMainFrame::ShowOpenDialog() {
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Open"), QString(),
                                                            tr("Velmor Tablewright Projects (*.twp)"));
    for (const QString& file : files) OpenProject(file);
}

void CMainFrame::Save() {
    CChildFrame* child = ActiveChild();
    if (child == nullptr) return;
    child->View()->StoreCurrentPage();
    if (child->Save()) {
        RecentFiles::Add(QString::fromStdWString(child->Project().PathName()));
        RebuildRecentMenu();
    }
}

void CMainFrame::SaveAll() {
    // Each modified project saves what it holds, one after another once this command has returned.
    for (CChildFrame* child : Children()) {
        if (!child->Project().IsModified()) continue;
        QPointer<CChildFrame> target(child);
        QMetaObject::invokeMethod(
            this, [target] { if (target) target->Save(); }, Qt::QueuedConnection);
    }
}

void CMainFrame::Run() {
    CChildFrame* child = ActiveChild();
    if (child == nullptr) {
        Host().MessageBox(L"Please switch to the project to be executed.", L"Run", MessageIcon::Error);
        return;
    }
    child->View()->StoreCurrentPage();
    child->View()->Run();
}

void CMainFrame::OnHostStatus(const QString& text) {
    RunController& controller = RunController::Instance();
    statusBar()->showMessage(controller.IsRunning() ? controller.StatusFor(text) : text);
}

void CMainFrame::OnRunStarted() {
    m_stopButton->show();
    m_escape->setEnabled(true);
}

void CMainFrame::OnRunFinished(bool) {
    m_stopButton->hide();
    m_escape->setEnabled(false);
    const RunOutcome& outcome = RunController::Instance().LastOutcome();
    if (outcome.state == RunOutcome::State::Stopped) statusBar()->showMessage(tr("The report was stopped."), 5000);
    if (!m_startupRuns.empty()) QMetaObject::invokeMethod(this, &CMainFrame::RunNextStartupRun, Qt::QueuedConnection);
}

void CMainFrame::RunNextStartupRun() {
    while (!m_startupRuns.empty() && !RunController::Instance().IsRunning()) {
        QPointer<CChildFrame> child = m_startupRuns.front();
        m_startupRuns.erase(m_startupRuns.begin());
        if (!child) continue;
        if (child->IsConnecting()) {
            m_startupRuns.insert(m_startupRuns.begin(), child);  // runs when its connect has ended
            return;
        }
        child->View()->Run();
        return;
    }
}

void CMainFrame::OnRunReturned() {
    // With the quit switch the program ends after its runs, as Exit would end it.
    if (m_quitAfterRun && m_startupRuns.empty()) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

int CMainFrame::Start(const std::vector<std::wstring>& projects, bool run, bool quit) {
    m_quitAfterRun = quit;
    std::vector<std::wstring> list = projects;
    if (list.empty() || list.front().empty()) {
        for (const std::wstring& path : Settings().getArr(L"ProjList")) list.push_back(path);
    }
    int opened = 0;
    for (const std::wstring& path : list) {
        if (path.empty() || !QFileInfo::exists(QString::fromStdWString(path))) continue;
        if (CChildFrame* child = OpenProject(QString::fromStdWString(path))) {
            ++opened;
            if (run) m_startupRuns.emplace_back(child);
        }
    }
    if (opened == 0) {
        CChildFrame* child = NewProject();
        if (run) m_startupRuns.emplace_back(child);
    }
    if (!m_startupRuns.empty()) QMetaObject::invokeMethod(this, &CMainFrame::RunNextStartupRun, Qt::QueuedConnection);
    return opened;
}

void CMainFrame::StoreProjectList() {
    std::vector<std::wstring> list;
    for (CChildFrame* child : Children()) {
        if (!child->Project().PathName().empty()) list.push_back(child->Project().PathName());
    }
    Settings().setArr(L"ProjList", list);
    Settings().SaveData();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    StoreProjectList();
    m_startupRuns.clear();
    m_mdi->closeAllSubWindows();
    if (!m_mdi->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    Settings().SaveData();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) OpenProject(url.toLocalFile());
    }
    event->acceptProposedAction();
}

void CMainFrame::SetLook(int look) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_look = ApplyLook(look);
    Action(m_look)->setChecked(true);
    StoreLook(m_look);
    QApplication::restoreOverrideCursor();
}

void CMainFrame::ShowHelp() {
    // F1 asks the pane that has the focus: the project view for its page, the preview for its own topic.
    QWidget* focus = QApplication::focusWidget();
    if (EnclosingPane<CHtmlPreview>(focus) != nullptr) {
        ShowHtmlHelp(this, QStringLiteral("preview.html"));
    } else if (CProjectView* view = EnclosingPane<CProjectView>(focus)) {
        view->ShowHelp();
    } else {
        ShowHtmlHelp(this, QStringLiteral("index.html"));
    }
}

void CMainFrame::ViewLog() {
    const QString path = QString::fromStdString(CLog::FilePath());
    if (!QFileInfo::exists(path)) {
        Host().MessageBox(tr("The log file %1 does not exist yet.").arg(path).toStdWString(), L"View Log File",
                          MessageIcon::Information);
        return;
    }
    Host().OpenFile(path.toStdWString());
}

void CMainFrame::TruncateLog() {
    QFile log(QString::fromStdString(CLog::FilePath()));
    if (log.exists() && !log.resize(0)) {
        Host().MessageBox(tr("The log file could not be truncated: %1").arg(log.errorString()).toStdWString(),
                          L"Truncate Log File", MessageIcon::Error);
    }
}

void CMainFrame::About() {
    QMessageBox box(QMessageBox::Information, tr("About Velmor Tablewright"),
                    tr("<b>Velmor Tablewright</b> %1<br>SQL query results as documents.")
                        .arg(QString::fromStdWString(CLog::VersionStr(0))),
                    QMessageBox::Ok, this);
    box.setIconPixmap(AppIcon().pixmap(48, 48));
    box.exec();
}
