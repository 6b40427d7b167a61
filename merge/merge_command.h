#pragma once

// The merge command: checks the two paths, refuses to merge a file with itself, asks where the merged file
// goes, copies the file to be updated there (or backs it up when it is merged in place), runs the merge
// pass and reports the count. Written once; the window and the command line are its hosts.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ini/file_access.h"
#include "merge/merge_pass.h"

namespace ombrix {

inline constexpr std::string_view kSameFileMessage = "Both files are the same.";
inline constexpr std::string_view kLfLineEndsMessage =
    "The file to be updated has LF line ends, not CR LF: its sections cannot be found, and every section "
    "would be added to it a second time. Nothing was changed. Convert the file to CR LF line ends (for "
    "example with unix2dos) and merge again.";
inline constexpr std::string_view kBackupOverNewKeysMessage =
    "The backup of the file to be updated would replace the file with the new keys.";

// What the command needs from its front end.
class MergeHost {
 public:
  virtual ~MergeHost() = default;

  virtual std::filesystem::path newKeysPath() = 0;
  virtual std::filesystem::path fileToUpdatePath() = 0;
  virtual MergePolicy policy() = 0;

  // Path box index (1: the file with the new keys, 2: the file to be updated) names no file with content.
  virtual void browseForFile(int index) = 0;

  // Where the merged file goes, proposing the file to be updated; an empty path when the user cancelled.
  virtual std::filesystem::path askOutputPath(const std::filesystem::path& fileToUpdate) = 0;

  // "Processing line N", once before each line of the new-keys file is handled, unless the host shows no
  // progress at all (then the text is not even made).
  virtual bool showsProgress() const { return true; }
  virtual void showProgress(std::string_view text) = 0;
  // The pass is over: the progress display shows what it showed before the command.
  virtual void endProgress() = 0;

  virtual void showMessage(std::string_view text) = 0;
};

enum class MergeOutcome {
  NeedsFile,  // a path box named no file with content; the host was asked to browse for it
  Refused,    // a message said why nothing was done
  Cancelled,  // no output path was chosen
  Merged,     // the pass ran to the end and the count was reported
  Failed,     // a step failed; the count reached so far was reported
};

// One key write of a merge and what it changed.
struct ChangeRecord {
  std::string section;
  std::string key;
  std::string value;     // as written
  std::string oldValue;  // for a changed or deleted key
  KeyChange::Kind kind = KeyChange::Kind::None;
  bool sectionAdded = false;
};

struct MergeReport {
  MergeOutcome outcome = MergeOutcome::Cancelled;
  std::int32_t changeCount = 0;
  std::string failure;  // what went wrong, when outcome is Failed
  std::filesystem::path output;
  std::filesystem::path backup;       // empty unless the file was merged in place
  std::vector<ChangeRecord> changes;  // every key write, when asked for
};

enum class MergeEngine {
  Memory,  // the output is read once, merged in memory and written once at the end (the default)
  File,    // the reference: every key is read from and written to the output file as the pass goes
};

struct MergeOptions {
  MergeOptions(MergeEngine mergeEngine = MergeEngine::Memory) : engine(mergeEngine) {}  // NOLINT: implicit

  MergeEngine engine;
  // Merge in memory and write nothing: no output is asked for, no backup made. Needs the memory engine.
  bool dryRun = false;
  // Keep every key write with what it changed in the report. Needs the memory engine.
  bool collectChanges = false;
};

MergeReport runMergeCommand(MergeHost& host, const MergeOptions& options = {},
                            FileAccess& files = diskFileAccess());

// The backup beside an output merged in place: a name ending in ".ini" (any case) ends in ".bak" instead,
// any other name gets ".bak" added.
std::filesystem::path backupPathFor(const std::filesystem::path& output);

// True when the file's lines end in LF without a CR LF anywhere: the text model sees no line break in it.
bool hasOnlyLfLineEnds(const std::filesystem::path& file);

// True when both paths name one existing file, whatever their spelling.
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The message that ends every merge that got as far as the pass: "12 lines changed.".
std::string changeCountMessage(std::int32_t changeCount);

}  // namespace ombrix
