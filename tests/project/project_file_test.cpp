// Saving and loading projects: every field, defaults of missing keys, numbered keys, backups and failures.

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <thread>

#include "../support/test_folder.h"
#include "ctw_doc.h"
#include "settings.h"

namespace {

const auto* const g_home = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

// Texts that a naive store would mangle: line breaks, tabs, control characters, quotes, non-ASCII.
const std::wstring kAwkward =
    L"SELECT 'a''b', \"q\" \\n\r\nFROM t\twhere x < 3 -- \x01\x1f\x7f\r\n'''\"\"\"\r\n"
    L"Gr\u00fc\u00dfe \u65e5\u672c \U0001F600 \u00a0end\r\n";

void FillEveryField(CtwDoc& doc) {
    doc.Format = 6;
    doc.Text = kAwkward;
    doc.QueryFile = L"sql/\u00e9t\u00e9.sql";
    doc.FromFile = 1;
    doc.Values = L"values file.txt";
    doc.SetTitleText(L"Title $DATE$\r\nsecond line");
    doc.SetHeaderText(L"\t");
    doc.SetFooterText(kAwkward);
    doc.Language = L"";
    doc.Encoding = L"utf-8";
    doc.IsLandscape = 1;
    doc.StyleNo = L"3";
    doc.TitleSize = 6;
    doc.HeaderSize = 0;
    doc.FooterSize = 0;
    doc.ReportFile = L"out/r\u00e9port $DATE$.xml";
    doc.TitleClass = L"t";
    doc.HeaderClass = L"";
    doc.FooterClass = L"f c";
    doc.Summary = 1;
    doc.TOC = 1;
    doc.Open = 0;

    ColumnProperty property;
    property.ColumnName = L"Pr\u00e9nom";
    property.IsHide = true;
    property.style = RuleStyle{1, 1, L"yellow", L"#102030", L"c1", L"Right", -2, L""};
    doc.m_columnProperties = {property, ColumnProperty{}};

    ValueMarker marker;
    marker.Column = L"";
    marker.IsWholeRow = 1;
    marker.ConditionColumn = L"amount";
    marker.ConditionOperation = L"In Range";
    marker.ConditionOperand = L"10;20";
    marker.style = RuleStyle{0, 1, L"", L"red", L"", L"Center", 2, L""};
    doc.m_markers = {marker};

    Converter converter;
    converter.Column = L"total";
    converter.Prefix = L"\u20ac ";
    converter.Suffix = L"\r\n";
    converter.Group = 1;
    converter.Digits = 200;
    converter.Pres = 30;
    converter.DateFrom = L"YYYY-MM-DD";
    converter.DateTo = L"DD.MM.YYYY";
    converter.RegexFrom = L"^(\\d+)\\.(\\d+)$";
    converter.RegexTo = L"$1,$2";
    doc.m_converters = {converter, Converter{}};
}

class ProjectFileTest : public ::testing::Test {
  protected:
    void SetUp() override { Settings().ResetToDefaults(); }
    TestFolder m_folder;
};

TEST_F(ProjectFileTest, EveryFieldSurvivesSaveAndLoad) {
    CtwDoc saved;
    FillEveryField(saved);
    saved.SetConnection(CDB::newDB(DS_SQLITE));
    saved.Connection()->m_ConInfo.Connection = L"data/demo.sqlite";
    const std::wstring path = m_folder.File("every field.twp");
    ASSERT_TRUE(saved.Save(path)) << std::string(saved.SaveError().begin(), saved.SaveError().end());
    EXPECT_FALSE(saved.IsModified());

    CtwDoc loaded;
    loaded.SetModified(true);
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_FALSE(loaded.IsModified());
    EXPECT_EQ(loaded.Text, kAwkward);
    EXPECT_EQ(loaded.FooterTxt, kAwkward);
    EXPECT_EQ(loaded.Header, L"\t");
    EXPECT_EQ(loaded.Language, L"");
    EXPECT_EQ(loaded.TitleSize, 6);
    EXPECT_EQ(loaded.HeaderSize, 0);
    EXPECT_EQ(loaded.Open, 0);
    ASSERT_EQ(loaded.m_columnProperties.size(), 2u);
    EXPECT_TRUE(SameColumnProperty(loaded.m_columnProperties[0], saved.m_columnProperties[0]));
    ASSERT_EQ(loaded.m_markers.size(), 1u);
    EXPECT_EQ(loaded.m_markers[0].ConditionOperation, L"In Range");
    EXPECT_TRUE(SameStyle(loaded.m_markers[0].style, saved.m_markers[0].style));
    ASSERT_EQ(loaded.m_converters.size(), 2u);
    EXPECT_TRUE(SameConverter(loaded.m_converters[0], saved.m_converters[0]));
    EXPECT_EQ(loaded.m_converters[1].Digits, -1);
    ASSERT_NE(loaded.Connection(), nullptr);
    EXPECT_EQ(loaded.Connection()->m_ConInfo.Connection, L"data/demo.sqlite");

    // Saving the loaded project writes the same bytes: every field that was written is read back.
    const std::wstring again = m_folder.File("again.twp");
    ASSERT_TRUE(loaded.Save(again));
    EXPECT_EQ(ReadBytes(path), ReadBytes(again));
}

// A server connection whose string is still empty, or held only a password (never saved), comes back with its
// type, not as the default SQLite.
TEST_F(ProjectFileTest, ConnectionTypeWithoutAStringSurvivesSaveAndLoad) {
    for (const wchar_t* connection : {L"", L" password=secret"}) {
        CtwDoc saved;
        saved.SetConnection(CDB::newDB(DS_POSTGRESQL));
        saved.Connection()->m_ConInfo.Type = DS_POSTGRESQL;
        saved.Connection()->m_ConInfo.Connection = connection;
        const std::wstring path = m_folder.File("server.twp");
        ASSERT_TRUE(saved.Save(path));
        CtwDoc loaded;
        ASSERT_TRUE(loaded.LoadFile(path));
        ASSERT_NE(loaded.Connection(), nullptr);
        EXPECT_EQ(loaded.Connection()->m_Type, DS_POSTGRESQL);
        EXPECT_EQ(loaded.Connection()->m_ConInfo.Type, DS_POSTGRESQL);
        EXPECT_EQ(loaded.Connection()->m_ConInfo.Connection, L"");
    }
}

// A new project has no connection: it saves no connection block.
TEST_F(ProjectFileTest, SwitchedOffTextIsStoredEmptyAndLoadsSwitchedOff) {
    CtwDoc doc;
    doc.SetTitleText(L"kept in memory");
    doc.SetTitleText(std::nullopt);
    doc.SetHeaderText(L"");  // switched on but empty
    const std::wstring path = m_folder.File("p.twp");
    ASSERT_TRUE(doc.Save(path));
    EXPECT_NE(ReadBytes(path).find("Title = \"\""), std::string::npos) << ReadBytes(path);
    EXPECT_EQ(ReadBytes(path).find("[Connection]"), std::string::npos);

    CtwDoc loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_FALSE(loaded.IsTitleOn());
    EXPECT_EQ(loaded.Title, L"");
    EXPECT_FALSE(loaded.IsHeaderOn());
}

TEST_F(ProjectFileTest, MissingKeysTakeTheirFileDefaults) {
    CtwDoc doc;
    doc.Text = L"old";
    ASSERT_TRUE(doc.Load(TW_TEST_DATA L"/project/sparse.twp"));
    EXPECT_EQ(doc.FormatName(), L"RTF/DOC");  // a new project has HTML
    EXPECT_EQ(doc.Open, 0);                   // a new project has 1
    EXPECT_EQ(doc.Text, L"SELECT 1");
    EXPECT_EQ(doc.Language, L"");
    EXPECT_EQ(doc.Encoding, L"");
    EXPECT_EQ(doc.StyleNo, L"Default");
    EXPECT_EQ(doc.TitleSize, 1);
    EXPECT_EQ(doc.HeaderSize, 4);
    EXPECT_EQ(doc.FooterSize, 5);
    EXPECT_EQ(doc.Title, L"");
    EXPECT_FALSE(doc.IsTitleOn());

    // Markers: Counter 2, keys only for position 0 (and a stray position 5 beyond Counter).
    ASSERT_EQ(doc.m_markers.size(), 2u);
    EXPECT_EQ(doc.m_markers[0].Column, L"amount");
    EXPECT_EQ(doc.m_markers[1].Column, L"");
    EXPECT_EQ(doc.m_markers[1].ConditionOperation, L"");
    EXPECT_EQ(doc.m_markers[1].style.FontSize, 0);
    // Converters: no Digits and Pres keys.
    ASSERT_EQ(doc.m_converters.size(), 1u);
    EXPECT_EQ(doc.m_converters[0].Digits, -1);
    EXPECT_EQ(doc.m_converters[0].Pres, -1);
    // ColumnProps: any non-zero IsHide hides.
    ASSERT_EQ(doc.m_columnProperties.size(), 1u);
    EXPECT_TRUE(doc.m_columnProperties[0].IsHide);
    // No connection block: an unconnected connection object of the default type.
    ASSERT_NE(doc.Connection(), nullptr);
    EXPECT_EQ(doc.Connection()->IsConnected(), 0);
}

TEST_F(ProjectFileTest, SqliteConnectionCountsFromTheProjectFolder) {
    const std::string dbPath = m_folder.Write("sub/data.sqlite", "");
    m_folder.Write("sub/p.twp", "[Connection]\nType = 'sqlite'\nConnection = 'data.sqlite'\n");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path("/");
    CtwDoc doc;
    const bool loaded = doc.Load(m_folder.File("sub/p.twp"));
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(loaded);
    ASSERT_NE(doc.Connection(), nullptr);
    EXPECT_EQ(doc.Connection()->IsConnected(), 1)
        << std::string(doc.Connection()->m_LastError.begin(), doc.Connection()->m_LastError.end());
    EXPECT_EQ(doc.ResolvePath(L"q.sql"), m_folder.File("sub/q.sql"));
    EXPECT_EQ(doc.ResolvePath(L"/abs/q.sql"), L"/abs/q.sql");
    EXPECT_EQ(doc.ResolvePath(L""), L"");
}

// LoadFile leaves the connecting to ConnectDatabase, which may run on another thread; a Save in between keeps
// the connection of the file.
TEST_F(ProjectFileTest, LoadFileDoesNotConnectAndConnectDatabaseDoes) {
    m_folder.Write("data.sqlite", "");
    const std::string project = m_folder.Write("p.twp", "[Connection]\nType = 'sqlite'\nConnection = 'data.sqlite'\n");
    CtwDoc doc;
    ASSERT_TRUE(doc.LoadFile(m_folder.File("p.twp")));
    ASSERT_NE(doc.Connection(), nullptr);
    EXPECT_EQ(doc.Connection()->IsConnected(), 0);
    EXPECT_EQ(doc.Connection()->m_ConInfo.Connection, L"data.sqlite");
    EXPECT_FALSE(doc.IsModified());

    ASSERT_TRUE(doc.Save(m_folder.File("copy.twp")));
    EXPECT_NE(ReadBytes(m_folder.Path() / "copy.twp").find("data.sqlite"), std::string::npos);

    bool connected = false;
    std::thread([&] { connected = doc.ConnectDatabase(); }).join();
    EXPECT_TRUE(connected);
    EXPECT_EQ(doc.Connection()->IsConnected(), 1);

    // Loading another project does not keep the first one's database connected; a missing database file is a
    // failed connect with the driver's reason, not a failed load.
    m_folder.Write("q.twp", "[Connection]\nType = 'sqlite'\nConnection = 'missing.sqlite'\n");
    ASSERT_TRUE(doc.LoadFile(m_folder.File("q.twp")));
    EXPECT_EQ(doc.Connection()->IsConnected(), 0);
    EXPECT_FALSE(doc.ConnectDatabase());
    EXPECT_NE(doc.Connection()->m_LastError.find(L"unable to open database file"), std::wstring::npos);

    // A project without a connection has nothing to connect.
    m_folder.Write("none.twp", "Format = 1\n");
    CtwDoc plain;
    ASSERT_TRUE(plain.LoadFile(m_folder.File("none.twp")));
    EXPECT_FALSE(plain.ConnectDatabase());
}

TEST_F(ProjectFileTest, FilesThatAreNotProjectsLoadAsDefaultsButFail) {
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"not toml", "this is = = not toml [[\n"},
        {"binary", std::string("\x7f"
                               "ELF\0\0\x01\x02",
                               8)},
        {"not utf-8", "[Query]\nText = '\xff\xfe bad'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_folder.Write("bad.twp", c.content);
        CtwDoc doc;
        doc.Format = 3;
        EXPECT_FALSE(doc.Load(m_folder.File("bad.twp")));
        EXPECT_FALSE(doc.LoadError().empty());
        EXPECT_EQ(doc.Format, 0);
        EXPECT_FALSE(doc.IsModified());
    }
    CtwDoc doc;
    EXPECT_TRUE(doc.Load(m_folder.File("no such file.twp")));
    EXPECT_TRUE(doc.LoadError().empty());
}

TEST_F(ProjectFileTest, RuleCountersAreBounded) {
    struct Case {
        const char* counter;
        size_t expected;
        bool loads;  // a value beyond 32 bits is no count at all
    };
    const Case cases[] = {
        {"2147483647", kMaxRuleRecords, true},
        {"-3", 0, true},
        {"99999999999999", 0, false},
        {"-2147483648", 0, true},
        {"3", 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counter);
        m_folder.Write("big.twp", std::string("[Converters]\nCounter = ") + c.counter +
                                      "\n[Markers]\nCounter = " + c.counter +
                                      "\n[ColumnProps]\nCounter = " + c.counter + "\n");
        CtwDoc doc;
        EXPECT_EQ(doc.Load(m_folder.File("big.twp")), c.loads);
        EXPECT_EQ(doc.m_converters.size(), c.expected);
        EXPECT_EQ(doc.m_markers.size(), c.expected);
        EXPECT_EQ(doc.m_columnProperties.size(), c.expected);
    }
}

TEST(BackupPath, ReplacesOnlyTheProjectExtension) {
    struct Case {
        const wchar_t* path;
        const wchar_t* backup;
    };
    const Case cases[] = {
        {L"/home/a/sales.twp", L"/home/a/sales.bak"},
        {L"/home/A/Sales.TWP", L"/home/A/Sales.bak"},
        {L"/p.twp/q.twp", L"/p.twp/q.bak"},
        {L"/x/report.twp.txt", L"/x/report.twp.txt.bak"},
        {L"/x/report", L"/x/report.bak"},
        {L"/x/report.bak", L"/x/report.bak.bak"},
        {L"/x/.twp", L"/x/.twp.bak"},
        {L"a.twp", L"a.bak"},
    };
    for (const Case& c : cases) EXPECT_EQ(CtwDoc::BackupPath(c.path), c.backup);
}

TEST_F(ProjectFileTest, FirstSaveKeepsTheOldFileAsBackupLaterSavesLeaveIt) {
    const std::wstring path = m_folder.File("Sales.TWP");
    const std::wstring backup = m_folder.File("Sales.bak");
    CtwDoc doc;

    ASSERT_TRUE(doc.Save(path));  // nothing there yet: no backup
    EXPECT_FALSE(std::filesystem::exists(backup));
    const std::string version1 = ReadBytes(path);

    doc.Text = L"version 2";
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(ReadBytes(backup), version1);
    const std::string version2 = ReadBytes(path);
    EXPECT_NE(version2.find("version 2"), std::string::npos);

    doc.Text = L"version 3";
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(ReadBytes(backup), version1);
    EXPECT_NE(ReadBytes(path).find("version 3"), std::string::npos);
}

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFileAndReportsIt) {
    // A name that fits the file system but leaves no room for the temporary file beside it.
    const std::string longName = std::string(246, 'p') + ".twp";
    m_folder.Write(longName, "old content");
    const std::wstring path = m_folder.File(longName);
    CtwDoc doc;
    doc.Text = L"new";
    doc.SetModified(true);
    EXPECT_FALSE(doc.Save(path));
    EXPECT_FALSE(doc.SaveError().empty());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadBytes(m_folder.Path() / longName), "old content");
    EXPECT_FALSE(std::filesystem::exists(CtwDoc::BackupPath(path)));

    EXPECT_FALSE(doc.Save(m_folder.File("no such folder/p.twp")));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.Save(L""));

    if (::geteuid() == 0) return;  // root writes into read-only folders
    m_folder.Write("ro/p.twp", "old");
    ::chmod((m_folder.Path() / "ro").c_str(), 0555);
    EXPECT_FALSE(doc.Save(m_folder.File("ro/p.twp")));
    ::chmod((m_folder.Path() / "ro").c_str(), 0755);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadBytes(m_folder.Path() / "ro/p.twp"), "old");
}

}  // namespace
