#include "merge/merge_pass.h"

#include <charconv>
#include <limits>
#include <optional>

#include "ini/case_fold.h"

namespace ombrix {
namespace {

constexpr std::string_view kStatusKey = "Comment";

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// A line that sets a key: everything before its first "=" is the key, everything after it the value.
std::optional<KeyLine> parseKeyLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    return std::nullopt;
  }
  return KeyLine{trimSpaces(line.substr(0, equals)), trimSpaces(line.substr(equals + 1))};
}

bool isSkipped(std::string_view line) {
  return line.empty() || line.starts_with("//");
}

bool isSectionHeader(std::string_view line) {
  return line.starts_with('[') && line.ends_with(']');
}

bool shouldWrite(KeyStore& output, MergePolicy policy, std::string_view section, std::string_view key) {
  switch (policy) {
    case MergePolicy::ReplaceAll:
      return true;
    case MergePolicy::KeepPlayable:
      return !statusSaysPlayable(output.readKey(section, kStatusKey));
    case MergePolicy::KeepExisting:
      return output.readKey(section, key).empty();
  }
  return true;
}

class ProgressText {
 public:
  std::string_view forLine(std::int32_t line) {
    const auto result = std::to_chars(buffer_ + kPrefix.size(), buffer_ + sizeof buffer_, line);
    return {buffer_, static_cast<std::size_t>(result.ptr - buffer_)};
  }
  ProgressText() { kPrefix.copy(buffer_, kPrefix.size()); }

 private:
  static constexpr std::string_view kPrefix = "Processing line ";
  char buffer_[kPrefix.size() + 12] = {};
};

}  // namespace

std::string_view trimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool statusSaysPlayable(std::string_view comment) {
  return containsIgnoringCase(comment, "Playable") && !containsIgnoringCase(comment, "Almost") &&
         !containsIgnoringCase(comment, "Not") && !containsIgnoringCase(comment, "Unplayable");
}

PassResult runMergePass(LineReader& newKeys, KeyStore& output, MergePolicy policy,
                        const ProgressCallback& progress) {
  PassResult result;
  auto fail = [&result](std::string why) {
    result.completed = false;
    result.failure = std::move(why);
    return result;
  };
  ProgressText progressText;
  std::string section;
  std::string line;
  std::int32_t lineNumber = 0;
  while (!newKeys.atEnd()) {
    if (lineNumber == std::numeric_limits<std::int32_t>::max()) {
      return fail("the file with the new keys has too many lines");
    }
    ++lineNumber;
    if (!newKeys.readLine(line)) {
      return fail("the file with the new keys could not be read");
    }
    if (progress) {
      progress(progressText.forLine(lineNumber));
    }
    const std::string_view trimmed = trimSpaces(line);
    if (isSkipped(trimmed)) {
      continue;
    }
    if (isSectionHeader(trimmed)) {
      section = trimmed.substr(1, trimmed.size() - 2);
      continue;
    }
    const std::optional<KeyLine> keyLine = parseKeyLine(trimmed);
    if (!keyLine || !shouldWrite(output, policy, section, keyLine->key)) {
      continue;
    }
    output.saveKey(section, keyLine->key, keyLine->value);
    if (result.changeCount == std::numeric_limits<std::int32_t>::max()) {
      return fail("too many lines changed to count");
    }
    ++result.changeCount;
  }
  if (newKeys.failed()) {
    return fail("the file with the new keys could not be read");
  }
  return result;
}

}  // namespace ombrix
