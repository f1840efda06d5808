#pragma once
// Everything a report run reads from its project, copied when the run is prepared on the thread that owns the
// project, and the per-run data the run derives from it (compiled converters, bound markers, style names). The
// project's rule lists and texts can then be edited, refilled or destroyed while the run goes on elsewhere.

#include <optional>
#include <string>
#include <vector>

#include "column_property.h"
#include "converter.h"
#include "ctw_doc.h"
#include "report_target.h"
#include "value_marker.h"

class CDB;

// A title, header or footer as the run prints it.
struct RunText {
    std::optional<std::wstring> text;  // nullopt: switched off
    bool ownText = false;              // the project's own text (not the default for an empty one): its
                                       // first {{query}} is run
    int size = 0;                      // paragraph type
    std::wstring cls;                  // CSS class
};

struct RunPlan {
    // Copied from the project.
    std::wstring file;  // the report file as asked for (macros not applied yet), or the preview file
    bool preview = false;
    int format = 1;     // a preview writes HTML or Text only
    std::wstring templ;
    std::wstring language, encoding;
    bool landscape = false;
    RunText title, header, footer;
    bool summary = false, toc = false, open = false;
    std::wstring reportFile;     // the project's ReportFile ($FILE$ before the run names one, the summary)
    std::wstring formatName;     // of the project's own format ($FORMAT$)
    std::wstring pathName;       // the project file, for paths relative to its folder
    std::vector<RunInput> inputs;  // the files the run reads, which the report must not overwrite
    std::vector<ParameterValue> values;
    std::wstring script;         // parameter values and date macros applied, trailing blanks removed
    std::wstring scriptError;    // the script file could not be read: shown when the run needs the script
    std::vector<ColumnProperty> columnProperties;
    std::vector<ValueMarker> markers;
    std::vector<Converter> converters;

    // Settings and host facts of the moment the run was prepared.
    bool commonHF = false;
    int hasHtml = 0;
    std::wstring separator;
    std::wstring dateFormat, timeFormat;
    bool console = false;
    bool mainWindow = false;

    // Lent by the project until the run is finished.
    CDB* connection = nullptr;

    // Handed back to the project when the run is finished: the column names of the first result set.
    std::vector<std::wstring> resultColumns;

    // A path as the project means it: relative paths count from the project file's folder.
    std::wstring ResolvePath(const std::wstring& path) const;
    // text with the parameter values and the date and time macros applied.
    std::wstring ExpandText(const std::wstring& text) const;
    // The first marker of a column (its Column, or a whole-row marker testing it); null when none.
    ValueMarker* FindMarker(const std::wstring& name);
};

// Copies what the macros need (texts, values, settings) from project; the rules and the script are left out.
void TakeMacroFacts(const CtwDoc& project, RunPlan& plan);
