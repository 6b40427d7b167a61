// Keeping the user's edits: the decisions of the three-way pass, and what the base tells it.

#include "merge/three_way.h"

#include "engine_merge.h"
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

TEST(ThreeWayDecision, KeepsWhatTheUserChangedAndTakesWhatTheNewerListChanged) {
  for (const DecisionCase& c : kDecisions) {
    const std::string mine = crlf(c.mine);
    const test::EngineMerge actual = test::mergeWith(MergeEngine::Memory, mine, crlf(c.newer),
                                                     MergePolicy::KeepMyEdits, crlf(c.base), c.preferNew);
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

}  // namespace
}  // namespace ombrix
