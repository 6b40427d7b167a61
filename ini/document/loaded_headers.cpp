#include "ini/document/loaded_headers.h"

#include <algorithm>
#include <utility>

#include "ini/text/case_fold.h"

namespace ombrix {

void LoadedHeaders::reserve(std::size_t textSize) {
  keys_.reserve(textSize / 4);
  entries_.reserve(textSize / 4 / sizeof(Entry));
}

// One walk back from the "]" to the start of its line keeps the bytes read backwards, folded, and cuts them
// after the "[" met last, the line's first.
bool LoadedHeaders::add(std::uint32_t paragraph, const char* begin, const char* bracket) {
  const std::size_t key = keys_.size();
  std::size_t keySize = 0;
  bool leading = false;
  for (const char* at = bracket; at != begin;) {
    --at;
    if (*at == '\r' || *at == '\n') {
      break;
    }
    keys_.push_back(static_cast<char>(foldCase(static_cast<unsigned char>(*at))));
    if (*at == '[') {
      keySize = keys_.size() - key;
      leading = at == begin;
    }
  }
  keys_.resize(key + keySize);
  if (keySize > kLongestKey) {
    return false;
  }
  if (keySize > 0) {
    Entry entry{key, 0, leading ? 1u : 0u, paragraph};
    entry.size = keySize & kLongestKey;
    entries_.push_back(entry);
  }
  return true;
}

int LoadedHeaders::byteAt(std::size_t position, std::size_t depth) const {
  const Entry& entry = entries_[position];
  return depth < entry.size ? static_cast<unsigned char>(keys_[entry.key + depth]) : -1;
}

// A three-way radix quicksort: the keys of many lines share long tails ("x[x[x[x"), and it reads each byte
// of such a tail about once instead of once per comparison. It recurses into the two smaller parts only, so
// its depth stays within the logarithm of the count however long the keys.
void LoadedHeaders::sortEntries(std::size_t begin, std::size_t end, std::size_t depth) {
  constexpr std::size_t kFewEntries = 12;
  while (end - begin > 1) {
    if (end - begin <= kFewEntries) {
      std::sort(entries_.begin() + static_cast<std::ptrdiff_t>(begin),
                entries_.begin() + static_cast<std::ptrdiff_t>(end), [&](const Entry& a, const Entry& b) {
                  return keyOf(a).substr(depth) < keyOf(b).substr(depth);
                });
      return;
    }
    const std::size_t middle = begin + (end - begin) / 2;
    const int a = byteAt(begin, depth);
    const int b = byteAt(middle, depth);
    const int c = byteAt(end - 1, depth);
    const int pivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
    std::size_t less = begin;
    std::size_t at = begin;
    std::size_t greater = end;
    while (at < greater) {
      const int byte = byteAt(at, depth);
      if (byte < pivot) {
        std::swap(entries_[less++], entries_[at++]);
      } else if (byte > pivot) {
        std::swap(entries_[at], entries_[--greater]);
      } else {
        ++at;
      }
    }
    struct Part {
      std::size_t begin;
      std::size_t end;
      std::size_t depth;
    };
    // Keys that ended at depth are equal: that part is sorted already.
    Part parts[3] = {{begin, less, depth}, {less, pivot < 0 ? less : greater, depth + 1}, {greater, end, depth}};
    Part* largest = std::max_element(std::begin(parts), std::end(parts), [](const Part& x, const Part& y) {
      return x.end - x.begin < y.end - y.begin;
    });
    for (Part& part : parts) {
      if (&part != largest) {
        sortEntries(part.begin, part.end, part.depth);
      }
    }
    begin = largest->begin;
    end = largest->end;
    depth = largest->depth;
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

// A retired paragraph's entries leave the tree as searches meet them.
std::uint32_t LoadedHeaders::firstHolder(std::string_view name) const {
  if (entries_.empty()) {
    return kNone;
  }
  const std::string_view key = queryKey(name);
  for (const std::uint32_t position : runStarts_.find(HeaderIndex::hashOf(key))) {
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

std::size_t LoadedHeaders::holderCount(std::string_view name) const {
  const Range holders = holdersOf(queryKey(name), 0);
  std::vector<std::uint32_t> paragraphs;
  for (std::size_t position = holders.begin; position < holders.end; ++position) {
    paragraphs.push_back(entries_[position].paragraph);
  }
  std::sort(paragraphs.begin(), paragraphs.end());
  return static_cast<std::size_t>(std::unique(paragraphs.begin(), paragraphs.end()) - paragraphs.begin());
}

void LoadedHeaders::retire(std::uint32_t paragraph) {
  if (paragraph >= retired_.size()) {
    retired_.resize(paragraph + 1);
  }
  retired_[paragraph] = true;
}

// Equal keys lie together: for each run of them that holds a leading line, the holders are the run and the
// longer keys after it that start with it.
// Equal keys lie together. For each run of them the holders of its name are the run and the longer keys
// after it that start with it; the first of them is kept with the run, which is filed by the hash of its
// key, a batch at a time with the slots of the batch fetched ahead.
std::vector<std::uint32_t> LoadedHeaders::firstLeadingParagraphs(std::size_t textSize) {
  sortEntries(0, entries_.size(), 0);
  buildMinima();
  firstOfRun_.assign(entries_.size(), kNone);
  runStarts_.reserve(std::min(entries_.size(), textSize / HeaderIndex::kBytesPerName));
  constexpr std::size_t kBatch = 64;
  std::uint64_t hashes[kBatch];
  std::uint32_t positions[kBatch];
  std::size_t batched = 0;
  auto fileBatch = [&] {
    for (std::size_t i = 0; i < batched; ++i) {
      runStarts_.prefetch(hashes[i]);
    }
    for (std::size_t i = 0; i < batched; ++i) {
      runStarts_.insert(hashes[i], positions[i]);
    }
    batched = 0;
  };
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
    for (std::size_t position = run; position < runEnd; ++position) {
      if (entries_[position].leading && entries_[position].paragraph == first) {
        paragraphs.push_back(first);
        break;
      }
    }
    hashes[batched] = HeaderIndex::hashOf(key);
    positions[batched++] = static_cast<std::uint32_t>(run);
    if (batched == kBatch) {
      fileBatch();
    }
    run = runEnd;
  }
  fileBatch();
  return paragraphs;
}

void LoadedHeaders::clear() {
  keys_ = {};
  entries_ = {};
  minima_ = {};
  runStarts_.clear();
  firstOfRun_ = {};
  retired_ = {};
}

}  // namespace ombrix
