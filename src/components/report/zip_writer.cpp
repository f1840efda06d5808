#include "zip_writer.h"

#include <isa-l/crc.h>

#include <ctime>
#include <system_error>

namespace {

constexpr uint32_t kLocalHeader = 0x04034b50, kDataDescriptor = 0x08074b50, kCentralHeader = 0x02014b50,
                   kEnd = 0x06054b50, kZip64End = 0x06064b50, kZip64Locator = 0x07064b50;
constexpr uint16_t kFlags = 0x0808;  // sizes in a data descriptor; UTF-8 names
constexpr uint16_t kDeflated = 8;
constexpr uint16_t kVersion = 20, kVersionZip64 = 45;
constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr size_t kBufferSize = 1 << 17;
// ISA-L's level 1: its fast level 2 compresses no better on report XML, level 3 takes three times as long.
constexpr uint32_t kLevel = 1;

}  // namespace

ZipWriter::ZipWriter(OutputFile& out) : m_out(out) {
    m_levelBuffer.resize(ISAL_DEF_LVL1_DEFAULT);
    m_buffer.resize(kBufferSize);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) && local.tm_year >= 80) {
        m_time = static_cast<uint16_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
        m_date = static_cast<uint16_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    } else {
        m_date = 1 << 5 | 1;  // 1980-01-01, the earliest the format has
    }
}

ZipWriter::~ZipWriter() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
}

void ZipWriter::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_busy || m_quit; });
        if (!m_busy) return;
        lock.unlock();
        Compress(m_piece);
        lock.lock();
        m_busy = false;
        m_idle.notify_one();
    }
}

void ZipWriter::Wait() {
    if (!m_thread.joinable()) return;
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_busy; });
}

void ZipWriter::Hand(std::string& bytes) {
    if (!m_open || bytes.empty()) return;
    Wait();
    if (!m_thread.joinable() && !m_threadFailed) {
        try {
            m_thread = std::thread(&ZipWriter::Run, this);
        } catch (const std::system_error&) {
            m_threadFailed = true;  // no thread to be had: compress here
        }
    }
    if (m_threadFailed) {
        Compress(bytes);
        bytes.clear();
        return;
    }
    m_piece.clear();
    {
        std::lock_guard lock(m_mutex);
        m_piece.swap(bytes);
        m_busy = true;
    }
    m_wake.notify_one();
}

void ZipWriter::Put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void ZipWriter::Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void ZipWriter::Put64(std::string& out, uint64_t value) {
    Put32(out, static_cast<uint32_t>(value));
    Put32(out, static_cast<uint32_t>(value >> 32));
}

void ZipWriter::Begin(std::string_view name) {
    Wait();
    if (m_open) End();
    m_member = Member{};
    m_member.name = name;
    m_member.offset = m_out.Size();
    m_member.crc = 0;
    std::string header;
    Put32(header, kLocalHeader);
    Put16(header, kVersion);
    Put16(header, kFlags);
    Put16(header, kDeflated);
    Put16(header, m_time);
    Put16(header, m_date);
    Put32(header, 0);  // CRC, compressed and uncompressed size: in the data descriptor
    Put32(header, 0);
    Put32(header, 0);
    Put16(header, static_cast<uint32_t>(name.size()));
    Put16(header, 0);
    header.append(name);
    m_out.Write(header);
    // Raw deflate (gzip_flag IGZIP_DEFLATE): no zlib or gzip wrapper, which a ZIP member does not carry.
    isal_deflate_init(&m_stream);
    m_stream.level = kLevel;
    m_stream.level_buf = reinterpret_cast<uint8_t*>(m_levelBuffer.data());
    m_stream.level_buf_size = static_cast<uint32_t>(m_levelBuffer.size());
    m_stream.gzip_flag = IGZIP_DEFLATE;
    m_stream.flush = NO_FLUSH;
    m_stream.end_of_stream = 0;
    m_open = true;
}

void ZipWriter::Deflate() {
    if (m_failed) return;
    for (;;) {
        m_stream.next_out = reinterpret_cast<uint8_t*>(m_buffer.data());
        m_stream.avail_out = static_cast<uint32_t>(m_buffer.size());
        if (isal_deflate(&m_stream) != COMP_OK) {
            m_failed = true;
            return;
        }
        const size_t produced = m_buffer.size() - m_stream.avail_out;
        m_out.Write({m_buffer.data(), produced});
        m_member.compressed += produced;
        // The compressor stops early only when its output buffer is full: go on while input is left, the
        // buffer was filled, or the end of the member was asked for and not yet written.
        const bool ended = m_stream.end_of_stream && m_stream.internal_state.state == ZSTATE_END;
        if (m_stream.avail_in == 0 && m_stream.avail_out != 0 && (!m_stream.end_of_stream || ended)) return;
    }
}

void ZipWriter::Write(std::string_view bytes) {
    if (!m_open || bytes.empty()) return;
    Wait();
    Compress(bytes);
}

void ZipWriter::Compress(std::string_view bytes) {
    if (m_out.Failed()) return;  // the file is lost already (disk full): spare the work; Close reports it
    m_member.size += bytes.size();
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    m_member.crc = crc32_gzip_refl(m_member.crc, data, bytes.size());
    // The compressor counts in 32 bits: a very large piece goes in slices.
    constexpr size_t kSlice = 1u << 30;
    while (!bytes.empty()) {
        const std::string_view slice = bytes.substr(0, kSlice);
        bytes.remove_prefix(slice.size());
        m_stream.next_in = const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>(slice.data()));
        m_stream.avail_in = static_cast<uint32_t>(slice.size());
        Deflate();
    }
    m_stream.next_in = nullptr;
    m_stream.avail_in = 0;
}

void ZipWriter::End() {
    Wait();
    if (!m_open) return;
    m_open = false;
    m_stream.end_of_stream = 1;
    Deflate();
    std::string descriptor;
    Put32(descriptor, kDataDescriptor);
    Put32(descriptor, m_member.crc);
    if (m_member.size >= kMax32 || m_member.compressed >= kMax32) {
        Put64(descriptor, m_member.compressed);
        Put64(descriptor, m_member.size);
    } else {
        Put32(descriptor, static_cast<uint32_t>(m_member.compressed));
        Put32(descriptor, static_cast<uint32_t>(m_member.size));
    }
    m_out.Write(descriptor);
    m_members.push_back(std::move(m_member));
    m_member = Member{};
}

void ZipWriter::Finish() {
    End();
    Wait();
    const uint64_t directoryStart = m_out.Size();
    std::string out;
    for (const Member& member : m_members) {
        // Fields that overflow read 0xFFFFFFFF and come, in this order, in the ZIP64 extra field.
        std::string extra;
        if (member.size >= kMax32) Put64(extra, member.size);
        if (member.compressed >= kMax32) Put64(extra, member.compressed);
        if (member.offset >= kMax32) Put64(extra, member.offset);
        const bool zip64 = !extra.empty();
        Put32(out, kCentralHeader);
        Put16(out, 3 << 8 | kVersionZip64);  // made on Unix
        Put16(out, zip64 ? kVersionZip64 : kVersion);
        Put16(out, kFlags);
        Put16(out, kDeflated);
        Put16(out, m_time);
        Put16(out, m_date);
        Put32(out, member.crc);
        Put32(out, member.compressed >= kMax32 ? kMax32 : static_cast<uint32_t>(member.compressed));
        Put32(out, member.size >= kMax32 ? kMax32 : static_cast<uint32_t>(member.size));
        Put16(out, static_cast<uint32_t>(member.name.size()));
        Put16(out, zip64 ? static_cast<uint32_t>(extra.size() + 4) : 0);
        Put16(out, 0);  // comment
        Put16(out, 0);  // disk
        Put16(out, 0);  // internal attributes
        Put32(out, 0100644u << 16);  // a regular file, rw-r--r--
        Put32(out, member.offset >= kMax32 ? kMax32 : static_cast<uint32_t>(member.offset));
        out.append(member.name);
        if (zip64) {
            Put16(out, 1);
            Put16(out, static_cast<uint32_t>(extra.size()));
            out.append(extra);
        }
        if (out.size() >= kBufferSize) {
            m_out.Write(out);
            out.clear();
        }
    }
    const uint64_t directorySize = m_out.Size() + out.size() - directoryStart;
    const uint64_t count = m_members.size();
    if (count >= 0xFFFF || directoryStart >= kMax32 || directorySize >= kMax32) {
        const uint64_t recordStart = m_out.Size() + out.size();
        Put32(out, kZip64End);
        Put64(out, 44);  // the record's size after this field
        Put16(out, 3 << 8 | kVersionZip64);
        Put16(out, kVersionZip64);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, count);
        Put64(out, count);
        Put64(out, directorySize);
        Put64(out, directoryStart);
        Put32(out, kZip64Locator);
        Put32(out, 0);
        Put64(out, recordStart);
        Put32(out, 1);
    }
    Put32(out, kEnd);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, count >= 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
    Put16(out, count >= 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
    Put32(out, directorySize >= kMax32 ? kMax32 : static_cast<uint32_t>(directorySize));
    Put32(out, directoryStart >= kMax32 ? kMax32 : static_cast<uint32_t>(directoryStart));
    Put16(out, 0);
    m_out.Write(out);
}
