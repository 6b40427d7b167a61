#pragma once

// What text of a line a lookup takes for a section's header. A header text is "[" name "]" followed by a
// CR, wherever it stands in a line; every "[" before the "]" on its line starts a name it can stand for, so
// "[Game (U) [!]]" stands for "Game (U) [!]" and for "!]". A name holds no CR or LF. The document files its
// headers by this rule and --check looks for stray header texts by it.

namespace ombrix {

// Walks back from the "]" at bracket to the line break before it (or to lineStart): onName(open) for each
// "[" met, the name running from open + 1 to bracket, then onByte(c) for each byte passed, the "[" included.
// The walks of all header texts of a text together read each byte at most once, however many "[" it holds.
template <typename OnName, typename OnByte>
void forEachNameOfHeaderText(const char* lineStart, const char* bracket, OnName onName, OnByte onByte) {
  for (const char* at = bracket; at != lineStart;) {
    --at;
    if (*at == '\r' || *at == '\n') {
      return;
    }
    if (*at == '[') {
      onName(at);
    }
    onByte(*at);
  }
}

}  // namespace ombrix
