#include "ini/file_access.h"

#include <atomic>
#include <fstream>
#include <limits>
#include <random>
#include <system_error>
#include <vector>

#include "ini/text_arena.h"

namespace ombrix {
namespace fs = std::filesystem;

namespace {

// A symbolic link is written through, so the link stays a link and the file it names gets the bytes.
fs::path resolvedTarget(const fs::path& path) {
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) {
    fs::path real = fs::canonical(path, error);
    if (!error) {
      return real;
    }
  }
  return path;
}

// In the target's folder, so that the rename stays on one file system; unique per process and per call, so
// two merges into one folder never share a temporary file. The name does not grow with the target's, which
// may already be as long as a name can be.
fs::path temporaryBeside(const fs::path& target) {
  static const unsigned processTag = std::random_device{}();
  static std::atomic<unsigned> counter{0};
  return target.parent_path() /
         (".ombrix-" + std::to_string(processTag) + "-" + std::to_string(counter++) + ".tmp");
}

// Gives the new file the permissions of the one it replaces, so a merge does not widen or narrow access.
void keepPermissions(const fs::path& from, const fs::path& to) {
  std::error_code error;
  const fs::file_status status = fs::status(from, error);
  if (!error && fs::exists(status)) {
    fs::permissions(to, status.permissions(), error);
  }
}

// Opens the file and learns its size; the caller reads size bytes from in.
bool openForReading(const fs::path& path, std::ifstream& in, std::size_t& size) {
  in.open(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::error_code error;
  const std::uintmax_t fileSize = fs::file_size(path, error);
  if (error || fileSize > std::numeric_limits<std::size_t>::max() - 16) {
    return false;
  }
  size = static_cast<std::size_t>(fileSize);
  return true;
}

}  // namespace

// Gathers the pieces in a large buffer of its own, so that a list of many small pieces becomes a few large
// writes without the cost of a stream call per piece.
bool DiskFileAccess::writeWhole(const fs::path& path, const PieceSource& produce) {
  if (fails(FileStep::Open)) {
    return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    return false;
  }
  bool failed = false;
  // Writes of a quarter megabyte let the system take the bytes in large pieces of its file cache: a 7 MB
  // list is written over a millisecond faster than in 64 KB writes.
  constexpr std::size_t kBufferSize = std::size_t{256} << 10;
  std::vector<char> buffer;
  buffer.reserve(kBufferSize);
  auto flush = [&] {
    if (!failed && fails(FileStep::Write)) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size() / 2));  // a disk that filled up
      failed = true;
    }
    if (!failed) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    }
    buffer.clear();
  };
  produce([&](std::string_view piece) {
    if (buffer.size() + piece.size() > kBufferSize) {
      flush();
    }
    if (piece.size() > kBufferSize) {
      flush();
      if (!failed) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
      }
    } else {
      buffer.insert(buffer.end(), piece.begin(), piece.end());
    }
  });
  flush();
  out.close();
  return !failed && !out.fail();
}

bool DiskFileAccess::moveIntoPlace(const fs::path& temporary, const fs::path& target) {
  keepPermissions(target, temporary);
  std::error_code error;
  if (fails(FileStep::Rename)) {
    error = std::make_error_code(std::errc::io_error);
  } else {
    fs::rename(temporary, target, error);
  }
  if (error) {
    fs::remove(temporary, error);
    return false;
  }
  return true;
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


bool DiskFileAccess::readAll(const fs::path& path, std::string& bytes) {
  std::ifstream in;
  std::size_t size = 0;
  if (fails(FileStep::Open) || !openForReading(path, in, size)) {
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
  return static_cast<std::size_t>(in.gcount()) == size;
}

bool DiskFileAccess::readAllIntoBlock(const fs::path& path, TextBlock& bytes, std::size_t room) {
  std::ifstream in;
  std::size_t size = 0;
  if (fails(FileStep::Open) || !openForReading(path, in, size)) {
    return false;
  }
  bytes = TextBlock(size + room);
  if (fails(FileStep::Read)) {
    return false;
  }
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<std::size_t>(in.gcount()) != size) {
    return false;
  }
  bytes.resize(size);
  return true;
}

bool DiskFileAccess::replaceContents(const fs::path& path, std::string_view bytes) {
  return replaceContents(path, [bytes](const PieceSink& emit) { emit(bytes); });
}

bool DiskFileAccess::replaceContents(const fs::path& path, const PieceSource& produce) {
  const fs::path target = resolvedTarget(path);
  const fs::path temporary = temporaryBeside(target);
  if (!writeWhole(temporary, produce)) {
    std::error_code error;
    fs::remove(temporary, error);
    return false;
  }
  return moveIntoPlace(temporary, target);
}

bool DiskFileAccess::copyFile(const fs::path& source, const fs::path& target) {
  const fs::path resolved = resolvedTarget(target);
  const fs::path temporary = temporaryBeside(resolved);
  std::error_code error;
  if (fails(FileStep::Open) || fails(FileStep::Write)) {
    error = std::make_error_code(std::errc::io_error);
  } else {
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error);
  }
  if (error) {
    fs::remove(temporary, error);
    return false;
  }
  return moveIntoPlace(temporary, resolved);
}

FileAccess& diskFileAccess() {
  static DiskFileAccess instance;
  return instance;
}

bool fileHasContent(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    return false;
  }
  const std::uintmax_t size = fs::file_size(path, error);
  return !error && size > 0;
}

}  // namespace ombrix
