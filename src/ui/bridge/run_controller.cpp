#include "run_controller.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>

#include "ctw_doc.h"

RunController& RunController::Instance() {
    static RunController controller;
    return controller;
}

QString RunController::BusyText() { return tr("A report is being created. Please wait until it is finished."); }

bool RunController::Begin(CtwDoc& project, Kind kind) {
    if (IsRunning() || Engine().RunPrepared()) {
        emit busy(BusyText());
        return false;
    }
    m_project = &project;
    m_kind = kind;
    m_succeeded = false;
    m_previewPath.clear();
    m_progressResultSet = 0;
    m_resultSetClock.start();
    return true;
}

void RunController::Launch(std::function<bool()> work) {
    m_thread = QThread::create([this, work = std::move(work)] { m_succeeded = work(); });
    connect(m_thread, &QThread::finished, this, &RunController::OnThreadFinished);
    emit runStarted(m_project, m_kind);
    m_thread->start();
}

bool RunController::StartReport(CtwDoc& project, const std::wstring& file) {
    if (!Begin(project, Kind::Report)) return false;
    if (!Engine().PrepareRun(project, file, 0)) {
        m_project = nullptr;
        emit busy(BusyText());
        return false;
    }
    Launch([] { return Engine().ExecuteRun(); });
    return true;
}

bool RunController::StartPreview(CtwDoc& project) {
    if (!Begin(project, Kind::Preview)) return false;
    const std::wstring path = PreparePreviewFile(project);
    if (path.empty() || !Engine().PrepareRun(project, path, 1)) {
        m_project = nullptr;
        return false;
    }
    m_previewPath = QString::fromStdWString(path);
    Launch([] { return Engine().ExecuteRun(); });
    return true;
}

void RunController::OnThreadFinished() {
    QThread* thread = m_thread;
    thread->wait();
    thread->deleteLater();
    m_thread = nullptr;
    CtwDoc* project = m_project;
    m_project = nullptr;
    // The run's last step belongs on the thread that prepared it: it gives the project back and opens the
    // finished report when the project asks so.
    m_outcome = Engine().FinishRun(*project);
    if (m_kind == Kind::Preview && m_outcome.state == RunOutcome::State::Stopped) m_previewPath.clear();
    emit runFinished(project, m_kind, m_succeeded, m_previewPath);
}

void RunController::RequestStop() {
    if (!IsRunning()) return;
    Engine().RequestStop();
}

void RunController::WaitForEnd() {
    if (!IsRunning()) return;
    QEventLoop loop;
    connect(this, &RunController::runFinished, &loop, &QEventLoop::quit);
    loop.exec();
}

QString RunController::StatusFor(const QString& engineText) {
    static const QRegularExpression rowProgress(QStringLiteral("^(\\d+) rows of (\\d+) rowset completed$"));
    const QRegularExpressionMatch match = rowProgress.match(engineText);
    if (!match.hasMatch()) return engineText;
    const long long rows = match.captured(1).toLongLong();
    const int resultSet = match.captured(2).toInt();
    if (resultSet != m_progressResultSet) {
        m_progressResultSet = resultSet;
        m_resultSetClock.restart();
    }
    const double seconds = static_cast<double>(m_resultSetClock.elapsed()) / 1000.0;
    const long long rate = seconds > 0.05 ? static_cast<long long>(static_cast<double>(rows) / seconds) : 0;
    return tr("Result set %1: %2 rows, %3 rows/s").arg(resultSet).arg(rows).arg(rate);
}
