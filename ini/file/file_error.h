#pragma once

// Why a step of the file layer failed: a kind the merge acts on, and the system's own code, which the
// system words for the user.

#include <chrono>
#include <functional>
#include <string>

namespace ombrix {

enum class FileErrorKind {
  None,
  NoSpace,     // the disk or the user's quota is full
  Permission,  // the system refuses the access
  InUse,       // another program holds the file (Windows: a sharing or lock violation)
  Missing,     // the file or its folder does not exist
  Other,
};

struct FileError {
  FileErrorKind kind = FileErrorKind::None;
  int code = 0;  // errno on POSIX; a Windows error code (GetLastError) on Windows
  // For a copy: the failure was in reading its source, not in writing its target.
  bool inSource = false;

  explicit operator bool() const { return kind != FileErrorKind::None; }
};

// The error the last failed system call left: errno, and on Windows the system's own code behind it.
// clearSystemError() first, so that what an earlier call left is not taken for it.
FileError lastSystemError();
void clearSystemError();
FileError fileErrorFromErrno(int code);
#ifdef _WIN32
FileError fileErrorFromWindows(unsigned long code);
#endif

// The system's words for the error, in the user's language where the system has them, without a final
// full stop or line break: "No space left on device".
std::string describeFileError(const FileError& error);

// One budget per merge for waiting on a file that another program holds open: a virus scanner or an editor
// holds a new file for a moment. A step that fails because the file is in use is tried again after a short
// wait, each wait longer than the one before, until the budget is spent; then it fails for good.
class InUseWaits {
 public:
  using Wait = std::function<void(std::chrono::milliseconds)>;
  static constexpr std::chrono::milliseconds kBudget{2000};

  InUseWaits();
  // Tests wait without sleeping.
  void setWait(Wait wait) { wait_ = std::move(wait); }
  void restart() { spent_ = std::chrono::milliseconds{0}; }

  // Runs step (returning a FileError) until it succeeds, fails for another reason or the budget is spent.
  template <typename Step>
  FileError run(Step&& step) {
    std::chrono::milliseconds pause{10};
    for (;;) {
      const FileError error = step();
      if (error.kind != FileErrorKind::InUse || spent_ >= kBudget) {
        return error;
      }
      const std::chrono::milliseconds wait = std::min(pause, kBudget - spent_);
      wait_(wait);
      spent_ += wait;
      pause *= 2;
    }
  }

 private:
  Wait wait_;
  std::chrono::milliseconds spent_{0};
};

}  // namespace ombrix
