#include "settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "temp_folder.h"
#include "text.h"

namespace {

// Points the settings (and the log they write to) at a fresh folder for one test.
class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", m_folder.Path().c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_folder / "state").c_str(), 1);
        std::filesystem::create_directories(m_folder / "tablewright");
    }
    std::filesystem::path File() const { return m_folder / "tablewright" / "settings.toml"; }
    TempFolder m_folder;
};

void ExpectDefaults(const _Settings& settings) {
    const std::pair<const wchar_t*, const wchar_t*> texts[] = {
        {L"DefTitle", L"The Query Report"}, {L"DefHeader", L""},        {L"HtmlLanguage", L"en"},
        {L"HtmlCharset", L"iso-8859-1"},    {L"DateMFormat", L"DD-MM-YYYY"}, {L"TimeMFormat", L"HH:MM:SS"},
        {L"TxtSeparator", L"\t"},           {L"SQLeditor", L"notepad.exe"}};
    for (const auto& [key, value] : texts) EXPECT_EQ(settings.getStr(key), value) << tw::WideToUtf8(key);
    EXPECT_EQ(settings.getInt(L"SplitterY"), 345);
    EXPECT_EQ(settings.getInt(L"CommonHF"), 0);
    EXPECT_TRUE(settings.getArr(L"ProjList").empty());
}

TEST_F(SettingsTest, DefaultsAndUnknownKeys) {
    _Settings settings;
    ExpectDefaults(settings);
    settings.Load();  // no file yet
    ExpectDefaults(settings);
    EXPECT_EQ(settings.getStr(L"NoSuchKey"), L"");
    EXPECT_EQ(settings.getInt(L"NoSuchKey"), 0);
    EXPECT_EQ(settings.getInt(L"DefTitle"), 0);  // a text asked for as an integer
    settings.setStr(L"NoSuchKey", L"x");         // ignored, not added
    EXPECT_EQ(settings.getStr(L"NoSuchKey"), L"");
}

TEST_F(SettingsTest, SaveWritesEveryKeyInDeclarationOrderAndLoadsItBack) {
    {
        _Settings settings;
        settings.setStr(L"DefTitle", L"Quarterly \"sales\"\r\nline two");
        settings.setInt(L"SplitterY", -20);
        settings.setArr(L"ProjList", {L"/home/u/a b.twp", L"/home/u/caf\u00E9.twp"});
        ASSERT_TRUE(settings.SaveData());
    }
    const std::string file = "\n" + TempFolder::Read(File());
    const char* order[] = {"DefTitle",    "DefHeader",   "DefFooter",   "HtmlLanguage", "HtmlCharset",
                           "DateMFormat", "TimeMFormat", "Library",     "TxtSeparator", "SQLeditor",
                           "CommonHF",    "SplitterY",   "UseForEmpty", "HasHTML",      "ProjList"};
    size_t last = 0;
    for (const char* key : order) {
        const size_t found = file.find(std::string("\n") + key + " = ");
        ASSERT_NE(found, std::string::npos) << key;
        EXPECT_GE(found, last) << key;
        last = found;
    }

    _Settings loaded;
    loaded.Load();
    EXPECT_EQ(loaded.getStr(L"DefTitle"), L"Quarterly \"sales\"\r\nline two");
    EXPECT_EQ(loaded.getStr(L"TxtSeparator"), L"\t");
    EXPECT_EQ(loaded.getInt(L"SplitterY"), -20);
    EXPECT_EQ(loaded.getArr(L"ProjList"),
              (std::vector<std::wstring>{L"/home/u/a b.twp", L"/home/u/caf\u00E9.twp"}));

    loaded.ResetToDefaults();
    ExpectDefaults(loaded);
}

TEST_F(SettingsTest, WrongTypesAndUnknownKeysInTheFileAreIgnored) {
    TempFolder::Write(File(),
                      "Unknown = 'x'\nDefTitle = 12\nSplitterY = 99999999999\nCommonHF = 1\n"
                      "ProjList = ['a', 3]\nHtmlLanguage = 'de'\n");
    _Settings settings;
    settings.Load();
    EXPECT_EQ(settings.getStr(L"DefTitle"), L"The Query Report");
    EXPECT_EQ(settings.getInt(L"SplitterY"), 345);
    EXPECT_EQ(settings.getInt(L"CommonHF"), 1);
    EXPECT_TRUE(settings.getArr(L"ProjList").empty());
    EXPECT_EQ(settings.getStr(L"HtmlLanguage"), L"de");
    EXPECT_EQ(settings.getStr(L"Unknown"), L"");
}

TEST_F(SettingsTest, MalformedFileGivesDefaultsAndIsKeptBeforeSaving) {
    const std::string broken = "DefTitle = 'my title\nHtmlLanguage = 'fr'\n";  // unterminated string
    TempFolder::Write(File(), broken);
    _Settings settings;
    settings.Load();
    ExpectDefaults(settings);
    ASSERT_TRUE(settings.SaveData());
    EXPECT_EQ(TempFolder::Read(File().string() + ".broken"), broken);

    // A second broken file does not overwrite the first copy.
    const std::string binary("\x01\x02\x00 binary", 10);
    TempFolder::Write(File(), binary);
    settings.Load();
    ExpectDefaults(settings);
    ASSERT_TRUE(settings.SaveData());
    EXPECT_EQ(TempFolder::Read(File().string() + ".broken"), broken);
    EXPECT_EQ(TempFolder::Read(File().string() + ".broken.1"), binary);

    // The saved file is sound again and is not copied away a third time.
    settings.setStr(L"HtmlLanguage", L"fr");
    ASSERT_TRUE(settings.SaveData());
    EXPECT_FALSE(std::filesystem::exists(File().string() + ".broken.2"));
    _Settings reloaded;
    reloaded.Load();
    EXPECT_EQ(reloaded.getStr(L"HtmlLanguage"), L"fr");
}

TEST_F(SettingsTest, SaveCreatesTheFolderAndReportsFailure) {
    std::filesystem::remove_all(m_folder / "tablewright");
    _Settings settings;
    EXPECT_TRUE(settings.SaveData());
    EXPECT_TRUE(std::filesystem::exists(File()));

    // A regular file where the folder should be: the save fails and says so.
    std::filesystem::remove_all(m_folder / "tablewright");
    TempFolder::Write(m_folder / "tablewright", "not a folder");
    EXPECT_FALSE(settings.SaveData());
    EXPECT_EQ(TempFolder::Read(m_folder / "tablewright"), "not a folder");
}

}  // namespace
