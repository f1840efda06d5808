#pragma once
// The sectioned key/value store that project files are written through: a TOML file.
// A section is a table, a numbered key (key, i) the key inside the sub-table [Section.i]. Texts come back
// exactly as written; integers are 32-bit. Keys are written in the order they are saved.

#include <memory>
#include <string>
#include <string_view>

class CSysReg {
  public:
    enum class Status { Ok, Missing, Unreadable, Malformed };

    CSysReg();
    ~CSysReg();
    CSysReg(const CSysReg&) = delete;
    CSysReg& operator=(const CSysReg&) = delete;

    // Opens the file for reading: parses it whole. Anything but Ok leaves an empty store (every Read gives
    // its default) and an error text.
    Status OpenRead(const std::wstring& path);
    // Starts an empty store that Commit writes to path.
    void OpenWrite(const std::wstring& path);
    // Writes the store to a temporary file beside the target and renames it over the target. False, with an
    // error text, when anything failed; the target is then unchanged.
    bool Commit();
    const std::wstring& ErrorText() const;

    void Section(std::wstring_view name, int);
    void Save(std::wstring_view key, int value);
    void Save(std::wstring_view key, std::wstring_view value);
    void SaveByNo(std::wstring_view key, unsigned index, int value);
    void SaveByNo(std::wstring_view key, unsigned index, std::wstring_view value);
    // Read: the stored value, or the default when the key is missing or of another type.
    void Read(std::wstring_view key, int& value, int defaultValue) const;
    void Read(std::wstring_view key, std::wstring& value, std::wstring_view defaultValue) const;
    void ReadByNo(std::wstring_view key, unsigned index, int& value, int defaultValue) const;
    void ReadByNo(std::wstring_view key, unsigned index, std::wstring& value,
                  std::wstring_view defaultValue) const;
    // Whether the current section holds the key (a text or an integer).
    bool Has(std::wstring_view key) const;

    // What the file holds under a key, so that a reader can tell a missing key from one of the wrong type.
    enum class Kind { Missing, Integer, Boolean, Float, Text, Other };
    struct Found {
        Kind kind = Kind::Missing;
        int line = 0;              // 1-based line of the key in the file; 0 when not read from a file
        long long integer = 0;     // the whole TOML integer (Kind::Integer), also beyond 32 bits
    };
    Found Describe(std::wstring_view key) const;
    Found DescribeByNo(std::wstring_view key, unsigned index) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
