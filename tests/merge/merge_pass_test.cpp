#include "merge/merge_pass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine_merge.h"
#include "ini/text/ini_text.h"
#include "test_support.h"

namespace ombrix {
namespace {

using test::crlf;
using testing::ElementsAre;

// The pass with the reference store, which reads and writes the whole list for every key.
test::EngineMerge mergeOnDisk(const std::string& newKeys, const std::string& output, MergePolicy policy) {
  test::EngineMerge merge = test::mergeWith(MergeEngine::File, output, newKeys, policy);
  EXPECT_TRUE(merge.completed);
  return merge;
}

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
  void saveKey(std::string_view section, std::string_view key, std::string_view value) override {
    writes.push_back("[" + std::string(section) + "]" + std::string(key) + "=" + std::string(value));
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

TEST(MergePass, KeepPlayableReadsTheOutputsComment) {
  RecordingStore store;
  const std::pair<const char*, bool> statuses[] = {
      {"Playable", false},
      {"playable ", false},
      {"Almost playable", true},
      {"Not playable", true},
      {"Unplayable", true},
      {"nothing yet", true},
      {"", true},
      {"Playable - crashes", false},
      {"Playable, Nothing", true},
  };
  // Long comments take another way through the status test than the usual few words.
  const std::string padding(300, '.');
  const std::pair<std::string, bool> longStatuses[] = {
      {padding + "PLAYABLE", false}, {padding + "Playable" + padding + "not", true}, {padding, true}};
  for (const auto& [status, written] : longStatuses) {
    store.values[{"G", "Comment"}] = status;
    EXPECT_EQ(writesFor(crlf("[G]|Speed=2"), MergePolicy::KeepPlayable, store).size(), written ? 1u : 0u);
  }
  for (const auto& [status, written] : statuses) {
    store.values[{"G", "Comment"}] = status;
    EXPECT_EQ(writesFor(crlf("[G]|Speed=2"), MergePolicy::KeepPlayable, store).size(), written ? 1u : 0u)
        << status;
  }
}

TEST(MergePass, KeepExistingWritesMissingAndEmptyKeysOnly) {
  RecordingStore store;
  store.values[{"G", "Speed"}] = "1";
  store.values[{"G", "Blank"}] = "";
  EXPECT_THAT(writesFor(crlf("[G]|Speed=2|Blank=3|New=4|"), MergePolicy::KeepExisting, store),
              ElementsAre("[G]Blank=3", "[G]New=4"));
}

TEST(MergePass, CountsKeyLinesOutsideAnySectionUnderEveryPolicy) {
  for (MergePolicy policy : {MergePolicy::ReplaceAll, MergePolicy::KeepPlayable, MergePolicy::KeepExisting}) {
    const test::EngineMerge out = mergeOnDisk(crlf("k=1|j=2|"), crlf("[A]|k=0||"), policy);
    EXPECT_EQ(out.count, 2);
    EXPECT_EQ(out.list, crlf("[A]|k=0||")) << "a key without a section is never written";
  }
}

TEST(MergePass, SeesItsOwnEarlierWrites) {
  // The Comment set early in a section protects the keys after it.
  const test::EngineMerge out =
      mergeOnDisk(crlf("[G]|Comment=Playable|Speed=9|"), crlf("[G]|Speed=1||"), MergePolicy::KeepPlayable);
  EXPECT_EQ(out.count, 1);
  EXPECT_EQ(out.list, crlf("[G]|Speed=1|Comment=Playable||"));
}

TEST(MergePass, ReportsProgressForEveryLineBeforeHandlingIt) {
  std::istringstream in(crlf("[G]||k=1"));
  LineReader lines(in);
  RecordingStore store;
  std::vector<std::string> progress;
  runMergePass(lines, store, MergePolicy::ReplaceAll, [&](std::string_view text) {
    progress.emplace_back(text);
    progress.push_back(std::to_string(store.writes.size()) + " written");
  });
  EXPECT_THAT(progress, ElementsAre("Processing line 1", "0 written", "Processing line 2", "0 written",
                                    "Processing line 3", "0 written"));
}

TEST(MergePass, NumbersEveryLineInPlainDecimals) {
  std::string manyLines;
  for (int i = 0; i < 10'050; ++i) {
    manyLines += "// line\r\n";
  }
  std::istringstream in(manyLines);
  LineReader lines(in);
  RecordingStore store;
  int expected = 0;
  int wrong = 0;
  runMergePass(lines, store, MergePolicy::ReplaceAll, [&](std::string_view text) {
    wrong += text == "Processing line " + std::to_string(++expected) ? 0 : 1;
  });
  EXPECT_EQ(expected, 10'050);
  EXPECT_EQ(wrong, 0);
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

}  // namespace
}  // namespace ombrix
