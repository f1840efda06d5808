#pragma once
// SIGINT and SIGTERM in console mode: instead of killing the program mid-write, the first one asks the run to
// stop, so that the run can remove its temporary files and the program can end with the signal's status.

#include <csignal>
#include <functional>
#include <thread>

class StopSignals {
  public:
    // From now on SIGINT and SIGTERM call onStop on a helper thread (never inside the signal handler), and
    // again every few hundredths of a second until this object ends, so that a run starting just after the
    // signal, which clears earlier stop requests, is stopped too. A second signal ends the program at once,
    // as if nothing had caught the first.
    explicit StopSignals(std::function<void()> onStop);
    // The signals' earlier handling is restored.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal received first (SIGINT or SIGTERM), 0 while none was; known as soon as its handler has run.
    int Received() const;
    // The exit status of a program stopped by signal: 128 plus its number (130, 143).
    static int ExitStatus(int signal) { return 128 + signal; }

  private:
    void Watch();

    std::function<void()> m_onStop;
    int m_signalsSeen = 0;  // by the watcher thread only
    int m_pipe[2] = {-1, -1};
    struct sigaction m_oldInterrupt {};
    struct sigaction m_oldTerminate {};
    std::thread m_watcher;
};
