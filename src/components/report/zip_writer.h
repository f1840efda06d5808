#pragma once
// A ZIP archive written front to back, as the Office Open XML formats package their parts.
//   - Members are deflated as they come (raw deflate with ISA-L's igzip at its fastest level, which compresses
//     three to four times faster than zlib's fastest and a little smaller): a member of any size takes the
//     memory of the compressor's window and one output buffer. Hand() compresses on a thread of its own while
//     the caller makes the next piece, so that writing the content and compressing it take the time of the
//     slower one.
//   - Nothing is ever overwritten, so the archive can go to a pipe: each local header leaves CRC and sizes at
//     zero and a data descriptor after the data carries them (general purpose flag bit 3); names are UTF-8
//     (bit 11).
//   - ZIP64 where the classic fields overflow: a member of 4 GiB or more (a data descriptor with 64-bit sizes and
//     a ZIP64 field in its central directory entry), an offset beyond 4 GiB, more than 65,534 members. An archive
//     within the classic limits has no ZIP64 record at all, which every reader takes. A member's local header
//     is written before its size is known, so it never carries a ZIP64 field: readers take sizes from the
//     central directory.

#include <isa-l/igzip_lib.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "output_file.h"

class ZipWriter {
public:
    // Members go to out, from its current size on.
    explicit ZipWriter(OutputFile& out);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Starts a member; a member still open is ended first.
    void Begin(std::string_view name);
    // Appends to the open member.
    void Write(std::string_view bytes);
    // Appends bytes to the open member, compressed on the compressor thread; bytes comes back empty, with the
    // buffer of the piece handed before, so that its capacity is reused. The output file is the compressor's
    // until the next call of this class.
    void Hand(std::string& bytes);
    // Ends the open member with its data descriptor.
    void End();
    // A whole member.
    void Add(std::string_view name, std::string_view bytes) {
        Begin(name);
        Write(bytes);
        End();
    }
    // Ends the open member and writes the central directory; nothing may follow.
    void Finish();
    // Set when the compressor failed (it cannot, short of a bug); the output file keeps its own errors.
    bool Failed() const { return m_failed; }

private:
    struct Member {
        std::string name;
        uint32_t crc = 0;
        uint64_t compressed = 0, size = 0, offset = 0;
    };
    // Runs the compressor over what m_stream holds (the end of the member too when m_stream says so).
    void Deflate();
    void Compress(std::string_view bytes);
    // Until the compressor thread holds no piece.
    void Wait();
    void Run();
    void Put16(std::string& out, uint32_t value);
    void Put32(std::string& out, uint32_t value);
    void Put64(std::string& out, uint64_t value);

    OutputFile& m_out;
    isal_zstream m_stream{};
    std::string m_levelBuffer;      // the compressor's working memory for its level
    bool m_open = false, m_failed = false;
    Member m_member;
    std::vector<Member> m_members;
    std::string m_buffer;           // deflate's output before it goes to the file
    // The compressor thread, started by the first Hand, and the piece it works on.
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::string m_piece;
    bool m_busy = false, m_quit = false, m_threadFailed = false;
    uint16_t m_time = 0, m_date = 0;  // MS-DOS time and date of every member: when the archive began
};
