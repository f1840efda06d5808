#pragma once
// The one report object of the program: keeps the setup and forwards every call to the writer of the format.

#include <memory>

#include "areport.h"

// The writer class for a format; null for an unknown format. The one place that maps formats to classes.
std::unique_ptr<AReport> MakeWriter(int format);

class MultiReport : public AReport {
public:
    // Drops the writer and the setup.
    void Clear();
    // Chooses the writer for format and names the report file and template.
    void AddReport(int format, const std::wstring& file, const std::wstring& templ);

    // Makes the next Open fail with reason (an empty reason withdraws it): the run found that the report must
    // not be written, and it is told so as any other file that cannot be opened. Cleared by Clear.
    void RefuseOpen(std::wstring reason) { m_refusal = std::move(reason); }

    int Open() final;
    int Open(const std::wstring& file) final;
    int Close() final;
    void Discard() final;
    void AddProperty(std::wstring_view placeholder, std::wstring_view value) final;
    void SetColumnSeparator(std::wstring_view separator) final;
    void Quoting(int on) final;
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) final;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) final;
    void EndSubDocument() final;
    void BeginAncor(std::wstring_view name) final;
    void EndAncor() final;
    void Ancor(std::wstring_view name) final;
    void EndOfLine() final;
    void BeginStyle(int style, int size) final;
    void EndStyle(int style, int size) final;
    void Space() final;
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) final;
    void EndParagraph(PARAGRAPH_TYPE type) final;
    void BeginToc() final;
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) final;
    void EndToc() final;
    void BeginTable(std::wstring_view name, std::wstring_view none) final;
    void EndTable(std::wstring_view name) final;
    void BeginRow(std::wstring_view cls, std::wstring_view none, int columns) final;
    void EndRow(std::wstring_view cls) final;
    void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) final;
    void EndCell(std::wstring_view columnName, int header) final;
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) final;
    void SetCellColor(std::wstring_view styleName) final;
    int PrepareCell(const CellFormat& format) final;
    void FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) final;
    void FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) final;
    void Link(std::wstring_view target, std::wstring_view text) final;
    void SetReportOption(int option, int value) final;
    void SetStyles(std::wstring_view styles) final;
    const std::wstring& ErrorText() const final;
    bool OutputFailed() const final { return m_writer && m_writer->OutputFailed(); }

    // The current writer (null before AddReport); tests use it.
    AReport* Writer() const { return m_writer.get(); }
    // Replaces MakeWriter for every later AddReport (tests record the calls); null restores it.
    using WriterFactory = std::unique_ptr<AReport> (*)(int format);
    static void SetWriterFactory(WriterFactory factory);

private:
    std::unique_ptr<AReport> m_writer;
    bool m_open = false;
    std::wstring m_refusal;
};
