#pragma once

// Letter case of 8-bit text, folded by the Windows-1252 rules that the game lists are written in:
// A-Z with a-z, 0xC0-0xD6 with 0xE0-0xF6, 0xD8-0xDE with 0xF8-0xFE, and the pairs 0x8A/0x9A,
// 0x8C/0x9C, 0x8E/0x9E, 0x9F/0xFF. No other byte has another case.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "ini/text/byte_search.h"

namespace ombrix {

namespace fold_detail {
constexpr std::array<unsigned char, 256> makeFoldTable() {
  std::array<unsigned char, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    table[i] = static_cast<unsigned char>(i);
  }
  auto pair = [&table](unsigned upper, unsigned lower) { table[upper] = static_cast<unsigned char>(lower); };
  for (unsigned c = 'A'; c <= 'Z'; ++c) {
    pair(c, c + 32);
  }
  for (unsigned c = 0xC0; c <= 0xD6; ++c) {
    pair(c, c + 32);
  }
  for (unsigned c = 0xD8; c <= 0xDE; ++c) {
    pair(c, c + 32);
  }
  pair(0x8A, 0x9A);
  pair(0x8C, 0x9C);
  pair(0x8E, 0x9E);
  pair(0x9F, 0xFF);
  return table;
}

inline constexpr std::array<unsigned char, 256> kFold = makeFoldTable();
}  // namespace fold_detail

// The lower-case form of a byte, or the byte itself when it has no other case. Inline: it runs for every
// byte compared or hashed.
inline unsigned char foldCase(unsigned char byte) {
  return fold_detail::kFold[byte];
}

// The text with every byte folded: names equal without regard to case give the same text.
inline std::string foldedText(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
  }
  return folded;
}

// Whether a and b hold the same bytes: a word at a time, the last word overlapping the one before it.
inline bool sameBytes(const char* a, const char* b, std::size_t size) {
  using byte_search_detail::load;
  if (size >= 8) {
    for (std::size_t offset = 0; offset + 8 <= size; offset += 8) {
      if (load(a + offset) != load(b + offset)) {
        return false;
      }
    }
    return load(a + size - 8) == load(b + size - 8);
  }
  if (size >= 4) {
    return byte_search_detail::loadEnds(a, size) == byte_search_detail::loadEnds(b, size);
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

// Inline, with the bytes compared as they are first: the store compares a key or section name with the text
// hundreds of thousands of times in a merge, and the two are nearly always spelled alike.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  if (sameBytes(a.data(), b.data(), a.size())) {
    return true;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Position of the first occurrence of needle in text at or after from, letter case ignored;
// std::string_view::npos when there is none. An empty needle is found at from (when from <= size).
std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from = 0);

}  // namespace ombrix
