#pragma once

// Letter case of 8-bit text, folded by the Windows-1252 rules that the game lists are written in:
// A-Z with a-z, 0xC0-0xD6 with 0xE0-0xF6, 0xD8-0xDE with 0xF8-0xFE, and the pairs 0x8A/0x9A,
// 0x8C/0x9C, 0x8E/0x9E, 0x9F/0xFF. No other byte has another case.

#include <cstddef>
#include <string_view>

namespace ombrix {

// The lower-case form of a byte, or the byte itself when it has no other case.
unsigned char foldCase(unsigned char byte);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

// Position of the first occurrence of needle in text at or after from, letter case ignored;
// std::string_view::npos when there is none. An empty needle is found at from (when from <= size).
std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from = 0);

bool containsIgnoringCase(std::string_view text, std::string_view needle);

}  // namespace ombrix
