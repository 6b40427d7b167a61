#pragma once

// Files held in memory, for tests and benchmarks that run many merges without touching the disk.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "ini/file/file_access.h"

namespace ombrix::test {

class MemoryFiles : public FileAccess {
 public:
  std::map<std::filesystem::path, std::string> files;

  bool readAll(const std::filesystem::path& path, std::string& bytes) override {
    const auto found = files.find(path);
    if (found == files.end()) {
      return false;
    }
    bytes = found->second;
    return true;
  }
  using FileAccess::replaceContents;
  bool replaceContents(const std::filesystem::path& path, std::string_view bytes) override {
    files[path] = std::string(bytes);
    return true;
  }
  bool copyFile(const std::filesystem::path& source, const std::filesystem::path& target) override {
    const auto found = files.find(source);
    if (found == files.end()) {
      return false;
    }
    files[target] = found->second;
    return true;
  }
};

}  // namespace ombrix::test
