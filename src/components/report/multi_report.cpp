#include "multi_report.h"

namespace {
MultiReport::WriterFactory g_writerFactory = nullptr;
}

void MultiReport::SetWriterFactory(WriterFactory factory) { g_writerFactory = factory; }

void MultiReport::Clear() {
    m_writer.reset();
    m_open = false;
    m_setup = ReportSetup{};
    m_error.clear();
    m_refusal.clear();
}

void MultiReport::AddReport(int format, const std::wstring& file, const std::wstring& templ) {
    m_setup.format = format;
    m_setup.file = file;
    m_setup.templ = templ;
    m_writer = g_writerFactory ? g_writerFactory(format) : MakeWriter(format);
    m_open = false;
}

int MultiReport::Open() {
    m_error.clear();
    if (!m_refusal.empty()) return Fail(RE_OPEN, m_refusal);
    if (!m_writer) return Fail(RE_FORMAT, L"Unknown report format " + std::to_wstring(m_setup.format) + L".");
    m_writer->SetSetup(m_setup);
    const int result = m_writer->Open();
    m_open = result == RE_OK;
    return result;
}

int MultiReport::Open(const std::wstring& file) {
    m_setup.file = file;
    return Open();
}

int MultiReport::Close() {
    if (!m_writer || !m_open) return RE_OK;
    m_open = false;
    return m_writer->Close();
}

void MultiReport::Discard() {
    if (!m_writer || !m_open) return;
    m_open = false;
    m_writer->Discard();
}

// Setup calls before Open are kept here and handed over at Open; the writer receives them directly after it.
void MultiReport::AddProperty(std::wstring_view placeholder, std::wstring_view value) {
    AReport::AddProperty(placeholder, value);
}
void MultiReport::SetColumnSeparator(std::wstring_view separator) { AReport::SetColumnSeparator(separator); }
void MultiReport::SetReportOption(int option, int value) { AReport::SetReportOption(option, value); }
void MultiReport::SetStyles(std::wstring_view styles) { AReport::SetStyles(styles); }
void MultiReport::Quoting(int on) {
    if (m_writer) m_writer->Quoting(on);
}

const std::wstring& MultiReport::ErrorText() const {
    return m_writer && m_error.empty() ? m_writer->ErrorText() : m_error;
}

// Content calls: forwarded only while the writer is open.
#define TW_FORWARD(call) \
    if (m_open) m_writer->call

void MultiReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) {
    TW_FORWARD(Text(text, type, attributes, markup));
}
void MultiReport::BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) {
    TW_FORWARD(BeginSubDocument(folder, file, title));
}
void MultiReport::EndSubDocument() { TW_FORWARD(EndSubDocument()); }
void MultiReport::BeginAncor(std::wstring_view name) { TW_FORWARD(BeginAncor(name)); }
void MultiReport::EndAncor() { TW_FORWARD(EndAncor()); }
void MultiReport::Ancor(std::wstring_view name) { TW_FORWARD(Ancor(name)); }
void MultiReport::EndOfLine() { TW_FORWARD(EndOfLine()); }
void MultiReport::BeginStyle(int style, int size) { TW_FORWARD(BeginStyle(style, size)); }
void MultiReport::EndStyle(int style, int size) { TW_FORWARD(EndStyle(style, size)); }
void MultiReport::Space() { TW_FORWARD(Space()); }
void MultiReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) {
    TW_FORWARD(BeginParagraph(type, attributes));
}
void MultiReport::EndParagraph(PARAGRAPH_TYPE type) { TW_FORWARD(EndParagraph(type)); }
void MultiReport::BeginToc() { TW_FORWARD(BeginToc()); }
void MultiReport::TocItem(std::wstring_view anchor, std::wstring_view text, int level) {
    TW_FORWARD(TocItem(anchor, text, level));
}
void MultiReport::EndToc() { TW_FORWARD(EndToc()); }
void MultiReport::BeginTable(std::wstring_view name, std::wstring_view none) { TW_FORWARD(BeginTable(name, none)); }
void MultiReport::EndTable(std::wstring_view name) { TW_FORWARD(EndTable(name)); }
void MultiReport::BeginRow(std::wstring_view cls, std::wstring_view none, int columns) {
    TW_FORWARD(BeginRow(cls, none, columns));
}
void MultiReport::EndRow(std::wstring_view cls) { TW_FORWARD(EndRow(cls)); }
void MultiReport::BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) {
    TW_FORWARD(BeginCell(columnName, header, attributes));
}
void MultiReport::EndCell(std::wstring_view columnName, int header) { TW_FORWARD(EndCell(columnName, header)); }
void MultiReport::Cell(std::wstring_view text, int header, std::wstring_view attributes) {
    TW_FORWARD(Cell(text, header, attributes));
}
void MultiReport::SetCellColor(std::wstring_view styleName) {
    // Called twice per cell: not even forwarded to a writer that ignores it.
    if (m_open && m_writer->UsesCellColor()) m_writer->SetCellColor(styleName);
}
int MultiReport::PrepareCell(const CellFormat& format) { return m_open ? m_writer->PrepareCell(format) : -1; }
void MultiReport::FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) {
    TW_FORWARD(FormattedCell(handle, columnName, text));
}
void MultiReport::FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) {
    TW_FORWARD(FormattedCellUtf8(handle, columnName, text));
}
void MultiReport::Link(std::wstring_view target, std::wstring_view text) { TW_FORWARD(Link(target, text)); }

#undef TW_FORWARD
