#include "settings.h"

#include <toml++/toml.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "atomic_file.h"
#include "log.h"
#include "text.h"
#include "toml_writer.h"

namespace fs = std::filesystem;

struct _Settings::Entry {
    enum class Kind { Text, Integer, TextList };
    std::wstring key;
    Kind kind;
    std::wstring text, defaultText;
    int number = 0, defaultNumber = 0;
    std::vector<std::wstring> list, defaultList;

    void Reset() {
        text = defaultText;
        number = defaultNumber;
        list = defaultList;
    }
};

namespace {

using Kind = _Settings::Entry::Kind;

void Log(const std::wstring& text, const std::wstring& detail) { CLog::Bug(text, detail, "Settings", 0); }

// Takes the value of one key from the file when it has the setting's type; otherwise the setting keeps its
// value.
bool Take(_Settings::Entry& entry, const toml::node& node) {
    switch (entry.kind) {
        case Kind::Text:
            if (const auto* text = node.as_string()) {
                entry.text = tw::Utf8ToWide(text->get());
                return true;
            }
            return false;
        case Kind::Integer:
            if (const auto* integer = node.as_integer()) {
                if (integer->get() < INT_MIN || integer->get() > INT_MAX) return false;
                entry.number = static_cast<int>(integer->get());
                return true;
            }
            if (const auto* boolean = node.as_boolean()) {
                entry.number = boolean->get() ? 1 : 0;
                return true;
            }
            return false;
        case Kind::TextList:
            if (const auto* array = node.as_array()) {
                std::vector<std::wstring> values;
                for (const auto& item : *array) {
                    const auto* text = item.as_string();
                    if (!text) return false;
                    values.push_back(tw::Utf8ToWide(text->get()));
                }
                entry.list = std::move(values);
                return true;
            }
            return false;
    }
    return false;
}

// Parses the file's bytes; false with the reason when they are not a TOML document.
bool Parse(const std::string& bytes, const std::string& path, toml::table& root, std::wstring& reason) {
    if (bytes.find('\0') != std::string::npos) {
        reason = L"binary file";
        return false;
    }
    try {
        root = toml::parse(bytes, path);
        return true;
    } catch (const toml::parse_error& fault) {
        reason = L"line " + std::to_wstring(fault.source().begin.line) + L": " +
                 tw::Utf8ToWide(fault.description());
        return false;
    }
}

// Keeps a copy of a settings file that cannot be read before it is saved over: settings.toml.broken, or the
// first settings.toml.broken.N that does not exist yet.
bool KeepBrokenCopy(const fs::path& path) {
    fs::path copy = path.string() + ".broken";
    std::error_code ec;
    for (int number = 1; fs::exists(copy, ec) && number < 1000; ++number)
        copy = path.string() + ".broken." + std::to_string(number);
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        Log(L"Could not keep a copy of the unreadable settings file", tw::Utf8ToWide(ec.message()));
        return false;
    }
    Log(L"The unreadable settings file was kept as", tw::FromPath(copy));
    return true;
}

}  // namespace

_Settings::_Settings() {
    auto text = [this](const wchar_t* key, const wchar_t* value) {
        m_entries.push_back(Entry{key, Kind::Text, value, value, 0, 0, {}, {}});
    };
    auto integer = [this](const wchar_t* key, int value) {
        m_entries.push_back(Entry{key, Kind::Integer, {}, {}, value, value, {}, {}});
    };
    text(L"DefTitle", L"The Query Report");
    text(L"DefHeader", L"");
    text(L"DefFooter", L"");
    text(L"HtmlLanguage", L"en");
    text(L"HtmlCharset", L"iso-8859-1");
    text(L"DateMFormat", L"DD-MM-YYYY");
    text(L"TimeMFormat", L"HH:MM:SS");
    text(L"Library", L"");
    text(L"TxtSeparator", L"\t");
    text(L"SQLeditor", L"notepad.exe");
    integer(L"CommonHF", 0);
    integer(L"SplitterY", 345);
    integer(L"UseForEmpty", 0);
    integer(L"HasHTML", 0);
    m_entries.push_back(Entry{L"ProjList", Kind::TextList, {}, {}, 0, 0, {}, {}});
}

_Settings::~_Settings() = default;

void _Settings::Load() {
    m_loaded = true;
    ResetToDefaults();
    const std::string path = FilePath();
    std::string bytes;
    std::wstring error;
    switch (tw::ReadWholeFile(path, bytes, error)) {
        case tw::ReadResult::Missing:
            CLog::Info(L"No settings file yet, the defaults are used", tw::Utf8ToWide(path));
            return;
        case tw::ReadResult::Unreadable:
            Log(L"Settings file unreadable, the defaults are used", error);
            return;
        case tw::ReadResult::Ok:
            break;
    }
    toml::table root;
    std::wstring reason;
    if (!Parse(bytes, path, root, reason)) {
        Log(L"Settings file malformed, the defaults are used", tw::Utf8ToWide(path) + L": " + reason);
        return;
    }
    for (Entry& entry : m_entries) {
        const toml::node* node = root.get(tw::WideToUtf8(entry.key));
        if (node && !Take(entry, *node)) Log(L"Setting of the wrong type or range ignored", entry.key);
    }
}

bool _Settings::SaveData() {
    const std::string path = FilePath();
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);

    // A file that does not parse may hold settings the user wants back; keep it before replacing it.
    std::string bytes;
    std::wstring error;
    if (tw::ReadWholeFile(path, bytes, error) == tw::ReadResult::Ok) {
        toml::table root;
        std::wstring reason;
        if (!Parse(bytes, path, root, reason) && !KeepBrokenCopy(path)) return false;
    }

    tw::TomlWriter writer;
    for (const Entry& entry : m_entries) {
        switch (entry.kind) {
            case Kind::Text:
                writer.Key(entry.key, entry.text);
                break;
            case Kind::Integer:
                writer.Key(entry.key, static_cast<long long>(entry.number));
                break;
            case Kind::TextList:
                writer.Key(entry.key, entry.list);
                break;
        }
    }
    if (!tw::ReplaceFile(path, writer.Text(), error)) {
        Log(L"Could not save the settings", error);
        return false;
    }
    return true;
}

_Settings::Entry* _Settings::Find(std::wstring_view key) {
    for (Entry& entry : m_entries)
        if (entry.key == key) return &entry;
    return nullptr;
}

const _Settings::Entry* _Settings::Find(std::wstring_view key) const {
    return const_cast<_Settings*>(this)->Find(key);
}

std::wstring _Settings::getStr(std::wstring_view key) const {
    const Entry* entry = Find(key);
    return entry && entry->kind == Kind::Text ? entry->text : std::wstring();
}

int _Settings::getInt(std::wstring_view key) const {
    const Entry* entry = Find(key);
    return entry && entry->kind == Kind::Integer ? entry->number : 0;
}

std::vector<std::wstring> _Settings::getArr(std::wstring_view key) const {
    const Entry* entry = Find(key);
    return entry && entry->kind == Kind::TextList ? entry->list : std::vector<std::wstring>();
}

void _Settings::setStr(std::wstring_view key, std::wstring_view value) {
    Entry* entry = Find(key);
    if (entry && entry->kind == Kind::Text)
        entry->text = value;
    else
        CLog::Bug(L"Unknown text setting", key, "Settings", __LINE__);
}

void _Settings::setInt(std::wstring_view key, int value) {
    Entry* entry = Find(key);
    if (entry && entry->kind == Kind::Integer)
        entry->number = value;
    else
        CLog::Bug(L"Unknown integer setting", key, "Settings", __LINE__);
}

void _Settings::setArr(std::wstring_view key, const std::vector<std::wstring>& values) {
    Entry* entry = Find(key);
    if (entry && entry->kind == Kind::TextList)
        entry->list = values;
    else
        CLog::Bug(L"Unknown list setting", key, "Settings", __LINE__);
}

void _Settings::ResetToDefaults() {
    for (Entry& entry : m_entries) entry.Reset();
}

std::string _Settings::FilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return folder + "/tablewright/settings.toml";
}

_Settings& Settings() {
    static _Settings settings;
    static const bool loaded = (settings.Load(), true);
    (void)loaded;
    return settings;
}
