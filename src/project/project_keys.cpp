#include "project_keys.h"

#include <climits>
#include <iterator>

#include "ctw_doc.h"

namespace project {

namespace {

// Ranges of the numbers that size memory or output; README's project-file section lists them.
constexpr int kMaxWidth = 200;  // Digits: field width of a floating number
constexpr int kMaxPrecision =
    30;  // Pres: decimals of a floating number (a double holds 17 significant digits)
constexpr int kMinFontSize = -4;  // FontSize: 10 + 2 x FontSize points, (FontSize + 5) x 20 per cent
constexpr int kMaxFontSize = 20;
constexpr int kMaxParagraphType = 6;  // TitleSize, HeaderSize, FooterSize: plain text or heading 1 to 6
constexpr int kMaxFormat = 6;         // Format: the writers' format codes

constexpr KeyType kInt = KeyType::Integer, kFlag = KeyType::Flag, kText = KeyType::Text;
constexpr OutOfRange kReject = OutOfRange::Reject, kClamp = OutOfRange::Clamp;

// Field accessors: the project's own fields, and fields of the records of its three lists.
template <int CtwDoc::*Field>
int GetDoc(const CtwDoc& doc, size_t) {
    return doc.*Field;
}
template <int CtwDoc::*Field>
void SetDoc(CtwDoc& doc, size_t, int value) {
    doc.*Field = value;
}
template <std::wstring CtwDoc::*Field>
std::wstring_view GetDocText(const CtwDoc& doc, size_t) {
    return doc.*Field;
}
template <std::wstring CtwDoc::*Field>
void SetDocText(CtwDoc& doc, size_t, std::wstring value) {
    doc.*Field = std::move(value);
}

template <class Record, std::vector<Record> CtwDoc::*List, int Record::*Field>
int GetRecord(const CtwDoc& doc, size_t record) {
    return (doc.*List)[record].*Field;
}
template <class Record, std::vector<Record> CtwDoc::*List, int Record::*Field>
void SetRecord(CtwDoc& doc, size_t record, int value) {
    (doc.*List)[record].*Field = value;
}
template <class Record, std::vector<Record> CtwDoc::*List, std::wstring Record::*Field>
std::wstring_view GetRecordText(const CtwDoc& doc, size_t record) {
    return (doc.*List)[record].*Field;
}
template <class Record, std::vector<Record> CtwDoc::*List, std::wstring Record::*Field>
void SetRecordText(CtwDoc& doc, size_t record, std::wstring value) {
    (doc.*List)[record].*Field = std::move(value);
}

template <class Record, std::vector<Record> CtwDoc::*List, int RuleStyle::*Field>
int GetStyle(const CtwDoc& doc, size_t record) {
    return (doc.*List)[record].style.*Field;
}
template <class Record, std::vector<Record> CtwDoc::*List, int RuleStyle::*Field>
void SetStyle(CtwDoc& doc, size_t record, int value) {
    (doc.*List)[record].style.*Field = value;
}
template <class Record, std::vector<Record> CtwDoc::*List, std::wstring RuleStyle::*Field>
std::wstring_view GetStyleText(const CtwDoc& doc, size_t record) {
    return (doc.*List)[record].style.*Field;
}
template <class Record, std::vector<Record> CtwDoc::*List, std::wstring RuleStyle::*Field>
void SetStyleText(CtwDoc& doc, size_t record, std::wstring value) {
    (doc.*List)[record].style.*Field = std::move(value);
}

// Counter: the size of a list; setting it replaces the list by that many records of their defaults.
template <class Record, std::vector<Record> CtwDoc::*List>
int GetCount(const CtwDoc& doc, size_t) {
    return static_cast<int>((doc.*List).size());
}
template <class Record, std::vector<Record> CtwDoc::*List>
void SetCount(CtwDoc& doc, size_t, int count) {
    (doc.*List).clear();
    (doc.*List).resize(static_cast<size_t>(count));
}

// clang-format off
// Rows of the table. The last seven keys of column properties and markers are their RuleStyle, under the
// same names in both sections.
template <int CtwDoc::*Field>
constexpr ProjectKey DocNumber(std::wstring_view section, std::wstring_view key, KeyType type, int minimum,
                               int maximum, int defaultNumber) {
    return {section, key, false, type, minimum, maximum, kReject, defaultNumber, std::wstring_view(),
            GetDoc<Field>, SetDoc<Field>, nullptr, nullptr};
}
template <std::wstring CtwDoc::*Field>
constexpr ProjectKey DocText(std::wstring_view section, std::wstring_view key,
                             std::wstring_view defaultText = {}) {
    return {section, key, false, kText, 0, 0, kReject, 0, defaultText, nullptr, nullptr, GetDocText<Field>,
            SetDocText<Field>};
}
template <class Record, std::vector<Record> CtwDoc::*List>
constexpr ProjectKey Counter(std::wstring_view section) {
    return {section, L"Counter", false, kInt, 0, kMaxRuleRecords, kClamp, 0, std::wstring_view(),
            GetCount<Record, List>, SetCount<Record, List>, nullptr, nullptr};
}
template <class Record, std::vector<Record> CtwDoc::*List, int Record::*Field>
constexpr ProjectKey RecordNumber(std::wstring_view section, std::wstring_view key, int minimum, int maximum,
                                  OutOfRange outOfRange, int defaultNumber) {
    return {section, key, true, kInt, minimum, maximum, outOfRange, defaultNumber, std::wstring_view(),
            GetRecord<Record, List, Field>, SetRecord<Record, List, Field>, nullptr, nullptr};
}
template <class Record, std::vector<Record> CtwDoc::*List, std::wstring Record::*Field>
constexpr ProjectKey RecordText(std::wstring_view section, std::wstring_view key) {
    return {section, key, true, kText, 0, 0, kReject, 0, std::wstring_view(), nullptr, nullptr,
            GetRecordText<Record, List, Field>, SetRecordText<Record, List, Field>};
}

template <class Record, std::vector<Record> CtwDoc::*List, int RuleStyle::*Field>
constexpr ProjectKey StyleNumber(std::wstring_view section, std::wstring_view key, int minimum, int maximum,
                                 OutOfRange outOfRange) {
    return {section, key, true, kInt, minimum, maximum, outOfRange, 0, std::wstring_view(),
            GetStyle<Record, List, Field>, SetStyle<Record, List, Field>, nullptr, nullptr};
}
template <class Record, std::vector<Record> CtwDoc::*List, std::wstring RuleStyle::*Field>
constexpr ProjectKey StyleText(std::wstring_view section, std::wstring_view key) {
    return {section, key, true, kText, 0, 0, kReject, 0, std::wstring_view(), nullptr, nullptr,
            GetStyleText<Record, List, Field>, SetStyleText<Record, List, Field>};
}

// The switched texts are written empty when switched off; Load switches them on when not empty.
std::wstring_view TitleOrEmpty(const CtwDoc& doc, size_t) {
    return doc.IsTitleOn() ? std::wstring_view(doc.Title) : std::wstring_view();
}
std::wstring_view HeaderOrEmpty(const CtwDoc& doc, size_t) {
    return doc.IsHeaderOn() ? std::wstring_view(doc.Header) : std::wstring_view();
}
std::wstring_view FooterOrEmpty(const CtwDoc& doc, size_t) {
    return doc.IsFooterOn() ? std::wstring_view(doc.FooterTxt) : std::wstring_view();
}

// IsHide is stored as 0 or 1; any non-zero integer read hides the column.
int GetHide(const CtwDoc& doc, size_t record) { return doc.m_columnProperties[record].IsHide ? 1 : 0; }
void SetHide(CtwDoc& doc, size_t record, int value) { doc.m_columnProperties[record].IsHide = value != 0; }

using Props = ColumnProperty;
using Marker = ValueMarker;
constexpr auto kProps = &CtwDoc::m_columnProperties;
constexpr auto kMarkers = &CtwDoc::m_markers;
constexpr auto kConverters = &CtwDoc::m_converters;

const ProjectSection kSections[] = {
    {L"Query", false}, {L"Target", false}, {L"ColumnProps", true}, {L"Markers", true}, {L"Converters", true},
};

const ProjectKey kKeys[] = {
    DocNumber<&CtwDoc::Format>(L"Query", L"Format", kInt, 0, kMaxFormat, 0),
    DocText<&CtwDoc::Text>(L"Query", L"Text"),
    DocText<&CtwDoc::QueryFile>(L"Query", L"QueryFile"),
    DocNumber<&CtwDoc::FromFile>(L"Query", L"FromFile", kFlag, 0, 1, 0),
    DocText<&CtwDoc::Values>(L"Query", L"Values"),

    {L"Target", L"Title", false, kText, 0, 0, kReject, 0, std::wstring_view(),
     nullptr, nullptr, TitleOrEmpty, SetDocText<&CtwDoc::Title>},
    {L"Target", L"Header", false, kText, 0, 0, kReject, 0, std::wstring_view(),
     nullptr, nullptr, HeaderOrEmpty, SetDocText<&CtwDoc::Header>},
    {L"Target", L"FooterTxt", false, kText, 0, 0, kReject, 0, std::wstring_view(),
     nullptr, nullptr, FooterOrEmpty, SetDocText<&CtwDoc::FooterTxt>},
    DocText<&CtwDoc::Language>(L"Target", L"Language"),
    DocText<&CtwDoc::Encoding>(L"Target", L"Encoding"),
    DocNumber<&CtwDoc::IsLandscape>(L"Target", L"IsLandscape", kFlag, 0, 1, 0),
    DocText<&CtwDoc::StyleNo>(L"Target", L"StyleNo", L"Default"),
    DocNumber<&CtwDoc::HeaderSize>(L"Target", L"HeaderSize", kInt, 0, kMaxParagraphType, 4),
    DocNumber<&CtwDoc::TitleSize>(L"Target", L"TitleSize", kInt, 0, kMaxParagraphType, 1),
    DocNumber<&CtwDoc::FooterSize>(L"Target", L"FooterSize", kInt, 0, kMaxParagraphType, 5),
    DocText<&CtwDoc::ReportFile>(L"Target", L"ReportFile"),
    DocText<&CtwDoc::TitleClass>(L"Target", L"TitleClass"),
    DocText<&CtwDoc::HeaderClass>(L"Target", L"HeaderClass"),
    DocText<&CtwDoc::FooterClass>(L"Target", L"FooterClass"),
    DocNumber<&CtwDoc::Summary>(L"Target", L"Summary", kFlag, 0, 1, 0),
    DocNumber<&CtwDoc::TOC>(L"Target", L"TOC", kFlag, 0, 1, 0),
    DocNumber<&CtwDoc::Open>(L"Target", L"Open", kFlag, 0, 1, 0),

    Counter<Props, kProps>(L"ColumnProps"),
    RecordText<Props, kProps, &Props::ColumnName>(L"ColumnProps", L"ColumnName"),
    {L"ColumnProps", L"IsHide", true, kInt, INT_MIN, INT_MAX, kReject, 0, std::wstring_view(),
     GetHide, SetHide, nullptr, nullptr},
    StyleNumber<Props, kProps, &RuleStyle::IsBold>(L"ColumnProps", L"IsBold", INT_MIN, INT_MAX, kReject),
    StyleNumber<Props, kProps, &RuleStyle::IsItalic>(L"ColumnProps", L"IsItalic", INT_MIN, INT_MAX, kReject),
    StyleText<Props, kProps, &RuleStyle::BackgroundColor>(L"ColumnProps", L"BackgroundColor"),
    StyleText<Props, kProps, &RuleStyle::FontColor>(L"ColumnProps", L"FontColor"),
    StyleText<Props, kProps, &RuleStyle::CSSClass>(L"ColumnProps", L"CSSClass"),
    StyleText<Props, kProps, &RuleStyle::Align>(L"ColumnProps", L"Align"),
    StyleNumber<Props, kProps, &RuleStyle::FontSize>(L"ColumnProps", L"FontSize", kMinFontSize, kMaxFontSize,
                                                     kClamp),

    Counter<Marker, kMarkers>(L"Markers"),
    RecordText<Marker, kMarkers, &Marker::Column>(L"Markers", L"Column"),
    RecordNumber<Marker, kMarkers, &Marker::IsWholeRow>(L"Markers", L"IsWholeRow", INT_MIN, INT_MAX, kReject,
                                                        0),
    RecordText<Marker, kMarkers, &Marker::ConditionColumn>(L"Markers", L"ConditionColumn"),
    RecordText<Marker, kMarkers, &Marker::ConditionOperation>(L"Markers", L"ConditionOperation"),
    RecordText<Marker, kMarkers, &Marker::ConditionOperand>(L"Markers", L"ConditionOperand"),
    StyleNumber<Marker, kMarkers, &RuleStyle::IsBold>(L"Markers", L"IsBold", INT_MIN, INT_MAX, kReject),
    StyleNumber<Marker, kMarkers, &RuleStyle::IsItalic>(L"Markers", L"IsItalic", INT_MIN, INT_MAX, kReject),
    StyleText<Marker, kMarkers, &RuleStyle::BackgroundColor>(L"Markers", L"BackgroundColor"),
    StyleText<Marker, kMarkers, &RuleStyle::FontColor>(L"Markers", L"FontColor"),
    StyleText<Marker, kMarkers, &RuleStyle::CSSClass>(L"Markers", L"CSSClass"),
    StyleText<Marker, kMarkers, &RuleStyle::Align>(L"Markers", L"Align"),
    StyleNumber<Marker, kMarkers, &RuleStyle::FontSize>(L"Markers", L"FontSize", kMinFontSize, kMaxFontSize,
                                                        kClamp),

    Counter<Converter, kConverters>(L"Converters"),
    RecordText<Converter, kConverters, &Converter::Column>(L"Converters", L"Column"),
    RecordText<Converter, kConverters, &Converter::Prefix>(L"Converters", L"Prefix"),
    RecordText<Converter, kConverters, &Converter::Suffix>(L"Converters", L"Suffix"),
    RecordNumber<Converter, kConverters, &Converter::Group>(L"Converters", L"Group", INT_MIN, INT_MAX,
                                                            kReject, 0),
    RecordNumber<Converter, kConverters, &Converter::Digits>(L"Converters", L"Digits", -1, kMaxWidth, kClamp,
                                                             -1),
    RecordNumber<Converter, kConverters, &Converter::Pres>(L"Converters", L"Pres", -1, kMaxPrecision, kClamp,
                                                           -1),
    RecordText<Converter, kConverters, &Converter::DateFrom>(L"Converters", L"DateFrom"),
    RecordText<Converter, kConverters, &Converter::DateTo>(L"Converters", L"DateTo"),
    RecordText<Converter, kConverters, &Converter::RegexFrom>(L"Converters", L"RegexFrom"),
    RecordText<Converter, kConverters, &Converter::RegexTo>(L"Converters", L"RegexTo"),
};

// clang-format on

}  // namespace

std::wstring ProjectKey::Expected() const {
    if (type == KeyType::Text) return L"a text";
    if (type == KeyType::Flag) return L"0 or 1";
    if (minimum == INT_MIN && maximum == INT_MAX) return L"a 32-bit integer";
    return L"an integer from " + std::to_wstring(minimum) + L" to " + std::to_wstring(maximum);
}

std::span<const ProjectSection> ProjectSections() { return kSections; }

std::span<const ProjectKey> ProjectKeys() { return kKeys; }

std::span<const ProjectKey> ProjectKeysOf(std::wstring_view section) {
    const ProjectKey* first = std::begin(kKeys);
    while (first != std::end(kKeys) && first->section != section) ++first;
    const ProjectKey* last = first;
    while (last != std::end(kKeys) && last->section == section) ++last;
    return {first, last};
}

const ProjectKey* FindProjectKey(std::wstring_view section, std::wstring_view key) {
    for (const ProjectKey& row : ProjectKeysOf(section))
        if (row.key == key) return &row;
    return nullptr;
}

std::wstring LoadProblem::Text() const {
    std::wstring text = L"line " + std::to_wstring(line) + L": [" + section;
    if (record >= 0) text += L"." + std::to_wstring(record);
    text += L"] " + key + L": expected " + expected + L", found " + found;
    return text;
}

}  // namespace project
