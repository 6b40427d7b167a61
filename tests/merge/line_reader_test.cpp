#include "merge/line_reader.h"

#include <gtest/gtest.h>

#include <random>
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

// Lines end at CR LF, at a lone CR or at a lone LF; a last line without a break still counts.
Lines splitLines(const std::string& bytes) {
  Lines lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') {
      line += bytes[i];
      continue;
    }
    lines.push_back(line);
    line.clear();
    i += bytes.compare(i, 2, "\r\n") == 0 ? 1u : 0u;
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

// Random texts of line breaks and letters through buffers of every size around theirs, so that breaks fall
// on every kind of buffer border.
TEST(LineReader, LineBreaksOnEveryBorderOfASmallBuffer) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    std::string bytes(random() % 24, 'a');
    for (char& c : bytes) {
      c = std::string("\r\na", 3)[random() % 3];
    }
    for (std::size_t bufferSize = 1; bufferSize <= bytes.size() + 1; ++bufferSize) {
      ASSERT_EQ(readAllLines(bytes, bufferSize), splitLines(bytes)) << testing::PrintToString(bytes);
    }
  }
}

}  // namespace
}  // namespace ombrix
