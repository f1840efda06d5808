#pragma once
// A private folder for the harnesses that go through files (project files, parameters files, text files,
// reports), made once per process and removed at its end. The program's log is sent there too, so fuzzing
// leaves the user's own log alone.

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "host.h"

namespace fuzz {

// A host that shows nothing: converters and the engine report through message boxes, once per run.
class QuietHost : public IHost {
  public:
    void MessageBox(std::wstring_view, std::wstring_view, MessageIcon) override {}
    void OpenFile(const std::wstring&) override {}
};

class Scratch {
  public:
    static Scratch& Get() {
        static Scratch scratch;
        return scratch;
    }
    const std::filesystem::path& Folder() const { return m_folder; }
    std::filesystem::path File(std::string_view name) const { return m_folder / name; }

    // Writes bytes to the file name in the folder (replacing it) and returns its path.
    std::filesystem::path Write(std::string_view name, std::string_view bytes) const {
        const std::filesystem::path path = File(name);
        // A new file each time: ext4 flushes a file that is truncated and written again when it is closed,
        // which would cost milliseconds an execution.
        std::error_code error;
        std::filesystem::remove(path, error);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

  private:
    Scratch() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tw-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_folder = pattern;
        setenv("XDG_STATE_HOME", (m_folder / "state").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        SetHost(&m_host);
    }
    ~Scratch() {
        SetHost(nullptr);
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }

    std::filesystem::path m_folder;
    QuietHost m_host;
};

}  // namespace fuzz
