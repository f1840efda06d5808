#pragma once
// A buffered output file that remembers the first write error, so that Close can report it.

#include <string>
#include <string_view>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates path; false with ErrorText() when it cannot be opened.
    bool Open(const std::wstring& path);
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
    // Flushes, syncs and closes; false with ErrorText() when any write failed.
    bool Close();
    bool Failed() const { return !m_error.empty(); }
    const std::wstring& ErrorText() const { return m_error; }
    // Bytes written so far (buffered included).
    unsigned long long Size() const { return m_written + m_buffer.size(); }

private:
    static constexpr size_t kFlushAt = 1 << 18;
    int m_fd = -1;
    std::string m_buffer;
    std::wstring m_path;
    std::wstring m_error;
    unsigned long long m_written = 0;
};
