// The document that the memory engine reads and writes: its blocks, and the index of every name a header can
// stand for. Reads and writes of every kind are held against the whole-text functions by the differential
// tests; these are the shapes those do not generate.

#include "ini/document/ini_document.h"

#include "engine_merge.h"
#include "ini/text/ini_text.h"
#include "test_support.h"

namespace ombrix {
namespace {

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

// Names that share a bracket tag, and one line of thousands of "[", are found as the text model finds them.
TEST(IniDocument, IndexesEveryNameAHeaderCanStandFor) {
  std::string list;
  for (int game = 0; game < 1000; ++game) {
    list += "[Game " + std::to_string(game) + " (U) [!]]\r\nk=" + std::to_string(game) + "\r\n\r\n";
  }
  const std::string brackets(3000, '[');
  list += brackets + "deep]\r\nk=deep\r\n\r\n[x[y[z[A]\r\nk=1\r\n\r\n[A]\r\nk=2\r\n";
  IniDocument document = test::documentOf(list);
  ASSERT_TRUE(document.indexed());
  normaliseLoadedText(list);
  const std::string names[] = {"Game 7 (U) [!]", "game 999 (u) [!]", "!]", "deep", "[[deep",
                               brackets.substr(0, 2999) + "deep", "x[y[z[A", "A", "z[A"};
  for (const std::string& name : names) {
    EXPECT_EQ(document.readKey(name, "k"), readKeyInText(list, name, "k")) << name.substr(0, 20);
  }
  document.saveKey("Game 500 (U) [!]", "k", "new");
  EXPECT_EQ(document.readKey("GAME 500 (U) [!]", "k"), "new");
}

}  // namespace
}  // namespace ombrix
