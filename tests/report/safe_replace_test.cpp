// A report replaces the previous one only when it is complete: written beside the name, renamed over it at
// Close; a failure or Discard keeps the old file byte for byte, links keep pointing where they did, and a name
// that is not a regular file is written in place.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "output_file.h"
#include "report_test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kOld = "the previous report\n";

// The names in folder other than the ones given.
std::vector<std::string> OtherNames(const fs::path& folder, std::initializer_list<std::string> known) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) names.push_back(name);
    }
    return names;
}

mode_t Mode(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(OutputFile, OldFileStaysUntilClose) {
    rt::TempDir dir;
    const fs::path report = dir.Path() / "report.htm";
    rt::WriteFile(report, kOld);
    fs::permissions(report, fs::perms(0640));

    OutputFile file;
    ASSERT_TRUE(file.Open(report.wstring()));
    const fs::path temporary = file.TemporaryPath();
    EXPECT_EQ(temporary.parent_path(), dir.Path());
    EXPECT_EQ(temporary.filename().string().rfind(".report.htm.", 0), 0u) << temporary;
    EXPECT_EQ(Mode(temporary), 0600u);  // nobody else reads it while it is written
    const std::string content(3 << 20, 'x');  // several buffers, so that most of it is on disk already
    file.Write(content);
    file.Flush();
    EXPECT_EQ(rt::ReadFile(report), kOld);

    ASSERT_TRUE(file.Close()) << tw::WideToUtf8(file.ErrorText());
    EXPECT_EQ(rt::ReadFile(report), content);
    EXPECT_EQ(Mode(report), 0640u);  // the replaced report's permissions
    EXPECT_TRUE(OtherNames(dir.Path(), {"report.htm"}).empty());
}

TEST(OutputFile, DiscardOrDestroyKeepsTheOldFile) {
    rt::TempDir dir;
    const fs::path report = dir.Path() / "report.txt";
    rt::WriteFile(report, kOld);
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(report.wstring()));
        file.Write(std::string(1 << 20, 'y'));
        file.Discard();
        EXPECT_TRUE(file.Close());  // nothing left to finish
        EXPECT_EQ(rt::ReadFile(report), kOld);

        ASSERT_TRUE(file.Open(report.wstring()));
        file.Write("unfinished");
        file.Flush();
    }  // dropped without Close
    EXPECT_EQ(rt::ReadFile(report), kOld);
    EXPECT_TRUE(OtherNames(dir.Path(), {"report.txt"}).empty());
}

TEST(OutputFile, NewFileGetsTheUmaskMode) {
    rt::TempDir dir;
    const mode_t old = ::umask(027);
    OutputFile file;
    const bool opened = file.Open((dir.Path() / "new.xml").wstring());
    file.Write("<x/>");
    const bool closed = file.Close();
    ::umask(old);
    ASSERT_TRUE(opened && closed);
    EXPECT_EQ(Mode(dir.Path() / "new.xml"), 0640u);
    EXPECT_EQ(rt::ReadFile(dir.Path() / "new.xml"), "<x/>");
}

// A link keeps its link; the file it names is replaced, its temporary file made beside that file (the same
// file system). A dangling link gets its file.
TEST(OutputFile, SymbolicLinkKeepsItsLink) {
    rt::TempDir dir;
    fs::create_directories(dir.Path() / "real");
    rt::WriteFile(dir.Path() / "real/report.htm", kOld);
    fs::create_symlink("real/report.htm", dir.Path() / "link.htm");
    fs::create_symlink("link.htm", dir.Path() / "chain.htm");
    fs::create_symlink("real/later.htm", dir.Path() / "dangling.htm");

    OutputFile file;
    ASSERT_TRUE(file.Open((dir.Path() / "chain.htm").wstring()));
    EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), dir.Path() / "real");
    file.Write("new");
    ASSERT_TRUE(file.Close());
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "chain.htm"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.htm"));
    EXPECT_EQ(rt::ReadFile(dir.Path() / "real/report.htm"), "new");

    ASSERT_TRUE(file.Open((dir.Path() / "dangling.htm").wstring()));
    file.Write("later");
    ASSERT_TRUE(file.Close());
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "dangling.htm"));
    EXPECT_EQ(rt::ReadFile(dir.Path() / "real/later.htm"), "later");

    fs::create_symlink("loop2", dir.Path() / "loop1");
    fs::create_symlink("loop1", dir.Path() / "loop2");
    EXPECT_FALSE(file.Open((dir.Path() / "loop1").wstring()));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "loop1"));
}

// Devices are written in place (there is no old report to keep), and a device that fails is an error.
TEST(OutputFile, DevicesAreWrittenInPlace) {
    OutputFile file;
    ASSERT_TRUE(file.Open(L"/dev/null"));
    EXPECT_TRUE(file.TemporaryPath().empty());
    file.Write("gone");
    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(file.Open(L"/dev/full"));
    file.Write("x");
    EXPECT_FALSE(file.Close());
    EXPECT_NE(file.ErrorText().find(L"No space left on device"), std::wstring::npos)
        << tw::WideToUtf8(file.ErrorText());
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// Under a file-size limit the write fails with "File too large" (the signal that would kill the program is
// ignored), the old report stays and the temporary file goes.
TEST(OutputFile, FileSizeLimitIsAnErrorNotADeath) {
    rt::TempDir dir;
    const fs::path report = dir.Path() / "report.rtf";
    rt::WriteFile(report, kOld);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    OutputFile file;
    ASSERT_TRUE(file.Open(report.wstring()));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    file.Write(std::string(1 << 20, 'z'));
    const bool closed = file.Close();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(closed);
    EXPECT_NE(file.ErrorText().find(L"File too large"), std::wstring::npos) << tw::WideToUtf8(file.ErrorText());
    EXPECT_NE(file.ErrorText().find(report.wstring()), std::wstring::npos);
    EXPECT_EQ(rt::ReadFile(report), kOld);
    EXPECT_TRUE(OtherNames(dir.Path(), {"report.rtf"}).empty());
}

// Names that cannot be a report fail at Open and leave nothing behind (a folder is never replaced by a file).
TEST(OutputFile, NamesThatAreNoFileFailAtOpen) {
    rt::TempDir dir;
    fs::create_directory(dir.Path() / "folder");
    OutputFile file;
    for (const std::wstring& name : {std::wstring(), dir.File("folder"), dir.File("folder") + L"/", dir.File("none/")}) {
        SCOPED_TRACE(tw::WideToUtf8(name));
        EXPECT_FALSE(file.Open(name));
        EXPECT_FALSE(file.ErrorText().empty());
    }
    EXPECT_TRUE(fs::is_directory(dir.Path() / "folder"));
    EXPECT_EQ(OtherNames(dir.Path(), {"folder"}), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(dir.Path() / "folder"));

    // A report without write permission stays protected, although its folder would allow the rename.
    if (::geteuid() != 0) {
        rt::WriteFile(dir.Path() / "kept.htm", kOld);
        fs::permissions(dir.Path() / "kept.htm", fs::perms(0444));
        EXPECT_FALSE(file.Open(dir.File("kept.htm")));
        EXPECT_NE(file.ErrorText().find(L"Permission denied"), std::wstring::npos);
        EXPECT_EQ(rt::ReadFile(dir.Path() / "kept.htm"), kOld);
    }
}

TEST(OutputFile, WriteAtPatchesBeforeTheFileIsReplaced) {
    rt::TempDir dir;
    const fs::path report = dir.Path() / "r.rtf";
    OutputFile file;
    ASSERT_TRUE(file.Open(report.wstring()));
    file.Write("head ____ " + std::string(1 << 19, '.'));
    ASSERT_TRUE(file.WriteAt(5, "FILL"));
    file.Write("end");
    ASSERT_TRUE(file.Close());
    const std::string bytes = rt::ReadFile(report);
    EXPECT_EQ(bytes.substr(0, 10), "head FILL ");
    EXPECT_EQ(bytes.substr(bytes.size() - 3), "end");
}

// Every format: Discard keeps the old report, Close replaces it, and a failed Open leaves it alone.
TEST(Writers, DiscardKeepsTheOldReportCloseReplacesIt) {
    rt::DataDirOverride data(TW_SOURCE_DIR);
    const bool chm = rt::HasProgram("chmcmd");
    for (int format = RF_RTF; format <= RF_XLSX; ++format) {
        if (format == RF_CHM && !chm) continue;
        SCOPED_TRACE(format);
        rt::TempDir dir;
        const fs::path report = dir.Path() / "report.out";
        rt::WriteFile(report, kOld);
        {
            MultiReport writer;
            writer.AddReport(format, report.wstring(), L"Default.htm");
            ASSERT_EQ(writer.Open(), RE_OK) << tw::WideToUtf8(writer.ErrorText());
            writer.BeginSubDocument(dir.File("parts/"), L"part.html", L"Part");
            for (int row = 0; row < 2000; ++row) {
                writer.BeginRow(L"row", {}, 2);
                writer.Cell(std::to_wstring(row), 0, L"");
                writer.Cell(L"a value long enough to fill a few buffers of output", 0, L"");
                writer.EndRow(L"row");
            }
            EXPECT_EQ(rt::ReadFile(report), kOld);
            writer.Discard();
            EXPECT_EQ(writer.Close(), RE_OK);  // discarded: nothing left to finish
        }
        EXPECT_EQ(rt::ReadFile(report), kOld);
        EXPECT_TRUE(OtherNames(dir.Path(), {"report.out", "parts"}).empty());

        // Destroyed while open: as Discard.
        {
            MultiReport writer;
            writer.AddReport(format, report.wstring(), L"Default.htm");
            ASSERT_EQ(writer.Open(), RE_OK);
            writer.Text(L"never finished", 0, L"", 0);
        }
        EXPECT_EQ(rt::ReadFile(report), kOld);
        EXPECT_TRUE(OtherNames(dir.Path(), {"report.out", "parts"}).empty());

        EXPECT_EQ(rt::WriteEdgeReport(format, report.wstring()), RE_OK);
        EXPECT_NE(rt::ReadFile(report), kOld);
        EXPECT_TRUE(OtherNames(dir.Path(), {"report.out", "parts"}).empty());
    }
}

// A write error during the run (the limit hit halfway): Close fails and the old report is what remains.
TEST(Writers, FailedWriteKeepsTheOldReport) {
    rt::DataDirOverride data(TW_SOURCE_DIR);
    for (int format = RF_RTF; format <= RF_XLSX; ++format) {
        if (format == RF_CHM) continue;  // its pages go to the temporary folder first; the compile is tested apart
        SCOPED_TRACE(format);
        rt::TempDir dir;
        const fs::path report = dir.Path() / "report.out";
        rt::WriteFile(report, kOld);
        struct rlimit saved {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit limited = saved;
        limited.rlim_cur = 16 * 1024;
        MultiReport writer;
        writer.AddReport(format, report.wstring(), L"Default.htm");
        ASSERT_EQ(writer.Open(), RE_OK);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        // Values that do not compress away: the workbook's deflated sheet must outgrow the limit too.
        unsigned long long noise = 88172645463325252ULL;
        for (int row = 0; row < 5000; ++row) {
            noise ^= noise << 13, noise ^= noise >> 7, noise ^= noise << 17;
            writer.BeginRow(L"row", {}, 1);
            writer.Cell(L"value " + std::to_wstring(noise % 1000000000000ULL), 0, L"");
            writer.EndRow(L"row");
        }
        const int closed = writer.Close();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(closed, RE_WRITE);
        EXPECT_NE(writer.ErrorText().find(L"File too large"), std::wstring::npos) << tw::WideToUtf8(writer.ErrorText());
        EXPECT_EQ(rt::ReadFile(report), kOld);
        EXPECT_TRUE(OtherNames(dir.Path(), {"report.out"}).empty());
    }
}

}  // namespace
