#include "merge/undo.h"

#include <system_error>

#include "ini/path_text.h"
#include "merge/merge_command.h"

namespace ombrix {
namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) {
  return "'" + textOfPath(path) + "'";
}

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
    return refused(quoted(file) + " does not exist");
  }
  if (!fs::is_regular_file(file, error)) {
    return refused(quoted(file) + " is not a file");
  }
  const fs::path backup = backupPathFor(file);
  if (!fs::exists(backup, error)) {
    return refused("there is no backup " + quoted(backup) + ": " + quoted(file) +
                   " was not merged in place, or its backup was moved");
  }
  if (!fileHasContent(backup)) {
    return refused("the backup " + quoted(backup) + " is empty or cannot be read; nothing was changed");
  }
  std::string current;
  std::string saved;
  if (!files.readAll(file, current) || !files.readAll(backup, saved)) {
    return refused("could not read " + quoted(file) + " or its backup; nothing was changed");
  }
  if (current == saved) {
    return refused(quoted(file) + " is the same as its backup " + quoted(backup) +
                   ": there is nothing to undo");
  }

  UndoResult result;
  result.backup = backup;
  result.merged = mergedPathFor(file);
  const bool replacingOlder = fs::exists(result.merged, error);
  if (!files.copyFile(file, result.merged)) {
    result.message =
        "could not keep the merged version as " + quoted(result.merged) + "; nothing was changed";
    return result;
  }
  if (!files.replaceContents(file, std::string_view(saved))) {
    result.message = "could not put the backup back over " + quoted(file) +
                     ", which is as it was; its merged " + "version is also in " + quoted(result.merged);
    return result;
  }
  result.done = true;
  result.message = "Restored " + quoted(file) + " from " + quoted(backup) +
                   "; the merged version is kept as " + quoted(result.merged) +
                   (replacingOlder ? " (replacing an older one)." : ".");
  if (!BaseStore(basesFolder, files).restoreFromBackup(file)) {
    result.message +=
        " The base kept for it could not be put back; a keep-my-edits merge of it needs --base.";
  }
  return result;
}

}  // namespace ombrix
