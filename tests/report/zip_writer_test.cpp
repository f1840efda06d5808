#include "zip_writer.h"

#include <gtest/gtest.h>

#include <random>

#include "report_test_util.h"

namespace {

// What Python's zipfile finds in the archive, each member compared with the file of its name under expected.
std::string Check(const std::filesystem::path& archive, const std::filesystem::path& expected) {
    std::string output;
    const int status = rt::Run("python3 " + rt::Quote(std::string(TW_SOURCE_DIR) + "/tests/report/check_zip.py") + " " +
                                   rt::Quote(archive.string()) + " " + rt::Quote(expected.string()),
                               output);
    return status == 0 ? output : "status " + std::to_string(status) + ": " + output;
}

bool HasZip64Record(const std::string& bytes) { return bytes.find(std::string("PK\x06\x06", 4)) != std::string::npos; }

// Members of every size: empty, tiny, large and compressible written in odd pieces, and incompressible
// bytes that make more output than one buffer. Names are UTF-8.
TEST(ZipWriter, MembersReadBackWhole) {
    if (!rt::HasProgram("python3")) GTEST_SKIP() << "python3 is missing";
    rt::TempDir dir;
    std::string xml;
    for (int row = 0; row < 60000; ++row) xml += "<row><c><v>" + std::to_string(row * 7919 % 100003) + "</v></c></row>";
    std::string noise(1 << 20, '\0');
    std::mt19937 random(7);
    for (char& byte : noise) byte = static_cast<char>(random());
    const std::vector<std::pair<std::string, std::string>> members = {
        {"empty", ""}, {"small.txt", "hello"}, {"xl/worksheets/sh\xc3\xa9""et.xml", xml}, {"noise.bin", noise}};
    for (const auto& [name, content] : members) {
        std::filesystem::create_directories((dir.Path() / "expected" / name).parent_path());
        rt::WriteFile(dir.Path() / "expected" / name, content);
    }
    OutputFile out;
    ASSERT_TRUE(out.Open(dir.File("a.zip")));
    {
        ZipWriter zip(out);
        for (const auto& [name, content] : members) {
            zip.Begin(name);
            for (size_t at = 0; at < content.size(); at += 9973) zip.Write(std::string_view(content).substr(at, 9973));
            zip.End();
        }
        zip.Finish();
        EXPECT_FALSE(zip.Failed());
    }
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(Check(dir.Path() / "a.zip", dir.Path() / "expected"), "members 4\n");
    const std::string bytes = rt::ReadFile(dir.Path() / "a.zip");
    EXPECT_LT(bytes.size(), xml.size() / 4 + noise.size() + 4096);  // the XML was compressed
    EXPECT_FALSE(HasZip64Record(bytes));  // within the classic limits: readers without ZIP64 take it
}

// More members than the classic end record counts: the ZIP64 end records carry the number.
TEST(ZipWriter, ManyMembersGetZip64EndRecords) {
    if (!rt::HasProgram("python3")) GTEST_SKIP() << "python3 is missing";
    rt::TempDir dir;
    OutputFile out;
    ASSERT_TRUE(out.Open(dir.File("many.zip")));
    {
        ZipWriter zip(out);
        for (int n = 0; n < 70000; ++n) zip.Add("m" + std::to_string(n), std::to_string(n));
        zip.Finish();
    }
    ASSERT_TRUE(out.Close());
    std::filesystem::create_directories(dir.Path() / "expected");
    rt::WriteFile(dir.Path() / "expected" / "m69999", "69999");
    EXPECT_EQ(Check(dir.Path() / "many.zip", dir.Path() / "expected"), "members 70000\n");
    EXPECT_TRUE(HasZip64Record(rt::ReadFile(dir.Path() / "many.zip")));
}

}  // namespace
