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

std::wstring ExpandOne(CDB* connection, const std::wstring& text) {
    size_t open = 0, close = 0;
    if (connection == nullptr || !FindEmbeddedQuery(text, open, close)) return text;
    const std::wstring query = text.substr(open + 2, close - open - 2);
    std::wstring result = text.substr(0, open);
    result += RunEmbeddedQuery(*connection, query);
    result.append(text, close + 2);
    return result;
}

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
    static const wchar_t* const kNames[] = {L"RTF/DOC", L"HTML", L"XML", L"Text", L"CHM", L"PDF", L"Excel"};
    if (format < 0 || format >= static_cast<int>(std::size(kNames))) return {};
    return kNames[format];
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

void CtwDoc::SetScriptText(const std::wstring& text) {
    const size_t end = text.find_last_not_of(L"\r\n");
    const std::wstring_view trimmed(text.data(), end == std::wstring::npos ? 0 : end + 1);
    // An editor that adds line ends at the very end of the script does not count as a change.
    if (Text == trimmed || Text == text) return;
    Text = text;
    SetModified(true);
}

namespace {
void SetIfDifferent(CtwDoc& doc, std::wstring& field, const std::wstring& value) {
    if (field == value) return;
    field = value;
    doc.SetModified(true);
}

void SetSwitchedText(CtwDoc& doc, bool& on, std::wstring& field, const std::optional<std::wstring>& value) {
    if (!value) {
        if (on) doc.SetModified(true);
        on = false;
        return;
    }
    if (!on) {
        doc.SetModified(true);
        on = true;
    }
    SetIfDifferent(doc, field, *value);
}
}  // namespace

void CtwDoc::SetQueryFile(const std::wstring& path) { SetIfDifferent(*this, QueryFile, path); }
void CtwDoc::SetValuesFile(const std::wstring& path) { SetIfDifferent(*this, Values, path); }
void CtwDoc::SetHeaderClass(const std::wstring& text) { SetIfDifferent(*this, HeaderClass, text); }
void CtwDoc::SetFooterClass(const std::wstring& text) { SetIfDifferent(*this, FooterClass, text); }
void CtwDoc::SetTitleText(const std::optional<std::wstring>& text) {
    SetSwitchedText(*this, m_titleOn, Title, text);
}
void CtwDoc::SetHeaderText(const std::optional<std::wstring>& text) {
    SetSwitchedText(*this, m_headerOn, Header, text);
}
void CtwDoc::SetFooterText(const std::optional<std::wstring>& text) {
    SetSwitchedText(*this, m_footerOn, FooterTxt, text);
}

void CtwDoc::SetColumnProperty(size_t position, const ColumnProperty& record) {
    if (position >= m_columnProperties.size()) return;
    if (SameColumnProperty(m_columnProperties[position], record)) return;
    m_columnProperties[position] = record;
    SetModified(true);
}

void CtwDoc::RemoveColumnProperty(size_t position) {
    if (position >= m_columnProperties.size()) return;
    m_columnProperties.erase(m_columnProperties.begin() + static_cast<std::ptrdiff_t>(position));
    SetModified(true);
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
    if (FromFile == 0) return ExpandText(Text);
    const std::wstring path = ResolvePath(QueryFile);
    std::error_code error;
    if (QueryFile.empty() || !std::filesystem::is_regular_file(tw::ToPath(path), error)) {
        if (!QueryFile.empty()) {
            Host().MessageBox(L"Could not find or access '" + path + L"' file.", L"Error",
                              MessageIcon::Error);
        }
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
    m_expandedTitle = ExpandOne(connection, Title);
    m_expandedHeader = ExpandOne(connection, Header);
    m_expandedFooter = ExpandOne(connection, FooterTxt);
}

ValueMarker* CtwDoc::FindMarker(const std::wstring& name) {
    for (ValueMarker& marker : m_markers) {
        if (marker.Column == name || (marker.IsWholeRow != 0 && marker.ConditionColumn == name))
            return &marker;
    }
    return nullptr;
}

std::wstring CtwDoc::ProjectFolder() const {
    if (m_pathName.empty()) return {};
    return tw::FromPath(tw::ToPath(m_pathName).parent_path());
}

std::wstring CtwDoc::ResolvePath(const std::wstring& path) const {
    if (path.empty() || m_pathName.empty()) return path;
    const std::filesystem::path relative = tw::ToPath(path);
    if (relative.is_absolute()) return path;
    return tw::FromPath(tw::ToPath(m_pathName).parent_path() / relative);
}

void CtwDoc::SetConnection(std::unique_ptr<CDB> connection) { m_connection = std::move(connection); }
