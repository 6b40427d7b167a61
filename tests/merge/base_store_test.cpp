// Where a merged list's base is kept: which merges keep one, how it is found again, and how undo puts the
// previous one back.

#include "merge/base_store.h"

#include "merge/merge_fixture.h"
#include "merge/undo.h"

namespace ombrix {
namespace {

using test::kNewList;
using test::kUserList;
using test::TwoLists;

class Bases : public testing::Test, protected TwoLists {};

TEST(BasesKept, OnlyByACompletedMergeThatTookEveryNewValue) {
  struct Case {
    const char* name;
    MergePolicy policy;
    bool inPlace;
    bool dryRun;
    bool outputIsAFolder;  // the merged list cannot be written
    bool keepsBase;
  };
  const Case cases[] = {
      {"replace-all in place", MergePolicy::ReplaceAll, true, false, false, true},
      {"replace-all to another file", MergePolicy::ReplaceAll, false, false, false, true},
      {"keep-my-edits", MergePolicy::KeepMyEdits, false, false, false, true},
      {"keep-playable", MergePolicy::KeepPlayable, true, false, false, false},
      {"keep-existing", MergePolicy::KeepExisting, true, false, false, false},
      {"a dry run", MergePolicy::ReplaceAll, true, true, false, false},
      {"a failed merge", MergePolicy::ReplaceAll, false, false, true, false},
  };
  for (const Case& c : cases) {
    TwoLists s;
    s.request.policy = c.policy;
    s.options.dryRun = c.dryRun;
    fs::create_directories(s.dir / "folder.ini");
    if (!c.inPlace) {
      s.host.outputChoice = s.dir / (c.outputIsAFolder ? "folder.ini" : "out.ini");
    }
    if (c.policy == MergePolicy::KeepMyEdits) {
      s.keepMyEditsWithBase("base.ini", kUserList);
    }
    const MergeReport report = s.merge();
    EXPECT_EQ(report.outcome, c.outputIsAFolder ? MergeOutcome::Failed : MergeOutcome::Merged) << c.name;
    EXPECT_EQ(s.keptBaseOf(s.host.outputChoice), c.keepsBase ? kNewList : "(none)") << c.name;
    if (!c.inPlace) {
      EXPECT_EQ(s.keptBaseOf(s.request.fileToUpdate), "(none)") << c.name;
    }
    // No copy of the new keys made ahead is left behind where the merge did not take it.
    const fs::path& folder = s.options.basesFolder;
    EXPECT_EQ(fs::exists(folder) ? test::countEntries(folder) : 0u, c.keepsBase ? 1u : 0u) << c.name;
  }
}

// A merge whose base cannot be kept (the folder is a file) is complete, and says so.
TEST_F(Bases, AMergeWhoseBaseCannotBeKeptIsComplete) {
  options.basesFolder = data.file("bases", "");
  const MergeReport report = mergeInPlace(kNewList);
  EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  EXPECT_TRUE(report.baseNotKept);
  EXPECT_EQ(readFile(request.fileToUpdate), test::kMerged);
}

TEST_F(Bases, AGivenBaseComesBeforeTheKeptOne) {
  ASSERT_EQ(mergeInPlace(kNewList).outcome, MergeOutcome::Merged);
  request.base = dir.file("b.ini", kUserList);
  const MergeReport given = mergeInPlace(kNewList, MergePolicy::KeepMyEdits);
  EXPECT_FALSE(given.baseRemembered);
  EXPECT_EQ(given.base, dir / "b.ini");
}

// A read-only new-keys file must not leave a kept base that the next merge cannot replace.
TEST_F(Bases, AKeptBaseStaysWritable) {
  request.policy = MergePolicy::ReplaceAll;
  fs::permissions(request.newKeys, fs::perms::owner_read);
  ASSERT_EQ(merge().outcome, MergeOutcome::Merged);
  const std::optional<fs::path> kept = BaseStore(options.basesFolder).baseOf(request.fileToUpdate);
  ASSERT_TRUE(kept);
  EXPECT_NE(fs::status(*kept).permissions() & fs::perms::owner_write, fs::perms::none);
  fs::permissions(request.newKeys, fs::perms::owner_all);
  ASSERT_EQ(mergeInPlace(crlf("[G]|Speed=3")).outcome, MergeOutcome::Merged);
  EXPECT_EQ(keptBaseOf(request.fileToUpdate), crlf("[G]|Speed=3"));
}

// A list is one file however its path is spelled: through "." or a link it has the same kept base.
TEST_F(Bases, FollowTheFileNotItsSpelling) {
  ASSERT_EQ(mergeInPlace(kNewList).outcome, MergeOutcome::Merged);
  std::error_code noLinks;
  fs::create_symlink(request.fileToUpdate, dir / "link.ini", noLinks);
  const fs::path link = noLinks ? request.fileToUpdate : dir / "link.ini";
  for (const fs::path& spelling : {dir / "." / "Mine.INI", link}) {
    EXPECT_EQ(keptBaseOf(spelling), kNewList) << spelling;
  }
}

TEST_F(Bases, UndoPutsThePreviousBaseBack) {
  const fs::path& list = request.fileToUpdate;
  const auto undo = [this](const fs::path& file) {
    return undoMerge(file, diskFileAccess(), options.basesFolder);
  };
  ASSERT_EQ(mergeInPlace(kNewList).outcome, MergeOutcome::Merged);
  ASSERT_EQ(mergeInPlace(crlf("[G]|Speed=3")).outcome, MergeOutcome::Merged);
  ASSERT_TRUE(undo(list).done);
  EXPECT_EQ(keptBaseOf(list), kNewList);

  // Undoing the first merge of a list leaves it without a base, as it was.
  const fs::path other = dir.file("other.ini", kUserList);
  host.outputChoice = request.fileToUpdate = other;
  ASSERT_EQ(merge().outcome, MergeOutcome::Merged);
  ASSERT_TRUE(undo(other).done);
  EXPECT_EQ(keptBaseOf(other), "(none)");

  // A list whose base is gone gives its backup none either: an older backup's base is not brought back.
  ASSERT_EQ(mergeInPlace(kNewList).outcome, MergeOutcome::Merged);
  fs::remove(*BaseStore(options.basesFolder).baseOf(other));
  ASSERT_EQ(mergeInPlace(crlf("[G]|Speed=4"), MergePolicy::KeepPlayable).outcome, MergeOutcome::Merged);
  ASSERT_TRUE(undo(other).done);
  EXPECT_EQ(keptBaseOf(other), "(none)");
}

}  // namespace
}  // namespace ombrix
