// The walk over the result sets of a run: header row, one table row per fetched row with the column rules
// applied, headers and footers around each table.

#include <algorithm>
#include <cwchar>

#include "cdb.h"
#include "column_property.h"
#include "converter.h"
#include "ctw_doc.h"
#include "ex_report.h"
#include "log.h"
#include "progress.h"
#include "rule_style.h"
#include "text.h"
#include "value_marker.h"

namespace {
constexpr long long kPreviewRows = 50;
}  // namespace

void ExReport::WriteHeader() {
    if (!m_header) return;
    TextWithLineFeeds(Macros(*m_header, &m_plan->script, 0), m_plan->header.size, m_headerClass, m_plan->hasHtml);
}

void ExReport::WriteFooter() {
    if (!m_footer) return;
    TextWithLineFeeds(Macros(*m_footer, &m_plan->script, 0), m_plan->footer.size, m_footerClass, m_plan->hasHtml);
}

// Steps 17 to 32: everything between a successful Execute and the end of the results.
void ExReport::WriteResults(CDB& db) {
    const RunPlan& plan = *m_plan;
    m_resultSetNumber = 1;
    m_statements.Parse(plan.script, 0);
    ScanForComments(plan.script);
    m_headerClass = ClassAttribute(plan.header.cls);
    m_footerClass = ClassAttribute(plan.footer.cls);

    if (m_title) Text(Macros(*m_title, &plan.script, 0), plan.title.size, ClassAttribute(plan.title.cls), plan.hasHtml);
    if (plan.toc) TOC(m_statements.Count());
    if (plan.summary) Summary();
    if (plan.commonHF) WriteHeader();

    for (;;) {
        const SetEnd end = WriteResultSet(db);
        // A stop ends the walk here; the statement that failed because of it is no error of the report.
        if (end == SetEnd::Stopped || StopRequested()) break;
        if (end == SetEnd::WriteFailed) break;  // Close reports the error
        if (end == SetEnd::FetchFailed) {
            // Rows stopped coming because of an error: the report says so instead of ending early unnoticed.
            ErrorParagraph(L"Could not execute the query: " + db.m_LastError);
            break;
        }
        const int next = db.NextResultSet(0);
        if (StopRequested()) break;
        if (next == DB_OK) {
            ++m_resultSetNumber;
            continue;
        }
        // A statement after the first result set failed: its error is part of the report, as for the first.
        if (next == DB_ERROR && !StopRequested()) ErrorParagraph(L"Could not execute the query: " + db.m_LastError);
        break;
    }
    if (plan.commonHF && !StopRequested()) WriteFooter();
    db.CloseCursor(0);
}

// Step 23: the rules of every column, looked up by name once for the whole result set.
void ExReport::PlanColumns(CDB& db, int columnCount) {
    RunPlan& plan = *m_plan;
    m_columns.resize(static_cast<size_t>(columnCount));
    m_rowValues.resize(static_cast<size_t>(columnCount));
    m_rowBytes.resize(static_cast<size_t>(columnCount));
    m_markerHolds.assign(static_cast<size_t>(columnCount), 0);
    std::vector<std::wstring> names;
    std::vector<int> types;
    names.reserve(m_columns.size());
    types.reserve(m_columns.size());
    for (int index = 0; index < columnCount; ++index) {
        ColumnPlan& column = m_columns[static_cast<size_t>(index)];
        column.name.clear();
        db.GetColumnName(index, column.name);
        column.property = FindColumnProperty(plan.columnProperties, column.name);
        column.converter = FindConverter(plan.converters, column.name);
        column.marker = plan.FindMarker(column.name);
        column.type = 0;
        db.GetColumnType(index, column.type, 0, 0);
        column.hidden = column.property != nullptr && column.property->IsHide;
        column.propertyAttributes =
            column.property ? StyleAttributes(column.property->style, plan.format) : std::wstring();
        column.markerAttributes = column.marker ? StyleAttributes(column.marker->style, plan.format) : std::wstring();
        if (column.converter) PrepareConverter(*column.converter);
        if (m_resultSetNumber == 1) plan.resultColumns.push_back(column.name);
        if (!column.hidden) Cell(column.name, 1, {});
        names.push_back(column.name);
        types.push_back(column.type);
    }
    // Step 24: markers bind to their condition column in this result set (or to none).
    for (ColumnPlan& column : m_columns) {
        if (column.marker) PrepareMarker(*column.marker, names, types);
    }
    // Backends whose values arrive as UTF-8 give their bytes, which go to the writer as they are unless a
    // converter changes them; a marker or converter that needs the text decodes them (CellValue).
    m_readsBytes = db.HasUtf8Values();
    for (ColumnPlan& column : m_columns) {
        column.keepsValue = column.converter == nullptr || ConverterKeepsValues(*column.converter, column.type);
        column.convertsBytes = column.converter != nullptr && ConverterConvertsBytes(*column.converter);
    }
    // The cell formats of every column, those under another column's whole-row marker on first use.
    m_rowMarkerSlots.assign(m_columns.size(), -1);
    int wholeRowMarkers = 0;
    for (size_t index = 0; index < m_columns.size(); ++index) {
        const ValueMarker* marker = m_columns[index].marker;
        if (marker && marker->IsWholeRow) m_rowMarkerSlots[index] = wholeRowMarkers++;
    }
    for (ColumnPlan& column : m_columns) {
        column.plainCell = PrepareColumnCell(column, nullptr);
        column.ownMarkerCell = column.marker ? PrepareColumnCell(column, &column) : column.plainCell;
        column.rowMarkerCells.assign(static_cast<size_t>(wholeRowMarkers), -2);
    }
}

// Steps 21 to 31 for the current result set.
ExReport::SetEnd ExReport::WriteResultSet(CDB& db) {
    const RunPlan& plan = *m_plan;
    CLog::State(L"ExReport::RunAndOpen, results");
    const std::wstring name = ResultSetName(m_resultSetNumber);
    wchar_t anchor[32];
    if (m_statements.Count() == 1) {
        std::swprintf(anchor, std::size(anchor), L"Results");
    } else {
        std::swprintf(anchor, std::size(anchor), L"Results%d", m_resultSetNumber);
    }
    BeginSubDocument(m_subDocumentFolder, std::wstring(anchor) + L".html", name);
    if (!plan.commonHF) WriteHeader();
    Ancor(anchor);

    if (m_resultSetNumber == 1) m_plan->resultColumns.clear();
    ++m_outcome.resultSets;
    m_rowCounter = 0;
    int columnCount = 0;
    if (!CDB::isOK(db.GetColumnCount(columnCount, 0)) || columnCount < 0) columnCount = 0;
    BeginTable(L"ResultSet", {});
    BeginRow({}, {}, columnCount);
    PlanColumns(db, columnCount);
    EndRow({});
    CLog::State(L"ExReport::RunAndOpen, fetch");

    RunProgress progress(plan.mainWindow, plan.console);
    progress.BeginResultSet(m_resultSetNumber);
    SetEnd end = SetEnd::Done;
    for (;;) {
        // One relaxed load a row: a stop ends the result set before the next row is fetched.
        if (StopRequested()) {
            end = SetEnd::Stopped;
            break;
        }
        const int fetched = db.Fetch(0);
        if (fetched != DB_OK) {
            if (fetched == DB_ERROR) end = StopRequested() ? SetEnd::Stopped : SetEnd::FetchFailed;
            break;
        }
        progress.Row(m_rowCounter);
        BeginRow(L"row", {}, columnCount);
        for (int column = 1; column <= columnCount; ++column) {
            const auto index = static_cast<size_t>(column - 1);
            if (m_readsBytes) {
                db.GetValueUtf8(column, m_rowBytes[index]);
            } else {
                db.GetValue(column, m_rowValues[index], 0, 0, 0);
            }
        }
        int rowMarkerColumn = -1;
        if (!WriteRow(rowMarkerColumn)) {
            // A converter failed: the row stays unfinished and this result set ends here.
            m_failed = true;
            end = SetEnd::ConverterFailed;
            break;
        }
        EndRow(L"row");
        ++m_rowCounter;
        ++m_rowTotal;
        // Now and then: once the report's file cannot be written, the rows still to come are lost work.
        if ((m_rowCounter & 1023) == 0 && OutputFailed()) {
            end = SetEnd::WriteFailed;
            break;
        }
        if (plan.preview && m_rowCounter >= kPreviewRows) break;
    }
    progress.EndResultSet();

    EndTable(L"ResultSet");
    if (!plan.commonHF && end != SetEnd::Stopped) WriteFooter();
    EndSubDocument();
    return end;
}

int ExReport::PrepareColumnCell(const ColumnPlan& column, const ColumnPlan* markerOwner) {
    const ValueMarker* active = markerOwner ? markerOwner->marker : nullptr;
    const ColumnProperty* property = column.property;
    CellFormat format;
    format.valueType = column.type;
    format.bold = (property && property->style.IsBold) || (active && active->style.IsBold);
    format.italic = (property && property->style.IsItalic) || (active && active->style.IsItalic);
    if (active && active->style.FontSize != 0) {
        format.size = 10 + 2 * active->style.FontSize;
    } else if (property && property->style.FontSize != 0) {
        format.size = 10 + 2 * property->style.FontSize;
    }
    if (active) {
        format.attributes = markerOwner->markerAttributes;
        format.styleName = active->style.StyleName;
        format.setsStyle = true;
    } else if (property) {
        format.attributes = column.propertyAttributes;
        format.styleName = property->style.StyleName;
        format.setsStyle = true;
    }
    if (column.converter) {
        format.before = column.converter->Prefix;
        format.after = column.converter->Suffix;
    }
    return PrepareCell(format);
}

// Steps 28 and 29 for the fetched row; false when a converter failed.
bool ExReport::WriteRow(int& rowMarkerColumn) {
    const size_t columnCount = m_columns.size();
    rowMarkerColumn = -1;
    m_rowCells.resize(columnCount);
    for (size_t index = 0; index < columnCount; ++index) {
        if (m_readsBytes) {
            m_rowCells[index].ResetUtf8(m_rowBytes[index], m_rowValues[index]);
        } else {
            m_rowCells[index].Reset(m_rowValues[index]);
        }
    }
    for (size_t index = 0; index < columnCount; ++index) {
        const ValueMarker* marker = m_columns[index].marker;
        const bool holds = marker != nullptr && MarkerHoldsInRow(*marker, m_rowCells);
        m_markerHolds[index] = holds ? 1 : 0;
        if (holds && rowMarkerColumn < 0 && marker->IsWholeRow) rowMarkerColumn = static_cast<int>(index);
    }
    for (size_t index = 0; index < columnCount; ++index) {
        ColumnPlan& column = m_columns[index];
        if (column.hidden) continue;
        int cell = column.plainCell;
        if (m_markerHolds[index]) {
            cell = column.ownMarkerCell;
        } else if (rowMarkerColumn >= 0) {
            const auto owner = static_cast<size_t>(rowMarkerColumn);
            int& prepared = column.rowMarkerCells[static_cast<size_t>(m_rowMarkerSlots[owner])];
            if (prepared == -2) prepared = PrepareColumnCell(column, &m_columns[owner]);
            cell = prepared;
        }
        // The converter's prefix and suffix are part of the prepared cell.
        const rules::CellValue& value = m_rowCells[index];
        if (column.keepsValue) {
            if (m_readsBytes) {
                FormattedCellUtf8(cell, column.name, value.Bytes());
            } else {
                FormattedCell(cell, column.name, value.Text());
            }
            continue;
        }
        std::string_view bytes;
        if (m_readsBytes && column.convertsBytes &&
            ConvertValueUtf8(*column.converter, value, column.type, m_convertedBytes, bytes)) {
            FormattedCellUtf8(cell, column.name, bytes);
            continue;
        }
        int failed = 0;
        const std::wstring_view text = ConvertValue(*column.converter, value, column.type, failed, m_convertedText);
        if (failed) {
            // Shown once per run by the converter; the outcome lists it once too.
            const std::wstring& shown = column.converter->reportedText;
            if (!shown.empty() && std::ranges::find(m_outcome.messages, shown) == m_outcome.messages.end()) {
                m_outcome.messages.push_back(shown);
            }
            return false;
        }
        FormattedCell(cell, column.name, text);
    }
    return true;
}
