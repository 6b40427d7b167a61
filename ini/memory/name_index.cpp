#include "ini/memory/name_index.h"

#include <algorithm>
#include <stdexcept>

#include "ini/text/case_fold.h"

namespace ombrix {

// FNV-1a over the folded bytes, last byte first.
void NameIndex::BackwardHash::add(char byte) {
  hash_ ^= foldCase(static_cast<unsigned char>(byte));
  hash_ *= 1099511628211ULL;
}

std::uint64_t NameIndex::hashOf(std::string_view name) {
  BackwardHash hash;
  for (auto c = name.rbegin(); c != name.rend(); ++c) {
    hash.add(*c);
  }
  return hash.value();
}

void NameIndex::reserve(std::size_t names) {
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
    if (slot.value != kFree) {
      slots_[slotOf(slot.tag)] = slot;
    }
  }
}

// The multiplication spreads FNV's weak low bits over the top ones.
std::uint32_t NameIndex::tagOf(std::uint64_t hash) {
  return static_cast<std::uint32_t>((hash * 0x9E3779B97F4A7C15ULL) >> 32);
}

void NameIndex::prefetch([[maybe_unused]] std::uint64_t hash) const {
#if defined(__GNUC__) || defined(__clang__)
  if (!slots_.empty()) {
    __builtin_prefetch(&slots_[firstSlotOf(tagOf(hash))]);
  }
#endif
}

std::size_t NameIndex::slotOf(std::uint32_t tag) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = firstSlotOf(tag);
  while (slots_[slot].value != kFree && slots_[slot].tag != tag) {
    slot = (slot + 1) & mask;
  }
  return slot;
}

void NameIndex::growIfFull() {
  if (2 * (used_ + 1) > slots_.size()) {
    reserve(std::max<std::size_t>(2 * (used_ + 1), 8));
  }
}

bool NameIndex::insert(std::uint64_t hash, std::uint32_t paragraph) {
  if (paragraph >= kMostValues) {
    throw std::length_error("more than two billion entries in one index");
  }
  growIfFull();
  const std::uint32_t tag = tagOf(hash);
  Slot& slot = slots_[slotOf(tag)];
  if (slot.value == kFree || slot.value == kEmptied) {
    used_ += slot.value == kFree ? 1 : 0;
    slot = Slot{tag, paragraph};
    return true;
  }
  if (slot.value < kList) {
    if (slot.value != paragraph) {
      lists_.push_back({std::min(slot.value, paragraph), std::max(slot.value, paragraph)});
      slot.value = kList | static_cast<std::uint32_t>(lists_.size() - 1);
    }
    return false;
  }
  std::vector<std::uint32_t>& list = lists_[slot.value - kList];
  // Paragraphs are filed in ascending order while the text is read.
  if (list.back() < paragraph) {
    list.push_back(paragraph);
  } else if (const auto place = std::lower_bound(list.begin(), list.end(), paragraph);
             place == list.end() || *place != paragraph) {
    list.insert(place, paragraph);
  }
  return false;
}

// An emptied slot stays taken, so that the probe sequences of other hashes are not broken.
void NameIndex::erase(std::uint64_t hash, std::uint32_t paragraph) {
  if (slots_.empty()) {
    return;
  }
  Slot& slot = slots_[slotOf(tagOf(hash))];
  if (slot.value == kFree || slot.value == kEmptied) {
    return;
  }
  if (slot.value < kList) {
    slot.value = slot.value == paragraph ? kEmptied : slot.value;
    return;
  }
  std::vector<std::uint32_t>& list = lists_[slot.value - kList];
  list.erase(std::remove(list.begin(), list.end(), paragraph), list.end());
  if (list.size() == 1) {
    slot.value = list.front();
    std::vector<std::uint32_t>().swap(list);
  }
}

std::span<const std::uint32_t> NameIndex::find(std::uint64_t hash) const {
  if (slots_.empty()) {
    return {};
  }
  const Slot& slot = slots_[slotOf(tagOf(hash))];
  if (slot.value == kFree || slot.value == kEmptied) {
    return {};
  }
  if (slot.value < kList) {
    return {&slot.value, 1};
  }
  return lists_[slot.value - kList];
}

void NameIndex::clear() {
  slots_.clear();
  lists_.clear();
  used_ = 0;
}

}  // namespace ombrix
