#pragma once
// Shared by the test suites: a throwaway folder per test, and a log and settings folder of the binary's own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TestFolder {
  public:
    TestFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tw-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TestFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::wstring File(const std::string& name) const { return (m_path / name).wstring(); }
    std::string Write(const std::string& name, const std::string& content) const {
        const std::filesystem::path file = m_path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

  private:
    std::filesystem::path m_path;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Keeps the tests' log entries and settings out of the user's home.
class IsolatedHome : public ::testing::Environment {
  public:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", (m_home.Path() / "state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_home.Path() / "config").c_str(), 1);
    }

  private:
    TestFolder m_home;
};
