#include "stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The write end of the pipe the handler reports through; the handler may only make async-signal-safe calls,
// so it writes the signal's number as one byte and leaves everything else to the watcher thread.
std::atomic<int> g_pipeWrite{-1};
// The first signal, recorded by the handler itself, so that the program sees it as soon as the handler has
// run.
std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only use lock-free atomics");

// Byte that tells the watcher to end; signal numbers are never 0.
constexpr unsigned char kQuit = 0;
// How often a received stop is asked for again.
constexpr int kRepeatMilliseconds = 50;

extern "C" void OnStopSignal(int signal) {
    const int savedErrno = errno;
    int none = 0;
    g_received.compare_exchange_strong(none, signal);
    const unsigned char byte = static_cast<unsigned char>(signal);
    const int fd = g_pipeWrite.load();
    if (fd >= 0) (void)!::write(fd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : m_onStop(std::move(onStop)) {
    if (::pipe2(m_pipe, O_CLOEXEC) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;  // the signals keep their default: they end the program as before
    }
    // A full pipe must not block the handler; one byte per signal is plenty.
    ::fcntl(m_pipe[1], F_SETFL, O_NONBLOCK);
    g_received.store(0);
    g_pipeWrite.store(m_pipe[1]);
    m_watcher = std::thread([this] { Watch(); });

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls keep reads and writes of the run going; the run checks the stop request itself.
    action.sa_flags = SA_RESTART;
    // A signal ignored when the program started stays ignored: a job started in the background with "&" is
    // not meant to stop on the Ctrl+C of the terminal.
    ::sigaction(SIGINT, nullptr, &m_oldInterrupt);
    ::sigaction(SIGTERM, nullptr, &m_oldTerminate);
    if (m_oldInterrupt.sa_handler != SIG_IGN) ::sigaction(SIGINT, &action, nullptr);
    if (m_oldTerminate.sa_handler != SIG_IGN) ::sigaction(SIGTERM, &action, nullptr);
}

int StopSignals::Received() const { return g_received.load(); }

StopSignals::~StopSignals() {
    if (m_pipe[1] < 0) return;
    ::sigaction(SIGINT, &m_oldInterrupt, nullptr);
    ::sigaction(SIGTERM, &m_oldTerminate, nullptr);
    g_pipeWrite.store(-1);
    const unsigned char quit = kQuit;
    while (::write(m_pipe[1], &quit, 1) < 0 && errno == EINTR) {
    }
    if (m_watcher.joinable()) m_watcher.join();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void StopSignals::Watch() {
    // The handler runs on the other threads only, so that it never races the destructor from here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    for (;;) {
        pollfd ready{m_pipe[0], POLLIN, 0};
        const int count = ::poll(&ready, 1, m_signalsSeen > 0 ? kRepeatMilliseconds : -1);
        if (count < 0 && errno != EINTR) return;
        if (count <= 0) {
            if (m_signalsSeen > 0) m_onStop();
            continue;
        }
        unsigned char byte = kQuit;
        const ssize_t got = ::read(m_pipe[0], &byte, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || byte == kQuit) return;
        const int signal = byte;
        if (++m_signalsSeen == 1) {
            m_onStop();
            continue;
        }
        // A second signal: the user does not want to wait for the stop. Its default action ends the program.
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        ::sigaction(signal, &standard, nullptr);
        ::kill(::getpid(), signal);
    }
}
