// The table of contents and the summary section that can open a report.

#include <cwchar>

#include "cdb.h"
#include "ex_report.h"
#include "log_state.h"

void ExReport::TOC(int statementCount) {
    LogStateScope state(L"ExReport::TOC");
    BeginToc();
    if (m_plan->summary) TocItem(L"Summary", L"Summary", 0);
    if (statementCount == 1) {
        TocItem(L"Results", L"Results", 0);
    } else {
        // One entry per statement, whether or not it yields a result set.
        wchar_t anchor[32];
        for (int number = 1; number <= statementCount; ++number) {
            std::swprintf(anchor, std::size(anchor), L"Results%d", number);
            TocItem(anchor, ResultSetName(number), 0);
        }
    }
    EndToc();
}

void ExReport::Summary() {
    LogStateScope state(L"ExReport::Summary");
    BeginSubDocument(m_subDocumentFolder, L"Summary.html", L"Summary");
    Ancor(L"Summary");
    Text(L"Summary", 3, L"", 0);
    BeginTable(L"Summary", {});
    AttributeRowHeader();
    ProductRow(L"Velmor Tablewright");
    ReportCreated();
    const CDB* db = m_plan->connection;
    Row2(L"Database Connection",
         db != nullptr && db->IsConnected() ? db->m_ConInfo.ConInfo() : std::wstring(L"Not connected"), 0, {}, {});
    Row2(L"Report File", m_plan->reportFile, 0, {}, {});
    EndTable(L"Summary");
    EndSubDocument();
}
