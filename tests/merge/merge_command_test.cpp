#include "merge/merge_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using test::crlf;
using test::readFile;
using test::TempDir;
using testing::ElementsAre;

// A host that answers from fixed paths and records what the command asked of it.
class FakeHost final : public MergeHost {
 public:
  fs::path newKeys;
  fs::path fileToUpdate;
  fs::path outputChoice;
  MergePolicy chosenPolicy = MergePolicy::KeepPlayable;
  std::vector<std::string> events;
  int progressLines = 0;

  fs::path newKeysPath() override { return newKeys; }
  fs::path fileToUpdatePath() override { return fileToUpdate; }
  MergePolicy policy() override { return chosenPolicy; }
  void browseForFile(int index) override { events.push_back("browse " + std::to_string(index)); }
  fs::path askOutputPath(const fs::path& proposed) override {
    events.push_back("save dialog proposing " + proposed.filename().string());
    return outputChoice;
  }
  void showProgress(std::string_view) override { ++progressLines; }
  void endProgress() override { events.emplace_back("progress ended"); }
  void showMessage(std::string_view text) override { events.emplace_back(text); }
};

const std::string kUserList = crlf("[G1]|Comment=Unplayable|Speed=1||");
const std::string kNewList = crlf("[G1]|Speed=2|[G2]|Speed=3|");

class MergeCommand : public testing::Test {
 protected:
  TempDir dir;
  FakeHost host;

  void SetUp() override {
    host.newKeys = dir.file("new.ini", kNewList);
    host.fileToUpdate = dir.file("Mine.INI", kUserList);
  }
};

TEST_F(MergeCommand, CopiesToANewOutputAndLeavesTheUsersFileAlone) {
  host.outputChoice = dir / "merged.ini";
  const MergeReport report = runMergeCommand(host);
  EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  EXPECT_EQ(report.changeCount, 2);
  EXPECT_EQ(readFile(dir / "merged.ini"), crlf("[G1]|Comment=Unplayable|Speed=2||||[G2]|Speed=3||"));
  EXPECT_EQ(readFile(host.fileToUpdate), kUserList);
  EXPECT_FALSE(fs::exists(dir / "Mine.bak"));
  EXPECT_EQ(host.progressLines, 4);
  EXPECT_THAT(host.events,
              ElementsAre("save dialog proposing Mine.INI", "progress ended", "2 lines changed."));
}

TEST_F(MergeCommand, MergesInPlaceAfterACompleteBackup) {
  // Another spelling of the same path is still the file to be updated.
  host.outputChoice = dir.path() / "." / "Mine.INI";
  const MergeReport report = runMergeCommand(host);
  EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  EXPECT_EQ(readFile(dir / "Mine.bak"), kUserList);
  EXPECT_EQ(readFile(host.fileToUpdate), crlf("[G1]|Comment=Unplayable|Speed=2||||[G2]|Speed=3||"));
  EXPECT_EQ(report.backup, dir.path() / "." / "Mine.bak");
}

TEST_F(MergeCommand, RefusesTheSameFileUnderAnotherSpelling) {
  host.fileToUpdate = dir.path() / "." / "new.ini";
  const MergeReport report = runMergeCommand(host);
  EXPECT_EQ(report.outcome, MergeOutcome::Refused);
  EXPECT_THAT(host.events, ElementsAre("Both files are the same."));
}

// On a file system that tells letter case apart (Linux) NEW.ini is another file; on one that does not
// (Windows) it is new.ini itself, and merging it with itself is refused.
TEST_F(MergeCommand, NamesThatDifferInCaseAreTheSameFileWhereTheSystemSaysSo) {
  const fs::path otherSpelling = dir / "NEW.ini";
  const bool caseBlind = fs::exists(otherSpelling);
  if (!caseBlind) {
    test::writeFile(otherSpelling, kUserList);
  }
  host.fileToUpdate = otherSpelling;
  host.outputChoice = dir / "out.ini";
  const MergeReport report = runMergeCommand(host);
  if (caseBlind) {
    EXPECT_EQ(report.outcome, MergeOutcome::Refused);
    EXPECT_THAT(host.events, ElementsAre("Both files are the same."));
  } else {
    EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  }
}

TEST_F(MergeCommand, RefusesToWriteOverTheNewKeysFile) {
  host.outputChoice = host.newKeys;
  EXPECT_EQ(runMergeCommand(host).outcome, MergeOutcome::Refused);
  EXPECT_THAT(host.events, ElementsAre("save dialog proposing Mine.INI", "Both files are the same."));
  EXPECT_EQ(readFile(host.newKeys), kNewList);
}

TEST_F(MergeCommand, RefusesABackupThatWouldReplaceTheNewKeysFile) {
  host.newKeys = dir.file("Mine.bak", kNewList);
  host.outputChoice = host.fileToUpdate;
  EXPECT_EQ(runMergeCommand(host).outcome, MergeOutcome::Refused);
  EXPECT_EQ(readFile(host.newKeys), kNewList);
  EXPECT_EQ(readFile(host.fileToUpdate), kUserList);
}

TEST_F(MergeCommand, RefusesAListWithLfLineEndsBeforeWritingAnything) {
  host.fileToUpdate = dir.file("Unix.ini", "[G1]\nComment=Unplayable\nSpeed=1\n\n");
  host.outputChoice = host.fileToUpdate;
  EXPECT_EQ(runMergeCommand(host).outcome, MergeOutcome::Refused);
  EXPECT_THAT(host.events, ElementsAre(std::string(kLfLineEndsMessage)));
  EXPECT_EQ(readFile(host.fileToUpdate), "[G1]\nComment=Unplayable\nSpeed=1\n\n");
  EXPECT_FALSE(fs::exists(dir / "Unix.bak"));
}

TEST(LfLineEnds, OnlyAFileWithoutAnyCrLfCounts) {
  TempDir dir;
  EXPECT_TRUE(hasOnlyLfLineEnds(dir.file("lf.ini", "[A]\nk=1\n")));
  EXPECT_FALSE(hasOnlyLfLineEnds(dir.file("crlf.ini", "[A]\r\nk=1\r\n")));
  EXPECT_FALSE(hasOnlyLfLineEnds(dir.file("mixed.ini", "[A]\nk=1\r\n")));
  EXPECT_FALSE(hasOnlyLfLineEnds(dir.file("one-line.ini", "[A]")));
  EXPECT_FALSE(hasOnlyLfLineEnds(dir.file("cr.ini", "[A]\rk=1\r")));
  // A CR LF split between two reads of the file still counts.
  const std::string late(64 * 1024 - 3, 'x');  // the CR is the last byte of the first read
  EXPECT_FALSE(hasOnlyLfLineEnds(dir.file("late.ini", "a\n" + late + "\r\n")));
}

TEST_F(MergeCommand, AsksForTheFirstUnusablePathOnly) {
  const fs::path empty = dir.file("empty.ini", "");
  const std::pair<fs::path, fs::path> cases[] = {
      {"", host.fileToUpdate},
      {empty, ""},
      {dir / "missing.ini", host.fileToUpdate},
      {host.newKeys, empty},
      {host.newKeys, dir.path()},
  };
  const char* expected[] = {"browse 1", "browse 1", "browse 1", "browse 2", "browse 2"};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    host.events.clear();
    host.newKeys = cases[i].first;
    host.fileToUpdate = cases[i].second;
    EXPECT_EQ(runMergeCommand(host).outcome, MergeOutcome::NeedsFile);
    EXPECT_THAT(host.events, ElementsAre(expected[i])) << i;
  }
}

TEST_F(MergeCommand, CancelledSaveDialogTouchesNothing) {
  host.outputChoice.clear();
  EXPECT_EQ(runMergeCommand(host).outcome, MergeOutcome::Cancelled);
  EXPECT_THAT(host.events, ElementsAre("save dialog proposing Mine.INI"));
  EXPECT_EQ(test::countEntries(dir.path()), 2u);
}

TEST_F(MergeCommand, FailedCopyReportsZeroAndRestoresTheProgressDisplay) {
  host.outputChoice = dir / "no-such-folder" / "out.ini";
  const MergeReport report = runMergeCommand(host);
  EXPECT_EQ(report.outcome, MergeOutcome::Failed);
  EXPECT_FALSE(report.failure.empty());
  EXPECT_THAT(host.events,
              ElementsAre("save dialog proposing Mine.INI", "progress ended", "0 lines changed."));
}

TEST(BackupPath, ReplacesAnIniExtensionInAnyCaseAndAppendsOtherwise) {
  EXPECT_EQ(backupPathFor("/games/Ombrix.INI"), fs::path("/games/Ombrix.bak"));
  EXPECT_EQ(backupPathFor("/games/Game.Ini"), fs::path("/games/Game.bak"));
  EXPECT_EQ(backupPathFor("/games/list.txt"), fs::path("/games/list.txt.bak"));
  EXPECT_EQ(backupPathFor("/games/ini"), fs::path("/games/ini.bak"));
  EXPECT_EQ(backupPathFor(".ini"), fs::path(".bak"));
}

}  // namespace
}  // namespace ombrix
