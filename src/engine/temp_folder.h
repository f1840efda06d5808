#pragma once
// Private folders under the temporary folder: made with mkdtemp (mode 0700, a name nobody can guess in
// advance), removed with their contents when the owner goes away.

#include <string>

// $TMPDIR when it names a folder, otherwise /tmp; no trailing slash.
std::string TemporaryDirectory();

class PrivateTempFolder {
public:
    PrivateTempFolder() = default;
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;
    PrivateTempFolder(PrivateTempFolder&& other) noexcept;
    PrivateTempFolder& operator=(PrivateTempFolder&& other) noexcept;

    // Makes a new folder named prefix and six random characters; false (errno kept) when it cannot.
    // A folder made before is removed first.
    bool Make(const char* prefix);
    // Makes the folder again when it is missing (a cleaner removed it); false when there is none.
    bool EnsureExists(const char* prefix);
    // The folder's path without a trailing slash; empty when none was made.
    const std::string& Path() const { return m_path; }
    // Removes the folder and everything in it.
    void Remove() noexcept;

private:
    std::string m_path;
};
