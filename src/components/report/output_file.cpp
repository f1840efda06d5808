#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "text.h"

OutputFile::~OutputFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool OutputFile::Open(const std::wstring& path) {
    if (m_fd >= 0) ::close(m_fd);
    m_path = path;
    m_error.clear();
    m_buffer.clear();
    m_buffer.reserve(kFlushAt + 4096);
    m_written = 0;
    m_fd = ::open(tw::WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        m_error = L"Could not create the file '" + path + L"': " + tw::Utf8ToWide(std::strerror(errno));
        return false;
    }
    return true;
}

void OutputFile::Flush() {
    if (m_fd < 0 || !m_error.empty()) {
        m_buffer.clear();
        return;
    }
    const char* data = m_buffer.data();
    size_t left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_error = L"Could not write the file '" + m_path + L"': " + tw::Utf8ToWide(std::strerror(errno));
            break;
        }
        data += n;
        left -= static_cast<size_t>(n);
        m_written += static_cast<unsigned long long>(n);
    }
    m_buffer.clear();
}

bool OutputFile::Close() {
    if (m_fd < 0) return m_error.empty();
    Flush();
    if (::close(m_fd) != 0 && m_error.empty())
        m_error = L"Could not finish the file '" + m_path + L"': " + tw::Utf8ToWide(std::strerror(errno));
    m_fd = -1;
    return m_error.empty();
}
