// The walk over the result sets of a run: header row, one table row per fetched row with the column rules
// applied, headers and footers around each table.

#include <cwchar>

#include "cdb.h"
#include "column_property.h"
#include "converter.h"
#include "ctw_doc.h"
#include "ex_report.h"
#include "log.h"
#include "progress.h"
#include "rule_style.h"
#include "value_marker.h"

namespace {
constexpr long long kPreviewRows = 50;
}  // namespace

void ExReport::WriteHeader(CtwDoc& project) {
    const std::optional<std::wstring> header = project.HeaderText();
    if (!header) return;
    TextWithLineFeeds(Macros(*header, project, &m_run.script, 0), project.HeaderSize, m_run.headerClass,
                      m_run.hasHtml);
}

void ExReport::WriteFooter(CtwDoc& project) {
    const std::optional<std::wstring> footer = project.FooterText();
    if (!footer) return;
    TextWithLineFeeds(Macros(*footer, project, &m_run.script, 0), project.FooterSize, m_run.footerClass,
                      m_run.hasHtml);
}

// Steps 17 to 32: everything between a successful Execute and the end of the results.
void ExReport::WriteResults(CtwDoc& project, CDB& db) {
    m_resultSetNumber = 1;
    m_statements.Parse(m_run.script, 0);
    ScanForComments(m_run.script);
    m_run.headerClass = ClassAttribute(project.HeaderClass);
    m_run.footerClass = ClassAttribute(project.FooterClass);

    if (const std::optional<std::wstring> title = project.TitleText()) {
        Text(Macros(*title, project, &m_run.script, 0), project.TitleSize, ClassAttribute(project.TitleClass),
             m_run.hasHtml);
    }
    if (project.TOC) TOC(project, m_statements.Count());
    if (project.Summary) Summary(project);
    if (m_run.commonHF) WriteHeader(project);

    for (;;) {
        const SetEnd end = WriteResultSet(project, db);
        if (end == SetEnd::FetchFailed) {
            // Rows stopped coming because of an error: the report says so instead of ending early unnoticed.
            ErrorParagraph(L"Could not execute the query: " + db.m_LastError);
            break;
        }
        const int next = db.NextResultSet(0);
        if (next == DB_OK) {
            ++m_resultSetNumber;
            continue;
        }
        // A statement after the first result set failed: its error is part of the report, as for the first.
        if (next == DB_ERROR) ErrorParagraph(L"Could not execute the query: " + db.m_LastError);
        break;
    }
    if (m_run.commonHF) WriteFooter(project);
    db.CloseCursor(0);
}

// Step 23: the rules of every column, looked up by name once for the whole result set.
void ExReport::PlanColumns(CtwDoc& project, CDB& db, int columnCount) {
    m_columns.resize(static_cast<size_t>(columnCount));
    m_rowValues.resize(static_cast<size_t>(columnCount));
    m_markerHolds.assign(static_cast<size_t>(columnCount), 0);
    std::vector<std::wstring> names;
    std::vector<int> types;
    names.reserve(m_columns.size());
    types.reserve(m_columns.size());
    for (int index = 0; index < columnCount; ++index) {
        ColumnPlan& column = m_columns[static_cast<size_t>(index)];
        column.name.clear();
        db.GetColumnName(index, column.name);
        column.property = FindColumnProperty(project.m_columnProperties, column.name);
        column.converter = FindConverter(project.m_converters, column.name);
        column.marker = project.FindMarker(column.name);
        column.type = 0;
        db.GetColumnType(index, column.type, 0, 0);
        column.hidden = column.property != nullptr && column.property->IsHide;
        column.propertyAttributes =
            column.property ? StyleAttributes(column.property->style, m_run.format) : std::wstring();
        column.markerAttributes = column.marker ? StyleAttributes(column.marker->style, m_run.format) : std::wstring();
        if (column.converter) PrepareConverter(*column.converter);
        if (m_resultSetNumber == 1) project.m_resultColumns.push_back(column.name);
        if (!column.hidden) Cell(column.name, 1, {});
        names.push_back(column.name);
        types.push_back(column.type);
    }
    // Step 24: markers bind to their condition column in this result set (or to none).
    for (ColumnPlan& column : m_columns) {
        if (column.marker) PrepareMarker(*column.marker, names, types);
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
ExReport::SetEnd ExReport::WriteResultSet(CtwDoc& project, CDB& db) {
    CLog::State(L"ExReport::RunAndOpen, results");
    const std::wstring name = ResultSetName(m_resultSetNumber);
    wchar_t anchor[32];
    if (m_statements.Count() == 1) {
        std::swprintf(anchor, std::size(anchor), L"Results");
    } else {
        std::swprintf(anchor, std::size(anchor), L"Results%d", m_resultSetNumber);
    }
    BeginSubDocument(m_subDocumentFolder, std::wstring(anchor) + L".html", name);
    if (!m_run.commonHF) WriteHeader(project);
    Ancor(anchor);

    if (m_resultSetNumber == 1) project.m_resultColumns.clear();
    m_rowCounter = 0;
    int columnCount = 0;
    if (!CDB::isOK(db.GetColumnCount(columnCount, 0)) || columnCount < 0) columnCount = 0;
    BeginTable(L"ResultSet", {});
    BeginRow({}, {}, columnCount);
    PlanColumns(project, db, columnCount);
    EndRow({});
    CLog::State(L"ExReport::RunAndOpen, fetch");

    RunProgress progress(m_run.mainWindow, m_run.console);
    progress.BeginResultSet(m_resultSetNumber);
    SetEnd end = SetEnd::Done;
    for (;;) {
        const int fetched = db.Fetch(0);
        if (fetched != DB_OK) {
            if (fetched == DB_ERROR) end = SetEnd::FetchFailed;
            break;
        }
        progress.Row(m_rowCounter);
        BeginRow(L"row", {}, columnCount);
        for (int column = 1; column <= columnCount; ++column) {
            db.GetValue(column, m_rowValues[static_cast<size_t>(column - 1)], 0, 0, 0);
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
        if (m_run.preview && m_rowCounter >= kPreviewRows) break;
    }
    progress.EndResultSet();

    EndTable(L"ResultSet");
    if (!m_run.commonHF) WriteFooter(project);
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

// Steps 28 and 29 for the fetched row in m_rowValues; false when a converter failed.
bool ExReport::WriteRow(int& rowMarkerColumn) {
    const size_t columnCount = m_columns.size();
    rowMarkerColumn = -1;
    m_rowCells.resize(columnCount);
    for (size_t index = 0; index < columnCount; ++index) m_rowCells[index].Reset(m_rowValues[index]);
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
        std::wstring_view text = m_rowValues[index];
        if (column.converter) {
            // The converter's prefix and suffix are part of the prepared cell.
            int failed = 0;
            text = ConvertValue(*column.converter, m_rowCells[index], column.type, failed, m_convertedText);
            if (failed) return false;
        }
        FormattedCell(cell, column.name, text);
    }
    return true;
}
