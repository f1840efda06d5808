#include "chm_writer.h"
#include "excel_writer.h"
#include "html_writer.h"
#include "multi_report.h"
#include "pdf_writer.h"
#include "rtf_writer.h"
#include "text_writer.h"
#include "xml_writer.h"
#include "xlsx_writer.h"

std::unique_ptr<AReport> MakeWriter(int format) {
    switch (format) {
        case RF_RTF: return std::make_unique<RtfReport>();
        case RF_HTML: return std::make_unique<HtmlReport>();
        case RF_XML: return std::make_unique<XmlReport>();
        case RF_TEXT: return std::make_unique<TextReport>();
        case RF_CHM: return std::make_unique<ChmReport>();
        case RF_PDF: return std::make_unique<PdfReport>();
        case RF_EXCEL: return std::make_unique<ExcelReport>();
        case RF_XLSX: return std::make_unique<XlsxReport>();
        default: return nullptr;
    }
}
