#include "ini/text/case_fold.h"

#include <array>
#include <cstring>

#include "ini/text/byte_search.h"

namespace ombrix {
namespace {

// Bytes that no other byte folds to: a search for them can jump with memchr.
constexpr std::array<bool, 256> makeCaselessTable() {
  std::array<int, 256> sharing{};
  for (unsigned i = 0; i < 256; ++i) {
    ++sharing[fold_detail::kFold[i]];
  }
  std::array<bool, 256> caseless{};
  for (unsigned i = 0; i < 256; ++i) {
    caseless[i] = sharing[fold_detail::kFold[i]] == 1;
  }
  return caseless;
}

constexpr std::array<bool, 256> kCaseless = makeCaselessTable();

inline unsigned char fold(char c) {
  return foldCase(static_cast<unsigned char>(c));
}

}  // namespace

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size() || needle.size() > text.size() - from) {
    return std::string_view::npos;
  }
  if (needle.empty()) {
    return from;
  }
  const std::string_view rest = needle.substr(1);
  const std::size_t last = text.size() - needle.size();
  // Line breaks and brackets start most needles of the store. No other byte has their case, so candidates
  // are found by the raw byte, several bytes at a time.
  if (kCaseless[static_cast<unsigned char>(needle[0])]) {
    const char* const begin = text.data();
    const char* const end = begin + last + 1;
    for (const char* candidate = findByte(begin + from, end, needle[0]); candidate != end;
         candidate = findByte(candidate + 1, end, needle[0])) {
      const auto position = static_cast<std::size_t>(candidate - begin);
      if (equalsIgnoringCase(text.substr(position + 1, rest.size()), rest)) {
        return position;
      }
    }
    return std::string_view::npos;
  }
  const unsigned char first = fold(needle[0]);
  for (std::size_t i = from; i <= last; ++i) {
    if (fold(text[i]) == first && equalsIgnoringCase(text.substr(i + 1, rest.size()), rest)) {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace ombrix
