#include "merge/change_report.h"

#include <cstdint>
#include <unordered_map>

#include "ini/case_fold.h"
#include "ini/header_index.h"

namespace ombrix {
namespace {

std::string foldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
  }
  return folded;
}

bool needsEscape(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || c == '\\';
}

// Appends text escaped as escapeForTerminal does, without a string of its own for the common text that
// holds nothing to escape.
void appendEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!needsEscape(c)) {
      continue;
    }
    out.append(text.substr(plain, i - plain));
    plain = i + 1;
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  out.append(text.substr(plain));
}

void appendDescription(std::string& out, const ChangeRecord& change) {
  switch (change.kind) {
    case KeyChange::Kind::Added:
      out += "  + ";
      appendEscaped(out, change.key);
      out += '=';
      appendEscaped(out, change.value);
      break;
    case KeyChange::Kind::Changed:
      out += "  ~ ";
      appendEscaped(out, change.key);
      out += ": ";
      appendEscaped(out, change.oldValue);
      out += " -> ";
      appendEscaped(out, change.value);
      break;
    case KeyChange::Kind::Deleted:
      out += "  - ";
      appendEscaped(out, change.key);
      out += " (was ";
      appendEscaped(out, change.oldValue);
      out += ')';
      break;
    case KeyChange::Kind::None:
      return;
  }
  out += '\n';
}

}  // namespace

std::string escapeForTerminal(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  appendEscaped(escaped, text);
  return escaped;
}

std::size_t countEffectiveChanges(const ChangeList& changes) {
  std::size_t count = 0;
  for (const ChangeRecord& change : changes) {
    count += change.kind == KeyChange::Kind::None ? 0 : 1;
  }
  return count;
}

// The changes grouped by section (letter case folded), in the order each section first changed. The keys of
// a section come one after another, so the group of the change before is tried first.
void writeChanges(const ChangeList& changes, const std::function<void(std::string_view piece)>& emit) {
  std::vector<const ChangeRecord*> firstOfGroup;
  std::vector<std::uint32_t> groupOfChange(changes.size(), UINT32_MAX);  // UINT32_MAX: no effect
  // Groups by the hash of the folded name; a name that meets another's hash is grouped by its folded text.
  std::unordered_map<std::uint64_t, std::uint32_t> groupOfHash;
  std::unordered_map<std::string, std::uint32_t> groupOfCollided;
  auto groupFor = [&](const ChangeRecord& change) {
    const auto next = static_cast<std::uint32_t>(firstOfGroup.size());
    const auto [place, added] = groupOfHash.try_emplace(HeaderIndex::hashOf(change.section), next);
    if (added || equalsIgnoringCase(firstOfGroup[place->second]->section, change.section)) {
      if (added) {
        firstOfGroup.push_back(&change);
      }
      return place->second;
    }
    const auto [other, otherAdded] = groupOfCollided.try_emplace(foldedName(change.section), next);
    if (otherAdded) {
      firstOfGroup.push_back(&change);
    }
    return other->second;
  };
  const ChangeRecord* previous = nullptr;
  std::uint32_t previousGroup = 0;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const ChangeRecord& change = changes[i];
    if (change.kind == KeyChange::Kind::None) {
      continue;
    }
    if (previous == nullptr || change.section != previous->section) {
      previousGroup = groupFor(change);
    }
    previous = &change;
    groupOfChange[i] = previousGroup;
  }
  // The changes of each group, in their order: where each group starts, then each change in its place.
  std::vector<std::size_t> groupStart(firstOfGroup.size() + 1, 0);
  for (const std::uint32_t group : groupOfChange) {
    if (group != UINT32_MAX) {
      ++groupStart[group + 1];
    }
  }
  for (std::size_t group = 1; group < groupStart.size(); ++group) {
    groupStart[group] += groupStart[group - 1];
  }
  std::vector<const ChangeRecord*> ordered(groupStart.back());
  std::vector<std::size_t> next(groupStart.begin(), groupStart.end() - 1);
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (groupOfChange[i] != UINT32_MAX) {
      ordered[next[groupOfChange[i]]++] = &changes[i];
    }
  }
  constexpr std::size_t kPiece = 64 * 1024;
  std::string text;
  text.reserve(kPiece + 1024);
  for (std::size_t group = 0; group < firstOfGroup.size(); ++group) {
    if (text.size() >= kPiece) {
      emit(text);
      text.clear();
    }
    text += '[';
    appendEscaped(text, firstOfGroup[group]->section);
    text += firstOfGroup[group]->sectionAdded ? "] (new section)\n" : "]\n";
    for (std::size_t at = groupStart[group]; at < groupStart[group + 1]; ++at) {
      appendDescription(text, *ordered[at]);
    }
  }
  emit(text);
}

std::string formatChanges(const ChangeList& changes) {
  std::string text;
  writeChanges(changes, [&text](std::string_view piece) { text.append(piece); });
  return text;
}

}  // namespace ombrix
