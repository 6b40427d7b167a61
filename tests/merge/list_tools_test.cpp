// The list check, the undo of an in-place merge, and the change list that --dry-run and --report print.

#include "merge/change_report.h"
#include "merge/merge_command.h"
#include "merge/list_check.h"
#include "merge/undo.h"
#include "test_support.h"

namespace ombrix {
namespace {

using testing::AllOf;
using testing::Field;

auto finding(std::size_t line, const char* words) {
  return AllOf(Field(&ListFinding::line, line), Field(&ListFinding::message, HasSubstr(words)));
}

TEST(ListCheck, FindsEachKindOfTroubleOnItsLine) {
  EXPECT_THAT(checkList(crlf("// list||[A]|k=1|j=2||[B]|k=1||")), IsEmpty())
      << "keys repeat only within their section";
  EXPECT_THAT(checkList(""), IsEmpty());
  EXPECT_THAT(checkList(crlf("[A]|k=1|K=2||[a]|x=1||")),
              ElementsAre(finding(3, "key K appears again"), finding(5, "section [a] appears again")));
  EXPECT_THAT(checkList(crlf("[A]|k=1|[B]|x=1||")), ElementsAre(finding(3, "does not follow an empty line")));
  EXPECT_THAT(checkList(crlf("k=1|[B]|x=1||")), ElementsAre(finding(2, "does not follow an empty line")));
  EXPECT_THAT(checkList(crlf("[A]|k=1||[B] ; note|x=1||")),
              ElementsAre(finding(4, "characters after its \"]\"")));
  EXPECT_THAT(checkList(crlf("[A]|v=[b]||[B]|x=1||")),
              ElementsAre(finding(2, "the text [B] in this line stands before the header of [B] at line 4")));
  // A game's name holds a bracket tag: the lookup takes the whole text from the first "[" as its header too.
  EXPECT_THAT(checkList(crlf("[A]|v=[G (U) [!]]||[G (U) [!]]|x=1||")),
              ElementsAre(finding(2, "the text [G (U) [!]] in this line stands before the header")));
  EXPECT_THAT(checkList(crlf("[A]|k=1||[B]|x=1|")),
              ElementsAre(finding(4, "last section has no empty line")));
  EXPECT_THAT(checkList("[A]\nk=1\n\n"), ElementsAre(finding(1, "LF, not CR LF")));
  EXPECT_THAT(checkList("[A]\rk=1\r\r"), ElementsAre(finding(1, "CR, not CR LF")));
  EXPECT_THAT(checkList(std::string("\xFF\xFE[\0A\0]\0", 8)), ElementsAre(finding(1, "UTF-16")));
  EXPECT_THAT(checkList("\xEF\xBB\xBF" + crlf("[A]|k=1||")), ElementsAre(finding(1, "byte-order mark")));
}

class Undo : public testing::Test {
 protected:
  TempDir dir;
  const std::string original = crlf("[A]|k=1||");
  const std::string merged = crlf("[A]|k=2|||");
};

TEST_F(Undo, PutsTheBackupBackAndKeepsTheMergedVersion) {
  const fs::path list = dir.file("Ombrix.INI", merged);
  dir.file("Ombrix.bak", original);
  dir.file("Ombrix.merged", "an older undo");
  const UndoResult result = undoMerge(list);
  EXPECT_TRUE(result.done) << result.message;
  EXPECT_EQ(readFile(list), original);
  EXPECT_EQ(readFile(dir / "Ombrix.merged"), merged);
  EXPECT_EQ(readFile(dir / "Ombrix.bak"), original);
  EXPECT_THAT(result.message, HasSubstr("Ombrix.merged' (replacing an older one)"));
}

TEST_F(Undo, RefusesWithAReasonAndChangesNothing) {
  const fs::path list = dir.file("list.ini", merged);
  EXPECT_THAT(undoMerge(list).message, HasSubstr("there is no backup"));
  dir.file("list.bak", "");
  EXPECT_THAT(undoMerge(list).message, HasSubstr("is empty"));
  dir.file("list.bak", merged);
  EXPECT_THAT(undoMerge(list).message, HasSubstr("nothing to undo"));
  EXPECT_THAT(undoMerge(dir / "missing.ini").message, HasSubstr("does not exist"));
  EXPECT_THAT(undoMerge(dir.path()).message, HasSubstr("is not a file"));
  EXPECT_EQ(readFile(list), merged);
  EXPECT_FALSE(fs::exists(dir / "list.merged"));
}

TEST(ChangeList, GroupsBySectionAndLeavesOutWritesThatChangedNothing) {
  using Kind = KeyChange::Kind;
  const std::tuple<std::string_view, std::string_view, std::string_view, KeyChange> writes[] = {
      {"G1", "Speed", "2", {Kind::Changed, false, "1"}},
      {"G1", "Comment", "Playable", {Kind::None, false, "Playable"}},
      {"G3", "Comment", "Almost", {Kind::Added, true, ""}},
      {"g1", "Old", "", {Kind::Deleted, false, "x"}},
      {"G3", "Speed", "3", {Kind::Added, true, ""}},
  };
  MergeReport report;
  for (const auto& [section, key, value, change] : writes) {
    recordChange(report, section, key, value, change);
  }
  EXPECT_EQ(
      changeReportText(report, 6),
      "[G1]\n  ~ Speed: 1 -> 2\n  - Old (was x)\n[G3] (new section)\n  + Comment=Almost\n  + Speed=3\n");
  EXPECT_EQ(countEffectiveChanges(report.changes), 4u);
  // The details of a result stop after their most lines and tell how many more there are.
  EXPECT_EQ(changeReportText(report, 2), "[G1]\n  ~ Speed: 1 -> 2\n\u2026 and 4 more changes.\n");
}

TEST(ChangeList, EscapesControlBytesSoATerminalIsSafe) {
  EXPECT_EQ(escapeForTerminal(std::string("a\x1B[31m\r\n\t\\\x7F\0z\xE9", 14)),
            "a\\x1B[31m\\r\\n\\t\\\\\\x7F\\x00z\xE9");
}

}  // namespace
}  // namespace ombrix
