#pragma once

// Going back to the list as it was before an in-place merge: its backup (named by the backup rule) is put
// back over it, and the merged version is kept beside it with the extension "merged", so that the undo
// can itself be undone by hand. The base kept for the list goes back to the backup's base as well.

#include <filesystem>
#include <string>

#include "ini/file/file_access.h"
#include "merge/base_store.h"

namespace ombrix {

struct UndoResult {
  bool done = false;
  std::string message;  // what was done, or why nothing was
  std::filesystem::path backup;
  std::filesystem::path merged;
};

UndoResult undoMerge(const std::filesystem::path& file, FileAccess& files = diskFileAccess(),
                     const std::filesystem::path& basesFolder = BaseStore::defaultFolder());

// Where the merged version goes: file with the extension "merged" (list.ini gives list.merged).
std::filesystem::path mergedPathFor(const std::filesystem::path& file);

}  // namespace ombrix
