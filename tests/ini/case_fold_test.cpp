#include "ini/text/case_fold.h"

#include <gtest/gtest.h>

#include <string>

namespace ombrix {
namespace {

std::string bytes(std::initializer_list<unsigned char> values) {
  return std::string(values.begin(), values.end());
}

TEST(CaseFold, FoldsTheWindows1252LetterPairs) {
  const std::pair<unsigned char, unsigned char> pairs[] = {
      {'A', 'a'},   {'Z', 'z'},   {0xC0, 0xE0}, {0xD6, 0xF6}, {0xD8, 0xF8},
      {0xDE, 0xFE}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF},
  };
  for (const auto& [upper, lower] : pairs) {
    EXPECT_EQ(foldCase(upper), lower) << int(upper);
    EXPECT_EQ(foldCase(lower), lower) << int(lower);
  }
}

TEST(CaseFold, LeavesBytesWithoutAnotherCaseAlone) {
  // Multiplication and division signs sit inside the letter ranges; sharp s and micro have no upper case.
  for (unsigned char c :
       std::initializer_list<unsigned char>{0xD7, 0xF7, 0xDF, 0xB5, 0x80, 0x00, '[', '@', '`', '{', '\r'}) {
    EXPECT_EQ(foldCase(c), c) << int(c);
  }
  EXPECT_FALSE(equalsIgnoringCase(bytes({0xD7}), bytes({0xF7})));
  EXPECT_FALSE(equalsIgnoringCase("[", "{"));
}

TEST(CaseFold, FindsAcrossCaseIncludingAccentedLetters) {
  const std::string text = "x" + bytes({0xC9, 'T', 0xC9}) + "]";
  EXPECT_EQ(findIgnoringCase(text, bytes({0xE9, 't', 0xE9, ']'})), 1u);
  EXPECT_EQ(findIgnoringCase("aXbx", "x", 2), 3u);
  EXPECT_EQ(findIgnoringCase("abc", "abcd"), std::string::npos);
  EXPECT_EQ(findIgnoringCase("abc", "c", 4), std::string::npos);
  EXPECT_TRUE(containsIgnoringCase("Unplayable", "PLAYABLE"));
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
      EXPECT_FALSE(sameBytes(name.data(), other.data(), size)) << size << " " << place;
      other[place] = 'j';
      EXPECT_FALSE(equalsIgnoringCase(name, other)) << size << " " << place;
    }
  }
}

}  // namespace
}  // namespace ombrix
