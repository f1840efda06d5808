#pragma once
// CHM writer: every sub-document becomes an HTML page of its own, the rest of the report the start page
// index.html; Close writes the project (.hhp), its contents (.hhc) and index (.hhk) beside the pages and
// compiles them with chmcmd (package fp-utils) into the report file.
//
// Pages go to the folder the run names in BeginSubDocument. The start page is begun before that folder is
// known, so it is written in a folder of the writer's own (mkdtemp, "tw20" prefix, removed at Close) and
// moved beside the pages at Close. With no folder from the run, everything stays in the writer's own folder.

#include <sys/types.h>

#include <string>
#include <vector>

#include "html_writer.h"

class ChmReport : public HtmlReport {
  public:
    ChmReport();
    ~ChmReport() override;

    // Fails with a clear error when chmcmd cannot be found.
    int Open() override;
    // Finishes the pages and compiles them; a failing compile is reported with chmcmd's output.
    int Close() override;
    bool OutputFailed() const override { return m_page.WriteFailed() || m_report.WriteFailed(); }
    void Discard() override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override;

    // The compiler's name, looked up in PATH (tests point it elsewhere).
    static void SetCompiler(std::string name);

  private:
    struct Page {
        std::wstring file, title;
    };
    // Ends the page being written, if any; false when it could not be written.
    void EndPage();
    bool WriteProjectFiles(const std::string& folder, const std::string& base);
    int Compile(const std::string& folder, const std::string& base);
    // Waits for the compiler; false when the run's stop flag ended it (the compiler is killed).
    bool WaitForCompiler(pid_t pid, int& status) const;
    void RemoveOwnFolder();

    std::string m_ownFolder;   // mkdtemp folder of this writer, removed at Close
    std::string m_pageFolder;  // where the pages go; the own folder until the run names one
    OutputFile m_page;         // the sub-document being written
    OutputFile m_report;       // the report file, filled with the compiled file at Close
    bool m_inPage = false;
    std::wstring m_pageTitle;
    std::vector<Page> m_pages;  // in the order written; index.html is not among them
    std::wstring m_pageError;   // first page that could not be written
};
