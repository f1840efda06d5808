#include "page_rules.h"

#include <gtest/gtest.h>

#include "../support/test_folder.h"

using namespace pages;

TEST(PageRules, ExtensionReplacesOnlyTheLastThreeCharacters) {
    EXPECT_EQ(WithExtension(L"report.htm", L"xml"), L"report.xml");
    EXPECT_EQ(WithExtension(L"report.xml", L"pdf"), L"report.pdf");
    EXPECT_EQ(WithExtension(L"out.html", L"htm"), L"out.hhtm");
    EXPECT_EQ(WithExtension(L"a.tx", L"htm"), L"a.tx");      // four characters or fewer stay
    EXPECT_EQ(WithExtension(L"abcde", L"htm"), L"abhtm");    // no dot: still the last three
    EXPECT_EQ(WithExtension(L"out.HTM", L"htm"), L"out.htm");  // case counts
    EXPECT_EQ(WithExtension(L"", L"htm"), L"");
}

TEST(PageRules, FormatTableMapsPositionsAndNumbersBothWays) {
    ASSERT_EQ(OutputFormats().size(), 7u);
    for (int position = 0; position < 7; ++position) EXPECT_EQ(FormatPosition(FormatAt(position).format), position);
    EXPECT_EQ(FormatAt(-1).format, 1);  // no selection counts as HTML
    EXPECT_EQ(FormatAt(7).format, 1);
    EXPECT_EQ(FormatPosition(42), 0);
    EXPECT_TRUE(FormatInfo(4).showsLanguage);
    EXPECT_FALSE(FormatInfo(4).showsLandscape);
    EXPECT_TRUE(FormatInfo(0).showsLandscape);
    EXPECT_FALSE(FormatInfo(0).showsLanguage);
    for (int format : {2, 3, 6}) {
        EXPECT_FALSE(FormatInfo(format).showsLanguage || FormatInfo(format).showsLandscape) << format;
    }
}

TEST(PageRules, TrimScriptRemovesOnlyBlanksAtTheEnds) {
    EXPECT_EQ(TrimScript(L" \r\n\t "), L"");
    EXPECT_EQ(TrimScript(L"\n SELECT 1;\n SELECT 2 \t\r\n"), L"SELECT 1;\n SELECT 2");
}

TEST(PageRules, PlacementModes) {
    EXPECT_EQ(PlaceScript(L"SELECT 1", 0, L"SELECT 2", Placement::Append), L"SELECT 1SELECT 2 ");
    EXPECT_EQ(PlaceScript(L"SELECT 1", 3, L"SELECT 2", Placement::Replace), L"SELECT 2");
    EXPECT_EQ(PlaceScript(L"AB", 1, L"x", Placement::AtCaret), L"AxB");
    EXPECT_EQ(PlaceScript(L"AB", 99, L"x", Placement::AtCaret), L"ABx");
}

TEST(PageRules, OnlyReadableRegularFilesCount) {
    TestFolder folder;
    folder.Write("q.sql", "SELECT 1");
    EXPECT_TRUE(IsReadableFile(folder.File("q.sql")));
    EXPECT_FALSE(IsReadableFile(folder.File("missing.sql")));
    EXPECT_FALSE(IsReadableFile(folder.Path().wstring()));  // a folder
    EXPECT_FALSE(IsReadableFile(L""));
}
