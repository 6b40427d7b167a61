#pragma once

// The effective changes of a merge as text for a terminal: grouped by section in the order the sections
// were first written, one change per line.
//
//   [G2]
//     ~ Comment: Unplayable -> Playable
//   [G3] (new section)
//     + Comment=Almost
//
// "+" a key added, "~" a value changed (old -> new), "-" a key deleted. Key writes that changed nothing are
// left out.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ini/document/key_change.h"
#include "ini/memory/text_arena.h"

namespace ombrix {

struct MergeReport;

// One key write of a merge and what it changed. Its texts lie in the report's changeText, which a merge
// of tens of thousands of games fills with a few large blocks instead of four strings per key; the key,
// the value and the old value lie there one after another, so that a record stays small.
struct ChangeRecord {
  std::string_view section;
  const char* text = nullptr;
  std::uint32_t keySize = 0;
  std::uint32_t valueSize = 0;
  std::uint32_t oldValueSize = 0;
  KeyChange::Kind kind = KeyChange::Kind::None;
  bool sectionAdded = false;

  std::string_view key() const { return {text, keySize}; }
  std::string_view value() const { return {text + keySize, valueSize}; }  // as written
  std::string_view oldValue() const {
    return {text + keySize + valueSize, oldValueSize};
  }  // changed, deleted
};
using ChangeList = std::vector<ChangeRecord, BlockAllocator<ChangeRecord>>;

// Adds a key write and what it changed to the report's changes; a write that changed nothing is left out.
void recordChange(MergeReport& report, std::string_view section, std::string_view key, std::string_view value,
                  const KeyChange& change);

// The changes by section, in the order first met ("[G1]\n  ~ Speed: 1 -> 2\n[G3] (new section)\n  + k=1\n"),
// handed to emit in pieces of some kilobytes, so that no copy of it all is made.
void writeChanges(const ChangeList& changes, const std::function<void(std::string_view piece)>& emit);

std::size_t countEffectiveChanges(const ChangeList& changes);

// What a merge that keeps the user's edits found, by section (letter case folded) in the order first met:
//
//   Conflicts:
//   [G2]
//     ! Speed: base "1", yours "3", newer "2"
//   Deleted in your list, left deleted:
//   [G9]
//   Dropped by the newer list, kept:
//   [G4]
//     Old=x
//
// Each part only when it has something to list.
std::string formatThreeWayFindings(const MergeReport& report);

// The changes and the findings above as --report lists them, cut after mostLines lines with one more line
// that tells how many were left out: "… and 12 more changes.".
std::string changeReportText(const MergeReport& report, std::size_t mostLines);

// The bytes as they are, but control bytes (and the backslash) written as escapes, so that a name or value
// cannot move the cursor or recolour a terminal: \r, \n, \t, \\ and \xNN.
std::string escapeForTerminal(std::string_view text);

}  // namespace ombrix
