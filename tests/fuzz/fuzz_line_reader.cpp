// The line reader against a plain splitter, with a small read buffer of random size so that line breaks
// fall on every kind of buffer border.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "merge/line_reader.h"

namespace {

// Lines end at CR LF, at a lone CR or at a lone LF; a last line without a break still counts.
std::vector<std::string> splitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        ++i;
      }
    } else {
      line += bytes[i];
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::size_t bufferSize = data.ConsumeIntegralInRange<std::size_t>(1, 64);
  const std::string text = data.ConsumeRemainingBytesAsString();
  std::istringstream in(text);
  ombrix::LineReader reader(in, bufferSize);
  std::vector<std::string> lines;
  std::string_view line;
  while (!reader.atEnd()) {
    if (!reader.readLine(line)) {
      std::abort();
    }
    lines.emplace_back(line);
  }
  if (lines != splitLines(text)) {
    std::abort();
  }
  return 0;
}
