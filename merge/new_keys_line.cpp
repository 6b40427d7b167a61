#include "merge/new_keys_line.h"

#include "ini/text/encoding.h"

namespace ombrix {

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

}  // namespace ombrix
