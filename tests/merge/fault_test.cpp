// Faults of the file system at every step that a merge takes: what the user's files hold afterwards.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "ini/file/file_faults.h"
#include "ini/file/ini_file.h"
#include "memory_files.h"
#include "merge/merge_command.h"
#include "merge/merge_messages.h"
#include "planned_faults.h"
#include "test_support.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using test::crlf;
using test::PlannedFaults;
using test::readFile;
using test::TempDir;

const std::string kList = crlf("[A]|k=1|j=2||[B]|x=9||");

struct StepCase {
  const char* name;
  FileStep step;
  int first;  // the first call of the step that belongs to the write-back
};

// SaveKey loads the file (open, read), then writes it back (open, write, rename).
const StepCase kWriteBackSteps[] = {
    {"open", FileStep::Open, 2}, {"write", FileStep::Write, 1}, {"rename", FileStep::Rename, 1}};

// 100 failures of a step are retried; the 101st ends the call and leaves the file as it was.
TEST(Faults, AWriteBackIsRetriedAndNeverLeavesHalfAFile) {
  const std::pair<int, std::string> outcomes[] = {{100, crlf("[A]|k=changed|j=2||[B]|x=9||")}, {101, kList}};
  for (const StepCase& c : kWriteBackSteps) {
    for (const auto& [failures, expected] : outcomes) {
      TempDir dir;
      const fs::path file = dir.file("list.ini", kList);
      PlannedFaults faults(c.step, c.first, failures);
      DiskFileAccess disk(&faults);
      SaveKey(file, "A", "k", "changed", disk);
      EXPECT_EQ(readFile(file), expected) << c.name << ", " << failures << " failures";
      EXPECT_EQ(test::countEntries(dir.path()), 1u) << c.name << ": no temporary file is left behind";
    }
  }
}

// A host that merges in place.
class InPlaceHost final : public MergeHost {
 public:
  fs::path askOutputPath(const fs::path& fileToUpdate) override { return fileToUpdate; }
};

const std::string kNewKeys = crlf("[A]|k=2|n=3|[C]|y=1|");
const std::string kMerged = crlf("[A]|k=2|j=2|n=3||[B]|x=9|||[C]|y=1||");

// Merges the new keys into list.ini in place, in a folder of its own, with the planned faults.
struct FaultyInPlaceMerge {
  FaultyInPlaceMerge(PlannedFaults faults, MergeEngine engine, const std::string& newKeys = kNewKeys) {
    dir.file("new.ini", newKeys);
    dir.file("list.ini", kList);
    DiskFileAccess disk(&faults);
    InPlaceHost host;
    report =
        runMergeCommand({dir / "new.ini", dir / "list.ini", MergePolicy::ReplaceAll}, host, engine, disk);
  }
  std::string list() const { return readFile(dir / "list.ini"); }
  std::string backup() const { return readFile(dir / "list.bak"); }

  TempDir dir;
  MergeReport report;
};

TEST(Faults, ABackupThatCannotBeWrittenStopsTheMergeBeforeTheListIsTouched) {
  for (const FileStep step : {FileStep::Open, FileStep::Write, FileStep::Flush, FileStep::Rename}) {
    const FaultyInPlaceMerge merge({step, 1, 101}, MergeEngine::Memory);
    EXPECT_EQ(merge.report.failedStep, FailedStep::Backup);
    EXPECT_TRUE(merge.report.backup.empty()) << "no backup to speak of";
    EXPECT_EQ(merge.report.changeCount, 0);
    EXPECT_EQ(merge.list(), kList);
    EXPECT_FALSE(fs::exists(merge.dir / "list.bak"));
  }
}

// A merged list that cannot be put on the disk (its flush or its rename fails) is not reported as merged.
TEST(Faults, AFailedWriteOfTheMergedListKeepsTheListAndItsCompleteBackup) {
  // The backup is the first flush and rename, the merged list the second.
  for (const FileStep step : {FileStep::Flush, FileStep::Rename}) {
    const FaultyInPlaceMerge merge({step, 2, 101}, MergeEngine::Memory);
    EXPECT_EQ(merge.report.failedStep, FailedStep::WriteOutput);
    EXPECT_EQ(merge.report.changeCount, 0) << "no line reached the disk";
    EXPECT_EQ(merge.list(), kList);
    EXPECT_EQ(merge.backup(), kList);
    EXPECT_EQ(test::countEntries(merge.dir.path()), 3u);
  }
}

TEST(Faults, EveryEngineWritesTheWholeListWhenStepsFailAFewTimes) {
  for (const MergeEngine engine : {MergeEngine::Memory, MergeEngine::File}) {
    for (const FileStep step :
         {FileStep::Open, FileStep::Read, FileStep::Write, FileStep::Flush, FileStep::Rename}) {
      // The first call of each step, the backup's, succeeds; every later one is retried.
      const FaultyInPlaceMerge merge({step, 2, 50}, engine);
      EXPECT_EQ(merge.report.outcome, MergeOutcome::Merged) << failureMessage(merge.report);
      EXPECT_EQ(merge.list(), kMerged);
      EXPECT_EQ(merge.backup(), kList);
    }
  }
}

// The reference engine when the disk fills up midway: each key written so far stays, whole; nothing after.
TEST(Faults, ADiskThatFillsUpMidwayKeepsTheKeysWrittenSoFar) {
  const std::string newKeys = crlf("[A]|k=2|n=3|[B]|x=8|[C]|y=1|");
  // What the list is after each key write, from the reference engine working in memory.
  std::vector<std::string> states = {kList};
  {
    test::MemoryFiles files;
    files.files["list.ini"] = kList;
    WholeFileKeyStore store("list.ini", files);
    std::istringstream in(newKeys);
    LineReader lines(in);
    runMergePass(lines, store, MergePolicy::ReplaceAll, [&](std::string_view) {
      if (states.back() != files.files["list.ini"]) {
        states.push_back(files.files["list.ini"]);
      }
    });
    states.push_back(files.files["list.ini"]);
  }
  // Writes: the backup copy is the first; key writes follow.
  for (int keysWritten = 0; keysWritten <= 4; ++keysWritten) {
    const FaultyInPlaceMerge merge({FileStep::Write, 2 + keysWritten, 100'000}, MergeEngine::File, newKeys);
    EXPECT_EQ(merge.list(), states[static_cast<std::size_t>(keysWritten)]) << keysWritten << " keys written";
    EXPECT_EQ(merge.backup(), kList);
    EXPECT_EQ(test::countEntries(merge.dir.path()), 3u);
  }
}

}  // namespace
}  // namespace ombrix
