#pragma once
// Excel workbooks (.xlsx, Office Open XML) written with libxlsxwriter in its constant-memory mode: each row goes
// to the worksheet's temporary file as soon as the next one starts, so a million rows take the memory of one.
//   - One worksheet per sub-document, named as ExcelReport::SheetName names them. A table with more rows than a
//     worksheet holds continues on a sheet named with the next number (" (2)"), header row repeated; the log
//     says so.
//   - Text outside any sub-document (title, header, table of contents, footer) and the sub-document
//     "Summary.html" go to a first sheet named as the report title, made when the first of them comes. Text
//     that comes after the result sheets when there is no first sheet goes below the last sheet's rows, since a
//     constant-memory workbook cannot put a sheet before those already written.
//   - Table of contents entries link to the sheets they name (the summary's entry to the first sheet).
//   - Header rows are bold; the first table of a result sheet gets a frozen header row and an autofilter.
//     Column widths come from the header and the first rows of that table.
//   - Body cells are numbers, dates or strings by their column's type (spreadsheet_value.h); column rules come
//     as cell formats (bold, italic, size, font colour, background, alignment), each distinct one made once.

#include <xlsxwriter.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "areport.h"
#include "output_file.h"
#include "spreadsheet_value.h"

class XlsxReport : public AReport {
public:
    // The rows a worksheet holds (Excel's limit); tests give a smaller number to see a table continue.
    static constexpr unsigned kSheetRows = 1048576;
    explicit XlsxReport(unsigned sheetRows = kSheetRows);
    ~XlsxReport() override;

    int Open() override;
    int Close() override;
    void Discard() override;
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
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
    void FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) override;

    // How many distinct cell formats this run made (each is made once).
    size_t FormatCount() const { return m_formats.size(); }

private:
    // What a cell looks like; the key of the format cache.
    struct Look {
        bool bold = false, italic = false;
        int size = 0;            // points; 0: the default
        long fontColour = -1;    // 0xRRGGBB; -1: none
        long background = -1;
        int align = 0;           // lxw_format_alignments; 0: none
        int number = 0;          // 0 general, 1 date, 2 date and time, 3 with milliseconds, 4 wrapped text
        auto operator<=>(const Look&) const = default;
    };
    struct Sheet {
        lxw_worksheet* sheet = nullptr;
        std::wstring title;   // as asked for, for a continuation sheet's name
        std::wstring name;    // as it is in the workbook
        bool measured = false;  // its column widths are set (by its first table)
        unsigned row = 0;     // the next row to write
    };
    struct WorkbookFree {
        void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
    };

    static Look HeaderLook();
    lxw_format* FormatFor(const Look& look);
    Look StyleLook(const std::wstring& styleName) const;
    lxw_format* CellFormatFor(size_t handle, spreadsheet::CellKind kind, std::wstring_view value);
    Sheet& AddSheet(std::wstring_view title);
    Sheet& Target();
    Sheet& FrontSheet();
    void TextRow(std::wstring_view text, PARAGRAPH_TYPE type);
    void WriteCell(std::wstring_view value, int header, lxw_format* format, spreadsheet::CellKind kind);
    void WriteValue(Sheet& sheet, unsigned row, unsigned short column, std::wstring_view value,
                    spreadsheet::CellKind kind, lxw_format* format);
    void Measure(std::wstring_view value, spreadsheet::CellKind kind, bool header);
    void ApplyWidths();
    void ContinueTable();
    void FinishRow();
    void FinishTableOnSheet();

    unsigned m_sheetRows;
    OutputFile m_file;
    std::string m_outputPath;   // where libxlsxwriter writes: the output file's temporary file, or m_scratch
    std::string m_scratch;      // a private file for outputs written in place (a pipe): copied at Close
    std::unique_ptr<lxw_workbook, WorkbookFree> m_workbook;
    std::string m_tmpdir;
    std::map<Look, lxw_format*> m_formats;
    std::map<std::wstring, Look> m_styles;  // the SetStyles blocks by ID
    struct HandleFormats {
        lxw_format* format[4] = {};
        bool resolved[4] = {};
    };
    std::vector<HandleFormats> m_handleFormats;  // by PrepareCell handle and number format
    std::vector<Sheet> m_sheets;
    std::vector<std::wstring> m_sheetNames;
    std::vector<std::wstring> m_tocNames;   // the names the sheets will get, as the table of contents links them
    int m_tocLinks = 0;
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
    bool m_inRow = false, m_inCell = false, m_cellHeader = false, m_inParagraph = false;
    unsigned short m_column = 0;
    std::wstring m_cell, m_paragraph, m_cellAttributes;
    PARAGRAPH_TYPE m_paragraphType = 0;
    std::string m_utf8;
    bool m_truncatedNoted = false;
};
