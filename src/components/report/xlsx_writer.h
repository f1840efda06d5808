#pragma once
// Excel workbooks (.xlsx, Office Open XML), streamed: the worksheet XML is written here as UTF-8 and deflated into
// the ZIP package (zip_writer.h) as rows come, so a million rows take the memory of the first hundred.
//   - Cells are written without a shared string table: texts are inline strings, numbers their own text (a
//     float's rounded to the 16 digits a spreadsheet shows), dates and timestamps serial numbers under a date
//     format, the styles' cell formats indexes into xl/styles.xml, which is written last.
//   - A worksheet's column widths and frozen pane come before its rows in the XML: its rows wait in memory
//     until the first table's widths are measured (header and first rows), then stream. The first sheet (title,
//     table of contents, summary, footer) is small and is kept whole until Close, so text can go to it at any
//     time; the result sheets are written one after the other.
//   - One worksheet per sub-document, named as ExcelReport::SheetName names them. A table with more rows than a
//     worksheet holds continues on a sheet named with the next number (" (2)"), header row repeated; the log
//     says so.
//   - Text outside any sub-document (title, header, table of contents, footer) and the sub-document
//     "Summary.html" go to a first sheet named as the report title, made when the first of them comes. Text
//     that comes after the result sheets when there is no first sheet goes below the last sheet's rows, since a
//     streamed workbook cannot put a sheet before those already written.
//   - Table of contents entries link to the sheets they name (the summary's entry to the first sheet).
//   - Header rows are bold; the first table of a result sheet gets a frozen header row, and the last one with a
//     header an autofilter.
//     Column widths come from the header and the first rows of that table.
//   - Body cells are numbers, dates or strings by their column's type (spreadsheet_value.h); column rules come
//     as cell formats (bold, italic, size, font colour, background, alignment), each distinct one made once.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "spreadsheet_text.h"
#include "output_file.h"
#include "spreadsheet_value.h"
#include "zip_writer.h"

class XlsxReport : public SpreadsheetTextReport {
public:
    // The rows a worksheet holds (Excel's limit); tests give a smaller number to see a table continue.
    static constexpr unsigned kSheetRows = 1048576;
    explicit XlsxReport(unsigned sheetRows = kSheetRows);
    ~XlsxReport() override;

    int Open() override;
    int Close() override;
    bool OutputFailed() const override { return m_file.WriteFailed(); }
    void Discard() override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
    void Ancor(std::wstring_view) override {}
    void BeginStyle(int, int) override {}
    void EndStyle(int, int) override {}
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
    void FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) override;
    void FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) override;

    // How many distinct cell formats this run made (each is made once).
    size_t FormatCount() const { return m_formats.size(); }

private:
    // What a cell looks like; the key of the format cache.
    struct Look {
        bool bold = false, italic = false;
        bool link = false;       // underlined in the link colour
        int size = 0;            // points; 0: the default
        long fontColour = -1;    // 0xRRGGBB; -1: none
        long background = -1;
        int align = 0;           // Align; 0: none
        int number = 0;          // 0 general, 1 date, 2 date and time, 3 with milliseconds, 4 wrapped text
        auto operator<=>(const Look&) const = default;
    };
    struct Sheet {
        std::wstring title;   // as asked for, for a continuation sheet's name
        std::wstring name;    // as it is in the workbook
        bool measured = false;  // its column widths are set (by its first table)
        unsigned row = 0;     // the next row to write
        // The XML of the rows not written to the package yet: the first sheet's whole, a result sheet's until its
        // head (widths, frozen pane) is known.
        std::string rows;
        bool streaming = false;  // its head went to the package and its rows follow it there
        bool written = false;    // complete in the package
        long openRow = -1;       // the row whose <row> element is open
        long lastRow = -1;       // the last row written
        std::string rowRef;      // the open row's number as text
        unsigned nextColumn = 0;  // the column a cell without a reference is in
        std::vector<double> widths;
        unsigned freezeRows = 0;             // rows above the frozen pane
        unsigned filterFirst = 0, filterLast = 0, filterColumns = 0;  // autofilter rows and columns; 0: none
        std::string links;                   // <hyperlink> elements
    };

    static Look HeaderLook();
    int FormatFor(const Look& look);
    Look StyleLook(const std::wstring& styleName) const;
    int CellFormatFor(size_t handle, spreadsheet::CellKind kind, std::wstring_view value);
    Sheet& AddSheet(std::wstring_view title, bool front = false);
    Sheet& Target();
    Sheet& FrontSheet();
    void TextRow(std::wstring_view text, PARAGRAPH_TYPE type) override;
    void TextCell(std::wstring_view text) override;
    void WriteCell(std::wstring_view value, int header, int format, spreadsheet::CellKind kind);
    void WriteValue(Sheet& sheet, unsigned row, unsigned short column, std::wstring_view value,
                    spreadsheet::CellKind kind, int format);
    // The cell's XML from its UTF-8 value.
    void WriteUtf8(Sheet& sheet, unsigned row, unsigned short column, std::string_view value,
                   spreadsheet::CellKind kind, int format);
    // Opens the cell's element, up to its type: "<c r=.. s=..".
    // A cell's opening tag (its reference where needed, its style) and, for short cells, the rest of it, put
    // together on the stack and appended in one step.
    class CellPiece;
    void CellHead(Sheet& sheet, unsigned row, unsigned short column, int format, CellPiece& piece);
    std::string& CellStart(Sheet& sheet, unsigned row, unsigned short column, int format);
    void NoteCut(const Sheet& sheet);
    std::string& RowsOf(Sheet& sheet) { return sheet.streaming ? m_chunk : sheet.rows; }
    void OpenRow(Sheet& sheet, unsigned row);
    void CloseRow(Sheet& sheet);
    const std::string& ColumnName(unsigned short column);
    void Measure(std::wstring_view value, spreadsheet::CellKind kind, bool header);
    void ApplyWidths();
    void ContinueTable();
    void FinishRow() override;
    void FinishTableOnSheet();
    // Sends the rows gathered for the package when there are enough of them.
    void MaybeSend() {
        if (m_chunk.size() >= kChunk) SendChunk();
    }
    void SendChunk();
    // Starts the streamed sheet's member in the package with its head and the rows that waited.
    void StartStreaming(size_t index);
    // Ends the streamed sheet's member (its head first if it never came).
    void FinishStreamed();
    std::string SheetHead(size_t index) const;
    std::string SheetTail(const Sheet& sheet) const;
    std::string StylesXml() const;
    std::string WorkbookXml() const;
    std::string PackageParts() const;  // [Content_Types].xml
    std::string CoreProperties() const;

    static constexpr size_t kChunk = 1 << 20;
    unsigned m_sheetRows;
    OutputFile m_file;
    std::unique_ptr<ZipWriter> m_zip;
    std::string m_chunk;  // rows of the streamed sheet on their way to the package
    int m_live = -1;      // the result sheet being written to the package; -1: none
    std::map<Look, int> m_formats;  // look to cell format index (xl/styles.xml cellXfs; 0 the default)
    std::vector<Look> m_looks;      // by cell format index
    std::map<std::wstring, Look> m_styles;  // the SetStyles blocks by ID
    struct HandleFormats {
        int format[4] = {};
        bool resolved[4] = {};
    };
    std::vector<HandleFormats> m_handleFormats;  // by PrepareCell handle and number format
    std::vector<std::unique_ptr<Sheet>> m_sheets;  // owned apart: adding a sheet leaves references valid
    std::vector<std::wstring> m_sheetNames;
    std::vector<std::wstring> m_tocNames;   // the names the sheets will get, as the table of contents links them
    std::vector<std::string> m_columnNames;  // "A", "B", ... as far as used
    int m_front = -1, m_current = -1;       // indexes into m_sheets
    bool m_inSubDocument = false, m_frontSubDocument = false;
    // The table being written.
    bool m_inTable = false, m_resultTable = false, m_measuring = false, m_implicitSheet = false, m_hasHeader = false;
    unsigned m_headerRow = 0;
    int m_measuredRows = 0;
    std::vector<double> m_widths;             // characters, by column
    std::vector<std::wstring> m_headerCells;  // repeated on a continuation sheet
    unsigned short m_lastColumn = 0;
    bool m_rowIsHeader = false;
    // The row and cell being written.
    bool m_cellHeader = false;
    unsigned short m_column = 0;
    std::wstring m_cellAttributes;
    std::string m_utf8;
    bool m_truncatedNoted = false;
};
