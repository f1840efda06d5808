#include "ex_report.h"

#include <sys/stat.h>

#include <chrono>
#include <cwchar>
#include <exception>

#include "cdb.h"
#include "ctw_doc.h"
#include "dates.h"
#include "host.h"
#include "log.h"
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

// Clears the run guard, the project's running flag and the log state on every way out of a run.
class RunScope {
public:
    RunScope(int& guard, CtwDoc& project) : m_guard(guard), m_project(project) {
        m_guard = 1;
        m_project.m_running = true;
    }
    ~RunScope() {
        m_guard = 0;
        m_project.m_running = false;
        CLog::State(nullptr);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    int& m_guard;
    CtwDoc& m_project;
};

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
    m_failed = true;
}

void ExReport::ReportWriterError() {
    const std::wstring error = ErrorText().empty() ? std::wstring(L"The report file could not be written.")
                                                   : ErrorText();
    Host().MessageBox(error, m_run.preview ? L"Preview Error" : L"Creation Error", MessageIcon::Error);
    CLog::Bug(error, {}, "ExReport", 218);
    m_failed = true;
}

void ExReport::RequestStop() {
    m_stopRequested.store(true, std::memory_order_relaxed);
}

bool ExReport::RunAndOpen(CtwDoc& project, const std::wstring& file, int preview) {
    if (m_runGuard) return false;
    RunScope scope(m_runGuard, project);
    m_stopRequested.store(false, std::memory_order_relaxed);
    m_outcome = RunOutcome{};
    m_run = RunSettings{};
    m_run.preview = preview != 0;
    m_failed = false;
    try {
        if (Run(project, file)) {
            // The finished report goes to the desktop's program only in an interactive, real run.
            if (m_run.console) {
                CLog::Info(L"Console mode: report completed.");
            } else if (!m_run.preview && project.Open && FileExists(Setup().file)) {
                Host().OpenFile(Setup().file);
            }
        }
    } catch (const std::exception& error) {
        CLog::Bug(L"The report run stopped on an unexpected error.", tw::Utf8ToWide(error.what()), "ExReport",
                  __LINE__);
        try {
            if (CDB* db = project.Connection()) db->CloseCursor(0);
            Close();
        } catch (const std::exception&) {
        }
        m_failed = true;
    }
    m_rowCounter = -1;
    m_outcome.state = m_failed ? RunOutcome::State::Failed : RunOutcome::State::Finished;
    m_outcome.resultSets = m_resultSetNumber;
    m_outcome.rows = m_rowTotal;
    return !m_failed;
}

// Steps 1 to 34 of a run; false when the writer could not open or finish the file.
bool ExReport::Run(CtwDoc& project, const std::wstring& file) {
    m_run.commonHF = Settings().getInt(L"CommonHF") != 0;
    CLog::State(L"ExReport::RunAndOpen, start");
    m_currentReportFile.clear();
    m_rowTotal = 0;
    Clear();
    m_run.console = Host().IsConsoleMode();
    m_run.mainWindow = Host().HasMainWindow();

    m_run.format = project.Format;
    if (m_run.preview && m_run.format != RF_HTML && m_run.format != RF_TEXT) m_run.format = RF_HTML;
    project.LoadValues();
    const std::wstring templ = project.StyleNo + L".htm";
    std::wstring reportPath;
    if (m_run.preview) {
        m_currentReportFile = file;
        reportPath = file;
    } else {
        m_currentReportFile = Macros(file, project, nullptr, 1);
        reportPath = m_currentReportFile.empty() ? m_currentReportFile : project.ResolvePath(m_currentReportFile);
    }
    project.ExpandEmbeddedQueries();
    AddReport(m_run.format, reportPath, templ);

    const std::optional<std::wstring> title = project.TitleText();
    AddProperty(L"%TITLE%", title ? Macros(*title, project, nullptr, 0) : std::wstring(L"Query Report"));
    AddProperty(L"%LANGUAGE%", project.Language);
    AddProperty(L"%CHARSET%", project.Encoding);
    AddProperty(L"%AUTHOR%", L"");
    AddProperty(L"%DESCRIPTION%", L"");
    SetReportOption(RO_LANDSCAPE, project.IsLandscape);
    SetColumnSeparator(Settings().getStr(L"TxtSeparator"));
    if (m_run.format == RF_CHM) EnsureSubDocumentFolder();
    PrepareStyles(project);

    CLog::State(L"ExReport::RunAndOpen, open");
    if (Open() != RE_OK) {
        ReportWriterError();
        return false;
    }

    _TimeCounter timer;
    CDB* db = project.Connection();
    bool writeStatus = true;
    if (db == nullptr || !db->IsConnected()) {
        ErrorParagraph(kNoConnection);
        if (m_run.console) CLog::Bug(L"Could not restore the database connection in the console mode");
    } else {
        m_run.hasHtml = Settings().getInt(L"HasHTML");
        timer.Start();
        std::wstring script = project.GetScript();
        const size_t last = script.find_last_not_of(L" \t\r\n");
        script.erase(last == std::wstring::npos ? 0 : last + 1);
        if (script.empty()) {
            ErrorParagraph(kEmptyScript);
            writeStatus = false;
        } else if (!CDB::isOK(db->Execute(script, 0))) {
            ErrorParagraph(L"Could not execute the query: " + db->m_LastError);
            db->CloseCursor(0);
        } else {
            m_run.script = std::move(script);
            WriteResults(project, *db);
        }
    }

    if (writeStatus && m_run.mainWindow) {
        const wchar_t* format = m_run.preview ? L"Preview created for %lld rowsets and %lld rows"
                                              : L"Report created, %lld rowsets/%lld rows";
        Host().SetStatusText(Printf(format, m_resultSetNumber, m_rowTotal));
    }
    const bool closed = Close() == RE_OK;
    if (!closed) ReportWriterError();
    timer.Stop();
    if (!m_run.preview && m_rowTotal > 10) {
        CLog::Info2(L"Done, %5.2f seconds. %d rowsets/%lld rows. %ls rows/second", timer.Seconds(), m_resultSetNumber,
                   m_rowTotal, timer.PerSecond(m_rowTotal).c_str());
    }
    return closed;
}

// Step 11: every rule style gets its name for this run, and Excel reports get their style blocks.
void ExReport::PrepareStyles(CtwDoc& project) {
    std::wstring styles;
    wchar_t name[32];
    for (size_t position = 0; position < project.m_columnProperties.size(); ++position) {
        RuleStyle& style = project.m_columnProperties[position].style;
        std::swprintf(name, std::size(name), L"Pr%zu", position);
        style.StyleName = name;
        ExcelStyle(styles, style, style.StyleName);
    }
    for (size_t position = 0; position < project.m_markers.size(); ++position) {
        RuleStyle& style = project.m_markers[position].style;
        std::swprintf(name, std::size(name), L"Mar%zu", position);
        style.StyleName = name;
        ExcelStyle(styles, style, style.StyleName);
    }
    if (!styles.empty()) SetStyles(styles);
    // An invalid expression is reported once per run, not once per program.
    for (Converter& converter : project.m_converters) BeginConverterRun(converter);
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
