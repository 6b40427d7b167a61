#include "ini/document/header_index.h"

#include <algorithm>

#include "ini/text/case_fold.h"

namespace ombrix {

// FNV-1a over the folded bytes, last byte first.
void HeaderIndex::BackwardHash::add(char byte) {
  hash_ ^= foldCase(static_cast<unsigned char>(byte));
  hash_ *= 1099511628211ULL;
}

std::uint64_t HeaderIndex::hashOf(std::string_view name) {
  BackwardHash hash;
  for (auto c = name.rbegin(); c != name.rend(); ++c) {
    hash.add(*c);
  }
  return hash.value();
}

void HeaderIndex::reserve(std::size_t names) {
  std::size_t capacity = 16;
  while (capacity < 2 * names) {
    capacity *= 2;
  }
  if (capacity <= slots_.size()) {
    return;
  }
  std::vector<Slot, BlockAllocator<Slot>> old;
  old.swap(slots_);
  slots_.resize(capacity);
  for (const Slot& slot : old) {
    if (slot.count != kUnused) {
      slots_[slotOf(slot.hash)] = slot;
    }
  }
}

std::size_t HeaderIndex::firstSlotOf(std::uint64_t hash) const {
  // The multiplication spreads FNV's weak low bits over the bits that pick the slot.
  return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> 32) & (slots_.size() - 1);
}

void HeaderIndex::prefetch([[maybe_unused]] std::uint64_t hash) const {
#if defined(__GNUC__) || defined(__clang__)
  if (!slots_.empty()) {
    __builtin_prefetch(&slots_[firstSlotOf(hash)]);
  }
#endif
}

std::size_t HeaderIndex::slotOf(std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = firstSlotOf(hash);
  while (slots_[slot].count != kUnused && slots_[slot].hash != hash) {
    slot = (slot + 1) & mask;
  }
  return slot;
}

void HeaderIndex::growIfFull() {
  if (2 * (used_ + 1) > slots_.size()) {
    reserve(std::max<std::size_t>(2 * (used_ + 1), 8));
  }
}

bool HeaderIndex::insert(std::uint64_t hash, std::uint32_t paragraph) {
  growIfFull();
  Slot& slot = slots_[slotOf(hash)];
  if (slot.count == kUnused) {
    slot = Slot{hash, 0, 0};
    ++used_;
  }
  if (slot.count == 0) {
    slot.count = 1;
    slot.value = paragraph;
    return true;
  }
  if (slot.count == 1) {
    if (slot.value != paragraph) {
      lists_.push_back({std::min(slot.value, paragraph), std::max(slot.value, paragraph)});
      slot.value = static_cast<std::uint32_t>(lists_.size() - 1);
      slot.count = 2;
    }
  } else {
    std::vector<std::uint32_t>& list = lists_[slot.value];
    // Paragraphs are filed in ascending order while the text is read.
    if (list.back() < paragraph) {
      list.push_back(paragraph);
    } else if (const auto place = std::lower_bound(list.begin(), list.end(), paragraph);
               place == list.end() || *place != paragraph) {
      list.insert(place, paragraph);
    }
    slot.count = static_cast<std::uint32_t>(list.size());
  }
  return false;
}

// An emptied slot stays taken, so that the probe sequences of other hashes are not broken.
void HeaderIndex::erase(std::uint64_t hash, std::uint32_t paragraph) {
  if (slots_.empty()) {
    return;
  }
  Slot& slot = slots_[slotOf(hash)];
  if (slot.count == kUnused || slot.count == 0) {
    return;
  }
  if (slot.count == 1) {
    slot.count = slot.value == paragraph ? 0 : 1;
    return;
  }
  std::vector<std::uint32_t>& list = lists_[slot.value];
  list.erase(std::remove(list.begin(), list.end(), paragraph), list.end());
  slot.count = static_cast<std::uint32_t>(list.size());
  if (slot.count == 1) {
    const std::uint32_t remaining = list.front();
    std::vector<std::uint32_t>().swap(list);
    slot.value = remaining;
  }
}

std::span<const std::uint32_t> HeaderIndex::find(std::uint64_t hash) const {
  if (slots_.empty()) {
    return {};
  }
  const Slot& slot = slots_[slotOf(hash)];
  if (slot.count == kUnused || slot.count == 0) {
    return {};
  }
  if (slot.count == 1) {
    return {&slot.value, 1};
  }
  return lists_[slot.value];
}

void HeaderIndex::clear() {
  slots_.clear();
  lists_.clear();
  used_ = 0;
}

}  // namespace ombrix
