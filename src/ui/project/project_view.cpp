#include "project_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "adv_connect.h"
#include "ctw_doc.h"
#include "help.h"
#include "icons.h"
#include "log.h"
#include "page_footer.h"
#include "page_header.h"
#include "page_output.h"
#include "page_query.h"
#include "page_report.h"
#include "page_converter.h"
#include "page_markers.h"
#include "page_parameters.h"
#include "page_properties.h"
#include "project_page.h"
#include "qt_host.h"
#include "run_controller.h"
#include "run_sql.h"

namespace {

struct PageInfo {
    const char* label;
    const char* help;
};
constexpr PageInfo kPages[CProjectView::kPageCount] = {
    {"Query", "query.html"},           {"Output", "output.html"},   {"Report", "report.html"},
    {"Header", "header.html"},         {"Footer", "footer.html"},   {"Markers", "marker.html"},
    {"Properties", "properties.html"}, {"Parameters", "params.html"}, {"Converters", "converters.html"},
};

// Tabs 24 pixels high at least; a style sheet would do it too but pins the palette against theme changes.
class TallTabBar : public QTabBar {
  public:
    using QTabBar::QTabBar;

  protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        size.setHeight(std::max(size.height(), 24));
        return size;
    }
};

class PageTabs : public QTabWidget {
  public:
    explicit PageTabs(QWidget* parent) : QTabWidget(parent) { setTabBar(new TallTabBar(this)); }
};

CProjectView::PageFactory& Factory() {
    static CProjectView::PageFactory factory = [](int index, CProjectView* view) -> ProjectPage* {
        switch (index) {
            case 0: return new PageQuery(view);
            case 1: return new PageOutput(view);
            case 2: return new PageReport(view);
            case 3: return new PageHeader(view);
            case 4: return new PageFooter(view);
            case 5: return new PageMarkers(view);
            case 6: return new PageProperties(view);
            case 7: return new PageParameters(view);
            case 8: return new PageConverter(view);
            default: return new PlaceholderPage(view, CProjectView::TabLabel(index));
        }
    };
    return factory;
}

}  // namespace

void CProjectView::SetPageFactory(PageFactory factory) { Factory() = std::move(factory); }

QString CProjectView::TabLabel(int index) {
    return index >= 0 && index < kPageCount ? QString::fromLatin1(kPages[index].label) : QString();
}

QString CProjectView::HelpTopic(int index) {
    return index >= 0 && index < kPageCount ? QString::fromLatin1(kPages[index].help)
                                            : QStringLiteral("index.html");
}

CProjectView::CProjectView(CtwDoc* project, QWidget* parent) : QWidget(parent), m_project(project) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 0);
    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(tr("Connected to "), this));
    m_connectionText = new QLineEdit(this);
    m_connectionText->setReadOnly(true);
    m_connectionText->setFocusPolicy(Qt::ClickFocus);
    header->addWidget(m_connectionText, 1);
    m_connectButton = new QToolButton(this);
    m_connectButton->setIcon(ConnectIcon());
    m_connectButton->setToolTip(tr("Establish database connection"));
    connect(m_connectButton, &QToolButton::clicked, this, &CProjectView::Connect);
    header->addWidget(m_connectButton);
    layout->addLayout(header);

    RefreshConnectionText();

    m_tabs = new PageTabs(this);
    m_tabs->setIconSize(QSize(16, 16));
    for (int index = 0; index < kPageCount; ++index) {
        ProjectPage* page = Factory()(index, this);
        m_pages[static_cast<size_t>(index)] = page;
        m_tabs->addTab(page, TabIcon(index), TabLabel(index));
    }
    layout->addWidget(m_tabs, 1);
    m_tabs->setCurrentIndex(0);
    m_pages[0]->Activate();
    connect(m_tabs, &QTabWidget::currentChanged, this, &CProjectView::OnTabChanged);
}

CProjectView::~CProjectView() {
    for (ProjectPage* page : m_pages)
        if (page != nullptr) page->DetachView();
}

ProjectPage* CProjectView::Page(int index) const {
    return index >= 0 && index < kPageCount ? m_pages[static_cast<size_t>(index)] : nullptr;
}

QString CProjectView::ConnectionText() const { return m_connectionText->text(); }

void CProjectView::RefreshConnectionText() {
    if (m_project == nullptr) return;
    const CDB* connection = m_project->Connection();
    m_connectionText->setText(connection != nullptr ? QString::fromStdWString(connection->ConInfo(1, 0))
                                                    : tr("Not connected yet."));
}

void CProjectView::ProjectChanged() {
    if (m_project == nullptr) return;
    RefreshConnectionText();
    for (ProjectPage* page : m_pages) {
        if (page != nullptr) page->LoadFromProject(*m_project);
    }
}

void CProjectView::OnTabChanged(int index) {
    if (index == m_currentPage || index < 0 || index >= kPageCount) return;
    m_pages[static_cast<size_t>(m_currentPage)]->Deactivate();
    m_currentPage = index;
    m_pages[static_cast<size_t>(index)]->Activate();
}

void CProjectView::StoreCurrentPage() {
    if (m_project == nullptr || !CanStore()) return;
    if (ProjectPage* page = Page(m_currentPage)) page->SaveToProject(*m_project);
}

void CProjectView::SetRunning(bool running) {
    m_running = running;
    for (ProjectPage* page : m_pages) page->setEnabled(!running);
    m_connectButton->setEnabled(!running && !m_connecting);
}

bool CProjectView::Busy() {
    if (m_connectionInUse) {
        emit RunController::Instance().busy(tr("The column list is being loaded. Please wait."));
        return true;
    }
    if (m_connecting) {
        emit RunController::Instance().busy(tr("The database connection is being established. Please wait."));
        return true;
    }
    if (m_running || RunController::Instance().IsRunning()) {
        emit RunController::Instance().busy(RunController::BusyText());
        return true;
    }
    return false;
}

void CProjectView::SetConnecting(bool connecting) {
    m_connecting = connecting;
    m_connectButton->setEnabled(!connecting && !m_running);
    if (connecting && m_project != nullptr && m_project->Connection() != nullptr) {
        m_connectionText->setText(
            tr("Connecting to %1 ...").arg(QString::fromStdWString(m_project->Connection()->ConInfo(1, 0))));
    } else {
        RefreshConnectionText();
    }
}

void CProjectView::Run() {
    if (m_project == nullptr || Busy()) return;
    if (m_project->ReportFile.empty()) {
        Host().MessageBox(L"There is no output file specified yet.", L"Execution", MessageIcon::Error);
        return;
    }
    RunController& controller = RunController::Instance();
    auto* connection = new QMetaObject::Connection;
    *connection = connect(&controller, &RunController::runFinished, this,
                          [this, connection](CtwDoc* project, RunController::Kind kind, bool succeeded) {
                              if (project != m_project || kind != RunController::Kind::Report) return;
                              disconnect(*connection);
                              delete connection;
                              emit runReturned(succeeded);
                          });
    if (!controller.StartReport(*m_project, m_project->ReportFile)) {
        disconnect(*connection);
        delete connection;
    }
}

void CProjectView::Connect() {
    // A run (report or preview) of this project has its connection to itself until it ends.
    const RunController& runs = RunController::Instance();
    if (m_running || m_connecting || (runs.IsRunning() && runs.RunningProject() == m_project)) {
        Busy();
        return;
    }
    if (m_project == nullptr) return;
    CLog::State(L"ProjectView::Connect");
    auto* dialog = findChild<CAdvConnect*>();
    if (dialog == nullptr) dialog = new CAdvConnect(this);
    CDB* old = m_project->Connection();
    CONN_INFO shown = old != nullptr ? old->m_ConInfo : CONN_INFO{};
    shown.BaseFolder = m_project->ProjectFolder();
    dialog->SetConnection(shown);
    if (dialog->exec() == QDialog::Accepted) {
        CONN_INFO kept;
        if (old != nullptr && old->IsConnected()) {
            kept = old->m_ConInfo;
            old->Disconnect();
        }
        dialog->DoConnect(*m_project);
        RefreshConnectionText();
        const CDB* now = m_project->Connection();
        if (kept != (now != nullptr ? now->m_ConInfo : CONN_INFO{})) m_project->SetModified(true);
    }
    CLog::State(nullptr);
}

void CProjectView::SqlConsole() {
    // A run (report or preview) of this project has its connection to itself until it ends.
    const RunController& runs = RunController::Instance();
    if (m_running || m_connecting || (runs.IsRunning() && runs.RunningProject() == m_project)) {
        Busy();
        return;
    }
    CDB* connection = m_project != nullptr ? m_project->Connection() : nullptr;
    if (connection == nullptr || !connection->IsConnected()) {
        Host().MessageBox(L"The established database connection is required!", L"SQL Console", MessageIcon::Error);
        return;
    }
    CLog::State(L"ProjectView::SqlConsole");
    // Made on first use and kept with the window, with its text, results and history.
    auto* console = findChild<CRunSQL*>();
    if (console == nullptr) {
        console = new CRunSQL(this);
        console->Initialize(QStringLiteral("Monospace"));
    }
    console->SetDB(connection, m_project);
    console->exec();
    CLog::State(nullptr);
}

void CProjectView::ShowHelp() { ShowHtmlHelp(this, HelpTopic(m_currentPage)); }
