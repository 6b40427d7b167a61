#include "ini/file/ini_file.h"

#include "file_fakes.h"
#include "ini/document/ini_document.h"
#include "ini/file/file_faults.h"
#include "ini/text/ini_text.h"
#include "test_support.h"

namespace ombrix {
namespace {

const std::string kSample = crlf("[A]|k1=1|k2=2||[B]|x=9||");

// Empty names open nothing; a missing file reads as empty after its retries, and is neither written nor
// created.
TEST(IniFile, EmptyNamesOpenNothingAndAMissingFileIsNotCreated) {
  TempDir dir;
  const auto file = dir.file("list.ini", "[A]\r\nk=1");
  test::PlannedFaults faults;
  DiskFileAccess disk(&faults);
  EXPECT_EQ(GetKey(file, "", "k", "D", disk), "");
  SaveKey(file, "A", "", "v", disk);
  EXPECT_EQ(faults.calls(FileStep::Open), 0);
  EXPECT_EQ(readFile(file), "[A]\r\nk=1");
  EXPECT_EQ(GetKey(dir / "missing.ini", "A", "k", "D", disk), "");
  SaveKey(dir / "missing.ini", "A", "k", "1", disk);
  EXPECT_EQ(faults.calls(FileStep::Open), 202) << "101 attempts for each call";
  EXPECT_EQ(faults.calls(FileStep::Write), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));
}

// A failed step is tried again at once; the 101st failure of one call, over all its steps, ends the call:
// GetKey then answers the empty string (not its default), and SaveKey leaves the file as it was.
TEST(IniFile, EachCallRetriesWithinOneBudgetOf100Failures) {
  struct Case {
    const char* name;
    int readFailures;
    int writeFailures;
    const char* got;    // GetKey's answer, when the case reads
    const char* saved;  // the file after SaveKey, when the case writes
  };
  const Case cases[] = {
      {"100 failed reads", 100, 0, "1", nullptr},
      {"101 failed reads", 101, 0, "", nullptr},
      {"60 failed reads and 40 failed writes", 60, 40, nullptr, "[A]|k1=7|k2=2||[B]|x=9||"},
      {"60 failed reads and 41 failed writes", 60, 41, nullptr, "[A]|k1=1|k2=2||[B]|x=9||"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const auto file = dir.file("list.ini", kSample);
    test::PlannedFaults faults;
    faults.plan(FileStep::Read, 1, c.readFailures).plan(FileStep::Write, 1, c.writeFailures);
    DiskFileAccess disk(&faults);
    if (c.got != nullptr) {
      EXPECT_EQ(GetKey(file, "A", "k1", "D", disk), c.got) << c.name;
      EXPECT_EQ(faults.calls(FileStep::Read), std::min(c.readFailures + 1, 101)) << c.name;
    } else {
      SaveKey(file, "A", "k1", "7", disk);
      EXPECT_EQ(readFile(file), crlf(c.saved)) << c.name;
      EXPECT_EQ(test::countEntries(dir.path()), 1u) << c.name << ": no temporary file is left behind";
    }
  }
}

// Each call reads the file as it is now and writes every change back, without growing it at its end.
TEST(IniFile, ReadsAndWritesTheFileAsItIsNow) {
  TempDir dir;
  const auto file = dir.file("list.ini", kSample);
  EXPECT_EQ(GetKey(file, "a", "K2", "D"), "2");
  EXPECT_EQ(GetKey(file, "A", "k3", "D"), "D");
  test::writeFile(file, crlf("[A]|k=1||[B]|x=9||"));
  EXPECT_EQ(GetKey(file, "A", "k", "D"), "1");
  SaveKey(file, "A", "k", "2");
  EXPECT_EQ(readFile(file), crlf("[A]|k=2|||[B]|x=9||"));
  // A call that changes nothing still tidies.
  SaveKey(file, "A", "absent", "");
  SaveKey(file, "A", "absent", "");
  EXPECT_EQ(readFile(file), crlf("[A]|k=2||[B]|x=9||"));
  EXPECT_EQ(test::countEntries(dir.path()), 1u) << "no temporary file is left behind";
}

TEST(DiskFileAccess, WritesThroughASymbolicLink) {
  TempDir dir;
  const auto real = dir.file("real.ini", "old");
  std::error_code error;
  std::filesystem::create_symlink(real, dir / "link.ini", error);
  if (error) {
    GTEST_SKIP() << "this system does not let the user create symbolic links";
  }
  ASSERT_TRUE(DiskFileAccess().replaceContents(dir / "link.ini", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(readFile(real), "new");
}

// A block never grows past its capacity; a full one moves to a larger one for the load step's line break.
TEST(TextBlock, NeverGrowsPastItsCapacity) {
  TextBlock block(4);
  block.append("ab");
  EXPECT_THROW(block.append("abc"), std::length_error);
  EXPECT_THROW(block.resize(5), std::length_error);
  block.append("\r\n");
  EXPECT_EQ(IniDocument(std::move(block)).text(), "ab\r\n");
  TextBlock full(6);
  full.append("[A]\r\nk");
  EXPECT_EQ(IniDocument(std::move(full)).text(), "[A]\r\nk\r\n");
}

// Names that share a bracket tag, or one line of thousands of "[", still point a lookup at one paragraph.
TEST(IniDocument, IndexesEveryNameAHeaderCanStandFor) {
  std::string list;
  for (int game = 0; game < 1000; ++game) {
    list += "[Game " + std::to_string(game) + " (U) [!]]\r\nk=1\r\n\r\n";
  }
  std::string brackets(3000, '[');
  list += brackets + "deep]\r\nk=1\r\n\r\n";
  IniDocument document(list);
  ASSERT_TRUE(document.indexed());
  for (const char* name : {"Game 7 (U) [!]", "game 999 (u) [!]", "!]", "deep", "[[deep", "[[[[[[[[[[deep"}) {
    EXPECT_EQ(document.paragraphsNamedFor(name), std::string_view(name) == "!]" ? 1000u : 1u) << name;
  }
  EXPECT_EQ(document.readKey(brackets.substr(0, 2999) + "deep", "k"), "1");
  document.saveKey("Game 500 (U) [!]", "k", "2");
  EXPECT_EQ(document.readKey("GAME 500 (U) [!]", "k"), "2");
  // "[A]" leads the paragraph after the one read, but a line of many "[" before it holds "A" first.
  IniDocument tails("[x[y[z[A]\r\nk=1\r\n\r\n[A]\r\nk=2\r\n");
  EXPECT_EQ(tails.readKey("x[y[z[A", "k"), "1");
  EXPECT_EQ(tails.readKey("A", "k"), "1");
}

}  // namespace
}  // namespace ombrix
