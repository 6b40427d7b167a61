#include "merge/base_store.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "ini/file/file_checks.h"
#include "ini/file/path_text.h"

namespace ombrix {
namespace fs = std::filesystem;

namespace {

fs::path fromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? pathFromText(value) : fs::path();
}

// The hash of the list's identity in hexadecimal: a list reached by another name or a link has the same base.
std::string nameOf(const fs::path& list) {
  const std::uint64_t hash = identityHash(list);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name(16, '0');
  for (std::size_t i = 0; i < 16; ++i) {
    name[15 - i] = kHex[(hash >> (4 * i)) & 0xF];
  }
  return name;
}

bool sameBytes(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(a, error);
  if (error || fs::file_size(b, error) != size || error) {
    return false;
  }
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  std::array<char, 64 * 1024> left{};
  std::array<char, 64 * 1024> right{};
  while (first && second) {
    first.read(left.data(), left.size());
    second.read(right.data(), right.size());
    if (first.gcount() != second.gcount() ||
        !std::equal(left.begin(), left.begin() + first.gcount(), right.begin())) {
      return false;
    }
  }
  return !first.bad() && !second.bad() && first.eof() && second.eof();
}

}  // namespace

BaseStore::BaseStore(fs::path folder, FileAccess& files) : folder_(std::move(folder)), files_(files) {}

fs::path BaseStore::defaultFolder() {
  if (fs::path own = fromEnvironment("OMBRIX_MERGER_DATA"); !own.empty()) {
    return own / "bases";
  }
#ifdef _WIN32
  const fs::path local = fromEnvironment("LOCALAPPDATA");
  return local.empty() ? fs::path() : local / "OmbrixMerger" / "bases";
#else
  if (fs::path data = fromEnvironment("XDG_DATA_HOME"); data.is_absolute()) {
    return data / "ombrix-merger" / "bases";
  }
  const fs::path home = fromEnvironment("HOME");
  return home.empty() ? fs::path() : home / ".local" / "share" / "ombrix-merger" / "bases";
#endif
}

fs::path BaseStore::pathFor(const fs::path& list, bool ofBackup) const {
  return folder_ / (nameOf(list) + (ofBackup ? ".backup.ini" : ".ini"));
}

std::optional<fs::path> BaseStore::baseOf(const fs::path& list) const {
  if (folder_.empty()) {
    return std::nullopt;
  }
  const fs::path stored = pathFor(list, false);
  std::error_code error;
  return fs::is_regular_file(stored, error) ? std::optional<fs::path>(stored) : std::nullopt;
}

bool BaseStore::replaceWith(const fs::path& source, const fs::path& stored) {
  if (sameBytes(source, stored)) {
    return true;
  }
  std::error_code error;
  fs::create_directories(folder_, error);
  if (!files_.copyFile(source, stored)) {
    return false;
  }
  // The copy takes the source's permissions: a read-only new-keys file must not make a base that the next
  // merge cannot replace.
  fs::permissions(stored, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, error);
  return true;
}

bool BaseStore::remember(const fs::path& list, const fs::path& newKeys) {
  return folder_.empty() || replaceWith(newKeys, pathFor(list, false));
}

std::optional<fs::path> BaseStore::copyAhead(const fs::path& list, const fs::path& newKeys) {
  if (folder_.empty() || sameBytes(newKeys, pathFor(list, false))) {
    return fs::path();
  }
  fs::path copy = pathFor(list, false);
  copy.replace_extension(".next.ini");
  if (!replaceWith(newKeys, copy)) {
    dropCopy(copy);
    return std::nullopt;
  }
  return copy;
}

bool BaseStore::takeCopy(const fs::path& list, const fs::path& copy) {
  return copy.empty() || files_.moveFile(copy, pathFor(list, false));
}

void BaseStore::dropCopy(const fs::path& copy) {
  std::error_code error;
  if (!copy.empty()) {
    fs::remove(copy, error);
  }
}

bool BaseStore::keepForBackup(const fs::path& list) {
  if (folder_.empty()) {
    return true;
  }
  const fs::path backupBase = pathFor(list, true);
  std::error_code error;
  if (const std::optional<fs::path> base = baseOf(list); base && replaceWith(*base, backupBase)) {
    return true;
  } else if (base) {
    fs::remove(backupBase, error);  // an older backup's base must not come back with this backup
    return false;
  }
  fs::remove(backupBase, error);
  return !error;
}

bool BaseStore::restoreFromBackup(const fs::path& list) {
  if (folder_.empty()) {
    return true;
  }
  const fs::path backupBase = pathFor(list, true);
  const fs::path base = pathFor(list, false);
  std::error_code error;
  if (fs::is_regular_file(backupBase, error) && replaceWith(backupBase, base)) {
    return true;
  }
  // Without the backup's base the list has none: the merged list's base must not stay in its place.
  fs::remove(base, error);
  return !error && !fs::is_regular_file(backupBase, error);
}

}  // namespace ombrix
