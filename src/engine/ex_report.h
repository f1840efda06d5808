#pragma once
// The report engine: turns a project into a finished report. One object for the whole program.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cparse.h"
#include "number_text.h"
#include "multi_report.h"
#include "run_plan.h"
#include "temp_folder.h"

class CtwDoc;
class CDB;

// What one run did, for the console and the window, which read it instead of the engine's fields.
struct RunOutcome {
    // Finished: the report was written without an error paragraph, converter or writer failure (RunAndOpen's
    // true). Failed: anything else that ended the run by itself. Stopped: RequestStop ended it.
    enum class State { Finished, Failed, Stopped };
    State state = State::Finished;
    int resultSets = 0;                     // result sets written
    long long rows = 0;                     // body rows written, all result sets together
    std::wstring reportPath;                // the report written (empty when none was)
    double seconds = 0;                     // from the start of the execute step to its end
    std::vector<std::wstring> reportErrors;  // texts written into the report as error paragraphs
    std::vector<std::wstring> messages;      // texts shown as message boxes
};

// The report engine. One run at a time; a run has three steps with a thread contract:
//   PrepareRun   on the thread that owns the project (the window's UI thread): copies everything the run reads
//                from the project into the run's own plan and borrows the project's connection.
//   ExecuteRun   on any one thread (a worker): writes the report. It touches neither the project nor its rule
//                lists, only the borrowed connection, the writer, the log and the host (status texts, message
//                boxes and PumpMessage, which a window host must pass to its own thread or ignore off it).
//   FinishRun    on the thread that prepared, after ExecuteRun has returned (join the worker or wait for its
//                signal): hands back what the project keeps from a run (the result column names), clears its
//                running flag and opens the finished report when the project asks so.
// Between PrepareRun and FinishRun the project may be edited freely, even its rule lists destroyed, but its
// connection object must stay (not be replaced, disconnected or destroyed). RunAndOpen does all three steps on
// the calling thread. RequestStop and StopRequested are safe from any thread at any time.
class ExReport : public MultiReport {
public:
    ExReport();
    ~ExReport() override;

    // Runs the project into file (after macro expansion); preview writes HTML (or Text), at most 50 rows a
    // result set, never opens it. Returns true when the report was written without an error paragraph, a
    // converter failure or a writer failure (false too when the run was stopped or another run is going on).
    bool RunAndOpen(CtwDoc& project, const std::wstring& file, int preview);
    // Step 1: false (nothing done) when a run is already prepared and not finished. Clears an earlier stop
    // request and marks the project running.
    bool PrepareRun(CtwDoc& project, const std::wstring& file, int preview);
    // Step 2: the return value of RunAndOpen; false when no run is prepared.
    bool ExecuteRun();
    // Step 3: the outcome of the run; the project must be the one given to PrepareRun. Does nothing (returns
    // the last outcome) when no run was prepared.
    const RunOutcome& FinishRun(CtwDoc& project);
    // True from PrepareRun until FinishRun.
    bool RunPrepared() const { return m_plan != nullptr; }

    // Asks the run in progress to stop as soon as it can: the flag is checked between rows and statements, and
    // the statement running on the borrowed connection is cancelled (for MySQL this opens a second connection,
    // so the call can take as long as a connect). A stopped run throws its partial report away (the old report
    // stays), logs "Report run stopped by the user." and its outcome is Stopped. A run prepared later clears
    // the request.
    void RequestStop();
    bool StopRequested() const { return m_stopRequested.load(std::memory_order_relaxed); }
    // The outcome of the last finished run (read it on the thread that finished it).
    const RunOutcome& LastOutcome() const { return m_outcome; }

    // Expands every macro of text for project; fileNameMode 1 for a report file name.
    std::wstring Macros(const std::wstring& text, CtwDoc& project, const std::wstring* script, int fileNameMode);
    // Collects the names of the "--NAME:" comments of script.
    void ScanForComments(const std::wstring& script);
    // The display name of result set n (from 1).
    std::wstring ResultSetName(int n) const;
    // Writes text as one paragraph, one EndOfLine per line break.
    void TextWithLineFeeds(const std::wstring& text, int paragraphType, const std::wstring& attributes, int markup);

    // Run state shared by the operations above.
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
    // One column of the current result set, its rules (in the plan) looked up once per result set.
    struct ColumnPlan {
        std::wstring name;
        const ColumnProperty* property = nullptr;
        Converter* converter = nullptr;
        ValueMarker* marker = nullptr;
        int type = 0;
        bool hidden = false;
        // No converter changes the value: it goes to the writer as it was read.
        bool keepsValue = true;
        // The converter works on the value's UTF-8 bytes (when the backend reads them) without decoding them.
        bool convertsBytes = false;
        std::wstring propertyAttributes;  // StyleAttributes of the property
        std::wstring markerAttributes;    // StyleAttributes of the column's own marker
        // Prepared cell formats: without a marker, under the column's own marker, and under the whole-row
        // marker of each column that has one (by that column's slot in m_rowMarkerSlots; -2 until first used).
        int plainCell = -1;
        int ownMarkerCell = -1;
        std::vector<int> rowMarkerCells;
    };
    enum class SetEnd { Done, ConverterFailed, FetchFailed, WriteFailed, Stopped };
    // How Run ended: the report finished (with or without error paragraphs), the writer failed, or a stop.
    enum class RunEnd { Closed, WriterFailed, Stopped };

    RunEnd Run();
    std::wstring Macros(const std::wstring& text, const std::wstring* script, int fileNameMode);
    std::wstring ExpandMacros(const RunPlan& plan, const std::wstring& text, const std::wstring* script,
                              int fileNameMode);
    // The text as printed: its {{query}} run on the borrowed connection when it is the project's own.
    std::optional<std::wstring> PrintedText(const RunText& text);
    void TOC(int statementCount);
    void Summary();
    void PrepareStyles();
    void EnsureSubDocumentFolder();
    // Runs the script on db (step 16 on); false when the run was stopped.
    void ExecuteScript(CDB& db);
    void WriteResults(CDB& db);
    SetEnd WriteResultSet(CDB& db);
    void PlanColumns(CDB& db, int columnCount);
    bool WriteRow(int& rowMarkerColumn);
    // The prepared format of column's cells when markerOwner's marker (null: none) is active.
    int PrepareColumnCell(const ColumnPlan& column, const ColumnPlan* markerOwner);
    void WriteHeader();
    void WriteFooter();
    void ErrorParagraph(const std::wstring& text);
    void ShowMessage(const std::wstring& text, const wchar_t* caption);
    void ReportWriterError();
    std::wstring ClassAttribute(const std::wstring& cls) const;
    // Lends db to RequestStop for the length of the execute step (null: the run no longer uses it).
    void SetActiveConnection(CDB* db);

    std::unique_ptr<RunPlan> m_plan;
    RunOutcome m_outcome;
    std::atomic<bool> m_stopRequested{false};
    std::mutex m_activeMutex;     // guards m_activeConnection against RequestStop on another thread
    CDB* m_activeConnection = nullptr;
    std::atomic<bool> m_executing{false};
    bool m_failed = false;
    std::wstring m_expandedTitle, m_expandedHeader, m_expandedFooter;
    std::optional<std::wstring> m_title, m_header, m_footer;
    std::wstring m_headerClass, m_footerClass;
    std::vector<ColumnPlan> m_columns;
    // The backend's values arrive as UTF-8: every value is read as bytes into m_rowBytes and decoded into
    // m_rowValues only when a rule needs its text. Otherwise values are read as text into m_rowValues.
    bool m_readsBytes = false;
    std::vector<std::wstring> m_rowValues;
    std::vector<std::string> m_rowBytes;
    std::vector<rules::CellValue> m_rowCells;  // the row's values with their number readings, for the rules
    std::string m_convertedBytes;
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
// The preview file of project made afresh and empty, for a preview run on another thread (the window's); empty
// when it could not be made.
std::wstring PreparePreviewFile(CtwDoc& project);
// Deletes a preview file made by RunPreview; false when there was none.
bool DeletePreview(const std::wstring& path);
