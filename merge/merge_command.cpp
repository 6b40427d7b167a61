#include "merge/merge_command.h"

#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "ini/path_text.h"

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

std::string describe(const fs::path& path) {
  return "'" + textOfPath(path) + "'";
}

// Backs the file to be updated up when it is merged in place. Otherwise the reference engine first copies it
// to the output, where it then reads and writes every key; the memory engine reads the file to be updated
// itself and writes the output once, so it needs no copy. Returns the failure, or the empty string.
std::string prepareOutput(MergeReport& report, const fs::path& fileToUpdate, MergeEngine engine,
                          FileAccess& files) {
  if (isSameFile(report.output, fileToUpdate)) {
    report.backup = backupPathFor(report.output);
    if (!files.copyFile(fileToUpdate, report.backup)) {
      return "could not write the backup " + describe(report.backup);
    }
    return {};
  }
  if (engine == MergeEngine::Memory) {
    return {};
  }
  if (!files.copyFile(fileToUpdate, report.output)) {
    return "could not copy " + describe(fileToUpdate) + " to " + describe(report.output);
  }
  return {};
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
  host.showMessage(changeCountMessage(report.changeCount));
  return report;
}

MergeReport endedWith(MergeOutcome outcome) {
  MergeReport report;
  report.outcome = outcome;
  return report;
}

ChangeSink recorderInto(std::vector<ChangeRecord>& changes) {
  return [&changes](std::string_view section, std::string_view key, std::string_view value,
                    const KeyChange& change) {
    changes.push_back({std::string(section), std::string(key), std::string(value),
                       std::string(change.oldValue), change.kind, change.sectionAdded});
  };
}

// Runs the pass over the new keys into store, and puts its count and how it ended into the report.
void runPassInto(MergeReport& report, MergeHost& host, KeyStore& store, std::istream& newKeys,
                 const ChangeSink& changes) {
  LineReader lines(newKeys);
  ProgressCallback progress;
  if (host.showsProgress()) {
    progress = [&host](std::string_view text) { host.showProgress(text); };
  }
  const PassResult pass = runMergePass(lines, store, host.policy(), progress, changes);
  report.changeCount = pass.changeCount;
  report.outcome = pass.completed ? MergeOutcome::Merged : MergeOutcome::Failed;
  report.failure = pass.failure;
}

// The merge in memory from the file to be updated, with every change kept and nothing written.
MergeReport dryRun(MergeHost& host, const fs::path& fileToUpdate, const fs::path& newKeys,
                   FileAccess& files) {
  MergeReport report;
  report.outcome = MergeOutcome::Failed;
  MemoryKeyStore store(fileToUpdate, files);
  store.trackChanges();
  std::ifstream newKeysFile(newKeys, std::ios::binary);
  if (!store.load() || !newKeysFile) {
    report.failure = "could not read " + describe(!newKeysFile ? newKeys : fileToUpdate);
    return finish(host, std::move(report));
  }
  runPassInto(report, host, store, newKeysFile, recorderInto(report.changes));
  return finish(host, std::move(report));
}

MergeReport refuse(MergeHost& host, std::string_view message) {
  host.showMessage(message);
  return endedWith(MergeOutcome::Refused);
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

// Reads in pieces and stops at the first CR LF, which is on the first line of any ordinary list.
bool hasOnlyLfLineEnds(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> buffer(64 * 1024);
  char previous = '\0';
  bool lineFeed = false;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto count = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i < count; ++i) {
      if (buffer[i] == '\n') {
        if (previous == '\r') {
          return false;
        }
        lineFeed = true;
      }
      previous = buffer[i];
    }
  }
  return lineFeed;
}

bool isSameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const bool same = fs::equivalent(a, b, error);
  return !error && same;
}

std::string changeCountMessage(std::int32_t changeCount) {
  return std::to_string(changeCount) + " lines changed.";
}

MergeReport runMergeCommand(MergeHost& host, const MergeOptions& options, FileAccess& files) {
  const MergeEngine engine = options.dryRun || options.collectChanges ? MergeEngine::Memory : options.engine;
  const fs::path newKeys = host.newKeysPath();
  const fs::path fileToUpdate = host.fileToUpdatePath();
  if (newKeys.empty() || !fileHasContent(newKeys)) {
    host.browseForFile(1);
    return endedWith(MergeOutcome::NeedsFile);
  }
  if (fileToUpdate.empty() || !fileHasContent(fileToUpdate)) {
    host.browseForFile(2);
    return endedWith(MergeOutcome::NeedsFile);
  }
  if (isSameFile(newKeys, fileToUpdate)) {
    return refuse(host, kSameFileMessage);
  }
  if (hasOnlyLfLineEnds(fileToUpdate)) {
    return refuse(host, kLfLineEndsMessage);
  }

  if (options.dryRun) {
    return dryRun(host, fileToUpdate, newKeys, files);
  }

  MergeReport report;
  report.output = host.askOutputPath(fileToUpdate);
  if (report.output.empty()) {
    return report;
  }
  // Copying over the file with the new keys would destroy it before it is read.
  if (isSameFile(report.output, newKeys)) {
    return refuse(host, kSameFileMessage);
  }
  if (isSameFile(report.output, fileToUpdate) && isSameFile(backupPathFor(report.output), newKeys)) {
    return refuse(host, kBackupOverNewKeysMessage);
  }

  report.outcome = MergeOutcome::Failed;
  report.failure = prepareOutput(report, fileToUpdate, engine, files);
  if (!report.failure.empty()) {
    return finish(host, std::move(report));
  }
  std::ifstream newKeysFile(newKeys, std::ios::binary);
  if (!newKeysFile) {
    report.failure = "could not open " + describe(newKeys);
    return finish(host, std::move(report));
  }

  std::unique_ptr<KeyStore> store =
      openStore(engine, fileToUpdate, report.output, options.collectChanges, files);
  if (!store) {
    report.failure = "could not read " + describe(engine == MergeEngine::File ? report.output : fileToUpdate);
    return finish(host, std::move(report));
  }

  runPassInto(report, host, *store, newKeysFile,
              options.collectChanges ? recorderInto(report.changes) : ChangeSink());
  // Also after a failure: the keys merged so far are kept.
  if (!store->finish()) {
    report.outcome = MergeOutcome::Failed;
    report.failure = "could not write the merged list to " + describe(report.output);
    report.changeCount = 0;  // none of the lines counted reached the disk
  }
  return finish(host, std::move(report));
}

}  // namespace ombrix
