#pragma once
// Helpers shared by the database tests: running a script the way a report run does, and the backends to test.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cdb.h"
#include "text.h"

namespace dbtest {

struct ResultSet {
    std::vector<std::wstring> names;
    std::vector<int> types;
    std::vector<std::vector<std::wstring>> rows;
};

struct RunOutcome {
    std::vector<ResultSet> sets;
    int executeResult = DB_OK;
    int lastResult = DB_OK;  // what ended the walk: DB_NO_DATA at the end, DB_ERROR on a failure
    std::wstring error;
};

// Execute, then every result set in the order a report run asks for it, then CloseCursor.
inline RunOutcome RunScript(CDB& db, const std::wstring& script) {
    RunOutcome outcome;
    outcome.executeResult = db.Execute(script, 0);
    if (outcome.executeResult != DB_OK) {
        outcome.lastResult = outcome.executeResult;
        outcome.error = db.m_LastError;
        db.CloseCursor(0);
        return outcome;
    }
    for (;;) {
        int count = 0;
        db.GetColumnCount(count, 0);
        if (count > 0) {
            ResultSet set;
            for (int i = 0; i < count; ++i) {
                std::wstring name;
                int type = 0;
                db.GetColumnName(i, name);
                db.GetColumnType(i, type, 0, 0);
                set.names.push_back(name);
                set.types.push_back(type);
            }
            int fetched;
            std::wstring value;
            std::string bytes;
            while ((fetched = db.Fetch(0)) == DB_OK) {
                std::vector<std::wstring> row;
                for (int c = 1; c <= count; ++c) {
                    db.GetValue(c, value, 0, 0, 0);
                    // The bytes a report takes for a value no rule reads decode to the same text, on every
                    // backend and for every type.
                    EXPECT_EQ(db.GetValueUtf8(c, bytes), DB_OK);
                    EXPECT_EQ(tw::Utf8ToWide(bytes), value) << "column " << c;
                    row.push_back(value);
                }
                set.rows.push_back(std::move(row));
            }
            outcome.sets.push_back(std::move(set));
        }
        outcome.lastResult = db.NextResultSet(0);
        if (outcome.lastResult != DB_OK) break;
    }
    outcome.error = db.m_LastError;
    db.CloseCursor(0);
    return outcome;
}

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }
// An error text for a failure message (ASCII is all a failure message needs).
inline std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A fresh folder under the build tree for one test's files.
inline std::filesystem::path TempFolder(const std::string& name) {
    auto folder = std::filesystem::path(TW_BINARY_DIR) / "db_test_tmp" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// An empty SQLite database file (sqlite3 itself never creates one through CDB).
std::filesystem::path MakeSqliteFile(const std::filesystem::path& path);

}  // namespace dbtest
