#include "ini/ini_document.h"

#include <algorithm>
#include <cstring>

#include "ini/case_fold.h"
#include "ini/ini_text.h"

namespace ombrix {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool holds(std::string_view text, char byte) {
  return std::memchr(text.data(), byte, text.size()) != nullptr;
}

bool holdsLineBreakByte(std::string_view text) {
  return holds(text, '\r') || holds(text, '\n');
}

bool holdsBracket(std::string_view text) {
  return holds(text, '[') || holds(text, ']');
}

void foldInto(std::string& target, std::string_view text) {
  target.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    target[i] = static_cast<char>(foldCase(static_cast<unsigned char>(text[i])));
  }
}

// The part of a section name that the index files it under: what follows its last "[". In the text, a
// header's name starts after the "[" that stands last before its "]" on that line, so this is the part of
// the name that the index could see there.
std::string_view indexedPart(std::string_view section) {
  const std::size_t bracket = section.rfind('[');
  return bracket == npos ? section : section.substr(bracket + 1);
}

void setKeyLineNeedle(std::string& needle, std::string_view key) {
  needle.assign(kCrLf).append(key).append("=");
}

}  // namespace

void IniDocument::ParagraphSet::insert(std::uint32_t paragraph) {
  if (count_ == 0) {
    single_ = paragraph;
    count_ = 1;
    return;
  }
  if (count_ == 1) {
    if (single_ == paragraph) {
      return;
    }
    many_ = {std::min(single_, paragraph), std::max(single_, paragraph)};
    count_ = 2;
    return;
  }
  const auto place = std::lower_bound(many_.begin(), many_.end(), paragraph);
  if (place == many_.end() || *place != paragraph) {
    many_.insert(place, paragraph);
    count_ = many_.size();
  }
}

void IniDocument::ParagraphSet::erase(std::uint32_t paragraph) {
  if (count_ == 1) {
    count_ = single_ == paragraph ? 0 : 1;
    return;
  }
  many_.erase(std::remove(many_.begin(), many_.end(), paragraph), many_.end());
  count_ = many_.size();
  if (count_ == 1) {
    single_ = many_.front();
    many_.clear();
  }
}

IniDocument::IniDocument(std::string bytes) {
  normaliseLoadedText(bytes);
  parse(bytes);
}

void IniDocument::parse(std::string_view text) {
  paragraphs_.assign(1, Paragraph{});
  std::size_t position = 0;
  auto countEmptyLines = [&](Paragraph& paragraph) {
    while (text.compare(position, kCrLf.size(), kCrLf) == 0) {
      ++paragraph.emptyLines;
      position += kCrLf.size();
    }
  };
  countEmptyLines(paragraphs_[0]);
  while (position < text.size()) {
    // Every CR LF is a line break, so the first CR LF CR LF ends the paragraph's last line.
    const std::size_t emptyLine = text.find(kEmptyLine, position);
    const std::size_t contentEnd = emptyLine == npos ? text.size() : emptyLine + kCrLf.size();
    Paragraph& paragraph = paragraphs_.emplace_back();
    paragraph.content.assign(text.substr(position, contentEnd - position));
    position = contentEnd;
    countEmptyLines(paragraph);
  }
  for (std::size_t i = 1; i < paragraphs_.size(); ++i) {
    if (!indexParagraph(i)) {
      fallBackToWholeText();
      return;
    }
  }
}

std::string IniDocument::text() const {
  if (wholeText_) {
    return *wholeText_;
  }
  std::size_t size = 0;
  for (const Paragraph& paragraph : paragraphs_) {
    size += paragraph.content.size() + paragraph.emptyLines * kCrLf.size();
  }
  std::string text;
  text.reserve(size);
  for (const Paragraph& paragraph : paragraphs_) {
    text.append(paragraph.content);
    for (std::size_t i = 0; i < paragraph.emptyLines; ++i) {
      text.append(kCrLf);
    }
  }
  return text;
}

// Calls visit with the name of every header text in content ("[" name "]" CR: the name starts after the
// last "[" before the "]" on its line, and holds no CR or LF). False, before visiting anything, when the
// names would take far more room than the text itself (many "]" CR after one "[" on a line), which only a
// hostile file does.
template <typename Visit>
bool forEachHeaderName(std::string_view content, Visit visit) {
  std::vector<std::string_view> names;
  std::size_t nameBytes = 0;
  const char* const begin = content.data();
  const char* const end = begin + content.size();
  for (const char* bracket = begin; (bracket = static_cast<const char*>(std::memchr(
                                         bracket, ']', static_cast<std::size_t>(end - bracket)))) != nullptr;
       ++bracket) {
    if (bracket + 1 == end || bracket[1] != '\r') {
      continue;
    }
    // Each search back stops at a line break byte, at the latest the CR after the previous "]", so the
    // paragraph is read back at most once.
    const char* open = bracket;
    while (open != begin && open[-1] != '[' && open[-1] != '\r' && open[-1] != '\n') {
      --open;
    }
    if (open == begin || open[-1] != '[') {
      continue;
    }
    nameBytes += static_cast<std::size_t>(bracket - open);
    if (nameBytes > 2 * content.size() + 1024) {
      return false;
    }
    names.emplace_back(open, static_cast<std::size_t>(bracket - open));
  }
  for (const std::string_view name : names) {
    visit(name);
  }
  return true;
}

bool IniDocument::indexParagraph(std::size_t paragraph) {
  const auto number = static_cast<std::uint32_t>(paragraph);
  return forEachHeaderName(paragraphs_[paragraph].content, [&](std::string_view name) {
    foldInto(scratchName_, name);
    headerIndex_[scratchName_].insert(number);
  });
}

void IniDocument::unindexParagraph(std::size_t paragraph) {
  const auto number = static_cast<std::uint32_t>(paragraph);
  forEachHeaderName(paragraphs_[paragraph].content, [&](std::string_view name) {
    foldInto(scratchName_, name);
    const auto found = headerIndex_.find(scratchName_);
    if (found != headerIndex_.end()) {
      found->second.erase(number);
      if (found->second.empty()) {
        headerIndex_.erase(found);
      }
    }
  });
}

void IniDocument::fallBackToWholeText() {
  wholeText_ = text();
  lastHeader_.reset();
  paragraphs_.clear();
  headerIndex_.clear();
}

std::optional<IniDocument::HeaderPlace> IniDocument::findHeader(std::string_view section) const {
  // The keys of a section come one after another, so the same header is looked for many times in a row.
  if (lastHeader_ && section == lastHeaderSection_) {
    return lastHeader_;
  }
  foldInto(scratchName_, indexedPart(section));
  const auto holders = headerIndex_.find(scratchName_);
  if (holders == headerIndex_.end()) {
    return std::nullopt;
  }
  scratchHeader_.assign("[").append(section).append("]\r");
  for (const std::uint32_t paragraph : holders->second) {
    const std::size_t offset = findIgnoringCase(paragraphs_[paragraph].content, scratchHeader_);
    if (offset != npos) {
      lastHeaderSection_.assign(section);
      lastHeader_ = HeaderPlace{paragraph, offset};
      return lastHeader_;
    }
  }
  return std::nullopt;
}

std::string IniDocument::readKey(std::string_view section, std::string_view key) const {
  if (wholeText_ || holdsLineBreakByte(section) || holdsLineBreakByte(key)) {
    std::string loaded = text();
    normaliseLoadedText(loaded);
    return readKeyInText(loaded, section, key);
  }
  if (section.empty() || key.empty()) {
    return {};
  }
  const std::optional<HeaderPlace> place = findHeader(section);
  if (!place) {
    return {};
  }
  // The block with a CR LF appended is exactly the paragraph's content from the header on.
  const std::string& content = paragraphs_[place->paragraph].content;
  setKeyLineNeedle(scratchNeedle_, key);
  const std::size_t keyBreak = findIgnoringCase(content, scratchNeedle_, place->offset);
  if (keyBreak == npos) {
    return {};
  }
  const std::size_t valueBegin = keyBreak + scratchNeedle_.size();
  return content.substr(valueBegin, content.find(kCrLf, valueBegin) - valueBegin);
}

void IniDocument::saveKey(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || key.empty()) {
    return;
  }
  if (!wholeText_ && (holdsLineBreakByte(section) || holdsLineBreakByte(key) || holdsLineBreakByte(value))) {
    fallBackToWholeText();
  }
  if (wholeText_) {
    normaliseLoadedText(*wholeText_);
    saveKeyInText(*wholeText_, section, key, value);
    return;
  }
  if (isEmptyText()) {
    paragraphs_[0].emptyLines = 1;  // the load step's CR LF
  }
  if (const std::optional<HeaderPlace> place = findHeader(section)) {
    editSection(*place, key, value);
  } else if (!value.empty()) {
    appendSection(section, key, value);
  }
  paragraphs_[0].emptyLines = 0;  // empty lines at the start of the text are removed
}

// The block runs from the header to the end of the paragraph's last line; after the edit the paragraph is
// followed by one empty line, or by two when the block's rebuilt last line kept its own line break.
void IniDocument::editSection(const HeaderPlace& place, std::string_view key, std::string_view value) {
  Paragraph& p = paragraphs_[place.paragraph];
  std::string& content = p.content;
  const std::size_t blockEnd = content.size() - kCrLf.size();
  setKeyLineNeedle(scratchNeedle_, key);
  const std::size_t keyBreak = findIgnoringCase(content, scratchNeedle_, place.offset);

  std::string& newLine = scratchLine_;
  newLine.clear();
  if (!value.empty()) {
    newLine.append(key).append("=").append(value).append(kCrLf);
  }
  // The lines replaced: the key's line with its line break, or nothing when the key is added at the end.
  std::size_t replacedBegin = content.size();
  std::size_t replacedEnd = content.size();
  if (keyBreak != npos) {
    replacedBegin = keyBreak + kCrLf.size();
    replacedEnd = content.find(kCrLf, keyBreak + 1) + kCrLf.size();
  }
  const bool lastLineReplaced = keyBreak != npos && replacedEnd == blockEnd + kCrLf.size();
  // Header texts can only appear or disappear with a line holding a bracket.
  const bool headersMayChange = holdsBracket(newLine) || holdsBracket(std::string_view(content).substr(
                                                             replacedBegin, replacedEnd - replacedBegin));
  if (headersMayChange) {
    unindexParagraph(place.paragraph);
  }
  content.replace(replacedBegin, replacedEnd - replacedBegin, newLine);
  p.emptyLines = lastLineReplaced ? 2 : 1;

  // A header found earlier keeps its place unless it stands after the edit in this paragraph, or the
  // headers themselves changed.
  if (headersMayChange ||
      (lastHeader_ && lastHeader_->paragraph == place.paragraph && lastHeader_->offset > replacedBegin)) {
    lastHeader_.reset();
  }
  if (headersMayChange && !indexParagraph(place.paragraph)) {
    fallBackToWholeText();
  }
}

void IniDocument::appendSection(std::string_view section, std::string_view key, std::string_view value) {
  ++paragraphs_.back().emptyLines;
  Paragraph added;
  added.content.append("[").append(section).append("]").append(kCrLf);
  added.content.append(key).append("=").append(value).append(kCrLf);
  added.emptyLines = 1;
  paragraphs_.push_back(std::move(added));
  if (!indexParagraph(paragraphs_.size() - 1)) {
    fallBackToWholeText();
  }
}

}  // namespace ombrix
