#pragma once
// The program's log: $XDG_STATE_HOME/tablewright/tablewright.log; in console mode also standard error.

#include <string>
#include <string_view>

class CLog {
  public:
    // A fault: text, its detail (a path, an error text), the source name and line when known.
    static void Bug(std::wstring_view text, std::wstring_view detail = {}, const char* source = nullptr,
                    int line = 0);
    // A formatted entry; the format is swprintf's (texts as %ls).
    static void Bug2(const wchar_t* format, ...);
    // The operation in progress, named in every entry written meanwhile; nullptr clears it.
    static void State(const wchar_t* state);
    static const std::wstring& CurrentState();
    // The program's version text, such as "0.1.0".
    static std::wstring VersionStr(int);

    // Every entry also goes to standard error (console mode).
    static void SetEcho(bool echo);
    // Where the log file lives.
    static std::string FilePath();
};
