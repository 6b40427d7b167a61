// The merge pass over the lines of the new keys, and how those lines are read.

#include "merge/merge_pass.h"

#include <map>
#include <sstream>

#include "ini/text/ini_text.h"
#include "test_support.h"

namespace ombrix {
namespace {

// A store that records the writes and answers reads from fixed values.
class RecordingStore final : public KeyStore {
 public:
  std::map<std::pair<std::string, std::string>, std::string> values;
  std::vector<std::string> writes;

  std::string_view readKey(std::string_view section, std::string_view key) override {
    const auto found = values.find({std::string(section), std::string(key)});
    return found == values.end() ? std::string_view() : std::string_view(found->second);
  }
  bool hasSection(std::string_view section) override {
    const auto found = values.lower_bound({std::string(section), std::string()});
    return found != values.end() && found->first.first == section;
  }
  bool saveKey(std::string_view section, std::string_view key, std::string_view value) override {
    writes.push_back("[" + std::string(section) + "]" + std::string(key) + "=" + std::string(value));
    return true;
  }
};

std::vector<std::string> writesFor(const std::string& newKeys, MergePolicy policy = MergePolicy::ReplaceAll,
                                   RecordingStore store = {}) {
  std::istringstream in(newKeys);
  LineReader lines(in);
  const PassResult result = runMergePass(lines, store, policy, {});
  EXPECT_EQ(result.changeCount, static_cast<std::int32_t>(store.writes.size()));
  return store.writes;
}

TEST(MergePass, ClassifiesTrimmedLines) {
  EXPECT_THAT(writesFor(crlf("  // note|//d=4|;a=1|#b=2|/c=3|[x|[x=3|noequals|")),
              ElementsAre("[];a=1", "[]#b=2", "[]/c=3", "[][x=3"));
  EXPECT_THAT(writesFor(crlf("[ a b ]|=v|k=|key = a = b|\tk=1|[]|k=2")),
              ElementsAre("[ a b ]=v", "[ a b ]k=", "[ a b ]key=a = b", "[ a b ]\tk=1", "[]k=2"));
  EXPECT_THAT(writesFor("  [G]  \r\nk=1\r\n"), ElementsAre("[G]k=1"));
  // A UTF-8 byte-order mark before the first header is skipped; elsewhere it is part of its line.
  EXPECT_THAT(writesFor("\xEF\xBB\xBF[G]\r\nk=1\r\n\xEF\xBB\xBFj=2\r\n"),
              ElementsAre("[G]k=1", "[G]\xEF\xBB\xBFj=2"));
}

// A game whose Comment says it is playable keeps its keys; long comments take another way through the
// status test than the usual few words.
TEST(MergePass, KeepPlayableReadsTheOutputsComment) {
  const std::string padding(300, '.');
  const std::vector<std::string> playable = {"Playable", "playable ", "Playable - crashes",
                                             padding + "PLAYABLE"};
  const std::vector<std::string> notPlayable = {"Almost playable",
                                                "Not playable",
                                                "Unplayable",
                                                "nothing yet",
                                                "",
                                                "Playable, Nothing",
                                                padding + "Playable" + padding + "not",
                                                padding};
  RecordingStore store;
  for (const auto& [statuses, written] : {std::pair{playable, 0u}, {notPlayable, 1u}}) {
    for (const std::string& status : statuses) {
      store.values[{"G", "Comment"}] = status;
      EXPECT_EQ(writesFor(crlf("[G]|Speed=2"), MergePolicy::KeepPlayable, store).size(), written) << status;
    }
  }
}

TEST(MergePass, KeepExistingWritesMissingAndEmptyKeysOnly) {
  RecordingStore store;
  store.values[{"G", "Speed"}] = "1";
  store.values[{"G", "Blank"}] = "";
  EXPECT_THAT(writesFor(crlf("[G]|Speed=2|Blank=3|New=4|"), MergePolicy::KeepExisting, store),
              ElementsAre("[G]Blank=3", "[G]New=4"));
}

// Each line, an empty one too, is reported, numbered in plain decimals, before it is handled.
TEST(MergePass, ReportsEveryLineBeforeHandlingIt) {
  std::string newKeys = "[G]\r\n\r\n";
  for (int i = 2; i < 10'050; ++i) {
    newKeys += "k=1\r\n";
  }
  std::istringstream in(newKeys);
  LineReader lines(in);
  RecordingStore store;
  std::size_t line = 0;
  std::size_t wrong = 0;
  runMergePass(lines, store, MergePolicy::ReplaceAll, [&](std::string_view text) {
    ++line;
    const bool right = text == "Processing line " + std::to_string(line) &&
                       store.writes.size() == std::max<std::size_t>(line, 3) - 3;
    wrong += right ? 0 : 1;
  });
  EXPECT_EQ(line, 10'050u);
  EXPECT_EQ(wrong, 0u);
}

TEST(MergePass, EndsOnAReadErrorKeepingTheCountSoFar) {
  const std::string firstFill = "[G]\nk=1\n";
  test::FailingStreamBuffer buffer(firstFill + std::string(LineReader::kBufferSize - firstFill.size(), 'j'));
  std::istream in(&buffer);
  LineReader lines(in);
  RecordingStore store;
  const PassResult result = runMergePass(lines, store, MergePolicy::ReplaceAll, {});
  EXPECT_FALSE(result.completed);
  EXPECT_FALSE(result.failure.empty());
  EXPECT_THAT(store.writes, ElementsAre("[G]k=1"));
  EXPECT_EQ(result.changeCount, 1);
}

using Lines = std::vector<std::string>;

Lines linesOf(LineReader&& reader) {
  Lines lines;
  std::string_view line;
  while (!reader.atEnd()) {
    EXPECT_TRUE(reader.readLine(line));
    lines.emplace_back(line);
  }
  EXPECT_FALSE(reader.failed());
  return lines;
}

// Lines end at CR LF, at a lone CR or at a lone LF; a last line without a break still counts.
Lines splitLines(const std::string& bytes) {
  Lines lines(1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') {
      lines.back() += bytes[i];
    } else {
      i += bytes.compare(i, 2, "\r\n") == 0 ? 1u : 0u;
      lines.emplace_back();
    }
  }
  if (lines.back().empty()) {
    lines.pop_back();
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
    const Lines expected = splitLines(bytes);
    ASSERT_EQ(linesOf(LineReader(std::string_view(bytes))), expected) << testing::PrintToString(bytes);
    for (std::size_t bufferSize = 1; bufferSize <= bytes.size() + 1; ++bufferSize) {
      std::istringstream in(bytes);
      ASSERT_EQ(linesOf(LineReader(in, bufferSize)), expected) << testing::PrintToString(bytes);
    }
  }
}

}  // namespace
}  // namespace ombrix
