#pragma once
// XML reports: UTF-8, well-formed, every text escaped (the markup flag does not apply: XML carries data, not
// HTML), characters that XML 1.0 does not allow written as U+FFFD. Bold, italic and size styles are left out.
//
// Structure:
//   <report>
//     <properties><property name="TITLE">...</property> ...</properties>   (the placeholders without %)
//     <heading level="1" class="...">text</heading>      paragraph types 1 to 6
//     <paragraph class="...">line<br/>line</paragraph>    paragraph type 0; class only when one was given
//     <toc><item anchor="Results1" level="0">Sales</item> ...</toc>
//     <section file="Results1.html" title="Sales">        one per sub-document (summary, each result set)
//       <anchor name="Results1"/>
//       <table name="ResultSet">
//         <columns><column>region</column> ...</columns>
//         <row><cell column="region">North</cell> ...</row>
//       </table>
//     </section>
//   </report>
// A table left with an unfinished row, and any element still open at Close, is closed, so the file is always
// well-formed.

#include <string>
#include <vector>

#include "areport.h"
#include "markup.h"
#include "output_file.h"

class XmlReport : public AReport {
public:
    int Open() override;
    int Close() override;
    bool OutputFailed() const override { return m_file.WriteFailed(); }
    void Discard() override;
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
    void Ancor(std::wstring_view name) override;
    void EndOfLine() override;
    void BeginStyle(int, int) override {}
    void EndStyle(int, int) override {}
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override;
    void EndParagraph(PARAGRAPH_TYPE type) override;
    void BeginToc() override;
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override;
    void EndToc() override;
    void BeginTable(std::wstring_view name, std::wstring_view none) override;
    void EndTable(std::wstring_view name) override;
    void BeginRow(std::wstring_view cls, std::wstring_view none, int columns) override;
    void EndRow(std::wstring_view cls) override;
    void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) override;
    void EndCell(std::wstring_view columnName, int header) override;
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) override;
    void FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) override;

private:
    enum class Element { Section, Paragraph, Heading, Toc, Table, Columns, Row, Column, Cell };
    void Push(Element kind) { m_open.push_back(kind); }
    bool IsOpen(Element kind) const;
    bool CloseTo(Element kind);
    void CloseTop();
    // Closes elements until the top is one of the section level (report or section).
    void CloseToSection();
    void WriteEscaped(std::wstring_view text) {
        markup::AppendXmlEscaped(m_file.Buffer(), text);
        m_file.MaybeFlush();
    }
    // An attribute value: tab and line feed as references too, which a parser would read as blanks.
    void WriteAttribute(std::wstring_view text) {
        markup::AppendXmlAttributeEscaped(m_file.Buffer(), text);
        m_file.MaybeFlush();
    }
    void WriteRaw(std::string_view bytes) { m_file.Write(bytes); }
    void OpenParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes);
    void OpenCell(std::wstring_view columnName, int header);
    // Text of UTF-8 bytes (as FormattedCellUtf8 takes them).
    void TextUtf8(std::string_view text);

    OutputFile m_file;
    std::vector<Element> m_open;
    std::vector<std::wstring> m_columns;      // header names of the current table
    std::vector<std::string> m_columnsXml;    // the same, escaped
    size_t m_cellIndex = 0;
};
