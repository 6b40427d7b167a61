// Keeping the user's edits: the decisions of the three-way pass under both engines, and where the base of
// a merge comes from and goes to.

#include "merge/three_way.h"

#include <future>

#include "engine_merge.h"
#include "merge/base_store.h"
#include "merge/output_lock.h"
#include "merge/undo.h"
#include "test_support.h"

namespace ombrix {
namespace {

struct DecisionCase {
  const char* name;
  const char* mine;   // the user's list; "|" stands for CR LF
  const char* base;   // the new keys the list last took
  const char* newer;  // the new keys merged now
  bool preferNew;
  const char* expectedSpeed;  // the value of [G] Speed after the merge
  std::int32_t count;
  std::size_t conflicts;
  const char* deletedGame = nullptr;  // the one game the user deleted that the newer list still has
};

const DecisionCase kDecisions[] = {
    {"untouched", "[G]|Speed=1|", "[G]|Speed=1", "[G]|Speed=1", false, "1", 0, 0},
    {"changed by the newer list", "[G]|Speed=1|", "[G]|Speed=1", "[G]|Speed=2", false, "2", 1, 0},
    {"changed by the user", "[G]|Speed=5|", "[G]|Speed=1", "[G]|Speed=1", false, "5", 0, 0},
    {"deleted by the user", "[G]|Mode=a|", "[G]|Speed=1", "[G]|Speed=1", false, "", 0, 0},
    {"changed the same way", "[G]|Speed=2|", "[G]|Speed=1", "[G]|Speed=2", false, "2", 0, 0},
    {"conflict keeps the user's", "[G]|Speed=5|", "[G]|Speed=1", "[G]|Speed=2", false, "5", 0, 1},
    {"conflict takes the newer", "[G]|Speed=5|", "[G]|Speed=1", "[G]|Speed=2", true, "2", 1, 1},
    {"emptied by the newer list", "[G]|Speed=1|Mode=a|", "[G]|Speed=1", "[G]|Speed=", false, "", 1, 0},
    {"new key", "[G]|Mode=a|", "[G]|Mode=a", "[G]|Speed=3", false, "3", 1, 0},
    {"new game", "[H]|Mode=a|", "[H]|Mode=a", "[G]|Speed=3", false, "3", 1, 0},
    {"deleted game met twice", "[H]|Mode=a|", "[G]|Speed=1||[H]|Mode=a", "[G]|Speed=2||[g]|Mode=b", false, "",
     0, 0, "G"},
    {"key set twice in the new keys", "[G]|Speed=1|", "[G]|Speed=1", "[G]|Speed=2|Speed=3", false, "3", 2, 0},
    {"game twice in the new keys", "[G]|Speed=1|", "[G]|Speed=1", "[G]|Speed=2||[g]|Speed=3", false, "3", 2,
     0},
    {"game twice in the base", "[G]|Speed=1|", "[G]|Mode=a||[H]|Mode=b||[g]|Speed=1", "[G]|Speed=2", false,
     "2", 1, 0},
    {"key set twice in the base", "[G]|Speed=1|", "[G]|Speed=9|Speed=1", "[G]|Speed=2", false, "2", 1, 0},
    {"letter case", "[G]|speed=1|", "[g]|SPEED=1", "[G]|Speed=2", false, "2", 1, 0},
    {"spaces around the user's value", "[G]|Speed=1 |", "[G]|Speed=1", "[G]|Speed=2", false, "2", 1, 0},
    {"a key before any header", "[G]|Speed=1|", "Version=1||[G]|Speed=1", "Version=2||[G]|Speed=1", false,
     "1", 0, 0},
};

// Both engines run each case and must agree byte for byte; then the outcome is held against the rule.
TEST(ThreeWayDecision, BothEnginesDecideAlikeAndAsTheRuleSays) {
  for (const DecisionCase& c : kDecisions) {
    const std::string mine = crlf(c.mine);
    const auto merge = [&](MergeEngine engine) {
      return test::mergeWith(engine, mine, crlf(c.newer), MergePolicy::KeepMyEdits, crlf(c.base),
                             c.preferNew);
    };
    const test::EngineMerge expected = merge(MergeEngine::File);
    const test::EngineMerge actual = merge(MergeEngine::Memory);
    EXPECT_EQ(actual.list, expected.list) << c.name;
    EXPECT_EQ(actual.count, expected.count) << c.name;
    std::string loaded = actual.list;
    normaliseLoadedText(loaded);
    EXPECT_EQ(readKeyInText(loaded, "G", "Speed"), c.expectedSpeed) << c.name;
    EXPECT_EQ(actual.count, c.count) << c.name;
    EXPECT_EQ(actual.conflicts.size(), c.conflicts) << c.name;
    EXPECT_EQ(actual.deletedGames,
              c.deletedGame ? std::vector<std::string>{c.deletedGame} : std::vector<std::string>{})
        << c.name;
    if (c.deletedGame) {
      EXPECT_EQ(actual.list, mine) << c.name;
    }
  }
}

TEST(ThreeWayDecision, TheBaseTellsWhatTheNewerListDropped) {
  // Speed is set twice: the later line is the base's value, and the earlier one is not dropped either. A
  // key without a name is never written, so it is not dropped (nor taken for a whole section).
  const std::string text = crlf("[G]|Speed=1|Old=x|=y|speed=9||[Gone]|Speed=2|[H]|Mode=a");
  BaseList base(text);
  BaseList::SectionRef g = base.enterSection("g");
  EXPECT_EQ(base.valueOf(g, "SPEED"), "9");
  base.enterSection("H");
  std::vector<std::string> dropped;
  for (const BaseList::Dropped& d : base.dropped()) {
    dropped.push_back(std::string(d.section) + "/" + std::string(d.key) + "=" + std::string(d.value));
  }
  EXPECT_EQ(dropped, std::vector<std::string>({"G/Old=x", "Gone/=", "H/Mode=a"}));
}

// Where bases are kept: a list merged under replace-all or keep-my-edits takes the new keys as its base.
class Bases : public testing::Test {
 protected:
  TempDir dir;
  fs::path basesFolder = dir / "bases";
  BaseStore store{basesFolder};

  class Host final : public MergeHost {
   public:
    fs::path output;
    fs::path askOutputPath(const fs::path&) override { return output; }
  } host;

  MergeReport merge(const std::string& newKeys, const fs::path& list, MergePolicy policy,
                    const fs::path& output, bool dryRun = false, fs::path base = {}) {
    MergeRequest request(dir.file("new.ini", newKeys), list, policy);
    request.base = std::move(base);
    host.output = output;
    MergeOptions options;
    options.basesFolder = basesFolder;
    options.dryRun = dryRun;
    return runMergeCommand(request, host, options);
  }
  std::string storedBaseOf(const fs::path& list) {
    const std::optional<fs::path> base = store.baseOf(list);
    return base ? readFile(*base) : "(none)";
  }
};

const std::string kMine = crlf("[G]|Speed=1|");
const std::string kNewer = crlf("[G]|Speed=2");

TEST_F(Bases, OnlyACompletedMergeThatTookEveryNewValueKeepsOne) {
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
    const fs::path list = dir.file("list.ini", kMine);
    const fs::path output = c.inPlace ? list : c.outputIsAFolder ? dir / "folder.ini" : dir / "out.ini";
    fs::create_directories(dir / "folder.ini");
    const fs::path base = c.policy == MergePolicy::KeepMyEdits ? dir.file("base.ini", kMine) : fs::path();
    const MergeReport report = merge(kNewer, list, c.policy, output, c.dryRun, base);
    EXPECT_EQ(report.outcome, c.outputIsAFolder ? MergeOutcome::Failed : MergeOutcome::Merged) << c.name;
    EXPECT_EQ(storedBaseOf(output), c.keepsBase ? kNewer : "(none)") << c.name;
    if (!c.inPlace) {
      EXPECT_EQ(storedBaseOf(list), "(none)") << c.name;
    }
    // No copy of the new keys made ahead is left behind where the merge did not take it.
    EXPECT_EQ(fs::exists(basesFolder) ? test::countEntries(basesFolder) : 0u, c.keepsBase ? 1u : 0u) << c.name;
    fs::remove_all(basesFolder);
  }
}

// A merge whose base cannot be kept (the folder is a file) is complete, and says so.
TEST_F(Bases, AMergeWhoseBaseCannotBeKeptIsComplete) {
  basesFolder = dir.file("data", "");
  const fs::path list = dir.file("list.ini", kMine);
  const MergeReport report = merge(kNewer, list, MergePolicy::ReplaceAll, list);
  EXPECT_EQ(report.outcome, MergeOutcome::Merged);
  EXPECT_TRUE(report.baseNotKept);
  EXPECT_EQ(readFile(list), crlf("[G]|Speed=2|||"));
}

TEST_F(Bases, AGivenBaseComesBeforeTheKeptOne) {
  const fs::path list = dir.file("list.ini", kMine);
  ASSERT_EQ(merge(kNewer, list, MergePolicy::ReplaceAll, list).outcome, MergeOutcome::Merged);
  const MergeReport given =
      merge(kNewer, list, MergePolicy::KeepMyEdits, list, false, dir.file("b.ini", kMine));
  EXPECT_FALSE(given.baseRemembered);
  EXPECT_EQ(given.base, dir / "b.ini");
}

// A read-only new-keys file must not leave a kept base that the next merge cannot replace.
TEST_F(Bases, AKeptBaseStaysWritable) {
  const fs::path list = dir.file("list.ini", kMine);
  const fs::path readOnly = dir.file("read-only.ini", kNewer);
  fs::permissions(readOnly, fs::perms::owner_read);
  host.output = list;
  MergeOptions options;
  options.basesFolder = basesFolder;
  ASSERT_EQ(runMergeCommand({readOnly, list, MergePolicy::ReplaceAll}, host, options).outcome,
            MergeOutcome::Merged);
  ASSERT_TRUE(store.baseOf(list));
  EXPECT_NE(fs::status(*store.baseOf(list)).permissions() & fs::perms::owner_write, fs::perms::none);
  ASSERT_EQ(merge(crlf("[G]|Speed=3"), list, MergePolicy::ReplaceAll, list).outcome, MergeOutcome::Merged);
  EXPECT_EQ(storedBaseOf(list), crlf("[G]|Speed=3"));
}

// A list is one file however its path is spelled: through "." or a link it has the same kept base and the
// same lock (taken from another thread: a merge's lock would let its own thread in again). A name that
// differs in letter case only is another list where the file system tells them apart.
TEST_F(Bases, AndLocksFollowTheFileNotItsSpelling) {
  const fs::path list = dir.file("list.ini", kMine);
  ASSERT_EQ(merge(kNewer, list, MergePolicy::ReplaceAll, list).outcome, MergeOutcome::Merged);
  std::error_code noLinks;
  fs::create_symlink(list, dir / "link.ini", noLinks);
  for (const fs::path& spelling : {dir / "." / "list.ini", noLinks ? list : dir / "link.ini"}) {
    EXPECT_EQ(storedBaseOf(spelling), kNewer) << spelling;
  }
  const std::unique_ptr<OutputLock> held = OutputLock::acquire(list, std::chrono::milliseconds(0));
  auto lockedElsewhere = [](const fs::path& file) {
    return std::async(std::launch::async, [file] {
             return OutputLock::acquire(file, std::chrono::milliseconds(0)) == nullptr;
           }).get();
  };
  EXPECT_TRUE(lockedElsewhere(dir / "." / "list.ini"));
  if (!fs::exists(dir / "LIST.ini")) {
    EXPECT_FALSE(lockedElsewhere(dir.file("LIST.ini", kMine)));
  }
}

TEST_F(Bases, UndoPutsThePreviousBaseBack) {
  const fs::path list = dir.file("list.ini", kMine);
  ASSERT_EQ(merge(kNewer, list, MergePolicy::ReplaceAll, list).outcome, MergeOutcome::Merged);
  ASSERT_EQ(merge(crlf("[G]|Speed=3"), list, MergePolicy::ReplaceAll, list).outcome, MergeOutcome::Merged);
  ASSERT_TRUE(undoMerge(list, diskFileAccess(), basesFolder).done);
  EXPECT_EQ(storedBaseOf(list), kNewer);

  // Undoing the first merge of a list leaves it without a base, as it was.
  const fs::path other = dir.file("other.ini", kMine);
  ASSERT_EQ(merge(kNewer, other, MergePolicy::ReplaceAll, other).outcome, MergeOutcome::Merged);
  ASSERT_TRUE(undoMerge(other, diskFileAccess(), basesFolder).done);
  EXPECT_EQ(storedBaseOf(other), "(none)");

  // A list whose base is gone gives its backup none either: an older backup's base is not brought back.
  ASSERT_EQ(merge(kNewer, list, MergePolicy::ReplaceAll, list).outcome, MergeOutcome::Merged);
  fs::remove(*store.baseOf(list));
  ASSERT_EQ(merge(crlf("[G]|Speed=4"), list, MergePolicy::KeepPlayable, list).outcome, MergeOutcome::Merged);
  ASSERT_TRUE(undoMerge(list, diskFileAccess(), basesFolder).done);
  EXPECT_EQ(storedBaseOf(list), "(none)");
}

}  // namespace
}  // namespace ombrix
