#include "ini/file/file_access.h"

#include <atomic>
#include <cerrno>
#include <fstream>
#include <limits>
#include <random>
#include <system_error>
#include <vector>

#include "ini/memory/text_arena.h"
#include "ini/file/file_checks.h"
#include "ini/file/file_faults.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ombrix {
namespace fs = std::filesystem;

namespace {

// A symbolic link is written through, so the link stays a link and the file it names gets the bytes.
// In the target's folder, so that the rename stays on one file system; unique per process and per call, so
// two merges into one folder never share a temporary file. The name does not grow with the target's, which
// may already be as long as a name can be.
fs::path temporaryBeside(const fs::path& target) {
  static const unsigned processTag = std::random_device{}();
  static std::atomic<unsigned> counter{0};
  return target.parent_path() /
         (".ombrix-" + std::to_string(processTag) + "-" + std::to_string(counter++) + ".tmp");
}

constexpr fs::perms kDefaultMode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                   fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;

// The permissions a new file takes: those of the file it replaces, so a merge does not widen or narrow
// access; else those of the file it is made from; else the system's default for new files.
fs::perms permissionsFor(const fs::path& target, const fs::path& modeOf = {}) {
  for (const fs::path* from : {&target, &modeOf}) {
    std::error_code error;
    const fs::file_status status = from->empty() ? fs::file_status() : fs::status(*from, error);
    if (!error && fs::exists(status)) {
      return status.permissions() & fs::perms::mask;
    }
  }
  return kDefaultMode;
}

// A file opened for writing by its descriptor: made new (never an existing file, nor through a link) under
// the mode it will keep, flushed to the disk on request.
class NewFile {
 public:
  NewFile(const fs::path& path, fs::perms mode) {
#ifdef _WIN32
    const bool readOnly = (mode & fs::perms::owner_write) == fs::perms::none;
    descriptor_ = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                         readOnly ? _S_IREAD : _S_IREAD | _S_IWRITE);
#else
    const auto bits = static_cast<mode_t>(mode);
    descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, bits);
    // The system's mask of new files would narrow a mode the replaced file has.
    if (descriptor_ >= 0 && ::fchmod(descriptor_, bits) != 0) {
      close();
    }
#endif
  }
  ~NewFile() {
    close();
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  bool isOpen() const {
    return descriptor_ >= 0;
  }

  bool write(const char* data, std::size_t size) {
    while (size > 0) {
      const std::size_t piece = std::min<std::size_t>(size, std::size_t{1} << 30);
#ifdef _WIN32
      const int written = _write(descriptor_, data, static_cast<unsigned>(piece));
#else
      const ssize_t written = ::write(descriptor_, data, piece);
      if (written < 0 && errno == EINTR) {
        continue;
      }
#endif
      if (written <= 0) {
        return false;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  bool flushToDisk() {
#ifdef _WIN32
    return _commit(descriptor_) == 0;
#else
    return ::fsync(descriptor_) == 0;
#endif
  }

  bool close() {
    if (descriptor_ < 0) {
      return true;
    }
#ifdef _WIN32
    const bool closed = _close(descriptor_) == 0;
#else
    const bool closed = ::close(descriptor_) == 0;
#endif
    descriptor_ = -1;
    return closed;
  }

 private:
  int descriptor_ = -1;
};

// A rename is on the disk once the folder that holds the name is. Windows writes the rename through.
bool flushFolderOf(const fs::path& file) {
#ifdef _WIN32
  (void)file;
  return true;
#else
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  const bool flushed = ::fsync(descriptor) == 0;
  ::close(descriptor);
  return flushed;
#endif
}

#ifdef _WIN32
// Windows refuses to replace a file that another program holds open as it refuses one the user may not
// change; the file's own sharing tells the two apart.
bool heldByAnotherProgram(const fs::path& file) {
  HANDLE handle = CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_SHARING_VIOLATION;
  }
  CloseHandle(handle);
  return false;
}
#endif

// Replaces target by temporary in one step.
bool renameOver(const fs::path& temporary, const fs::path& target) {
#ifdef _WIN32
  if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  const DWORD code = GetLastError();
  SetLastError(code == ERROR_ACCESS_DENIED && heldByAnotherProgram(target) ? ERROR_SHARING_VIOLATION : code);
  return false;
#else
  std::error_code error;
  fs::rename(temporary, target, error);
  return !error;
#endif
}

}  // namespace

// Gathers the pieces in a large buffer of its own, so that a list of many small pieces becomes a few large
// writes without the cost of a call per piece.
bool DiskFileAccess::writeWhole(const fs::path& path, const PieceSource& produce, fs::perms mode) {
  if (fails(FileStep::Open)) {
    return false;
  }
  NewFile out(path, mode);
  if (!out.isOpen()) {
    return failedAsTheSystemSays();
  }
  bool broken = false;
  // Writes of a quarter megabyte let the system take the bytes in large pieces of its file cache: a 7 MB
  // list is written over a millisecond faster than in 64 KB writes.
  constexpr std::size_t kBufferSize = std::size_t{256} << 10;
  std::vector<char> buffer;
  buffer.reserve(kBufferSize);
  auto write = [&](const char* data, std::size_t size) {
    if (!broken && fails(FileStep::Write)) {
      out.write(data, size / 2);  // a disk that filled up
      broken = true;
    }
    if (!broken && !out.write(data, size)) {
      broken = !failedAsTheSystemSays();
    }
  };
  auto drain = [&] {
    write(buffer.data(), buffer.size());
    buffer.clear();
  };
  produce([&](std::string_view piece) {
    if (buffer.size() + piece.size() > kBufferSize) {
      drain();
    }
    if (piece.size() > kBufferSize) {
      write(piece.data(), piece.size());
    } else {
      buffer.insert(buffer.end(), piece.begin(), piece.end());
    }
  });
  drain();
  // The bytes are on the disk before the file can replace the list, so a power cut leaves one or the other.
  if (!broken && flushEachWrite_) {
    broken = fails(FileStep::Flush) || (!out.flushToDisk() && !failedAsTheSystemSays());
  }
  if (!out.close() && !broken) {
    broken = !failedAsTheSystemSays();
  }
  if (broken) {
    std::error_code error;
    fs::remove(path, error);
  }
  return !broken;
}

bool DiskFileAccess::moveIntoPlace(const fs::path& temporary, const fs::path& target) {
  if (fails(FileStep::Rename) || (!renameOver(temporary, target) && !failedAsTheSystemSays())) {
    std::error_code error;
    fs::remove(temporary, error);
    return false;
  }
  return !flushEachWrite_ || flushFolderOf(target) || failedAsTheSystemSays();
}

bool DiskFileAccess::flush(const fs::path& path) {
  return whileInUse([&] {
    if (fails(FileStep::Flush)) {
      return false;
    }
    const fs::path target = writtenFile(path);
#ifdef _WIN32
    const int descriptor = _wopen(target.c_str(), _O_RDWR | _O_BINARY);
    const bool flushed = descriptor >= 0 && _commit(descriptor) == 0;
    if (!flushed) {
      failedAsTheSystemSays();
    }
    if (descriptor >= 0) {
      _close(descriptor);
    }
    return flushed;
#else
    const int descriptor = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flushed = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (!flushed) {
      failedAsTheSystemSays();
    }
    if (descriptor >= 0) {
      ::close(descriptor);
    }
    return flushed && (flushFolderOf(target) || failedAsTheSystemSays());
#endif
  });
}

bool FileAccess::replaceContents(const fs::path& path, const PieceSource& produce) {
  std::string joined;
  produce([&joined](std::string_view piece) { joined.append(piece); });
  return replaceContents(path, std::string_view(joined));
}

bool FileAccess::readAllIntoBlock(const fs::path& path, TextBlock& bytes, std::size_t room) {
  std::string text;
  if (!readAll(path, text)) {
    return false;
  }
  bytes = TextBlock(text.size() + room);
  bytes.append(text);
  return true;
}

// Opens the file and learns its size; the caller reads size bytes from in.
bool DiskFileAccess::openForReading(const fs::path& path, std::ifstream& in, std::size_t& size) {
  if (fails(FileStep::Open)) {
    return false;
  }
  clearSystemError();
  in.open(path, std::ios::binary);
  if (!in) {
    return failedAsTheSystemSays();
  }
  std::error_code error;
  const std::uintmax_t fileSize = fs::file_size(path, error);
  if (error) {
    return failedAsTheSystemSays();
  }
  if (fileSize > std::numeric_limits<std::size_t>::max() - 16) {
    return failed(fileErrorFromErrno(EFBIG));
  }
  size = static_cast<std::size_t>(fileSize);
  return true;
}

bool DiskFileAccess::openStream(const fs::path& path, std::ifstream& in) {
  return whileInUse([&] {
    if (fails(FileStep::Open)) {
      return false;
    }
    clearSystemError();
    in.open(path, std::ios::binary);
    return in ? true : failedAsTheSystemSays();
  });
}

bool DiskFileAccess::readAll(const fs::path& path, std::string& bytes) {
  return whileInUse([&] {
    std::ifstream in;
    std::size_t size = 0;
    if (!openForReading(path, in, size)) {
      return false;
    }
    // Room for the line break the load step may add, so the text is never copied to grow by two bytes.
    bytes.clear();
    bytes.reserve(size + 2);
    bytes.resize(size);
    if (fails(FileStep::Read)) {
      return false;
    }
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(in.gcount()) == size || failed(fileErrorFromErrno(EIO));
  });
}

bool DiskFileAccess::readAllIntoBlock(const fs::path& path, TextBlock& bytes, std::size_t room) {
  return whileInUse([&] {
    std::ifstream in;
    std::size_t size = 0;
    if (!openForReading(path, in, size)) {
      return false;
    }
    bytes = TextBlock(size + room);
    if (fails(FileStep::Read)) {
      return false;
    }
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::size_t>(in.gcount()) != size) {
      return failed(fileErrorFromErrno(EIO));
    }
    bytes.resize(size);
    return true;
  });
}

bool DiskFileAccess::replaceContents(const fs::path& path, std::string_view bytes) {
  return replaceContents(path, [bytes](const PieceSink& emit) { emit(bytes); });
}

bool DiskFileAccess::replaceContents(const fs::path& path, const PieceSource& produce) {
  return replaceContentsLike(path, produce, {});
}

bool DiskFileAccess::replaceContentsLike(const fs::path& path, const PieceSource& produce,
                                         const fs::path& modeOf) {
  return whileInUse([&] {
    const fs::path target = writtenFile(path);
    const fs::path temporary = temporaryBeside(target);
    return writeWhole(temporary, produce, permissionsFor(target, modeOf)) && moveIntoPlace(temporary, target);
  });
}

// The copy is written as a replace is, so it has the same mode, flush and guarantee: the source is read in
// pieces and never held whole. A failure to read the source is told apart from one to write the copy.
bool DiskFileAccess::copyFile(const fs::path& source, const fs::path& target) {
  return whileInUse([&] {
    const fs::path resolved = writtenFile(target);
    const fs::path temporary = temporaryBeside(resolved);
    clearSystemError();
    std::ifstream in(source, std::ios::binary);
    if (!in) {
      FileError error = lastSystemError();
      error.inSource = true;
      return failed(error);
    }
    bool readFailed = false;
    const bool written = writeWhole(
        temporary,
        [&](const PieceSink& emit) {
          std::vector<char> piece(std::size_t{1} << 20);
          in.clear();
          in.seekg(0);
          while (in) {
            in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
            emit({piece.data(), static_cast<std::size_t>(in.gcount())});
          }
          readFailed = in.bad();
        },
        permissionsFor(resolved, source));
    if (readFailed) {
      std::error_code error;
      fs::remove(temporary, error);
      FileError failure = fileErrorFromErrno(EIO);
      failure.inSource = true;
      return failed(failure);
    }
    if (!written) {
      return false;
    }
    return moveIntoPlace(temporary, resolved);
  });
}

bool DiskFileAccess::moveFile(const fs::path& source, const fs::path& target) {
  return whileInUse([&] { return moveIntoPlace(source, writtenFile(target)); });
}

bool DiskFileAccess::fails(FileStep step) {
  if (faults_ == nullptr || !faults_->fails(step)) {
    return false;
  }
  lastError_ = faults_->errorOf(step);
  return true;
}

bool DiskFileAccess::failed(FileError error) {
  lastError_ = error;
  return false;
}

bool DiskFileAccess::failedAsTheSystemSays() {
  return failed(lastSystemError());
}

template <typename Operation>
bool DiskFileAccess::whileInUse(Operation&& operation) {
  bool done = false;
  inUse_.run([&] {
    done = operation();
    return done ? FileError{} : lastError_;
  });
  return done;
}

FileAccess& diskFileAccess() {
  static DiskFileAccess instance;
  return instance;
}

}  // namespace ombrix
