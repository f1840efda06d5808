// Fetch speed and memory of the database backends: a table of 8 mixed columns read through CDB, every value
// through GetValue, as a report run does. SQLite always; PostgreSQL when TW_TEST_PG is set (tests/services.sh).
// Each row count runs in a child process so that its peak RSS is its own.
//   db_bench [rows...]   (default: 100000 1000000)

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cdb.h"

namespace {

const wchar_t* kCreate =
    L"CREATE TABLE IF NOT EXISTS bench_rows (id INTEGER, amount DOUBLE PRECISION, price DECIMAL(12,2), name "
    L"VARCHAR(40), created DATE, stamp TIMESTAMP, flag BOOLEAN, note VARCHAR(80))";

std::wstring FillScript(long rows) {
    return L"DELETE FROM bench_rows;"
           L"INSERT INTO bench_rows WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
           std::to_wstring(rows) +
           L") SELECT x, x * 1.25, 12.5, 'name ' || x, '2024-02-29', '2024-02-29 13:45:30.25', x % 2 = 0, "
           L"CASE WHEN x % 10 = 0 THEN NULL ELSE 'Grüße, a note of middling length' END FROM n";
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Connects, fills the table and reads it back; prints one line.
int Measure(const char* label, DS_TYPE type, const std::wstring& connection, long rows) {
    auto db = CDB::newDB(type);
    if (db->Connect(CONN_INFO{type, connection, {}}) != DB_OK) {
        std::fprintf(stderr, "%s: %ls\n", label, db->m_LastError.c_str());
        return 1;
    }
    if (db->Execute(kCreate, 0) != DB_OK || (db->CloseCursor(0), db->Execute(FillScript(rows), 0)) != DB_OK) {
        std::fprintf(stderr, "%s: %ls\n", label, db->m_LastError.c_str());
        return 1;
    }
    db->CloseCursor(0);
    const long rssBefore = PeakRssKb();

    const auto started = std::chrono::steady_clock::now();
    if (db->Execute(L"SELECT * FROM bench_rows", 0) != DB_OK) {
        std::fprintf(stderr, "%s: %ls\n", label, db->m_LastError.c_str());
        return 1;
    }
    int columns = 0;
    db->GetColumnCount(columns, 0);
    std::wstring value;
    long fetched = 0, characters = 0;
    while (db->Fetch(0) == DB_OK) {
        for (int column = 1; column <= columns; ++column) {
            db->GetValue(column, value, 0, 0, 0);
            characters += static_cast<long>(value.size());
        }
        ++fetched;
    }
    const bool failed = db->NextResultSet(0) == DB_ERROR;
    db->CloseCursor(0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%-11s %9ld rows  %10.0f rows/s  %6.2f s  peak RSS %6ld KiB (%ld KiB before the fetch)%s\n", label,
                fetched, static_cast<double>(fetched) / seconds, seconds, PeakRssKb(), rssBefore,
                failed || fetched != rows ? "  FAILED" : "");
    (void)characters;
    return failed || fetched != rows ? 1 : 0;
}

int InChild(const char* label, DS_TYPE type, const std::wstring& connection, long rows) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const int result = Measure(label, type, connection, rows);
        std::fflush(stdout);
        std::_Exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atol(argv[i]));
    if (counts.empty()) counts = {100000, 1000000};

    const auto file = std::filesystem::temp_directory_path() / ("tw_db_bench_" + std::to_string(getpid()) + ".sqlite");
    {
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_close(db);
    }
    int failures = 0;
    for (long rows : counts) failures += InChild("SQLite", DS_SQLITE, file.wstring(), rows);
    std::filesystem::remove(file);

    if (const char* pg = std::getenv("TW_TEST_PG"); pg && *pg) {
        const std::string text(pg);
        for (long rows : counts) failures += InChild("PostgreSQL", DS_POSTGRESQL, std::wstring(text.begin(), text.end()), rows);
    } else {
        std::printf("PostgreSQL  skipped (TW_TEST_PG is not set; tests/services.sh start)\n");
    }
    return failures == 0 ? 0 : 1;
}
