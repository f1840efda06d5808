#pragma once
// The report engine: turns a project into a finished report. One object for the whole program.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cparse.h"
#include "number_text.h"
#include "multi_report.h"
#include "temp_folder.h"

class CtwDoc;
class CDB;
struct ColumnProperty;
struct Converter;
struct ValueMarker;

// What one run did, for the console and the window, which read it instead of the engine's fields.
struct RunOutcome {
    enum class State { Finished, Failed, Stopped };
    State state = State::Finished;
    int resultSets = 0;
    long long rows = 0;
    std::wstring reportPath;                // the report written (empty when none was)
    double seconds = 0;
    std::vector<std::wstring> reportErrors;  // texts written into the report as error paragraphs
    std::vector<std::wstring> messages;      // texts shown as message boxes
};

class ExReport : public MultiReport {
public:
    ExReport();
    ~ExReport() override;

    // Runs the project into file (after macro expansion); preview writes HTML (or Text), at most 50 rows a
    // result set, never opens it. Returns true when the report was written without an error paragraph, a
    // converter failure or a writer failure.
    bool RunAndOpen(CtwDoc& project, const std::wstring& file, int preview);
    // Asks the run in progress to stop as soon as it can; safe to call from any thread (and from a signal
    // handler's helper thread). A run that starts later clears the request.
    void RequestStop();
    bool StopRequested() const { return m_stopRequested.load(std::memory_order_relaxed); }
    // The outcome of the last run (of the thread that ran it).
    const RunOutcome& LastOutcome() const { return m_outcome; }

    // Expands every macro of text; fileNameMode 1 for a report file name.
    std::wstring Macros(const std::wstring& text, CtwDoc& project, const std::wstring* script, int fileNameMode);
    // Collects the names of the "--NAME:" comments of script.
    void ScanForComments(const std::wstring& script);
    // The display name of result set n (from 1).
    std::wstring ResultSetName(int n) const;
    // Writes text as one paragraph, one EndOfLine per line break.
    void TextWithLineFeeds(const std::wstring& text, int paragraphType, const std::wstring& attributes, int markup);
    // The table of contents: the summary (when asked for) and one entry per statement.
    void TOC(CtwDoc& project, int statementCount);
    // The summary section: product, creation time, connection and report file.
    void Summary(CtwDoc& project);

    // Run state shared by the operations above.
    int m_runGuard = 0;
    std::wstring m_currentReportFile;
    std::wstring m_subDocumentFolder;
    CParse m_statements;
    std::vector<std::wstring> m_statementNames;
    long long m_rowCounter = -1;
    int m_resultSetNumber = 0;
    long long m_rowTotal = 0;
    unsigned m_randomState = 0;

    // The next number of the program's random generator (preview names), 0 to 32767.
    unsigned NextRandom();
    // The private folder that preview files are written into (made on first use); empty when it cannot be made.
    std::wstring PreviewFolder();

private:
    // One column of the current result set, its rules looked up once per result set.
    struct ColumnPlan {
        std::wstring name;
        const ColumnProperty* property = nullptr;
        Converter* converter = nullptr;
        ValueMarker* marker = nullptr;
        int type = 0;
        bool hidden = false;
        std::wstring propertyAttributes;  // StyleAttributes of the property
        std::wstring markerAttributes;    // StyleAttributes of the column's own marker
        // Prepared cell formats: without a marker, under the column's own marker, and under the whole-row
        // marker of each column that has one (by that column's slot in m_rowMarkerSlots; -2 until first used).
        int plainCell = -1;
        int ownMarkerCell = -1;
        std::vector<int> rowMarkerCells;
    };
    // What the steps of one run share.
    struct RunSettings {
        int format = 1;
        bool preview = false;
        bool commonHF = false;
        int hasHtml = 0;
        bool mainWindow = false;
        bool console = false;
        std::wstring script;
        std::wstring headerClass, footerClass;
    };
    enum class SetEnd { Done, ConverterFailed, FetchFailed };

    bool Run(CtwDoc& project, const std::wstring& file);
    void PrepareStyles(CtwDoc& project);
    void EnsureSubDocumentFolder();
    void WriteResults(CtwDoc& project, CDB& db);
    SetEnd WriteResultSet(CtwDoc& project, CDB& db);
    void PlanColumns(CtwDoc& project, CDB& db, int columnCount);
    bool WriteRow(int& rowMarkerColumn);
    // The prepared format of column's cells when markerOwner's marker (null: none) is active.
    int PrepareColumnCell(const ColumnPlan& column, const ColumnPlan* markerOwner);
    void WriteHeader(CtwDoc& project);
    void WriteFooter(CtwDoc& project);
    void ErrorParagraph(const std::wstring& text);
    void ReportWriterError();
    std::wstring ClassAttribute(const std::wstring& cls) const;

    RunSettings m_run;
    RunOutcome m_outcome;
    std::atomic<bool> m_stopRequested{false};
    bool m_failed = false;
    std::vector<ColumnPlan> m_columns;
    std::vector<std::wstring> m_rowValues;
    std::vector<rules::CellValue> m_rowCells;  // m_rowValues with their number readings, for the rules
    std::vector<char> m_markerHolds;
    std::vector<int> m_rowMarkerSlots;  // per column: its slot among the whole-row marker columns, or -1
    std::wstring m_convertedText;
    PrivateTempFolder m_chmFolder;
    PrivateTempFolder m_previewFolder;
};

// The one engine of the process.
ExReport& Engine();

// A preview file for project: "tw%08X" in the engine's private temporary folder, ".txt" for Text, ".html"
// otherwise, created so that no other user can plant or read it, then written by a preview run. The name is
// kept in the project for as long as it stays open. Returns the path written (empty when it could not be made).
std::wstring RunPreview(CtwDoc& project);
// Deletes a preview file made by RunPreview; false when there was none.
bool DeletePreview(const std::wstring& path);
