#pragma once

// The header texts of a document as it was loaded, for finding the first paragraph that holds a header text
// of a name. A header text "[" ... "]" stands for one name per "[" on its line before the "]", each running
// from after its "[" to the "]"; every name of a line is a tail of the text from its first "[". So each
// header text is kept once, as its key: its bytes from the "]" back to the first "[" of its line, letter
// case folded. The header texts that hold a name are exactly those whose key starts with the name read
// backwards and a "[". A line of a few names, as game lists have them ("Game (U) [!]"), is filed under
// each; the keys of lines of more are sorted, so that those starting with a name lie side by side. The
// cost is a few entries and the header's own bytes per line, however many "[" the line holds and however
// many lines share a bracket tag.
//
// Paragraphs whose header texts an edit may have changed are retired: their loaded header texts no longer
// count, and the document files what they hold now elsewhere.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ini/memory/name_index.h"
#include "ini/memory/text_arena.h"

namespace ombrix {

class LoadedHeaders {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // Room for the header texts of a text of textSize bytes, as game lists hold them: a quarter of its bytes.
  void reserve(std::size_t textSize);
  // The header text whose "]" stands at bracket, in the paragraph whose bytes begin at begin. False when
  // its line is too long to be kept (over 2 GB), which the document leaves to the whole-text functions.
  bool add(std::uint32_t paragraph, const char* begin, const char* bracket);
  // Sorts what was added from a text of textSize bytes. Afterwards onFirstLeading(paragraph) is called for
  // every paragraph whose first line is a header text of a name that no earlier paragraph holds one of.
  template <typename OnFirstLeading>
  void finish(std::size_t textSize, OnFirstLeading onFirstLeading);

  // The first paragraph not retired that holds a header text of name; kNone when there is none.
  std::uint32_t firstHolder(std::string_view name) const;
  void retire(std::uint32_t paragraph);
  bool isRetired(std::uint32_t paragraph) const { return paragraph < retired_.size() && retired_[paragraph]; }
  void clear();

 private:
  struct Entry {
    std::size_t key;  // offset of the key in keys_
    std::uint32_t size : 31;
    std::uint32_t leading : 1;
    std::uint32_t paragraph;
  };
  static constexpr std::size_t kLongestKey = (std::size_t{1} << 31) - 1;
  struct Range {
    std::size_t begin;
    std::size_t end;
  };

  // A line of at most this many names (two bracket tags on a game's name) has each filed by its hash; the
  // keys of lines of more are sorted.
  static constexpr std::size_t kMostFiledNames = 3;
  static constexpr std::uint64_t kHashStart = 14695981039346656037ULL;
  static constexpr std::uint64_t kHashFactor = 1099511628211ULL;
  static std::uint64_t hashOfKey(std::string_view key);
  void fileNames(std::size_t textSize, std::vector<std::uint32_t>& firstLeading);
  std::uint32_t firstHolderOfKey(std::string_view key) const;
  std::uint32_t firstFiledHolder(std::string_view key) const;
  std::uint32_t firstSortedHolder(std::string_view key) const;

  std::string_view keyOf(const Entry& entry) const { return {keys_.data() + entry.key, entry.size}; }
  std::string_view keyOf(std::size_t position) const { return keyOf(entries_[position]); }
  bool startsWith(std::size_t position, std::string_view prefix) const;
  Range holdersOf(std::string_view key, std::size_t from) const;
  std::string_view queryKey(std::string_view name) const;
  void sortEntries();
  void buildMinima();
  void drop(std::uint32_t position) const;
  std::uint32_t firstIn(Range range) const;
  std::uint32_t paragraphAt(std::uint32_t position) const {
    return position < entries_.size() ? entries_[position].paragraph : kNone;
  }
  std::uint32_t earlier(std::uint32_t a, std::uint32_t b) const {
    return paragraphAt(b) < paragraphAt(a) ? b : a;
  }
  std::vector<std::uint32_t> firstLeadingParagraphs(std::size_t textSize);

  std::vector<char, BlockAllocator<char>> keys_;
  std::vector<Entry, BlockAllocator<Entry>> filed_;    // lines of few names, in the order of the text
  NameIndex names_;                                   // numbers in filed_ by the hash of each name's key
  std::vector<Entry, BlockAllocator<Entry>> entries_;  // lines of more names, sorted by key once finished
  // A tree of minima over the sorted entries: minima_[size + i] is entry i, every other node the one of its
  // two children with the earlier paragraph. A retired entry is replaced by entries_.size(), no paragraph.
  mutable std::vector<std::uint32_t, BlockAllocator<std::uint32_t>> minima_;
  // The first sorted position of each key, by its hash, and there the first paragraph holding its name: a
  // name that a line's whole header text stands for, as most names looked for are, is found without a search.
  NameIndex runStarts_;
  std::vector<std::uint32_t, BlockAllocator<std::uint32_t>> firstOfRun_;
  std::vector<bool> retired_;
  mutable std::string scratchKey_;
};

template <typename OnFirstLeading>
void LoadedHeaders::finish(std::size_t textSize, OnFirstLeading onFirstLeading) {
  for (const std::uint32_t paragraph : firstLeadingParagraphs(textSize)) {
    onFirstLeading(paragraph);
  }
}

}  // namespace ombrix
