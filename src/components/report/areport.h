#pragma once
// The report writer interface: one writer class per format derives from AReport.

#include <atomic>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum REPORT_FORMAT { RF_RTF = 0, RF_HTML = 1, RF_XML = 2, RF_TEXT = 3, RF_CHM = 4, RF_PDF = 5, RF_EXCEL = 6, RF_XLSX = 7 };
enum REPORT_OPTION { RO_LANDSCAPE = 0 };
enum REPORT_STYLE { RS_BOLD = 0, RS_ITALIC = 1, RS_SIZE = 2 };
enum REPORT_ERRORS { RE_OK = 0, RE_OPEN = 1, RE_WRITE = 2, RE_FORMAT = 3 };
// Paragraph types: 0 plain text, 1 to 6 heading levels.
using PARAGRAPH_TYPE = int;

// How the column rules dress one body cell: what SetCellColor, BeginCell and BeginStyle would be given.
struct CellFormat {
    std::wstring attributes;  // the attribute text of BeginCell
    std::wstring styleName;   // the SetCellColor name
    bool setsStyle = false;   // SetCellColor(styleName) comes before the cell (a rule applies)
    std::wstring before, after;  // text around every value of the cell (a converter's prefix and suffix)
    int size = 0;             // BeginStyle(RS_SIZE, size) when not 0
    bool bold = false;
    bool italic = false;
    int valueType = 0;        // the column's type code, so that spreadsheets can type the cell (0: unknown)
    bool operator==(const CellFormat&) const = default;
};

// What a writer is told before Open.
struct ReportSetup {
    int format = RF_HTML;
    std::wstring file;       // the report file
    std::wstring templ;      // template file name ("Default.htm"), looked up in tmpl/
    std::vector<std::pair<std::wstring, std::wstring>> properties;  // placeholder, value, in call order
    std::wstring separator = L"\t";  // Text reports
    bool landscape = false;
    std::wstring styles;     // SpreadsheetML <Style> blocks
    // Set while a run may ask the writer to give up (a long CHM compile polls it); null: never.
    const std::atomic<bool>* stop = nullptr;
};

class AReport {
public:
    virtual ~AReport() = default;

    // Opens setup().file; RE_OK or an error code with ErrorText().
    virtual int Open();
    // Opens another file (not used by the program).
    virtual int Open(const std::wstring& file);
    // Finishes the file and only then puts it under the report's name, over a previous report; a write error
    // (disk full, file too large) is reported here and leaves the previous report as it was.
    virtual int Close();
    // Ends the report without finishing it: the partial output is thrown away and a previous report under
    // the same name stays as it was (a stopped or failed run).
    virtual void Discard() {}
    virtual void AddProperty(std::wstring_view placeholder, std::wstring_view value);
    virtual void SetColumnSeparator(std::wstring_view separator);
    virtual void Quoting(int) {}
    // A piece of text: inside a cell or paragraph it is appended there, elsewhere it is a paragraph of its own.
    // markup 1 lets HTML in text pass through (HTML-based formats); every other text is escaped.
    virtual void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) = 0;
    virtual void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) = 0;
    virtual void EndSubDocument() = 0;
    virtual void BeginAncor(std::wstring_view name) { Ancor(name); }
    virtual void EndAncor() {}
    virtual void Ancor(std::wstring_view name) = 0;
    virtual void EndOfLine() = 0;
    virtual void BeginStyle(int style, int size) = 0;
    virtual void EndStyle(int style, int size) = 0;
    virtual void Space() {}
    virtual void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) = 0;
    virtual void EndParagraph(PARAGRAPH_TYPE type) = 0;
    virtual void BeginToc() = 0;
    virtual void TocItem(std::wstring_view anchor, std::wstring_view text, int level) = 0;
    virtual void EndToc() = 0;
    virtual void BeginTable(std::wstring_view name, std::wstring_view none) = 0;
    virtual void EndTable(std::wstring_view name) = 0;
    // cls is "row" for body rows, empty for the header row.
    virtual void BeginRow(std::wstring_view cls, std::wstring_view none, int columns) = 0;
    virtual void EndRow(std::wstring_view cls) = 0;
    // A body cell (header 0) whose content follows as Text and styles; attributes as the rules give them.
    virtual void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) = 0;
    virtual void EndCell(std::wstring_view columnName, int header) = 0;
    // A whole cell; header 1 for a header cell.
    virtual void Cell(std::wstring_view text, int header, std::wstring_view attributes) = 0;
    // Ties the next cells to a style of SetStyles (Excel); an empty name ends it.
    virtual void SetCellColor(std::wstring_view styleName);
    // False for writers that never look at the SetCellColor name, so that callers may skip it per cell.
    bool UsesCellColor() const { return m_usesCellColor; }
    // A handle for a body-cell format, valid for the life of the writer; equal formats share a handle. A writer
    // may prepare the cell's markup here once instead of per cell.
    virtual int PrepareCell(const CellFormat& format);
    // A whole body cell of text in a prepared format. Writes what SetCellColor(styleName) (when setsStyle),
    // BeginCell(columnName, 0, attributes), BeginStyle for size, bold and italic, Text(before + text + after),
    // EndStyle for italic and bold, EndCell, SetCellColor({}) and EndStyle for size write, in that order.
    virtual void FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text);
    // FormattedCell with the text as UTF-8 bytes straight from the database, for values that nothing changes: a
    // byte that begins no valid UTF-8 sequence stands for its Windows-1252 character (as tw::Utf8ToWide reads
    // it). The output is the same as FormattedCell's with the decoded text. This default decodes the text and
    // calls FormattedCell; a writer that can use the bytes as they are overrides it.
    virtual void FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text);
    virtual void Link(std::wstring_view target, std::wstring_view text) { Text(text, 0, target, 0); }
    virtual void SetReportOption(int option, int value);
    virtual void SetStyles(std::wstring_view styles);

    // Summary rows, written through the table calls above.
    void AttributeRowHeader();
    void ProductRow(std::wstring_view productName);
    void ReportCreated();
    void Row2(std::wstring_view label, std::wstring_view value, int, std::wstring_view none1 = {},
              std::wstring_view none2 = {});

    virtual const std::wstring& ErrorText() const { return m_error; }
    // Set once writing the report's file failed (a full disk, say): nothing written after it can be kept, so a
    // run ends early; Close reports the error. Cheap, and safe beside a writer's own threads.
    virtual bool OutputFailed() const { return false; }
    const ReportSetup& Setup() const { return m_setup; }
    void SetSetup(ReportSetup setup) { m_setup = std::move(setup); }

protected:
    // Records an error; returns code.
    int Fail(int code, std::wstring text);
    // The calls FormattedCell makes for a prepared format, with writeText() where Text(before + text + after)
    // goes: a writer that takes text in another form writes it there itself.
    template <class WriteText>
    void FormattedCellCalls(const CellFormat& format, std::wstring_view columnName, WriteText&& writeText) {
        const int size = format.size;
        const bool bold = format.bold, italic = format.italic;
        if (format.setsStyle) SetCellColor(format.styleName);
        BeginCell(columnName, 0, format.attributes);
        if (size) BeginStyle(RS_SIZE, size);
        if (bold) BeginStyle(RS_BOLD, 0);
        if (italic) BeginStyle(RS_ITALIC, 0);
        writeText();
        if (italic) EndStyle(RS_ITALIC, 0);
        if (bold) EndStyle(RS_BOLD, 0);
        EndCell(columnName, 0);
        SetCellColor({});
        if (size) EndStyle(RS_SIZE, 0);
    }

    ReportSetup m_setup;
    // The prepared format of handle when a value goes into it as it stands; null for an unknown handle or a
    // format with text around the value (a converter's prefix or suffix), which the wide path writes.
    const CellFormat* BareCellFormat(int handle) const;

    std::wstring m_error;
    std::wstring m_cellStyle;  // current SetCellColor name
    std::vector<CellFormat> m_cellFormats;  // by PrepareCell handle
    std::wstring m_cellText;                // a prepared cell's text with its before and after, reused
    std::wstring m_decodedText;             // FormattedCellUtf8's text decoded, reused
    bool m_usesCellColor = true;  // a writer that ignores m_cellStyle sets this false
};
