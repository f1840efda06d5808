// The parameters file and its replacement into a script: arbitrary bytes are read as the program reads a
// parameters file (line by line, UTF-8 or Windows-1252, a byte-order mark, CR LF), and the values replace their
// names in an arbitrary script. Every value read comes from a parameter line of the file; a script that holds
// none of the names stays as it is; a value holding its own name cannot make the replacement loop.
//
// Input: the parameters file, then (after 0xFF) the script.

#include <string>

#include "ctw_doc.h"
#include "fuzz_files.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Scratch::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string_view file = input.Bytes();
    const std::wstring script = input.Text();

    CtwDoc project;
    project.Values = tw::FromPath(fuzz::Scratch::Get().Write("values.txt", file));
    project.LoadValues();
    bool anyName = false;
    for (const ParameterValue& parameter : project.m_values) {
        ParameterValue again;
        const std::wstring line = parameter.name.empty() ? parameter.value : parameter.name + L"=" + parameter.value;
        FUZZ_CHECK(line.starts_with(L"?") && ParseParameterLine(line, again),
                   "a parameter read from no parameter line: '" + fuzz::Shown(line) + "'");
        if (!parameter.name.empty() && script.find(parameter.name) != std::wstring::npos) anyName = true;
    }
    const std::wstring replaced = ReplaceParameterValues(script, project.m_values);
    if (!anyName) {
        FUZZ_CHECK(replaced == script, "script '" + fuzz::Shown(script) + "' changed without any name in it");
    }
    project.Text = script;
    std::wstring error;
    project.ReadScript(error);
    FUZZ_CHECK(error.empty(), "the script text failed: " + fuzz::Shown(error));
    return 0;
}
