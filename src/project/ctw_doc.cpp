#include "ctw_doc.h"

#include <filesystem>

#include "dates.h"
#include "host.h"
#include "settings.h"
#include "text.h"
#include "text_file.h"

namespace {

// Texts of one embedded query in a title, header or footer: the part between the first "{{" and the first
// "}}" after it. Returns false when the text holds no such pair.
bool FindEmbeddedQuery(const std::wstring& text, size_t& open, size_t& close) {
    open = text.find(L"{{");
    if (open == std::wstring::npos) return false;
    close = text.find(L"}}", open + 2);
    return close != std::wstring::npos;
}

std::wstring RunEmbeddedQuery(CDB& connection, const std::wstring& query) {
    std::wstring value;
    // A failed Execute leaves no cursor: only a successful one is closed.
    if (!CDB::isOK(connection.Execute(query, 0))) return {};
    if (CDB::isOK(connection.Fetch(0))) {
        if (!CDB::isOK(connection.GetValue(1, value, 0, 0, 0))) value.clear();
    }
    connection.CloseCursor(0);
    return value;
}

}  // namespace

std::wstring ExpandEmbeddedQuery(CDB* connection, const std::wstring& text) {
    size_t open = 0, close = 0;
    if (connection == nullptr || !FindEmbeddedQuery(text, open, close)) return text;
    const std::wstring query = text.substr(open + 2, close - open - 2);
    std::wstring result = text.substr(0, open);
    result += RunEmbeddedQuery(*connection, query);
    result.append(text, close + 2);
    return result;
}

namespace {

// The text of one of the three switchable texts: none when off, the default setting for an empty text under
// UseForEmpty, the expanded text during a run.
std::optional<std::wstring> PrintedText(bool on, const std::wstring& text, const std::wstring& expanded,
                                        bool running, const wchar_t* defaultKey) {
    if (!on) return std::nullopt;
    if (text.empty() && Settings().getInt(L"UseForEmpty") != 0) return Settings().getStr(defaultKey);
    if (!running) return text;
    return expanded.empty() ? text : expanded;
}

}  // namespace

std::wstring FormatNameOf(int format) {
    static const wchar_t* const kNames[] = {L"RTF/DOC", L"HTML", L"XML", L"Text", L"CHM", L"PDF", L"Excel", L"Excel workbook"};
    if (format < 0 || format >= static_cast<int>(std::size(kNames))) return {};
    return kNames[format];
}

std::wstring FormatExtensionOf(int format) {
    static const wchar_t* const kExtensions[] = {L".rtf", L".htm", L".xml", L".txt", L".chm", L".pdf", L".xls", L".xlsx"};
    if (format < 0 || format >= static_cast<int>(std::size(kExtensions))) return {};
    return kExtensions[format];
}

CtwDoc::CtwDoc() { Reset(); }

CtwDoc::~CtwDoc() = default;

void CtwDoc::Reset() {
    _Settings& settings = Settings();
    Format = 1;
    Text.clear();
    QueryFile.clear();
    FromFile = 0;
    Title = settings.getStr(L"DefTitle");
    Header = settings.getStr(L"DefHeader");
    FooterTxt = settings.getStr(L"DefFooter");
    m_titleOn = m_headerOn = m_footerOn = true;
    Language = settings.getStr(L"HtmlLanguage");
    Encoding = settings.getStr(L"HtmlCharset");
    IsLandscape = 0;
    StyleNo = L"Default";
    TitleSize = 1;
    HeaderSize = 4;
    FooterSize = 5;
    TitleClass.clear();
    HeaderClass.clear();
    FooterClass.clear();
    Summary = 0;
    TOC = 0;
    Open = 1;
    m_running = false;
    m_connection.reset();
    SetModified(false);
}

void CtwDoc::SetModified(bool modified) {
    if (m_modified == modified) return;
    m_modified = modified;
    if (m_onModifiedChanged) m_onModifiedChanged();
}

void CtwDoc::FieldChanged(ProjectField field) {
    SetModified(true);
    if (m_onFieldChanged) m_onFieldChanged(field);
}

void CtwDoc::SetScriptText(const std::wstring& text) {
    const size_t end = text.find_last_not_of(L"\r\n");
    const std::wstring_view trimmed(text.data(), end == std::wstring::npos ? 0 : end + 1);
    // An editor that adds line ends at the very end of the script does not count as a change.
    if (Text == trimmed || Text == text) return;
    Text = text;
    FieldChanged(ProjectField::Script);
}

namespace {
template <typename T>
void SetIfDifferent(CtwDoc& doc, T& field, const T& value, ProjectField which) {
    if (field == value) return;
    field = value;
    doc.FieldChanged(which);
}

void SetSwitchedText(CtwDoc& doc, bool& on, std::wstring& field, const std::optional<std::wstring>& value,
                     ProjectField which) {
    if (!value) {
        if (!on) return;
        on = false;
        doc.FieldChanged(which);
        return;
    }
    if (on && field == *value) return;
    on = true;
    field = *value;
    doc.FieldChanged(which);
}

template <typename T, typename Same>
void SetRecord(CtwDoc& doc, std::vector<T>& list, size_t position, const T& record, Same same, ProjectField which) {
    if (position >= list.size() || same(list[position], record)) return;
    list[position] = record;
    doc.FieldChanged(which);
}

template <typename T>
void RemoveRecord(CtwDoc& doc, std::vector<T>& list, size_t position, ProjectField which) {
    if (position >= list.size()) return;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(position));
    doc.FieldChanged(which);
}
}  // namespace

void CtwDoc::SetQueryFile(const std::wstring& path) { SetIfDifferent(*this, QueryFile, path, ProjectField::QueryFile); }
void CtwDoc::SetFromFile(int fromFile) { SetIfDifferent(*this, FromFile, fromFile, ProjectField::FromFile); }
void CtwDoc::SetValuesFile(const std::wstring& path) { SetIfDifferent(*this, Values, path, ProjectField::ValuesFile); }
void CtwDoc::SetFormat(int format) { SetIfDifferent(*this, Format, format, ProjectField::Format); }
void CtwDoc::SetLanguage(const std::wstring& text) { SetIfDifferent(*this, Language, text, ProjectField::Language); }
void CtwDoc::SetEncoding(const std::wstring& text) { SetIfDifferent(*this, Encoding, text, ProjectField::Encoding); }
void CtwDoc::SetLandscape(int landscape) {
    SetIfDifferent(*this, IsLandscape, landscape, ProjectField::Landscape);
}
void CtwDoc::SetStyleNo(const std::wstring& text) { SetIfDifferent(*this, StyleNo, text, ProjectField::StyleNo); }
void CtwDoc::SetTitleSize(int size) { SetIfDifferent(*this, TitleSize, size, ProjectField::TitleSize); }
void CtwDoc::SetHeaderSize(int size) { SetIfDifferent(*this, HeaderSize, size, ProjectField::HeaderSize); }
void CtwDoc::SetFooterSize(int size) { SetIfDifferent(*this, FooterSize, size, ProjectField::FooterSize); }
void CtwDoc::SetReportFile(const std::wstring& path) {
    SetIfDifferent(*this, ReportFile, path, ProjectField::ReportFile);
}
void CtwDoc::SetTitleClass(const std::wstring& text) {
    SetIfDifferent(*this, TitleClass, text, ProjectField::TitleClass);
}
void CtwDoc::SetHeaderClass(const std::wstring& text) {
    SetIfDifferent(*this, HeaderClass, text, ProjectField::HeaderClass);
}
void CtwDoc::SetFooterClass(const std::wstring& text) {
    SetIfDifferent(*this, FooterClass, text, ProjectField::FooterClass);
}
void CtwDoc::SetSummary(int on) { SetIfDifferent(*this, Summary, on, ProjectField::Summary); }
void CtwDoc::SetTOC(int on) { SetIfDifferent(*this, TOC, on, ProjectField::TOC); }
void CtwDoc::SetOpen(int on) { SetIfDifferent(*this, Open, on, ProjectField::Open); }
void CtwDoc::SetTitleText(const std::optional<std::wstring>& text) {
    SetSwitchedText(*this, m_titleOn, Title, text, ProjectField::Title);
}
void CtwDoc::SetHeaderText(const std::optional<std::wstring>& text) {
    SetSwitchedText(*this, m_headerOn, Header, text, ProjectField::Header);
}
void CtwDoc::SetFooterText(const std::optional<std::wstring>& text) {
    SetSwitchedText(*this, m_footerOn, FooterTxt, text, ProjectField::Footer);
}

void CtwDoc::SetColumnProperty(size_t position, const ColumnProperty& record) {
    SetRecord(*this, m_columnProperties, position, record, SameColumnProperty, ProjectField::ColumnProperties);
}
void CtwDoc::AddColumnProperty(const ColumnProperty& record) {
    m_columnProperties.push_back(record);
    FieldChanged(ProjectField::ColumnProperties);
}
void CtwDoc::RemoveColumnProperty(size_t position) {
    RemoveRecord(*this, m_columnProperties, position, ProjectField::ColumnProperties);
}
void CtwDoc::SetMarker(size_t position, const ValueMarker& record) {
    SetRecord(*this, m_markers, position, record, SameMarker, ProjectField::Markers);
}
void CtwDoc::AddMarker(const ValueMarker& record) {
    m_markers.push_back(record);
    FieldChanged(ProjectField::Markers);
}
void CtwDoc::RemoveMarker(size_t position) { RemoveRecord(*this, m_markers, position, ProjectField::Markers); }
void CtwDoc::SetConverter(size_t position, const Converter& record) {
    SetRecord(*this, m_converters, position, record, SameConverter, ProjectField::Converters);
}
void CtwDoc::AddConverter(const Converter& record) {
    m_converters.push_back(record);
    FieldChanged(ProjectField::Converters);
}
void CtwDoc::RemoveConverter(size_t position) {
    RemoveRecord(*this, m_converters, position, ProjectField::Converters);
}

std::optional<std::wstring> CtwDoc::TitleText() const {
    return PrintedText(m_titleOn, Title, m_expandedTitle, m_running, L"DefTitle");
}
std::optional<std::wstring> CtwDoc::HeaderText() const {
    return PrintedText(m_headerOn, Header, m_expandedHeader, m_running, L"DefHeader");
}
std::optional<std::wstring> CtwDoc::FooterText() const {
    return PrintedText(m_footerOn, FooterTxt, m_expandedFooter, m_running, L"DefFooter");
}

std::wstring CtwDoc::GetScript() {
    std::wstring error;
    std::wstring script = ReadScript(error);
    if (!error.empty()) Host().MessageBox(error, L"Error", MessageIcon::Error);
    return script;
}

std::wstring CtwDoc::ReadScript(std::wstring& error) const {
    error.clear();
    if (FromFile == 0) return ExpandText(Text);
    const std::wstring path = ResolvePath(QueryFile);
    std::error_code failure;
    if (QueryFile.empty() || !std::filesystem::is_regular_file(tw::ToPath(path), failure)) {
        if (!QueryFile.empty()) error = L"Could not find or access '" + path + L"' file.";
        return {};
    }
    return ExpandText(JSON::LoadFile(path, 0));
}

std::wstring CtwDoc::ExpandText(const std::wstring& text) const {
    std::wstring result = ReplaceParameterValues(text, m_values);
    return DateAndTimeMacros(result, Settings().getStr(L"DateMFormat"), Settings().getStr(L"TimeMFormat"));
}

void CtwDoc::ExpandEmbeddedQueries() {
    CDB* connection = m_connection.get();
    m_expandedTitle = ExpandEmbeddedQuery(connection, Title);
    m_expandedHeader = ExpandEmbeddedQuery(connection, Header);
    m_expandedFooter = ExpandEmbeddedQuery(connection, FooterTxt);
}

ValueMarker* CtwDoc::FindMarker(const std::wstring& name) { return ::FindMarker(m_markers, name); }

std::wstring CtwDoc::ProjectFolder() const {
    if (m_pathName.empty()) return {};
    return tw::FromPath(tw::ToPath(m_pathName).parent_path());
}

std::wstring CtwDoc::ResolvePath(const std::wstring& path) const { return ResolveProjectPath(m_pathName, path); }

std::wstring ResolveProjectPath(const std::wstring& projectFile, const std::wstring& path) {
    if (path.empty() || projectFile.empty()) return path;
    const std::filesystem::path relative = tw::ToPath(path);
    if (relative.is_absolute()) return path;
    return tw::FromPath(tw::ToPath(projectFile).parent_path() / relative);
}

void CtwDoc::SetConnection(std::unique_ptr<CDB> connection) { m_connection = std::move(connection); }
