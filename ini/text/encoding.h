#pragma once

// What the bytes of a list say about its encoding, as far as the text model cares: the byte-order marks
// that start UTF-8 and UTF-16 texts, and how its lines end (the model sees lines only where CR LF stands).

#include <string_view>

namespace ombrix {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// True when the bytes start with a UTF-16 byte-order mark, either way round.
inline bool startsWithUtf16ByteOrderMark(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

enum class LineEnds { CrLf, OnlyLf, OnlyCr, None };

// Looks at a text piece by piece; a CR LF that two pieces split still counts.
class LineEndScan {
 public:
  // False once a CR LF was seen: nothing later changes the answer.
  bool add(std::string_view piece);
  LineEnds result() const;

 private:
  char previous_ = '\0';
  bool crLf_ = false;
  bool lineFeed_ = false;
  bool carriageReturn_ = false;
};

LineEnds lineEndsIn(std::string_view bytes);

}  // namespace ombrix
