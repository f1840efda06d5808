#pragma once
// Names the operation in progress in the log for the length of a scope, then restores the one it interrupted.

#include <string>

#include "log.h"

class LogStateScope {
public:
    explicit LogStateScope(const wchar_t* state) : m_previous(CLog::CurrentState()) { CLog::State(state); }
    ~LogStateScope() { CLog::State(m_previous.empty() ? nullptr : m_previous.c_str()); }
    LogStateScope(const LogStateScope&) = delete;
    LogStateScope& operator=(const LogStateScope&) = delete;

private:
    std::wstring m_previous;
};
