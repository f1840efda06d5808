#pragma once
// A small TOML emitter that keeps keys and tables in the order they are written (toml++ sorts them), and
// writes every text so that a TOML reader gives it back exactly.

#include <string>
#include <string_view>
#include <vector>

namespace tw {

class TomlWriter {
  public:
    // Starts the table [path...]; each part is quoted when it is not a bare key. indent is the nesting depth.
    void Table(const std::vector<std::wstring>& path, int indent = 0);
    void Key(std::wstring_view key, long long value);
    void Key(std::wstring_view key, std::wstring_view value);
    void Key(std::wstring_view key, const std::vector<std::wstring>& values);

    const std::string& Text() const { return m_out; }

    // A key as TOML writes it: bare when it is only letters, digits, '_' and '-', else a quoted basic string.
    static void AppendKey(std::string& out, std::wstring_view key);
    // A basic string ("..."), every control character escaped; texts with line feeds become multi-line basic
    // strings with the line feeds kept and everything else escaped.
    static void AppendString(std::string& out, std::wstring_view text);

  private:
    void BeginKey(std::wstring_view key);
    std::string m_out;
    std::string m_indent;
};

}  // namespace tw
