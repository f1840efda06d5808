#pragma once
// The project: connection, script, output, texts, column rules and parameter values of one report.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cdb.h"
#include "column_property.h"
#include "converter.h"
#include "project_keys.h"
#include "value_marker.h"

// One name and value of the parameters file.
struct ParameterValue {
    std::wstring name;
    std::wstring value;
};

// The parameter value of one line of a parameters file (line ends already removed); false when the line is
// not a parameter line ("?" first, longer than two characters, a positive number after the "?").
bool ParseParameterLine(std::wstring_view line, ParameterValue& result);
// text with every name of values replaced by its value, record by record in list order.
std::wstring ReplaceParameterValues(std::wstring text, const std::vector<ParameterValue>& values);

// Most records a rule list of a project file may hold; a larger Counter is cut to this and logged.
inline constexpr int kMaxRuleRecords = 10000;

// Display names of the output formats: "RTF/DOC", "HTML", "XML", "Text", "CHM", "PDF", "Excel"; empty
// otherwise.
std::wstring FormatNameOf(int format);

class CtwDoc {
  public:
    CtwDoc();
    ~CtwDoc();
    CtwDoc(const CtwDoc&) = delete;
    CtwDoc& operator=(const CtwDoc&) = delete;

    // New-project values (see the field comments); keeps ReportFile, Values, the rule lists and run-time
    // lists.
    void Reset();
    // Reads a project file into this object. Returns false (with LoadError()) when the file exists but is not
    // a project (not TOML, not UTF-8; the project then holds the defaults of a missing key), or when values
    // cannot be used (LoadProblems(); those keys hold their defaults, the others what the file says).
    bool Load(const std::wstring& path);
    // Writes the project (backup, then temporary file and rename). Returns false (with SaveError()) when it
    // could not be written; the project then stays modified and the file on disk is unchanged.
    bool Save(const std::wstring& path);
    const std::wstring& LoadError() const { return m_loadError; }
    const std::wstring& SaveError() const { return m_saveError; }
    // The values of the last Load that could not be used: wrong type, outside their range, NUL in a text.
    const std::vector<project::LoadProblem>& LoadProblems() const { return m_loadProblems; }
    // The backup path of a project path: ".twp" (any letter case) replaced by ".bak", else ".bak" appended.
    static std::wstring BackupPath(const std::wstring& path);

    void SetModified(bool modified);
    bool IsModified() const { return m_modified; }

    void SetScriptText(const std::wstring& text);
    void SetQueryFile(const std::wstring& path);
    void SetValuesFile(const std::wstring& path);
    void SetHeaderClass(const std::wstring& text);
    void SetFooterClass(const std::wstring& text);
    // nullopt switches the text off (its text stays).
    void SetTitleText(const std::optional<std::wstring>& text);
    void SetHeaderText(const std::optional<std::wstring>& text);
    void SetFooterText(const std::optional<std::wstring>& text);
    void SetColumnProperty(size_t position, const ColumnProperty& record);
    void RemoveColumnProperty(size_t position);

    // The text to print, or nullopt when switched off.
    std::optional<std::wstring> TitleText() const;
    std::optional<std::wstring> HeaderText() const;
    std::optional<std::wstring> FooterText() const;
    bool IsTitleOn() const { return m_titleOn; }
    bool IsHeaderOn() const { return m_headerOn; }
    bool IsFooterOn() const { return m_footerOn; }

    // The SQL script to run, parameter values and date/time macros applied.
    std::wstring GetScript();
    // text with parameter values and date and time macros applied.
    std::wstring ExpandText(const std::wstring& text) const;
    // Fills the expanded title, header and footer by running their first embedded {{query}}.
    void ExpandEmbeddedQueries();
    // Rebuilds the parameter values from the file named by Values.
    void LoadValues();
    // The first marker of a column (its Column, or a whole-row marker testing it); null when none.
    ValueMarker* FindMarker(const std::wstring& name);
    std::wstring FormatName() const { return FormatNameOf(Format); }

    // The folder of the project file (empty for a new project).
    std::wstring ProjectFolder() const;
    // A path as the project means it: relative paths count from the project file's folder.
    std::wstring ResolvePath(const std::wstring& path) const;
    // The project file this object was loaded from or saved to (empty for a new project).
    const std::wstring& PathName() const { return m_pathName; }
    void SetPathName(const std::wstring& path) { m_pathName = path; }

    CDB* Connection() const { return m_connection.get(); }
    void SetConnection(std::unique_ptr<CDB> connection);

    // Called when the modified flag changes (the window title shows "*").
    std::function<void()> m_onModifiedChanged;

    // Stored fields, named by their project-file keys.
    int Format = 1;
    std::wstring Text;
    std::wstring QueryFile;
    int FromFile = 0;
    std::wstring Values;
    std::wstring Title;
    std::wstring Header;
    std::wstring FooterTxt;
    std::wstring Language;
    std::wstring Encoding;
    int IsLandscape = 0;
    std::wstring StyleNo = L"Default";
    int TitleSize = 1;
    int HeaderSize = 4;
    int FooterSize = 5;
    std::wstring ReportFile;
    std::wstring TitleClass;
    std::wstring HeaderClass;
    std::wstring FooterClass;
    int Summary = 0;
    int TOC = 0;
    int Open = 1;

    std::vector<ColumnProperty> m_columnProperties;
    std::vector<ValueMarker> m_markers;
    std::vector<Converter> m_converters;

    // Run-time fields, never stored.
    bool m_running = false;
    std::wstring m_expandedTitle, m_expandedHeader, m_expandedFooter;
    std::vector<ParameterValue> m_values;
    std::vector<std::wstring> m_resultColumns;
    std::wstring m_previewName;

  private:
    bool m_titleOn = true, m_headerOn = true, m_footerOn = true;
    bool m_modified = false;
    std::unique_ptr<CDB> m_connection;
    std::wstring m_pathName;
    std::wstring m_loadError, m_saveError;
    std::vector<project::LoadProblem> m_loadProblems;
};
