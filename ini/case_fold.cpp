#include "ini/case_fold.h"

#include <array>

namespace ombrix {
namespace {

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

constexpr std::array<unsigned char, 256> kFold = makeFoldTable();

inline unsigned char fold(char c) {
  return kFold[static_cast<unsigned char>(c)];
}

}  // namespace

unsigned char foldCase(unsigned char byte) {
  return kFold[byte];
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) {
      return false;
    }
  }
  return true;
}

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size() || needle.size() > text.size() - from) {
    return std::string_view::npos;
  }
  if (needle.empty()) {
    return from;
  }
  const unsigned char first = fold(needle[0]);
  const std::string_view rest = needle.substr(1);
  const std::size_t last = text.size() - needle.size();
  for (std::size_t i = from; i <= last; ++i) {
    if (fold(text[i]) == first && equalsIgnoringCase(text.substr(i + 1, rest.size()), rest)) {
      return i;
    }
  }
  return std::string_view::npos;
}

bool containsIgnoringCase(std::string_view text, std::string_view needle) {
  return findIgnoringCase(text, needle) != std::string_view::npos;
}

}  // namespace ombrix
