#include "rule_edit.h"

#include <cwctype>
#include <fstream>
#include <filesystem>

#include "text.h"

namespace rule_edit {

int ExistingPropertyFor(const CtwDoc& project, std::wstring_view column) {
    if (column.empty()) return -1;
    for (size_t i = 0; i < project.m_columnProperties.size(); ++i) {
        if (project.m_columnProperties[i].ColumnName == column) return static_cast<int>(i);
    }
    return -1;
}

int ExistingMarkerFor(const CtwDoc& project, std::wstring_view column) {
    if (column.empty()) return -1;
    for (size_t i = 0; i < project.m_markers.size(); ++i) {
        const ValueMarker& marker = project.m_markers[i];
        if (marker.IsWholeRow == 0 && marker.Column == column) return static_cast<int>(i);
    }
    return -1;
}

int ExistingConverterFor(const CtwDoc& project, std::wstring_view column) {
    if (column.empty()) return -1;
    for (size_t i = 0; i < project.m_converters.size(); ++i) {
        if (project.m_converters[i].Column == column) return static_cast<int>(i);
    }
    return -1;
}

std::wstring AlreadyHasRuleText(std::wstring_view column, int position) {
    return L"The column '" + std::wstring(column) + L"' already has a rule (row " + std::to_wstring(position + 1) +
           L"); only the first rule of a column is applied. Select that row to change it.";
}

int SelectionAfterRemove(int removed, int count) {
    if (count <= 0) return -1;
    if (removed < 0) return 0;
    return removed < count ? removed : count - 1;
}

namespace {
template <class Record, class Same>
bool SaveRecord(std::vector<Record>& list, int position, const Record& record, Same same) {
    if (position < 0 || static_cast<size_t>(position) >= list.size()) return false;
    return !same(list[static_cast<size_t>(position)], record);
}
}  // namespace

bool SaveMarker(CtwDoc& project, int position, const ValueMarker& marker) {
    if (!SaveRecord(project.m_markers, position, marker, SameMarker)) return false;
    project.SetMarker(static_cast<size_t>(position), marker);
    return true;
}

bool SaveProperty(CtwDoc& project, int position, const ColumnProperty& property) {
    if (!SaveRecord(project.m_columnProperties, position, property, SameColumnProperty)) return false;
    project.SetColumnProperty(static_cast<size_t>(position), property);
    return true;
}

bool SaveConverter(CtwDoc& project, int position, const Converter& converter) {
    if (!SaveRecord(project.m_converters, position, converter, SameConverter)) return false;
    project.SetConverter(static_cast<size_t>(position), converter);
    return true;
}

bool ParseFormatDigits(std::wstring_view text, int& value) {
    if (text.empty()) {
        value = -1;
        return true;
    }
    int number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + (c - L'0');
        if (number > kMaxFormatDigits) return false;
    }
    value = number;
    return true;
}

std::wstring RegexError(const std::wstring& pattern) {
    if (pattern.empty()) return {};
    Converter probe;
    probe.RegexFrom = pattern;
    probe.RegexTo = L"$&";  // an expression without a replacement is never compiled
    if (PrepareConverter(probe)) return {};
    return probe.compileError.empty() ? L"Invalid regular expression." : probe.compileError;
}

std::wstring SampleAfter(const Converter& converter, std::wstring_view value, int type, bool& failed) {
    Converter probe = converter;
    BeginConverterRun(probe);
    // The page shows the failure itself; a message box per keystroke would be no help.
    probe.errorReported = true;
    int failure = 0;
    std::wstring out = ApplyConverter(probe, value, type, failure);
    failed = failure != 0;
    return out;
}

bool CreateEmptyFile(const std::wstring& path) {
    const std::filesystem::path file = tw::ToPath(path);
    std::error_code error;
    if (std::filesystem::exists(file, error)) return true;
    std::ofstream out(file, std::ios::binary | std::ios::app);
    return static_cast<bool>(out);
}

}  // namespace rule_edit
