#pragma once

// What in a list would make a merge misbehave, each with the line it stands on.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix {

struct ListFinding {
  std::size_t line;  // from 1
  std::string message;
};

// Duplicate sections (letter case ignored), duplicate keys in one section, a last section without its
// closing empty line, sections not separated by an empty line, header lines with characters after their
// "]", header texts inside other lines before the real header, LF-only or CR-only line ends, UTF-16 text
// and a UTF-8 byte-order mark.
std::vector<ListFinding> checkList(std::string_view bytes);

}  // namespace ombrix
