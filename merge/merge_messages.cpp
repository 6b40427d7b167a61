#include "merge/merge_messages.h"

#include "ini/file/path_text.h"

namespace ombrix {
namespace fs = std::filesystem;

namespace {

std::string problemWords(FileProblem problem) {
  switch (problem) {
    case FileProblem::Missing:
      return "does not exist";
    case FileProblem::Folder:
      return "is a folder, not a file";
    case FileProblem::NotAFile:
      return "is not a regular file";
    case FileProblem::Empty:
      return "is empty";
    case FileProblem::Unreadable:
      return "cannot be read";
  }
  return "cannot be read";
}

// The system's reason, after the sentence's own words, where the file layer told it.
std::string because(const MergeReport& report) {
  return report.failure.code != 0 ? ": " + describeFileError(report.failure) + "." : ".";
}

std::string whatStopped(const MergeReport& report) {
  const std::string path = quotedPath(report.failedPath);
  if (report.failure.kind == FileErrorKind::InUse) {
    return path + " is open in another program. Close it and merge again.";
  }
  switch (report.failedStep) {
    case FailedStep::Backup:
      if (report.failure.inSource) {
        return "Could not read " + path + " to back it up" + because(report);
      }
      return "Could not write the backup " + path + because(report);
    case FailedStep::CopyToOutput:
      if (report.failure.inSource) {
        return "Could not read " + path + " to copy it to " + quotedPath(report.output) + because(report);
      }
      return "Could not copy the file to be updated to " + path + because(report);
    case FailedStep::OpenNewKeys:
      return "Could not open the file with the new keys " + path + because(report);
    case FailedStep::ReadList:
      return "Could not read " + path + because(report);
    case FailedStep::ReadNewKeys:
      return "The merge stopped early: " + report.passFailure + ".";
    case FailedStep::ReadBase:
      return "Could not read the base " + path + because(report);
    case FailedStep::WriteOutput:
      // After a pass that stopped early too: both are news to the user.
      return (report.passFailure.empty() ? "" : "The merge stopped early: " + report.passFailure + ". ") +
             "Could not write the merged list to " + path + because(report);
    case FailedStep::None:
      break;
  }
  return "The merge failed.";
}

std::string whatReachedTheDisk(const MergeReport& report) {
  switch (report.written) {
    case Written::Nothing:
      return "Nothing was written" + (report.output.empty() ? "" : " to " + quotedPath(report.output)) + ".";
    case Written::CopyOfList:
      return quotedPath(report.output) + " is a copy of the file to be updated; no key was merged into it.";
    case Written::CountedLines:
      return "The " + std::to_string(report.changeCount) + " lines counted were written to " +
             quotedPath(report.output) + "; the rest of the new keys was not merged.";
  }
  return {};
}

}  // namespace

std::string changeCountMessage(std::int32_t changeCount) {
  return std::to_string(changeCount) + " lines changed.";
}

std::string unusableFileMessage(const UnusableFile& file) {
  static constexpr const char* kWhichFile[] = {"The file ", "The file with the new keys ",
                                               "The file to be updated ", "The base "};
  return kWhichFile[file.index >= 1 && file.index <= 3 ? file.index : 0] + quotedPath(file.path) + " " +
         problemWords(file.problem) + ".";
}

std::string refusalMessage(const MergeReport& report) {
  const std::string path = quotedPath(report.refusedPath);
  switch (report.refusal) {
    case Refusal::SameFile:
      return "Both files are the same.";
    case Refusal::LfLineEnds:
      return "The file to be updated has LF line ends, not CR LF: its sections cannot be found, and every "
             "section would be added to it a second time. Nothing was changed. Convert the file to CR LF "
             "line ends (for example with unix2dos) and merge again.";
    case Refusal::CrLineEnds:
      return "The file to be updated has CR line ends, not CR LF: its sections cannot be found, and every "
             "section would be added to it a second time. Nothing was changed. Convert the file to CR LF "
             "line ends and merge again.";
    case Refusal::Utf16:
      return path +
             " is UTF-16 text; the merge reads 8-bit text only. Nothing was changed. Save the list as "
             "8-bit text (ANSI or UTF-8) and merge again.";
    case Refusal::BackupOverNewKeys:
      return "The backup of the file to be updated would replace the file with the new keys.";
    case Refusal::BackupOverList:
      return "The backup " + quotedPath(backupPathFor(report.output)) +
             " leads back to the file to be updated itself, so no copy of it would be kept. Nothing was "
             "changed.";
    case Refusal::ReadOnly:
      return path + " is read-only. Nothing was changed. Make it writable, or merge into another file.";
    case Refusal::MergeRunning:
      return "Another merge is writing " + path + ". Nothing was changed. Merge again when it has finished.";
    case Refusal::FolderRefusesFiles:
      return "The folder " + path +
             " does not let new files be made in it, and the merge writes its result there first. Nothing "
             "was changed. Merge into a file in another folder.";
    case Refusal::NoBase:
      return "No base is kept for " + path +
             ": it was never merged with --policy " + policyName(MergePolicy::ReplaceAll) + " or " +
             policyName(MergePolicy::KeepMyEdits) + ", or it was moved since. "
             "Nothing was changed. Name the newer list it last took its keys from with --base BASE.";
    case Refusal::OverBase:
      return "The merged list or its backup would replace the base " + path +
             ". Nothing was changed. Keep the base under another name, or merge into another file.";
    case Refusal::None:
      break;
  }
  return {};
}

std::string failureMessage(const MergeReport& report) {
  std::string message = whatStopped(report) + " " + whatReachedTheDisk(report);
  if (!report.backup.empty()) {
    message += " The backup " + quotedPath(report.backup) + " is complete.";
  }
  return message;
}

namespace {

std::string baseMessage(const MergeReport& report) {
  return report.baseRemembered
             ? "Base: " + quotedPath(report.base) + ", kept from the last merge of this list."
             : "Base: " + quotedPath(report.base) + ".";
}

std::string conflictsMessage(const MergeReport& report) {
  const std::size_t count = report.conflicts.size();
  if (count == 0) {
    return "No conflicts.";
  }
  const bool one = count == 1;
  return std::to_string(count) + (one ? " conflict: " : " conflicts: ") +
         (report.preferNew ? (one ? "the newer value taken." : "the newer values taken.")
                           : (one ? "your value kept." : "your values kept."));
}

std::string baseNotKeptMessage(const MergeReport& report, Audience audience) {
  const std::string nextMerge = audience == Audience::CommandLine
                                    ? "a later --policy " + policyName(MergePolicy::KeepMyEdits) +
                                          " merge of " + quotedPath(report.output) +
                                          " takes as its base could not be kept; that merge will need --base."
                                    : "a later merge of " + quotedPath(report.output) +
                                          " that keeps your own edits takes as its base could not be kept; "
                                          "that merge will ask for it.";
  return "The merge is complete, but the copy of " + quotedPath(report.newKeys) + " that " + nextMerge;
}

}  // namespace

std::vector<ResultPart> resultParts(const MergeReport& report, Audience audience) {
  using Kind = ResultPart::Kind;
  const bool keptEdits = !report.base.empty();
  std::vector<ResultPart> parts;
  if (keptEdits) {
    parts.push_back({Kind::Base, baseMessage(report)});
  }
  if (!report.backup.empty()) {
    parts.push_back({Kind::Backup, "Backup written to " + quotedPath(report.backup) + "."});
  }
  parts.push_back({Kind::Count, changeCountMessage(report.changeCount)});
  if (keptEdits) {
    parts.push_back({Kind::Conflicts, conflictsMessage(report)});
  }
  if (report.outcome == MergeOutcome::Failed) {
    parts.push_back({Kind::Failure, failureMessage(report)});
  } else if (report.baseNotKept) {
    parts.push_back({Kind::BaseNotKept, baseNotKeptMessage(report, audience)});
  }
  return parts;
}

}  // namespace ombrix
