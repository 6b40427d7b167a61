#pragma once

// The merge command: checks the two paths, refuses to merge a file with itself, asks where the merged file
// goes (not for a dry run), backs the file up when it is merged in place, runs the merge pass (against the
// base for keep-my-edits) and writes the output once, or through the reference engine key by key, and
// reports the count. Written once; the two windows and the command line are its hosts, and each
// shows the report in the words of merge_messages.h.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ini/memory/text_arena.h"
#include "ini/file/file_access.h"
#include "ini/file/file_checks.h"
#include "merge/base_store.h"
#include "merge/change_report.h"
#include "merge/merge_pass.h"
#include "merge/three_way.h"

namespace ombrix {

// The two files and the policy, as the front end holds them.
struct MergeRequest {
  std::filesystem::path newKeys;
  std::filesystem::path fileToUpdate;
  MergePolicy policy = MergePolicy::KeepPlayable;
  // KeepMyEdits: the base, or empty for the one kept when the file to be updated was last merged.
  std::filesystem::path base;
  // KeepMyEdits: a key both sides changed takes the newer value instead of keeping the user's.
  bool preferNew = false;
};

// What the command needs from its front end while it runs. Everything it decides comes back in the report.
class MergeHost {
 public:
  virtual ~MergeHost() = default;

  // Where the merged file goes, proposing the file to be updated; an empty path when the user cancelled.
  // Asked once; the answer is used as given.
  virtual std::filesystem::path askOutputPath(const std::filesystem::path& fileToUpdate) = 0;

  // "Processing line N", once before each line of the new-keys file is handled, unless the host shows no
  // progress at all (then the text is not even made).
  virtual bool showsProgress() const { return true; }
  virtual void showProgress(std::string_view /*text*/) {}
  // The pass is over: the progress display shows what it showed before the command.
  virtual void endProgress() {}
};

enum class MergeOutcome {
  NeedsFile,  // a path names no file with content: unusableFile says which and why
  Refused,    // nothing was done: refusal says why
  Cancelled,  // no output path was chosen
  Merged,     // the pass ran to the end and its count is on disk
  Failed,     // a step failed: failedStep and whatWasWritten say which and what reached the disk
};

// Which file a check found unusable: 1 the file with the new keys, 2 the file to be updated (the numbers
// of the window's path boxes), 3 the base.
struct UnusableFile {
  int index = 0;
  std::filesystem::path path;
  FileProblem problem = FileProblem::Missing;
};

enum class Refusal {
  None,
  SameFile,            // the two files, or the output and the new keys, are one file
  LfLineEnds,          // the file to be updated has LF line ends, which the text model cannot read
  CrLineEnds,          // the file to be updated has CR line ends, which the text model cannot read either
  Utf16,               // refusedPath is a UTF-16 text (it starts with a UTF-16 byte-order mark)
  BackupOverNewKeys,   // the backup of an in-place merge would replace the file with the new keys
  BackupOverList,      // the backup would land on the file to be updated itself (a link leads there)
  ReadOnly,            // refusedPath, the file to be written, may not be written
  FolderRefusesFiles,  // refusedPath, the folder of the file to be written, takes no new files
  MergeRunning,        // another merge is writing refusedPath and did not end within a few seconds
  NoBase,              // KeepMyEdits without a base, and none is kept for refusedPath
  OverBase,            // the output or its backup would replace refusedPath, the base given
};

enum class FailedStep {
  None,
  Backup,        // writing the backup of a file merged in place
  CopyToOutput,  // copying the file to be updated to the output (the reference engine)
  OpenNewKeys,
  ReadList,     // loading the list to merge into
  ReadNewKeys,  // the pass could not read the new keys to their end (or count past them)
  ReadBase,     // reading the base of KeepMyEdits
  WriteOutput,  // writing the merged list
};

enum class Written {
  Nothing,       // no file was changed, except a complete backup where one is named
  CopyOfList,    // the output was made a copy of the file to be updated, with no key merged into it
  CountedLines,  // the output holds the keys counted before the failure
};

// What a base set that the new keys no longer do, and the user's list still holds.
struct DroppedEntry {
  std::string section;
  std::string key;  // empty for a whole section
  std::string value;
};

struct MergeReport {
  MergeOutcome outcome = MergeOutcome::Cancelled;
  UnusableFile unusableFile;  // when outcome is NeedsFile
  Refusal refusal = Refusal::None;
  std::filesystem::path refusedPath;  // the file or folder a refusal names
  FailedStep failedStep = FailedStep::None;
  std::filesystem::path failedPath;  // the file the failed step worked on
  FileError failure;                 // why the file layer failed it, where it tells
  std::string passFailure;           // what ended the pass early, when failedStep is ReadNewKeys
  Written written = Written::Nothing;
  std::int32_t changeCount = 0;  // key lines written; 0 when none of them reached the disk
  std::filesystem::path newKeys;
  std::filesystem::path output;
  std::filesystem::path backup;           // empty unless a complete backup was written
  ChangeList changes;                     // every key write that changed something, when asked for
  std::shared_ptr<TextArena> changeText;  // the texts of changes

  // KeepMyEdits: the base used, and whether it was the one kept from the last merge.
  std::filesystem::path base;
  bool baseRemembered = false;
  bool preferNew = false;
  std::vector<Conflict> conflicts;
  std::vector<std::string> deletedGames;  // sections the base has and the user's list had not
  std::vector<DroppedEntry> dropped;      // when changes are collected
  // A completed merge whose base should have been kept, but could not be.
  bool baseNotKept = false;
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
  // How long to wait for another merge into the same file to end.
  std::chrono::milliseconds waitForOtherMerge{3000};
  // Where the bases of merged lists are kept; empty keeps none.
  std::filesystem::path basesFolder = BaseStore::defaultFolder();
};

// The engine a merge runs with: a dry run or a report needs the memory engine, which knows what each key
// write changed, and takes it whatever the options ask for.
MergeEngine engineFor(const MergeOptions& options);

MergeReport runMergeCommand(const MergeRequest& request, MergeHost& host, const MergeOptions& options = {},
                            FileAccess& files = diskFileAccess());

// The backup beside an output merged in place: a name ending in ".ini" (any case) ends in ".bak" instead,
// any other name gets ".bak" added.
std::filesystem::path backupPathFor(const std::filesystem::path& output);

}  // namespace ombrix
