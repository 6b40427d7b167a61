#include "merge/merge_pass.h"

#include <array>
#include <limits>
#include <optional>
#include <utility>

#include "ini/document/ini_document.h"
#include "ini/text/case_fold.h"
#include "merge/three_way.h"

namespace ombrix {
namespace {

constexpr std::string_view kStatusKey = "Comment";

// The keys of a section ask about the same Comment one after another: the last answer is kept.
class StatusTest {
 public:
  bool saysPlayable(std::string_view comment) {
    if (!known_ || comment != comment_) {
      comment_.assign(comment);
      playable_ = statusSaysPlayable(comment);
      known_ = true;
    }
    return playable_;
  }

 private:
  std::string comment_;
  bool playable_ = false;
  bool known_ = false;
};

bool shouldWrite(KeyStore& output, MergePolicy policy, std::string_view section, std::string_view key,
                 std::string_view value, StatusTest& status, ThreeWayMerge* threeWay) {
  switch (policy) {
    case MergePolicy::ReplaceAll:
      return true;
    case MergePolicy::KeepPlayable:
      return !status.saysPlayable(output.readKey(section, kStatusKey));
    case MergePolicy::KeepExisting:
      return output.readKey(section, key).empty();
    case MergePolicy::KeepMyEdits:
      return threeWay->shouldWrite(output, section, key, value);
  }
  return true;
}

// "Processing line N" for N = 1, 2, 3, ...: the number is counted up in place, which costs less than
// formatting it anew for each of hundreds of thousands of lines.
class ProgressText {
 public:
  ProgressText() {
    *digits_ = '0';
    writePrefix();
  }

  std::string_view next() {
    char* digit = end() - 1;
    while (digit >= digits_ && *digit == '9') {
      *digit-- = '0';
    }
    if (digit >= digits_) {
      ++*digit;
    } else {  // 9 became 10, 99 became 100, ...
      *--digits_ = '1';
      writePrefix();
    }
    return {digits_ - kPrefix.size(), static_cast<std::size_t>(end() - digits_) + kPrefix.size()};
  }

 private:
  static constexpr std::string_view kPrefix = "Processing line ";
  static constexpr std::size_t kDigits = 10;  // enough for any signed 32-bit line number

  char* end() { return buffer_ + sizeof buffer_; }
  void writePrefix() { kPrefix.copy(digits_ - kPrefix.size(), kPrefix.size()); }

  char buffer_[kPrefix.size() + kDigits] = {};
  char* digits_ = buffer_ + sizeof buffer_ - 1;  // starts as the single digit 0
};

// Names the keys of a large section to the store a few lines before the pass comes to them, so that the
// store's waits for memory overlap. It reads ahead only in the bytes the reader holds, only up to the
// section's end, and only where the store asks; the pass then takes the lines it read from it.
class Lookahead {
 public:
  static constexpr std::size_t kDistance = IniDocument::kLookaheadDistance;

  // At a header: the store is asked after the section's first key, then every kKeysPerAsk keys, since
  // whether naming keys ahead helps depends on the order they come in.
  void enterSection() {
    active_ = false;
    keysSinceAsked_ = kKeysPerAsk - 1;
  }
  void keyWritten(KeyStore& store, std::string_view section) {
    if (++keysSinceAsked_ >= kKeysPerAsk) {
      keysSinceAsked_ = 0;
      active_ = store.startLookahead(section);
    }
  }

  // The reader's next line, when it was read ahead: taken from the reader as readLine would.
  bool takeLine(LineReader& reader, NewKeysLine& line) {
    if (count_ == 0) {
      return false;
    }
    const Ahead& next = ahead_[first_];
    if (reader.buffered().data() != next.begin) {  // cannot happen: the reader only moves through here
      count_ = 0;
      return false;
    }
    line = next.line;
    reader.skipTo(next.end);
    first_ = (first_ + 1) % kDistance;
    --count_;
    return true;
  }

  // Reads ahead until kDistance lines are, naming each key to the store.
  void readAhead(const LineReader& reader, KeyStore& store) {
    if (!active_ || count_ == kDistance) {
      return;
    }
    const std::string_view buffered = reader.buffered();
    const char* const end = buffered.data() + buffered.size();
    const char* begin = count_ == 0 ? buffered.data() : ahead_[(first_ + count_ - 1) % kDistance].end;
    while (count_ < kDistance) {
      // The line as readLine reads it while the byte after its line break is in the buffer.
      const char* const lineBreak = findEitherByte(begin, end, '\r', '\n');
      if (end - lineBreak < 2) {
        return;
      }
      const NewKeysLine line = readNewKeysLine({begin, static_cast<std::size_t>(lineBreak - begin)}, false);
      if (line.kind == NewKeysLine::Kind::Header) {
        return;
      }
      if (line.kind == NewKeysLine::Kind::Key) {
        store.prefetchKey(line.name);
      }
      const char* const next = lineBreak + (lineBreak[0] == '\r' && lineBreak[1] == '\n' ? 2 : 1);
      ahead_[(first_ + count_) % kDistance] = {line, begin, next};
      ++count_;
      begin = next;
    }
  }

 private:
  static constexpr int kKeysPerAsk = 64;
  struct Ahead {
    NewKeysLine line;
    const char* begin;
    const char* end;
  };
  bool active_ = false;
  int keysSinceAsked_ = 0;
  std::array<Ahead, kDistance> ahead_{};
  std::size_t first_ = 0;
  std::size_t count_ = 0;
};

}  // namespace

// The Comment says Playable and none of Almost, Not or Unplayable (letter case ignored), in one pass over
// the few words of a status.
bool statusSaysPlayable(std::string_view comment) {
  auto holdsAt = [comment](std::size_t at, std::string_view word) {
    return at + word.size() <= comment.size() && equalsIgnoringCase(comment.substr(at, word.size()), word);
  };
  bool playable = false;
  for (std::size_t at = 0; at < comment.size(); ++at) {
    switch (foldCase(static_cast<unsigned char>(comment[at]))) {
      case 'p':
        playable = playable || holdsAt(at, "playable");
        break;
      case 'a':
        if (holdsAt(at, "almost")) {
          return false;
        }
        break;
      case 'n':
        if (holdsAt(at, "not")) {
          return false;
        }
        break;
      case 'u':
        if (holdsAt(at, "unplayable")) {
          return false;
        }
        break;
      default:
        break;
    }
  }
  return playable;
}

constexpr std::pair<MergePolicy, std::string_view> kPolicyNames[] = {
    {MergePolicy::ReplaceAll, "replace-all"},
    {MergePolicy::KeepPlayable, "keep-playable"},
    {MergePolicy::KeepExisting, "keep-existing"},
    {MergePolicy::KeepMyEdits, "keep-my-edits"},
};

std::string policyName(MergePolicy policy) {
  for (const auto& [named, name] : kPolicyNames) {
    if (named == policy) {
      return std::string(name);
    }
  }
  return {};
}

std::string policyNameList() {
  std::string list;
  for (const auto& [policy, name] : kPolicyNames) {
    list.append(list.empty() ? "" : ", ").append(name);
  }
  return list;
}

std::optional<MergePolicy> policyNamed(std::string_view name) {
  for (const auto& [policy, named] : kPolicyNames) {
    if (named == name) {
      return policy;
    }
  }
  return std::nullopt;
}

PassResult runMergePass(LineReader& newKeys, KeyStore& output, MergePolicy policy,
                        const ProgressCallback& progress, const ChangeSink& changes,
                        ThreeWayMerge* threeWay) {
  PassResult result;
  auto fail = [&result](std::string why) {
    result.completed = false;
    result.failure = std::move(why);
    return result;
  };
  if (policy == MergePolicy::KeepMyEdits && threeWay == nullptr) {
    return fail("keeping your edits needs a base");
  }
  ProgressText progressText;
  StatusTest status;
  Lookahead lookahead;
  std::string section;
  std::string_view line;
  std::int32_t lineNumber = 0;
  while (!newKeys.atEnd()) {
    if (lineNumber == std::numeric_limits<std::int32_t>::max()) {
      return fail("the file with the new keys has too many lines");
    }
    ++lineNumber;
    NewKeysLine parsed;
    if (!lookahead.takeLine(newKeys, parsed)) {
      if (!newKeys.readLine(line)) {
        return fail("the file with the new keys could not be read");
      }
      parsed = readNewKeysLine(line, lineNumber == 1);
    }
    if (progress) {
      progress(progressText.next());
    }
    lookahead.readAhead(newKeys, output);
    if (parsed.kind == NewKeysLine::Kind::Header) {
      section = parsed.name;
      lookahead.enterSection();
      if (threeWay != nullptr) {
        threeWay->enterSection(output, section);
      }
      continue;
    }
    if (parsed.kind != NewKeysLine::Kind::Key ||
        !shouldWrite(output, policy, section, parsed.name, parsed.value, status, threeWay)) {
      continue;
    }
    if (!output.saveKey(section, parsed.name, parsed.value)) {
      result.writeFailed = true;
      return fail("a key could not be written");
    }
    if (changes) {
      if (const std::optional<KeyChange> change = output.lastChange()) {
        changes(section, parsed.name, parsed.value, *change);
      }
    }
    if (result.changeCount == std::numeric_limits<std::int32_t>::max()) {
      return fail("too many lines changed to count");
    }
    ++result.changeCount;
    lookahead.keyWritten(output, section);
  }
  if (newKeys.failed()) {
    return fail("the file with the new keys could not be read");
  }
  return result;
}

}  // namespace ombrix
