#pragma once
// Rules of the project pages that do not depend on widgets: the output formats as the pages offer them, the
// output file's extension, the script file and script checks, and where a library script goes.

#include <span>
#include <string>
#include <string_view>

namespace pages {

// One output format as the Output page lists it, in list order.
struct OutputFormatInfo {
    std::wstring_view label;      // the list entry
    int format;                   // the project's Format number
    std::wstring_view extension;  // without the dot
    std::wstring_view filter;     // the file dialog's filter, "Name|*.ext"
    bool showsLanguage;           // language and charset apply (HTML, CHM)
    bool showsLandscape;          // landscape applies (Word/RTF, PDF)
    bool showsStyle;              // a report style applies (HTML, CHM)
};

// The seven formats in list order: HTML, XML, Text, Word/RTF, Excel, CHM, PDF.
std::span<const OutputFormatInfo> OutputFormats();
// The list position of a Format number; 0 (HTML) for a number the list does not have.
int FormatPosition(int format);
// The format at a list position; HTML for a position outside the list (no selection).
const OutputFormatInfo& FormatAt(int position);
// The format of a Format number (HTML for an unknown one).
inline const OutputFormatInfo& FormatInfo(int format) { return FormatAt(FormatPosition(format)); }

// file with its last three characters replaced by extension when it is longer than four characters and they
// differ from it (case counts). Only the last three characters change, so "out.html" becomes "out.hhtm".
std::wstring WithExtension(const std::wstring& file, std::wstring_view extension);

// text without spaces, carriage returns, line feeds and tabs at both ends (what Check sends).
std::wstring TrimScript(std::wstring_view text);

// Whether path names a file that can be read now: the only paths file mode stores as the script file.
bool IsReadableFile(const std::wstring& path);

// Where a library script goes in the editor.
enum class Placement { AtCaret = 0, Replace = 1, Append = 2 };
// script after placing text by mode; caret is a character position in script (clamped to it).
std::wstring PlaceScript(const std::wstring& script, size_t caret, const std::wstring& text, Placement mode);

// The program's SQL keywords, upper case, one list for every SQL editor of the program (space separated).
std::string_view SqlKeywords();

}  // namespace pages
