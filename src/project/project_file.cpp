// Reading and writing the project file through the key/value store.

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cwctype>
#include <filesystem>

#include "ctw_doc.h"
#include "log.h"
#include "sys_reg.h"
#include "text.h"

namespace {

enum class Backup { None, Linked, Renamed };

// Keeps the file at path under backup unless backup exists already. A hard link keeps the project file in
// place until the new one is renamed over it; a file system without hard links gets a rename that does not
// replace.
Backup MakeBackup(const std::wstring& path, const std::wstring& backup) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(tw::ToPath(path), error))) {
        return Backup::None;
    }
    const std::string source = tw::WideToUtf8(path), target = tw::WideToUtf8(backup);
    if (link(source.c_str(), target.c_str()) == 0) return Backup::Linked;
    if (errno == EEXIST) return Backup::None;
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return Backup::Renamed;
    }
    return Backup::None;
}

// Undoes MakeBackup after a failed save, so the disk is as it was before.
void UndoBackup(Backup made, const std::wstring& path, const std::wstring& backup) {
    const std::string source = tw::WideToUtf8(path), target = tw::WideToUtf8(backup);
    if (made == Backup::Linked) unlink(target.c_str());
    if (made == Backup::Renamed)
        renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, source.c_str(), RENAME_NOREPLACE);
}

void SaveStyle(CSysReg& store, unsigned i, const RuleStyle& style) {
    store.SaveByNo(L"IsBold", i, style.IsBold);
    store.SaveByNo(L"IsItalic", i, style.IsItalic);
    store.SaveByNo(L"BackgroundColor", i, style.BackgroundColor);
    store.SaveByNo(L"FontColor", i, style.FontColor);
    store.SaveByNo(L"CSSClass", i, style.CSSClass);
    store.SaveByNo(L"Align", i, style.Align);
    store.SaveByNo(L"FontSize", i, style.FontSize);
}

void ReadStyle(const CSysReg& store, unsigned i, RuleStyle& style) {
    store.ReadByNo(L"IsBold", i, style.IsBold, 0);
    store.ReadByNo(L"IsItalic", i, style.IsItalic, 0);
    store.ReadByNo(L"BackgroundColor", i, style.BackgroundColor, L"");
    store.ReadByNo(L"FontColor", i, style.FontColor, L"");
    store.ReadByNo(L"CSSClass", i, style.CSSClass, L"");
    store.ReadByNo(L"Align", i, style.Align, L"");
    store.ReadByNo(L"FontSize", i, style.FontSize, 0);
}

// "Counter" of the current section, kept within [0, kMaxRuleRecords] so that a damaged or hostile file cannot
// make the project allocate millions of records.
unsigned ReadCounter(const CSysReg& store, const wchar_t* section, const std::wstring& path) {
    int counter = 0;
    store.Read(L"Counter", counter, 0);
    if (counter < 0) {
        CLog::Bug2(L"Project '%ls': [%ls] Counter %d is negative; no records read.", path.c_str(), section,
                   counter);
        return 0;
    }
    if (counter > kMaxRuleRecords) {
        CLog::Bug2(L"Project '%ls': [%ls] Counter %d is too large; only the first %d records are read.",
                   path.c_str(), section, counter, kMaxRuleRecords);
        return kMaxRuleRecords;
    }
    return static_cast<unsigned>(counter);
}

void SaveTexts(CtwDoc& doc, CSysReg& store) {
    store.Section(L"Query", 0);
    store.Save(L"Format", doc.Format);
    store.Save(L"Text", doc.Text);
    store.Save(L"QueryFile", doc.QueryFile);
    store.Save(L"FromFile", doc.FromFile);
    store.Save(L"Values", doc.Values);

    store.Section(L"Target", 0);
    store.Save(L"Title", doc.IsTitleOn() ? doc.Title : std::wstring());
    store.Save(L"Header", doc.IsHeaderOn() ? doc.Header : std::wstring());
    store.Save(L"FooterTxt", doc.IsFooterOn() ? doc.FooterTxt : std::wstring());
    store.Save(L"Language", doc.Language);
    store.Save(L"Encoding", doc.Encoding);
    store.Save(L"IsLandscape", doc.IsLandscape);
    store.Save(L"StyleNo", doc.StyleNo);
    store.Save(L"HeaderSize", doc.HeaderSize);
    store.Save(L"TitleSize", doc.TitleSize);
    store.Save(L"FooterSize", doc.FooterSize);
    store.Save(L"ReportFile", doc.ReportFile);
    store.Save(L"TitleClass", doc.TitleClass);
    store.Save(L"HeaderClass", doc.HeaderClass);
    store.Save(L"FooterClass", doc.FooterClass);
    store.Save(L"Summary", doc.Summary);
    store.Save(L"TOC", doc.TOC);
    store.Save(L"Open", doc.Open);
}

void SaveRules(const CtwDoc& doc, CSysReg& store) {
    store.Section(L"ColumnProps", 0);
    store.Save(L"Counter", static_cast<int>(doc.m_columnProperties.size()));
    for (unsigned i = 0; i < doc.m_columnProperties.size(); ++i) {
        const ColumnProperty& property = doc.m_columnProperties[i];
        store.SaveByNo(L"ColumnName", i, property.ColumnName);
        store.SaveByNo(L"IsHide", i, property.IsHide ? 1 : 0);
        SaveStyle(store, i, property.style);
    }

    store.Section(L"Markers", 0);
    store.Save(L"Counter", static_cast<int>(doc.m_markers.size()));
    for (unsigned i = 0; i < doc.m_markers.size(); ++i) {
        const ValueMarker& marker = doc.m_markers[i];
        store.SaveByNo(L"Column", i, marker.Column);
        store.SaveByNo(L"IsWholeRow", i, marker.IsWholeRow);
        store.SaveByNo(L"ConditionColumn", i, marker.ConditionColumn);
        store.SaveByNo(L"ConditionOperation", i, marker.ConditionOperation);
        store.SaveByNo(L"ConditionOperand", i, marker.ConditionOperand);
        SaveStyle(store, i, marker.style);
    }

    store.Section(L"Converters", 0);
    store.Save(L"Counter", static_cast<int>(doc.m_converters.size()));
    for (unsigned i = 0; i < doc.m_converters.size(); ++i) {
        const Converter& converter = doc.m_converters[i];
        store.SaveByNo(L"Column", i, converter.Column);
        store.SaveByNo(L"Prefix", i, converter.Prefix);
        store.SaveByNo(L"Suffix", i, converter.Suffix);
        store.SaveByNo(L"Group", i, converter.Group);
        store.SaveByNo(L"Digits", i, converter.Digits);
        store.SaveByNo(L"Pres", i, converter.Pres);
        store.SaveByNo(L"DateFrom", i, converter.DateFrom);
        store.SaveByNo(L"DateTo", i, converter.DateTo);
        store.SaveByNo(L"RegexFrom", i, converter.RegexFrom);
        store.SaveByNo(L"RegexTo", i, converter.RegexTo);
    }
}

void ReadTexts(CtwDoc& doc, CSysReg& store, bool& titleOn, bool& headerOn, bool& footerOn) {
    store.Section(L"Query", 0);
    store.Read(L"Format", doc.Format, 0);
    store.Read(L"Text", doc.Text, L"");
    store.Read(L"QueryFile", doc.QueryFile, L"");
    store.Read(L"FromFile", doc.FromFile, 0);
    store.Read(L"Values", doc.Values, L"");

    store.Section(L"Target", 0);
    store.Read(L"Title", doc.Title, L"");
    store.Read(L"Header", doc.Header, L"");
    store.Read(L"FooterTxt", doc.FooterTxt, L"");
    titleOn = !doc.Title.empty();
    headerOn = !doc.Header.empty();
    footerOn = !doc.FooterTxt.empty();
    store.Read(L"Language", doc.Language, L"");
    store.Read(L"Encoding", doc.Encoding, L"");
    store.Read(L"IsLandscape", doc.IsLandscape, 0);
    store.Read(L"StyleNo", doc.StyleNo, L"Default");
    store.Read(L"HeaderSize", doc.HeaderSize, 4);
    store.Read(L"TitleSize", doc.TitleSize, 1);
    store.Read(L"FooterSize", doc.FooterSize, 5);
    store.Read(L"ReportFile", doc.ReportFile, L"");
    store.Read(L"TitleClass", doc.TitleClass, L"");
    store.Read(L"HeaderClass", doc.HeaderClass, L"");
    store.Read(L"FooterClass", doc.FooterClass, L"");
    store.Read(L"Summary", doc.Summary, 0);
    store.Read(L"TOC", doc.TOC, 0);
    store.Read(L"Open", doc.Open, 0);
}

void ReadRules(CtwDoc& doc, CSysReg& store, const std::wstring& path) {
    store.Section(L"ColumnProps", 0);
    unsigned count = ReadCounter(store, L"ColumnProps", path);
    doc.m_columnProperties.clear();
    doc.m_columnProperties.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        ColumnProperty property;
        int hide = 0;
        store.ReadByNo(L"ColumnName", i, property.ColumnName, L"");
        store.ReadByNo(L"IsHide", i, hide, 0);
        property.IsHide = hide != 0;
        ReadStyle(store, i, property.style);
        doc.m_columnProperties.push_back(std::move(property));
    }

    store.Section(L"Markers", 0);
    count = ReadCounter(store, L"Markers", path);
    doc.m_markers.clear();
    doc.m_markers.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        ValueMarker marker;
        store.ReadByNo(L"Column", i, marker.Column, L"");
        store.ReadByNo(L"IsWholeRow", i, marker.IsWholeRow, 0);
        store.ReadByNo(L"ConditionColumn", i, marker.ConditionColumn, L"");
        store.ReadByNo(L"ConditionOperation", i, marker.ConditionOperation, L"");
        store.ReadByNo(L"ConditionOperand", i, marker.ConditionOperand, L"");
        ReadStyle(store, i, marker.style);
        doc.m_markers.push_back(std::move(marker));
    }

    store.Section(L"Converters", 0);
    count = ReadCounter(store, L"Converters", path);
    doc.m_converters.clear();
    doc.m_converters.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        Converter converter;
        store.ReadByNo(L"Column", i, converter.Column, L"");
        store.ReadByNo(L"Prefix", i, converter.Prefix, L"");
        store.ReadByNo(L"Suffix", i, converter.Suffix, L"");
        store.ReadByNo(L"Group", i, converter.Group, 0);
        store.ReadByNo(L"Digits", i, converter.Digits, -1);
        store.ReadByNo(L"Pres", i, converter.Pres, -1);
        store.ReadByNo(L"DateFrom", i, converter.DateFrom, L"");
        store.ReadByNo(L"DateTo", i, converter.DateTo, L"");
        store.ReadByNo(L"RegexFrom", i, converter.RegexFrom, L"");
        store.ReadByNo(L"RegexTo", i, converter.RegexTo, L"");
        doc.m_converters.push_back(std::move(converter));
    }
}

}  // namespace

std::wstring CtwDoc::BackupPath(const std::wstring& path) {
    static constexpr std::wstring_view kExtension = L".twp";
    if (path.size() > kExtension.size()) {
        const size_t start = path.size() - kExtension.size();
        bool matches = path[start - 1] != L'/';
        for (size_t i = 0; matches && i < kExtension.size(); ++i) {
            matches =
                std::towlower(static_cast<wint_t>(path[start + i])) == static_cast<wint_t>(kExtension[i]);
        }
        if (matches) return path.substr(0, start) + L".bak";
    }
    return path + L".bak";
}

bool CtwDoc::Save(const std::wstring& path) {
    m_saveError.clear();
    if (path.empty()) {
        m_saveError = L"No file name was given.";
        return false;
    }
    // The first save that finds no backup keeps the old file as the backup; later saves leave that backup.
    const std::wstring backup = BackupPath(path);
    const Backup madeBackup = MakeBackup(path, backup);

    CSysReg store;
    store.OpenWrite(path);
    SaveTexts(*this, store);
    SaveRules(*this, store);
    if (m_connection) {
        CONN_INFO info = m_connection->m_ConInfo;
        info.Save(store, L"Connection");
    }
    if (!store.Commit()) {
        m_saveError = store.ErrorText();
        // Nothing may be lost: put the old file back where it was.
        UndoBackup(madeBackup, path, backup);
        CLog::Bug(L"The project could not be saved.", path + L": " + m_saveError);
        return false;
    }
    m_pathName = path;
    SetModified(false);
    return true;
}

bool CtwDoc::Load(const std::wstring& path) {
    const bool loaded = LoadFile(path);
    // A failed connection shows in the project window and in the report run.
    if (m_fileNamesConnection) ConnectDatabase();
    return loaded;
}

bool CtwDoc::LoadFile(const std::wstring& path) {
    m_loadError.clear();
    CSysReg store;
    const CSysReg::Status status = store.OpenRead(path);
    if (status != CSysReg::Status::Ok && status != CSysReg::Status::Missing) {
        m_loadError = store.ErrorText().empty() ? L"The file is not a project." : store.ErrorText();
    }
    m_pathName = path;

    ReadTexts(*this, store, m_titleOn, m_headerOn, m_footerOn);
    ReadRules(*this, store, path);

    CONN_INFO info;
    info.Load(store, L"Connection");
    info.BaseFolder = ProjectFolder();
    m_fileNamesConnection = !info.IsEmpty();
    if (!m_connection) m_connection = CDB::newDB(info.Type);
    if (!info.IsEmpty()) {
        if (!m_connection || m_connection->m_Type != info.Type) {
            m_connection.reset();
            m_connection = CDB::newDB(info.Type);
        }
        if (m_connection) {
            // Still connected to the database of what was loaded before: that is not this project's.
            if (m_connection->IsConnected() && m_connection->m_ConInfo != info) m_connection->Disconnect();
            m_connection->m_ConInfo = info;
        }
    }
    SetModified(false);
    if (!m_loadError.empty()) {
        CLog::Bug(L"The file is not a project file; defaults were loaded.", path + L": " + m_loadError);
        return false;
    }
    return true;
}

bool CtwDoc::ConnectDatabase() {
    CDB* connection = m_connection.get();
    if (connection == nullptr || connection->m_ConInfo.IsEmpty()) return false;
    const CONN_INFO info = connection->m_ConInfo;
    return CDB::isOK(connection->Connect(info));
}
