#include "merge/merge_pass.h"

#include <limits>
#include <optional>

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
// store's waits for memory overlap. It reads ahead only in the bytes the reader holds, and only up to the
// section's end; every line it reads is read again by the pass, so it runs only where the store asks.
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
      linesAhead_ = 0;
    }
  }

  // After the pass read a line: keeps the next kDistance lines of the section named.
  void lineRead(const LineReader& reader, KeyStore& store) {
    if (!active_) {
      return;
    }
    const std::string_view buffered = reader.buffered();
    const char* const end = buffered.data() + buffered.size();
    if (linesAhead_ == 0 || end != end_) {  // caught up, or the reader's buffer was filled anew
      next_ = buffered.data();
      end_ = end;
      linesAhead_ = 0;
    } else {
      --linesAhead_;
    }
    while (linesAhead_ < kDistance) {
      const char* const lineBreak = findEitherByte(next_, end, '\r', '\n');
      if (end - lineBreak < 2) {
        return;
      }
      const NewKeysLine line = readNewKeysLine({next_, static_cast<std::size_t>(lineBreak - next_)}, false);
      if (line.kind == NewKeysLine::Kind::Header) {
        return;
      }
      if (line.kind == NewKeysLine::Kind::Key) {
        store.prefetchKey(line.name);
      }
      next_ = lineBreak + (lineBreak[0] == '\r' && lineBreak[1] == '\n' ? 2 : 1);
      ++linesAhead_;
    }
  }

 private:
  static constexpr int kKeysPerAsk = 64;
  bool active_ = false;
  int keysSinceAsked_ = 0;
  const char* next_ = nullptr;
  const char* end_ = nullptr;
  std::size_t linesAhead_ = 0;
};

}  // namespace

// Plain loops: the library's find_first_not_of costs a call per character looked at, and this runs three
// times for every line of the new keys.
std::string_view trimSpaces(std::string_view text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  while (begin != end && *begin == ' ') {
    ++begin;
  }
  while (end != begin && end[-1] == ' ') {
    --end;
  }
  return {begin, static_cast<std::size_t>(end - begin)};
}

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

NewKeysLine readNewKeysLine(std::string_view line, bool firstLine) {
  if (firstLine && line.starts_with(kUtf8ByteOrderMark)) {
    line.remove_prefix(kUtf8ByteOrderMark.size());
  }
  const std::string_view trimmed = trimSpaces(line);
  if (trimmed.empty() || trimmed.starts_with("//")) {
    return {};
  }
  if (trimmed.starts_with('[') && trimmed.ends_with(']')) {
    return {NewKeysLine::Kind::Header, trimmed.substr(1, trimmed.size() - 2), {}};
  }
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) {
    return {};
  }
  return {NewKeysLine::Kind::Key, trimSpaces(trimmed.substr(0, equals)),
          trimSpaces(trimmed.substr(equals + 1))};
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
    if (!newKeys.readLine(line)) {
      return fail("the file with the new keys could not be read");
    }
    if (progress) {
      progress(progressText.next());
    }
    lookahead.lineRead(newKeys, output);
    const NewKeysLine parsed = readNewKeysLine(line, lineNumber == 1);
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
