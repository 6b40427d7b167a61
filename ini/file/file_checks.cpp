#include "ini/file/file_checks.h"

#include <cwctype>
#include <fstream>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ombrix {
namespace fs = std::filesystem;

bool fileHasContent(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    return false;
  }
  const std::uintmax_t size = fs::file_size(path, error);
  return !error && size > 0;
}

std::optional<FileProblem> problemWith(const fs::path& path) {
  if (path.empty()) {
    return FileProblem::Missing;
  }
  if (fileHasContent(path)) {
    return std::nullopt;
  }
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) {
    return FileProblem::Missing;
  }
  if (fs::is_directory(status)) {
    return FileProblem::Folder;
  }
  if (!fs::is_regular_file(status)) {
    return FileProblem::NotAFile;
  }
  return fs::file_size(path, error) == 0 && !error ? FileProblem::Empty : FileProblem::Unreadable;
}

bool isSameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const bool same = fs::equivalent(a, b, error);
  return !error && same;
}

fs::path identityOf(const fs::path& file) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(fs::absolute(file, error), error);
  if (error) {
    resolved = fs::absolute(file, error);
  }
#ifdef _WIN32
  std::wstring text = resolved.native();
  for (wchar_t& c : text) {
    c = static_cast<wchar_t>(std::towlower(c));
  }
  resolved = fs::path(text);
#endif
  return resolved;
}

// FNV-1a over the units of the native path.
std::uint64_t identityHash(const fs::path& file) {
  const fs::path identity = identityOf(file);
  std::uint64_t hash = 14695981039346656037ULL;
  for (const auto c : identity.native()) {
    using Unit = std::make_unsigned_t<fs::path::value_type>;
    hash = (hash ^ std::uint64_t{static_cast<Unit>(c)}) * std::uint64_t{1099511628211};
  }
  return hash;
}

fs::path writtenFile(const fs::path& path) {
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) {
    fs::path real = fs::canonical(path, error);
    if (!error) {
      return real;
    }
  }
  return path;
}

// A write permission bit first (Windows shows its read-only attribute so), which even an administrator's
// write would respect here; then whether the system lets the user write.
bool mayWrite(const fs::path& file) {
  std::error_code error;
  const fs::perms permissions = fs::status(file, error).permissions();
  if (error || (permissions & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) ==
                   fs::perms::none) {
    return false;
  }
#ifdef _WIN32
  return _waccess(file.c_str(), 2) == 0;
#else
  return access(file.c_str(), W_OK) == 0;
#endif
}

bool mayCreateIn(const fs::path& folder) {
  const fs::path place = folder.empty() ? fs::path(".") : folder;
#ifdef _WIN32
  std::error_code error;
  return fs::is_directory(place, error);
#else
  return access(place.c_str(), W_OK | X_OK) == 0;
#endif
}

// Reads in pieces and stops at the first CR LF, which is on the first line of any ordinary list.
LineEnds lineEndsOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> buffer(64 * 1024);
  LineEndScan scan;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!scan.add({buffer.data(), static_cast<std::size_t>(in.gcount())})) {
      break;
    }
  }
  return scan.result();
}

bool startsAsUtf16(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char mark[2] = {};
  in.read(mark, 2);
  return startsWithUtf16ByteOrderMark({mark, static_cast<std::size_t>(in.gcount())});
}

}  // namespace ombrix
