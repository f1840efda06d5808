#include "toml_writer.h"

#include <cstdio>

#include "text.h"

namespace tw {
namespace {

bool IsBareKey(std::wstring_view key) {
    if (key.empty()) return false;
    for (const wchar_t c : key) {
        const bool ok = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
                        c == L'_' || c == L'-';
        if (!ok) return false;
    }
    return true;
}

void AppendEscaped(std::string& out, std::wstring_view text, bool keepLineFeeds) {
    size_t runStart = 0;
    auto flush = [&](size_t end) {
        if (end > runStart) AppendUtf8(out, text.substr(runStart, end - runStart));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const char* escape = nullptr;
        char unicode[8];
        switch (c) {
            case L'"':
                escape = "\\\"";
                break;
            case L'\\':
                escape = "\\\\";
                break;
            case L'\b':
                escape = "\\b";
                break;
            case L'\t':
                escape = "\\t";
                break;
            case L'\f':
                escape = "\\f";
                break;
            case L'\r':
                escape = "\\r";
                break;
            case L'\n':
                // A line feed right after the opening """ would be dropped by the reader, so that one stays
                // escaped.
                if (keepLineFeeds && i > 0) continue;
                escape = "\\n";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    std::snprintf(unicode, sizeof unicode, "\\u%04X", static_cast<unsigned>(c));
                    escape = unicode;
                }
        }
        if (!escape) continue;
        flush(i);
        out += escape;
        runStart = i + 1;
    }
    flush(text.size());
}

}  // namespace

void TomlWriter::AppendKey(std::string& out, std::wstring_view key) {
    if (IsBareKey(key)) {
        AppendUtf8(out, key);
        return;
    }
    out.push_back('"');
    AppendEscaped(out, key, false);
    out.push_back('"');
}

void TomlWriter::AppendString(std::string& out, std::wstring_view text) {
    if (text.find(L'\n') == std::wstring_view::npos) {
        out.push_back('"');
        AppendEscaped(out, text, false);
        out.push_back('"');
        return;
    }
    out += "\"\"\"";
    AppendEscaped(out, text, true);
    out += "\"\"\"";
}

void TomlWriter::Table(const std::vector<std::wstring>& path, int indent) {
    if (!m_out.empty()) m_out.push_back('\n');
    m_indent.assign(static_cast<size_t>(indent > 0 ? indent : 0) * 4, ' ');
    m_out += m_indent;
    m_out.push_back('[');
    for (size_t i = 0; i < path.size(); ++i) {
        if (i) m_out.push_back('.');
        AppendKey(m_out, path[i]);
    }
    m_out += "]\n";
}

void TomlWriter::BeginKey(std::wstring_view key) {
    m_out += m_indent;
    AppendKey(m_out, key);
    m_out += " = ";
}

void TomlWriter::Key(std::wstring_view key, long long value) {
    BeginKey(key);
    m_out += std::to_string(value);
    m_out.push_back('\n');
}

void TomlWriter::Key(std::wstring_view key, std::wstring_view value) {
    BeginKey(key);
    AppendString(m_out, value);
    m_out.push_back('\n');
}

void TomlWriter::Key(std::wstring_view key, const std::vector<std::wstring>& values) {
    BeginKey(key);
    if (values.empty()) {
        m_out += "[]\n";
        return;
    }
    m_out += "[\n";
    for (const auto& value : values) {
        m_out += m_indent;
        m_out += "    ";
        AppendString(m_out, value);
        m_out += ",\n";
    }
    m_out += m_indent;
    m_out += "]\n";
}

}  // namespace tw
