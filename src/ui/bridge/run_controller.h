#pragma once
// Runs reports and previews on a worker thread, one at a time in the program, with a stop.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <string>

#include "ex_report.h"

class CtwDoc;

class RunController : public QObject {
    Q_OBJECT
  public:
    enum class Kind { Report, Preview };

    // The program's one controller: the engine makes one report at a time.
    static RunController& Instance();

    bool IsRunning() const { return m_thread != nullptr; }
    Kind RunningKind() const { return m_kind; }
    // The project being run; null when none is.
    CtwDoc* RunningProject() const { return m_project; }

    // Starts a report run of project into file. The run copies what it reads from the project here, on the
    // window's thread, and writes the report on the worker. False when something is running (the status bar
    // then says that a report is being created) or the engine refused.
    bool StartReport(CtwDoc& project, const std::wstring& file);
    // Starts a preview run of project into its preview file. False as for StartReport.
    bool StartPreview(CtwDoc& project);
    // Asks the running report to stop (its statement is cancelled, its partial report thrown away).
    void RequestStop();
    // Processes window events until the running run has ended (closing a window that waits for its run).
    void WaitForEnd();

    // The outcome of the last finished run.
    const RunOutcome& LastOutcome() const { return m_outcome; }
    // The status-bar text for a text the engine reported: row progress gains the rate.
    QString StatusFor(const QString& engineText);

    // The status-bar text when a run is asked for during another.
    static QString BusyText();

  signals:
    void runStarted(CtwDoc* project, RunController::Kind kind);
    // The run has ended; previewPath is the preview file written (empty for a report run or a failure).
    void runFinished(CtwDoc* project, RunController::Kind kind, bool succeeded, const QString& previewPath);
    // A run was asked for while another was in progress.
    void busy(const QString& text);

  private:
    RunController() = default;
    bool Begin(CtwDoc& project, Kind kind);
    void Launch(std::function<bool()> work);
    void OnThreadFinished();

    QThread* m_thread = nullptr;
    CtwDoc* m_project = nullptr;
    Kind m_kind = Kind::Report;
    bool m_succeeded = false;
    QString m_previewPath;
    RunOutcome m_outcome;
    int m_progressResultSet = 0;
    QElapsedTimer m_resultSetClock;
};
