// The in-memory engine against the reference (every key read and written through the whole file), on
// thousands of generated inputs: the same bytes, the same count, the same values read on the way.

#include <gtest/gtest.h>

#include "differential/ini_generator.h"
#include "engine_merge.h"
#include "merge/change_report.h"

namespace ombrix {
namespace {

constexpr unsigned kCases = 4000;

// A failing input is shown with its line breaks and control bytes visible.
const auto visible = escapeForTerminal;

TEST(EnginesAgree, OnGeneratedMergesUnderEveryPolicy) {
  int indexedCases = 0;
  for (unsigned seed = 0; seed < kCases; ++seed) {
    test::IniGenerator generator(seed);
    const std::string userList = generator.userList();
    const std::string newKeys = generator.newKeys();
    const std::string base = seed % 3 == 0 ? newKeys : generator.newKeys();
    const bool preferNew = seed % 2 == 0;
    for (MergePolicy policy : {MergePolicy::ReplaceAll, MergePolicy::KeepPlayable, MergePolicy::KeepExisting,
                               MergePolicy::KeepMyEdits}) {
      const test::EngineMerge expected =
          test::mergeWith(MergeEngine::File, userList, newKeys, policy, base, preferNew);
      const test::EngineMerge actual =
          test::mergeWith(MergeEngine::Memory, userList, newKeys, policy, base, preferNew);
      ASSERT_EQ(actual.list, expected.list)
          << "seed " << seed << " policy " << static_cast<int>(policy) << "\nuser list: " << visible(userList)
          << "\nnew keys: " << visible(newKeys) << "\nexpected: " << visible(expected.list)
          << "\nactual:   " << visible(actual.list);
      ASSERT_EQ(actual.count, expected.count) << "seed " << seed;
      ASSERT_TRUE(actual.completed && expected.completed);
    }
    indexedCases += test::documentOf(userList).indexed() ? 1 : 0;
  }
  // The generator's lists are all ordinary enough for the index: the fallback is not what is tested here.
  EXPECT_EQ(indexedCases, static_cast<int>(kCases));
}

// A section of thousands of keys, named by the new keys out of order with gaps, repeats, other sections in
// between and more lines than the reader holds at once: the pass names keys ahead to the memory engine there.
TEST(EnginesAgree, OnALargeSectionInAnyOrder) {
  std::mt19937 random(7);
  std::string list = "[Big]\r\n";
  std::string newKeys = "[Big]\r\n";
  for (int i = 0; i < 3000; ++i) {
    list += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  }
  list += "\r\n[Small]\r\nkey1=1\r\n\r\n";
  for (int i = 0; i < 3000; ++i) {
    const auto n = random() % 3300;
    newKeys += n % 997 == 0 ? "[Small]\r\n" : n % 1009 == 0 ? "[Big]\r\n" : n % 31 == 0 ? "// note\r\n" : "";
    newKeys += "Key" + std::to_string(n) + "=" + (n % 13 == 0 ? "" : "value number " + std::to_string(i)) + "\r\n";
  }
  for (MergePolicy policy : {MergePolicy::ReplaceAll, MergePolicy::KeepExisting}) {
    const test::EngineMerge expected = test::mergeWith(MergeEngine::File, list, newKeys, policy);
    const test::EngineMerge actual = test::mergeWith(MergeEngine::Memory, list, newKeys, policy);
    EXPECT_TRUE(actual.list == expected.list && actual.count == expected.count) << static_cast<int>(policy);
  }
}

// What a write must report, from what the text held before it.
void expectChangeTold(const KeyChange& change, const KeyLookup& before, const std::string& section,
                      const std::string& key, const std::string& value, unsigned seed, int step) {
  KeyChange::Kind expected = KeyChange::Kind::None;
  if (!section.empty() && !key.empty()) {
    if (before.keyFound) {
      expected = value.empty()           ? KeyChange::Kind::Deleted
                 : before.value == value ? KeyChange::Kind::None
                                         : KeyChange::Kind::Changed;
    } else if (!value.empty()) {
      expected = KeyChange::Kind::Added;
    }
  }
  ASSERT_EQ(change.kind, expected) << "seed " << seed << " step " << step;
  if (expected == KeyChange::Kind::Changed || expected == KeyChange::Kind::Deleted) {
    ASSERT_EQ(change.oldValue, before.value) << "seed " << seed << " step " << step;
  }
  if (expected == KeyChange::Kind::Added) {
    ASSERT_EQ(change.sectionAdded, !before.sectionFound) << "seed " << seed << " step " << step;
  }
}

// Reads between the writes must agree too, including writes of names and values the merge pass never
// produces (line breaks inside them), which the document hands to the whole-text functions.
TEST(EnginesAgree, OnGeneratedSequencesOfReadsAndWrites) {
  for (unsigned seed = 0; seed < kCases; ++seed) {
    test::IniGenerator generator(seed);
    std::string reference = generator.userList();
    // Most documents read their sections in chunks of a few lines, so runs of chunks and their key index
    // are tried on every kind of edit.
    const std::size_t chunkBytes = seed % 4 == 0 ? IniDocument::kChunkBytes : 1 + seed % 61;
    IniDocument document = test::documentOf(reference, chunkBytes);
    document.trackChanges(true);
    normaliseLoadedText(reference);
    std::mt19937 random(seed);
    for (int step = 0; step < 25; ++step) {
      std::string section = generator.section();
      const std::string key = generator.key();
      std::string value = random() % 5 == 0 ? std::string() : generator.value();
      if (random() % 200 == 0) {
        value += "\r\n[G1]";
      }
      if (random() % 300 == 0) {
        section = "";
      }
      const std::string text = reference;
      const test::DocumentStep done = test::stepDocument(document, reference, section, key, &value);
      ASSERT_EQ(done.read, done.expectedRead)
          << "seed " << seed << " step " << step << " text " << visible(text);
      expectChangeTold(document.lastChange(), done.before, section, key, value, seed, step);
      ASSERT_EQ(document.text(), reference) << "seed " << seed << " step " << step << " [" << visible(section)
                                            << "] " << visible(key) << "=" << visible(value);
    }
  }
}

}  // namespace
}  // namespace ombrix
