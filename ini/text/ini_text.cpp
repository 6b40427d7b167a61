#include "ini/text/ini_text.h"

#include <algorithm>

#include "ini/text/case_fold.h"

namespace ombrix {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool endsWithCrLf(std::string_view text) {
  return text.size() >= 2 && text.substr(text.size() - 2) == kCrLf;
}

std::string keyLineNeedle(std::string_view key) {
  std::string needle(kCrLf);
  needle += key;
  needle += '=';
  return needle;
}

// The block as the writer edits it: for a closed section up to the closing empty line, for an open-ended
// one up to the end of the last line, without the text's final CR LF.
std::size_t writerBlockEnd(std::string_view text, const SectionBlock& block) {
  return block.openEnded ? text.size() - kCrLf.size() : block.end;
}

// Rewrites the block with key set to value, or with the key's first line removed when value is empty.
void editBlock(std::string& block, std::string_view key, std::string_view value) {
  const std::size_t keyBreak = findIgnoringCase(block, keyLineNeedle(key));
  if (keyBreak == npos) {
    if (!value.empty()) {
      block.append(kCrLf).append(key).append("=").append(value);
    }
    return;
  }
  // The key line's own line break; the last line of the block has none, so the block is read as if one
  // were appended, and nothing of the block follows such a line.
  std::string withBreak = block + std::string(kCrLf);
  const std::size_t lineBreak = withBreak.find(kCrLf, keyBreak + 1);
  const std::size_t resume = std::min(lineBreak + kCrLf.size(), block.size());

  std::string edited = block.substr(0, keyBreak + kCrLf.size());
  if (!value.empty()) {
    edited.append(key).append("=").append(value).append(kCrLf);
  }
  edited.append(block, resume);
  block = std::move(edited);
}

// Where the text resumes after the run of empty lines that starts at emptyLine.
std::size_t endOfEmptyLineRun(std::string_view text, std::size_t emptyLine) {
  std::size_t pos = emptyLine + kCrLf.size();
  while (text.substr(pos, kCrLf.size()) == kCrLf) {
    pos += kCrLf.size();
  }
  return pos;
}

void removeLeadingEmptyLines(std::string& text) {
  std::size_t pos = 0;
  while (text.compare(pos, kCrLf.size(), kCrLf) == 0) {
    pos += kCrLf.size();
  }
  text.erase(0, pos);
}

}  // namespace

void normaliseLoadedText(std::string& text) {
  text.append(loadedTextSuffix(text));
}

std::string_view loadedTextSuffix(std::string_view text) {
  return endsWithCrLf(text) ? std::string_view() : kCrLf;
}

std::size_t findSectionHeader(std::string_view text, std::string_view section) {
  std::string header = "[";
  header += section;
  header += "]\r";
  return findIgnoringCase(text, header);
}

std::optional<SectionBlock> findSectionBlock(std::string_view text, std::string_view section) {
  const std::size_t header = findSectionHeader(text, section);
  if (header == npos) {
    return std::nullopt;
  }
  const std::size_t emptyLine = text.find(kEmptyLine, header + 1);
  if (emptyLine == npos) {
    return SectionBlock{header, text.size(), true};
  }
  return SectionBlock{header, emptyLine, false};
}

std::string readKeyInText(std::string_view text, std::string_view section, std::string_view key) {
  return lookupKeyInText(text, section, key).value;
}

KeyLookup lookupKeyInText(std::string_view text, std::string_view section, std::string_view key) {
  KeyLookup lookup;
  if (section.empty() || key.empty()) {
    return lookup;
  }
  const std::optional<SectionBlock> block = findSectionBlock(text, section);
  if (!block) {
    return lookup;
  }
  lookup.sectionFound = true;
  // The block is searched with a CR LF appended, so that its last line ends like the others.
  std::string blockText(text.substr(block->begin, block->end - block->begin));
  blockText.append(kCrLf);
  const std::string needle = keyLineNeedle(key);
  const std::size_t keyBreak = findIgnoringCase(blockText, needle);
  if (keyBreak == npos) {
    return lookup;
  }
  lookup.keyFound = true;
  const std::size_t valueBegin = keyBreak + needle.size();
  const std::size_t valueEnd = blockText.find(kCrLf, valueBegin);
  lookup.value = blockText.substr(valueBegin, valueEnd - valueBegin);
  return lookup;
}

void saveKeyInText(std::string& text, std::string_view section, std::string_view key,
                   std::string_view value) {
  if (section.empty() || key.empty()) {
    return;
  }
  if (const std::optional<SectionBlock> found = findSectionBlock(text, section)) {
    const std::size_t blockEnd = writerBlockEnd(text, *found);
    std::string block = text.substr(found->begin, blockEnd - found->begin);
    editBlock(block, key, value);
    const std::size_t rest = found->openEnded ? text.size() : endOfEmptyLineRun(text, found->end);
    std::string edited = text.substr(0, found->begin);
    edited.append(block).append(kEmptyLine).append(text, rest);
    text = std::move(edited);
  } else if (!value.empty()) {
    text.append(kCrLf).append("[").append(section).append("]").append(kCrLf);
    text.append(key).append("=").append(value).append(kEmptyLine);
  }
  removeLeadingEmptyLines(text);
}

}  // namespace ombrix
