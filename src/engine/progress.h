#pragma once
// Progress of a long run: the main window's status bar every 99 rows, and in console mode a line on standard
// error (only when it is a terminal) that shows the rows so far and the rate, a few times a second.

#include <chrono>

class RunProgress {
public:
    // mainWindow: the host has a status bar; console: console mode (the terminal line is used only when
    // standard error is a terminal).
    RunProgress(bool mainWindow, bool console);
    ~RunProgress();
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    // A result set starts.
    void BeginResultSet(int resultSetNumber);
    // Called before row rowCounter (from 0) of the current result set is written.
    void Row(long long rowCounter) {
        if (m_mainWindow && rowCounter % 99 == 0) StatusText(rowCounter);
        if (m_terminal && (rowCounter & 1023) == 0 && rowCounter > 0) TerminalLine(rowCounter);
    }
    // The result set ended: the terminal line is cleared.
    void EndResultSet();

private:
    void StatusText(long long rowCounter);
    void TerminalLine(long long rowCounter);

    bool m_mainWindow;
    bool m_terminal;
    bool m_lineShown = false;
    int m_resultSetNumber = 0;
    std::chrono::steady_clock::time_point m_start, m_lastShown;
};
