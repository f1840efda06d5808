#include "child_frame.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QThread>
#include <QFileDialog>
#include <QFileInfo>
#include <QSplitter>
#include <QVBoxLayout>

#include "ctw_doc.h"
#include "html_preview.h"
#include "project_view.h"
#include "qt_host.h"
#include "run_controller.h"
#include "settings.h"

CChildFrame::CChildFrame(std::unique_ptr<CtwDoc> project, int untitledNumber, QWidget* parent)
    : QWidget(parent), m_project(std::move(project)), m_untitledNumber(untitledNumber) {
    // Painted by the window itself, so that its background follows the theme (the area's frame does not).
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setChildrenCollapsible(false);
    m_view = new CProjectView(m_project.get(), m_splitter);
    m_view->setMinimumHeight(kMinimumTop);
    m_preview = new CHtmlPreview(m_project.get(), m_splitter);
    // A page loading column names holds the connection: a preview asked for meanwhile follows afterwards.
    connect(m_view, &CProjectView::connectionInUseChanged, m_preview, &CHtmlPreview::SetWaiting);
    m_splitter->addWidget(m_view);
    m_splitter->addWidget(m_preview);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    int top = Settings().getInt(L"SplitterY");
    if (top < 0) top = kDefaultSplitterY;
    m_splitter->setSizes({std::max(top, kMinimumTop), 200});
    layout->addWidget(m_splitter);

    m_project->m_onModifiedChanged = [this] { UpdateTitle(); };
    m_project->m_onFieldChanged = [this](ProjectField field) {
        if (field == ProjectField::Connection) m_view->ProjectChanged();
        emit m_view->projectFieldChanged(static_cast<int>(field));
    };
    RunController& controller = RunController::Instance();
    connect(&controller, &RunController::runStarted, this, [this](CtwDoc* started) { OnRunStarted(started); });
    connect(&controller, &RunController::runFinished, this, [this](CtwDoc* finished) { OnRunFinished(finished); });
    UpdateTitle();
}

CChildFrame::~CChildFrame() {
    m_project->m_onModifiedChanged = nullptr;
    m_project->m_onFieldChanged = nullptr;
    // The preview and the pages go before the project they point to.
    delete m_splitter;
}

QString CChildFrame::Title() const {
    if (!m_project->PathName().empty()) return QFileInfo(QString::fromStdWString(m_project->PathName())).fileName();
    return QStringLiteral("Tablewright%1").arg(m_untitledNumber);
}

void CChildFrame::UpdateTitle() {
    const QString title = Title();
    setWindowTitle(m_project->IsModified() && !title.isEmpty() ? title + QLatin1Char('*') : title);
    emit titleChanged();
}

bool CChildFrame::Save(bool saveAs) {
    QString path = QString::fromStdWString(m_project->PathName());
    if (saveAs || path.isEmpty()) {
        path = QFileDialog::getSaveFileName(this, tr("Save Project as"), path.isEmpty() ? Title() + ".twp" : path,
                                            tr("Velmor Tablewright Projects (*.twp)"));
        if (path.isEmpty()) return false;
        if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".twp");
    }
    if (!m_project->Save(path.toStdWString())) {
        const QString text = tr("The project could not be saved to %1:\n%2")
                                 .arg(path, QString::fromStdWString(m_project->SaveError()));
        Host().MessageBox(text.toStdWString(), L"Save", MessageIcon::Error);
        return false;
    }
    UpdateTitle();
    return true;
}

void CChildFrame::ConnectInBackground() {
    const CDB* connection = m_project->Connection();
    if (IsConnecting() || connection == nullptr || connection->IsConnected()) return;
    m_view->SetConnecting(true);
    m_preview->SetWaiting(true);
    CtwDoc* project = m_project.get();
    m_connectThread = QThread::create([project] { project->ConnectDatabase(); });
    connect(m_connectThread, &QThread::finished, this, [this] {
        m_connectThread->wait();
        m_connectThread->deleteLater();
        m_connectThread = nullptr;
        m_view->SetConnecting(false);
        m_preview->SetWaiting(false);
        emit connectFinished();
    });
    m_connectThread->start();
}

void CChildFrame::OnRunStarted(CtwDoc* project) {
    if (project == m_project.get()) m_view->SetRunning(true);
}

void CChildFrame::OnRunFinished(CtwDoc* project) {
    if (project == m_project.get()) m_view->SetRunning(false);
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (IsConnecting()) {
        // The connect lends the project's connection to its thread; the window waits for it to come back.
        QEventLoop loop;
        connect(this, &CChildFrame::connectFinished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    RunController& controller = RunController::Instance();
    if (controller.RunningProject() == m_project.get() && controller.RunningKind() == RunController::Kind::Preview) {
        controller.RequestStop();
        controller.WaitForEnd();
    } else if (controller.RunningProject() == m_project.get()) {
        QtHost* host = QtHost::Instance();
        const auto answer = host->Ask(tr("A report is being created for %1. Stop it and close the window?").arg(Title()),
                                      tr("Close"), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        controller.RequestStop();
        controller.WaitForEnd();
    }
    if (m_project->IsModified()) {
        const auto answer = QtHost::Instance()->Ask(tr("Save changes to %1?").arg(Title()), tr("Velmor Tablewright"),
                                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                                    QMessageBox::Warning);
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !Save())) {
            event->ignore();
            return;
        }
    }
    Settings().setInt(L"SplitterY", m_splitter->sizes().value(0, kDefaultSplitterY));
    Settings().SaveData();
    m_preview->close();
    event->accept();
}
