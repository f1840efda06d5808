#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "host.h"
#include "log.h"
#include "temp_folder.h"
#include "text.h"

namespace {

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("XDG_STATE_HOME", (m_folder / "state").c_str(), 1); }
    std::string Log() const { return TempFolder::Read(CLog::FilePath()); }
    TempFolder m_folder;
};

TEST_F(LogTest, EntriesCarryStateDetailAndSource) {
    EXPECT_EQ(CLog::FilePath(), (m_folder / "state" / "tablewright" / "tablewright.log").string());
    CLog::State(L"ExReport::Macros");
    CLog::Bug(L"Could not open", L"/tmp/x.twp", "ex_report", 218);
    CLog::State(nullptr);
    EXPECT_TRUE(CLog::CurrentState().empty());
    CLog::Bug2(L"File '%ls' does not exist or inaccessible. %d", L"caf\u00E9.twp", 42);
    CLog::Bug(L"two\nlines", L"detail\r\nhere");

    const std::string log = Log();
    EXPECT_NE(log.find("[ExReport::Macros] Could not open: /tmp/x.twp (ex_report:218)\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("File 'caf\xC3\xA9.twp' does not exist or inaccessible. 42\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("two lines: detail  here\n"), std::string::npos) << log;
    size_t lines = 0;
    for (const char c : log) lines += c == '\n';
    EXPECT_EQ(lines, 3u);
}

TEST_F(LogTest, LongEntryIsNotTruncatedAndAnUnwritableLogIsIgnored) {
    const std::wstring big(100000, L'x');
    CLog::Bug2(L"start %ls end", big.c_str());
    EXPECT_NE(Log().find("start " + std::string(100000, 'x') + " end\n"), std::string::npos);

    std::filesystem::remove_all(m_folder / "state");
    TempFolder::Write(m_folder / "state", "a file where the folder should be");
    CLog::Bug(L"goes nowhere");
    CLog::Bug2(L"%ls", L"nowhere either");
    EXPECT_EQ(TempFolder::Read(m_folder / "state"), "a file where the folder should be");
}

// Warnings are echoed whenever echo is on, information only when asked for, a message already shown never;
// the log file gets all of them.
TEST_F(LogTest, EchoByKindOfEntry) {
    for (const bool info : {false, true}) {
        CLog::SetEcho(true, info);
        ::testing::internal::CaptureStderr();
        CLog::Bug(L"warned");
        CLog::Info2(L"Done, %d rows", 12);
        CLog::Info(L"informed");
        CLog::Shown(L"Error: in a box already");
        const std::string captured = ::testing::internal::GetCapturedStderr();
        CLog::SetEcho(false);
        EXPECT_NE(captured.find(" warned\n"), std::string::npos);
        EXPECT_EQ(captured.find(" Done, 12 rows\n") != std::string::npos, info) << captured;
        EXPECT_EQ(captured.find(" informed\n") != std::string::npos, info) << captured;
        EXPECT_EQ(captured.find("in a box"), std::string::npos);
    }
    const std::string log = Log();
    for (const char* entry : {" warned\n", " Done, 12 rows\n", " informed\n", " Error: in a box already\n"})
        EXPECT_NE(log.find(entry), std::string::npos) << entry;
}

// The log and its folder are the user's alone, also when they were made open before.
TEST_F(LogTest, PrivateFileAndFolder) {
    namespace fs = std::filesystem;
    const fs::path log = CLog::FilePath();
    CLog::Bug(L"first");
    EXPECT_EQ(fs::status(log).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(log.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    fs::permissions(log, fs::perms::others_read | fs::perms::group_write, fs::perm_options::add);
    fs::permissions(log.parent_path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    CLog::Info(L"second");
    EXPECT_EQ(fs::status(log).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(log.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
}

// Past the limit the log moves to ".1" (replacing the one before) and a new log starts; below it, it grows.
TEST_F(LogTest, RotatedPastTheLimit) {
    namespace fs = std::filesystem;
    const fs::path log = CLog::FilePath();
    CLog::Bug(L"old entry");
    const auto limit = static_cast<std::uintmax_t>(CLog::kRotateSize);
    fs::resize_file(log, limit - 200);  // sparse: costs no disk
    CLog::Bug(L"still fits");
    EXPECT_GT(fs::file_size(log), limit - 200);
    EXPECT_FALSE(fs::exists(log.string() + ".1"));
    TempFolder::Write(log.string() + ".1", "an older rotation");
    fs::resize_file(log, limit);
    CLog::Bug(L"new entry");
    EXPECT_EQ(fs::file_size(log.string() + ".1"), limit);
    const std::string fresh = Log();
    EXPECT_EQ(fresh.find("old entry"), std::string::npos);
    EXPECT_NE(fresh.find(" new entry\n"), std::string::npos);
    EXPECT_LT(fresh.size(), 100u);
    EXPECT_EQ(fs::status(log).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(HostTest, PlainHostMessageBoxIsOneLineOnStandardError) {
    ::testing::internal::CaptureStderr();
    Host().MessageBox(L"There is no output file specified yet.", L"Warning!", MessageIcon::Warning);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Warning!: There is no output file specified yet.\n");
}

TEST(HostTest, SetHostReplacesAndRestores) {
    struct ConsoleHost : IHost {
        bool IsConsoleMode() const override { return true; }
    } console;
    SetHost(&console);
    EXPECT_EQ(&Host(), &console);
    EXPECT_TRUE(Host().IsConsoleMode());
    Host().OpenFile(L"/nonexistent/report.html");  // console mode: nothing is started
    SetHost(nullptr);
    EXPECT_NE(&Host(), &console);
    EXPECT_FALSE(Host().IsConsoleMode());
}

TEST(HostTest, OpenFilePassesTheNameAsOneArgumentWithoutAShell) {
    TempFolder folder;
    const auto record = folder / "arguments";
    // A stand-in for xdg-open, found first on PATH, that records what it was given.
    const auto fake = folder / "xdg-open";
    TempFolder::Write(fake, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" " +
                                record.string() + "\n");
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (folder.Path().string() + ":" + oldPath).c_str(), 1);

    const std::string name = (folder / "a b; touch pwned $(touch pwned2) 'q'.html").string();
    Host().OpenFile(tw::Utf8ToWide(name));
    ::setenv("PATH", oldPath.c_str(), 1);

    for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(TempFolder::Read(record), "1\n" + name + "\n");
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_FALSE(std::filesystem::exists(folder / "pwned2"));
}

TEST(HostTest, DataDirHoldsTheTemplates) {
    ::setenv("TABLEWRIGHT_DATA_DIR", "/opt/tw-data", 1);
    EXPECT_EQ(DataDir(), "/opt/tw-data");
    ::unsetenv("TABLEWRIGHT_DATA_DIR");
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(DataDir()) / "tmpl")) << DataDir();
}

}  // namespace
