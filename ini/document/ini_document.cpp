#include "ini/document/ini_document.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#include "ini/text/byte_search.h"
#include "ini/text/case_fold.h"
#include "ini/text/header_text.h"
#include "ini/text/ini_text.h"

namespace ombrix {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool holdsLineBreakByte(std::string_view text) {
  return findSpecialBytes(text).lineBreak;
}

// Whether a line break at at (known to be CR) starts the line of key: LF, the key (letter case ignored), "=".
// The "=" is tested first: it rules out most lines at once; then the key's last byte, which tells apart the
// keys of a large section, named alike and as long as each other.
bool startsKeyLine(const char* at, std::string_view key) {
  return at[kCrLf.size() + key.size()] == '=' && at[1] == '\n' &&
         (key.empty() || foldCase(static_cast<unsigned char>(at[kCrLf.size() + key.size() - 1])) ==
                             foldCase(static_cast<unsigned char>(key.back()))) &&
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
// up to eight bytes are copied as their end words or byte by byte.
void copySmall(char* target, const char* source, std::size_t size) {
  if (size > 8) {
    std::memcpy(target, source, size);
  } else if (size >= 4) {
    byte_search_detail::storeEnds(target, size, byte_search_detail::loadEnds(source, size));
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

// Calls visit(hash, leading) for every name that the header text whose "]" stands at bracket (a CR follows
// it) can stand for, by the rule of header_text.h. hash is NameIndex::hashOf(name), built as the walk goes
// back; leading says that the "[" is at begin, where the paragraph starts.
template <typename Visit>
void forEachNameOfHeader(const char* begin, const char* bracket, Visit visit) {
  NameIndex::BackwardHash hash;
  forEachNameOfHeaderText(
      begin, bracket, [&](const char* open) { visit(hash.value(), open == begin); },
      [&](char byte) { hash.add(byte); });
}

// The same for every header text ("]" CR) in content.
template <typename Visit>
void forEachHeaderName(std::string_view content, Visit visit) {
  const char* const begin = content.data();
  const char* const end = begin + content.size();
  for (const char* bracket = findByte(begin, end, ']'); bracket != end;
       bracket = findByte(bracket + 1, end, ']')) {
    if (bracket + 1 != end && bracket[1] == '\r') {
      forEachNameOfHeader(begin, bracket, visit);
    }
  }
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

}  // namespace

// A merge into a large list moves some tenth of its text to the arena (the paragraphs that grew), so the
// first block is about that size and later ones are rarely needed.
IniDocument::IniDocument(TextBlock bytes, std::size_t chunkBytes)
    : loaded_(withLoadedLineBreak(std::move(bytes))),
      arena_(std::clamp<std::size_t>(loaded_.size() / 8, 64 * 1024, 8 * 1024 * 1024)),
      chunkBytes_(std::max<std::size_t>(chunkBytes, 1)),
      continuedChunkBytes_(std::max<std::size_t>(chunkBytes / 4, 1)) {
  parse();
}

// Paragraphs point into loaded_, which never changes its size from here on. One look at every CR finds both
// the ends of the paragraphs (CR LF CR LF) and the header texts ("]" CR), whose names are then indexed.
void IniDocument::parse() {
  const std::string_view text = loaded_.view();
  // A game's section is rarely under 64 bytes; reserving avoids copying the lists as they grow.
  paragraphs_.reserve(text.size() / 64 + 16);
  loadedHeaders_.reserve(text.size());
  paragraphs_.assign(1, Paragraph{});
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
    bool continued = false;
    const std::size_t chunkBytes = paragraphs_.back().continued ? continuedChunkBytes_ : chunkBytes_;
    for (std::size_t cr = text.find('\r', position); cr != npos; cr = text.find('\r', cr + 1)) {
      if (cr > position && text[cr - 1] == ']') {
        describable = loadedHeaders_.add(number, begin, text.data() + cr - 1) && describable;
      }
      // Every CR LF is a line break, so the first CR LF CR LF ends the paragraph's last line.
      if (text.size() - cr >= kEmptyLine.size() && text[cr + 1] == '\n' && text[cr + 2] == '\r' &&
          text[cr + 3] == '\n') {
        contentEnd = cr + kCrLf.size();
        break;
      }
      // A long paragraph goes on in a new chunk after the line that reaches the chunk size.
      if (cr + kCrLf.size() - position >= chunkBytes && text.size() - cr > kCrLf.size() &&
          text[cr + 1] == '\n') {
        contentEnd = cr + kCrLf.size();
        continued = true;
        break;
      }
    }
    Paragraph& paragraph = paragraphs_.emplace_back();
    paragraph.continued = continued;
    paragraph.data = loaded_.data() + position;
    paragraph.size = contentEnd - position;
    paragraph.capacity = paragraph.size;
    position = contentEnd;
    countEmptyLines(paragraph);
  }
  if (!describable) {  // not all paragraphs are read: the whole text is the loaded one
    wholeText_ = std::string(text);
    paragraphs_.clear();
    loadedHeaders_.clear();
    return;
  }
  runLast_.resize(paragraphs_.size());
  for (std::size_t paragraph = paragraphs_.size(); paragraph-- > 0;) {
    runLast_[paragraph] =
        static_cast<std::uint32_t>(paragraphs_[paragraph].continued ? runLast_[paragraph + 1] : paragraph);
  }
  loadedParagraphs_ = paragraphs_.size();
  loadedHeaders_.finish(text.size(),
                        [this](std::uint32_t paragraph) { paragraphs_[paragraph].leadsWithFirstHeader = true; });
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
  const char* runEnd = nullptr;   // after the content of the run's last paragraph
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

void IniDocument::indexParagraph(std::size_t paragraph) {
  const auto number = static_cast<std::uint32_t>(paragraph);
  Paragraph& p = paragraphs_[paragraph];
  p.leadsWithFirstHeader = false;
  forEachHeaderName(p.content(), [&](std::uint64_t hash, bool leading) {
    if (headerIndex_.insert(hash, number) && leading) {
      p.leadsWithFirstHeader = true;
    }
  });
}

// A paragraph read from the text leaves the loaded headers the first time its header texts may change; from
// then on the index holds what it holds.
void IniDocument::unindexParagraph(std::size_t paragraph) {
  const auto number = static_cast<std::uint32_t>(paragraph);
  if (paragraph < loadedParagraphs_ && !loadedHeaders_.isRetired(number)) {
    loadedHeaders_.retire(number);
    return;
  }
  forEachHeaderName(paragraphs_[paragraph].content(),
                    [&](std::uint64_t hash, bool) { headerIndex_.erase(hash, number); });
}

void IniDocument::fallBackToWholeText() {
  wholeText_ = text();
  lastHeader_.reset();
  paragraphs_.clear();
  loadedHeaders_.clear();
  headerIndex_.clear();
  nextKeyLine_.reset();
  lastRead_.reset();
  runLast_.clear();
  runKeys_.clear();
  lookaheadKeys_ = nullptr;
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
    return remember(section, next, 0);
  }
  // The first loaded holder is certain; edited paragraphs are filed by hash and confirmed in their text.
  const std::uint32_t loadedHolder = loadedHeaders_.firstHolder(section);
  const std::span<const std::uint32_t> edited = headerIndex_.find(NameIndex::hashOf(section));
  scratchHeader_.resize(section.size() + 3);
  scratchHeader_.front() = '[';
  section.copy(scratchHeader_.data() + 1, section.size());
  scratchHeader_.replace(section.size() + 1, 2, "]\r");
  for (auto holder = edited.begin();;) {
    const bool loadedFirst = holder == edited.end() || loadedHolder < *holder;
    if (loadedFirst && loadedHolder == LoadedHeaders::kNone) {
      return std::nullopt;
    }
    const std::uint32_t paragraph = loadedFirst ? loadedHolder : *holder++;
    const std::size_t offset = findIgnoringCase(paragraphs_[paragraph].content(), scratchHeader_);
    if (offset != npos) {
      return remember(section, paragraph, offset);
    }
  }
}

bool IniDocument::leadsWithHeader(std::size_t paragraph, std::string_view section) const {
  const std::string_view content = paragraphs_[paragraph].content();
  return content.size() >= section.size() + 3 && content[0] == '[' && content[section.size() + 1] == ']' &&
         content[section.size() + 2] == '\r' &&
         equalsIgnoringCase(content.substr(1, section.size()), section);
}

// The next section looked for usually leads the paragraph after the block of this one.
std::optional<IniDocument::HeaderPlace> IniDocument::remember(std::string_view section, std::size_t paragraph,
                                                              std::size_t offset) const {
  lastHeaderSection_.assign(section);
  lastHeader_ = HeaderPlace{paragraph, offset, runLast_[paragraph]};
  lastFoundParagraph_ = lastHeader_->runLast;
  return lastHeader_;
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
  // The block with a CR LF appended is exactly the run's content from the header on.
  const std::optional<KeyLinePlace> line = findKeyInBlock(*place, key);
  lastRead_ = KeyRead{place->paragraph, place->offset, line};
  lastReadKey_.assign(key);
  if (!line) {
    return {};
  }
  const std::string_view content = paragraphs_[line->paragraph].content();
  const std::size_t valueBegin = line->lineBegin + key.size() + 1;
  const std::size_t valueEnd = findCrLf(content, valueBegin);
  noteLineAfter(line->paragraph, valueEnd + kCrLf.size());
  return content.substr(valueBegin, valueEnd - valueBegin);
}

bool IniDocument::hasSection(std::string_view section) const {
  if (section.empty()) {
    return false;
  }
  const bool foundLast = isFoundLast(section);
  if (wholeText_ || !fitsParagraphs(section, foundLast, {}, {})) {
    std::string loaded = text();
    normaliseLoadedText(loaded);
    return findSectionBlock(loaded, section).has_value();
  }
  return findHeader(section, foundLast).has_value();
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

// The block runs from the header to the end of its run's last line; after the edit the run is followed by
// one empty line, or by two when the block's rebuilt last line kept its own line break.
void IniDocument::editSection(const HeaderPlace& place, std::string_view key, std::string_view value,
                              SpecialBytes keyBytes, bool newLineHasBracket) {
  const std::optional<KeyLinePlace> found = wasJustRead(place, key) ? lastRead_->line : findKeyInBlock(place, key);
  lastRead_.reset();
  const std::size_t chunk = found ? found->paragraph : place.runLast;
  Paragraph& p = paragraphs_[chunk];
  const std::string_view content = p.content();
  // The lines replaced: the key's line with its line break, or nothing when the key is added at the end.
  std::size_t replacedBegin = content.size();
  std::size_t replacedEnd = content.size();
  // The replaced line's key is the key in another letter case, and brackets have no other case.
  bool replacedHasBracket = false;
  if (found) {
    replacedBegin = found->lineBegin;
    const LineEnd lineEnd = findLineEnd(content, replacedBegin + key.size() + 1);
    replacedEnd = lineEnd.lineBreak + kCrLf.size();
    replacedHasBracket = keyBytes.bracket || lineEnd.bracket;
  }
  const bool lastLineReplaced =
      found && replacedEnd == content.size() && restOfRunIsEmpty(chunk, place.runLast);
  paragraphs_[place.runLast].emptyLines = lastLineReplaced ? 2 : 1;
  const std::string_view replaced = content.substr(replacedBegin, replacedEnd - replacedBegin);
  if (trackChanges_) {
    if (found) {
      const std::size_t valueBegin = key.size() + 1;
      oldValue_.assign(replaced.substr(valueBegin, replaced.size() - valueBegin - kCrLf.size()));
    }
    change_ = describeChange(true, found.has_value(), oldValue_, value);
  }
  // A line written again as it stands leaves the content as it is; only the empty lines after it change.
  if (!value.empty() && found && isLine(replaced, key, value)) {
    noteLineAfter(chunk, replacedEnd);
    return;
  }
  // Header texts can only appear or disappear with a line holding a bracket.
  const bool headersMayChange = newLineHasBracket || replacedHasBracket;
  if (headersMayChange) {
    unindexParagraph(chunk);
    leadingHeadersTrusted_ = false;
  }
  if (value.empty()) {
    replaceInParagraph(p, replacedBegin, replacedEnd, {});
    noteLineAfter(chunk, replacedBegin);
  } else {
    replaceInParagraph(p, replacedBegin, replacedEnd, {key, "=", value, kCrLf});
    noteLineAfter(chunk, replacedBegin + key.size() + 1 + value.size() + kCrLf.size());
  }
  // A replaced line keeps its key; a removed or an added one may change which chunks hold it.
  if (found.has_value() == value.empty()) {
    noteKeyLine(place, chunk, key, !value.empty());
  }

  // A header found earlier keeps its place unless it stands after the edit in this chunk, or the headers
  // themselves changed.
  if (headersMayChange ||
      (lastHeader_ && lastHeader_->paragraph == chunk && lastHeader_->offset > replacedBegin)) {
    lastHeader_.reset();
  }
  if (headersMayChange) {
    indexParagraph(chunk);
  }
}

// A merge reads a key and then writes it: the line found for the read still stands, since only writes move
// lines.
bool IniDocument::wasJustRead(const HeaderPlace& place, std::string_view key) const {
  return lastRead_ && lastRead_->paragraph == place.paragraph && lastRead_->offset == place.offset &&
         key.size() == lastReadKey_.size() && sameBytes(key.data(), lastReadKey_.data(), key.size());
}

// The block's last line is the last line of the last chunk that still has lines.
bool IniDocument::restOfRunIsEmpty(std::size_t paragraph, std::size_t runLast) const {
  for (std::size_t next = paragraph + 1; next <= runLast; ++next) {
    if (paragraphs_[next].size > 0) {
      return false;
    }
  }
  return true;
}

// A key line in a chunk of the block: after the header in the header's chunk; in a chunk that goes on from
// the one before it, its first line too, since a line break ends the chunk before.
std::optional<std::size_t> IniDocument::findKeyInChunk(std::size_t paragraph, const HeaderPlace& place,
                                                       std::string_view key) const {
  const std::string_view content = paragraphs_[paragraph].content();
  if (paragraph != place.paragraph && content.size() > key.size() && content[key.size()] == '=' &&
      equalsIgnoringCase(content.substr(0, key.size()), key)) {
    return 0;
  }
  const std::size_t keyBreak = findKeyLine(content, paragraph == place.paragraph ? place.offset : 0, key);
  return keyBreak == npos ? std::nullopt : std::optional<std::size_t>(keyBreak + kCrLf.size());
}

// The keys of a large section usually come in the order of its lines. Where no two lines of the run begin
// with the same name, a line of the block that begins with the key is its first.
std::optional<IniDocument::KeyLinePlace> IniDocument::keyOnNextLine(const HeaderPlace& place,
                                                                   const RunKeys& keys,
                                                                   std::string_view key) const {
  if (!nextKeyLine_ || keys.namesRepeat) {
    return std::nullopt;
  }
  const auto [paragraph, offset] = *nextKeyLine_;
  if (paragraph < place.paragraph || paragraph > place.runLast ||
      (paragraph == place.paragraph && offset <= place.offset)) {
    return std::nullopt;
  }
  // Every write and read of a key line sets the guess afterwards, so no edit has moved the line since.
  const std::string_view content = paragraphs_[paragraph].content();
  if (content.size() <= offset + key.size() || content[offset + key.size()] != '=' ||
      !equalsIgnoringCase(content.substr(offset, key.size()), key)) {
    return std::nullopt;
  }
  return nextKeyLine_;
}

void IniDocument::noteLineAfter(std::size_t paragraph, std::size_t lineEnd) const {
  if (lineEnd >= paragraphs_[paragraph].size && paragraphs_[paragraph].continued) {
    nextKeyLine_ = KeyLinePlace{paragraph + 1, 0};
  } else {
    nextKeyLine_ = KeyLinePlace{paragraph, lineEnd};
  }
}

std::optional<IniDocument::KeyLinePlace> IniDocument::findKeyInBlock(const HeaderPlace& place,
                                                                     std::string_view key) const {
  auto in = [&](std::size_t paragraph) -> std::optional<KeyLinePlace> {
    if (const std::optional<std::size_t> line = findKeyInChunk(paragraph, place, key)) {
      return KeyLinePlace{paragraph, *line};
    }
    return std::nullopt;
  };
  if (const RunKeys* keys = keysOfRun(place)) {
    // While keys come out of order (the lookahead runs), the guess is tried on every eighth key only.
    if (lookaheadKeys_ != keys || lookaheadCount_ % 8 == 0) {
      ++guessesTried_;
      if (const std::optional<KeyLinePlace> next = keyOnNextLine(place, *keys, key)) {
        ++guessesRight_;
        return next;
      }
    }
    auto inHoldersOf = [&](std::uint64_t hash) -> std::optional<KeyLinePlace> {
      const std::span<const std::uint32_t> holders = keys->chunks.find(hash);
      for (auto chunk = std::lower_bound(holders.begin(), holders.end(), place.paragraph);
           chunk != holders.end(); ++chunk) {
        if (const std::optional<KeyLinePlace> found = in(*chunk)) {
          return found;
        }
      }
      return std::nullopt;
    };
    // Where the lookahead runs, the pass has named this key and the kLookaheadDistance keys after it, so
    // its hash is known. The bytes named may have been another key's, if the reader filled its buffer
    // anew since: where no name repeats, a line found is the key's only one, and a key not found is
    // looked up again by its own hash.
    const Named& named = lookahead_[(lookaheadCount_ - kLookaheadDistance - 1) % lookahead_.size()];
    if (lookaheadKeys_ == keys && named.key == key.data() && !keys->namesRepeat) {
      if (const std::optional<KeyLinePlace> found = inHoldersOf(named.hash)) {
        return found;
      }
    }
    return inHoldersOf(NameIndex::hashOf(key.substr(0, key.find('='))));
  }
  for (std::size_t paragraph = place.paragraph; paragraph <= place.runLast; ++paragraph) {
    if (const std::optional<KeyLinePlace> found = in(paragraph)) {
      return found;
    }
  }
  return std::nullopt;
}

// The key index of a run of many chunks, made the first time a key is looked for in it: every line is filed
// under the name before its first "=", which is what any key its line can match begins with up to its own
// first "=". Lines whose name holds a line break byte match no key the paragraphs take.
IniDocument::RunKeys* IniDocument::keysOfRun(const HeaderPlace& place) const {
  constexpr std::size_t kIndexedRunChunks = 8;
  if (place.runLast - place.paragraph < kIndexedRunChunks - 1 &&
      (runKeys_.empty() || !runKeys_.contains(static_cast<std::uint32_t>(place.runLast)))) {
    return nullptr;
  }
  const auto [run, made] = runKeys_.try_emplace(static_cast<std::uint32_t>(place.runLast));
  if (!made) {
    return &run->second;
  }
  std::size_t first = place.runLast;
  while (first > 0 && paragraphs_[first - 1].continued) {
    --first;
  }
  RunKeys& keys = run->second;
  std::size_t runBytes = 0;
  for (std::size_t paragraph = first; paragraph <= place.runLast; ++paragraph) {
    runBytes += paragraphs_[paragraph].size;
  }
  keys.chunks.reserve(runBytes / NameIndex::kBytesPerName);
  // Filed a batch at a time, with the slots of the batch fetched ahead: most of the cost is waiting for them.
  struct Line {
    std::uint64_t hash;
    std::uint32_t paragraph;
    std::string_view name;
  };
  std::vector<Line> batch;
  auto fileBatch = [&] {
    for (const Line& line : batch) {
      keys.chunks.prefetch(line.hash);
    }
    for (const Line& line : batch) {
      fileKeyName(keys, line.hash, line.paragraph, line.name);
    }
    batch.clear();
  };
  for (std::size_t paragraph = first; paragraph <= place.runLast; ++paragraph) {
    const std::string_view content = paragraphs_[paragraph].content();
    for (std::size_t line = 0; line < content.size();) {
      const std::size_t lineEnd = findCrLf(content, line);
      const std::string_view text = content.substr(line, lineEnd - line);
      const std::size_t equals = text.find('=');
      if (equals != npos && !holdsLineBreakByte(text.substr(0, equals))) {
        batch.push_back({NameIndex::hashOf(text.substr(0, equals)), static_cast<std::uint32_t>(paragraph),
                         text.substr(0, equals)});
      }
      line = lineEnd + kCrLf.size();
    }
    if (batch.size() >= 64) {
      fileBatch();
    }
  }
  fileBatch();
  return &run->second;
}

bool IniDocument::startLookahead(std::string_view section) const {
  lookaheadKeys_ = nullptr;
  lookaheadCount_ = 0;
  const bool keysInOrder = 2 * guessesRight_ > guessesTried_;
  guessesTried_ = guessesRight_ = 0;
  if (keysInOrder || wholeText_ || !lastHeader_ || !isFoundLast(section)) {
    return false;
  }
  const auto run = runKeys_.find(static_cast<std::uint32_t>(lastHeader_->runLast));
  if (run == runKeys_.end()) {
    return false;
  }
  lookaheadKeys_ = &run->second;
  lookaheadFrom_ = lastHeader_->paragraph;
  return true;
}

void IniDocument::prefetchKey(std::string_view key) const {
  if (lookaheadKeys_ == nullptr) {
    return;
  }
  const std::uint64_t hash = NameIndex::hashOf(key);
  lookaheadKeys_->chunks.prefetch(hash);
  constexpr std::size_t kHalfway = kLookaheadDistance / 2;
  if (lookaheadCount_ >= kHalfway) {
    const std::span<const std::uint32_t> holders =
        lookaheadKeys_->chunks.find(lookahead_[(lookaheadCount_ - kHalfway) % lookahead_.size()].hash);
    const auto chunk = std::lower_bound(holders.begin(), holders.end(), lookaheadFrom_);
#if defined(__GNUC__) || defined(__clang__)
    if (chunk != holders.end()) {
      const char* const line = paragraphs_[*chunk].data;
      __builtin_prefetch(line);
      __builtin_prefetch(line + 64);
    }
#endif
  }
  lookahead_[lookaheadCount_++ % lookahead_.size()] = {key.data(), hash};
}

// Files a line of the run under its name. A hash filed before may be another name's: only lines that begin
// with the same name make the names repeat.
void IniDocument::fileKeyName(RunKeys& keys, std::uint64_t hash, std::uint32_t paragraph,
                              std::string_view name) const {
  if (keys.chunks.insert(hash, paragraph) || keys.namesRepeat) {
    return;
  }
  int lines = 0;
  for (const std::uint32_t chunk : keys.chunks.find(hash)) {
    const std::string_view content = paragraphs_[chunk].content();
    if (content.size() > name.size() && content[name.size()] == '=' &&
        equalsIgnoringCase(content.substr(0, name.size()), name)) {
      ++lines;
    }
    for (std::size_t at = findKeyLine(content, 0, name); at != npos; at = findKeyLine(content, at + 1, name)) {
      ++lines;
    }
    if (lines >= 2) {
      keys.namesRepeat = true;
      return;
    }
  }
}

// Keeps the run's key index true after a line of key was added to or removed from the chunk.
void IniDocument::noteKeyLine(const HeaderPlace& place, std::size_t paragraph, std::string_view key,
                              bool added) {
  const auto run = runKeys_.find(static_cast<std::uint32_t>(place.runLast));
  if (run == runKeys_.end()) {
    return;
  }
  const std::string_view name = key.substr(0, key.find('='));
  const std::uint64_t hash = NameIndex::hashOf(name);
  if (added) {
    fileKeyName(run->second, hash, static_cast<std::uint32_t>(paragraph), name);
    return;
  }
  // Another line of the chunk may begin with the same name.
  const std::string_view content = paragraphs_[paragraph].content();
  const bool firstLineHolds = content.size() > name.size() && content[name.size()] == '=' &&
                              equalsIgnoringCase(content.substr(0, name.size()), name);
  if (!firstLineHolds && findKeyLine(content, 0, name) == npos) {
    run->second.chunks.erase(hash, static_cast<std::uint32_t>(paragraph));
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
  runLast_.push_back(static_cast<std::uint32_t>(paragraphs_.size() - 1));
  indexParagraph(paragraphs_.size() - 1);
}

}  // namespace ombrix
