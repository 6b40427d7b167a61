#include "ini/text/byte_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace ombrix {
namespace {

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
