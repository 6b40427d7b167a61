#include "merge/undo.h"

#include <system_error>

#include "ini/file/file_checks.h"
#include "ini/file/path_text.h"
#include "merge/merge_command.h"

namespace ombrix {
namespace fs = std::filesystem;

namespace {

UndoResult refused(std::string message) {
  UndoResult result;
  result.message = std::move(message);
  return result;
}

}  // namespace

fs::path mergedPathFor(const fs::path& file) {
  fs::path merged = file;
  merged.replace_extension("merged");
  return merged;
}

UndoResult undoMerge(const fs::path& file, FileAccess& files, const fs::path& basesFolder) {
  std::error_code error;
  if (!fs::exists(file, error)) {
    return refused(quotedPath(file) + " does not exist");
  }
  if (!fs::is_regular_file(file, error)) {
    return refused(quotedPath(file) + " is not a file");
  }
  const fs::path backup = backupPathFor(file);
  if (!fs::exists(backup, error)) {
    return refused("there is no backup " + quotedPath(backup) + ": " + quotedPath(file) +
                   " was not merged in place, or its backup was moved");
  }
  if (!fileHasContent(backup)) {
    return refused("the backup " + quotedPath(backup) + " is empty or cannot be read; nothing was changed");
  }
  std::string current;
  std::string saved;
  if (!files.readAll(file, current) || !files.readAll(backup, saved)) {
    return refused("could not read " + quotedPath(file) + " or its backup; nothing was changed");
  }
  if (current == saved) {
    return refused(quotedPath(file) + " is the same as its backup " + quotedPath(backup) +
                   ": there is nothing to undo");
  }

  UndoResult result;
  result.backup = backup;
  result.merged = mergedPathFor(file);
  const bool replacingOlder = fs::exists(result.merged, error);
  if (!files.copyFile(file, result.merged)) {
    result.message =
        "could not keep the merged version as " + quotedPath(result.merged) + "; nothing was changed";
    return result;
  }
  if (!files.replaceContents(file, std::string_view(saved))) {
    result.message = "could not put the backup back over " + quotedPath(file) +
                     ", which is as it was; its merged " + "version is also in " + quotedPath(result.merged);
    return result;
  }
  result.done = true;
  result.message = "Restored " + quotedPath(file) + " from " + quotedPath(backup) +
                   "; the merged version is kept as " + quotedPath(result.merged) +
                   (replacingOlder ? " (replacing an older one)." : ".");
  if (!BaseStore(basesFolder, files).restoreFromBackup(file)) {
    result.message +=
        " The base kept for it could not be put back; a " + policyName(MergePolicy::KeepMyEdits) +
        " merge of it needs --base.";
  }
  return result;
}

}  // namespace ombrix
