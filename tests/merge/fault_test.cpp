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

// A backup that cannot be written stops the merge before the list is touched; a merged list that cannot be
// put on the disk is not reported as merged, and the list and its complete backup stay.
TEST(Faults, AStepThatKeepsFailingLeavesTheListAndNoHalfBackup) {
  const struct {
    FileStep step;
    int first;  // the backup is the first write, flush and rename; the merged list the second
    FailedStep failed;
  } cases[] = {{FileStep::Open, 1, FailedStep::Backup},       {FileStep::Write, 1, FailedStep::Backup},
               {FileStep::Flush, 1, FailedStep::Backup},      {FileStep::Rename, 1, FailedStep::Backup},
               {FileStep::Flush, 2, FailedStep::WriteOutput}, {FileStep::Rename, 2, FailedStep::WriteOutput}};
  for (const auto& c : cases) {
    const FaultyInPlaceMerge merge({c.step, c.first, 101}, MergeEngine::Memory);
    const bool backedUp = c.failed != FailedStep::Backup;
    EXPECT_EQ(merge.report.failedStep, c.failed) << c.first;
    EXPECT_EQ(merge.report.backup.empty(), !backedUp) << "no backup to speak of";
    EXPECT_EQ(merge.report.changeCount, 0) << "no line reached the disk";
    EXPECT_EQ(merge.list(), kList);
    EXPECT_EQ(fs::exists(merge.dir / "list.bak"), backedUp);
    EXPECT_EQ(test::countEntries(merge.dir.path()), backedUp ? 3u : 2u);
    if (backedUp) {
      EXPECT_EQ(merge.backup(), kList);
    }
  }
}

TEST(Faults, EveryEngineWritesTheWholeListWhenStepsFailAFewTimes) {
  for (const MergeEngine engine : {MergeEngine::Memory, MergeEngine::File}) {
    for (const FileStep step :
         {FileStep::Open, FileStep::Read, FileStep::Write, FileStep::Flush, FileStep::Rename}) {
      // Calls 2 to 51 of the step fail and are retried; the first, for all but Read the backup's, succeeds.
      const FaultyInPlaceMerge merge({step, 2, 50}, engine);
      EXPECT_EQ(merge.report.outcome, MergeOutcome::Merged) << failureMessage(merge.report);
      EXPECT_EQ(merge.list(), kMerged);
      EXPECT_EQ(merge.backup(), kList);
    }
  }
}

}  // namespace
}  // namespace ombrix
