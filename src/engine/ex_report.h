#pragma once
// The report engine: turns a project into a finished report. One object for the whole program.

#include <optional>
#include <string>
#include <vector>

#include "cparse.h"
#include "multi_report.h"

class CtwDoc;

class ExReport : public MultiReport {
public:
    ExReport();
    ~ExReport() override;

    // Runs the project into file (after macro expansion); preview writes HTML (or Text), at most 50 rows a
    // result set, never opens it. Returns true when the report was written without an error paragraph, a
    // converter failure or a writer failure.
    bool RunAndOpen(CtwDoc& project, const std::wstring& file, int preview);

    // Expands every macro of text; fileNameMode 1 for a report file name.
    std::wstring Macros(const std::wstring& text, CtwDoc& project, const std::wstring* script, int fileNameMode);
    void ScanForComments(const std::wstring& script);
    std::wstring ResultSetName(int n) const;
    void TextWithLineFeeds(const std::wstring& text, int paragraphType, const std::wstring& attributes, int markup);
    void TOC(CtwDoc& project, int statementCount);
    void Summary(CtwDoc& project);

    // Run state shared by the operations above.
    int m_runGuard = 0;
    std::wstring m_currentReportFile;
    std::wstring m_subDocumentFolder;
    CParse m_statements;
    std::vector<std::wstring> m_statementNames;
    int m_rowCounter = -1;
    int m_resultSetNumber = 0;
    long long m_rowTotal = 0;
    unsigned m_randomState = 0;

    // The next number of the program's random generator (preview names).
    unsigned NextRandom();
};

// The one engine of the process.
ExReport& Engine();

// A preview file for project: "tw%08X" in the temporary folder, ".txt" for Text, ".html" otherwise, created so
// that no other user can plant or read it. Returns the path written (empty when it could not be made).
std::wstring RunPreview(CtwDoc& project);
