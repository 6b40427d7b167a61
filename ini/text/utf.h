#pragma once

// UTF-8 and UTF-16 texts, for the systems that speak UTF-16 (Windows' dialogs, messages and console).

#include <string>
#include <string_view>

namespace ombrix {

// A byte that is no part of a UTF-8 character becomes U+FFFD; so does a lone surrogate of UTF-16.
std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// Text that mixes UTF-8 (paths, messages) with the lists' Windows-1252 (game names, values), as the command
// line prints it: a byte that is no part of a UTF-8 character is taken as a Windows-1252 character.
std::u16string mixedTextToUtf16(std::string_view text);

inline bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace ombrix
