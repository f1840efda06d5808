#pragma once
// Test doubles for the engine: a writer that records every call, a database that serves fixed result sets,
// and a host that records what the run shows the user.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cdb.h"
#include "ctw_doc.h"
#include "ex_report.h"
#include "host.h"
#include "log.h"
#include "settings.h"
#include "text.h"

namespace enginetest {

// Every writer call of the current test, as "Name(arg|arg|...)".
inline std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}
inline int& OpenResult() {
    static int result = RE_OK;
    return result;
}
inline int& CloseResult() {
    static int result = RE_OK;
    return result;
}

// The setup the writer had when it was opened.
inline ReportSetup& OpenedSetup() {
    static ReportSetup setup;
    return setup;
}

inline std::string U8(std::wstring_view text) { return tw::WideToUtf8(text); }

class RecordingWriter : public AReport {
public:
    int Open() override {
        Record("Open()");
        OpenedSetup() = m_setup;
        if (OpenResult() != RE_OK) return Fail(OpenResult(), L"cannot open " + m_setup.file);
        return RE_OK;
    }
    int Close() override {
        Record("Close()");
        if (CloseResult() != RE_OK) return Fail(CloseResult(), L"disk full");
        return RE_OK;
    }
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override {
        Record("Text(" + U8(text) + "|" + std::to_string(type) + "|" + U8(attributes) + "|" + std::to_string(markup) +
               ")");
    }
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override {
        Record("BeginSubDocument(" + std::string(folder.empty() ? "" : "F") + "|" + U8(file) + "|" + U8(title) + ")");
    }
    void EndSubDocument() override { Record("EndSubDocument()"); }
    void Ancor(std::wstring_view name) override { Record("Ancor(" + U8(name) + ")"); }
    void EndOfLine() override { Record("EndOfLine()"); }
    void BeginStyle(int style, int size) override {
        Record("BeginStyle(" + std::to_string(style) + "|" + std::to_string(size) + ")");
    }
    void EndStyle(int style, int size) override {
        Record("EndStyle(" + std::to_string(style) + "|" + std::to_string(size) + ")");
    }
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override {
        Record("BeginParagraph(" + std::to_string(type) + "|" + U8(attributes) + ")");
    }
    void EndParagraph(PARAGRAPH_TYPE type) override { Record("EndParagraph(" + std::to_string(type) + ")"); }
    void BeginToc() override { Record("BeginToc()"); }
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override {
        Record("TocItem(" + U8(anchor) + "|" + U8(text) + "|" + std::to_string(level) + ")");
    }
    void EndToc() override { Record("EndToc()"); }
    void BeginTable(std::wstring_view name, std::wstring_view) override { Record("BeginTable(" + U8(name) + ")"); }
    void EndTable(std::wstring_view name) override { Record("EndTable(" + U8(name) + ")"); }
    void BeginRow(std::wstring_view cls, std::wstring_view, int columns) override {
        Record("BeginRow(" + U8(cls) + "|" + std::to_string(columns) + ")");
    }
    void EndRow(std::wstring_view cls) override { Record("EndRow(" + U8(cls) + ")"); }
    void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) override {
        Record("BeginCell(" + U8(columnName) + "|" + std::to_string(header) + "|" + U8(attributes) + ")");
    }
    void EndCell(std::wstring_view columnName, int header) override {
        Record("EndCell(" + U8(columnName) + "|" + std::to_string(header) + ")");
    }
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) override {
        Record("Cell(" + U8(text) + "|" + std::to_string(header) + "|" + U8(attributes) + ")");
    }
    void SetCellColor(std::wstring_view styleName) override { Record("SetCellColor(" + U8(styleName) + ")"); }

private:
    static void Record(std::string call) { Calls().push_back(std::move(call)); }
};

struct FakeResultSet {
    std::vector<std::wstring> names;
    std::vector<int> types;
    std::vector<std::vector<std::wstring>> rows;
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
    int NextResultSet(int) override {
        ++nextCalls;
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

    std::vector<FakeResultSet> sets;
    bool failExecute = false;
    int failNextAt = -1;  // NextResultSet fails when moving to this set index
    size_t failFetchSet = 0;
    int failFetchAtRow = -1;
    std::vector<std::wstring> executed;
    int nextCalls = 0;
    int closeCursorCalls = 0;

private:
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

// Settings and log go to a folder of the test run, never to the user's own; the folder goes at exit. The path is
// kept in a plain array too, because the exit handler runs after function-local statics are destroyed.
inline char g_testHomePath[4096];

inline const std::filesystem::path& TestHome() {
    static const std::filesystem::path home = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tw-engine-test-XXXXXX").string();
        if (pattern.size() >= sizeof g_testHomePath || ::mkdtemp(pattern.data()) == nullptr) {
            return std::filesystem::temp_directory_path();
        }
        ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
        ::setenv("XDG_STATE_HOME", pattern.c_str(), 1);
        pattern.copy(g_testHomePath, pattern.size());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(g_testHomePath, ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return home;
}

struct TestHomeFirst {
    TestHomeFirst() { TestHome(); }
};

// A project on a fake database, a fresh engine, the recording writer and host.
class EngineTest : public ::testing::Test, private TestHomeFirst {
protected:
    void SetUp() override {
        TestHome();
        Settings().ResetToDefaults();
        Calls().clear();
        OpenResult() = RE_OK;
        CloseResult() = RE_OK;
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
    static bool Called(const std::string& call) {
        for (const auto& recorded : Calls()) {
            if (recorded == call) return true;
        }
        return false;
    }
    static size_t CountOf(const std::string& prefix) {
        size_t count = 0;
        for (const auto& recorded : Calls()) count += recorded.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    RecordingHost host;
    CtwDoc project;
    FakeDb* db = nullptr;
    ExReport engine;
};

}  // namespace enginetest
