// The project model: new-project values, setters and the modified flag, printed texts, script and embedded
// queries.

#include "ctw_doc.h"

#include <functional>
#include <memory>
#include <vector>

#include "../support/box_host.h"
#include "../support/test_folder.h"
#include "settings.h"

namespace {

class CtwDocTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings().ResetToDefaults();
        SetHost(&m_host);
    }
    void TearDown() override {
        SetHost(nullptr);
        Settings().ResetToDefaults();
    }
    BoxHost m_host;
    TestFolder m_folder;
};

TEST_F(CtwDocTest, NewProjectTakesItsDefaultsFromTheSettings) {
    Settings().setStr(L"DefHeader", L"Header default");
    Settings().setStr(L"HtmlCharset", L"utf-8");
    CtwDoc doc;
    EXPECT_EQ(doc.FormatName(), L"HTML");
    EXPECT_EQ(FormatNameOf(7), L"Excel workbook");
    EXPECT_EQ(FormatExtensionOf(7), L".xlsx");
    EXPECT_EQ(FormatNameOf(8), L"");  // $FORMAT$ expands to nothing
    EXPECT_EQ(FormatExtensionOf(-1), L"");
    EXPECT_EQ(doc.Open, 1);
    EXPECT_EQ(doc.Header, L"Header default");
    EXPECT_EQ(doc.Encoding, L"utf-8");
    EXPECT_TRUE(doc.IsTitleOn() && doc.IsHeaderOn() && doc.IsFooterOn());
    EXPECT_EQ(doc.Connection(), nullptr);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(CtwDocTest, ScriptTextIgnoresOnlyAddedTrailingLineEnds) {
    struct Case {
        const wchar_t* stored;
        const wchar_t* given;
        bool changes;
    };
    const Case cases[] = {
        {L"SELECT 1", L"SELECT 1", false},
        {L"SELECT 1", L"SELECT 1\n", false},
        {L"SELECT 1", L"SELECT 1\r\n\r\n", false},
        {L"SELECT 1\r\n", L"SELECT 1", true},  // line ends removed do count
        {L"SELECT 1\r\n", L"SELECT 1\r\n\n", true},
        {L"SELECT 1", L"SELECT 1 \n", true},
        {L"", L"\r\n", false},
        {L"x", L"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(&c - cases));
        CtwDoc doc;
        doc.Text = c.stored;
        doc.SetScriptText(c.given);
        EXPECT_EQ(doc.IsModified(), c.changes);
        EXPECT_EQ(doc.Text, c.changes ? c.given : c.stored);
    }
}

TEST_F(CtwDocTest, SettersMarkModifiedOnlyOnChange) {
    CtwDoc doc;
    int notified = 0;
    doc.m_onModifiedChanged = [&] { ++notified; };
    doc.SetQueryFile(L"");
    doc.SetValuesFile(L"");
    doc.SetHeaderClass(L"");
    doc.SetTitleText(doc.Title);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(notified, 0);
    doc.SetFooterClass(L"f");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.FooterClass, L"f");
    doc.SetHeaderClass(L"h");  // already modified: no second notification
    EXPECT_EQ(notified, 1);

    // Switching a text off keeps it for switching on again; switching it off twice is no change.
    doc.SetTitleText(L"Sales");
    doc.SetModified(false);
    doc.SetTitleText(std::nullopt);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.TitleText().has_value());
    EXPECT_EQ(doc.Title, L"Sales");
    doc.SetModified(false);
    doc.SetTitleText(std::nullopt);
    EXPECT_FALSE(doc.IsModified());
    doc.SetTitleText(L"Sales");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.TitleText(), L"Sales");
}

// Every setter a page uses tells the listener its field once per real change, and marks the project modified.
TEST_F(CtwDocTest, SettersTellTheListenerWhichFieldChangedOnlyOnChange) {
    CtwDoc doc;
    std::vector<ProjectField> changed;
    doc.m_onFieldChanged = [&](ProjectField field) { changed.push_back(field); };
    ColumnProperty property;
    property.ColumnName = L"a";
    ValueMarker marker;
    marker.Column = L"a";
    Converter converter;
    converter.Column = L"a";
    doc.AddColumnProperty(property);
    doc.AddMarker(marker);
    doc.AddConverter(converter);
    changed.clear();

    struct Case {
        ProjectField field;
        std::function<void()> same, other;
    };
    ColumnProperty hidden = property;
    hidden.IsHide = true;
    ValueMarker wholeRow = marker;
    wholeRow.IsWholeRow = 1;
    Converter prefixed = converter;
    prefixed.Prefix = L"$";
    const Case cases[] = {
        {ProjectField::Format, [&] { doc.SetFormat(doc.Format); }, [&] { doc.SetFormat(6); }},
        {ProjectField::Script, [&] { doc.SetScriptText(doc.Text); }, [&] { doc.SetScriptText(L"SELECT 1"); }},
        {ProjectField::FromFile, [&] { doc.SetFromFile(0); }, [&] { doc.SetFromFile(1); }},
        {ProjectField::Language, [&] { doc.SetLanguage(doc.Language); }, [&] { doc.SetLanguage(L"xx"); }},
        {ProjectField::Encoding, [&] { doc.SetEncoding(doc.Encoding); }, [&] { doc.SetEncoding(L"koi8-r"); }},
        {ProjectField::Landscape, [&] { doc.SetLandscape(0); }, [&] { doc.SetLandscape(1); }},
        {ProjectField::StyleNo, [&] { doc.SetStyleNo(L"Default"); }, [&] { doc.SetStyleNo(L"Blue"); }},
        {ProjectField::TitleSize, [&] { doc.SetTitleSize(1); }, [&] { doc.SetTitleSize(2); }},
        {ProjectField::HeaderSize, [&] { doc.SetHeaderSize(4); }, [&] { doc.SetHeaderSize(3); }},
        {ProjectField::FooterSize, [&] { doc.SetFooterSize(5); }, [&] { doc.SetFooterSize(6); }},
        {ProjectField::ReportFile, [&] { doc.SetReportFile(L""); }, [&] { doc.SetReportFile(L"r.htm"); }},
        {ProjectField::TitleClass, [&] { doc.SetTitleClass(L""); }, [&] { doc.SetTitleClass(L"t"); }},
        {ProjectField::Summary, [&] { doc.SetSummary(0); }, [&] { doc.SetSummary(1); }},
        {ProjectField::TOC, [&] { doc.SetTOC(0); }, [&] { doc.SetTOC(1); }},
        {ProjectField::Open, [&] { doc.SetOpen(1); }, [&] { doc.SetOpen(0); }},
        {ProjectField::Title, [&] { doc.SetTitleText(doc.Title); }, [&] { doc.SetTitleText(std::nullopt); }},
        {ProjectField::ColumnProperties, [&] { doc.SetColumnProperty(0, property); },
         [&] { doc.SetColumnProperty(0, hidden); }},
        {ProjectField::Markers, [&] { doc.SetMarker(0, marker); }, [&] { doc.SetMarker(0, wholeRow); }},
        {ProjectField::Converters, [&] { doc.SetConverter(0, converter); }, [&] { doc.SetConverter(0, prefixed); }},
        {ProjectField::Converters, [&] { doc.RemoveConverter(5); }, [&] { doc.RemoveConverter(0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.field));
        doc.SetModified(false);
        changed.clear();
        c.same();
        EXPECT_TRUE(changed.empty());
        EXPECT_FALSE(doc.IsModified());
        c.other();
        EXPECT_EQ(changed, std::vector<ProjectField>{c.field});
        EXPECT_TRUE(doc.IsModified());
        c.other();  // the same value again
        EXPECT_EQ(changed.size(), 1u);
    }
    EXPECT_TRUE(doc.m_converters.empty());
    EXPECT_EQ(doc.m_columnProperties[0].IsHide, true);
}

TEST_F(CtwDocTest, PrintedTexts) {
    CtwDoc doc;
    doc.SetTitleText(L"");
    doc.SetFooterText(L"Footer {{SELECT 1}}");
    doc.m_expandedFooter = L"Footer 1";
    EXPECT_EQ(doc.TitleText(), L"");
    EXPECT_EQ(doc.FooterText(), L"Footer {{SELECT 1}}");  // outside a run: as typed

    Settings().setInt(L"UseForEmpty", 1);
    Settings().setStr(L"DefTitle", L"Now {{SELECT 1}}");
    EXPECT_EQ(doc.TitleText(), L"Now {{SELECT 1}}");  // the setting, never its query

    doc.m_running = true;
    EXPECT_EQ(doc.FooterText(), L"Footer 1");
    doc.m_expandedFooter.clear();
    EXPECT_EQ(doc.FooterText(), L"Footer {{SELECT 1}}");
}

TEST_F(CtwDocTest, EmbeddedQueriesRunOnTheConnection) {
    CtwDoc doc;
    doc.SetTitleText(L"Sales: {{SELECT 2+3}} orders");
    doc.SetHeaderText(L"Broken {{SELECT * FROM no_such_table}} here");
    doc.SetFooterText(L"{{SELECT 'a'}} and {{SELECT 'b'}} {{ unclosed");
    doc.ExpandEmbeddedQueries();  // no connection: texts unchanged
    EXPECT_EQ(doc.m_expandedTitle, doc.Title);

    auto connection = CDB::newDB(DS_SQLITE);
    ASSERT_NE(connection, nullptr);
    CONN_INFO info;
    info.Connection = L":memory:";
    ASSERT_TRUE(CDB::isOK(connection->Connect(info)));
    doc.SetConnection(std::move(connection));
    doc.ExpandEmbeddedQueries();
    EXPECT_EQ(doc.m_expandedTitle, L"Sales: 5 orders");
    EXPECT_EQ(doc.m_expandedHeader, L"Broken  here");
    EXPECT_EQ(doc.m_expandedFooter, L"a and {{SELECT 'b'}} {{ unclosed");

    doc.SetTitleText(L"{{}}x}}");  // "}}" must begin after the opening pair
    doc.SetHeaderText(L"no pair {{ here");
    doc.ExpandEmbeddedQueries();
    EXPECT_EQ(doc.m_expandedTitle, L"x}}");
    EXPECT_EQ(doc.m_expandedHeader, L"no pair {{ here");
}

TEST_F(CtwDocTest, ScriptFromFileCountsFromTheProjectFolder) {
    m_folder.Write("q/script.sql", "SELECT ?1 -- \xc3\xa9");
    m_folder.Write("q/p.twp", "[Query]\nFromFile = 1\nQueryFile = 'script.sql'\n");
    CtwDoc doc;
    ASSERT_TRUE(doc.Load(m_folder.File("q/p.twp")));
    doc.m_values = {{L"?1", L"2019"}};
    EXPECT_EQ(doc.GetScript(), L"SELECT 2019 -- \u00e9");
    EXPECT_TRUE(m_host.boxes.empty());

    doc.QueryFile = L"missing.sql";
    EXPECT_EQ(doc.GetScript(), L"");
    EXPECT_EQ(m_host.boxes, std::vector<std::wstring>{L"Error: Could not find or access '" +
                                                      m_folder.File("q/missing.sql") + L"' file."});

    doc.QueryFile.clear();
    EXPECT_EQ(doc.GetScript(), L"");
    EXPECT_EQ(m_host.boxes.size(), 1u);  // an empty name is not reported
}

TEST_F(CtwDocTest, ScriptTextGetsParametersThenDateMacros) {
    CtwDoc doc;
    doc.Text = L"WHERE d < '?1' AND y = ?2";
    doc.m_values = {{L"?1", L"$DATE$"}, {L"?2", L"2019"}};
    Settings().setStr(L"DateMFormat", L"YYYY");
    const std::wstring script = doc.GetScript();
    EXPECT_EQ(script.find(L"$DATE$"), std::wstring::npos);
    EXPECT_EQ(script.substr(0, 11), L"WHERE d < '");
    EXPECT_EQ(script.size(), std::wstring(L"WHERE d < 'YYYY' AND y = 2019").size());
}

TEST_F(CtwDocTest, FindMarkerTakesTheFirstOwnOrWholeRowMarker) {
    CtwDoc doc;
    ValueMarker own, row, other;
    own.Column = L"B";
    row.IsWholeRow = 1;
    row.ConditionColumn = L"A";
    other.Column = L"A";
    doc.m_markers = {own, row, other};
    EXPECT_EQ(doc.FindMarker(L"A"), &doc.m_markers[1]);
    EXPECT_EQ(doc.FindMarker(L"B"), &doc.m_markers[0]);
    EXPECT_EQ(doc.FindMarker(L"a"), nullptr);
}

TEST_F(CtwDocTest, ColumnPropertySetAndRemove) {
    CtwDoc doc;
    ColumnProperty first, second;
    first.ColumnName = L"a";
    second.ColumnName = L"b";
    doc.m_columnProperties = {first, second};
    doc.SetColumnProperty(2, first);  // beyond the list: nothing
    doc.SetColumnProperty(0, first);  // same record: nothing
    EXPECT_FALSE(doc.IsModified());
    first.style.IsBold = 1;
    doc.SetColumnProperty(0, first);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_columnProperties[0].style.IsBold, 1);

    doc.SetModified(false);
    doc.RemoveColumnProperty(0);
    ASSERT_EQ(doc.m_columnProperties.size(), 1u);
    EXPECT_EQ(doc.m_columnProperties[0].ColumnName, L"b");
    EXPECT_TRUE(doc.IsModified());
}

// A connection whose steps succeed or fail on request and that records the calls made on it.
class ScriptedDb : public CDB {
  public:
    ScriptedDb(bool execute, bool fetch, bool value) : m_execute(execute), m_fetch(fetch), m_value(value) {
        m_Connected = true;
    }
    int Connect(const CONN_INFO&) override { return DB_OK; }
    void Disconnect() override {}
    int Execute(const std::wstring& query, int) override {
        calls += "Execute(" + std::string(query.begin(), query.end()) + ") ";
        return m_execute ? DB_OK : DB_ERROR;
    }
    int GetColumnCount(int& count, int) override { return count = 1, DB_OK; }
    int GetColumnName(int, std::wstring& name) override { return name = L"n", DB_OK; }
    int GetColumnType(int, int& type, int, int) override { return type = 12, DB_OK; }
    int Fetch(int) override {
        calls += "Fetch ";
        return m_fetch ? DB_OK : DB_NO_DATA;
    }
    int GetValue(int column, std::wstring& value, int, int, int) override {
        calls += "GetValue(" + std::to_string(column) + ") ";
        value = L"42";
        return m_value ? DB_OK : DB_ERROR;
    }
    int NextResultSet(int) override { return DB_NO_DATA; }
    int CloseCursor(int) override {
        calls += "CloseCursor";
        return DB_OK;
    }
    std::string calls;

  private:
    bool m_execute, m_fetch, m_value;
};

// The cursor is closed after every successful Execute, and only then; a failed step leaves the part empty.
TEST_F(CtwDocTest, EmbeddedQueryClosesTheCursorOnlyAfterASuccessfulExecute) {
    struct Case {
        bool execute, fetch, value;
        std::wstring expanded;
        std::string calls;
    };
    const Case cases[] = {
        {true, true, true, L"Count: 42 rows", "Execute(SELECT 42) Fetch GetValue(1) CloseCursor"},
        {true, false, true, L"Count:  rows", "Execute(SELECT 42) Fetch CloseCursor"},
        {true, true, false, L"Count:  rows", "Execute(SELECT 42) Fetch GetValue(1) CloseCursor"},
        {false, true, true, L"Count:  rows", "Execute(SELECT 42) "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calls);
        CtwDoc doc;
        doc.SetTitleText(L"Count: {{SELECT 42}} rows");
        doc.SetHeaderText(L"");
        doc.SetFooterText(L"");
        auto db = std::make_unique<ScriptedDb>(c.execute, c.fetch, c.value);
        const ScriptedDb& scripted = *db;
        doc.SetConnection(std::move(db));
        doc.ExpandEmbeddedQueries();
        EXPECT_EQ(doc.m_expandedTitle, c.expanded);
        EXPECT_EQ(scripted.calls, c.calls);
    }
}

}  // namespace
