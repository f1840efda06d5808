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

// path as the project file projectFile means it: relative paths count from that file's folder.
std::wstring ResolveProjectPath(const std::wstring& projectFile, const std::wstring& path);
// text with its first embedded {{query}} replaced by the first value that query gives on connection (the empty
// text when it fails or gives none); text itself when it holds no "{{" ... "}}" pair or connection is null.
std::wstring ExpandEmbeddedQuery(CDB* connection, const std::wstring& text);

// Display names of the output formats: "RTF/DOC", "HTML", "XML", "Text", "CHM", "PDF", "Excel"; empty
// otherwise.
std::wstring FormatNameOf(int format);

// The fields of a project that pages edit, as a change listener is told them.
enum class ProjectField {
    Format, Script, QueryFile, FromFile, ValuesFile, Title, Header, Footer, Language, Encoding, Landscape,
    StyleNo, TitleSize, HeaderSize, FooterSize, ReportFile, TitleClass, HeaderClass, FooterClass, Summary, TOC,
    Open, ColumnProperties, Markers, Converters, Connection
};

class CtwDoc {
  public:
    CtwDoc();
    ~CtwDoc();
    CtwDoc(const CtwDoc&) = delete;
    CtwDoc& operator=(const CtwDoc&) = delete;

    // New-project values (see the field comments); keeps ReportFile, Values, the rule lists and run-time
    // lists.
    void Reset();
    // Reads a project file into this object and connects to its database (LoadFile, then ConnectDatabase).
    // Returns false (with LoadError()) when the file exists but is not a project (not TOML, not UTF-8; the
    // project then holds the defaults of a missing key), or when values cannot be used (LoadProblems(); those
    // keys hold their defaults, the others what the file says). A failed connection is not a failed load.
    bool Load(const std::wstring& path);
    // Reads a project file without connecting: the connection object of the file's type is ready but not
    // connected (its m_ConInfo holds the file's description, so a Save keeps it). Same result as Load.
    bool LoadFile(const std::wstring& path);
    // Connects the project's connection with its description (m_ConInfo). May run on another thread while the
    // owning thread leaves the connection alone (no run, no Save, no SetConnection until it returns); touches
    // nothing else of the project. False when there is nothing to connect or it failed (the driver's reason in
    // Connection()->m_LastError).
    bool ConnectDatabase();
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

    // Setters for what pages edit. Each one that changes its field marks the project modified and tells
    // m_onFieldChanged which field it was; setting the value a field already has does neither.
    void SetScriptText(const std::wstring& text);
    void SetQueryFile(const std::wstring& path);
    void SetFromFile(int fromFile);
    void SetValuesFile(const std::wstring& path);
    void SetFormat(int format);
    void SetLanguage(const std::wstring& text);
    void SetEncoding(const std::wstring& text);
    void SetLandscape(int landscape);
    void SetStyleNo(const std::wstring& text);
    void SetTitleSize(int size);
    void SetHeaderSize(int size);
    void SetFooterSize(int size);
    void SetReportFile(const std::wstring& path);
    void SetTitleClass(const std::wstring& text);
    void SetHeaderClass(const std::wstring& text);
    void SetFooterClass(const std::wstring& text);
    void SetSummary(int on);
    void SetTOC(int on);
    void SetOpen(int on);
    // nullopt switches the text off (its text stays).
    void SetTitleText(const std::optional<std::wstring>& text);
    void SetHeaderText(const std::optional<std::wstring>& text);
    void SetFooterText(const std::optional<std::wstring>& text);
    // Rule records: Set replaces the record at position (nothing when out of range), Add appends, Remove
    // deletes (nothing when out of range).
    void SetColumnProperty(size_t position, const ColumnProperty& record);
    void AddColumnProperty(const ColumnProperty& record);
    void RemoveColumnProperty(size_t position);
    void SetMarker(size_t position, const ValueMarker& record);
    void AddMarker(const ValueMarker& record);
    void RemoveMarker(size_t position);
    void SetConverter(size_t position, const Converter& record);
    void AddConverter(const Converter& record);
    void RemoveConverter(size_t position);
    // Marks the project modified and tells the listener (for changes made to the fields directly).
    void FieldChanged(ProjectField field);

    // The text to print, or nullopt when switched off.
    std::optional<std::wstring> TitleText() const;
    std::optional<std::wstring> HeaderText() const;
    std::optional<std::wstring> FooterText() const;
    bool IsTitleOn() const { return m_titleOn; }
    bool IsHeaderOn() const { return m_headerOn; }
    bool IsFooterOn() const { return m_footerOn; }

    // The SQL script to run, parameter values and date/time macros applied; a script file that cannot be read
    // is shown in a message box.
    std::wstring GetScript();
    // The same without the message box: its text goes to error (empty when the script could be read).
    std::wstring ReadScript(std::wstring& error) const;
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
    // Called after a setter changed a field (pages refresh what shows it).
    std::function<void(ProjectField)> m_onFieldChanged;

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
    bool m_fileNamesConnection = false;  // the last file loaded holds a connection description
    std::unique_ptr<CDB> m_connection;
    std::wstring m_pathName;
    std::wstring m_loadError, m_saveError;
    std::vector<project::LoadProblem> m_loadProblems;
};
