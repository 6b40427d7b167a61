#include "cli/cli_app.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string_view>
#include <system_error>

#include "ini/file/file_access.h"
#include "ini/file/path_text.h"
#include "merge/change_report.h"
#include "merge/list_check.h"
#include "merge/merge_command.h"
#include "merge/merge_messages.h"
#include "merge/undo.h"

namespace ombrix {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProgram = "ombrix-merge";

constexpr std::string_view kUsage =
    "Usage: ombrix-merge [--policy replace-all|keep-playable|keep-existing] [-o OUTPUT]\n"
    "                    [--engine memory|file] [--dry-run | --report] [--quiet] NEW_KEYS FILE_TO_UPDATE\n"
    "       ombrix-merge --policy keep-my-edits [--base BASE] [--prefer-new] [--fail-on-conflict]\n"
    "                    [-o OUTPUT] [--engine memory|file] [--dry-run | --report] [--quiet]\n"
    "                    NEW_KEYS FILE_TO_UPDATE\n"
    "       ombrix-merge --check FILE\n"
    "       ombrix-merge --undo FILE\n";

constexpr std::string_view kHelp =
    "Copies the keys of NEW_KEYS, a newer copy of a game list, into FILE_TO_UPDATE, your own copy,\n"
    "one key at a time, and keeps every other byte of your file as it was.\n"
    "\n"
    "Options:\n"
    "  --policy POLICY  which keys are written:\n"
    "                     replace-all    every key gets the new value\n"
    "                     keep-playable  games whose Comment says Playable are left alone (default)\n"
    "                     keep-existing  only keys your file lacks, or has empty, are written\n"
    "                     keep-my-edits  every change the newer list made since BASE, except\n"
    "                                    where you changed the key yourself (a three-way merge)\n"
    "  --base BASE      keep-my-edits: the newer list as it was when your file last took its keys;\n"
    "                   without it, the copy kept by the last replace-all or keep-my-edits merge\n"
    "                   that wrote FILE_TO_UPDATE\n"
    "  --prefer-new     keep-my-edits: where you and the newer list changed a key each in another\n"
    "                   way (a conflict), take the newer value instead of keeping yours\n"
    "  --fail-on-conflict\n"
    "                   keep-my-edits: exit with status 3 when there was a conflict\n"
    "  -o, --output OUTPUT\n"
    "                   write the merged list to OUTPUT, which starts as a copy of FILE_TO_UPDATE;\n"
    "                   without it FILE_TO_UPDATE is merged in place after a backup copy\n"
    "                   (name.ini is backed up as name.bak, any other name as name.bak added)\n"
    "  --engine ENGINE  memory: read your file once, merge in memory, write it once (default)\n"
    "                   file: the slow reference mode, which reads and rewrites the whole file\n"
    "                   on disk for every key line, as the text store is defined; same result\n"
    "  --dry-run        merge in memory and write nothing; list what would change\n"
    "  --report         merge, then list what changed\n"
    "                   (both list by section: + key added, ~ value changed, - key deleted)\n"
    "  -q, --quiet      no progress line on a terminal\n"
    "  --check FILE     list what in FILE would make a merge misbehave, with line numbers\n"
    "  --undo FILE      after an in-place merge of FILE: put its backup back over it, and keep\n"
    "                   the merged version as FILE with the extension .merged\n"
    "  -h, --help       this text\n"
    "  --version        the version of ombrix-merge\n"
    "\n"
    "A merge prints \"N lines changed.\", the number of key lines written (with --dry-run and\n"
    "--report followed by \"M effective changes.\").\n"
    "keep-my-edits then says how many conflicts there were; --dry-run and --report list them with\n"
    "the base, your and the newer value, and the games you deleted and the keys the newer list\n"
    "dropped, which are all left as they are in your file.\n"
    "Exit status: 0 merged, conflicts or not (--check: nothing found), 1 error (nothing written\n"
    "unless the files were usable; --check: something found), 2 wrong usage, 3 merged with\n"
    "conflicts under --fail-on-conflict.\n"
    "\n"
    "A replace-all or keep-my-edits merge keeps a copy of NEW_KEYS as the base of the list it wrote,\n"
    "in the user's data folder (ombrix-merger/bases); deleting it is harmless.\n";

struct CliOptions {
  MergePolicy policy = MergePolicy::KeepPlayable;
  std::optional<fs::path> base;
  bool preferNew = false;
  bool failOnConflict = false;
  MergeEngine engine = MergeEngine::Memory;
  bool dryRun = false;
  bool report = false;
  std::optional<std::string> check;  // --check FILE
  std::optional<std::string> undo;   // --undo FILE
  std::optional<fs::path> output;
  bool quiet = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> files;
};

MergeOptions mergeOptionsOf(const CliOptions& options) {
  MergeOptions mergeOptions(options.engine);
  mergeOptions.dryRun = options.dryRun;
  mergeOptions.collectChanges = options.report;
  return mergeOptions;
}

// Options that each work but not together; returns the reason.
std::optional<std::string> checkCombination(const CliOptions& options) {
  if (options.check || options.undo) {
    if (options.check && options.undo) {
      return "--check and --undo each stand alone";
    }
    return options.files.empty() ? std::nullopt
                                 : std::optional<std::string>("--check and --undo take one file");
  }
  if (!options.help && !options.version && options.files.size() != 2) {
    return "expected NEW_KEYS and FILE_TO_UPDATE";
  }
  if (options.dryRun && options.report) {
    return "--dry-run writes nothing, so there is nothing to --report; use one of them";
  }
  if (engineFor(mergeOptionsOf(options)) != options.engine) {
    return "--dry-run and --report use the memory engine, which knows what each key write changed";
  }
  if (options.dryRun && options.output) {
    return "--dry-run writes nothing; leave out -o";
  }
  if ((options.base || options.preferNew || options.failOnConflict) &&
      options.policy != MergePolicy::KeepMyEdits) {
    return "--base, --prefer-new and --fail-on-conflict go with --policy " +
           policyName(MergePolicy::KeepMyEdits);
  }
  return std::nullopt;
}

// Parses args into options; on wrong usage returns the reason.
std::optional<std::string> parseArgs(const std::vector<std::string>& args, CliOptions& options) {
  bool onlyFiles = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    auto valueOf = [&](std::string_view option) -> std::optional<std::string> {
      if (arg.size() > option.size() && arg.starts_with(option) && arg[option.size()] == '=') {
        return std::string(arg.substr(option.size() + 1));
      }
      if (arg == option && i + 1 < args.size()) {
        return args[++i];
      }
      return std::nullopt;
    };
    if (onlyFiles || arg == "-" || !arg.starts_with('-')) {
      options.files.emplace_back(arg);
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg.starts_with("--policy")) {
      const std::optional<std::string> name = valueOf("--policy");
      const std::optional<MergePolicy> policy = name ? policyNamed(*name) : std::nullopt;
      if (!policy) {
        return "--policy needs one of " + policyNameList();
      }
      options.policy = *policy;
    } else if (arg == "--prefer-new") {
      options.preferNew = true;
    } else if (arg == "--fail-on-conflict") {
      options.failOnConflict = true;
    } else if (arg.starts_with("--base")) {
      const std::optional<std::string> base = valueOf("--base");
      if (!base || base->empty()) {
        return "--base needs a file name";
      }
      options.base = pathFromText(*base);
    } else if (arg == "--dry-run") {
      options.dryRun = true;
    } else if (arg == "--report") {
      options.report = true;
    } else if (arg.starts_with("--check") || arg.starts_with("--undo")) {
      const bool isCheck = arg.starts_with("--check");
      std::optional<std::string> file = valueOf(isCheck ? "--check" : "--undo");
      if (!file || file->empty()) {
        return std::string(isCheck ? "--check" : "--undo") + " needs a file name";
      }
      (isCheck ? options.check : options.undo) = std::move(file);
    } else if (arg.starts_with("--engine")) {
      const std::optional<std::string> name = valueOf("--engine");
      if (!name || (*name != "memory" && *name != "file")) {
        return "--engine needs memory or file";
      }
      options.engine = *name == "file" ? MergeEngine::File : MergeEngine::Memory;
    } else if (arg == "-o" || arg.starts_with("--output")) {
      std::optional<std::string> output = arg == "-o" ? valueOf("-o") : valueOf("--output");
      if (!output || output->empty()) {
        return std::string(arg) + " needs a file name";
      }
      options.output = pathFromText(*output);
    } else {
      return "unknown option " + std::string(arg);
    }
  }
  return checkCombination(options);
}

// Lists the findings of --check as FILE:LINE: message.
int checkFile(const fs::path& file, std::ostream& out, std::ostream& err) {
  if (const std::optional<FileProblem> problem = problemWith(file)) {
    err << kProgram << ": " << unusableFileMessage({0, file, *problem}) << '\n';
    return kExitFailure;
  }
  std::string bytes;
  if (!diskFileAccess().readAll(file, bytes)) {
    err << kProgram << ": " << quotedPath(file) << " cannot be read\n";
    return kExitFailure;
  }
  const std::vector<ListFinding> findings = checkList(bytes);
  for (const ListFinding& finding : findings) {
    out << textOfPath(file) << ':' << finding.line << ": " << escapeForTerminal(finding.message) << '\n';
  }
  if (findings.empty()) {
    out << textOfPath(file) << ": nothing found that would make a merge misbehave.\n";
    return kExitSuccess;
  }
  out << findings.size() << (findings.size() == 1 ? " finding.\n" : " findings.\n");
  return kExitFailure;
}

class CliHost final : public MergeHost {
 public:
  CliHost(const CliOptions& options, std::ostream& err, bool showProgressLine)
      : options_(options), err_(err), showProgressLine_(showProgressLine) {}

  fs::path askOutputPath(const fs::path& fileToUpdate) override {
    return options_.output.value_or(fileToUpdate);
  }

  bool showsProgress() const override { return showProgressLine_; }

  // The clock is read every few hundred lines only: reading it for every line would cost more than the line.
  void showProgress(std::string_view text) override {
    if (!showProgressLine_ || (drawn_ && ++linesSinceClock_ < kLinesPerClockReading)) {
      return;
    }
    linesSinceClock_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDrawn_ < kRedrawInterval) {
      return;
    }
    err_ << '\r' << text << std::flush;
    drawn_ = true;
    lastDrawn_ = now;
  }

  void endProgress() override {
    if (drawn_) {
      err_ << "\r\033[K" << std::flush;
    }
  }

 private:
  static constexpr auto kRedrawInterval = std::chrono::milliseconds(30);
  static constexpr int kLinesPerClockReading = 256;

  const CliOptions& options_;
  std::ostream& err_;
  bool showProgressLine_;
  bool drawn_ = false;
  int linesSinceClock_ = 0;
  std::chrono::steady_clock::time_point lastDrawn_;
};

// Prints what a merge did: the backup, the changes when asked for, the count, and what went wrong.
int printReport(const MergeReport& report, const CliOptions& options, std::ostream& out, std::ostream& err) {
  const bool listChanges = options.dryRun || options.report;
  switch (report.outcome) {
    case MergeOutcome::Merged:
    case MergeOutcome::Failed:
      for (const ResultPart& part : resultParts(report, Audience::CommandLine)) {
        switch (part.kind) {
          case ResultPart::Kind::Base:
          case ResultPart::Kind::Backup:
            out << part.text << '\n';
            break;
          case ResultPart::Kind::Count:
            if (listChanges) {
              writeChanges(report.changes, [&out](std::string_view piece) {
                out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
              });
            }
            out << part.text << '\n';
            if (listChanges) {
              out << countEffectiveChanges(report.changes) << " effective changes."
                  << (options.dryRun ? " Nothing was written." : "") << '\n';
            }
            break;
          case ResultPart::Kind::Conflicts:
            out << part.text << '\n';
            if (listChanges) {
              out << formatThreeWayFindings(report);
            }
            break;
          case ResultPart::Kind::Failure:
          case ResultPart::Kind::BaseNotKept:
            err << kProgram << ": " << part.text << '\n';
            break;
        }
      }
      if (report.outcome == MergeOutcome::Failed) {
        return kExitFailure;
      }
      return options.failOnConflict && !report.conflicts.empty() ? kExitConflict : kExitSuccess;
    case MergeOutcome::Refused:
      err << kProgram << ": " << refusalMessage(report) << '\n';
      return kExitFailure;
    case MergeOutcome::NeedsFile:
      err << kProgram << ": " << unusableFileMessage(report.unusableFile) << '\n';
      return kExitFailure;
    case MergeOutcome::Cancelled:
      return kExitFailure;
  }
  return kExitFailure;
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, CliTerminal terminal) {
  CliOptions options;
  if (const std::optional<std::string> problem = parseArgs(args, options)) {
    err << kProgram << ": " << *problem << '\n' << kUsage << "Try 'ombrix-merge --help'.\n";
    return kExitUsage;
  }
  if (options.version) {
    out << kProgram << ' ' << kVersion << '\n';
    return kExitSuccess;
  }
  if (options.help) {
    out << kUsage << '\n' << kHelp;
    return kExitSuccess;
  }

  if (options.check) {
    return checkFile(pathFromText(*options.check), out, err);
  }
  if (options.undo) {
    const UndoResult undone = undoMerge(pathFromText(*options.undo));
    (undone.done ? out : err) << (undone.done ? "" : std::string(kProgram) + ": ") << undone.message << '\n';
    return undone.done ? kExitSuccess : kExitFailure;
  }

  CliHost host(options, err, terminal.errorIsTerminal && !options.quiet);
  MergeRequest request;
  request.newKeys = pathFromText(options.files[0]);
  request.fileToUpdate = pathFromText(options.files[1]);
  request.policy = options.policy;
  request.base = options.base.value_or(fs::path());
  request.preferNew = options.preferNew;
  return printReport(runMergeCommand(request, host, mergeOptionsOf(options)), options, out, err);
}

}  // namespace ombrix
