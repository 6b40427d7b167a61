#include "merge/merge_command.h"

#include <functional>
#include <map>

#include "file_fakes.h"
#include "ini/file/ini_file.h"
#include "merge/merge_fixture.h"
#include "merge/merge_messages.h"

namespace ombrix {
namespace {

using test::kMerged;
using test::kNewList;
using test::kUserList;
using test::TwoLists;

class MergeCommand : public testing::Test, protected TwoLists {};

TEST_F(MergeCommand, CopiesToANewOutputOrMergesInPlaceAfterACompleteBackup) {
  host.outputChoice = dir / "merged.ini";
  MergeReport report = merge();
  EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  EXPECT_EQ(report.changeCount, 2);
  EXPECT_EQ(readFile(dir / "merged.ini"), kMerged);
  EXPECT_EQ(readFile(request.fileToUpdate), kUserList);
  EXPECT_FALSE(fs::exists(dir / "Mine.bak"));
  EXPECT_EQ(host.progressLines, 4);
  EXPECT_THAT(host.events, ElementsAre("save dialog proposing Mine.INI", "progress ended"));
  // Another spelling of the same path is still the file to be updated.
  host.outputChoice = dir.path() / "." / "Mine.INI";
  report = merge();
  EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  EXPECT_EQ(readFile(dir / "Mine.bak"), kUserList);
  EXPECT_EQ(readFile(request.fileToUpdate), kMerged);
  EXPECT_EQ(report.backup, dir.path() / "." / "Mine.bak");
}

// On a file system that tells letter case apart (Linux) NEW.ini is another file, which another merge's
// lock of new.ini does not hold up; on one that does not (Windows) it is new.ini itself, and merging it
// with itself is refused.
TEST_F(MergeCommand, NamesThatDifferInCaseAreTheSameFileWhereTheSystemSaysSo) {
  const fs::path otherSpelling = dir / "NEW.ini";
  const bool caseBlind = fs::exists(otherSpelling);
  if (!caseBlind) {
    test::writeFile(otherSpelling, kUserList);
  }
  request.fileToUpdate = host.outputChoice = otherSpelling;
  otherMerge.emplace(request.newKeys);
  const MergeReport report = merge();
  if (caseBlind) {
    EXPECT_EQ(report.refusal, Refusal::SameFile);
  } else {
    EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  }
}

std::map<fs::path, std::string> filesIn(const fs::path& folder) {
  std::map<fs::path, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path()] = readFile(entry.path());
  }
  return files;
}

// Each refusal comes before anything is written: every file in the folder is as it was, and none is added.
TEST(MergeRefusals, LeaveEveryFileAsItWas) {
  const std::string utf16("\xFF\xFE[\0G\0]\0\r\0\n\0", 12);
  const std::string utf16BigEndian("\xFE\xFF\0[\0G\0]\0\r\0\n", 12);
  const struct {
    const char* name;
    Refusal refusal;
    std::function<void(TwoLists&)> arrange;
  } cases[] = {
      {"the list under another spelling of the new keys", Refusal::SameFile,
       [](auto& s) { s.request.fileToUpdate = s.dir.path() / "." / "new.ini"; }},
      {"an output over the new keys", Refusal::SameFile,
       [](auto& s) { s.host.outputChoice = s.request.newKeys; }},
      {"an output over the base", Refusal::OverBase,
       [](auto& s) { s.host.outputChoice = s.keepMyEditsWithBase("old.ini"); }},
      {"a backup over the base", Refusal::OverBase, [](auto& s) { s.keepMyEditsWithBase("Mine.bak"); }},
      {"UTF-16 new keys", Refusal::Utf16, [&](auto& s) { s.request.newKeys = s.dir.file("u.ini", utf16); }},
      {"UTF-16 list, big-endian", Refusal::Utf16,
       [&](auto& s) { s.request.fileToUpdate = s.dir.file("u.ini", utf16BigEndian); }},
      {"UTF-16 base", Refusal::Utf16, [&](auto& s) { s.keepMyEditsWithBase("u.ini", utf16); }},
      {"LF line ends", Refusal::LfLineEnds,
       [](auto& s) { s.request.fileToUpdate = s.dir.file("unix.ini", "[G1]\nSpeed=1\n\n"); }},
      {"CR line ends", Refusal::CrLineEnds,
       [](auto& s) { s.request.fileToUpdate = s.dir.file("mac.ini", "[G1]\rSpeed=1\r\r"); }},
      {"backup over the new keys", Refusal::BackupOverNewKeys,
       [](auto& s) { s.request.newKeys = s.dir.file("Mine.bak", kNewList); }},
      // Where links cannot be made (Wine), the case is not tried.
      {"backup linked to the list", Refusal::BackupOverList,
       [](auto& s) {
         std::error_code error;
         fs::create_symlink(s.request.fileToUpdate, s.dir / "Mine.bak", error);
       }},
      // No write permission bit: refused even for an administrator, who could write it.
      {"read-only list", Refusal::ReadOnly,
       [](auto& s) { fs::permissions(s.request.fileToUpdate, fs::perms::owner_read); }},
      {"read-only output", Refusal::ReadOnly,
       [](auto& s) {
         s.host.outputChoice = s.dir.file("out.ini", "old");
         fs::permissions(s.host.outputChoice, fs::perms::owner_read);
       }},
      {"keep-my-edits without a base", Refusal::NoBase,
       [](auto& s) { s.request.policy = MergePolicy::KeepMyEdits; }},
      {"output in no folder", Refusal::FolderRefusesFiles,
       [](auto& s) { s.host.outputChoice = s.dir / "none" / "out.ini"; }},
      {"a list that another merge writes, named another way", Refusal::MergeRunning,
       [](auto& s) { s.otherMerge.emplace(s.dir.path() / "." / "Mine.INI"); }},
  };
  for (const auto& c : cases) {
    TwoLists s;
    c.arrange(s);
    const std::map<fs::path, std::string> before = filesIn(s.dir.path());
    if (c.refusal == Refusal::BackupOverList && !fs::is_symlink(s.dir / "Mine.bak")) {
      continue;
    }
    const MergeReport report = s.merge();
    EXPECT_EQ(report.refusal, c.refusal) << c.name;
    EXPECT_EQ(report.outcome, MergeOutcome::Refused) << c.name;
    EXPECT_EQ(filesIn(s.dir.path()), before) << c.name;
  }
}

#ifndef _WIN32
// An output made from the list keeps its permission bits with either engine, also when no key is written.
TEST_F(MergeCommand, AnOutputTakesThePermissionsOfTheListItIsMadeFrom) {
  // Group write is a bit the usual umask takes away from a new file: the output must get it back.
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write;
  fs::permissions(request.fileToUpdate, mode);
  const std::string noKeys = crlf("// nothing to write||");
  for (const MergeEngine engine : {MergeEngine::Memory, MergeEngine::File}) {
    for (const std::string& newKeys : {kNewList, noKeys}) {
      test::writeFile(request.newKeys, newKeys);
      host.outputChoice = dir / "out.ini";
      fs::remove(host.outputChoice);
      EXPECT_EQ(runMergeCommand(request, host, engine).outcome, MergeOutcome::Merged);
      EXPECT_EQ(fs::status(host.outputChoice).permissions(), mode);
      if (newKeys == noKeys) {
        EXPECT_EQ(readFile(host.outputChoice), kUserList) << "a copy, though no key was written";
      }
    }
  }
  // An output that is replaced keeps its own permissions.
  fs::permissions(host.outputChoice, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(runMergeCommand(request, host).outcome, MergeOutcome::Merged);
  EXPECT_EQ(fs::status(host.outputChoice).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}
#endif

TEST_F(MergeCommand, NamesTheFirstUnusablePathAndWhy) {
  const fs::path empty = dir.file("empty.ini", "");
  const fs::path mine = request.fileToUpdate;
  const fs::path newKeys = request.newKeys;
  const struct {
    fs::path newKeys, fileToUpdate;
    UnusableFile expected;
  } cases[] = {
      {"", mine, {1, "", FileProblem::Missing}},
      {empty, "", {1, empty, FileProblem::Empty}},
      {dir / "missing.ini", mine, {1, dir / "missing.ini", FileProblem::Missing}},
      {newKeys, empty, {2, empty, FileProblem::Empty}},
      {newKeys, dir.path(), {2, dir.path(), FileProblem::Folder}},
  };
  for (const auto& c : cases) {
    request.newKeys = c.newKeys;
    request.fileToUpdate = c.fileToUpdate;
    const MergeReport report = merge();
    EXPECT_EQ(report.outcome, MergeOutcome::NeedsFile);
    EXPECT_EQ(report.unusableFile.index, c.expected.index) << c.newKeys << " " << c.fileToUpdate;
    EXPECT_EQ(report.unusableFile.path, c.expected.path);
    EXPECT_EQ(report.unusableFile.problem, c.expected.problem) << c.expected.path;
  }
  EXPECT_TRUE(host.events.empty());
}

TEST(MergeMessages, FailuresAreWordedFromWhatReachedTheDisk) {
  MergeReport report;
  report.outcome = MergeOutcome::Failed;
  report.failedStep = FailedStep::ReadNewKeys;
  report.passFailure = "the file with the new keys could not be read";
  report.output = "out.ini";
  report.changeCount = 7;
  report.written = Written::CountedLines;
  EXPECT_EQ(failureMessage(report),
            "The merge stopped early: the file with the new keys could not be read. The 7 lines counted were "
            "written to 'out.ini'; the rest of the new keys was not merged.");
  report.failedStep = FailedStep::OpenNewKeys;
  report.failedPath = "new.ini";
  report.written = Written::CopyOfList;
  report.backup = "Mine.bak";
  EXPECT_EQ(failureMessage(report),
            "Could not open the file with the new keys 'new.ini'. 'out.ini' is a copy of the file to be "
            "updated; no key was merged into it. The backup 'Mine.bak' is complete.");
  // The system's reason follows the step; a file another program holds is named as such.
  report = {};
  report.failedStep = FailedStep::Backup;
  report.failedPath = "Mine.bak";
  report.output = "Mine.ini";
  report.failure = fileErrorFromErrno(ENOSPC);
  EXPECT_EQ(failureMessage(report), "Could not write the backup 'Mine.bak': " + describeFileError(report.failure) +
                                        ". Nothing was written to 'Mine.ini'.");
  report.failure.inSource = true;
  report.failedPath = "Mine.ini";
  EXPECT_EQ(failureMessage(report), "Could not read 'Mine.ini' to back it up: " +
                                        describeFileError(report.failure) + ". Nothing was written to 'Mine.ini'.");
  report.failedStep = FailedStep::WriteOutput;
  report.failure = {FileErrorKind::InUse, EBUSY};
  EXPECT_EQ(failureMessage(report),
            "'Mine.ini' is open in another program. Close it and merge again. Nothing was written to 'Mine.ini'.");
  // A pass that stopped early, and then the write of what it merged failed too: both are told.
  report.failure = fileErrorFromErrno(ENOSPC);
  report.passFailure = "a key could not be written";
  EXPECT_EQ(failureMessage(report), "The merge stopped early: a key could not be written. Could not write the "
                                    "merged list to 'Mine.ini': " + describeFileError(report.failure) +
                                        ". Nothing was written to 'Mine.ini'.");
  EXPECT_EQ(unusableFileMessage({2, "b.ini", FileProblem::Empty}),
            "The file to be updated 'b.ini' is empty.");
  EXPECT_EQ(unusableFileMessage({3, "c.ini", FileProblem::Missing}), "The base 'c.ini' does not exist.");
  EXPECT_EQ(changeCountMessage(12), "12 lines changed.");
}

// Each front end shows its pick of the parts; the window's words name no option of the command line.
TEST(MergeMessages, TheResultComesInTaggedParts) {
  using Kind = ResultPart::Kind;
  MergeReport report;
  report.outcome = MergeOutcome::Merged;
  report.base = "old.ini";
  report.backup = "Mine.bak";
  report.newKeys = "new.ini";
  report.output = "Mine.ini";
  report.baseNotKept = true;
  auto kinds = [&report] {
    std::vector<Kind> found;
    std::ranges::transform(resultParts(report, Audience::Window), std::back_inserter(found), &ResultPart::kind);
    return found;
  };
  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::Base, Kind::Backup, Kind::Count, Kind::Conflicts, Kind::BaseNotKept}));
  EXPECT_EQ(resultParts(report, Audience::Window).back().text,
            "The merge is complete, but the copy of 'new.ini' that a later merge of 'Mine.ini' that keeps your "
            "own edits takes as its base could not be kept; that merge will ask for it.");
  EXPECT_THAT(resultParts(report, Audience::CommandLine).back().text, testing::HasSubstr("will need --base."));
  report.outcome = MergeOutcome::Failed;
  report.base.clear();
  report.backup.clear();
  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::Count, Kind::Failure}));
}

TEST(BackupPath, ReplacesAnIniExtensionInAnyCaseAndAppendsOtherwise) {
  EXPECT_EQ(backupPathFor("/games/Ombrix.INI"), fs::path("/games/Ombrix.bak"));
  EXPECT_EQ(backupPathFor("/games/Game.Ini"), fs::path("/games/Game.bak"));
  EXPECT_EQ(backupPathFor("/games/list.txt"), fs::path("/games/list.txt.bak"));
  EXPECT_EQ(backupPathFor("/games/ini"), fs::path("/games/ini.bak"));
  EXPECT_EQ(backupPathFor(".ini"), fs::path(".bak"));
}

// Merges the two lists in place with the planned faults of the file system's steps.
MergeReport mergeWithFaults(TwoLists& lists, test::PlannedFaults faults, MergeEngine engine) {
  DiskFileAccess disk(&faults);
  disk.setInUseWait([](std::chrono::milliseconds) {});
  return runMergeCommand(lists.request, lists.host, engine, disk);
}

// New keys that cannot be opened and a backup that cannot be written stop the merge before the list is
// touched; a merged list that cannot be put on the disk is not reported as merged, and the list and its
// complete backup stay. Each failure keeps the system's reason; another program's hold is waited out.
TEST(Faults, AStepThatKeepsFailingLeavesTheListAndNoHalfBackup) {
  using Why = FileErrorKind;
  const struct {
    FileStep step;
    int first;  // the new keys are the first open; the backup the next open and the first write, flush
                // and rename; the merged list the second
    FailedStep failed;
    Why why;
  } cases[] = {{FileStep::Open, 1, FailedStep::OpenNewKeys, Why::Permission},
               {FileStep::Open, 2, FailedStep::Backup, Why::Other},
               {FileStep::Write, 1, FailedStep::Backup, Why::NoSpace},
               {FileStep::Flush, 1, FailedStep::Backup, Why::Other},
               {FileStep::Rename, 1, FailedStep::Backup, Why::Other},
               {FileStep::Flush, 2, FailedStep::WriteOutput, Why::Other},
               {FileStep::Rename, 2, FailedStep::WriteOutput, Why::InUse}};
  for (const auto& c : cases) {
    TwoLists lists;
    const MergeReport report = mergeWithFaults(lists, {c.step, c.first, 1000, c.why}, MergeEngine::Memory);
    const bool backedUp = c.failed == FailedStep::WriteOutput;
    EXPECT_EQ(report.failedStep, c.failed) << c.first;
    EXPECT_EQ(report.failure.kind, c.why) << c.first;
    EXPECT_EQ(report.backup.empty(), !backedUp) << "no backup to speak of";
    EXPECT_EQ(report.changeCount, 0) << "no line reached the disk";
    EXPECT_EQ(readFile(lists.request.fileToUpdate), kUserList);
    EXPECT_EQ(fs::exists(lists.dir / "Mine.bak"), backedUp);
    EXPECT_EQ(test::countEntries(lists.dir.path()), backedUp ? 3u : 2u);
    if (backedUp) {
      EXPECT_EQ(readFile(lists.dir / "Mine.bak"), kUserList);
    }
  }
  // The reference engine writes each key through: one that cannot be written ends the merge as a failed
  // write, with the lines written before it.
  TwoLists lists;
  const MergeReport report = mergeWithFaults(lists, {FileStep::Rename, 2, 1000}, MergeEngine::File);
  EXPECT_EQ(report.failedStep, FailedStep::WriteOutput);
  EXPECT_EQ(report.written, Written::CountedLines);
  EXPECT_EQ(report.changeCount, 0);
  EXPECT_EQ(readFile(lists.request.fileToUpdate), kUserList);
}

TEST(Faults, EveryEngineWritesTheWholeListWhenStepsFailAFewTimes) {
  for (const MergeEngine engine : {MergeEngine::Memory, MergeEngine::File}) {
    for (const FileStep step :
         {FileStep::Open, FileStep::Read, FileStep::Write, FileStep::Flush, FileStep::Rename}) {
      // Calls 2 to 51 of the step fail and are retried; the first, for all but Read the backup's, succeeds
      // (for Open the new keys', and the backup's is the second).
      TwoLists lists;
      const MergeReport report = mergeWithFaults(lists, {step, step == FileStep::Open ? 3 : 2, 50}, engine);
      EXPECT_EQ(report.outcome, MergeOutcome::Merged) << failureMessage(report);
      EXPECT_EQ(readFile(lists.request.fileToUpdate), kMerged);
      EXPECT_EQ(readFile(lists.dir / "Mine.bak"), kUserList);
    }
  }
  // The backup is not written again after a plain failure, but another program's brief hold is waited out.
  TwoLists held;
  EXPECT_EQ(mergeWithFaults(held, {FileStep::Rename, 1, 2, FileErrorKind::InUse}, MergeEngine::Memory).outcome,
            MergeOutcome::Merged);
  // The base is read first: a list that took it unchanged keeps its edits as keep-playable merges.
  TwoLists lists;
  lists.keepMyEditsWithBase("old.ini", kUserList);
  EXPECT_EQ(mergeWithFaults(lists, {FileStep::Read, 1, 50}, MergeEngine::Memory).outcome,
            MergeOutcome::Merged);
  EXPECT_EQ(readFile(lists.request.fileToUpdate), kMerged);
}

}  // namespace
}  // namespace ombrix
