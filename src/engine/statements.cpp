// What the engine knows about the statements of a script: their names from "--NAME:" comments, the name of
// each result set, and multi-line texts written as one paragraph.

#include <cwchar>

#include "ex_report.h"
#include "log_state.h"

void ExReport::ScanForComments(const std::wstring& script) {
    LogStateScope state(L"ExReport::ScanForComments");
    static constexpr std::wstring_view kMarker = L"--NAME:";
    m_statementNames.clear();
    size_t found = script.find(kMarker);
    while (found != std::wstring::npos) {
        // The character after the colon (normally a blank) is skipped, whatever it is.
        const size_t start = std::min(found + kMarker.size() + 1, script.size());
        size_t stop = script.find(L'\n', start);
        if (stop == std::wstring::npos) stop = script.size();
        std::wstring name = script.substr(start, stop - start);
        const size_t last = name.find_last_not_of(L"\r\n ");
        name.erase(last == std::wstring::npos ? 0 : last + 1);
        name.erase(0, std::min(name.find_first_not_of(L' '), name.size()));
        m_statementNames.push_back(std::move(name));
        found = script.find(kMarker, stop);
    }
}

std::wstring ExReport::ResultSetName(int n) const {
    if (n >= 1 && static_cast<size_t>(n) <= m_statementNames.size()) return m_statementNames[static_cast<size_t>(n - 1)];
    if (m_statements.Count() != 1) {
        wchar_t name[32];
        std::swprintf(name, std::size(name), L"Results #%d", n);
        return name;
    }
    return L"Results";
}

void ExReport::TextWithLineFeeds(const std::wstring& text, int paragraphType, const std::wstring& attributes,
                                 int markup) {
    LogStateScope state(L"ExReport::TextWithLineFeeds");
    BeginParagraph(paragraphType, attributes);
    size_t start = 0;
    size_t lineFeed = text.find(L'\n');
    // A text that begins with a line feed stays one piece. A line ends at its line feed, and at the carriage
    // return before it when there is one (the editors write CR LF; TOML gives a bare LF).
    while (lineFeed != std::wstring::npos && lineFeed > 0) {
        size_t length = lineFeed - start;
        if (length > 0 && text[lineFeed - 1] == L'\r') --length;
        Text(std::wstring_view(text).substr(start, length), 0, L"", markup);
        EndOfLine();
        start = lineFeed + 1;
        lineFeed = text.find(L'\n', start);
    }
    Text(std::wstring_view(text).substr(start), 0, L"", markup);
    EndParagraph(paragraphType);
}
