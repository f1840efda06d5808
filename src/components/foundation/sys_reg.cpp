#include "sys_reg.h"

#include <toml++/toml.h>

#include <climits>
#include <cstdlib>
#include <deque>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

#include "atomic_file.h"
#include "text.h"
#include "toml_writer.h"

namespace {

// A stored value; std::monostate marks a key that is present but unusable (an integer outside 32 bits, a
// float), so that Read gives the default.
using Value = std::variant<std::monostate, int, std::wstring>;

struct KeyList {
    std::vector<std::pair<std::wstring, Value>> entries;
    // Per entry, what the file held (Kind::Missing for keys saved by the program).
    std::vector<CSysReg::Found> found;

    const Value* Find(std::wstring_view key) const {
        for (const auto& entry : entries)
            if (entry.first == key) return &entry.second;
        return nullptr;
    }
    CSysReg::Found Describe(std::wstring_view key) const {
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].first == key) return i < found.size() ? found[i] : CSysReg::Found{};
        return {};
    }
    void Set(std::wstring_view key, Value value) {
        for (auto& entry : entries) {
            if (entry.first == key) {
                entry.second = std::move(value);
                return;
            }
        }
        entries.emplace_back(std::wstring(key), std::move(value));
    }
};

struct SectionData {
    std::wstring name;
    KeyList plain;
    // Numbered keys by index, in the order each index was first saved.
    std::vector<std::pair<unsigned, KeyList>> numbered;
    // Where each index first stands in numbered: a list of ten thousand records is read and written key by
    // key, which a search through numbered would make quadratic.
    std::unordered_map<unsigned, size_t> numberedAt;

    KeyList& AddNumbered(unsigned index, KeyList keys) {
        numberedAt.try_emplace(index, numbered.size());
        numbered.emplace_back(index, std::move(keys));
        return numbered.back().second;
    }
    KeyList* Numbered(unsigned index) {
        const auto found = numberedAt.find(index);
        return found == numberedAt.end() ? nullptr : &numbered[found->second].second;
    }
    const KeyList* Numbered(unsigned index) const { return const_cast<SectionData*>(this)->Numbered(index); }
};

Value FromToml(const toml::node& node) {
    if (const auto* integer = node.as_integer()) {
        const int64_t number = integer->get();
        if (number < INT_MIN || number > INT_MAX) return std::monostate{};
        return static_cast<int>(number);
    }
    if (const auto* boolean = node.as_boolean()) return boolean->get() ? 1 : 0;
    if (const auto* text = node.as_string()) return tw::Utf8ToWide(text->get());
    return std::monostate{};
}

CSysReg::Found DescribeToml(const toml::node& node) {
    CSysReg::Found found;
    found.line = static_cast<int>(node.source().begin.line);
    if (const auto* integer = node.as_integer()) {
        found.kind = CSysReg::Kind::Integer;
        found.integer = integer->get();
    } else if (node.is_boolean()) {
        found.kind = CSysReg::Kind::Boolean;
    } else if (node.is_floating_point()) {
        found.kind = CSysReg::Kind::Float;
    } else if (node.is_string()) {
        found.kind = CSysReg::Kind::Text;
    } else {
        found.kind = CSysReg::Kind::Other;
    }
    return found;
}

// A sub-table name that is an index: decimal digits only, within unsigned.
std::optional<unsigned> IndexOf(std::string_view name) {
    if (name.empty() || name.size() > 10) return std::nullopt;
    unsigned long long number = 0;
    for (const char c : name) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > UINT_MAX) return std::nullopt;
    return static_cast<unsigned>(number);
}

void ReadKeys(const toml::table& table, KeyList& keys, SectionData* numberedOwner) {
    for (const auto& [key, node] : table) {
        if (numberedOwner) {
            if (const auto* sub = node.as_table()) {
                if (const auto index = IndexOf(key.str())) {
                    KeyList list;
                    ReadKeys(*sub, list, nullptr);
                    numberedOwner->AddNumbered(*index, std::move(list));
                }
                continue;
            }
        }
        keys.entries.emplace_back(tw::Utf8ToWide(key.str()), FromToml(node));
        keys.found.push_back(DescribeToml(node));
    }
}

void WriteKeys(tw::TomlWriter& writer, const KeyList& keys) {
    for (const auto& [key, value] : keys.entries) {
        if (const int* number = std::get_if<int>(&value))
            writer.Key(key, static_cast<long long>(*number));
        else if (const auto* text = std::get_if<std::wstring>(&value))
            writer.Key(key, *text);
    }
}

}  // namespace

struct CSysReg::Impl {
    std::wstring path;
    std::wstring error;
    std::deque<SectionData> sections;  // a deque: current stays valid as sections are added
    SectionData* current = nullptr;

    SectionData* FindSection(std::wstring_view name) {
        for (auto& section : sections)
            if (section.name == name) return &section;
        return nullptr;
    }
    void Reset() {
        sections.clear();
        current = nullptr;
        error.clear();
    }
    const Value* Lookup(std::wstring_view key) const { return current ? current->plain.Find(key) : nullptr; }
    const Value* Lookup(std::wstring_view key, unsigned index) const {
        if (!current) return nullptr;
        const KeyList* keys = current->Numbered(index);
        return keys ? keys->Find(key) : nullptr;
    }
    KeyList* Writable(std::optional<unsigned> index) {
        if (!current) {
            // Keys saved before any section go to a section without a name, so nothing is dropped silently.
            sections.push_back(SectionData{});
            current = &sections.back();
        }
        if (!index) return &current->plain;
        if (KeyList* keys = current->Numbered(*index)) return keys;
        return &current->AddNumbered(*index, KeyList{});
    }
};

CSysReg::CSysReg() : m_impl(std::make_unique<Impl>()) {}
CSysReg::~CSysReg() = default;

CSysReg::Status CSysReg::OpenRead(const std::wstring& path) {
    Impl& impl = *m_impl;
    impl.Reset();
    impl.path = path;
    std::string bytes;
    switch (tw::ReadWholeFile(tw::ToPath(path), bytes, impl.error)) {
        case tw::ReadResult::Missing:
            return Status::Missing;
        case tw::ReadResult::Unreadable:
            return Status::Unreadable;
        case tw::ReadResult::Ok:
            break;
    }
    if (bytes.find('\0') != std::string::npos) {
        impl.error = L"'" + path + L"' is a binary file, not a TOML file.";
        return Status::Malformed;
    }
    toml::table root;
    try {
        root = toml::parse(bytes, tw::WideToUtf8(path));
    } catch (const toml::parse_error& fault) {
        const auto& where = fault.source().begin;
        impl.error = L"'" + path + L"' is not a valid TOML file (line " + std::to_wstring(where.line) +
                     L", column " + std::to_wstring(where.column) + L"): " +
                     tw::Utf8ToWide(fault.description());
        return Status::Malformed;
    }
    for (const auto& [name, node] : root) {
        const auto* table = node.as_table();
        if (!table) continue;
        SectionData section;
        section.name = tw::Utf8ToWide(name.str());
        ReadKeys(*table, section.plain, &section);
        impl.sections.push_back(std::move(section));
    }
    return Status::Ok;
}

void CSysReg::OpenWrite(const std::wstring& path) {
    m_impl->Reset();
    m_impl->path = path;
}

bool CSysReg::Commit() {
    Impl& impl = *m_impl;
    impl.error.clear();
    if (impl.path.empty()) {
        impl.error = L"No file to write to.";
        return false;
    }
    tw::TomlWriter writer;
    for (const auto& section : impl.sections) {
        // A plain key named like an index would clash with that index's sub-table and make the file
        // unreadable.
        for (const auto& [index, keys] : section.numbered) {
            if (section.plain.Find(std::to_wstring(index))) {
                impl.error = L"The key '" + std::to_wstring(index) + L"' of section '" + section.name +
                             L"' is also used as a record number; nothing was written.";
                return false;
            }
        }
        writer.Table({section.name});
        WriteKeys(writer, section.plain);
        for (const auto& [index, keys] : section.numbered) {
            writer.Table({section.name, std::to_wstring(index)}, 1);
            WriteKeys(writer, keys);
        }
    }
    return tw::ReplaceFile(tw::ToPath(impl.path), writer.Text(), impl.error);
}

const std::wstring& CSysReg::ErrorText() const { return m_impl->error; }

void CSysReg::Section(std::wstring_view name, int) {
    Impl& impl = *m_impl;
    impl.current = impl.FindSection(name);
    if (!impl.current) {
        impl.sections.push_back(SectionData{std::wstring(name), {}, {}, {}});
        impl.current = &impl.sections.back();
    }
}

void CSysReg::Save(std::wstring_view key, int value) { m_impl->Writable(std::nullopt)->Set(key, value); }

void CSysReg::Save(std::wstring_view key, std::wstring_view value) {
    m_impl->Writable(std::nullopt)->Set(key, std::wstring(value));
}

void CSysReg::SaveByNo(std::wstring_view key, unsigned index, int value) {
    m_impl->Writable(index)->Set(key, value);
}

void CSysReg::SaveByNo(std::wstring_view key, unsigned index, std::wstring_view value) {
    m_impl->Writable(index)->Set(key, std::wstring(value));
}

namespace {

template <typename T, typename Default>
void Take(const Value* stored, T& value, const Default& defaultValue) {
    if (const T* found = stored ? std::get_if<T>(stored) : nullptr)
        value = *found;
    else
        value = T(defaultValue);
}

}  // namespace

void CSysReg::Read(std::wstring_view key, int& value, int defaultValue) const {
    Take(m_impl->Lookup(key), value, defaultValue);
}

void CSysReg::Read(std::wstring_view key, std::wstring& value, std::wstring_view defaultValue) const {
    Take(m_impl->Lookup(key), value, defaultValue);
}

void CSysReg::ReadByNo(std::wstring_view key, unsigned index, int& value, int defaultValue) const {
    Take(m_impl->Lookup(key, index), value, defaultValue);
}

void CSysReg::ReadByNo(std::wstring_view key, unsigned index, std::wstring& value,
                       std::wstring_view defaultValue) const {
    Take(m_impl->Lookup(key, index), value, defaultValue);
}

CSysReg::Found CSysReg::Describe(std::wstring_view key) const {
    const SectionData* section = m_impl->current;
    return section ? section->plain.Describe(key) : Found{};
}

CSysReg::Found CSysReg::DescribeByNo(std::wstring_view key, unsigned index) const {
    const SectionData* section = m_impl->current;
    const KeyList* keys = section ? section->Numbered(index) : nullptr;
    return keys ? keys->Describe(key) : Found{};
}

bool CSysReg::Has(std::wstring_view key) const {
    const Value* stored = m_impl->Lookup(key);
    return stored && !std::holds_alternative<std::monostate>(*stored);
}
