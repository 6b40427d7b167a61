#include "ini/ini_document.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#include "ini/byte_search.h"
#include "ini/case_fold.h"
#include "ini/ini_text.h"

namespace ombrix {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool holdsLineBreakByte(std::string_view text) {
  return findSpecialBytes(text).lineBreak;
}

// The part of a section name that the index files it under: what follows its last "[". In the text, a
// header's name starts after the "[" that stands last before its "]" on that line, so this is the part of
// the name that the index could see there.
std::string_view indexedPart(std::string_view section) {
  const std::size_t bracket = section.rfind('[');
  return bracket == npos ? section : section.substr(bracket + 1);
}

// Whether a line break at at (known to be CR) starts the line of key: LF, the key (letter case ignored), "=".
// The "=" is tested first: it rules out most lines at once.
bool startsKeyLine(const char* at, std::string_view key) {
  return at[kCrLf.size() + key.size()] == '=' && at[1] == '\n' &&
         equalsIgnoringCase({at + kCrLf.size(), key.size()}, key);
}

// Where the key's first line in content starts its CR LF, at or after from: CR LF, the key (letter case
// ignored), "=". CR, LF and "=" have no other case, so they are compared as they are. The CRs of eight bytes
// are found at once, since the lines of a game's section are short.
std::size_t findKeyLine(std::string_view content, std::size_t from, std::string_view key) {
  const std::size_t lineSize = kCrLf.size() + key.size() + 1;
  if (content.size() < lineSize || from > content.size() - lineSize) {
    return npos;
  }
  const char* const begin = content.data();
  const char* const last = begin + content.size() - lineSize + 1;  // a key line's CR stands before last
  for (const void* found = std::memchr(begin + from, '\r', static_cast<std::size_t>(last - begin) - from);
       found != nullptr;) {
    const char* const at = static_cast<const char*>(found);
    if (startsKeyLine(at, key)) {
      return static_cast<std::size_t>(at - begin);
    }
    found = std::memchr(at + 1, '\r', static_cast<std::size_t>(last - at - 1));
  }
  return npos;
}

// What a write of value did, from what was there before it.
KeyChange describeChange(bool sectionFound, bool keyFound, std::string_view oldValue,
                         std::string_view value) {
  KeyChange change;
  if (keyFound) {
    change.oldValue = oldValue;
    change.kind = value.empty()       ? KeyChange::Kind::Deleted
                  : oldValue == value ? KeyChange::Kind::None
                                      : KeyChange::Kind::Changed;
  } else if (!value.empty()) {
    change.kind = KeyChange::Kind::Added;
    change.sectionAdded = !sectionFound;
  }
  return change;
}

// Whether line (with its CR LF) is exactly key "=" value.
bool isLine(std::string_view line, std::string_view key, std::string_view value) {
  return line.size() == key.size() + 1 + value.size() + kCrLf.size() && line[key.size()] == '=' &&
         sameBytes(line.data(), key.data(), key.size()) &&
         sameBytes(line.data() + key.size() + 1, value.data(), value.size());
}

std::size_t totalSize(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) {
    size += piece.size();
  }
  return size;
}

// memcpy and memmove with a null pointer are undefined even for no bytes; a new paragraph has no bytes yet
// and an empty piece may have no data.
void copyBytes(char* target, const char* source, std::size_t size) {
  if (size > 0) {
    std::memcpy(target, source, size);
  }
}

// The pieces of a key line are mostly a few bytes long, for which a call to memcpy costs more than the copy:
// up to eight bytes are copied as two overlapping 4-byte words or byte by byte.
void copySmall(char* target, const char* source, std::size_t size) {
  if (size > 8) {
    std::memcpy(target, source, size);
  } else if (size >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, source, 4);
    std::memcpy(&last, source + size - 4, 4);
    std::memcpy(target, &first, 4);
    std::memcpy(target + size - 4, &last, 4);
  } else {
    for (std::size_t i = 0; i < size; ++i) {
      target[i] = source[i];
    }
  }
}

char* copyPieces(char* target, std::initializer_list<std::string_view> pieces) {
  for (const std::string_view piece : pieces) {
    copySmall(target, piece.data(), piece.size());
    target += piece.size();
  }
  return target;
}

// The name of the header text whose "]" stands at bracket (a CR follows it), or nothing: the name starts
// after the last "[" before it on its line, and holds no CR or LF.
std::optional<std::string_view> headerNameBefore(const char* lineStart, const char* bracket) {
  const char* open = bracket;
  while (open != lineStart && open[-1] != '[' && open[-1] != '\r' && open[-1] != '\n') {
    --open;
  }
  if (open == lineStart || open[-1] != '[') {
    return std::nullopt;
  }
  return std::string_view(open, static_cast<std::size_t>(bracket - open));
}

// Names take far more room than their paragraph only in a hostile file (many "]" CR after one "[" on a
// line); the document then leaves the text to the whole-text functions.
bool tooManyNameBytes(std::size_t nameBytes, std::size_t paragraphSize) {
  return nameBytes > 2 * paragraphSize + 1024;
}

// Calls visit with the name of every header text in content ("[" name "]" CR). Returns false, having
// visited only some names, when there are too many name bytes.
template <typename Visit>
bool forEachHeaderName(std::string_view content, Visit visit) {
  std::size_t nameBytes = 0;
  const char* const begin = content.data();
  const char* const end = begin + content.size();
  for (const char* bracket = findByte(begin, end, ']'); bracket != end;
       bracket = findByte(bracket + 1, end, ']')) {
    if (bracket + 1 == end || bracket[1] != '\r') {
      continue;
    }
    if (const std::optional<std::string_view> name = headerNameBefore(begin, bracket)) {
      nameBytes += name->size();
      if (tooManyNameBytes(nameBytes, content.size())) {
        return false;
      }
      visit(*name);
    }
  }
  return true;
}

// The load step's CR LF after the bytes, moving them to a larger block only when theirs has no room.
TextBlock withLoadedLineBreak(TextBlock bytes) {
  const std::string_view suffix = loadedTextSuffix(bytes.view());
  if (bytes.capacity() - bytes.size() < suffix.size()) {
    TextBlock larger(bytes.size() + suffix.size());
    larger.append(bytes.view());
    bytes = std::move(larger);
  }
  bytes.append(suffix);
  return bytes;
}

TextBlock copyWithRoom(std::string_view bytes) {
  TextBlock block(bytes.size() + kCrLf.size());
  block.append(bytes);
  return block;
}

}  // namespace

// A merge into a large list moves some tenth of its text to the arena (the paragraphs that grew), so the
// first block is about that size and later ones are rarely needed.
IniDocument::IniDocument(TextBlock bytes)
    : loaded_(withLoadedLineBreak(std::move(bytes))),
      arena_(std::clamp<std::size_t>(loaded_.size() / 8, 64 * 1024, 8 * 1024 * 1024)) {
  parse();
}

IniDocument::IniDocument(std::string_view bytes) : IniDocument(copyWithRoom(bytes)) {}

// Paragraphs point into loaded_, which never changes its size from here on. One look at every CR finds both
// the ends of the paragraphs (CR LF CR LF) and the header texts ("]" CR), whose names are then indexed.
void IniDocument::parse() {
  const std::string_view text = loaded_.view();
  // A game's section is rarely under 64 bytes; reserving avoids copying the lists as they grow.
  paragraphs_.reserve(text.size() / 64 + 16);
  paragraphs_.assign(1, Paragraph{});
  std::vector<FoundHeader> headers;
  headers.reserve(text.size() / 64 + 16);
  std::size_t position = 0;
  // An edit adds at most one empty line to a paragraph read from the text. A text that paragraphs cannot
  // describe is left to the whole-text functions.
  constexpr std::uint32_t kMostEmptyLines = UINT32_MAX - 1;
  bool describable = true;
  auto countEmptyLines = [&](Paragraph& paragraph) {
    while (text.compare(position, kCrLf.size(), kCrLf) == 0) {
      describable = describable && paragraph.emptyLines < kMostEmptyLines;
      ++paragraph.emptyLines;
      position += kCrLf.size();
    }
  };
  countEmptyLines(paragraphs_[0]);
  while (describable && position < text.size()) {
    const auto number = static_cast<std::uint32_t>(paragraphs_.size());
    const char* const begin = text.data() + position;
    std::size_t contentEnd = text.size();
    std::size_t nameBytes = 0;
    for (std::size_t cr = text.find('\r', position); cr != npos; cr = text.find('\r', cr + 1)) {
      if (cr > position && text[cr - 1] == ']') {
        if (const std::optional<std::string_view> name = headerNameBefore(begin, text.data() + cr - 1)) {
          headers.push_back({HeaderIndex::hashOf(*name), number, name->data() == begin + 1});
          nameBytes += name->size();
        }
      }
      // Every CR LF is a line break, so the first CR LF CR LF ends the paragraph's last line.
      if (text.size() - cr >= kEmptyLine.size() && text[cr + 1] == '\n' && text[cr + 2] == '\r' &&
          text[cr + 3] == '\n') {
        contentEnd = cr + kCrLf.size();
        break;
      }
    }
    Paragraph& paragraph = paragraphs_.emplace_back();
    paragraph.data = loaded_.data() + position;
    paragraph.size = contentEnd - position;
    paragraph.capacity = paragraph.size;
    describable = describable && !tooManyNameBytes(nameBytes, paragraph.size);
    position = contentEnd;
    countEmptyLines(paragraph);
  }
  if (!describable) {  // not all paragraphs are read: the whole text is the loaded one
    wholeText_ = std::string(text);
    paragraphs_.clear();
    return;
  }
  indexHeaders(headers);
}

// Files the header texts found in the text, in batches whose index slots are fetched ahead: with tens of
// thousands of games, waiting for memory once per game would cost more than all the rest.
void IniDocument::indexHeaders(const std::vector<FoundHeader>& headers) {
  constexpr std::size_t kAhead = 16;
  headerIndex_.reserve(paragraphs_.size());
  for (std::size_t i = 0; i < headers.size(); ++i) {
    if (i + kAhead < headers.size()) {
      headerIndex_.prefetch(headers[i + kAhead].hash);
    }
    const bool firstHolder = headerIndex_.insert(headers[i].hash, headers[i].paragraph);
    if (headers[i].leading && firstHolder) {
      paragraphs_[headers[i].paragraph].leadsWithFirstHeader = true;
    }
  }
}

// Paragraphs that still lie in the loaded text as they were read (no longer, no shorter, not moved), each
// followed there by exactly its own empty lines, go out as one piece: for a large list most of the text is
// handed over in a few pieces, without a copy.
void IniDocument::writeTo(const std::function<void(std::string_view piece)>& emit) const {
  if (wholeText_) {
    emit(*wholeText_);
    return;
  }
  static constexpr std::string_view kManyEmptyLines =
      "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
  auto emitEmptyLines = [&emit](std::size_t count) {
    for (std::size_t left = count * kCrLf.size(); left > 0;) {
      const std::size_t taken = std::min(left, kManyEmptyLines.size());
      emit(kManyEmptyLines.substr(0, taken));
      left -= taken;
    }
  };
  const char* const loadedBegin = loaded_.data();
  const char* const loadedEnd = loadedBegin + loaded_.size();
  const char* runBegin = nullptr;
  const char* runEnd = nullptr;  // after the content of the run's last paragraph
  std::size_t runEmptyLines = 0;  // after the run's last paragraph
  auto emitRun = [&] {
    if (runBegin != nullptr) {
      emit(std::string_view(runBegin, static_cast<std::size_t>(runEnd - runBegin)));
      emitEmptyLines(runEmptyLines);
      runBegin = nullptr;
    }
  };
  for (const Paragraph& paragraph : paragraphs_) {
    // std::less orders pointers into different blocks too.
    const bool asRead = paragraph.size > 0 && paragraph.size == paragraph.capacity &&
                        !std::less<const char*>()(paragraph.data, loadedBegin) &&
                        std::less<const char*>()(paragraph.data, loadedEnd);
    if (asRead && runBegin != nullptr && paragraph.data == runEnd + runEmptyLines * kCrLf.size()) {
      runEnd = paragraph.data + paragraph.size;
      runEmptyLines = paragraph.emptyLines;
      continue;
    }
    emitRun();
    if (asRead) {
      runBegin = paragraph.data;
      runEnd = paragraph.data + paragraph.size;
      runEmptyLines = paragraph.emptyLines;
      continue;
    }
    if (paragraph.size > 0) {
      emit(paragraph.content());
    }
    emitEmptyLines(paragraph.emptyLines);
  }
  emitRun();
}

// Names and values with line breaks would break the paragraphs' lines; the whole-text functions take them.
// The section found last was checked when it was found.
bool IniDocument::fitsParagraphs(std::string_view section, bool foundLast, SpecialBytes key,
                                 SpecialBytes value) const {
  return !key.lineBreak && !value.lineBreak && (foundLast || !holdsLineBreakByte(section));
}

std::string IniDocument::text() const {
  std::string text;
  writeTo([&text](std::string_view piece) { text.append(piece); });
  return text;
}

bool IniDocument::indexParagraph(std::size_t paragraph) {
  const auto number = static_cast<std::uint32_t>(paragraph);
  Paragraph& p = paragraphs_[paragraph];
  const char* const leadingName = p.data + 1;  // where the name of a header at the very start stands
  p.leadsWithFirstHeader = false;
  return forEachHeaderName(p.content(), [&](std::string_view name) {
    const bool firstHolder = headerIndex_.insert(HeaderIndex::hashOf(name), number);
    if (name.data() == leadingName && firstHolder) {
      p.leadsWithFirstHeader = true;
    }
  });
}

// The paragraph was indexed whole before, so its names are all visited here.
void IniDocument::unindexParagraph(std::size_t paragraph) {
  const auto number = static_cast<std::uint32_t>(paragraph);
  forEachHeaderName(paragraphs_[paragraph].content(),
                    [&](std::string_view name) { headerIndex_.erase(HeaderIndex::hashOf(name), number); });
}

void IniDocument::fallBackToWholeText() {
  wholeText_ = text();
  lastHeader_.reset();
  paragraphs_.clear();
  headerIndex_.clear();
}

// The keys of a section come one after another, so the same header is looked for many times in a row.
bool IniDocument::isFoundLast(std::string_view section) const {
  return lastHeader_ && section.size() == lastHeaderSection_.size() &&
         sameBytes(section.data(), lastHeaderSection_.data(), section.size());
}

std::optional<IniDocument::HeaderPlace> IniDocument::searchHeader(std::string_view section) const {
  // The header leading the paragraph after the last one found is the first in the text when no earlier
  // paragraph holds a header text of its name.
  const std::size_t next = lastFoundParagraph_ + 1;
  if (leadingHeadersTrusted_ && next < paragraphs_.size() && paragraphs_[next].leadsWithFirstHeader &&
      leadsWithHeader(next, section)) {
    return remember(section, HeaderPlace{next, 0});
  }
  const std::span<const std::uint32_t> holders = headerIndex_.find(HeaderIndex::hashOf(indexedPart(section)));
  scratchHeader_.resize(section.size() + 3);
  scratchHeader_.front() = '[';
  section.copy(scratchHeader_.data() + 1, section.size());
  scratchHeader_.replace(section.size() + 1, 2, "]\r");
  for (const std::uint32_t paragraph : holders) {
    const std::size_t offset = findIgnoringCase(paragraphs_[paragraph].content(), scratchHeader_);
    if (offset != npos) {
      return remember(section, HeaderPlace{paragraph, offset});
    }
  }
  return std::nullopt;
}

bool IniDocument::leadsWithHeader(std::size_t paragraph, std::string_view section) const {
  const std::string_view content = paragraphs_[paragraph].content();
  return content.size() >= section.size() + 3 && content[0] == '[' && content[section.size() + 1] == ']' &&
         content[section.size() + 2] == '\r' &&
         equalsIgnoringCase(content.substr(1, section.size()), section);
}

std::optional<IniDocument::HeaderPlace> IniDocument::remember(std::string_view section,
                                                              HeaderPlace place) const {
  lastHeaderSection_.assign(section);
  lastHeader_ = place;
  lastFoundParagraph_ = place.paragraph;
  return place;
}

std::string_view IniDocument::readKey(std::string_view section, std::string_view key) const {
  const bool foundLast = isFoundLast(section);
  if (wholeText_ || !fitsParagraphs(section, foundLast, findSpecialBytes(key), {})) {
    std::string loaded = text();
    normaliseLoadedText(loaded);
    scratchValue_ = readKeyInText(loaded, section, key);
    return scratchValue_;
  }
  if (section.empty() || key.empty()) {
    return {};
  }
  const std::optional<HeaderPlace> place = findHeader(section, foundLast);
  if (!place) {
    return {};
  }
  // The block with a CR LF appended is exactly the paragraph's content from the header on.
  const std::string_view content = paragraphs_[place->paragraph].content();
  const std::size_t keyBreak = findKeyLine(content, place->offset, key);
  if (keyBreak == npos) {
    return {};
  }
  const std::size_t valueBegin = keyBreak + kCrLf.size() + key.size() + 1;
  return content.substr(valueBegin, findCrLf(content, valueBegin) - valueBegin);
}

void IniDocument::saveKey(std::string_view section, std::string_view key, const std::string_view& value) {
  if (trackChanges_) {
    change_ = {};
  }
  if (section.empty() || key.empty()) {
    return;
  }
  const SpecialBytes keyBytes = findSpecialBytes(key);
  const SpecialBytes valueBytes = findSpecialBytes(value);
  const bool foundLast = isFoundLast(section);
  if (!wholeText_ && !fitsParagraphs(section, foundLast, keyBytes, valueBytes)) {
    fallBackToWholeText();
  }
  if (wholeText_) {
    saveInWholeText(section, key, value);
    return;
  }
  if (isEmptyText()) {
    paragraphs_[0].emptyLines = 1;  // the load step's CR LF
  }
  if (const std::optional<HeaderPlace> place = findHeader(section, foundLast)) {
    editSection(*place, key, value, keyBytes, !value.empty() && (keyBytes.bracket || valueBytes.bracket));
  } else if (!value.empty()) {
    appendSection(section, key, value);
    if (trackChanges_) {
      change_ = describeChange(false, false, {}, value);
    }
  }
  paragraphs_[0].emptyLines = 0;  // empty lines at the start of the text are removed
}

const KeyChange& IniDocument::lastChange() const {
  static const KeyChange kNothingTracked;
  return trackChanges_ ? change_ : kNothingTracked;
}

void IniDocument::saveInWholeText(std::string_view section, std::string_view key, std::string_view value) {
  normaliseLoadedText(*wholeText_);
  if (!trackChanges_) {
    saveKeyInText(*wholeText_, section, key, value);
    return;
  }
  KeyLookup before = lookupKeyInText(*wholeText_, section, key);
  saveKeyInText(*wholeText_, section, key, value);
  oldValue_ = std::move(before.value);
  change_ = describeChange(before.sectionFound, before.keyFound, oldValue_, value);
}

// The block runs from the header to the end of the paragraph's last line; after the edit the paragraph is
// followed by one empty line, or by two when the block's rebuilt last line kept its own line break.
void IniDocument::editSection(const HeaderPlace& place, std::string_view key, std::string_view value,
                                   SpecialBytes keyBytes, bool newLineHasBracket) {
  Paragraph& p = paragraphs_[place.paragraph];
  const std::string_view content = p.content();
  const std::size_t blockEnd = content.size() - kCrLf.size();
  const std::size_t keyBreak = findKeyLine(content, place.offset, key);
  // The lines replaced: the key's line with its line break, or nothing when the key is added at the end.
  std::size_t replacedBegin = content.size();
  std::size_t replacedEnd = content.size();
  // The replaced line's key is the key in another letter case, and brackets have no other case.
  bool replacedHasBracket = false;
  if (keyBreak != npos) {
    replacedBegin = keyBreak + kCrLf.size();
    const LineEnd lineEnd = findLineEnd(content, replacedBegin + key.size() + 1);
    replacedEnd = lineEnd.lineBreak + kCrLf.size();
    replacedHasBracket = keyBytes.bracket || lineEnd.bracket;
  }
  const bool lastLineReplaced = keyBreak != npos && replacedEnd == blockEnd + kCrLf.size();
  p.emptyLines = lastLineReplaced ? 2 : 1;
  const std::string_view replaced = content.substr(replacedBegin, replacedEnd - replacedBegin);
  if (trackChanges_) {
    if (keyBreak != npos) {
      const std::size_t valueBegin = key.size() + 1;
      oldValue_.assign(replaced.substr(valueBegin, replaced.size() - valueBegin - kCrLf.size()));
    }
    change_ = describeChange(true, keyBreak != npos, oldValue_, value);
  }
  // A line written again as it stands leaves the content as it is; only the empty lines after it change.
  if (!value.empty() && keyBreak != npos && isLine(replaced, key, value)) {
    return;
  }
  // Header texts can only appear or disappear with a line holding a bracket.
  const bool headersMayChange = newLineHasBracket || replacedHasBracket;
  if (headersMayChange) {
    unindexParagraph(place.paragraph);
    leadingHeadersTrusted_ = false;
  }
  if (value.empty()) {
    replaceInParagraph(p, replacedBegin, replacedEnd, {});
  } else {
    replaceInParagraph(p, replacedBegin, replacedEnd, {key, "=", value, kCrLf});
  }

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

// Edits in place when the paragraph's bytes have room; otherwise moves it to the arena with some room to
// grow, so that a paragraph edited again and again is copied only a few times.
void IniDocument::replaceInParagraph(Paragraph& paragraph, std::size_t begin, std::size_t end,
                                     std::initializer_list<std::string_view> with) {
  const std::size_t withSize = totalSize(with);
  const std::size_t newSize = paragraph.size - (end - begin) + withSize;
  if (paragraph.capacity >= newSize) {
    if (paragraph.size > end && withSize != end - begin) {
      std::memmove(paragraph.data + begin + withSize, paragraph.data + end, paragraph.size - end);
    }
    copyPieces(paragraph.data + begin, with);
  } else {
    const std::size_t capacity = newSize + std::max<std::size_t>(32, newSize / 4);
    char* data = arena_.allocate(capacity);
    copyBytes(data, paragraph.data, begin);
    copyPieces(data + begin, with);
    copyBytes(data + begin + withSize, paragraph.data + end, paragraph.size - end);
    paragraph.data = data;
    paragraph.capacity = capacity;
  }
  paragraph.size = newSize;
}

void IniDocument::appendSection(std::string_view section, std::string_view key, std::string_view value) {
  ++paragraphs_.back().emptyLines;
  Paragraph& added = paragraphs_.emplace_back();
  added.emptyLines = 1;
  replaceInParagraph(added, 0, 0, {"[", section, "]", kCrLf, key, "=", value, kCrLf});
  if (!indexParagraph(paragraphs_.size() - 1)) {
    fallBackToWholeText();
  }
}

}  // namespace ombrix
