#pragma once
// The settings store: every setting declared with its default, kept in settings.toml.

#include <string>
#include <string_view>
#include <vector>

class _Settings {
  public:
    // Declares every setting with its default, in declaration order; nothing is read yet.
    _Settings();
    ~_Settings();
    _Settings(const _Settings&) = delete;
    _Settings& operator=(const _Settings&) = delete;

    // Reads the settings file; a missing, unreadable or malformed file keeps the defaults and logs why.
    void Load();
    // Writes every setting to the settings file (temporary file and rename); false when that failed.
    bool SaveData();

    std::wstring getStr(std::wstring_view key) const;
    int getInt(std::wstring_view key) const;
    std::vector<std::wstring> getArr(std::wstring_view key) const;
    void setStr(std::wstring_view key, std::wstring_view value);
    void setInt(std::wstring_view key, int value);
    void setArr(std::wstring_view key, const std::vector<std::wstring>& values);

    // Back to the declared defaults (tests, and a file that cannot be read).
    void ResetToDefaults();
    // $XDG_CONFIG_HOME/tablewright/settings.toml, or ~/.config/tablewright/settings.toml.
    static std::string FilePath();

    // One declared setting with its value and default (defined where the settings are read and written).
    struct Entry;

  private:
    Entry* Find(std::wstring_view key);
    const Entry* Find(std::wstring_view key) const;
    std::vector<Entry> m_entries;
    bool m_loaded = false;
};

// The process's one settings store, created on first use.
_Settings& Settings();
