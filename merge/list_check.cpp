#include "merge/list_check.h"

#include <algorithm>
#include <unordered_map>

#include "ini/case_fold.h"
#include "ini/ini_text.h"

namespace ombrix {
namespace {

constexpr std::size_t npos = std::string_view::npos;

std::string folded(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
  }
  return result;
}

std::string quoted(std::string_view name) {
  return "[" + std::string(name) + "]";
}

struct Line {
  std::size_t number;
  std::size_t offset;  // in the text
  std::string_view text;
};

// The lines as the text model sees them: only CR LF ends a line.
std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t offset = 0;
  while (offset < text.size()) {
    const std::size_t lineBreak = text.find(kCrLf, offset);
    const std::size_t end = lineBreak == npos ? text.size() : lineBreak;
    lines.push_back({lines.size() + 1, offset, text.substr(offset, end - offset)});
    offset = lineBreak == npos ? text.size() : lineBreak + kCrLf.size();
  }
  return lines;
}

// A line that is a section header as the merge writes them: "[" name "]" and nothing after.
bool isHeaderLine(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// Where the header texts of each name first stand, wherever they are: "[" name "]" followed by a CR, the
// name starting after the last "[" before that "]" (letter case folded).
std::unordered_map<std::string, std::size_t> firstHeaderTexts(const std::vector<Line>& lines) {
  std::unordered_map<std::string, std::size_t> first;
  for (const Line& line : lines) {
    const std::string_view text = line.text;
    std::size_t open = npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '[') {
        open = i;
      } else if (text[i] == '\r') {
        open = npos;
      } else if (text[i] == ']' && open != npos && (i + 1 == text.size() || text[i + 1] == '\r')) {
        first.try_emplace(folded(text.substr(open + 1, i - open - 1)), line.number);
      }
    }
  }
  return first;
}

}  // namespace

std::vector<ListFinding> checkList(std::string_view bytes) {
  std::vector<ListFinding> findings;
  if (bytes.find(kCrLf) == npos && bytes.find('\n') != npos) {
    findings.push_back({1, "the lines end in LF, not CR LF: the merge sees one long line and no section"});
    return findings;
  }
  const std::vector<Line> lines = splitLines(bytes);
  const std::unordered_map<std::string, std::size_t> headerTexts = firstHeaderTexts(lines);
  std::unordered_map<std::string, std::size_t> sections;  // folded name -> line of its header
  std::unordered_map<std::string, std::size_t> keys;      // folded key -> line, in the current section
  std::string section;
  std::size_t lastHeaderLine = 0;
  for (const Line& line : lines) {
    const std::string_view text = line.text;
    if (isHeaderLine(text)) {
      const std::string_view name = text.substr(1, text.size() - 2);
      const std::string key = folded(name);
      if (const auto [place, added] = sections.try_emplace(key, line.number); !added) {
        findings.push_back({line.number, "section " + quoted(name) + " appears again (first at line " +
                                             std::to_string(place->second) +
                                             "): the merge reads and writes only the first"});
      } else if (name.find('[') == npos) {
        const auto earlier = headerTexts.find(key);
        if (earlier != headerTexts.end() && earlier->second < line.number) {
          findings.push_back({earlier->second, "the text " + quoted(name) +
                                                   " in this line stands before the header "
                                                   "of " +
                                                   quoted(name) + " at line " + std::to_string(line.number) +
                                                   ": the merge takes it for that header"});
        }
      }
      if (line.number > 1 && !lines[line.number - 2].text.empty()) {
        findings.push_back(
            {line.number, "section " + quoted(name) +
                              " does not follow an empty line: the section before it runs on over "
                              "its keys"});
      }
      section = key;
      keys.clear();
      lastHeaderLine = line.number;
      continue;
    }
    if (!text.empty() && text.front() == '[' && text.find(']') != npos) {
      findings.push_back({line.number,
                          "the header line has characters after its \"]\": the merge does not see "
                          "it as the header of " +
                              std::string(text.substr(0, text.find(']') + 1))});
    }
    const std::size_t equals = text.find('=');
    if (lastHeaderLine > 0 && equals != npos && equals > 0) {
      const std::string_view key = text.substr(0, equals);
      if (const auto [place, added] = keys.try_emplace(folded(key), line.number); !added) {
        findings.push_back(
            {line.number, "key " + std::string(key) + " appears again in this section (first at line " +
                              std::to_string(place->second) + "): only the first is read and written"});
      }
    }
  }
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
