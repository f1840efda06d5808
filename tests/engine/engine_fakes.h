#pragma once
// Test doubles for the engine: a writer that records every call, a database that serves fixed result sets,
// and a host that records what the run shows the user.

#include <algorithm>
#include <atomic>
#include <functional>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/test_folder.h"
#include "cdb.h"
#include "ctw_doc.h"
#include "ex_report.h"
#include "host.h"
#include "log.h"
#include "settings.h"
#include "text.h"

namespace enginetest {

// Settings and log go to a folder of the test run, never to the user's own.
inline const auto* const g_home = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

// Every writer call of the current test, as "Name(arg|arg|...)"; what Open and Close return; the setup the
// writer had when it was opened.
inline std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}
inline int g_openResult = RE_OK;
inline int g_closeResult = RE_OK;
// The writer's file fails (a full disk) once this many rows have ended; -1: never.
inline int g_failOutputAfterRows = -1;
inline ReportSetup& OpenedSetup() {
    static ReportSetup setup;
    return setup;
}

inline std::string U8(std::wstring_view text) { return tw::WideToUtf8(text); }

class RecordingWriter : public AReport {
public:
    int Open() override {
        Rec("Open");
        OpenedSetup() = m_setup;
        return g_openResult == RE_OK ? RE_OK : Fail(g_openResult, L"cannot open " + m_setup.file);
    }
    void Discard() override { Rec("Discard"); }
    int Close() override {
        Rec("Close");
        return g_closeResult == RE_OK ? RE_OK : Fail(g_closeResult, L"disk full");
    }
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override {
        Rec("Text", text, type, attributes, markup);
    }
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override {
        Rec("BeginSubDocument", folder.empty() ? L"" : L"F", file, title);
    }
    void EndSubDocument() override { Rec("EndSubDocument"); }
    void Ancor(std::wstring_view name) override { Rec("Ancor", name); }
    void EndOfLine() override { Rec("EndOfLine"); }
    void BeginStyle(int style, int size) override { Rec("BeginStyle", style, size); }
    void EndStyle(int style, int size) override { Rec("EndStyle", style, size); }
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override {
        Rec("BeginParagraph", type, attributes);
    }
    void EndParagraph(PARAGRAPH_TYPE type) override { Rec("EndParagraph", type); }
    void BeginToc() override { Rec("BeginToc"); }
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override {
        Rec("TocItem", anchor, text, level);
    }
    void EndToc() override { Rec("EndToc"); }
    void BeginTable(std::wstring_view name, std::wstring_view) override { Rec("BeginTable", name); }
    void EndTable(std::wstring_view name) override { Rec("EndTable", name); }
    void BeginRow(std::wstring_view cls, std::wstring_view, int columns) override { Rec("BeginRow", cls, columns); }
    void EndRow(std::wstring_view cls) override { Rec("EndRow", cls); }
    void BeginCell(std::wstring_view column, int header, std::wstring_view attributes) override {
        Rec("BeginCell", column, header, attributes);
    }
    void EndCell(std::wstring_view column, int header) override { Rec("EndCell", column, header); }
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) override {
        Rec("Cell", text, header, attributes);
    }
    void SetCellColor(std::wstring_view styleName) override { Rec("SetCellColor", styleName); }
    bool OutputFailed() const override {
        if (g_failOutputAfterRows < 0) return false;
        return std::ranges::count(Calls(), std::string("EndRow(row)")) >= g_failOutputAfterRows;
    }

private:
    static std::string Arg(std::wstring_view text) { return U8(text); }
    static std::string Arg(int number) { return std::to_string(number); }
    template <typename... Args>
    static void Rec(const char* name, const Args&... args) {
        std::string call;
        ((call += "|" + Arg(args)), ...);
        Calls().push_back(std::string(name) + "(" + (call.empty() ? call : call.substr(1)) + ")");
    }
};

struct FakeResultSet {
    std::vector<std::wstring> names;
    std::vector<int> types;
    std::vector<std::vector<std::wstring>> rows;
    // The rows as the bytes a UTF-8 backend reads (rows then holds their decoded text); empty: rows encoded.
    std::vector<std::vector<std::string>> bytes = {};
};

// Serves result sets from memory; the failure switches make each database error happen on purpose.
class FakeDb : public CDB {
public:
    FakeDb() { m_Connected = true; }
    int Connect(const CONN_INFO&) override { return DB_OK; }
    void Disconnect() override { m_Connected = false; }
    int Execute(const std::wstring& script, int) override {
        executed.push_back(script);
        m_set = 0;
        m_row = -1;
        if (failExecute) {
            m_LastError = L"near \"SELEC\": syntax error";
            return DB_ERROR;
        }
        return DB_OK;
    }
    int GetColumnCount(int& count, int) override {
        count = m_set < sets.size() ? static_cast<int>(sets[m_set].names.size()) : 0;
        return DB_OK;
    }
    int GetColumnName(int column, std::wstring& name) override {
        name = sets[m_set].names[static_cast<size_t>(column)];
        return DB_OK;
    }
    int GetColumnType(int column, int& type, int, int) override {
        const auto& types = sets[m_set].types;
        type = static_cast<size_t>(column) < types.size() ? types[static_cast<size_t>(column)] : TC_VARCHAR;
        return DB_OK;
    }
    int Fetch(int) override {
        if (m_set >= sets.size()) return DB_NO_DATA;
        ++m_row;
        if (onFetch) onFetch(m_set, m_row);
        if (CancelAllRequested()) return Interrupted();
        if (failFetchAtRow >= 0 && m_set == failFetchSet && m_row == failFetchAtRow) {
            m_LastError = L"database disk image is malformed";
            return DB_ERROR;
        }
        return static_cast<size_t>(m_row) < sets[m_set].rows.size() ? DB_OK : DB_NO_DATA;
    }
    int GetValue(int column, std::wstring& value, int, int, int) override {
        value = sets[m_set].rows[static_cast<size_t>(m_row)][static_cast<size_t>(column - 1)];
        return DB_OK;
    }
    bool HasUtf8Values() const override { return utf8Values; }
    int GetValueUtf8(int column, std::string& value) override {
        const FakeResultSet& set = sets[m_set];
        const auto row = static_cast<size_t>(m_row), index = static_cast<size_t>(column - 1);
        value = set.bytes.empty() ? U8(set.rows[row][index]) : set.bytes[row][index];
        return DB_OK;
    }
    int NextResultSet(int) override {
        ++nextCalls;
        if (onNext) onNext(m_set);
        if (CancelAllRequested()) return Interrupted();
        if (failNextAt >= 0 && static_cast<int>(m_set) + 1 == failNextAt) {
            m_LastError = L"no such table: missing";
            return DB_ERROR;
        }
        if (m_set + 1 >= sets.size()) return DB_NO_DATA;
        ++m_set;
        m_row = -1;
        return DB_OK;
    }
    int CloseCursor(int) override {
        ++closeCursorCalls;
        return DB_OK;
    }
    void Cancel() override { ++cancels; }

    std::vector<FakeResultSet> sets;
    bool utf8Values = false;  // the engine reads values with GetValueUtf8
    bool failExecute = false;
    int failNextAt = -1;  // NextResultSet fails when moving to this set index
    size_t failFetchSet = 0;
    int failFetchAtRow = -1;
    std::vector<std::wstring> executed;
    int nextCalls = 0;
    int closeCursorCalls = 0;
    std::atomic<int> cancels{0};
    // Called before each Fetch (set index, row index from 0) and each NextResultSet (set index left).
    std::function<void(size_t, int)> onFetch;
    std::function<void(size_t)> onNext;

private:
    // What a backend answers for a call that a cancel stopped.
    int Interrupted() {
        m_LastError = L"interrupted";
        return DB_ERROR;
    }
    size_t m_set = 0;
    int m_row = -1;
};

class RecordingHost : public IHost {
public:
    bool HasMainWindow() const override { return mainWindow; }
    bool IsConsoleMode() const override { return console; }
    void SetStatusText(std::wstring_view text) override { statusTexts.emplace_back(text); }
    void PumpMessage() override { ++pumps; }
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon) override {
        boxes.push_back(std::wstring(caption) + L": " + std::wstring(text));
    }
    void OpenFile(const std::wstring& path) override { opened.push_back(path); }

    bool mainWindow = false;
    bool console = false;
    std::vector<std::wstring> statusTexts;
    int pumps = 0;
    std::vector<std::wstring> boxes;
    std::vector<std::wstring> opened;
};

// A project on a fake database, a fresh engine, the recording writer and host.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings().ResetToDefaults();
        Calls().clear();
        g_openResult = g_closeResult = RE_OK;
        g_failOutputAfterRows = -1;
        MultiReport::SetWriterFactory([](int) -> std::unique_ptr<AReport> { return std::make_unique<RecordingWriter>(); });
        SetHost(&host);
        auto fake = std::make_unique<FakeDb>();
        db = fake.get();
        project.SetConnection(std::move(fake));
        project.SetTitleText(std::nullopt);
        project.SetHeaderText(std::nullopt);
        project.SetFooterText(std::nullopt);
        project.ReportFile = L"/nonexistent/report.htm";
        project.Open = 0;
    }
    void TearDown() override {
        MultiReport::SetWriterFactory(nullptr);
        SetHost(nullptr);
    }

    // The recorded calls from the first one named start up to the end.
    static std::vector<std::string> CallsFrom(const std::string& start) {
        auto& calls = Calls();
        for (size_t index = 0; index < calls.size(); ++index) {
            if (calls[index].rfind(start, 0) == 0) return {calls.begin() + static_cast<long>(index), calls.end()};
        }
        return {};
    }
    static bool Called(const std::string& call) { return std::ranges::find(Calls(), call) != Calls().end(); }
    static size_t CountOf(const std::string& prefix) {
        return static_cast<size_t>(std::ranges::count_if(Calls(), [&](const auto& c) { return c.starts_with(prefix); }));
    }
    // The first or last count recorded calls.
    static std::vector<std::string> Head(size_t count) { return {Calls().begin(), Calls().begin() + long(count)}; }
    static std::vector<std::string> Tail(size_t count) { return {Calls().end() - long(count), Calls().end()}; }

    TestFolder folder;
    RecordingHost host;
    CtwDoc project;
    FakeDb* db = nullptr;
    ExReport engine;
};

}  // namespace enginetest
