#include "ex_report.h"

#include "ctw_doc.h"
#include "log.h"

// Placeholder until the report run lands.
ExReport::ExReport() = default;
ExReport::~ExReport() = default;

bool ExReport::RunAndOpen(CtwDoc&, const std::wstring&, int) {
    CLog::Bug(L"The report run is not available yet.");
    return false;
}

ExReport& Engine() {
    static ExReport engine;
    return engine;
}
