// A CHM compile that the run's stop flag ends: the compiler is killed at once and Close fails.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "chm_writer.h"
#include "multi_report.h"
#include "report_test_util.h"
#include "text.h"

namespace {

struct CompilerGuard {
    ~CompilerGuard() { ChmReport::SetCompiler("chmcmd"); }
};

TEST(ChmStop, TheStopFlagEndsALongCompile) {
    CompilerGuard restore;
    rt::TempDir scratch;
    const std::string fake = scratch.Name("slow-chmcmd");
    std::ofstream(fake) << "#!/bin/sh\nexec sleep 60\n";
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    ChmReport::SetCompiler(fake);

    std::atomic<bool> stop{false};
    MultiReport report;
    report.AddReport(RF_CHM, tw::Utf8ToWide(scratch.Name("x.chm")), L"Default.htm");
    ReportSetup setup = report.Setup();
    setup.stop = &stop;
    report.SetSetup(setup);
    ASSERT_EQ(report.Open(), RE_OK) << tw::WideToUtf8(report.ErrorText());
    report.Text(L"page", 0, L"", 0);

    std::chrono::steady_clock::time_point requested;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        requested = std::chrono::steady_clock::now();
        stop = true;
    });
    EXPECT_EQ(report.Close(), RE_WRITE);
    const auto ended = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_LT(ended - requested, std::chrono::seconds(3));
    EXPECT_NE(report.ErrorText().find(L"stopped"), std::wstring::npos) << tw::WideToUtf8(report.ErrorText());
    EXPECT_FALSE(std::filesystem::exists(scratch.Name("x.chm")));
}

}  // namespace
