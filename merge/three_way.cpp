#include "merge/three_way.h"

#include <algorithm>
#include <stdexcept>

#include "ini/text/case_fold.h"
#include "merge/line_reader.h"
#include "merge/new_keys_line.h"

namespace ombrix {

ThreeWayChoice decide(std::string_view base, std::string_view mine, std::string_view newer) {
  if (mine == base) {
    return newer == mine ? ThreeWayChoice::Keep : ThreeWayChoice::Write;
  }
  return newer == base || newer == mine ? ThreeWayChoice::Keep : ThreeWayChoice::Conflict;
}

BaseList::BaseList(std::string_view text) {
  parse(text);
  groupKeysBySection();
}

void BaseList::parse(std::string_view text) {
  // At most a key per line holding "=", and, in a game list, a section per few keys: a text of blank lines
  // or of headers alone asks for nothing ahead. No table is made larger than the text ahead of its use.
  const auto equalSigns = static_cast<std::size_t>(std::count(text.begin(), text.end(), '='));
  const auto lineCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  const std::size_t sections = std::min({lineCount / 4, equalSigns, text.size() / sizeof(Section)}) + 1;
  keys_.reserve(std::min({equalSigns, lineCount, text.size() / sizeof(Key)}));
  sections_.reserve(sections);
  sectionIndex_.reserve(std::min(sections, text.size() / NameIndex::kBytesPerName));
  LineReader lines(text);
  std::string_view line;
  std::uint32_t section = sectionNumber({});  // the keys before the first header
  bool firstLine = true;
  while (!lines.atEnd() && lines.readLine(line)) {
    const NewKeysLine parsed = readNewKeysLine(line, firstLine);
    firstLine = false;
    if (parsed.kind == NewKeysLine::Kind::Header) {
      section = sectionNumber(parsed.name);
    } else if (parsed.kind == NewKeysLine::Kind::Key && !parsed.name.empty()) {
      // A key without a name is never looked up: the pass writes none.
      if (keys_.size() >= UINT32_MAX) {
        throw std::length_error("a base of more than four billion keys");
      }
      keys_.push_back({parsed.name, parsed.value, section});
      ++sections_[section].keyCount;
    }
  }
}

// A section's keys stand together in keys_, in the order of their lines. Usually they already do, each
// section being one block of lines; a section whose header comes again is gathered by a counting sort.
void BaseList::groupKeysBySection() {
  std::uint32_t position = 0;
  for (Section& section : sections_) {
    section.firstKey = position;
    position += section.keyCount;
  }
  bool grouped = true;
  std::vector<std::uint32_t> next(sections_.size());
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    next[i] = sections_[i].firstKey;
  }
  for (std::size_t i = 0; i < keys_.size() && grouped; ++i) {
    grouped = next[keys_[i].section]++ == i;
  }
  if (grouped) {
    return;
  }
  std::vector<Key, BlockAllocator<Key>> sorted(keys_.size());
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    next[i] = sections_[i].firstKey;
  }
  for (const Key& key : keys_) {
    sorted[next[key.section]++] = key;
  }
  keys_.swap(sorted);
}

std::optional<std::uint32_t> BaseList::findSection(std::string_view name, std::uint64_t hash) const {
  for (const std::uint32_t number : sectionIndex_.find(hash)) {
    if (equalsIgnoringCase(sections_[number].name, name)) {
      return number;
    }
  }
  return std::nullopt;
}

// A name met for the first time is filed at once; only a hash filed before needs its names compared.
std::uint32_t BaseList::sectionNumber(std::string_view name, bool inBase) {
  if (sections_.size() >= NameIndex::kMostValues) {
    throw std::length_error("a base of more than two billion sections");
  }
  const auto number = static_cast<std::uint32_t>(sections_.size());
  const std::uint64_t hash = NameIndex::hashOf(name);
  if (!sectionIndex_.insert(hash, number)) {
    for (const std::uint32_t filed : sectionIndex_.find(hash)) {
      if (filed != number && equalsIgnoringCase(sections_[filed].name, name)) {
        sectionIndex_.erase(hash, number);
        return filed;
      }
    }
  }
  Section section;
  section.name = name;
  section.hash = hash;
  section.seen = !inBase;
  section.inBase = inBase;
  sections_.push_back(section);
  return number;
}

std::optional<std::uint32_t> BaseList::findBaseKey(std::uint32_t number, std::string_view key) {
  Section& section = sections_[number];
  if (section.keyCount <= kKeysReadInTurn) {
    for (std::uint32_t i = section.firstKey + section.keyCount; i-- > section.firstKey;) {
      if (equalsIgnoringCase(keys_[i].key, key)) {
        return i;
      }
    }
    return std::nullopt;
  }
  if (section.ownIndex < 0) {
    NameIndex index;
    index.reserve(section.keyCount);
    for (std::uint32_t i = section.firstKey; i < section.firstKey + section.keyCount; ++i) {
      index.insert(NameIndex::hashOf(keys_[i].key), i);
    }
    section.ownIndex = static_cast<std::int32_t>(keyIndexes_.size());
    keyIndexes_.push_back(std::move(index));
  }
  const std::span<const std::uint32_t> candidates =
      keyIndexes_[static_cast<std::size_t>(section.ownIndex)].find(NameIndex::hashOf(key));
  for (auto i = candidates.rbegin(); i != candidates.rend(); ++i) {  // from the last line back
    if (equalsIgnoringCase(keys_[*i].key, key)) {
      return *i;
    }
  }
  return std::nullopt;
}

std::uint64_t BaseList::addedKeyHash(std::uint32_t section, std::string_view key) const {
  return (sections_[section].hash * 0x9E3779B97F4A7C15ULL) ^ NameIndex::hashOf(key);
}

std::optional<std::uint32_t> BaseList::findAddedKey(std::uint32_t section, std::string_view key) const {
  if (added_.empty()) {
    return std::nullopt;
  }
  for (const std::uint32_t number : addedIndex_.find(addedKeyHash(section, key))) {
    if (added_[number].section == section && equalsIgnoringCase(added_[number].key, key)) {
      return number;
    }
  }
  return std::nullopt;
}

std::string_view BaseList::kept(std::string_view text) {
  char* const place = written_.allocate(text.size());
  std::copy(text.begin(), text.end(), place);
  return {place, text.size()};
}

// The new keys usually hold the games in the base's order: the section after the last one is tried first.
BaseList::SectionRef BaseList::enterSection(std::string_view section) {
  std::optional<std::uint32_t> found;
  const std::uint32_t next = lastEntered_ + 1;
  if (next < sections_.size() && equalsIgnoringCase(sections_[next].name, section)) {
    found = next;
  } else {
    found = findSection(section, NameIndex::hashOf(section));
  }
  if (!found) {
    return {};
  }
  lastEntered_ = *found;
  sections_[*found].seen = true;
  return {found, sections_[*found].inBase};
}

std::string_view BaseList::valueOf(const SectionRef& section, std::string_view key) {
  if (!section.number) {
    return {};
  }
  if (const std::optional<std::uint32_t> found = findBaseKey(*section.number, key)) {
    keys_[*found].seen = true;
    return keys_[*found].value;
  }
  const std::optional<std::uint32_t> added = findAddedKey(*section.number, key);
  return added ? added_[*added].value : std::string_view();
}

void BaseList::took(SectionRef& section, std::string_view name, std::string_view key,
                    std::string_view value) {
  if (!section.number) {
    section.number = sectionNumber(kept(name), false);
  }
  const std::uint32_t number = *section.number;
  if (const std::optional<std::uint32_t> found = findBaseKey(number, key)) {
    keys_[*found].value = kept(value);
  } else if (const std::optional<std::uint32_t> added = findAddedKey(number, key)) {
    added_[*added].value = kept(value);
  } else {
    if (added_.size() >= UINT32_MAX) {
      throw std::length_error("more than four billion keys added");
    }
    addedIndex_.insert(addedKeyHash(number, key), static_cast<std::uint32_t>(added_.size()));
    added_.push_back({kept(key), kept(value), number, true});
  }
}

std::vector<BaseList::Dropped> BaseList::dropped() {
  std::vector<Dropped> dropped;
  for (std::uint32_t number = 0; number < sections_.size(); ++number) {
    const Section& section = sections_[number];
    if (section.name.empty() || !section.inBase) {
      continue;
    }
    if (!section.seen) {
      dropped.push_back({section.name, {}, {}});
      continue;
    }
    for (std::uint32_t i = section.firstKey; i < section.firstKey + section.keyCount; ++i) {
      // A key set twice was looked up at its last line only: the earlier ones are not dropped.
      if (!keys_[i].seen && findBaseKey(number, keys_[i].key) == i) {
        dropped.push_back({section.name, keys_[i].key, keys_[i].value});
      }
    }
  }
  return dropped;
}

void ThreeWayMerge::enterSection(KeyStore& output, std::string_view section) {
  started_ = true;
  baseSection_ = base_.enterSection(section);
  deletedByUser_ = baseSection_.inBase && !section.empty() && !output.hasSection(section);
  if (deletedByUser_ && reportedDeleted_.insert(*baseSection_.number).second) {
    deletedGames_.emplace_back(section);
  }
}

bool ThreeWayMerge::shouldWrite(KeyStore& output, std::string_view section, std::string_view key,
                                std::string_view value) {
  if (!started_) {
    enterSection(output, section);
  }
  // A key without a section or a name is never written, so nothing of it is the user's or can conflict.
  if (deletedByUser_ || section.empty() || key.empty()) {
    return false;
  }
  const std::string_view base = base_.valueOf(baseSection_, key);
  // The base and the new value are read with their spaces trimmed; so is the user's value, so that spaces
  // around it are not taken for an edit.
  const std::string_view mine = trimSpaces(output.readKey(section, key));
  bool write = false;
  switch (decide(base, mine, value)) {
    case ThreeWayChoice::Write:
      write = true;
      break;
    case ThreeWayChoice::Keep:
      break;
    case ThreeWayChoice::Conflict:
      conflicts_.push_back(
          {std::string(section), std::string(key), std::string(base), std::string(mine), std::string(value)});
      write = preferNew_;
      break;
  }
  if (write) {
    base_.took(baseSection_, section, key, value);
  }
  return write;
}

}  // namespace ombrix
