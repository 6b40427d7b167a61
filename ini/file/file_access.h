#pragma once

// The file operations that the store and the merge command use, behind one interface so that tests and
// benchmarks can keep the files in memory; the disk asks a FileFaults (file_faults.h) before each step, so
// that tests can make any step fail.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "ini/memory/text_arena.h"
#include "ini/file/file_error.h"

namespace ombrix {

class FileAccess {
 public:
  virtual ~FileAccess() = default;

  // Reads the whole file into bytes. False when it cannot be opened, sized or read.
  virtual bool readAll(const std::filesystem::path& path, std::string& bytes) = 0;
  // The same into a block with room for `room` more bytes. The default reads through readAll above and
  // copies; the disk reads into the block directly.
  virtual bool readAllIntoBlock(const std::filesystem::path& path, TextBlock& bytes, std::size_t room);

  // Makes the file hold exactly bytes. The file is never truncated before the new bytes are safely
  // written: they go to a temporary file in the same folder, which then replaces the file. On failure
  // the file is as it was.
  virtual bool replaceContents(const std::filesystem::path& path, std::string_view bytes) = 0;

  // The same for bytes that produce calls emit with, piece by piece in order, so that a large text need not
  // be joined first. produce may be called more than once (a failed write is tried again).
  using PieceSink = std::function<void(std::string_view piece)>;
  using PieceSource = std::function<void(const PieceSink& emit)>;
  virtual bool replaceContents(const std::filesystem::path& path, const PieceSource& produce);
  // The same for a file that may not exist yet and then takes the permissions of modeOf (the list it is made
  // from); an existing file keeps its own.
  virtual bool replaceContentsLike(const std::filesystem::path& path, const PieceSource& produce,
                                   const std::filesystem::path& modeOf) {
    (void)modeOf;
    return replaceContents(path, produce);
  }

  // Whether every replace and copy is on the disk before it returns (the default). A series of replaces of
  // one file may leave that to one flush() at its end.
  virtual void setFlushEachWrite(bool flush) { (void)flush; }
  virtual bool flush(const std::filesystem::path& path) {
    (void)path;
    return true;
  }

  // Makes target a byte-for-byte copy of source, replacing any file there, with the same guarantee.
  virtual bool copyFile(const std::filesystem::path& source, const std::filesystem::path& target) = 0;

  // Puts source in target's place in one step (a rename), on the disk before it returns; on failure source
  // is removed and target is as it was. Where the files are not the disk's: a copy.
  virtual bool moveFile(const std::filesystem::path& source, const std::filesystem::path& target) {
    return copyFile(source, target);
  }
  // Opens a file to be read as a stream (the new keys, which are read line by line).
  virtual bool openStream(const std::filesystem::path& path, std::ifstream& in) {
    in.open(path, std::ios::binary);
    return static_cast<bool>(in);
  }

  // Why the last call that returned false failed; a kind without a system code where the files are not the
  // disk's.
  virtual FileError lastError() const { return {FileErrorKind::Other, 0}; }
  // A merge begins: the time it may wait for files that another program holds starts anew.
  virtual void startMerge() {}
};

enum class FileStep;
class FileFaults;  // ini/file/file_faults.h: where tests make steps of the disk fail

// The real file system.
class DiskFileAccess final : public FileAccess {
 public:
  explicit DiskFileAccess(FileFaults* faults = nullptr) : faults_(faults) {}

  bool readAll(const std::filesystem::path& path, std::string& bytes) override;
  bool readAllIntoBlock(const std::filesystem::path& path, TextBlock& bytes, std::size_t room) override;
  bool replaceContents(const std::filesystem::path& path, std::string_view bytes) override;
  bool replaceContents(const std::filesystem::path& path, const PieceSource& produce) override;
  bool replaceContentsLike(const std::filesystem::path& path, const PieceSource& produce,
                           const std::filesystem::path& modeOf) override;
  bool copyFile(const std::filesystem::path& source, const std::filesystem::path& target) override;
  bool moveFile(const std::filesystem::path& source, const std::filesystem::path& target) override;
  void setFlushEachWrite(bool flush) override { flushEachWrite_ = flush; }
  bool flush(const std::filesystem::path& path) override;
  bool openStream(const std::filesystem::path& path, std::ifstream& in) override;
  FileError lastError() const override { return lastError_; }
  void startMerge() override { inUse_.restart(); }
  // Tests wait for a held file without sleeping.
  void setInUseWait(InUseWaits::Wait wait) { inUse_.setWait(std::move(wait)); }

 private:
  // A step fails as planned by the faults, else as the system says; the error is kept for lastError().
  bool fails(FileStep step);
  bool failed(FileError error);
  bool failedAsTheSystemSays();
  // Runs a whole operation again while another program holds its file, within the merge's budget.
  template <typename Operation>
  bool whileInUse(Operation&& operation);
  // Makes path a new file of the pieces; a file it made and could not finish it removes, one it found there
  // it leaves alone.
  bool writeWhole(const std::filesystem::path& path, const PieceSource& produce, std::filesystem::perms mode);
  bool moveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target);
  bool openForReading(const std::filesystem::path& path, std::ifstream& in, std::size_t& size);

  FileFaults* faults_;
  bool flushEachWrite_ = true;
  FileError lastError_;
  InUseWaits inUse_;
};

// One shared instance for callers that do not bring their own.
FileAccess& diskFileAccess();

}  // namespace ombrix
