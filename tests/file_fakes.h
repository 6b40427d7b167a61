#pragma once

// Stand-ins for the file layer: files held in memory, for tests and benchmarks that run many merges
// without touching the disk, and failures of the real disk's steps, planned by a test.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "ini/file/file_access.h"
#include "ini/file/file_faults.h"

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

// The disk layer asks before each step whether it fails.
class PlannedFaults final : public FileFaults {
 public:
  PlannedFaults() = default;
  // Calls first .. first + count - 1 of the step fail (counting from 1), for the reason given.
  PlannedFaults(FileStep step, int first, int count, FileErrorKind why = FileErrorKind::Other) {
    plan(step, first, count, why);
  }
  PlannedFaults& plan(FileStep step, int first, int count, FileErrorKind why = FileErrorKind::Other) {
    plans_[step] = {first, count};
    why_[step] = why;
    return *this;
  }
  FileError errorOf(FileStep step) override { return {why_[step], 5}; }

  bool fails(FileStep step) override {
    const int call = ++calls_[step];
    const auto planned = plans_.find(step);
    return planned != plans_.end() && call >= planned->second.first &&
           call < planned->second.first + planned->second.second;
  }
  int calls(FileStep step) { return calls_[step]; }

 private:
  std::map<FileStep, std::pair<int, int>> plans_;
  std::map<FileStep, FileErrorKind> why_;
  std::map<FileStep, int> calls_;
};

}  // namespace ombrix::test
