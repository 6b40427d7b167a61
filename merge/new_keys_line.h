#pragma once

// How a line of a new-keys file reads, for the merge pass and for the base of a three-way merge alike.

#include <string_view>

namespace ombrix {

// A line of a new-keys file as the pass reads it: trimmed of spaces, skipped when empty or a "//" comment,
// a header when it is "[" name "]", and otherwise a key line when it holds a "=": the key before the first
// "=", the value after it, both trimmed. A UTF-8 byte-order mark is no part of the first line.
struct NewKeysLine {
  enum class Kind { Ignored, Header, Key };
  Kind kind = Kind::Ignored;
  std::string_view name;  // the section of a header, the key of a key line
  std::string_view value;
};
NewKeysLine readNewKeysLine(std::string_view line, bool firstLine);

// Removes leading and trailing spaces (code 32) only; tabs and other white space stay.
std::string_view trimSpaces(std::string_view text);

}  // namespace ombrix
