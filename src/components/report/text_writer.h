#pragma once
// Text reports (UTF-8): a paragraph is a plain line; a table is a header line and one line per row, the values
// joined by the separator exactly as stored; a value holding the separator, a double quote or a line break is
// quoted as in RFC 4180. A table is followed by an empty line when anything comes after it. Lines end in LF.

#include <array>
#include <cstdint>
#include <string>

#include "areport.h"
#include "output_file.h"
#include "text.h"

class TextReport : public AReport {
public:
    TextReport() { m_usesCellColor = false; }  // a text has no cell colours
    int Open() override;
    int Close() override;
    bool OutputFailed() const override { return m_file.WriteFailed(); }
    void Discard() override;
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override;
    void BeginSubDocument(std::wstring_view, std::wstring_view, std::wstring_view) override {}
    void EndSubDocument() override {}
    void Ancor(std::wstring_view) override {}
    void EndOfLine() override;
    void BeginStyle(int, int) override {}
    void EndStyle(int, int) override {}
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override;
    void EndParagraph(PARAGRAPH_TYPE type) override;
    void BeginToc() override {}
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override;
    void EndToc() override {}
    void BeginTable(std::wstring_view name, std::wstring_view none) override;
    void EndTable(std::wstring_view name) override;
    void BeginRow(std::wstring_view cls, std::wstring_view none, int columns) override;
    void EndRow(std::wstring_view cls) override;
    void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) override;
    void EndCell(std::wstring_view columnName, int header) override;
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) override;
    void FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) override;

private:
    // Starts a line of its own: ends an unfinished row or paragraph and separates it from a table before.
    void StartLine();
    void EndLine();
    // A value of a row after its separator, quoted when it holds the separator, a double quote or a line break.
    // Both scan the value once, quoting from the first character that calls for it.
    void WriteValue(std::wstring_view value);
    // The value itself, after the separator.
    void WriteQuoted(std::wstring_view value);
    // The same for UTF-8 bytes; false (nothing written) when a byte begins no valid sequence, since such a
    // byte is written as the UTF-8 of its Windows-1252 character: the caller then writes the decoded text.
    bool WriteValueUtf8(std::string_view value);
    void WriteUtf8(std::wstring_view text) {
        tw::AppendUtf8(m_file.Buffer(), text);
        m_file.MaybeFlush();
    }

    OutputFile m_file;
    std::wstring m_separator;
    std::string m_separatorBytes;
    // What each byte (and ASCII character) means to the quoting check: kPlain, kQuotes (a double quote, a line
    // break or a one-byte separator) or kNonAscii.
    enum : std::uint8_t { kPlain = 0, kQuotes = 1, kNonAscii = 2 };
    std::array<std::uint8_t, 256> m_byteClass{};
    bool m_searchSeparator = false;  // the separator is longer than one byte: found by a search of its own
    bool m_utf8Separator = false;    // the separator's UTF-8 decodes back to it, so bytes can be searched for it
    std::wstring m_cell;  // the value of the open cell, reused
    bool m_inTable = false, m_inRow = false, m_inCell = false, m_inParagraph = false, m_afterTable = false;
    int m_column = 0;
    unsigned long long m_rowStart = 0;  // file size when the row began
};
