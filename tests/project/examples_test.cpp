// The demo projects are edited by hand: each must stay a loadable project that writes into out/.

#include "../support/test_folder.h"
#include "ctw_doc.h"

namespace {

TEST(Examples, EveryDemoProjectLoads) {
    const std::filesystem::path folder = std::filesystem::path(TW_TEST_DATA) / ".." / ".." / "examples";
    const std::pair<const char*, int> projects[] = {
        {"demo_rtf.twp", 0}, {"demo_html.twp", 1}, {"demo_xml.twp", 2},   {"demo_text.twp", 3},
        {"demo_chm.twp", 4}, {"demo_pdf.twp", 5},  {"demo_excel.twp", 6}, {"demo_xlsx.twp", 7},
    };
    for (const auto& [name, format] : projects) {
        SCOPED_TRACE(name);
        CtwDoc doc;
        ASSERT_TRUE(doc.Load((folder / name).wstring()))
            << std::string(doc.LoadError().begin(), doc.LoadError().end());
        EXPECT_EQ(doc.Format, format);
        EXPECT_EQ(doc.Open, 0);
        EXPECT_EQ(doc.ReportFile.rfind(L"out/", 0), 0u);
        EXPECT_FALSE(doc.Text.empty());
        ASSERT_NE(doc.Connection(), nullptr);
        EXPECT_EQ(doc.Connection()->m_ConInfo.Connection, L"demo.sqlite");
        if (!doc.Values.empty()) {
            doc.LoadValues();
            EXPECT_FALSE(doc.m_values.empty());
        }
    }
}

}  // namespace
