#include "merge/change_report.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "ini/memory/name_index.h"
#include "ini/memory/text_arena.h"
#include "ini/text/case_fold.h"
#include "merge/merge_command.h"

namespace ombrix {
namespace {

std::uint32_t sizeOfChangeText(std::string_view text) {
  if (text.size() > UINT32_MAX) {
    throw std::length_error("a key line of more than 4 GB");
  }
  return static_cast<std::uint32_t>(text.size());
}

// Copies bytes to place and returns where the copy ends.
char* copyInto(char* place, std::string_view bytes) {
  return std::copy(bytes.begin(), bytes.end(), place);
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
      appendEscaped(out, change.key());
      out += '=';
      appendEscaped(out, change.value());
      break;
    case KeyChange::Kind::Changed:
      out += "  ~ ";
      appendEscaped(out, change.key());
      out += ": ";
      appendEscaped(out, change.oldValue());
      out += " -> ";
      appendEscaped(out, change.value());
      break;
    case KeyChange::Kind::Deleted:
      out += "  - ";
      appendEscaped(out, change.key());
      out += " (was ";
      appendEscaped(out, change.oldValue());
      out += ')';
      break;
    case KeyChange::Kind::None:
      return;
  }
  out += '\n';
}

// The report's text, handed out in pieces of some kilobytes: a section of a hundred thousand keys is not
// grown into one text first.
class PieceWriter {
 public:
  explicit PieceWriter(const std::function<void(std::string_view piece)>& emit) : emit_(emit) {
    text_.reserve(kPiece + 1024);
  }

  void header(const ChangeRecord& first) {
    emitWhenFull();
    text_ += '[';
    appendEscaped(text_, first.section);
    text_ += first.sectionAdded ? "] (new section)\n" : "]\n";
  }

  void change(const ChangeRecord& change) {
    appendDescription(text_, change);
    emitWhenFull();
  }

  void finish() { emit_(text_); }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;

  void emitWhenFull() {
    if (text_.size() >= kPiece) {
      emit_(text_);
      text_.clear();
    }
  }

  const std::function<void(std::string_view piece)>& emit_;
  std::string text_;
};

// Changes one after another in one section, up to where the next run begins; those of kind None within
// are left out.
struct Run {
  std::uint32_t begin;
  std::uint32_t group;
};

// The sections of a report by name, letter case folded: numbered in the order they first appear.
class SectionGroups {
 public:
  explicit SectionGroups(std::size_t expected) {
    index_.reserve(expected);
    first_.reserve(expected);
  }

  std::uint32_t groupOf(const ChangeRecord& change) {
    const std::uint64_t hash = NameIndex::hashOf(change.section);
    for (const std::uint32_t group : index_.find(hash)) {
      if (equalsIgnoringCase(first_[group]->section, change.section)) {
        return group;
      }
    }
    const auto group = static_cast<std::uint32_t>(first_.size());
    index_.insert(hash, group);
    first_.push_back(&change);
    return group;
  }

  // The first change of the group, which tells how the section is spelled and whether it is new.
  const ChangeRecord& firstOf(std::uint32_t group) const { return *first_[group]; }
  std::size_t size() const { return first_.size(); }

 private:
  NameIndex index_;  // group numbers by the hash of the folded name
  std::vector<const ChangeRecord*, BlockAllocator<const ChangeRecord*>> first_;
};

}  // namespace

void recordChange(MergeReport& report, std::string_view section, std::string_view key, std::string_view value,
                  const KeyChange& change) {
  if (change.kind == KeyChange::Kind::None) {
    return;
  }
  if (!report.changeText) {
    report.changeText = std::make_shared<TextArena>();
  }
  TextArena& arena = *report.changeText;
  const std::uint32_t keySize = sizeOfChangeText(key);
  const std::uint32_t valueSize = sizeOfChangeText(value);
  const std::uint32_t oldValueSize = sizeOfChangeText(change.oldValue);
  char* const text = arena.allocate(std::size_t{keySize} + valueSize + oldValueSize);
  copyInto(copyInto(copyInto(text, key), value), change.oldValue);
  // The keys of a section come one after another, so its name is kept once for them.
  ChangeList& changes = report.changes;
  std::string_view name;
  if (!changes.empty() && changes.back().section == section) {
    name = changes.back().section;
  } else {
    char* const place = arena.allocate(section.size());
    copyInto(place, section);
    name = std::string_view(place, section.size());
  }
  changes.push_back({name, text, keySize, valueSize, oldValueSize, change.kind, change.sectionAdded});
}

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
// a section come one after another: the list is read as runs of one section each, and only runs are sorted.
void writeChanges(const ChangeList& changes, const std::function<void(std::string_view piece)>& emit) {
  if (changes.size() > UINT32_MAX) {
    throw std::length_error("more changes than a report can list");
  }
  // The recorder keeps one copy of a section's name for its changes in a row, so a new run is a new
  // pointer: counted first, the tables below are made once at their size instead of grown.
  std::size_t sectionSwitches = 0;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (i == 0 || changes[i].section.data() != changes[i - 1].section.data()) {
      ++sectionSwitches;
    }
  }
  SectionGroups groups(sectionSwitches);
  std::vector<Run, BlockAllocator<Run>> runs;
  runs.reserve(sectionSwitches);
  std::string_view runSection;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const ChangeRecord& change = changes[i];
    if (change.kind == KeyChange::Kind::None) {
      continue;
    }
    if (!runs.empty() && change.section == runSection) {
      continue;
    }
    runSection = change.section;
    const std::uint32_t group = groups.groupOf(change);
    // The same section spelled in another letter case goes on with the run.
    if (runs.empty() || runs.back().group != group) {
      runs.push_back({static_cast<std::uint32_t>(i), group});
    }
  }
  PieceWriter out(emit);
  auto writeRun = [&](const Run& run) {
    const std::size_t end = &run == &runs.back() ? changes.size() : (&run + 1)->begin;
    for (std::size_t i = run.begin; i < end; ++i) {
      if (changes[i].kind != KeyChange::Kind::None) {
        out.change(changes[i]);
      }
    }
  };
  if (runs.size() == groups.size()) {  // every section changed in one run, as when the new keys hold it once
    for (const Run& run : runs) {
      out.header(groups.firstOf(run.group));
      writeRun(run);
    }
    out.finish();
    return;
  }
  // The runs of each group, in their order: where each group starts, then each run in its place.
  std::vector<std::size_t> groupStart(groups.size() + 1, 0);
  for (const Run& run : runs) {
    ++groupStart[run.group + 1];
  }
  for (std::size_t group = 1; group < groupStart.size(); ++group) {
    groupStart[group] += groupStart[group - 1];
  }
  std::vector<const Run*> ordered(runs.size());
  std::vector<std::size_t> next(groupStart.begin(), groupStart.end() - 1);
  for (const Run& run : runs) {
    ordered[next[run.group]++] = &run;
  }
  for (std::uint32_t group = 0; group < groups.size(); ++group) {
    out.header(groups.firstOf(group));
    for (std::size_t at = groupStart[group]; at < groupStart[group + 1]; ++at) {
      writeRun(*ordered[at]);
    }
  }
  out.finish();
}

namespace {

// Writes one part of the three-way findings: its title, then the items of each section under a header.
template <typename Item, typename SectionOf, typename Describe>
void appendBySection(std::string& out, std::string_view title, const std::vector<Item>& items,
                     SectionOf sectionOf, Describe describe) {
  if (items.empty()) {
    return;
  }
  std::vector<std::vector<const Item*>> groups;
  std::map<std::string, std::size_t> groupOfName;
  for (const Item& item : items) {
    const auto [place, added] = groupOfName.try_emplace(foldedText(sectionOf(item)), groups.size());
    if (added) {
      groups.emplace_back();
    }
    groups[place->second].push_back(&item);
  }
  out += title;
  for (const std::vector<const Item*>& group : groups) {
    out += '[';
    appendEscaped(out, sectionOf(*group.front()));
    out += "]\n";
    for (const Item* item : group) {
      describe(out, *item);
    }
  }
}

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  appendEscaped(out, text);
  out += '"';
}

}  // namespace

std::string formatThreeWayFindings(const MergeReport& report) {
  std::string out;
  appendBySection(
      out, "Conflicts:\n", report.conflicts, [](const Conflict& c) -> std::string_view { return c.section; },
      [](std::string& text, const Conflict& c) {
        text += "  ! ";
        appendEscaped(text, c.key);
        text += ": base ";
        appendQuoted(text, c.base);
        text += ", yours ";
        appendQuoted(text, c.mine);
        text += ", newer ";
        appendQuoted(text, c.newer);
        text += '\n';
      });
  appendBySection(
      out, "Deleted in your list, left deleted:\n", report.deletedGames,
      [](const std::string& section) -> std::string_view { return section; },
      [](std::string&, const std::string&) {});
  appendBySection(
      out, "Dropped by the newer list, kept:\n", report.dropped,
      [](const DroppedEntry& d) -> std::string_view { return d.section; },
      [](std::string& text, const DroppedEntry& d) {
        if (d.key.empty()) {
          text += "  (the whole section)\n";
          return;
        }
        text += "  ";
        appendEscaped(text, d.key);
        text += '=';
        appendEscaped(text, d.value);
        text += '\n';
      });
  return out;
}

std::string changeReportText(const MergeReport& report, std::size_t mostLines) {
  std::string text;
  std::size_t lines = 0;
  std::size_t left = 0;
  auto take = [&](std::string_view piece) {
    for (std::size_t begin = 0; begin < piece.size();) {
      const std::size_t end = std::min(piece.find('\n', begin), piece.size() - 1) + 1;
      const bool lineEnds = piece[end - 1] == '\n';
      if (lines < mostLines) {
        text.append(piece.substr(begin, end - begin));
      } else if (lineEnds) {
        ++left;
      }
      lines += lineEnds ? 1 : 0;
      begin = end;
    }
  };
  writeChanges(report.changes, take);
  take(formatThreeWayFindings(report));
  if (left > 0) {
    text += "\u2026 and " + std::to_string(left) + " more changes.\n";
  }
  return text;
}

}  // namespace ombrix
