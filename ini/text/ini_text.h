#pragma once

// The INI text model, as pure functions on the bytes of a whole file.
//
// The text is raw 8-bit bytes; only the pair CR LF is a line break. A section header is "[" name "]"
// directly followed by CR, found anywhere in the text (even inside another line), its name compared
// without regard to letter case. A section block runs from the header's "[" up to the first empty line
// (CR LF CR LF) after it; a section with no empty line after it is open-ended and runs to the end of
// the text. A key line is CR LF, the key name and "=" inside the block; its value runs to the next CR LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ombrix {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kEmptyLine = "\r\n\r\n";

// What the load step makes of a file's bytes: the text always ends in CR LF (an empty file becomes CR LF).
void normaliseLoadedText(std::string& text);
// The bytes the load step adds to text: CR LF, or nothing.
std::string_view loadedTextSuffix(std::string_view text);

// Where the header "[" section "]" CR first stands in text; npos when it is not there.
std::size_t findSectionHeader(std::string_view text, std::string_view section);

struct SectionBlock {
  std::size_t begin = 0;  // the header's "["
  std::size_t end = 0;    // the first CR of the closing empty line, or the text's size when open-ended
  bool openEnded = false;
};

// The block of section in a loaded text, or nothing when its header is not there.
std::optional<SectionBlock> findSectionBlock(std::string_view text, std::string_view section);

// The value of key in section of a loaded text: empty when the section, the key or the value is missing,
// and when section or key is empty.
std::string readKeyInText(std::string_view text, std::string_view section, std::string_view key);

// As readKeyInText, and whether the section and the key line are there at all.
struct KeyLookup {
  bool sectionFound = false;
  bool keyFound = false;
  std::string value;
};
KeyLookup lookupKeyInText(std::string_view text, std::string_view section, std::string_view key);

// Sets (value not empty) or deletes (value empty) key in section of a loaded text and tidies the text:
// the run of empty lines after the edited section becomes one, and empty lines at the start are removed.
// A missing section is appended when value is not empty. Nothing changes when section or key is empty.
void saveKeyInText(std::string& text, std::string_view section, std::string_view key, std::string_view value);

}  // namespace ombrix
