#pragma once

// The seam through which tests make chosen steps of the real file system fail.

#include <cerrno>

#include "ini/file/file_error.h"

namespace ombrix {

// The steps of the file system that can fail.
enum class FileStep { Open, Read, Write, Flush, Rename };

class FileFaults {
 public:
  virtual ~FileFaults() = default;
  // Asked before each step; true makes the step fail as the system would (a write may have written part).
  virtual bool fails(FileStep step) = 0;
  // Why the step that fails failed.
  virtual FileError errorOf(FileStep /*step*/) { return fileErrorFromErrno(EIO); }
};

}  // namespace ombrix
