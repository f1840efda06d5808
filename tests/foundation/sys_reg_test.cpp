#include "sys_reg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>

#include "temp_folder.h"
#include "text.h"

namespace {

std::wstring W(const std::filesystem::path& path) { return tw::FromPath(path); }

// One value read back, the plain or the numbered form (number < 0: plain).
std::wstring Text(CSysReg& store, const wchar_t* key, const wchar_t* fallback, int number = -1) {
    std::wstring value = L"stale";
    number < 0 ? store.Read(key, value, fallback) : store.ReadByNo(key, number, value, fallback);
    return value;
}
int Int(CSysReg& store, const wchar_t* key, int fallback, int number = -1) {
    int value = 12345;
    number < 0 ? store.Read(key, value, fallback) : store.ReadByNo(key, number, value, fallback);
    return value;
}

using namespace std::string_literals;

const std::wstring kAwkwardTexts[] = {
    L"",
    L"plain",
    L"SELECT 1\r\nFROM t\r\n",
    L"\n starts with a line feed",
    L"ends with a line feed\n",
    L"\n",
    L"\r",
    L"tab\there",
    L"quotes \" ' \"\"\" and ''' and a backslash \\ and \\n literally",
    L"trailing backslash \\",
    L"ends with a quote\"",
    // The s suffix takes the literal's whole length, its NUL included, and never reads past its end.
    L"nul \0 bell \a esc \x1B del \x7F unit sep \x1F"s,
    L"non-ASCII: caf\u00E9 \u20AC \u4E2D\u6587 \U0001F600",
    L"$DATE$ %s %ls {braces} [brackets] # not a comment",
    L"a = 1\n[Section]\nb = 'x'",
};

TEST(SysRegTest, AwkwardTextsAndExtremeIntegersComeBackExactly) {
    TempFolder folder;
    const auto path = W(folder / "project.twp");
    const int integers[] = {0, 1, -1, INT_MAX, INT_MIN};
    {
        CSysReg store;
        store.OpenWrite(path);
        store.Section(L"Query", 0);
        int i = 0;
        for (const auto& text : kAwkwardTexts) store.Save(L"Text" + std::to_wstring(i++), text);
        i = 0;
        for (const int value : integers) store.Save(L"Int" + std::to_wstring(i++), value);
        // Awkward key and section names must survive too.
        store.Section(L"odd section.name \u00E9", 0);
        store.Save(L"key with spaces = and \"quotes\"", L"v");
        store.Save(L"", 7);
        ASSERT_TRUE(store.Commit()) << tw::WideToUtf8(store.ErrorText());
    }
    CSysReg store;
    ASSERT_EQ(store.OpenRead(path), CSysReg::Status::Ok) << tw::WideToUtf8(store.ErrorText());
    store.Section(L"Query", 0);
    int i = 0;
    for (const auto& text : kAwkwardTexts) {
        EXPECT_EQ(Text(store, (L"Text" + std::to_wstring(i)).c_str(), L"default"), text) << "text " << i;
        ++i;
    }
    i = 0;
    for (const int expected : integers) EXPECT_EQ(Int(store, (L"Int" + std::to_wstring(i++)).c_str(), 9), expected);
    store.Section(L"odd section.name \u00E9", 0);
    EXPECT_EQ(Text(store, L"key with spaces = and \"quotes\"", L""), L"v");
    EXPECT_EQ(Int(store, L"", 0), 7);
}

TEST(SysRegTest, MissingKeysWrongTypesAndMissingSectionsGiveDefaults) {
    TempFolder folder;
    const auto path = folder / "p.twp";
    TempFolder::Write(path,
                      "[Query]\nFormat = 'text'\nText = 5\nBig = 2147483648\nSmall = -2147483649\nHuge = "
                      "9223372036854775807\nReal = 1.5\nFlag = true\n");
    CSysReg store;
    ASSERT_EQ(store.OpenRead(W(path)), CSysReg::Status::Ok);
    store.Section(L"Query", 0);
    EXPECT_EQ(Int(store, L"Format", 9), 9);          // a text where an integer is wanted
    EXPECT_EQ(Text(store, L"Text", L"dflt"), L"dflt");  // an integer where a text is wanted
    for (const wchar_t* key : {L"Big", L"Small", L"Huge", L"Real", L"Absent"})
        EXPECT_EQ(Int(store, key, -7), -7) << tw::WideToUtf8(key);
    EXPECT_EQ(Int(store, L"Flag", 0), 1);
    EXPECT_FALSE(store.Has(L"Big"));
    EXPECT_FALSE(store.Has(L"Absent"));
    EXPECT_TRUE(store.Has(L"Format"));

    store.Section(L"Nowhere", 0);
    EXPECT_EQ(Int(store, L"Format", 3), 3);
    EXPECT_EQ(Text(store, L"Format", L"none", 0), L"none");
}

TEST(SysRegTest, NumberedKeysAreDistinctFromPlainKeysAndKeepSaveOrder) {
    TempFolder folder;
    const auto path = folder / "p.twp";
    {
        CSysReg store;
        store.OpenWrite(W(path));
        store.Section(L"ColumnProps", 0);
        store.Save(L"Counter", 2);
        store.SaveByNo(L"ColumnName", 0, L"first");
        store.SaveByNo(L"IsBold", 0, 1);
        store.SaveByNo(L"ColumnName", 1, L"second");
        store.Save(L"ColumnName", L"plain");
        store.SaveByNo(L"ColumnName", 10, L"tenth");
        store.Section(L"Connection", 0);
        store.Save(L"Type", L"sqlite");
        ASSERT_TRUE(store.Commit());
    }
    // Sections in save order, plain keys before the numbered sub-tables, keys in save order (not sorted).
    const std::string file = TempFolder::Read(path);
    const auto at = [&](const char* piece) { return file.find(piece); };
    EXPECT_LT(at("[ColumnProps]"), at("Counter = 2"));
    EXPECT_LT(at("Counter = 2"), at("ColumnName = \"plain\""));
    EXPECT_LT(at("ColumnName = \"plain\""), at("[ColumnProps.0]"));
    EXPECT_LT(at("ColumnName = \"first\""), at("IsBold = 1"));
    EXPECT_LT(at("[ColumnProps.1]"), at("[ColumnProps.10]"));
    EXPECT_LT(at("[ColumnProps.10]"), at("[Connection]"));

    CSysReg store;
    ASSERT_EQ(store.OpenRead(W(path)), CSysReg::Status::Ok);
    store.Section(L"ColumnProps", 0);
    EXPECT_EQ(Text(store, L"ColumnName", L""), L"plain");
    EXPECT_EQ(Text(store, L"ColumnName", L"", 0), L"first");
    EXPECT_EQ(Text(store, L"ColumnName", L"", 1), L"second");
    EXPECT_EQ(Text(store, L"ColumnName", L"", 10), L"tenth");
    EXPECT_EQ(Text(store, L"ColumnName", L"gap", 2), L"gap");
    EXPECT_EQ(Int(store, L"IsBold", -1, 1), -1);
    EXPECT_EQ(Int(store, L"IsBold", -2), -2);
}

TEST(SysRegTest, OpenReadTellsMissingUnreadableAndMalformedApart) {
    TempFolder folder;
    struct Case {
        const char* name;
        const char* bytes;  // nullptr: no file
        size_t size;
        CSysReg::Status expected;
    };
    const Case cases[] = {
        {"missing.twp", nullptr, 0, CSysReg::Status::Missing},
        {"empty.twp", "", 0, CSysReg::Status::Ok},
        {"not-toml.twp", "this is [not toml", 17, CSysReg::Status::Malformed},
        {"binary.twp", "[Query]\nText = 'a\0b'\n", 21, CSysReg::Status::Malformed},
        {"latin1.twp", "[Query]\nText = 'caf\xE9'\n", 20, CSysReg::Status::Malformed},
        {"duplicate.twp", "[Query]\nA = 1\nA = 2\n", 20, CSysReg::Status::Malformed},
    };
    for (const auto& c : cases) {
        const auto path = folder / c.name;
        if (c.bytes) TempFolder::Write(path, std::string_view(c.bytes, c.size));
        CSysReg store;
        EXPECT_EQ(store.OpenRead(W(path)), c.expected) << c.name;
        if (c.expected != CSysReg::Status::Ok) {
            EXPECT_FALSE(store.ErrorText().empty()) << c.name;
            // A failed open leaves an empty store.
            store.Section(L"Query", 0);
            EXPECT_EQ(Int(store, L"A", 42), 42);
        }
    }
    // Not regular files: a folder, a device that never ends, a FIFO without a writer (must not hang).
    const auto fifo = folder / "fifo.twp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::filesystem::path& path : {folder.Path(), std::filesystem::path("/dev/zero"), fifo}) {
        CSysReg store;
        EXPECT_EQ(store.OpenRead(W(path)), CSysReg::Status::Unreadable) << path;
    }
}

TEST(SysRegTest, FailedCommitLeavesTargetAndFolderUntouched) {
    TempFolder folder;
    const auto regular = folder / "regular.txt";
    TempFolder::Write(regular, "keep me");
    const auto occupied = folder / "occupied.twp";  // a folder where the file should go: rename fails
    std::filesystem::create_directory(occupied);
    TempFolder::Write(occupied / "inside", "x");

    const std::filesystem::path targets[] = {
        folder / "no-such-folder" / "p.twp",
        regular / "p.twp",
        "/proc/self/tw-cannot-write.twp",
        occupied,
    };
    for (const auto& target : targets) {
        CSysReg store;
        store.OpenWrite(W(target));
        store.Section(L"Query", 0);
        store.Save(L"Text", L"new");
        EXPECT_FALSE(store.Commit()) << target;
        EXPECT_FALSE(store.ErrorText().empty()) << target;
    }
    EXPECT_EQ(TempFolder::Read(regular), "keep me");
    EXPECT_EQ(TempFolder::Read(occupied / "inside"), "x");
    // No temporary file is left behind.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) ++entries;
    EXPECT_EQ(entries, 2u);
}

TEST(SysRegTest, CommitReplacesAnExistingFileWholeOrRefusesAKeyClash) {
    TempFolder folder;
    const auto path = folder / "p.twp";
    TempFolder::Write(path, std::string(10000, '#'));
    CSysReg store;
    store.OpenWrite(W(path));
    store.Section(L"Query", 0);
    store.Save(L"Format", 1);
    store.Save(L"Format", 2);  // saving a key again replaces its value
    ASSERT_TRUE(store.Commit());
    EXPECT_EQ(TempFolder::Read(path), "[Query]\nFormat = 2\n");

    // A plain key named like a record number would clash with that record's table: refused, file kept.
    CSysReg clash;
    clash.OpenWrite(W(path));
    clash.Section(L"S", 0);
    clash.Save(L"3", 1);
    clash.SaveByNo(L"Name", 3, L"x");
    EXPECT_FALSE(clash.Commit());
    EXPECT_FALSE(clash.ErrorText().empty());
    EXPECT_EQ(TempFolder::Read(path), "[Query]\nFormat = 2\n");
}

}  // namespace
