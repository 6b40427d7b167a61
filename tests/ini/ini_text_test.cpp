#include "ini/text/ini_text.h"

#include "test_support.h"

namespace ombrix {
namespace {

const std::string kSample = crlf("[A]|k1=1|k2=2||[B]|x=9||");

std::string loaded(std::string text) {
  normaliseLoadedText(text);
  return text;
}

std::string saved(std::string file, std::string_view section, std::string_view key, std::string_view value) {
  std::string text = loaded(std::move(file));
  saveKeyInText(text, section, key, value);
  return text;
}

TEST(LoadStep, EndsEveryTextInCrLf) {
  EXPECT_EQ(loaded(""), "\r\n");
  EXPECT_EQ(loaded("k=1"), "k=1\r\n");
  EXPECT_EQ(loaded("k=1\r"), "k=1\r\r\n");
  EXPECT_EQ(loaded("k=1\n"), "k=1\n\r\n");
  EXPECT_EQ(loaded(crlf("k=1|")), crlf("k=1|"));
}

struct ReadCase {
  const char* what;
  std::string file;
  const char* section;
  const char* key;
  const char* expected;
};

const ReadCase kReads[] = {
    {"plain", kSample, "A", "k2", "2"},
    {"letter case ignored", kSample, "a", "K2", "2"},
    {"missing key", kSample, "A", "k3", ""},
    {"search stays in the block", kSample, "B", "k1", ""},
    {"empty section name", kSample, "", "k1", ""},
    {"empty key name", kSample, "A", "", ""},
    {"empty value, last line", crlf("[A]|k=||"), "A", "k", ""},
    {"empty value, lines follow", crlf("[A]|k=|j=2||"), "A", "k", ""},
    {"blanks belong to the value", crlf("[A]|k1= 1 ||"), "A", "k1", " 1 "},
    {"first of two lines wins", crlf("[A]|k1=1|k1=2||"), "A", "k1", "1"},
    {"first section unaffected by open end", crlf("[A]|k1=1|k2=2||[B]|x=9|"), "A", "k2", "2"},
    {"no line break at all", "[A]\r\nk=1", "A", "k", "1"},
    {"sections not separated", crlf("[A]|k=1|[B]|x=2||"), "A", "x", "2"},
    {"blank before equals", crlf("[A]|k =1||"), "A", "k", ""},
    {"blank after header", crlf("[A] |k=1||"), "A", "k", ""},
    {"empty file", "", "A", "k", ""},
    {"header text inside an earlier line", crlf("[A]|v=[B]|y=1||[B]|y=2||"), "B", "y", "1"},
    {"longer key does not match", crlf("[A]|kk=1||"), "A", "k", ""},
    {"header line never matches a key", crlf("[k=1]|x=2||"), "k=1", "k", ""},
    {"accented letters fold", "[\xC9T\xC9]\r\n\xC0=1\r\n\r\n", "\xE9t\xE9", "\xE0", "1"},
    {"lone CR is part of the value", "[A]\r\nk=1\r2\r\n\r\n", "A", "k", "1\r2"},
    // The end of the text closes a section that no empty line follows.
    {"open-ended last section", crlf("[A]|k1=1||[B]|x=9|"), "B", "x", "9"},
    {"open-ended, value up to the end", "[A]\r\nk=1\r", "A", "k", "1\r"}};

TEST(ReadKeyInText, ReadsTheValueTheTextModelFinds) {
  for (const ReadCase& c : kReads) {
    EXPECT_EQ(readKeyInText(loaded(c.file), c.section, c.key), c.expected) << c.what;
  }
}

TEST(SaveKeyInText, EditsTheTextByteForByte) {
  EXPECT_EQ(saved(kSample, "A", "k1", "7"), crlf("[A]|k1=7|k2=2||[B]|x=9||"));
  EXPECT_EQ(saved(kSample, "A", "K2", "8"), crlf("[A]|k1=1|K2=8|||[B]|x=9||"));
  EXPECT_EQ(saved(kSample, "A", "k3", "3"), crlf("[A]|k1=1|k2=2|k3=3||[B]|x=9||"));
  EXPECT_EQ(saved(kSample, "A", "k1", ""), crlf("[A]|k2=2||[B]|x=9||"));
  EXPECT_EQ(saved(kSample, "C", "y", "1"), crlf("[A]|k1=1|k2=2||[B]|x=9|||[C]|y=1||"));
  EXPECT_EQ(saved("", "C", "y", "1"), crlf("[C]|y=1||"));
  EXPECT_EQ(saved("[A]\r\nk=1", "C", "y", "1"), crlf("[A]|k=1||[C]|y=1||"));
  EXPECT_EQ(saved(crlf("[A]|k1=1|k2=2||||[B]|x=9||"), "A", "k1", "5"), crlf("[A]|k1=5|k2=2||[B]|x=9||"));
  EXPECT_EQ(saved(crlf("||") + kSample, "Z", "q", ""), kSample);
  // Sections not separated by an empty line: the second header is a line of the first section.
  EXPECT_EQ(saved(crlf("[A]|k=1|[B]|x=2||"), "A", "n", "3"), crlf("[A]|k=1|[B]|x=2|n=3||"));
  // Only the edited section is tidied: deleting a missing key still shrinks the empty lines after its
  // section.
  EXPECT_EQ(saved(crlf("[A]|k=1||||[B]|x=9||||"), "A", "zz", ""), crlf("[A]|k=1||[B]|x=9||||"));
  // Deleting in a missing section adds nothing but the final line break.
  EXPECT_EQ(saved(crlf("||[A]|k=1"), "Q", "k", ""), crlf("[A]|k=1|"));
  // Deleting the only key leaves the header followed by two empty lines.
  EXPECT_EQ(saved(crlf("[A]|k=1||[B]|x=9||"), "A", "k", ""), crlf("[A]|||[B]|x=9||"));
  // Only the first whole key line is replaced.
  EXPECT_EQ(saved(crlf("[A]|k=1|k=2||"), "A", "k", "9"), crlf("[A]|k=9|k=2||"));
  EXPECT_EQ(saved(crlf("[A]|k= 1 ; note|j=2||"), "A", "k", "9"), crlf("[A]|k=9|j=2||"));
  // The key is written as the caller spells it; the header keeps the file's spelling.
  EXPECT_EQ(saved(crlf("[Game]|Speed=1||"), "GAME", "SPEED", "2"), crlf("[Game]|SPEED=2|||"));
  // The end of the text closes an open-ended section: its keys are edited in place instead of a second
  // copy of them being appended, and the section gets its empty line.
  const std::string openEnded = crlf("[A]|k1=1||[B]|x=9|y=8");
  EXPECT_EQ(saved(openEnded, "B", "x", "5"), crlf("[A]|k1=1||[B]|x=5|y=8||"));
  EXPECT_EQ(saved(openEnded, "B", "y", "5"), crlf("[A]|k1=1||[B]|x=9|y=5|||"));
  EXPECT_EQ(saved(openEnded, "B", "z", "5"), crlf("[A]|k1=1||[B]|x=9|y=8|z=5||"));
  EXPECT_EQ(saved(openEnded, "B", "x", ""), crlf("[A]|k1=1||[B]|y=8||"));
  EXPECT_EQ(saved(openEnded, "b", "nothing", ""), crlf("[A]|k1=1||[B]|x=9|y=8||"));
  EXPECT_EQ(saved(crlf("[B]|x=9|"), "B", "x", "1"), crlf("[B]|x=1|||"));
  // A header standing on the last line with nothing after it.
  EXPECT_EQ(saved("[B]\r\n", "B", "x", "1"), crlf("[B]|x=1||"));
}

}  // namespace
}  // namespace ombrix
