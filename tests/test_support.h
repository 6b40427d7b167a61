#pragma once

// What every test file starts from: GoogleTest, visible line ends, throwaway folders, and the names the
// tests use most, brought into the project's namespace.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ombrix::test {

// Writes CR LF text with visible line ends: every "|" stands for CR LF, so "[A]|k=1||" is a section
// followed by its empty line.
inline std::string crlf(std::string_view visible) {
  std::string text;
  for (const char& c : visible) {
    text += c == '|' ? std::string_view("\r\n") : std::string_view(&c, 1);
  }
  return text;
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    path_ =
        std::filesystem::temp_directory_path() / ("ombrix-test-" + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  // Creates a file holding bytes and returns its path.
  std::filesystem::path file(std::string_view name, std::string_view bytes) const {
    const std::filesystem::path file = path_ / name;
    writeFile(file, bytes);
    return file;
  }

 private:
  std::filesystem::path path_;
};

// How many entries a folder holds, so a test can see that no temporary file was left behind.
inline std::size_t countEntries(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// A stream buffer that hands out its bytes and then fails like a broken device instead of reporting the
// end of the stream.
struct FailingStreamBuffer : std::stringbuf {
  using std::stringbuf::stringbuf;
  int_type underflow() override { throw std::runtime_error("device error"); }
};

}  // namespace ombrix::test

namespace ombrix {
namespace fs = std::filesystem;
using test::crlf;
using test::readFile;
using test::TempDir;
using testing::ElementsAre;
using testing::EndsWith;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;
}  // namespace ombrix
