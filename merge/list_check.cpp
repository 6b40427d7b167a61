#include "merge/list_check.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "ini/memory/name_index.h"
#include "ini/text/case_fold.h"
#include "ini/text/encoding.h"
#include "ini/text/header_text.h"
#include "ini/text/ini_text.h"
#include "merge/merge_pass.h"

namespace ombrix {
namespace {

constexpr std::size_t npos = std::string_view::npos;

std::string quoted(std::string_view name) {
  return "[" + std::string(name) + "]";
}

// Calls visit(line number, line) for each line as the text model sees them: only CR LF ends a line.
template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
  std::size_t number = 0;
  for (std::size_t offset = 0; offset < text.size();) {
    const std::size_t lineBreak = text.find(kCrLf, offset);
    const std::size_t end = lineBreak == npos ? text.size() : lineBreak;
    visit(++number, text.substr(offset, end - offset));
    offset = lineBreak == npos ? text.size() : lineBreak + kCrLf.size();
  }
}

// A line that is a section header as the merge writes them: "[" name "]" and nothing after.
bool isHeaderLine(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// Names met in the list, letter case folded, with the line where each first stood. Filed by a hash of the
// folded name and confirmed against the name itself, so that nothing is copied per line.
class NameLines {
 public:
  struct Entry {
    std::string_view name;
    std::size_t line;
    std::size_t firstText = npos;  // for a section: the first line holding a header text of its name
  };
  // The entry of an equal name met before, or nothing after filing this one.
  const Entry* firstOrAdd(std::string_view name, std::size_t line) {
    auto [place, added] = entries_.try_emplace(NameIndex::hashOf(name), Entry{name, line});
    return added || !equalsIgnoringCase(place->second.name, name) ? nullptr : &place->second;
  }
  // hash: NameIndex::hashOf(name).
  Entry* find(std::uint64_t hash, std::string_view name) {
    const auto place = entries_.find(hash);
    return place != entries_.end() && equalsIgnoringCase(place->second.name, name) ? &place->second : nullptr;
  }
  // Empties the table; a table grown large by one section is dropped rather than cleared bucket by bucket.
  void reset() {
    if (entries_.bucket_count() > 64) {
      entries_ = {};
    } else {
      entries_.clear();
    }
  }

 private:
  std::unordered_map<std::uint64_t, Entry> entries_;
};

// The sections of the list: the line of each one's first header line.
NameLines sectionsOf(std::string_view bytes) {
  NameLines sections;
  forEachLine(bytes, [&](std::size_t number, std::string_view text) {
    if (isHeaderLine(text)) {
      sections.firstOrAdd(text.substr(1, text.size() - 2), number);
    }
  });
  return sections;
}

// Notes for each section the first line where a header text of its name stands, wherever it is, by the rule
// of header_text.h: a "]" followed by a CR (of the line's CR LF, or a lone one), and a name for each "["
// before it. Each name's hash is built as the walk goes back, so a line of thousands of "[" is read once.
void noteHeaderTexts(std::string_view bytes, NameLines& sections) {
  const char* const end = bytes.data() + bytes.size();
  forEachLine(bytes, [&](std::size_t number, std::string_view text) {
    const char* const lineStart = text.data();
    for (std::size_t i = text.find(']'); i != npos; i = text.find(']', i + 1)) {
      const char* const bracket = lineStart + i;
      if (bracket + 1 == end || bracket[1] != '\r') {
        continue;
      }
      NameIndex::BackwardHash hash;
      forEachNameOfHeaderText(
          lineStart, bracket,
          [&](const char* open) {
            const std::string_view name(open + 1, static_cast<std::size_t>(bracket - open - 1));
            if (NameLines::Entry* section = sections.find(hash.value(), name)) {
              section->firstText = std::min(section->firstText, number);
            }
          },
          [&](char byte) { hash.add(byte); });
    }
  });
}

}  // namespace

std::vector<ListFinding> checkList(std::string_view bytes) {
  std::vector<ListFinding> findings;
  if (startsWithUtf16ByteOrderMark(bytes)) {
    findings.push_back({1,
                        "the list is UTF-16 text: the merge refuses it, as new keys and as the list to "
                        "update; save it as 8-bit text"});
    return findings;
  }
  const LineEnds lineEnds = lineEndsIn(bytes);
  if (lineEnds == LineEnds::OnlyLf) {
    findings.push_back({1,
                        "the lines end in LF, not CR LF: the merge sees one long line and no section; as the "
                        "list to update it is refused"});
    return findings;
  }
  if (lineEnds == LineEnds::OnlyCr) {
    findings.push_back({1,
                        "the lines end in CR, not CR LF: the merge sees one long line and no section; as the "
                        "list to update it is refused"});
    return findings;
  }
  if (bytes.starts_with(kUtf8ByteOrderMark)) {
    findings.push_back(
        {1,
         "the list starts with a UTF-8 byte-order mark: as new keys the merge skips it; as the "
         "list to update it keeps it, and its first header is not found behind it"});
  }
  NameLines sections = sectionsOf(bytes);
  noteHeaderTexts(bytes, sections);
  NameLines keys;  // the line of each key, in the current section
  std::size_t lastHeaderLine = 0;
  bool previousLineEmpty = false;
  forEachLine(bytes, [&](std::size_t number, std::string_view text) {
    const bool followsEmptyLine = previousLineEmpty;
    previousLineEmpty = text.empty();
    if (isHeaderLine(text)) {
      const std::string_view name = text.substr(1, text.size() - 2);
      const NameLines::Entry* section = sections.find(NameIndex::hashOf(name), name);
      if (section != nullptr && section->line != number) {
        findings.push_back({number, "section " + quoted(name) + " appears again (first at line " +
                                        std::to_string(section->line) +
                                        "): the merge reads and writes only the first"});
      } else if (section != nullptr && section->firstText < number) {
        findings.push_back({section->firstText, "the text " + quoted(name) +
                                                    " in this line stands before the header of " +
                                                    quoted(name) + " at line " + std::to_string(number) +
                                                    ": the merge takes it for that header"});
      }
      if (number > 1 && !followsEmptyLine) {
        findings.push_back({number, "section " + quoted(name) +
                                        " does not follow an empty line: the section before it runs on over "
                                        "its keys"});
      }
      keys.reset();
      lastHeaderLine = number;
      return;
    }
    if (!text.empty() && text.front() == '[' && text.find(']') != npos) {
      findings.push_back({number,
                          "the header line has characters after its \"]\": the merge does not see "
                          "it as the header of " +
                              std::string(text.substr(0, text.find(']') + 1))});
    }
    const std::size_t equals = text.find('=');
    if (lastHeaderLine > 0 && equals != npos && equals > 0) {
      const std::string_view key = text.substr(0, equals);
      if (const NameLines::Entry* first = keys.firstOrAdd(key, number)) {
        findings.push_back(
            {number, "key " + std::string(key) + " appears again in this section (first at line " +
                         std::to_string(first->line) + "): only the first is read and written"});
      }
    }
  });
  if (lastHeaderLine > 0 && !bytes.ends_with(kEmptyLine)) {
    findings.push_back({lastHeaderLine,
                        "the last section has no empty line after it: the merge closes it at the end "
                        "of the file, where other tools would add its keys a second time"});
  }
  std::stable_sort(findings.begin(), findings.end(),
                   [](const ListFinding& a, const ListFinding& b) { return a.line < b.line; });
  return findings;
}

}  // namespace ombrix
