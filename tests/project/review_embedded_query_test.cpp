// Embedded queries: which database calls each outcome makes, and what the braced part becomes.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ctw_doc.h"
#include "settings.h"

namespace {

// A connection whose steps succeed or fail on request and that records the calls made on it.
class ScriptedDb : public CDB {
  public:
    ScriptedDb() { m_Connected = true; }
    int Connect(const CONN_INFO&) override { return DB_OK; }
    void Disconnect() override {}
    int Execute(const std::wstring& query, int) override {
        calls.push_back("Execute(" + std::string(query.begin(), query.end()) + ")");
        return executeOk ? DB_OK : DB_ERROR;
    }
    int GetColumnCount(int& count, int) override {
        count = 1;
        return DB_OK;
    }
    int GetColumnName(int, std::wstring& name) override {
        name = L"n";
        return DB_OK;
    }
    int GetColumnType(int, int& type, int, int) override {
        type = 12;
        return DB_OK;
    }
    int Fetch(int) override {
        calls.push_back("Fetch");
        return fetchOk ? DB_OK : DB_NO_DATA;
    }
    int GetValue(int column, std::wstring& value, int, int, int) override {
        calls.push_back("GetValue(" + std::to_string(column) + ")");
        value = L"42";
        return getValueOk ? DB_OK : DB_ERROR;
    }
    int NextResultSet(int) override { return DB_NO_DATA; }
    int CloseCursor(int) override {
        calls.push_back("CloseCursor");
        return DB_OK;
    }

    bool executeOk = true, fetchOk = true, getValueOk = true;
    std::vector<std::string> calls;
};

TEST(ReviewEmbeddedQuery, CursorIsClosedOnlyAfterASuccessfulExecute) {
    struct Case {
        const char* name;
        bool executeOk, fetchOk, getValueOk;
        std::wstring expanded;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"all succeed",
         true,
         true,
         true,
         L"Count: 42 rows",
         {"Execute(SELECT 42)", "Fetch", "GetValue(1)", "CloseCursor"}},
        {"no row", true, false, true, L"Count:  rows", {"Execute(SELECT 42)", "Fetch", "CloseCursor"}},
        {"value fails",
         true,
         true,
         false,
         L"Count:  rows",
         {"Execute(SELECT 42)", "Fetch", "GetValue(1)", "CloseCursor"}},
        {"execute fails", false, true, true, L"Count:  rows", {"Execute(SELECT 42)"}},
    };
    Settings().ResetToDefaults();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CtwDoc doc;
        doc.SetTitleText(L"Count: {{SELECT 42}} rows");
        doc.SetHeaderText(L"");
        doc.SetFooterText(L"");
        auto db = std::make_unique<ScriptedDb>();
        ScriptedDb& scripted = *db;
        scripted.executeOk = c.executeOk;
        scripted.fetchOk = c.fetchOk;
        scripted.getValueOk = c.getValueOk;
        doc.SetConnection(std::move(db));
        doc.ExpandEmbeddedQueries();
        EXPECT_EQ(doc.m_expandedTitle, c.expanded);
        EXPECT_EQ(scripted.calls, c.calls);
    }
}

}  // namespace
