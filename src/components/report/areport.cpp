#include "areport.h"

#include "dates.h"
#include "text.h"

int AReport::Open() { return Fail(RE_FORMAT, L"No report format was chosen."); }

int AReport::Open(const std::wstring& file) {
    m_setup.file = file;
    return Open();
}

int AReport::Close() { return RE_OK; }

void AReport::AddProperty(std::wstring_view placeholder, std::wstring_view value) {
    for (auto& [name, text] : m_setup.properties) {
        if (name == placeholder) {
            text = value;
            return;
        }
    }
    m_setup.properties.emplace_back(placeholder, value);
}

void AReport::SetColumnSeparator(std::wstring_view separator) { m_setup.separator = separator; }

void AReport::SetCellColor(std::wstring_view styleName) {
    if (m_usesCellColor) m_cellStyle = styleName;
}

int AReport::PrepareCell(const CellFormat& format) {
    for (size_t handle = 0; handle < m_cellFormats.size(); ++handle) {
        if (m_cellFormats[handle] == format) return static_cast<int>(handle);
    }
    m_cellFormats.push_back(format);
    return static_cast<int>(m_cellFormats.size() - 1);
}

void AReport::FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) {
    if (handle < 0 || static_cast<size_t>(handle) >= m_cellFormats.size()) {
        BeginCell(columnName, 0, {});
        Text(text, 0, {}, 0);
        EndCell(columnName, 0);
        return;
    }
    const CellFormat& format = m_cellFormats[static_cast<size_t>(handle)];
    FormattedCellCalls(format, columnName, [&] {
        if (format.before.empty() && format.after.empty()) {
            Text(text, 0, {}, 0);
        } else {
            m_cellText.assign(format.before).append(text).append(format.after);
            Text(m_cellText, 0, {}, 0);
        }
    });
}

void AReport::FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) {
    tw::Utf8ToWide(text, m_decodedText);
    FormattedCell(handle, columnName, m_decodedText);
}

void AReport::SetReportOption(int option, int value) {
    if (option == RO_LANDSCAPE) m_setup.landscape = value != 0;
}

void AReport::SetStyles(std::wstring_view styles) { m_setup.styles = styles; }

void AReport::AttributeRowHeader() {
    BeginRow(L"", {}, 2);
    Cell(L"Attribute", 1, {});
    Cell(L"Value", 1, {});
    EndRow(L"");
}

void AReport::ProductRow(std::wstring_view productName) { Row2(L"Product", productName, 0); }

void AReport::ReportCreated() {
    const std::tm now = LocalNow();
    Row2(L"Created", FormatDate(L"YYYY-MM-DD", now) + L" " + FormatTime(L"HH:MM:SS", now), 0);
}

void AReport::Row2(std::wstring_view label, std::wstring_view value, int, std::wstring_view, std::wstring_view) {
    BeginRow(L"row", {}, 2);
    Cell(label, 0, {});
    Cell(value, 0, {});
    EndRow(L"row");
}

int AReport::Fail(int code, std::wstring text) {
    m_error = std::move(text);
    return code;
}

const CellFormat* AReport::BareCellFormat(int handle) const {
    if (handle < 0 || static_cast<size_t>(handle) >= m_cellFormats.size()) return nullptr;
    const CellFormat& format = m_cellFormats[static_cast<size_t>(handle)];
    return format.before.empty() && format.after.empty() ? &format : nullptr;
}
