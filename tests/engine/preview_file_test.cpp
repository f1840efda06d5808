// Temporary files of the engine: the preview file and the folder of CHM parts are private to this user and
// this process, and go away with their owner.

#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "engine_fakes.h"

using namespace enginetest;

namespace {
mode_t ModeOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return 0;
    return info.st_mode;
}
}  // namespace

TEST_F(EngineTest, PreviewFileIsPrivateNamedOnceAndDeletable) {
    project.Text = L"SELECT 1";
    db->sets = {{{L"n"}, {TC_INTEGER}, {{L"1"}}}};
    project.Format = RF_EXCEL;

    const std::wstring first = RunPreview(project);
    ASSERT_FALSE(first.empty());
    const std::string path = tw::WideToUtf8(first);
    EXPECT_TRUE(std::regex_match(path, std::regex(".*/tw[0-9A-F]{8}\\.html")));
    EXPECT_TRUE(std::regex_match(U8(project.m_previewName), std::regex("tw[0-9A-F]{8}")));
    EXPECT_EQ(ModeOf(path) & 0777, 0600u);
    EXPECT_TRUE(S_ISREG(ModeOf(path)));
    const std::string folder = path.substr(0, path.rfind('/'));
    EXPECT_EQ(ModeOf(folder) & 0777, 0700u);
    EXPECT_EQ(OpenedSetup().format, RF_HTML);
    EXPECT_EQ(OpenedSetup().file, first);

    // The name stays with the project; a Text project previews as text; another project gets its own name.
    project.Format = RF_TEXT;
    const std::wstring second = RunPreview(project);
    EXPECT_EQ(second.substr(0, second.size() - 4), first.substr(0, first.size() - 5));
    EXPECT_EQ(second.substr(second.size() - 4), L".txt");
    CtwDoc other;
    const std::wstring third = RunPreview(other);
    ASSERT_FALSE(third.empty());
    EXPECT_NE(other.m_previewName, project.m_previewName);

    // Deleting one preview leaves the other.
    EXPECT_TRUE(DeletePreview(first));
    EXPECT_FALSE(DeletePreview(first));
    EXPECT_EQ(ModeOf(tw::WideToUtf8(third)) != 0, true);
    EXPECT_TRUE(DeletePreview(second));
    EXPECT_TRUE(DeletePreview(third));
}

TEST(EngineFolders, ChmPartsGoToAPrivateFolderRemovedWithTheEngine) {
    Settings().ResetToDefaults();
    MultiReport::SetWriterFactory([](int) -> std::unique_ptr<AReport> { return std::make_unique<RecordingWriter>(); });
    std::string folder;
    {
        ExReport engine;
        CtwDoc project;
        project.Format = RF_CHM;
        project.ReportFile = L"/nonexistent/r.chm";
        project.SetConnection(nullptr);
        engine.RunAndOpen(project, project.ReportFile, 0);
        ASSERT_FALSE(engine.m_subDocumentFolder.empty());
        folder = U8(engine.m_subDocumentFolder);
        EXPECT_TRUE(std::regex_match(folder, std::regex(".*/tw20[^/]{6}/")));
        EXPECT_EQ(ModeOf(folder) & 0777, 0700u);
        // The folder stays for the next run.
        engine.RunAndOpen(project, project.ReportFile, 0);
        EXPECT_EQ(U8(engine.m_subDocumentFolder), folder);
    }
    EXPECT_EQ(ModeOf(folder), 0u);
    MultiReport::SetWriterFactory(nullptr);
}
