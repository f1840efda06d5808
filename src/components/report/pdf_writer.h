#pragma once
// Placeholder until the writer lands.

#include "areport.h"

class PdfReport : public AReport {
public:
    int Open() override { return Fail(RE_FORMAT, L"This report format is not available yet."); }
    void Text(std::wstring_view, PARAGRAPH_TYPE, std::wstring_view, int) override {}
    void BeginSubDocument(std::wstring_view, std::wstring_view, std::wstring_view) override {}
    void EndSubDocument() override {}
    void Ancor(std::wstring_view) override {}
    void EndOfLine() override {}
    void BeginStyle(int, int) override {}
    void EndStyle(int, int) override {}
    void BeginParagraph(PARAGRAPH_TYPE, std::wstring_view) override {}
    void EndParagraph(PARAGRAPH_TYPE) override {}
    void BeginToc() override {}
    void TocItem(std::wstring_view, std::wstring_view, int) override {}
    void EndToc() override {}
    void BeginTable(std::wstring_view, std::wstring_view) override {}
    void EndTable(std::wstring_view) override {}
    void BeginRow(std::wstring_view, std::wstring_view, int) override {}
    void EndRow(std::wstring_view) override {}
    void BeginCell(std::wstring_view, int, std::wstring_view) override {}
    void EndCell(std::wstring_view, int) override {}
    void Cell(std::wstring_view, int, std::wstring_view) override {}
};
