// What a save writes, byte for byte: the shipped examples and a project with every field set, loaded (or
// built) and saved, compared with the files under tests/data/project/saved. TW_UPDATE_GOLDEN=1 rewrites them.

#include <cstdlib>

#include "../support/test_folder.h"
#include "ctw_doc.h"
#include "settings.h"

namespace {

const auto* const g_home = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

void CompareWithSaved(const std::string& name, const std::string& text) {
    const std::filesystem::path path = std::filesystem::path(TW_TEST_DATA) / "project" / "saved" / name;
    const char* update = std::getenv("TW_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << text;
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path))
        << "no saved file " << path << " (TW_UPDATE_GOLDEN=1 makes it)";
    EXPECT_EQ(ReadBytes(path), text) << name;
}

// Every field away from its default, with texts a store could mangle.
void FillEveryField(CtwDoc& doc) {
    doc.Format = 5;
    doc.Text = L"SELECT 'a''b', \"q\" \\n\r\nFROM t\twhere x < 3 -- \x01\x1f\x7f\r\n'''\"\"\"\r\n";
    doc.QueryFile = L"sql/\u00e9t\u00e9.sql";
    doc.FromFile = 1;
    doc.Values = L"values file.txt";
    doc.SetTitleText(L"Title $DATE$\r\nsecond line");
    doc.SetHeaderText(L"\t");
    doc.SetFooterText(L"Gr\u00fc\u00dfe \u65e5\u672c \U0001F600 \u00a0end\r\n");
    doc.Language = L"de";
    doc.Encoding = L"utf-8";
    doc.IsLandscape = 1;
    doc.StyleNo = L"3";
    doc.TitleSize = 2;
    doc.HeaderSize = 0;
    doc.FooterSize = 6;
    doc.ReportFile = L"out/r\u00e9port $DATE$.pdf";
    doc.TitleClass = L"t";
    doc.HeaderClass = L"h";
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
    marker.IsWholeRow = 1;
    marker.ConditionColumn = L"amount";
    marker.ConditionOperation = L"In Range";
    marker.ConditionOperand = L"10;20";
    marker.style = RuleStyle{0, 1, L"", L"red", L"", L"Center", 2, L""};
    doc.m_markers = {marker, ValueMarker{}};

    Converter converter;
    converter.Column = L"total";
    converter.Prefix = L"\u20ac ";
    converter.Suffix = L"\r\n";
    converter.Group = 1;
    converter.Digits = 12;
    converter.Pres = 3;
    converter.DateFrom = L"YYYY-MM-DD";
    converter.DateTo = L"DD.MM.YYYY";
    converter.RegexFrom = L"^(\\d+)\\.(\\d+)$";
    converter.RegexTo = L"$1,$2";
    doc.m_converters = {converter, Converter{}};
}

class SavedProjectTest : public ::testing::Test {
  protected:
    void SetUp() override { Settings().ResetToDefaults(); }
    TestFolder m_folder;
};

TEST_F(SavedProjectTest, EveryFieldIsWrittenAsBefore) {
    CtwDoc doc;
    FillEveryField(doc);
    doc.SetConnection(CDB::newDB(DS_SQLITE));
    doc.Connection()->m_ConInfo.Connection = L"data/demo.sqlite";
    const std::wstring path = m_folder.File("every field.twp");
    ASSERT_TRUE(doc.Save(path));
    CompareWithSaved("every_field.twp", ReadBytes(path));

    // Loading that file and saving it again writes the same bytes.
    CtwDoc loaded;
    ASSERT_TRUE(loaded.Load(path));
    const std::wstring again = m_folder.File("again.twp");
    ASSERT_TRUE(loaded.Save(again));
    EXPECT_EQ(ReadBytes(again), ReadBytes(path));
}

TEST_F(SavedProjectTest, ShippedExamplesAreWrittenAsBefore) {
    for (const char* name : {"demo_rtf.twp", "demo_html.twp", "demo_xml.twp", "demo_text.twp", "demo_chm.twp",
                             "demo_pdf.twp", "demo_excel.twp"}) {
        SCOPED_TRACE(name);
        // A copy, so that loading (which connects) leaves nothing in the examples folder.
        m_folder.Write(name, ReadBytes(std::filesystem::path(TW_SOURCE_DIR) / "examples" / name));
        CtwDoc doc;
        ASSERT_TRUE(doc.Load(m_folder.File(name)));
        const std::wstring saved = m_folder.File(std::string("saved_") + name);
        ASSERT_TRUE(doc.Save(saved));
        CompareWithSaved(name, ReadBytes(saved));
    }
}

}  // namespace
