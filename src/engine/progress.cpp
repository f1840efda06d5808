#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <cwchar>

#include "host.h"

namespace {
// The line appears only for result sets that take longer than this, and is redrawn at most this often.
constexpr auto kShowAfter = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(250);
}  // namespace

RunProgress::RunProgress(bool mainWindow, bool console)
    : m_mainWindow(mainWindow), m_terminal(console && ::isatty(STDERR_FILENO) == 1) {}

RunProgress::~RunProgress() { EndResultSet(); }

void RunProgress::BeginResultSet(int resultSetNumber) {
    EndResultSet();
    m_resultSetNumber = resultSetNumber;
    m_start = std::chrono::steady_clock::now();
    m_lastShown = m_start;
}

void RunProgress::EndResultSet() {
    if (!m_lineShown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_lineShown = false;
}

void RunProgress::StatusText(long long rowCounter) {
    wchar_t text[96];
    std::swprintf(text, std::size(text), L"%lld rows of %d rowset completed", rowCounter + 1, m_resultSetNumber);
    Host().SetStatusText(text);
    Host().PumpMessage();
}

void RunProgress::TerminalLine(long long rowCounter) {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_start < kShowAfter || now - m_lastShown < kRedrawEvery) return;
    m_lastShown = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    std::fprintf(stderr, "\r\033[KResult set %d: %lld rows, %.0f rows/s", m_resultSetNumber, rowCounter,
                 seconds > 0 ? static_cast<double>(rowCounter) / seconds : 0.0);
    std::fflush(stderr);
    m_lineShown = true;
}
