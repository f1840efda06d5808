#pragma once
// A report never overwrites a file that its own run reads: the project file, the script file, the parameters
// file or the SQLite database.

#include <string>
#include <vector>

class CtwDoc;

// A file that a run reads, and what it is to the project ("database").
struct RunInput {
    std::wstring path;
    std::wstring what;
};

// The files a run of project reads, taken when the run is prepared (the project may change while it runs).
std::vector<RunInput> RunInputsOf(const CtwDoc& project);

// The reason why a run reading inputs must not write reportPath ("The report file is the same file as the
// database of the project."), or empty when it may. The same file is the same device and inode, or, for a file
// that does not exist (yet), the same path once links and relative parts are resolved.
std::wstring ReportTargetClash(const std::vector<RunInput>& inputs, const std::wstring& reportPath);
inline std::wstring ReportTargetClash(const CtwDoc& project, const std::wstring& reportPath) {
    return ReportTargetClash(RunInputsOf(project), reportPath);
}

// The file a SQLite connection string opens: a path (relative to baseFolder) or a file: URI (relative to the
// current folder, as SQLite takes it); empty for an in-memory or temporary database.
std::wstring SqliteDatabaseFile(const std::wstring& connection, const std::wstring& baseFolder);
