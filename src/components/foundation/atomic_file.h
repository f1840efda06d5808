#pragma once
// Whole-file reads and crash-safe replacement of a file.

#include <filesystem>
#include <string>
#include <string_view>

namespace tw {

enum class ReadResult { Ok, Missing, Unreadable };

// Reads the whole file into bytes; error says why when the result is not Ok.
ReadResult ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::wstring& error);

// Writes content to a temporary file in target's folder, flushes it to disk and renames it over target
// (through a symbolic link to the file it names). On failure the temporary file is removed, target is
// unchanged and error says what happened.
bool ReplaceFile(const std::filesystem::path& target, std::string_view content, std::wstring& error);

}  // namespace tw
