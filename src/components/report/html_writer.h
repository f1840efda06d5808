#pragma once
// HTML reports: the template tmpl/<StyleNo>.htm with its placeholders filled and the report at %BODY%, encoded
// in the charset of %CHARSET%. The CHM writer derives from this class and writes its pages through the
// protected interface below.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "areport.h"
#include "markup.h"
#include "output_file.h"

class HtmlReport : public AReport {
public:
    HtmlReport();
    ~HtmlReport() override;

    int Open() override;
    int Close() override;
    bool OutputFailed() const override { return m_out->WriteFailed() || m_file.WriteFailed(); }
    void Discard() override;
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
    void Ancor(std::wstring_view name) override;
    void EndOfLine() override;
    void BeginStyle(int style, int size) override;
    void EndStyle(int style, int size) override;
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override;
    void EndParagraph(PARAGRAPH_TYPE type) override;
    void BeginToc() override;
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override;
    void EndToc() override;
    void BeginTable(std::wstring_view name, std::wstring_view none) override;
    void EndTable(std::wstring_view name) override;
    void BeginRow(std::wstring_view cls, std::wstring_view none, int columns) override;
    void EndRow(std::wstring_view cls) override;
    void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) override;
    void EndCell(std::wstring_view columnName, int header) override;
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) override;
    int PrepareCell(const CellFormat& format) override;
    void FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) override;
    void FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) override;

    // Appends to list the report styles in folder: the names of its *.htm files without the extension,
    // "Default" first and the rest in alphabetical order. Returns how many were added (0 for a missing folder).
    static int GetTemplatesList(const std::wstring& folder, std::vector<std::wstring>& list);
    // The page used when the template cannot be found or has no %BODY%.
    static std::wstring_view BuiltInTemplate();

protected:
    // The elements a writer may leave open; Close and CloseAll end them in reverse order.
    enum class Element { Section, Paragraph, Toc, Table, Head, Body, Row, Cell, HeaderCell, Bold, Italic, Size };

    // Reads the template of Setup().templ from DataDir()/tmpl (or the built-in page, logged) and chooses the
    // charset. Called by Open; the halves are kept for WriteHead and WriteTail.
    void LoadTemplate();
    // Writes the template up to %BODY% with its placeholders filled into file; a non-empty title replaces
    // the %TITLE% property (pages of their own).
    void WriteHead(OutputFile& file, std::wstring_view title = {});
    // Writes the template after %BODY% into file.
    void WriteTail(OutputFile& file, std::wstring_view title = {});
    // Where content goes: the report file unless a derived writer redirects it; SetOutput(nullptr) restores it.
    OutputFile& Out() { return *m_out; }
    void SetOutput(OutputFile* file) { m_out = file ? file : &m_file; }
    // Text escaped and encoded; markup (flag 1 of Text) encoded only.
    void WriteEscaped(std::wstring_view text) { Append(text, true); }
    void WriteMarkup(std::wstring_view text) { Append(text, false); }
    // ASCII markup as it stands.
    void WriteRaw(std::string_view ascii) { m_out->Write(ascii); }
    // An attribute text as the rules give it, with one leading space and repeated style attributes merged
    // (a browser keeps only the first of them).
    void WriteAttributes(std::wstring_view attributes);
    // Ends every element still open, innermost first (a result set cut short, a page that ends).
    void CloseAll();
    // Ends the elements down to and including the innermost one of kind; false when none is open.
    bool CloseTo(Element kind);
    bool IsOpen(Element kind) const;
    void Push(Element kind, int level = 0);
    // The charset name the page declares.
    const std::wstring& Charset() const { return m_encoder.Charset(); }

    OutputFile m_file;
    markup::HtmlEncoder m_encoder;

private:
    void Append(std::wstring_view text, bool escape) {
        m_encoder.Append(m_out->Buffer(), text, escape);
        m_out->MaybeFlush();
    }
    // The attribute text with its leading space and merged style attributes, encoded into out.
    void EncodeAttributes(std::string& out, std::wstring_view attributes);
    void WritePart(OutputFile& file, std::wstring_view part, std::wstring_view title);
    void CloseElement(Element kind, int level);
    // A paragraph or heading opening tag for type.
    void OpenParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes);
    // Leaves a table that is open outside any cell, so that a paragraph never lands inside it.
    void LeaveTableForText();

    struct OpenElement {
        Element kind;
        int level;
    };
    OpenElement Pop();

    OutputFile* m_out = &m_file;
    std::vector<OpenElement> m_open;
    std::array<int, static_cast<size_t>(Element::Size) + 1> m_openCount{};  // open elements of each kind
    std::wstring m_head, m_tail;  // the template around %BODY%
    // Encoded attribute texts by the address and content of the text; replaced round-robin when full.
    struct AttributeBytes {
        const wchar_t* data = nullptr;
        std::wstring text;
        std::string bytes;
    };
    static constexpr size_t kAttributeCacheSize = 32;
    std::vector<AttributeBytes> m_attributeCache;
    size_t m_attributeCacheNext = 0;
    // The encoded opening tags (cell, size, bold, italic) and closing tags of each prepared cell format.
    struct CellMarkup {
        std::string open, close;
        bool joined = false;  // before and after are encoded with each value, not into open and close
    };
    std::vector<CellMarkup> m_cellMarkup;
    // The prepared markup of handle when the cell can be appended in one go (inside a row); null otherwise.
    const CellMarkup* InlineCell(int handle) const;
};
