#pragma once
// The program's log: $XDG_STATE_HOME/tablewright/tablewright.log, private to the user and kept to a bounded size
// (the older half rotated to tablewright.log.1). In console mode warnings and errors also go to standard error,
// informational entries only when asked (standard error is a terminal).

#include <cstddef>
#include <string>
#include <string_view>

class CLog {
  public:
    // A fault or a warning: text, its detail (a path, an error text), the source name and line when known.
    static void Bug(std::wstring_view text, std::wstring_view detail = {}, const char* source = nullptr,
                    int line = 0);
    // A formatted fault or warning; the format is swprintf's (texts as %ls).
    static void Bug2(const wchar_t* format, ...);
    // An informational entry (what is being run, how long it took): always in the log file, on standard error
    // only when informational echo is on.
    static void Info(std::wstring_view text, std::wstring_view detail = {});
    // A formatted informational entry.
    static void Info2(const wchar_t* format, ...);
    // A message the user has already been shown (a message box): into the log file only, never echoed.
    static void Shown(std::wstring_view text);
    // The operation in progress, named in every entry written meanwhile; nullptr clears it.
    static void State(const wchar_t* state);
    static const std::wstring& CurrentState();
    // The program's version text, such as "0.1.0".
    static std::wstring VersionStr(int);

    // Warnings and errors also go to standard error; informational entries too when info is set.
    static void SetEcho(bool echo, bool info = true);
    // Where the log file lives.
    static std::string FilePath();
    // The size past which the log is rotated to FilePath() + ".1" before the next entry.
    static constexpr std::size_t kRotateSize = std::size_t{10} << 20;
};
