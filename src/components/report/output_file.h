#pragma once
// A buffered output file that remembers the first write error, so that Close can report it.
//
// A report replaces its previous version only when it is complete: Open writes a regular (or new) file into a
// hidden temporary file beside it (".name.XXXXXX", mode 0600 while written) and Close renames that over the
// name after the data reached the disk. Until then the old file stays as it was; a failure or Discard removes
// the temporary file. A symbolic link keeps its link: the file it points to is replaced. A name that is not a
// regular file (/dev/stdout, a FIFO, /dev/full) is written in place.

#include <sys/types.h>

#include <atomic>
#include <string>
#include <string_view>

class OutputFile {
public:
    enum class Placement {
        Replace,  // beside the name, renamed over it at Close (the rule for reports)
        Scratch,  // straight under the name, no sync: parts in the program's own temporary folders
    };

    OutputFile() = default;
    // An unfinished file is discarded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts the file for path; false with ErrorText() when it cannot be created. A file still open is discarded.
    bool Open(const std::wstring& path, Placement placement = Placement::Replace);
    bool IsOpen() const { return m_fd >= 0; }
    void Write(std::string_view bytes) {
        if (m_buffer.size() + bytes.size() > kFlushAt) Flush();
        m_buffer.append(bytes);
    }
    void Put(char c) {
        if (m_buffer.size() >= kFlushAt) Flush();
        m_buffer.push_back(c);
    }
    // The buffer itself, for writers that encode straight into it; call MaybeFlush after appending.
    std::string& Buffer() { return m_buffer; }
    void MaybeFlush() {
        if (m_buffer.size() >= kFlushAt) Flush();
    }
    // Writes out what is buffered.
    void Flush();
    // Overwrites bytes already written at offset (a value known only at the end); false with ErrorText().
    bool WriteAt(unsigned long long offset, std::string_view bytes);
    // Flushes, syncs, closes and puts the file under its name; false with ErrorText() when any step failed,
    // and then the file under the name is left as it was (in-place output excepted).
    bool Close();
    // Ends the file without finishing it: the temporary file is removed, the name keeps its old file.
    void Discard();
    bool Failed() const { return !m_error.empty(); }
    // Failed(), readable from another thread than the one writing: a run asks it to end early.
    bool WriteFailed() const { return m_writeFailed.load(std::memory_order_relaxed); }
    const std::wstring& ErrorText() const { return m_error; }
    // Bytes written so far (buffered included).
    unsigned long long Size() const { return m_written + m_buffer.size(); }
    // The temporary file being written (empty when writing in place); tests look at it.
    const std::string& TemporaryPath() const { return m_temporary; }

private:
    bool OpenInPlace(const std::string& path);
    bool OpenBeside(const std::string& target);
    void SetError(const wchar_t* what, int error);

    static constexpr size_t kFlushAt = 1 << 18;
    int m_fd = -1;
    std::string m_buffer;
    std::wstring m_path;       // the name as given, for messages
    std::string m_target;      // the file that Close replaces (links followed)
    std::string m_temporary;   // the file being written beside it; empty when writing in place
    mode_t m_mode = 0;         // the finished file's permissions
    uid_t m_owner = 0;
    gid_t m_group = 0;
    bool m_keepOwner = false;  // the replaced file's owner and group are given to the new one
    bool m_sync = false;
    std::wstring m_error;
    std::atomic<bool> m_writeFailed{false};
    unsigned long long m_written = 0;
};
