#pragma once

// Where merges keep the base of each list they wrote: a copy of the new keys the list took, so that a later
// merge can tell the user's own edits from the newer list's. One file per list, named by a hash of the
// list's resolved full path, in a folder of the user's data; nothing is kept beside the list, and deleting
// the folder only makes the next keep-my-edits merge ask for a base.
//
// When a list is backed up before a merge in place, its base is kept as the base of the backup, so that
// putting the backup back puts its base back too.

#include <filesystem>
#include <optional>

#include "ini/file/file_access.h"

namespace ombrix {

class BaseStore {
 public:
  explicit BaseStore(std::filesystem::path folder, FileAccess& files = diskFileAccess());

  // $OMBRIX_MERGER_DATA/bases when that is set; otherwise %LOCALAPPDATA%\OmbrixMerger\bases on Windows and
  // $XDG_DATA_HOME/ombrix-merger/bases (by default ~/.local/share/ombrix-merger/bases) elsewhere. Empty
  // when none of them is known.
  static std::filesystem::path defaultFolder();

  // The stored base of the list, when one is kept.
  std::optional<std::filesystem::path> baseOf(const std::filesystem::path& list) const;
  // Each change returns false when it could not be made; with no folder there is nothing to do.
  // Keeps a copy of newKeys as the base of list, unless the stored base already has the same bytes.
  bool remember(const std::filesystem::path& list, const std::filesystem::path& newKeys);
  // remember() in two steps, so that the copy can be made while the merge runs: copyAhead copies newKeys
  // beside the list's base and returns where (an empty path when the base has the same bytes already,
  // nothing when the copy failed); takeCopy makes that copy the list's base, dropCopy removes it.
  std::optional<std::filesystem::path> copyAhead(const std::filesystem::path& list,
                                                 const std::filesystem::path& newKeys);
  bool takeCopy(const std::filesystem::path& list, const std::filesystem::path& copy);
  static void dropCopy(const std::filesystem::path& copy);
  // The list was just backed up: its base, or that it has none, goes with the backup.
  bool keepForBackup(const std::filesystem::path& list);
  // The backup was put back over the list: so is the backup's base.
  bool restoreFromBackup(const std::filesystem::path& list);

 private:
  // The list's stored base, and the base of its backup.
  std::filesystem::path pathFor(const std::filesystem::path& list, bool ofBackup) const;
  bool replaceWith(const std::filesystem::path& source, const std::filesystem::path& stored);

  std::filesystem::path folder_;
  FileAccess& files_;
};

}  // namespace ombrix
