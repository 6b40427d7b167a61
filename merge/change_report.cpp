#include "merge/change_report.h"

#include <unordered_map>

#include "ini/case_fold.h"

namespace ombrix {
namespace {

std::string foldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
  }
  return folded;
}

std::string describe(const ChangeRecord& change) {
  const std::string key = escapeForTerminal(change.key);
  switch (change.kind) {
    case KeyChange::Kind::Added:
      return "  + " + key + "=" + escapeForTerminal(change.value);
    case KeyChange::Kind::Changed:
      return "  ~ " + key + ": " + escapeForTerminal(change.oldValue) + " -> " +
             escapeForTerminal(change.value);
    case KeyChange::Kind::Deleted:
      return "  - " + key + " (was " + escapeForTerminal(change.oldValue) + ")";
    case KeyChange::Kind::None:
      break;
  }
  return {};
}

}  // namespace

std::string escapeForTerminal(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::size_t countEffectiveChanges(const std::vector<ChangeRecord>& changes) {
  std::size_t count = 0;
  for (const ChangeRecord& change : changes) {
    count += change.kind == KeyChange::Kind::None ? 0 : 1;
  }
  return count;
}

std::string formatChanges(const std::vector<ChangeRecord>& changes) {
  struct Group {
    std::string header;
    std::vector<std::string> lines;
  };
  std::vector<Group> groups;
  std::unordered_map<std::string, std::size_t> groupOf;  // folded section name -> group
  for (const ChangeRecord& change : changes) {
    if (change.kind == KeyChange::Kind::None) {
      continue;
    }
    auto [place, added] = groupOf.try_emplace(foldedName(change.section), groups.size());
    if (added) {
      groups.push_back(
          {"[" + escapeForTerminal(change.section) + "]" + (change.sectionAdded ? " (new section)" : ""),
           {}});
    }
    groups[place->second].lines.push_back(describe(change));
  }
  std::string text;
  for (const Group& group : groups) {
    text += group.header + "\n";
    for (const std::string& line : group.lines) {
      text += line + "\n";
    }
  }
  return text;
}

}  // namespace ombrix
