#include "ini/document/loaded_headers.h"

#include <algorithm>
#include <utility>

#include "ini/text/byte_search.h"
#include "ini/text/case_fold.h"

namespace ombrix {

void LoadedHeaders::reserve(std::size_t textSize) {
  keys_.reserve(textSize / 4);
  filed_.reserve(textSize / 4 / sizeof(Entry));
}

// The key runs from the "]" back to the first "[" of its line: the line's start is found first, then its
// first "[", and the bytes between are copied backwards and folded in one go.
bool LoadedHeaders::add(std::uint32_t paragraph, const char* begin, const char* bracket) {
  const char* lineStart = bracket;
  while (lineStart != begin && lineStart[-1] != '\r' && lineStart[-1] != '\n') {
    --lineStart;
  }
  const char* const first = findByte(lineStart, bracket, '[');
  if (first == bracket) {
    return true;
  }
  const auto size = static_cast<std::size_t>(bracket - first);
  if (size > kLongestKey) {
    return false;
  }
  const std::size_t key = keys_.size();
  keys_.resize(key + size);
  char* out = keys_.data() + key;
  std::size_t names = 0;
  for (const char* at = bracket; at != first;) {
    const char byte = *--at;
    names += byte == '[' ? 1 : 0;
    *out++ = static_cast<char>(foldCase(static_cast<unsigned char>(byte)));
  }
  Entry entry{key, 0, first == begin ? 1u : 0u, paragraph};
  entry.size = size & kLongestKey;
  (names <= kMostFiledNames ? filed_ : entries_).push_back(entry);
  return true;
}

// An MSD radix sort, eight bytes a step: each step reads eight bytes of every key of a range once, and sorts
// them as numbers where they lie side by side; only keys equal in those eight bytes go on to the next step.
// Keys of many lines share long tails ("x[x[x[x", " (U) [!]"), and a comparison of whole keys would read
// such a tail again at every comparison.
void LoadedHeaders::sortEntries() {
  struct Item {
    std::uint64_t bytes;   // the eight bytes from depth on, the first the highest, zero past the key's end
    std::uint32_t length;  // how many of them the key has (8 when it may go on)
    std::uint32_t entry;
  };
  struct Unsorted {
    std::size_t begin;
    std::size_t end;
    std::size_t depth;
  };
  std::vector<Item> items;
  std::vector<Entry> sorted;
  std::vector<Unsorted> ranges = {{0, entries_.size(), 0}};
  while (!ranges.empty()) {
    const Unsorted range = ranges.back();
    ranges.pop_back();
    items.clear();
    for (std::size_t position = range.begin; position < range.end; ++position) {
      const Entry& entry = entries_[position];
      const std::size_t left = entry.size > range.depth ? entry.size - range.depth : 0;
      const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(left, 8));
      std::uint64_t bytes = 0;
      for (std::uint32_t i = 0; i < length; ++i) {
        bytes |= std::uint64_t{static_cast<unsigned char>(keys_[entry.key + range.depth + i])} << (56 - 8 * i);
      }
      items.push_back({bytes, length, static_cast<std::uint32_t>(position)});
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
      return a.bytes != b.bytes ? a.bytes < b.bytes : a.length < b.length;
    });
    sorted.clear();
    for (const Item& item : items) {
      sorted.push_back(entries_[item.entry]);
    }
    std::copy(sorted.begin(), sorted.end(), entries_.begin() + static_cast<std::ptrdiff_t>(range.begin));
    for (std::size_t run = 0; run < items.size();) {
      std::size_t runEnd = run + 1;
      while (runEnd < items.size() && items[runEnd].bytes == items[run].bytes &&
             items[runEnd].length == items[run].length) {
        ++runEnd;
      }
      if (runEnd - run > 1 && items[run].length == 8) {
        ranges.push_back({range.begin + run, range.begin + runEnd, range.depth + 8});
      }
      run = runEnd;
    }
  }
}

void LoadedHeaders::buildMinima() {
  const std::size_t count = entries_.size();
  minima_.assign(2 * count, static_cast<std::uint32_t>(count));
  for (std::size_t position = 0; position < count; ++position) {
    minima_[count + position] = static_cast<std::uint32_t>(position);
  }
  for (std::size_t node = count; node-- > 1;) {
    minima_[node] = earlier(minima_[2 * node], minima_[2 * node + 1]);
  }
}

// The position of the entry of the earliest paragraph in range; entries_.size() when none is left.
std::uint32_t LoadedHeaders::firstIn(Range range) const {
  const std::size_t count = entries_.size();
  auto best = static_cast<std::uint32_t>(count);
  for (std::size_t left = range.begin + count, right = range.end + count; left < right;
       left /= 2, right /= 2) {
    if (left % 2 == 1) {
      best = earlier(best, minima_[left++]);
    }
    if (right % 2 == 1) {
      best = earlier(best, minima_[--right]);
    }
  }
  return best;
}

void LoadedHeaders::drop(std::uint32_t position) const {
  const std::size_t count = entries_.size();
  std::size_t node = count + position;
  minima_[node] = static_cast<std::uint32_t>(count);
  for (node /= 2; node >= 1; node /= 2) {
    minima_[node] = earlier(minima_[2 * node], minima_[2 * node + 1]);
  }
}

bool LoadedHeaders::startsWith(std::size_t position, std::string_view prefix) const {
  return keyOf(position).starts_with(prefix);
}

// The sorted entries whose key starts with key, searched from from on.
LoadedHeaders::Range LoadedHeaders::holdersOf(std::string_view key, std::size_t from) const {
  const auto first = std::lower_bound(entries_.begin() + static_cast<std::ptrdiff_t>(from), entries_.end(), key,
                                      [&](const Entry& entry, std::string_view k) { return keyOf(entry) < k; });
  const auto last = std::partition_point(first, entries_.end(),
                                         [&](const Entry& entry) { return keyOf(entry).starts_with(key); });
  return {static_cast<std::size_t>(first - entries_.begin()), static_cast<std::size_t>(last - entries_.begin())};
}

std::string_view LoadedHeaders::queryKey(std::string_view name) const {
  scratchKey_.resize(name.size() + 1);
  std::transform(name.rbegin(), name.rend(), scratchKey_.begin(),
                 [](char c) { return static_cast<char>(foldCase(static_cast<unsigned char>(c))); });
  scratchKey_.back() = '[';
  return scratchKey_;
}

// The hash of a key or of the start of one, read from its first byte on.
std::uint64_t LoadedHeaders::hashOfKey(std::string_view key) {
  std::uint64_t hash = kHashStart;
  for (const char byte : key) {
    hash = (hash ^ static_cast<unsigned char>(byte)) * kHashFactor;
  }
  return hash;
}

std::uint32_t LoadedHeaders::firstHolder(std::string_view name) const {
  return firstHolderOfKey(queryKey(name));
}

std::uint32_t LoadedHeaders::firstHolderOfKey(std::string_view key) const {
  return std::min(firstFiledHolder(key), firstSortedHolder(key));
}

// Filed lines are numbered in the order of the text, so the first that holds the name is the first found.
std::uint32_t LoadedHeaders::firstFiledHolder(std::string_view key) const {
  for (const std::uint32_t line : names_.find(hashOfKey(key))) {
    const Entry& entry = filed_[line];
    if (keyOf(entry).starts_with(key) && !isRetired(entry.paragraph)) {
      return entry.paragraph;
    }
  }
  return kNone;
}

// A retired paragraph's entries leave the tree as searches meet them.
std::uint32_t LoadedHeaders::firstSortedHolder(std::string_view key) const {
  if (entries_.empty()) {
    return kNone;
  }
  for (const std::uint32_t position : runStarts_.find(hashOfKey(key))) {
    if (keyOf(position) == key) {
      if (!isRetired(firstOfRun_[position])) {
        return firstOfRun_[position];
      }
      break;
    }
  }
  const Range holders = holdersOf(key, 0);
  for (;;) {
    const std::uint32_t position = firstIn(holders);
    const std::uint32_t paragraph = paragraphAt(position);
    if (paragraph == kNone || !isRetired(paragraph)) {
      return paragraph;
    }
    drop(position);
  }
}

void LoadedHeaders::retire(std::uint32_t paragraph) {
  if (paragraph >= retired_.size()) {
    retired_.resize(paragraph + 1);
  }
  retired_[paragraph] = true;
}

// Files every name of the filed lines in the order of the text, a batch at a time with the slots of the
// batch fetched ahead: a name's key is the start of the line's key up to a "[", the line's whole key last.
// A leading line is the first holder of its name when no name filed before it has the hash of its key and
// no sorted line before it holds the name.
void LoadedHeaders::fileNames(std::size_t textSize, std::vector<std::uint32_t>& firstLeading) {
  names_.reserve(std::min(filed_.size() * kMostFiledNames, textSize / NameIndex::kBytesPerName));
  struct Name {
    std::uint64_t hash;
    std::uint32_t line;
    bool wholeKeyOfLeading;
  };
  std::vector<Name> batch;
  auto fileBatch = [&] {
    for (const Name& name : batch) {
      names_.prefetch(name.hash);
    }
    for (const Name& name : batch) {
      const bool first = names_.insert(name.hash, name.line);
      const Entry& entry = filed_[name.line];
      if (name.wholeKeyOfLeading && first && firstSortedHolder(keyOf(entry)) >= entry.paragraph) {
        firstLeading.push_back(entry.paragraph);
      }
    }
    batch.clear();
  };
  for (std::size_t line = 0; line < filed_.size(); ++line) {
    std::uint64_t hash = kHashStart;
    const std::string_view key = keyOf(filed_[line]);
    for (std::size_t at = 0; at < key.size(); ++at) {
      hash = (hash ^ static_cast<unsigned char>(key[at])) * kHashFactor;
      if (key[at] == '[') {
        batch.push_back({hash, static_cast<std::uint32_t>(line), at + 1 == key.size() && filed_[line].leading});
      }
    }
    if (batch.size() >= 64) {
      fileBatch();
    }
  }
  fileBatch();
}

// Equal keys of the sorted lines lie together. For each run of them the holders of its name are the run and
// the longer keys after it that start with it; the first of them is kept with the run, which is filed by the
// hash of its key. The whole name of a sorted line holds too many "[" for a filed line to hold it.
std::vector<std::uint32_t> LoadedHeaders::firstLeadingParagraphs(std::size_t textSize) {
  sortEntries();
  buildMinima();
  firstOfRun_.assign(entries_.size(), kNone);
  runStarts_.reserve(std::min(entries_.size(), textSize / NameIndex::kBytesPerName));
  std::vector<std::uint32_t> paragraphs;
  for (std::size_t run = 0; run < entries_.size();) {
    const std::string_view key = keyOf(run);
    std::size_t runEnd = run + 1;
    while (runEnd < entries_.size() && keyOf(runEnd) == key) {
      ++runEnd;
    }
    Range holders{run, runEnd};
    if (runEnd < entries_.size() && startsWith(runEnd, key)) {
      holders = holdersOf(key, run);
    }
    const std::uint32_t first = paragraphAt(firstIn(holders));
    firstOfRun_[run] = first;
    runStarts_.insert(hashOfKey(key), static_cast<std::uint32_t>(run));
    for (std::size_t position = run; position < runEnd; ++position) {
      if (entries_[position].leading && entries_[position].paragraph == first) {
        paragraphs.push_back(first);
        break;
      }
    }
    run = runEnd;
  }
  fileNames(textSize, paragraphs);
  return paragraphs;
}

void LoadedHeaders::clear() {
  keys_ = {};
  filed_ = {};
  names_.clear();
  entries_ = {};
  minima_ = {};
  runStarts_.clear();
  firstOfRun_ = {};
  retired_ = {};
}

}  // namespace ombrix
