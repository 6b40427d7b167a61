#pragma once

// Numbers filed under names, by a hash of the name with its letter case folded: the paragraphs of a document
// that hold a header text of a name, the chunks of a large section that hold a key, the sections of a base,
// the groups of a change report (the index calls each number a paragraph, after its first use). Different
// names may share a hash: the index holds every number filed under a name, and perhaps a few more, so
// callers confirm a match in the text. Open addressing with 8-byte slots keeps a lookup to one cache line
// and the index of 100,000 names to 2 MB, which matters with tens of thousands of games.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ini/memory/text_arena.h"

namespace ombrix {

class NameIndex {
 public:
  // The hash of a name with its letter case folded, so that names equal without regard to case share it.
  // It is taken from the name's last byte to its first: a header text is read back from its "]", and every
  // "[" met on the way starts a name the text can stand for, whose hash is then at hand.
  static std::uint64_t hashOf(std::string_view name);

  // The hash of a name built byte by byte from its end: hashOf(name) once every byte was added, last first.
  class BackwardHash {
   public:
    void add(char byte);
    std::uint64_t value() const { return hash_; }

   private:
    std::uint64_t hash_ = 14695981039346656037ULL;
  };

  // The most bytes that reserving room for one more name can take: a slot is 8 bytes, at most half of them
  // are used, and their count is rounded up to a power of two.
  static constexpr std::size_t kBytesPerName = 32;
  // Paragraphs (or whatever the numbers filed stand for) are numbered below this.
  static constexpr std::uint32_t kMostValues = 0x80000000;
  void reserve(std::size_t names);
  // Files the paragraph (below kMostValues, else std::length_error) under hash. True when no paragraph was
  // filed under hash before.
  bool insert(std::uint64_t hash, std::uint32_t paragraph);
  void erase(std::uint64_t hash, std::uint32_t paragraph);
  // Starts loading the slot where hash begins its search, so that a batch of insertions does not wait for
  // memory one slot at a time.
  void prefetch(std::uint64_t hash) const;
  // The paragraphs filed under hash, in ascending order; empty when there are none.
  std::span<const std::uint32_t> find(std::uint64_t hash) const;
  void clear();

 private:
  static constexpr std::uint32_t kFree = UINT32_MAX;
  static constexpr std::uint32_t kEmptied = UINT32_MAX - 1;  // all its paragraphs were erased
  static constexpr std::uint32_t kList = kMostValues;        // the rest of the value numbers a list

  // One paragraph is held in the slot itself; two or more in a list of their own. The slot keeps 32 bits
  // of the hash, the bits that also pick its first slot, so that it can be moved when the table grows.
  // Names whose hashes share them share a slot, as names of one hash do.
  struct Slot {
    std::uint32_t tag = 0;
    std::uint32_t value = kFree;  // kFree, kEmptied, a paragraph, or kList plus the number of its list
  };

  static std::uint32_t tagOf(std::uint64_t hash);
  std::size_t firstSlotOf(std::uint32_t tag) const { return tag & (slots_.size() - 1); }
  std::size_t slotOf(std::uint32_t tag) const;
  void growIfFull();

  std::vector<Slot, BlockAllocator<Slot>> slots_;  // a power of two in size, at most half used
  std::size_t used_ = 0;
  std::vector<std::vector<std::uint32_t>> lists_;  // ascending; an emptied list is not reused
};

}  // namespace ombrix
