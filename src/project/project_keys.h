#pragma once
// The keys of a project file, one row each: section, key, type, range, default and the field it stands for.
// Load, save and the checks of a loaded file are all driven by this table; pages can read the same rows to
// know a field's range and default.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

class CtwDoc;

namespace project {

// What a key holds in the file. A Flag is an integer 0 or 1 (TOML true and false are taken as 1 and 0); an
// Integer is any 32-bit integer within the key's range (TOML true and false too).
enum class KeyType { Integer, Flag, Text };

// What Load does with an integer outside [minimum, maximum]: Reject reports it as a problem of the file (the
// field keeps its default); Clamp moves it to the nearer bound and logs it (for counts that size memory).
enum class OutOfRange { Reject, Clamp };

// A section of the file. A list section begins with "Counter", the number of its records; record i is the
// sub-table [Section.i].
struct ProjectSection {
    std::wstring_view name;
    bool isList;
};

struct ProjectKey {
    std::wstring_view section;
    std::wstring_view key;
    bool perRecord;  // a key of each record of a list section (not its Counter)
    KeyType type;
    int minimum;  // Integer and Flag: the range of the value
    int maximum;
    OutOfRange outOfRange;
    int defaultNumber;              // the value of a missing key (Integer and Flag)
    std::wstring_view defaultText;  // the value of a missing key (Text)
    // The field, of the project itself (record is ignored) or of its record at position record (perRecord).
    // Counter reads the number of records; setting it empties the list and fills it with that many records of
    // their defaults.
    int (*getNumber)(const CtwDoc&, size_t record);
    void (*setNumber)(CtwDoc&, size_t record, int value);
    std::wstring_view (*getText)(const CtwDoc&, size_t record);
    void (*setText)(CtwDoc&, size_t record, std::wstring value);

    // The range as a reader is told it: "an integer from 0 to 6", "0 or 1", "a text".
    std::wstring Expected() const;
};

// The sections in file order: Query, Target, ColumnProps, Markers, Converters (the connection block follows,
// written by the connection description itself).
std::span<const ProjectSection> ProjectSections();
// Every key in file order, grouped by section in the order of ProjectSections().
std::span<const ProjectKey> ProjectKeys();
// The keys of one section, in file order (empty for an unknown section).
std::span<const ProjectKey> ProjectKeysOf(std::wstring_view section);
// The row of one key; null when the section has no such key.
const ProjectKey* FindProjectKey(std::wstring_view section, std::wstring_view key);

// One value of a loaded file that cannot be used: wrong TOML type, outside its range, or a text holding a NUL
// character. The project holds the key's default in its place.
struct LoadProblem {
    std::wstring section;
    std::wstring key;
    int record = -1;        // position in a list section; -1 for a key of Query or Target (and for Counter)
    int line = 0;           // 1-based line in the file
    std::wstring expected;  // what the key takes ("an integer from 0 to 6")
    std::wstring found;     // what the file holds ("the text '1'")

    // "line 3: [Query] Format: expected an integer from 0 to 6, found the text '1'".
    std::wstring Text() const;
};

}  // namespace project
