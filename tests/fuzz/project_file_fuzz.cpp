// The project-file loader on arbitrary bytes. A file either loads (no error, no problems) or says why not
// (an error text, and the problems when values could not be used). A project that loaded without errors saves,
// loads back without errors and equal, key by key of the key table and its connection (less a password, which
// is never saved), and saving it again writes the same bytes.

#include <fstream>
#include <iterator>
#include <string>

#include "cdb.h"
#include "conn_string.h"
#include "ctw_doc.h"
#include "fuzz_files.h"
#include "fuzz_support.h"
#include "project_keys.h"

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The first key whose value differs, as "[Section.record] Key"; empty when the projects are equal.
std::string FirstDifference(const CtwDoc& a, const CtwDoc& b) {
    using project::KeyType;
    auto differs = [&](const project::ProjectKey& key, size_t record) {
        return key.type == KeyType::Text ? key.getText(a, record) != key.getText(b, record)
                                         : key.getNumber(a, record) != key.getNumber(b, record);
    };
    for (const project::ProjectSection& section : project::ProjectSections()) {
        const auto keys = project::ProjectKeysOf(section.name);
        for (const project::ProjectKey& key : keys)
            if (!key.perRecord && differs(key, 0))
                return "[" + tw::WideToUtf8(section.name) + "] " + tw::WideToUtf8(key.key);
        if (!section.isList) continue;
        const int records = project::FindProjectKey(section.name, L"Counter")->getNumber(a, 0);
        for (int i = 0; i < records; ++i)
            for (const project::ProjectKey& key : keys)
                if (key.perRecord && differs(key, static_cast<size_t>(i)))
                    return "[" + tw::WideToUtf8(section.name) + "." + std::to_string(i) + "] " +
                           tw::WideToUtf8(key.key);
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Scratch::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Scratch& scratch = fuzz::Scratch::Get();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring path = tw::FromPath(scratch.Write("input.twp", bytes));
    const std::string where = "file '" + fuzz::Shown(bytes) + "'";

    CtwDoc project;
    const bool loaded = project.LoadFile(path);
    if (!loaded) {
        FUZZ_CHECK(!project.LoadError().empty(), where + ": failed without saying why");
        return 0;
    }
    FUZZ_CHECK(project.LoadError().empty() && project.LoadProblems().empty(),
               where + ": loaded, but with an error: " + fuzz::Shown(project.LoadError()));

    const std::filesystem::path savedPath = scratch.File("saved.twp");
    const std::filesystem::path againPath = scratch.File("again.twp");
    for (const auto& file : {savedPath, againPath}) {
        std::filesystem::remove(file);
        std::filesystem::remove(std::filesystem::path(file).replace_extension(".bak"));
    }
    FUZZ_CHECK(project.Save(tw::FromPath(savedPath)), where + ": cannot be saved: " + fuzz::Shown(project.SaveError()));
    const std::string saved = ReadBytes(savedPath);

    CtwDoc reloaded;
    FUZZ_CHECK(reloaded.LoadFile(tw::FromPath(savedPath)),
               where + ": saved as '" + fuzz::Shown(saved) + "', it loads back with an error: " +
                   fuzz::Shown(reloaded.LoadError()));
    const std::string difference = FirstDifference(project, reloaded);
    FUZZ_CHECK(difference.empty(), where + ": saved as '" + fuzz::Shown(saved) + "', " + difference + " differs");

    FUZZ_CHECK(project.Connection() != nullptr && reloaded.Connection() != nullptr, where + ": no connection object");
    const CONN_INFO& original = project.Connection()->m_ConInfo;
    const CONN_INFO& back = reloaded.Connection()->m_ConInfo;
    bool removed = false;
    const std::wstring expected = tw::db::WithoutPassword(original.Type, original.Connection, removed);
    FUZZ_CHECK(back.Type == original.Type && back.Connection == expected,
               where + ": the connection '" + fuzz::Shown(original.Connection) + "' loads back as '" +
                   fuzz::Shown(back.Connection) + "'");

    FUZZ_CHECK(reloaded.Save(tw::FromPath(againPath)), where + ": cannot be saved again");
    const std::string again = ReadBytes(againPath);
    FUZZ_CHECK(again == saved, where + ": saved twice differently: '" + fuzz::Shown(saved) + "' and '" +
                                   fuzz::Shown(again) + "'");
    return 0;
}
