#include "merge/merge_command.h"

#include <algorithm>
#include <fstream>
#include <future>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "ini/file/file_checks.h"
#include "ini/file/path_text.h"
#include "ini/file/retry_counter.h"
#include "merge/output_lock.h"

namespace ombrix {
namespace fs = std::filesystem;

namespace {

template <typename Char>
bool endsWithIniExtension(const std::basic_string<Char>& name) {
  static constexpr char kExtension[] = ".ini";
  if (name.size() < 4) {
    return false;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    Char c = name[name.size() - 4 + i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<Char>(c - 'A' + 'a');
    }
    if (c != static_cast<Char>(kExtension[i])) {
      return false;
    }
  }
  return true;
}

// The copy of the new keys that becomes the base of the list written once the merge has succeeded. Where
// the files are the disk's own, it is made on a thread of its own while the pass runs, so that writing it
// and flushing it to the disk overlap the merge; otherwise (files that tests plan) it is made at the end.
class NextBase {
 public:
  NextBase(const fs::path& folder, FileAccess& files, const fs::path& list, const fs::path& newKeys)
      : list_(list), newKeys_(newKeys) {
    if (&files == &diskFileAccess() && !folder.empty()) {
      copying_ = std::async(std::launch::async, [folder, list, newKeys] {
        DiskFileAccess ownFiles;
        return BaseStore(folder, ownFiles).copyAhead(list, newKeys);
      });
    }
  }
  NextBase(const NextBase&) = delete;
  NextBase& operator=(const NextBase&) = delete;
  ~NextBase() {
    if (copying_.valid()) {
      BaseStore::dropCopy(copying_.get().value_or(fs::path()));
    }
  }

  // The merge succeeded: its new keys are the list's base from now on. False when they could not be kept.
  bool keep(BaseStore& bases) {
    if (!copying_.valid()) {
      return bases.remember(list_, newKeys_);
    }
    const std::optional<fs::path> copy = copying_.get();
    return copy && bases.takeCopy(list_, *copy);
  }

 private:
  fs::path list_;
  fs::path newKeys_;
  std::future<std::optional<fs::path>> copying_;
};

bool failedAt(MergeReport& report, FailedStep step, const fs::path& path, FileError why = {}) {
  report.outcome = MergeOutcome::Failed;
  report.failedStep = step;
  report.failedPath = path;
  report.failure = why;
  return false;
}

// Backs the file to be updated up when it is merged in place. Otherwise the reference engine first copies it
// to the output, where it then reads and writes every key; the memory engine reads the file to be updated
// itself and writes the output once, so it needs no copy. Returns false after a failure, set in the report.
bool prepareOutput(MergeReport& report, const fs::path& fileToUpdate, MergeEngine engine, FileAccess& files,
                   BaseStore& bases) {
  if (isSameFile(report.output, fileToUpdate)) {
    const fs::path backup = backupPathFor(report.output);
    if (!files.copyFile(fileToUpdate, backup)) {
      const FileError why = files.lastError();
      return failedAt(report, FailedStep::Backup, why.inSource ? fileToUpdate : backup, why);
    }
    report.backup = backup;
    report.baseNotKept = !bases.keepForBackup(report.output);
    return true;
  }
  if (engine == MergeEngine::Memory) {
    return true;
  }
  if (!files.copyFile(fileToUpdate, report.output)) {
    const FileError why = files.lastError();
    return failedAt(report, FailedStep::CopyToOutput, why.inSource ? fileToUpdate : report.output, why);
  }
  report.written = Written::CopyOfList;
  return true;
}
std::unique_ptr<KeyStore> openStore(MergeEngine engine, const fs::path& fileToUpdate, const fs::path& output,
                                    bool trackChanges, FileAccess& files) {
  if (engine == MergeEngine::File) {
    return std::make_unique<WholeFileKeyStore>(output, files);
  }
  const fs::path& source = isSameFile(output, fileToUpdate) ? output : fileToUpdate;
  auto store = std::make_unique<MemoryKeyStore>(source, output, files);
  if (trackChanges) {
    store->trackChanges();
  }
  return store->load() ? std::move(store) : nullptr;
}

MergeReport finish(MergeHost& host, MergeReport report) {
  host.endProgress();
  return report;
}

MergeReport endedWith(MergeOutcome outcome) {
  MergeReport report;
  report.outcome = outcome;
  return report;
}

// A refusal, with the file or folder it names and the output the user chose.
struct Refused {
  Refusal refusal = Refusal::None;
  fs::path path;
};

MergeReport refused(const Refused& why, const fs::path& output = {}) {
  MergeReport report = endedWith(MergeOutcome::Refused);
  report.refusal = why.refusal;
  report.refusedPath = why.path;
  report.output = output;
  return report;
}

// Keeps the writes that changed something; a value written as it stood is counted but not listed. The
// list and its texts are sized from the new keys at the start: grown step by step, each step would copy them
// and touch fresh pages.
ChangeSink recorderInto(MergeReport& report, const fs::path& newKeys) {
  std::error_code error;
  const std::uintmax_t newKeysSize = fs::file_size(newKeys, error);
  if (!error) {
    // No larger than the new keys: a list of short lines grows it later.
    report.changes.reserve(static_cast<std::size_t>(newKeysSize / sizeof(ChangeRecord)));
  }
  constexpr std::uintmax_t kSmallestBlock = 64 * 1024;
  constexpr std::uintmax_t kLargestFirstBlock = 8 << 20;
  const std::uintmax_t firstBlock =
      error ? kSmallestBlock : std::clamp(newKeysSize, kSmallestBlock, kLargestFirstBlock);
  report.changeText = std::make_shared<TextArena>(static_cast<std::size_t>(firstBlock));
  return [&report](std::string_view section, std::string_view key, std::string_view value,
                   const KeyChange& change) { recordChange(report, section, key, value, change); };
}

// The base of a merge that keeps the user's edits, read whole: the list holds views into its text.
struct Base {
  TextBlock text;
  std::optional<BaseList> list;
  std::optional<ThreeWayMerge> merge;
};

// Reads the base named in the report, when the policy needs one. False after a failure, set in the report.
bool loadBase(MergeReport& report, const MergeRequest& request, Base& base, FileAccess& files) {
  if (request.policy != MergePolicy::KeepMyEdits) {
    return true;
  }
  if (RetryCounter retries; !retries.run([&] { return files.readAllIntoBlock(report.base, base.text, 0); })) {
    return failedAt(report, FailedStep::ReadBase, report.base, files.lastError());
  }
  base.list.emplace(base.text.view());
  base.merge.emplace(*base.list, request.preferNew);
  return true;
}

// What the base set that the new keys no longer do and the list still holds, for the report.
void listDropped(MergeReport& report, BaseList& base, KeyStore& store) {
  for (const BaseList::Dropped& dropped : base.dropped()) {
    const bool held = dropped.key.empty() ? store.hasSection(dropped.section)
                                          : !store.readKey(dropped.section, dropped.key).empty();
    if (held) {
      report.dropped.push_back(
          {std::string(dropped.section), std::string(dropped.key), std::string(dropped.value)});
    }
  }
}

// Opened before anything is written, so that new keys that cannot be read leave no backup behind.
bool openNewKeys(MergeReport& report, const fs::path& path, std::ifstream& in, FileAccess& files) {
  return files.openStream(path, in) || failedAt(report, FailedStep::OpenNewKeys, path, files.lastError());
}

// Runs the pass over the new keys into store, and puts its count and how it ended into the report. A key
// write that failed ends it as a failed write of the output, with the lines counted before it.
void runPassInto(MergeReport& report, MergeHost& host, MergePolicy policy, KeyStore& store,
                 std::istream& newKeys, const ChangeSink& changes, Base& base, FileAccess& files) {
  LineReader lines(newKeys);
  ProgressCallback progress;
  if (host.showsProgress()) {
    progress = [&host](std::string_view text) { host.showProgress(text); };
  }
  ThreeWayMerge* const threeWay = base.merge ? &*base.merge : nullptr;
  const PassResult pass = runMergePass(lines, store, policy, progress, changes, threeWay);
  if (threeWay != nullptr) {
    report.conflicts = std::move(threeWay->conflicts());
    report.deletedGames = std::move(threeWay->deletedGames());
    if (changes && pass.completed) {
      listDropped(report, *base.list, store);
    }
  }
  report.changeCount = pass.changeCount;
  if (pass.completed) {
    report.outcome = MergeOutcome::Merged;
  } else if (pass.writeFailed) {
    failedAt(report, FailedStep::WriteOutput, report.output, files.lastError());
  } else {
    failedAt(report, FailedStep::ReadNewKeys, report.newKeys);
    report.passFailure = pass.failure;
  }
}

// The merge in memory from the file to be updated, with every change kept and nothing written.
MergeReport dryRun(MergeHost& host, const MergeRequest& request, MergeReport report, FileAccess& files) {
  MemoryKeyStore store(request.fileToUpdate, files);
  store.trackChanges();
  Base base;
  std::ifstream newKeysFile;
  if (!openNewKeys(report, request.newKeys, newKeysFile, files)) {
  } else if (!store.load()) {
    failedAt(report, FailedStep::ReadList, request.fileToUpdate, files.lastError());
  } else if (loadBase(report, request, base, files)) {
    runPassInto(report, host, request.policy, store, newKeysFile, recorderInto(report, request.newKeys),
                base, files);
  }
  return finish(host, std::move(report));
}

// The first of the files that names no file with content, if any.
std::optional<UnusableFile> firstUnusable(const MergeRequest& request) {
  std::vector<std::pair<int, const fs::path*>> files = {{1, &request.newKeys}, {2, &request.fileToUpdate}};
  if (request.policy == MergePolicy::KeepMyEdits && !request.base.empty()) {
    files.emplace_back(3, &request.base);
  }
  for (const auto& [index, path] : files) {
    if (const std::optional<FileProblem> problem = problemWith(*path)) {
      return UnusableFile{index, *path, *problem};
    }
  }
  return std::nullopt;
}

// Refusals that need no output path.
Refused refusalBeforeOutput(const MergeRequest& request) {
  if (isSameFile(request.newKeys, request.fileToUpdate)) {
    return {Refusal::SameFile, {}};
  }
  for (const fs::path* file : {&request.newKeys, &request.fileToUpdate, &request.base}) {
    if (!file->empty() && startsAsUtf16(*file)) {
      return {Refusal::Utf16, *file};
    }
  }
  switch (lineEndsOf(request.fileToUpdate)) {
    case LineEnds::OnlyLf:
      return {Refusal::LfLineEnds, request.fileToUpdate};
    case LineEnds::OnlyCr:
      return {Refusal::CrLineEnds, request.fileToUpdate};
    case LineEnds::CrLf:
    case LineEnds::None:
      break;
  }
  return {};
}

// Refusals of an output that would destroy what the merge reads, leave no backup, or cannot be written.
Refused refusalOfOutput(const MergeRequest& request, const fs::path& output) {
  if (isSameFile(output, request.newKeys)) {
    return {Refusal::SameFile, {}};
  }
  const bool inPlace = isSameFile(output, request.fileToUpdate);
  if (inPlace) {
    const fs::path backup = backupPathFor(output);
    if (isSameFile(backup, request.newKeys)) {
      return {Refusal::BackupOverNewKeys, {}};
    }
    if (isSameFile(backup, request.fileToUpdate)) {
      return {Refusal::BackupOverList, {}};
    }
  }
  const bool givenBase = request.policy == MergePolicy::KeepMyEdits && !request.base.empty();
  if (givenBase &&
      (isSameFile(output, request.base) || (inPlace && isSameFile(backupPathFor(output), request.base)))) {
    return {Refusal::OverBase, request.base};
  }
  // The files written: the output (made anew when it does not exist) and, in place, the backup beside it.
  const fs::path written = writtenFile(output);
  std::error_code error;
  if (fs::exists(written, error) && !mayWrite(written)) {
    return {Refusal::ReadOnly, output};
  }
  if (!mayCreateIn(written.parent_path())) {
    return {Refusal::FolderRefusesFiles, written.parent_path()};
  }
  return {};
}

}  // namespace

fs::path backupPathFor(const fs::path& output) {
  fs::path::string_type name = output.native();
  if (endsWithIniExtension(name)) {
    name.resize(name.size() - 3);
    fs::path backup(name);
    backup += "bak";
    return backup;
  }
  fs::path backup(name);
  backup += ".bak";
  return backup;
}

MergeEngine engineFor(const MergeOptions& options) {
  return options.dryRun || options.collectChanges ? MergeEngine::Memory : options.engine;
}

namespace {

// A merge that cannot start: a path that names no file with content, or a refusal that needs no output.
std::optional<MergeReport> cannotStart(const MergeRequest& request) {
  if (const std::optional<UnusableFile> unusable = firstUnusable(request)) {
    MergeReport report = endedWith(MergeOutcome::NeedsFile);
    report.unusableFile = *unusable;
    return report;
  }
  if (const Refused why = refusalBeforeOutput(request); why.refusal != Refusal::None) {
    return refused(why);
  }
  return std::nullopt;
}

// The base of keep-my-edits: the one given, else the one kept for the list. False when there is none.
bool findBase(MergeReport& report, const MergeRequest& request, const BaseStore& bases) {
  if (request.policy != MergePolicy::KeepMyEdits) {
    return true;
  }
  report.preferNew = request.preferNew;
  report.base = request.base;
  if (report.base.empty()) {
    const std::optional<fs::path> remembered = bases.baseOf(request.fileToUpdate);
    if (!remembered) {
      return false;
    }
    report.base = *remembered;
    report.baseRemembered = true;
  }
  return true;
}

// After the pass: the reference engine's writes go to the disk at once, the memory engine writes the merged
// list, also after a failure (the keys merged so far are kept); the report says what reached the disk.
void writeMergedList(MergeReport& report, KeyStore& store, MergeEngine engine, FileAccess& files) {
  if (engine == MergeEngine::File) {
    files.setFlushEachWrite(true);
    if (RetryCounter retries; !retries.run([&] { return files.flush(report.output); })) {
      failedAt(report, FailedStep::WriteOutput, report.output, files.lastError());
    }
  }
  if (report.outcome == MergeOutcome::Failed) {
    report.written = Written::CountedLines;
  }
  if (!store.finish()) {
    failedAt(report, FailedStep::WriteOutput, report.output, files.lastError());
    report.written = engine == MergeEngine::File ? Written::CountedLines : Written::Nothing;
    if (report.written == Written::Nothing) {
      report.changeCount = 0;  // none of the lines counted reached the disk
    }
  }
}

}  // namespace

MergeReport runMergeCommand(const MergeRequest& request, MergeHost& host, const MergeOptions& options,
                            FileAccess& files) {
  if (std::optional<MergeReport> report = cannotStart(request)) {
    return std::move(*report);
  }
  files.startMerge();
  BaseStore bases(options.basesFolder, files);
  MergeReport report;
  report.newKeys = request.newKeys;
  if (!findBase(report, request, bases)) {
    return refused({Refusal::NoBase, request.fileToUpdate});
  }
  if (options.dryRun) {
    return dryRun(host, request, std::move(report), files);
  }

  report.output = host.askOutputPath(request.fileToUpdate);
  if (report.output.empty()) {
    return report;
  }
  if (const Refused why = refusalOfOutput(request, report.output); why.refusal != Refusal::None) {
    return refused(why, report.output);
  }
  // Held until the merge has ended, so that two merges into one file never mix their writes.
  const std::unique_ptr<OutputLock> lock =
      OutputLock::acquire(writtenFile(report.output), options.waitForOtherMerge);
  if (!lock) {
    return refused({Refusal::MergeRunning, report.output}, report.output);
  }

  const MergeEngine engine = engineFor(options);
  Base base;
  std::ifstream newKeysFile;
  if (!openNewKeys(report, request.newKeys, newKeysFile, files) || !loadBase(report, request, base, files) ||
      !prepareOutput(report, request.fileToUpdate, engine, files, bases)) {
    return finish(host, std::move(report));
  }
  std::unique_ptr<KeyStore> store =
      openStore(engine, request.fileToUpdate, report.output, options.collectChanges, files);
  if (!store) {
    failedAt(report, FailedStep::ReadList, engine == MergeEngine::File ? report.output : request.fileToUpdate,
             files.lastError());
    return finish(host, std::move(report));
  }

  // The list will hold the new keys' values except the user's own: they are its base once it is written.
  std::optional<NextBase> nextBase;
  if (request.policy == MergePolicy::ReplaceAll || request.policy == MergePolicy::KeepMyEdits) {
    nextBase.emplace(options.basesFolder, files, report.output, request.newKeys);
  }
  // The reference engine writes the output once per key: each write stays atomic, and the output goes to
  // the disk once, at the end, instead of once per key.
  files.setFlushEachWrite(engine != MergeEngine::File);
  runPassInto(report, host, request.policy, *store, newKeysFile,
              options.collectChanges ? recorderInto(report, request.newKeys) : ChangeSink(), base, files);
  writeMergedList(report, *store, engine, files);
  if (report.outcome == MergeOutcome::Merged && nextBase && !nextBase->keep(bases)) {
    report.baseNotKept = true;
  }
  return finish(host, std::move(report));
}

}  // namespace ombrix
