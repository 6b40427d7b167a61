#include "merge/line_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "test_support.h"

namespace ombrix {
namespace {

std::vector<std::string> linesOf(LineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (!reader.atEnd()) {
    EXPECT_TRUE(reader.readLine(line));
    lines.emplace_back(line);
  }
  EXPECT_FALSE(reader.failed());
  return lines;
}

// The lines read from a stream through a buffer of bufferSize; a reader of the same bytes in memory must
// find the same lines.
std::vector<std::string> readAllLines(const std::string& bytes,
                                      std::size_t bufferSize = LineReader::kBufferSize) {
  std::istringstream in(bytes);
  LineReader fromStream(in, bufferSize);
  LineReader inMemory{std::string_view(bytes)};
  const std::vector<std::string> lines = linesOf(fromStream);
  EXPECT_EQ(linesOf(inMemory), lines);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, EndsLinesAtCrLfLoneCrAndLoneLf) {
  EXPECT_EQ(readAllLines(""), Lines{});
  EXPECT_EQ(readAllLines("a"), Lines{"a"});
  EXPECT_EQ(readAllLines("a\r\n"), Lines{"a"});
  EXPECT_EQ(readAllLines("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(readAllLines("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(readAllLines("a\n\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(readAllLines("[G]\nk=1\n"), (Lines{"[G]", "k=1"}));
  EXPECT_EQ(readAllLines(std::string("a\0b\r\n", 5)), Lines{std::string("a\0b", 3)});
}

TEST(LineReader, JoinsLinesAndLineBreaksAcrossItsBuffer) {
  // Lines longer than the reader's buffer, and a CR LF split between two fills.
  const std::string longLine(200'000, 'x');
  EXPECT_EQ(readAllLines(longLine + "\r\n" + longLine), (Lines{longLine, longLine}));
  const std::string split(LineReader::kBufferSize - 1, 'y');
  EXPECT_EQ(readAllLines(split + "\r\nz"), (Lines{split, "z"}));
  EXPECT_EQ(readAllLines(split + "\r"), Lines{split});
}

TEST(LineReader, LineBreaksOnEveryBorderOfASmallBuffer) {
  const std::string bytes = "ab\r\ncd\re\n\r\n\r\rfgh\n\nij\r";
  const Lines expected = {"ab", "cd", "e", "", "", "", "fgh", "", "ij"};
  for (std::size_t bufferSize = 1; bufferSize <= bytes.size() + 1; ++bufferSize) {
    EXPECT_EQ(readAllLines(bytes, bufferSize), expected) << "buffer of " << bufferSize;
  }
}

TEST(LineReader, ReportsAReadError) {
  // The first fill succeeds; the next one fails before the line is complete.
  test::FailingStreamBuffer buffer(std::string(LineReader::kBufferSize, 'x'));
  std::istream in(&buffer);
  LineReader reader(in);
  std::string_view line;
  ASSERT_FALSE(reader.atEnd());
  EXPECT_FALSE(reader.readLine(line));
  EXPECT_TRUE(reader.failed());
  EXPECT_TRUE(reader.atEnd());
}

}  // namespace
}  // namespace ombrix
