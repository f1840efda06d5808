// Whole runs on real databases and real writers, the reports read back with an HTML parser and a CSV reader.

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "engine_fakes.h"
#include "log.h"

using namespace enginetest;
using Lines = std::vector<std::string>;

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command line and returns its standard output split into lines, and its exit status.
Lines Output(const std::string& command, int* status = nullptr) {
    Lines lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    std::string text;
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, read);
    const int result = ::pclose(pipe);
    if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Python() { return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3"; }

// The report read back by the HTML parser, or by the CSV reader with the given separator.
Lines Read(const std::filesystem::path& file, const std::string& separator = "") {
    return Output(Python() + " " + Quote(std::string(TW_TEST_DATA) + "/engine/read_report.py") +
                  (separator.empty() ? " html " : " text ") + Quote(file.string()) +
                  (separator.empty() ? "" : " " + Quote(separator)));
}
Lines ReadHtml(const std::filesystem::path& file) { return Read(file); }

// The lines of the first table that starts with header.
Lines Table(const Lines& lines, const std::string& header) {
    for (size_t index = 0; index + 1 < lines.size(); ++index) {
        if (lines[index] != "T" || lines[index + 1] != header) continue;
        Lines table;
        for (size_t row = index + 1; row < lines.size() && lines[row] != "T" && lines[row].rfind("H", 0) != 0; ++row) {
            table.push_back(lines[row]);
        }
        return table;
    }
    return {};
}

bool Has(const Lines& lines, const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

}  // namespace

class SqliteRunTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        MultiReport::SetWriterFactory(nullptr);  // the real writers
        SetHost(nullptr);
        project.SetConnection(nullptr);  // Load would reuse the fake
        m_folder = folder.Path();
        std::filesystem::create_directories(m_folder / "out");
        const std::string sql =
            "CREATE TABLE items(id INTEGER, name TEXT, price REAL, born DATE, secret TEXT);"
            "INSERT INTO items VALUES (1, 'A<b>&\"c''', 1.5, '2024-01-02', 's1');"
            "INSERT INTO items VALUES (2, 'Ünïcode ✓ 漢字', NULL, NULL, 's2');"
            "INSERT INTO items VALUES (3, 'semi;colon and \"quote\"', 3, '2025-12-31', 's3');"
            "INSERT INTO items VALUES (4, 'two' || char(10) || 'lines', -7.25, '1999-09-09', 's4');"
            "CREATE TABLE many(n INTEGER);"
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 80) "
            "INSERT INTO many SELECT x FROM c;";
        int status = -1;
        Output("sqlite3 " + Quote((m_folder / "data.sqlite").string()) + " " + Quote(sql), &status);
        ASSERT_EQ(status, 0);
    }

    // Writes and loads a project on the test database.
    void LoadProject(int format, const std::string& script, const std::string& reportFile,
                     const std::string& extra = "") {
        const std::filesystem::path path = m_folder / "project.twp";
        std::ofstream(path) << "[Query]\nFormat = " << format << "\nText = '''" << script << "'''\n\n"
                            << "[Target]\nTitle = 'Items $FORMAT$'\nReportFile = '" << reportFile
                            << "'\nOpen = 0\nEncoding = 'utf-8'\n" << extra
                            << "\n[Connection]\nType = 'sqlite'\nConnection = 'data.sqlite'\n";
        ASSERT_TRUE(project.Load(path.wstring()));
        ASSERT_NE(project.Connection(), nullptr);
        ASSERT_TRUE(project.Connection()->IsConnected());
    }

    std::filesystem::path m_folder;
};

TEST_F(SqliteRunTest, HtmlReportHoldsEveryValueEscapedOnce) {
    LoadProject(RF_HTML,
                "--NAME: Items\nSELECT id, name, price, born, secret FROM items ORDER BY id;\n"
                "SELECT COUNT(*) AS n FROM items",
                "out/items_$FORMAT$.htm", "TOC = 1\n");
    ColumnProperty hide;
    hide.ColumnName = L"secret";
    hide.IsHide = true;
    project.m_columnProperties = {hide};

    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    // Relative to the project file, with the macro expanded.
    const Lines lines = ReadHtml(m_folder / "out/items_HTML.htm");
    EXPECT_TRUE(Has(lines, "H1|Items HTML"));
    const Lines items = {"id|name|price|born", "1|A<b>&\"c'|1.5|2024-01-02", "2|Ünïcode ✓ 漢字||",
                         "3|semi;colon and \"quote\"|3|2025-12-31", "4|two lines|-7.25|1999-09-09"};
    EXPECT_EQ(Table(lines, "id|name|price|born"), items);
    EXPECT_EQ(Table(lines, "n"), (Lines{"n", "4"}));
}

TEST_F(SqliteRunTest, TextReportReadsBackWithACsvReader) {
    Settings().setStr(L"TxtSeparator", L";");
    LoadProject(RF_TEXT, "SELECT id, name, price FROM items ORDER BY id", "out/items.txt");
    project.SetTitleText(std::nullopt);

    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    const Lines expected = {"id|name|price", "1|A<b>&\"c'|1.5", "2|Ünïcode ✓ 漢字|", "3|semi;colon and \"quote\"|3",
                            "4|two\\nlines|-7.25"};
    Lines records;
    for (const auto& line : Read(m_folder / "out/items.txt", ";")) {
        if (!line.empty()) records.push_back(line);
    }
    EXPECT_EQ(records, expected);
}

TEST_F(SqliteRunTest, StatementFailingAfterTheFirstResultSetIsInTheReport) {
    LoadProject(RF_HTML, "SELECT id FROM items ORDER BY id; SELECT * FROM missing", "out/failed.htm");

    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));

    const Lines lines = ReadHtml(m_folder / "out/failed.htm");
    EXPECT_EQ(Table(lines, "id"), (Lines{"id", "1", "2", "3", "4"}));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("H4|Could not execute the query: ", 0), 0u) << lines.back();
    EXPECT_NE(lines.back().find("missing"), std::string::npos);
}

TEST_F(SqliteRunTest, PreviewShowsTheFirstFiftyRows) {
    LoadProject(RF_EXCEL, "SELECT n FROM many ORDER BY n", "out/never.xml");
    project.Open = 1;

    const std::wstring preview = RunPreview(project);
    ASSERT_FALSE(preview.empty());

    const Lines table = Table(ReadHtml(tw::ToPath(preview)), "n");
    ASSERT_EQ(table.size(), 51u);
    EXPECT_EQ(table.back(), "50");
    EXPECT_FALSE(std::filesystem::exists(m_folder / "out/never.xml"));
    DeletePreview(preview);
}

TEST_F(SqliteRunTest, ConsoleRunEndsWithTheRunsStatus) {
    const std::string binary = std::string(TW_BINARY_DIR) + "/tablewright";
    if (::access(binary.c_str(), X_OK) != 0) GTEST_SKIP() << "tablewright is not built";
    LoadProject(RF_TEXT, "SELECT id FROM items ORDER BY id", "out/console.txt");
    int status = -1;
    Output(Quote(binary) + " -c " + Quote((m_folder / "project.twp").string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    Lines records = Read(m_folder / "out/console.txt", "\t");
    EXPECT_TRUE(Has(records, "4"));

    LoadProject(RF_TEXT, "SELECT id FROM items; SELECT * FROM missing", "out/console.txt");
    Output(Quote(binary) + " -c " + Quote((m_folder / "project.twp").string()) + " 2>&1", &status);
    EXPECT_EQ(status, 1);
    // Informational entries go to the log (and to standard error only on a terminal).
    EXPECT_NE(ReadBytes(CLog::FilePath()).find("Console mode: report completed."), std::string::npos);
}

TEST_F(EngineTest, PostgreSqlRunWritesEveryResultSet) {
    const char* conninfo = std::getenv("TW_TEST_PG");
    if (conninfo == nullptr || *conninfo == '\0') GTEST_SKIP() << "TW_TEST_PG is not set";
    MultiReport::SetWriterFactory(nullptr);
    SetHost(nullptr);
    auto connection = CDB::newDB(DS_POSTGRESQL);
    ASSERT_NE(connection, nullptr);
    CONN_INFO info;
    info.Type = DS_POSTGRESQL;
    info.Connection = tw::Utf8ToWide(conninfo);
    ASSERT_EQ(connection->Connect(info), DB_OK) << U8(connection->m_LastError);
    project.SetConnection(std::move(connection));
    project.Text = L"SELECT g AS id, 'x<' || g AS name FROM generate_series(1, 3) g;\n"
                   L"SELECT 'Ünïcode' AS u;\nSELECT * FROM missing_table";
    const std::filesystem::path file = folder.Path() / "pg.htm";
    project.ReportFile = file.wstring();

    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));

    const Lines lines = ReadHtml(file);
    EXPECT_EQ(Table(lines, "id|name"), (Lines{"id|name", "1|x<1", "2|x<2", "3|x<3"}));
    EXPECT_EQ(Table(lines, "u"), (Lines{"u", "Ünïcode"}));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("H4|Could not execute the query: ", 0), 0u);
}
