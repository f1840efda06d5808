// Macro expansion of report file names, titles, headers and footers.

#include <cwchar>

#include "ctw_doc.h"
#include "dates.h"
#include "ex_report.h"
#include "log_state.h"
#include "text.h"

namespace {

using tw::ReplaceAll;

std::wstring Number(const wchar_t* format, long long value) {
    wchar_t buffer[32];
    std::swprintf(buffer, std::size(buffer), format, value);
    return buffer;
}

void RemoveAll(std::wstring& text, wchar_t c) { std::erase(text, c); }

}  // namespace

std::wstring ExReport::Macros(const std::wstring& text, CtwDoc& project, const std::wstring* script,
                              int fileNameMode) {
    RunPlan facts;
    TakeMacroFacts(project, facts);
    return ExpandMacros(facts, text, script, fileNameMode);
}

std::wstring ExReport::Macros(const std::wstring& text, const std::wstring* script, int fileNameMode) {
    return ExpandMacros(*m_plan, text, script, fileNameMode);
}

std::wstring ExReport::ExpandMacros(const RunPlan& plan, const std::wstring& text, const std::wstring* script,
                                    int fileNameMode) {
    LogStateScope state(L"ExReport::Macros");
    const std::tm now = LocalNow();
    std::wstring dateFormat = plan.dateFormat;
    std::wstring timeFormat = plan.timeFormat;
    if (fileNameMode) {
        // A date or time must be able to stand in a file name.
        RemoveAll(dateFormat, L'/');
        RemoveAll(timeFormat, L':');
    }
    std::wstring result = DateAndTimeMacros(text, dateFormat, timeFormat, now);
    result = plan.ExpandText(result);
    if (result.find(L'$') == std::wstring::npos) return result;

    ReplaceAll(result, L"$DATE.YYYY$", Number(L"%04lld", now.tm_year + 1900LL));
    ReplaceAll(result, L"$DATE.YY$", Number(L"%02lld", (now.tm_year + 1900LL) % 100));
    ReplaceAll(result, L"$DATE.MM$", Number(L"%02lld", now.tm_mon + 1LL));
    ReplaceAll(result, L"$DATE.DD$", Number(L"%02lld", now.tm_mday));
    ReplaceAll(result, L"$TIME.HH$", Number(L"%02lld", now.tm_hour));
    ReplaceAll(result, L"$STATEMENT$", Number(L"%lld", m_statements.Count()));
    ReplaceAll(result, L"$FILE$", m_currentReportFile.empty() ? plan.reportFile : m_currentReportFile);
    ReplaceAll(result, L"$FORMAT$", plan.formatName);
    if (script) ReplaceAll(result, L"$QUERY$", *script);
    const int count = m_statements.Count();
    if (m_resultSetNumber >= 1 && m_resultSetNumber <= count) {
        ReplaceAll(result, L"$QUERYn$", m_statements.Statement(m_resultSetNumber - 1));
    }
    if (result.find(L"$QUERY") != std::wstring::npos) {
        for (int index = 0; index < count; ++index) {
            ReplaceAll(result, Number(L"$QUERY%lld$", index + 1LL), m_statements.Statement(index));
        }
    }
    if (m_rowCounter > 0) ReplaceAll(result, L"$ROWS$", Number(L"%lld", m_rowCounter));
    if (result.find(L"$NAME") != std::wstring::npos) {
        ReplaceAll(result, L"$NAME$", ResultSetName(1));
        ReplaceAll(result, L"$NAMEn$", ResultSetName(m_resultSetNumber));
    }
    return result;
}
