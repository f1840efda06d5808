// A switch whose glued file part is only a pair of double quotes names an empty file: it is not a switch
// without a file, so the switch takes effect and the file is reported as inaccessible.

#include <string>
#include <vector>

#include "ctw_app.h"
#include "host.h"
#include "test_folder.h"

namespace {

class BoxHost : public IHost {
  public:
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon) override {
        boxes.push_back(std::wstring(caption) + L": " + std::wstring(text));
    }
    std::vector<std::wstring> boxes;
};

TEST(ReviewSwitchFile, QuotedEmptyFileIsGivenButInaccessible) {
    struct Case {
        std::wstring argument;
        std::wstring box;
    };
    const Case cases[] = {
        {L"-s\"\"", L"Warning!: Could not access specified source file."},
        {L"-o\"\"", L"Warning!: Could not access specified output file."},
        {L"-v\"\"", L"Warning!: Could not access specified value file."},
    };
    BoxHost host;
    SetHost(&host);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.argument.begin(), c.argument.end()));
        host.boxes.clear();
        CtwApp app;
        app.m_sourceFile = app.m_outputFile = app.m_valuesFile = L"earlier";
        app.ParseArgument(c.argument);
        EXPECT_EQ(host.boxes, std::vector<std::wstring>{c.box});
        switch (c.argument[1]) {
            case L's':
                EXPECT_TRUE(app.m_sourceGiven);
                EXPECT_EQ(app.m_sourceFile, L"");
                break;
            case L'o':
                EXPECT_TRUE(app.m_outputGiven);
                EXPECT_EQ(app.m_outputFile, L"");
                break;
            default:
                EXPECT_EQ(app.m_valuesFile, L"");  // empty: the project keeps its own parameters file
                break;
        }
        EXPECT_TRUE(app.m_projectList.empty());
    }
    SetHost(nullptr);
}

}  // namespace
