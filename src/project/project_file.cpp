// Reading and writing the project file through the key/value store.

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <optional>

#include "ctw_doc.h"
#include "log.h"
#include "project_keys.h"
#include "sys_reg.h"
#include "text.h"

namespace {

enum class Backup { None, Linked, Renamed };

// Keeps the file at path under backup unless backup exists already. A hard link keeps the project file in
// place until the new one is renamed over it; a file system without hard links gets a rename that does not
// replace.
Backup MakeBackup(const std::wstring& path, const std::wstring& backup) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(tw::ToPath(path), error))) {
        return Backup::None;
    }
    const std::string source = tw::WideToUtf8(path), target = tw::WideToUtf8(backup);
    if (link(source.c_str(), target.c_str()) == 0) return Backup::Linked;
    if (errno == EEXIST) return Backup::None;
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return Backup::Renamed;
    }
    return Backup::None;
}

// Undoes MakeBackup after a failed save, so the disk is as it was before.
void UndoBackup(Backup made, const std::wstring& path, const std::wstring& backup) {
    const std::string source = tw::WideToUtf8(path), target = tw::WideToUtf8(backup);
    if (made == Backup::Linked) unlink(target.c_str());
    if (made == Backup::Renamed)
        renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, source.c_str(), RENAME_NOREPLACE);
}

using project::KeyType;
using project::LoadProblem;
using project::OutOfRange;
using project::ProjectKey;
using project::ProjectSection;

void SaveValue(const CtwDoc& doc, CSysReg& store, const ProjectKey& row, std::optional<unsigned> record) {
    const size_t position = record.value_or(0);
    if (row.type == KeyType::Text) {
        const std::wstring_view text = row.getText(doc, position);
        record ? store.SaveByNo(row.key, *record, text) : store.Save(row.key, text);
    } else {
        const int number = row.getNumber(doc, position);
        record ? store.SaveByNo(row.key, *record, number) : store.Save(row.key, number);
    }
}

// Every key of the table in its order; a list section's records follow its Counter.
void SaveKeys(const CtwDoc& doc, CSysReg& store) {
    for (const ProjectSection& section : project::ProjectSections()) {
        store.Section(section.name, 0);
        const auto keys = project::ProjectKeysOf(section.name);
        for (const ProjectKey& row : keys)
            if (!row.perRecord) SaveValue(doc, store, row, std::nullopt);
        if (!section.isList) continue;
        const auto records =
            static_cast<unsigned>(project::FindProjectKey(section.name, L"Counter")->getNumber(doc, 0));
        for (unsigned i = 0; i < records; ++i) {
            for (const ProjectKey& row : keys)
                if (row.perRecord) SaveValue(doc, store, row, i);
        }
    }
}

// A value as a problem report shows it: short, quoted, control characters escaped.
std::wstring Shown(std::wstring_view text) {
    constexpr size_t kShownLength = 40;
    std::wstring shown = L"'";
    for (size_t i = 0; i < text.size() && i < kShownLength; ++i) {
        const wchar_t c = text[i];
        if (c < 0x20) {
            shown += L"\\u00";
            shown += L"0123456789abcdef"[c >> 4];
            shown += L"0123456789abcdef"[c & 15];
        } else {
            shown += c;
        }
    }
    if (text.size() > kShownLength) shown += L"...";
    return shown + L"'";
}

// Reads the keys of the table into a project, checking each value against its row.
class KeyReader {
  public:
    KeyReader(const CSysReg& store, CtwDoc& doc, std::vector<LoadProblem>& problems)
        : m_store(store), m_doc(doc), m_problems(problems) {}

    void Read(const ProjectKey& row, std::optional<unsigned> record) {
        const size_t position = record.value_or(0);
        const CSysReg::Found found =
            record ? m_store.DescribeByNo(row.key, *record) : m_store.Describe(row.key);
        if (row.type == KeyType::Text) {
            std::wstring text;
            if (found.kind == CSysReg::Kind::Text) {
                record ? m_store.ReadByNo(row.key, *record, text, L"") : m_store.Read(row.key, text, L"");
                // A NUL would cut the text short wherever it passes through C strings.
                if (text.find(L'\0') == std::wstring::npos) {
                    row.setText(m_doc, position, std::move(text));
                    return;
                }
                Problem(row, record, found.line, L"a text without NUL characters",
                        L"a NUL character at position " + std::to_wstring(text.find(L'\0') + 1));
            } else if (found.kind != CSysReg::Kind::Missing) {
                Problem(row, record, found.line, row.Expected(), Describe(found, row, record));
            }
            row.setText(m_doc, position, std::wstring(row.defaultText));
            return;
        }
        long long number = row.defaultNumber;
        if (found.kind == CSysReg::Kind::Integer) {
            number = found.integer;
        } else if (found.kind == CSysReg::Kind::Boolean) {
            int flag = 0;
            record ? m_store.ReadByNo(row.key, *record, flag, 0) : m_store.Read(row.key, flag, 0);
            number = flag;
        } else if (found.kind != CSysReg::Kind::Missing) {
            Problem(row, record, found.line, row.Expected(), Describe(found, row, record));
        }
        const bool fits = number >= INT_MIN && number <= INT_MAX;
        if (fits && (number < row.minimum || number > row.maximum) && row.outOfRange == OutOfRange::Clamp) {
            const long long clamped = number < row.minimum ? row.minimum : row.maximum;
            // One log line however many: the first few named, the rest counted.
            if (++m_clampCount <= kNamedClamps) {
                m_clamped += (m_clamped.empty() ? L"" : L", ") + Name(row, record) + L" " +
                             std::to_wstring(number) + L" to " + std::to_wstring(clamped) + L" (line " +
                             std::to_wstring(found.line) + L")";
            }
            number = clamped;
        } else if (!fits || number < row.minimum || number > row.maximum) {
            Problem(row, record, found.line, row.Expected(), L"the integer " + std::to_wstring(number));
            number = row.defaultNumber;
        }
        row.setNumber(m_doc, position, static_cast<int>(number));
    }

    // The clamped values, for one log line: "[Converters.0] Pres 400 to 30 (line 12), ...".
    std::wstring Clamped() const {
        if (m_clampCount <= kNamedClamps) return m_clamped;
        return m_clamped + L" and " + std::to_wstring(m_clampCount - kNamedClamps) + L" more";
    }

  private:
    static std::wstring Name(const ProjectKey& row, std::optional<unsigned> record) {
        std::wstring name = L"[" + std::wstring(row.section);
        if (record) name += L"." + std::to_wstring(*record);
        return name + L"] " + std::wstring(row.key);
    }

    std::wstring Describe(const CSysReg::Found& found, const ProjectKey& row,
                          std::optional<unsigned> record) const {
        switch (found.kind) {
            case CSysReg::Kind::Integer:
                return L"the integer " + std::to_wstring(found.integer);
            case CSysReg::Kind::Boolean: {
                int flag = 0;
                record ? m_store.ReadByNo(row.key, *record, flag, 0) : m_store.Read(row.key, flag, 0);
                return flag ? L"true" : L"false";
            }
            case CSysReg::Kind::Float:
                return L"a floating-point number";
            case CSysReg::Kind::Text: {
                std::wstring text;
                record ? m_store.ReadByNo(row.key, *record, text, L"") : m_store.Read(row.key, text, L"");
                return L"the text " + Shown(text);
            }
            default:
                return L"a table, an array or a date";
        }
    }

    void Problem(const ProjectKey& row, std::optional<unsigned> record, int line, std::wstring expected,
                 std::wstring found) {
        LoadProblem problem;
        problem.section = row.section;
        problem.key = row.key;
        problem.record = record ? static_cast<int>(*record) : -1;
        problem.line = line;
        problem.expected = std::move(expected);
        problem.found = std::move(found);
        m_problems.push_back(std::move(problem));
    }

    const CSysReg& m_store;
    CtwDoc& m_doc;
    std::vector<LoadProblem>& m_problems;
    static constexpr size_t kNamedClamps = 10;
    std::wstring m_clamped;
    size_t m_clampCount = 0;
};

// Every key of the table into doc; problems collects the values that could not be used.
void ReadKeys(CtwDoc& doc, CSysReg& store, const std::wstring& path, std::vector<LoadProblem>& problems) {
    KeyReader reader(store, doc, problems);
    for (const ProjectSection& section : project::ProjectSections()) {
        store.Section(section.name, 0);
        const auto keys = project::ProjectKeysOf(section.name);
        for (const ProjectKey& row : keys)
            if (!row.perRecord) reader.Read(row, std::nullopt);
        if (!section.isList) continue;
        const auto records =
            static_cast<unsigned>(project::FindProjectKey(section.name, L"Counter")->getNumber(doc, 0));
        for (unsigned i = 0; i < records; ++i) {
            for (const ProjectKey& row : keys)
                if (row.perRecord) reader.Read(row, i);
        }
    }
    if (!reader.Clamped().empty()) {
        CLog::Bug2(L"Project '%ls': values outside their range were moved into it: %ls.", path.c_str(),
                   reader.Clamped().c_str());
    }
}

}  // namespace

std::wstring CtwDoc::BackupPath(const std::wstring& path) {
    static constexpr std::wstring_view kExtension = L".twp";
    if (path.size() > kExtension.size()) {
        const size_t start = path.size() - kExtension.size();
        bool matches = path[start - 1] != L'/';
        for (size_t i = 0; matches && i < kExtension.size(); ++i) {
            matches =
                std::towlower(static_cast<wint_t>(path[start + i])) == static_cast<wint_t>(kExtension[i]);
        }
        if (matches) return path.substr(0, start) + L".bak";
    }
    return path + L".bak";
}

bool CtwDoc::Save(const std::wstring& path) {
    m_saveError.clear();
    if (path.empty()) {
        m_saveError = L"No file name was given.";
        return false;
    }
    // The first save that finds no backup keeps the old file as the backup; later saves leave that backup.
    const std::wstring backup = BackupPath(path);
    const Backup madeBackup = MakeBackup(path, backup);

    CSysReg store;
    store.OpenWrite(path);
    SaveKeys(*this, store);
    if (m_connection) {
        CONN_INFO info = m_connection->m_ConInfo;
        info.Save(store, L"Connection");
    }
    if (!store.Commit()) {
        m_saveError = store.ErrorText();
        // Nothing may be lost: put the old file back where it was.
        UndoBackup(madeBackup, path, backup);
        CLog::Bug(L"The project could not be saved.", path + L": " + m_saveError);
        return false;
    }
    m_pathName = path;
    SetModified(false);
    return true;
}

bool CtwDoc::Load(const std::wstring& path) {
    const bool loaded = LoadFile(path);
    // A failed connection shows in the project window and in the report run.
    if (m_fileNamesConnection) ConnectDatabase();
    return loaded;
}

bool CtwDoc::LoadFile(const std::wstring& path) {
    m_loadError.clear();
    m_loadProblems.clear();
    CSysReg store;
    const CSysReg::Status status = store.OpenRead(path);
    if (status != CSysReg::Status::Ok && status != CSysReg::Status::Missing) {
        m_loadError = store.ErrorText().empty() ? L"The file is not a project." : store.ErrorText();
    }
    m_pathName = path;

    ReadKeys(*this, store, path, m_loadProblems);
    m_titleOn = !Title.empty();
    m_headerOn = !Header.empty();
    m_footerOn = !FooterTxt.empty();

    CONN_INFO info;
    info.Load(store, L"Connection");
    info.BaseFolder = ProjectFolder();
    m_fileNamesConnection = !info.IsEmpty();
    if (!m_connection) {
        // A type without a connection string yet (or one that held only a password, which is never saved) is
        // still the project's choice: it must come back as it was saved.
        m_connection = CDB::newDB(info.Type);
        if (m_connection) m_connection->m_ConInfo = info;
    }
    if (!info.IsEmpty()) {
        if (!m_connection || m_connection->m_Type != info.Type) {
            m_connection.reset();
            m_connection = CDB::newDB(info.Type);
        }
        if (m_connection) {
            // Still connected to the database of what was loaded before: that is not this project's.
            if (m_connection->IsConnected() && m_connection->m_ConInfo != info) m_connection->Disconnect();
            m_connection->m_ConInfo = info;
        }
    }
    SetModified(false);
    if (!m_loadError.empty()) {
        CLog::Bug(L"The file is not a project file; defaults were loaded.", path + L": " + m_loadError);
        return false;
    }
    if (!m_loadProblems.empty()) {
        m_loadError = L"The project file has values that cannot be used (their defaults were loaded):";
        // The text lists the first few; LoadProblems() keeps them all.
        constexpr size_t kListed = 20;
        for (size_t i = 0; i < m_loadProblems.size() && i < kListed; ++i)
            m_loadError += L"\n  " + m_loadProblems[i].Text();
        if (m_loadProblems.size() > kListed)
            m_loadError += L"\n  and " + std::to_wstring(m_loadProblems.size() - kListed) + L" more.";
        CLog::Bug(L"The project file has values that cannot be used", path + L": " + m_loadError);
        return false;
    }
    return true;
}

bool CtwDoc::ConnectDatabase() {
    CDB* connection = m_connection.get();
    if (connection == nullptr || connection->m_ConInfo.IsEmpty()) return false;
    const CONN_INFO info = connection->m_ConInfo;
    return CDB::isOK(connection->Connect(info));
}
