#include "run_controller.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>

#include "ctw_doc.h"

RunController& RunController::Instance() {
    static RunController controller;
    return controller;
}

RunController::RunController() = default;

QString RunController::BusyText() { return tr("A report is being created. Please wait until it is finished."); }

bool RunController::StartReport(CtwDoc& project, const std::wstring& file) {
    return Start(project, Kind::Report, file);
}

bool RunController::StartPreview(CtwDoc& project) { return Start(project, Kind::Preview, {}); }

bool RunController::Start(CtwDoc& project, Kind kind, const std::wstring& file) {
    if (IsRunning()) {
        emit busy(BusyText());
        return false;
    }
    m_project = &project;
    m_kind = kind;
    m_succeeded = false;
    m_previewPath.clear();
    m_progressResultSet = 0;
    m_resultSetClock.start();
    // The worker only touches the project and its connection; the window keeps its hands off both (read-only
    // pages, Connect and SQL Console waiting) until runFinished.
    m_thread = QThread::create([this, &project, kind, file] {
        if (kind == Kind::Preview) {
            m_previewPath = RunPreview(project);
            m_succeeded = !m_previewPath.empty();
        } else {
            m_succeeded = Engine().RunAndOpen(project, file, 0);
        }
        m_outcome = Engine().LastOutcome();
    });
    connect(m_thread, &QThread::finished, this, &RunController::OnThreadFinished);
    emit runStarted(m_project, m_kind);
    m_thread->start();
    return true;
}

void RunController::OnThreadFinished() {
    QThread* thread = m_thread;
    thread->wait();
    thread->deleteLater();
    m_thread = nullptr;
    CtwDoc* project = m_project;
    m_project = nullptr;
    emit runFinished(project, m_kind, m_succeeded, QString::fromStdWString(m_previewPath));
}

void RunController::RequestStop() {
    if (!IsRunning()) return;
    Engine().RequestStop();
    if (CDB* connection = m_project->Connection()) connection->Cancel();
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
