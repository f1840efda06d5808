#pragma once
// How the core talks to the user: the GUI fills this in; console mode and tests use the plain host.

#include <string>
#include <string_view>

enum class MessageIcon { Information, Warning, Error };

class IHost {
  public:
    virtual ~IHost() = default;
    // True when a main window exists (status texts, message processing).
    virtual bool HasMainWindow() const { return false; }
    // True in console mode.
    virtual bool IsConsoleMode() const { return false; }
    // Text in the first pane of the main window's status bar.
    virtual void SetStatusText(std::wstring_view) {}
    // Lets the window process pending messages (a long run stays responsive).
    virtual void PumpMessage() {}
    // A modal message box; without a window one line "Caption: text" on standard error, never waiting.
    virtual void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon);
    // Opens a finished report with the desktop's program for it.
    virtual void OpenFile(const std::wstring& path);
};

// The host of the process; the plain host until SetHost is called.
IHost& Host();
// Replaces the host (the GUI at start, tests); nullptr restores the plain host. The caller keeps ownership.
void SetHost(IHost* host);
// The folder holding tmpl/, help/ and examples/: TABLEWRIGHT_DATA_DIR, beside the binary,
// ../share/tablewright, or the source tree.
std::string DataDir();
