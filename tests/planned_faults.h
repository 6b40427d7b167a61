#pragma once

// Failures of the real file system's steps, planned by a test: the disk layer asks before each step.

#include <map>
#include <utility>

#include "ini/file/file_access.h"
#include "ini/file/file_faults.h"

namespace ombrix::test {

class PlannedFaults final : public FileFaults {
 public:
  PlannedFaults() = default;
  // Calls first .. first + count - 1 of the step fail (counting from 1).
  PlannedFaults(FileStep step, int first, int count) { plan(step, first, count); }
  PlannedFaults& plan(FileStep step, int first, int count) {
    plans_[step] = {first, count};
    return *this;
  }

  bool fails(FileStep step) override {
    const int call = ++calls_[step];
    const auto planned = plans_.find(step);
    return planned != plans_.end() && call >= planned->second.first &&
           call < planned->second.first + planned->second.second;
  }
  int calls(FileStep step) { return calls_[step]; }

 private:
  std::map<FileStep, std::pair<int, int>> plans_;
  std::map<FileStep, int> calls_;
};

}  // namespace ombrix::test
