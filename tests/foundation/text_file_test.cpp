#include "text_file.h"

#include <gtest/gtest.h>

#include "temp_folder.h"
#include "text.h"

namespace {

TEST(LoadFileTest, RecognisesEncodings) {
    TempFolder folder;
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring expected;
    };
    const Case cases[] = {
        {"empty", "", L""},
        {"utf8", "caf\xC3\xA9 \xE2\x82\xAC\r\n", L"caf\u00E9 \u20AC\r\n"},
        {"utf8-bom", "\xEF\xBB\xBF" "SELECT 1", L"SELECT 1"},
        {"bom-only", "\xEF\xBB\xBF", L""},
        {"cp1252", "caf\xE9 \x80 \x93quoted\x94", L"caf\u00E9 \u20AC \u201Cquoted\u201D"},
        {"utf16le", std::string("\xFF\xFE" "a\0\xE9\0\xAC\x20", 8), L"a\u00E9\u20AC"},
        {"utf16be", std::string("\xFE\xFF\0a\0\xE9\x20\xAC", 8), L"a\u00E9\u20AC"},
        {"utf16le-pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE" "b\0", 8), L"\U0001F600b"},
        {"utf16be-pair", std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6), L"\U0001F600"},
        // A lone surrogate and an odd last byte cannot be decoded; they become U+FFFD, the rest is kept.
        {"utf16le-lone", std::string("\xFF\xFE\x00\xD8" "c\0" "d", 7), L"\uFFFDc\uFFFD"},
        {"nul-inside", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases) {
        const auto path = folder / c.name;
        TempFolder::Write(path, c.bytes);
        std::wstring text = L"stale";
        EXPECT_TRUE(JSON::LoadFile(tw::FromPath(path), text)) << c.name;
        EXPECT_EQ(text, c.expected) << c.name;
        EXPECT_EQ(JSON::LoadFile(tw::FromPath(path), 0), c.expected) << c.name;
    }
}

TEST(LoadFileTest, UnreadableFileGivesEmptyAndFalse) {
    TempFolder folder;
    std::wstring text = L"stale";
    EXPECT_FALSE(JSON::LoadFile(tw::FromPath(folder / "missing.sql"), text));
    EXPECT_EQ(text, L"");
    EXPECT_FALSE(JSON::LoadFile(tw::FromPath(folder.Path()), text));  // a folder
    EXPECT_EQ(JSON::LoadFile(tw::FromPath(folder / "missing.sql"), 0), L"");
}

TEST(LoadFileTest, LargeFileIsReadWhole) {
    TempFolder folder;
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += "line " + std::to_string(i) + "\n";
    TempFolder::Write(folder / "big.sql", bytes);
    EXPECT_EQ(JSON::LoadFile(tw::FromPath(folder / "big.sql"), 0), tw::Utf8ToWide(bytes));
}

}  // namespace
