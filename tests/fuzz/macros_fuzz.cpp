// Macro expansion of arbitrary texts: report file names, titles, headers and footers with date and time
// macros in arbitrary formats, parameter values and the run's own macros. A text without any "$" and without a
// parameter name comes out as it went in, as a text and as a file name; a text without "$DATE$" and "$TIME$"
// passes the date and time macros unchanged whatever the formats; nothing loops however the values hold macros
// or names.
//
// Input (parts separated by 0xFF): the text, a date format, a time format, a script, then parameter lines.

#include <ctime>
#include <string>

#include "ctw_doc.h"
#include "dates.h"
#include "ex_report.h"
#include "fuzz_files.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Scratch::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Scratch::Get();
    fuzz::Input input(data, size);
    const std::wstring text = input.Text();
    const std::wstring dateFormat = input.Text();
    const std::wstring timeFormat = input.Text();
    const std::wstring script = input.Text();
    CtwDoc project;
    while (!input.AtEnd()) {
        ParameterValue parameter;
        if (ParseParameterLine(input.Text(), parameter)) project.m_values.push_back(parameter);
    }

    // The date and time macros alone, in arbitrary formats at a fixed moment.
    std::tm moment{};
    moment.tm_year = 2024 - 1900;
    moment.tm_mon = 1;
    moment.tm_mday = 29;
    moment.tm_hour = 23;
    moment.tm_min = 59;
    moment.tm_sec = 58;
    const std::wstring dated = DateAndTimeMacros(text, dateFormat, timeFormat, moment);
    if (text.find(L"$DATE$") == std::wstring::npos && text.find(L"$TIME$") == std::wstring::npos) {
        FUZZ_CHECK(dated == text, "'" + fuzz::Shown(text) + "' changed to '" + fuzz::Shown(dated) + "'");
    }
    FormatDate(dateFormat, moment);
    FormatTime(timeFormat, moment);

    // The whole expansion as a run does it, with the formats of the settings.
    bool anyName = false;
    for (const ParameterValue& parameter : project.m_values)
        if (!parameter.name.empty() && text.find(parameter.name) != std::wstring::npos) anyName = true;
    for (const int fileNameMode : {0, 1}) {
        const std::wstring expanded = Engine().Macros(text, project, &script, fileNameMode);
        if (!anyName && text.find(L'$') == std::wstring::npos) {
            FUZZ_CHECK(expanded == text, "'" + fuzz::Shown(text) + "' expanded to '" + fuzz::Shown(expanded) + "'");
        }
    }
    return 0;
}
