#pragma once

// One merge at a time into a file: a lock held for a merge's whole duration, keyed by the file's resolved
// path and kept outside its folder (POSIX: flock on a file in the user's runtime folder; Windows: a named
// mutex), so that nothing appears beside the list and the lock outlives the rename that replaces it.

#include <chrono>
#include <filesystem>
#include <memory>

namespace ombrix {

class OutputLock {
 public:
  // Waits up to wait for the lock of file; an empty pointer when another merge still holds it then.
  static std::unique_ptr<OutputLock> acquire(const std::filesystem::path& file,
                                             std::chrono::milliseconds wait);
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

 private:
  OutputLock() = default;
#ifdef _WIN32
  void* mutex_ = nullptr;
#else
  int descriptor_ = -1;
#endif
};

}  // namespace ombrix
