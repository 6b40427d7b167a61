// The case fold and the byte searches of the text model, each against a plain byte-by-byte version.

#include <random>

#include "ini/text/byte_search.h"
#include "ini/text/case_fold.h"
#include "test_support.h"

namespace ombrix {
namespace {

// Letters fold to their lower case by the Windows-1252 pairs. The multiplication and division signs sit
// inside the letter ranges, and sharp s and micro have no upper case: they and the other bytes stay.
TEST(CaseFold, FoldsOnlyTheWindows1252LetterPairs) {
  const std::pair<unsigned char, unsigned char> folds[] = {
      {'A', 'a'},   {'Z', 'z'},   {0xC0, 0xE0}, {0xD6, 0xF6}, {0xD8, 0xF8}, {0xDE, 0xFE}, {0x8A, 0x9A},
      {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}, {0xD7, 0xD7}, {0xF7, 0xF7}, {0xDF, 0xDF}, {0xB5, 0xB5},
      {0x80, 0x80}, {0x00, 0x00}, {'[', '['},   {'@', '@'},   {'`', '`'},   {'{', '{'},   {'\r', '\r'},
  };
  for (const auto& [byte, folded] : folds) {
    EXPECT_EQ(foldCase(byte), folded) << int(byte);
    EXPECT_EQ(foldCase(folded), folded) << int(folded);
  }
  EXPECT_FALSE(equalsIgnoringCase("\xD7", "\xF7"));
  EXPECT_FALSE(equalsIgnoringCase("[", "{"));
}

TEST(CaseFold, FindsAcrossCaseIncludingAccentedLetters) {
  EXPECT_EQ(findIgnoringCase("x\xC9T\xC9]", "\xE9t\xE9]"), 1u);
  EXPECT_EQ(findIgnoringCase("aXbx", "x", 2), 3u);
  EXPECT_EQ(findIgnoringCase("abc", "abcd"), std::string::npos);
  EXPECT_EQ(findIgnoringCase("abc", "c", 4), std::string::npos);
}

// The word-at-a-time comparison, at every length around a word's and with the difference at every place.
TEST(CaseFold, ComparesEveryPlaceOfNamesOfAnyLength) {
  for (std::size_t size = 0; size <= 20; ++size) {
    const std::string name(size, 'k');
    EXPECT_TRUE(equalsIgnoringCase(name, std::string(size, 'K'))) << size;
    EXPECT_FALSE(equalsIgnoringCase(name, name + "k")) << size;
    for (std::size_t place = 0; place < size; ++place) {
      std::string other = name;
      other[place] = 'K';
      EXPECT_TRUE(equalsIgnoringCase(name, other)) << size << " " << place;
      other[place] = 'j';
      EXPECT_FALSE(equalsIgnoringCase(name, other)) << size << " " << place;
    }
  }
}

// The plain byte-by-byte answers the word-at-a-time searches must give.
std::size_t plainCrLf(const std::string& text, std::size_t from) {
  return text.find("\r\n", std::min(from, text.size()));
}

LineEnd plainLineEnd(const std::string& text, std::size_t from) {
  const std::size_t lineBreak = plainCrLf(text, from);
  const std::size_t begin = std::min(from, text.size());
  const std::size_t end = lineBreak == std::string::npos ? text.size() : lineBreak;
  const bool bracket = text.substr(begin, end - begin).find_first_of("[]") != std::string::npos;
  return {lineBreak, bracket};
}

// Short texts of the bytes the searches look for, their neighbours in value (which the word tricks may
// mistake for them) and a letter, at every length around a word's.
TEST(ByteSearch, WordAtATimeSearchesAgreeWithPlainOnes) {
  const std::string alphabet = std::string("\r\n[]\x0c\x0e\x5a\x5c\x01=a") + '\0';
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 40, 'a');
    for (char& c : text) {
      c = alphabet[random() % alphabet.size()];
    }
    const std::size_t from = random() % (text.size() + 2);
    SCOPED_TRACE(testing::PrintToString(text) + " from " + std::to_string(from));

    const LineEnd lineEnd = findLineEnd(text, from);
    const LineEnd expected = plainLineEnd(text, from);
    ASSERT_EQ(lineEnd.lineBreak, expected.lineBreak);
    ASSERT_EQ(lineEnd.bracket, expected.bracket);
    ASSERT_EQ(findCrLf(text, from), plainCrLf(text, from));

    const std::string_view rest = std::string_view(text).substr(std::min(from, text.size()));
    const SpecialBytes special = findSpecialBytes(rest);
    ASSERT_EQ(special.lineBreak, rest.find_first_of("\r\n") != std::string_view::npos);
    ASSERT_EQ(special.bracket, rest.find_first_of("[]") != std::string_view::npos);

    std::string twin(rest);
    if (!twin.empty() && random() % 2 == 0) {
      twin[random() % twin.size()] ^= 1;
    }
    ASSERT_EQ(sameBytes(rest.data(), twin.data(), rest.size()), rest == twin);

    const char* const end = rest.data() + rest.size();
    const std::size_t firstBracket = rest.find(']');
    ASSERT_EQ(findByte(rest.data(), end, ']'),
              firstBracket == std::string_view::npos ? end : rest.data() + firstBracket);
    const std::size_t firstBreak = rest.find_first_of("\r\n");
    ASSERT_EQ(findEitherByte(rest.data(), end, '\r', '\n'),
              firstBreak == std::string_view::npos ? end : rest.data() + firstBreak);
  }
}

}  // namespace
}  // namespace ombrix
