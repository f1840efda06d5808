#pragma once
// Reading a whole text file whatever its encoding.

#include <string>

namespace JSON {

// The file's text: UTF-8 with or without BOM, UTF-16 LE/BE with BOM; bytes that are not valid UTF-8 read as
// Windows-1252. Empty when the file cannot be read.
std::wstring LoadFile(const std::wstring& path, int);
// Same, telling whether the file could be read.
bool LoadFile(const std::wstring& path, std::wstring& text);

}  // namespace JSON
