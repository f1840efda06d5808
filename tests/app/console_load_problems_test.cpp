// Console mode does not run a project whose file holds values it cannot use, and says which.

#include <sstream>

#include "../support/test_folder.h"
#include "ctw_app.h"
#include "ctw_doc.h"
#include "settings.h"

namespace {

TEST(ConsoleLoadProblems, ProjectWithAWrongValueIsNotRunAndFails) {
    Settings().ResetToDefaults();
    TestFolder folder;
    // Format = "1" once published RTF into out.htm; IsHide = 'yes' published the hidden column.
    const std::string bad =
        folder.Write("bad.twp",
                     "[Query]\nFormat = \"1\"\nText = 'SELECT 1'\n[Target]\nReportFile = 'out.htm'\n"
                     "[ColumnProps]\nCounter = 1\n[ColumnProps.0]\nColumnName = 's'\nIsHide = 'yes'\n");
    const std::string good =
        folder.Write("good.twp", "[Query]\nFormat = 1\n[Target]\nReportFile = 'good.htm'\n");
    CtwApp app;
    std::vector<std::wstring> runs;
    app.m_runner = [&](CtwDoc&, const std::wstring& file) {
        runs.push_back(file);
        return RunOutcome{};
    };
    app.m_projectList = {std::wstring(bad.begin(), bad.end()), std::wstring(good.begin(), good.end())};
    std::ostringstream out;
    EXPECT_EQ(app.ConsoleRun(out), 1);
    EXPECT_EQ(runs, std::vector<std::wstring>{L"good.htm"});

    CtwDoc doc;
    EXPECT_FALSE(doc.Load(std::wstring(bad.begin(), bad.end())));
    EXPECT_NE(doc.LoadError().find(L"line 2: [Query] Format"), std::wstring::npos);
    EXPECT_NE(doc.LoadError().find(L"line 10: [ColumnProps.0] IsHide"), std::wstring::npos);
    Settings().ResetToDefaults();
}

}  // namespace
