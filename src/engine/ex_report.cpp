#include "ex_report.h"

#include <sys/stat.h>

#include <chrono>
#include <cwchar>
#include <exception>
#include <memory>

#include "cdb.h"
#include "ctw_doc.h"
#include "dates.h"
#include "host.h"
#include "log.h"
#include "report_target.h"
#include "rule_style.h"
#include "settings.h"
#include "text.h"

namespace {

const wchar_t* const kNoConnection = L"Report is not ready yet. The database connection is not established.";
const wchar_t* const kEmptyScript = L"Report is not ready yet. SQL script or statement is empty.";
constexpr int kErrorParagraph = 4;

std::wstring Printf(const wchar_t* format, long long a, long long b) {
    wchar_t buffer[160];
    std::swprintf(buffer, std::size(buffer), format, a, b);
    return buffer;
}

bool FileExists(const std::wstring& path) {
    struct stat info {};
    return !path.empty() && ::stat(tw::WideToUtf8(path).c_str(), &info) == 0;
}

std::wstring TrimEnd(std::wstring text) {
    const size_t last = text.find_last_not_of(L" \t\r\n");
    text.erase(last == std::wstring::npos ? 0 : last + 1);
    return text;
}

}  // namespace

ExReport::ExReport() {
    // Seeded from the clock when the program starts: preview names differ from one start to the next.
    const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    m_randomState = static_cast<unsigned>(ticks.count());
}

ExReport::~ExReport() = default;

unsigned ExReport::NextRandom() {
    m_randomState = m_randomState * 214013u + 2531011u;
    return (m_randomState >> 16) & 0x7fffu;
}

ExReport& Engine() {
    static ExReport engine;
    return engine;
}

std::wstring ExReport::ClassAttribute(const std::wstring& cls) const {
    return cls.empty() ? std::wstring() : L"class=\"" + cls + L"\"";
}

void ExReport::ErrorParagraph(const std::wstring& text) {
    Text(text, kErrorParagraph, L"", 0);
    m_outcome.reportErrors.push_back(text);
    m_failed = true;
}

void ExReport::ShowMessage(const std::wstring& text, const wchar_t* caption) {
    Host().MessageBox(text, caption, MessageIcon::Error);
    m_outcome.messages.push_back(text);
}

void ExReport::ReportWriterError() {
    const std::wstring error = ErrorText().empty() ? std::wstring(L"The report file could not be written.")
                                                   : ErrorText();
    ShowMessage(error, m_plan->preview ? L"Preview Error" : L"Creation Error");
    CLog::Bug(error, {}, "ExReport", 218);
    m_failed = true;
}

void ExReport::RequestStop() {
    std::lock_guard lock(m_activeMutex);
    m_stopRequested.store(true);
    // Only while the run uses the connection: before and after, the project may be disconnecting or gone.
    if (m_activeConnection != nullptr) m_activeConnection->CancelAll();
}

void ExReport::SetActiveConnection(CDB* db) {
    std::lock_guard lock(m_activeMutex);
    m_activeConnection = db;
    // A stop requested before the run took the connection must still reach the first statement.
    if (db != nullptr && m_stopRequested.load()) db->CancelAll();
}

bool ExReport::RunAndOpen(CtwDoc& project, const std::wstring& file, int preview) {
    if (!PrepareRun(project, file, preview)) return false;
    const bool written = ExecuteRun();
    FinishRun(project);
    return written;
}

bool ExReport::PrepareRun(CtwDoc& project, const std::wstring& file, int preview) {
    if (m_plan) return false;
    m_stopRequested.store(false);
    auto plan = std::make_unique<RunPlan>();
    plan->preview = preview != 0;
    plan->file = file;
    project.LoadValues();
    TakeMacroFacts(project, *plan);
    if (plan->preview && plan->format != RF_HTML && plan->format != RF_TEXT) plan->format = RF_HTML;
    plan->templ = project.StyleNo + L".htm";
    plan->language = project.Language;
    plan->encoding = project.Encoding;
    plan->landscape = project.IsLandscape != 0;
    plan->summary = project.Summary != 0;
    plan->toc = project.TOC != 0;
    plan->open = project.Open != 0;
    plan->script = TrimEnd(project.ReadScript(plan->scriptError));
    plan->columnProperties = project.m_columnProperties;
    plan->markers = project.m_markers;
    plan->converters = project.m_converters;
    _Settings& settings = Settings();
    plan->commonHF = settings.getInt(L"CommonHF") != 0;
    plan->hasHtml = settings.getInt(L"HasHTML");
    plan->separator = settings.getStr(L"TxtSeparator");
    plan->console = Host().IsConsoleMode();
    plan->mainWindow = Host().HasMainWindow();
    plan->connection = project.Connection();
    project.m_running = true;
    m_plan = std::move(plan);
    return true;
}

bool ExReport::ExecuteRun() {
    if (!m_plan || m_executing) return false;
    m_executing = true;
    m_outcome = RunOutcome{};
    m_failed = false;
    const auto started = std::chrono::steady_clock::now();
    CDB* db = m_plan->connection;
    SetActiveConnection(db);
    RunEnd end = RunEnd::WriterFailed;
    try {
        end = Run();
    } catch (const std::exception& error) {
        CLog::Bug(L"The report run stopped on an unexpected error.", tw::Utf8ToWide(error.what()), "ExReport",
                  __LINE__);
        try {
            if (db) db->CloseCursor(0);
            Discard();  // an unfinished report never replaces the previous one
        } catch (const std::exception&) {
        }
        m_failed = true;
    }
    // From here on a stop request leaves the connection alone; the cancel it may have left is lifted.
    SetActiveConnection(nullptr);
    if (db) db->ResetCancel();
    m_rowCounter = -1;
    if (end == RunEnd::Stopped) {
        CLog::Bug(L"Report run stopped by the user.");
        m_outcome.state = RunOutcome::State::Stopped;
    } else {
        m_outcome.state = m_failed ? RunOutcome::State::Failed : RunOutcome::State::Finished;
        if (end == RunEnd::Closed) {
            m_outcome.reportPath = Setup().file;
            if (m_plan->console) CLog::Info(L"Console mode: report completed.");
        }
    }
    m_outcome.rows = m_rowTotal;
    m_outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    CLog::State(nullptr);
    m_executing = false;
    return m_outcome.state == RunOutcome::State::Finished;
}

const RunOutcome& ExReport::FinishRun(CtwDoc& project) {
    if (!m_plan || m_executing) return m_outcome;
    std::unique_ptr<RunPlan> plan = std::move(m_plan);
    project.m_running = false;
    // A run that wrote no result set leaves the project's names of the last one as they were.
    if (m_outcome.resultSets >= 1) project.m_resultColumns = std::move(plan->resultColumns);
    // The finished report goes to the desktop's program only in an interactive, real run.
    // (also one that holds an error paragraph: the reader sees the reason there).
    if (!m_outcome.reportPath.empty() && !plan->console && !plan->preview && plan->open &&
        FileExists(m_outcome.reportPath)) {
        Host().OpenFile(m_outcome.reportPath);
    }
    return m_outcome;
}

std::optional<std::wstring> ExReport::PrintedText(const RunText& text) {
    if (!text.text || !text.ownText) return text.text;
    std::wstring expanded = ExpandEmbeddedQuery(m_plan->connection, *text.text);
    return expanded.empty() ? *text.text : expanded;
}

// Steps 1 to 34 of a run.
ExReport::RunEnd ExReport::Run() {
    const RunPlan& plan = *m_plan;
    CLog::State(L"ExReport::RunAndOpen, start");
    m_currentReportFile.clear();
    m_rowTotal = 0;
    Clear();

    std::wstring reportPath;
    if (plan.preview) {
        m_currentReportFile = plan.file;
        reportPath = plan.file;
    } else {
        m_currentReportFile = Macros(plan.file, nullptr, 1);
        reportPath = m_currentReportFile.empty() ? m_currentReportFile : plan.ResolvePath(m_currentReportFile);
    }
    m_title = PrintedText(plan.title);
    m_header = PrintedText(plan.header);
    m_footer = PrintedText(plan.footer);
    if (StopRequested()) return RunEnd::Stopped;
    AddReport(plan.format, reportPath, plan.templ);

    AddProperty(L"%TITLE%", m_title ? Macros(*m_title, nullptr, 0) : std::wstring(L"Query Report"));
    AddProperty(L"%LANGUAGE%", plan.language);
    AddProperty(L"%CHARSET%", plan.encoding);
    AddProperty(L"%AUTHOR%", L"");
    AddProperty(L"%DESCRIPTION%", L"");
    SetReportOption(RO_LANDSCAPE, plan.landscape);
    SetColumnSeparator(plan.separator);
    m_setup.stop = &m_stopRequested;  // a long CHM compile polls it
    if (plan.format == RF_CHM) EnsureSubDocumentFolder();
    PrepareStyles();

    CLog::State(L"ExReport::RunAndOpen, open");
    RefuseOpen(ReportTargetClash(plan.inputs, reportPath));  // never over a file this run reads
    if (Open() != RE_OK) {
        ReportWriterError();
        return RunEnd::WriterFailed;
    }

    _TimeCounter timer;
    CDB* db = plan.connection;
    bool writeStatus = true;
    if (db == nullptr || !db->IsConnected()) {
        ErrorParagraph(kNoConnection);
        if (plan.console) CLog::Bug(L"Could not restore the database connection in the console mode");
    } else {
        timer.Start();
        if (!plan.scriptError.empty()) ShowMessage(plan.scriptError, L"Error");
        if (plan.script.empty()) {
            ErrorParagraph(kEmptyScript);
            writeStatus = false;
        } else {
            ExecuteScript(*db);
        }
    }
    if (StopRequested()) {
        Discard();
        return RunEnd::Stopped;
    }

    if (writeStatus && plan.mainWindow) {
        const wchar_t* format = plan.preview ? L"Preview created for %lld rowsets and %lld rows"
                                             : L"Report created, %lld rowsets/%lld rows";
        Host().SetStatusText(Printf(format, m_resultSetNumber, m_rowTotal));
    }
    const bool closed = Close() == RE_OK;
    timer.Stop();
    if (!closed) {
        // A CHM compile ended by the stop request fails its Close; that is a stop, not a writer failure.
        if (StopRequested()) {
            Discard();
            return RunEnd::Stopped;
        }
        ReportWriterError();
    }
    if (!plan.preview && m_rowTotal > 10) {
        CLog::Info2(L"Done, %5.2f seconds. %d rowsets/%lld rows. %ls rows/second", timer.Seconds(), m_resultSetNumber,
                   m_rowTotal, timer.PerSecond(m_rowTotal).c_str());
    }
    return closed ? RunEnd::Closed : RunEnd::WriterFailed;
}

void ExReport::ExecuteScript(CDB& db) {
    if (StopRequested()) return;
    if (!CDB::isOK(db.Execute(m_plan->script, 0))) {
        if (!StopRequested()) ErrorParagraph(L"Could not execute the query: " + db.m_LastError);
        db.CloseCursor(0);
        return;
    }
    WriteResults(db);
}

// Step 11: every rule style gets its name for this run, and Excel reports get their style blocks.
void ExReport::PrepareStyles() {
    std::wstring styles;
    wchar_t name[32];
    for (size_t position = 0; position < m_plan->columnProperties.size(); ++position) {
        RuleStyle& style = m_plan->columnProperties[position].style;
        std::swprintf(name, std::size(name), L"Pr%zu", position);
        style.StyleName = name;
        ExcelStyle(styles, style, style.StyleName);
    }
    for (size_t position = 0; position < m_plan->markers.size(); ++position) {
        RuleStyle& style = m_plan->markers[position].style;
        std::swprintf(name, std::size(name), L"Mar%zu", position);
        style.StyleName = name;
        ExcelStyle(styles, style, style.StyleName);
    }
    if (!styles.empty()) SetStyles(styles);
    // An invalid expression is reported once per run, not once per program.
    for (Converter& converter : m_plan->converters) BeginConverterRun(converter);
}

// Step 10: CHM parts go to a folder of this process only, made once and removed when the program ends.
void ExReport::EnsureSubDocumentFolder() {
    if (!m_chmFolder.EnsureExists("tw20")) {
        CLog::Bug(L"Could not create the folder for the report parts in the temporary folder.",
                  tw::Utf8ToWide(TemporaryDirectory()), "ExReport", __LINE__);
        m_subDocumentFolder.clear();
        return;
    }
    m_subDocumentFolder = tw::Utf8ToWide(m_chmFolder.Path()) + L"/";
}

std::wstring ExReport::PreviewFolder() {
    if (!m_previewFolder.EnsureExists("tw20p")) return {};
    return tw::Utf8ToWide(m_previewFolder.Path());
}
