#pragma once

// Reads the new-keys file one line at a time. A line ends at CR LF, at a lone CR or at a lone LF; the line
// break is not part of the line, and a last line without a line break is still a line.

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "ini/text/byte_search.h"

namespace ombrix {

class LineReader {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  // bufferSize: how much is read at once; tests make it small so that lines cross its borders.
  explicit LineReader(std::istream& in, std::size_t bufferSize = kBufferSize);
  // Reads the lines of a text held in memory, which must outlive the reader: every line is handed out where
  // it stands in the text, and stays valid as long as the text.
  explicit LineReader(std::string_view text);

  // True when no byte is left to read (also after a read error).
  bool atEnd() { return position_ == size_ && !fill(); }

  // Reads the next line; line stays valid until the next call. False when reading failed; the line is then
  // incomplete. Inline: most lines lie whole in the buffer, with the byte after their line break, and are
  // handed out where they stand at the cost of one search.
  bool readLine(std::string_view& line) {
    if (position_ < size_) {
      const char* const begin = data_ + position_;
      const char* const end = data_ + size_;
      const char* const lineBreak = findEitherByte(begin, end, '\r', '\n');
      if (end - lineBreak >= 2) {
        line = std::string_view(begin, static_cast<std::size_t>(lineBreak - begin));
        const bool crLf = lineBreak[0] == '\r' && lineBreak[1] == '\n';
        position_ = static_cast<std::size_t>(lineBreak - data_) + (crLf ? 2 : 1);
        return true;
      }
    }
    return readLineAcrossFills(line);
  }

  bool failed() const { return failed_; }
  // The bytes after the last line read that are in memory already (the rest of a text in memory).
  std::string_view buffered() const { return {data_ + position_, size_ - position_}; }
  // Goes on at next, inside buffered(), past lines that the caller read there itself.
  void skipTo(const char* next) { position_ = static_cast<std::size_t>(next - data_); }

 private:
  bool fill();
  bool readLineAcrossFills(std::string_view& line);
  bool readLastLineOfText(std::string_view& line);
  bool skipLineFeedAfterCarriageReturn();

  std::istream* in_ = nullptr;  // none for a text in memory
  std::vector<char> buffer_;
  const char* data_ = nullptr;  // the buffer, or the text in memory
  std::string carry_;
  std::size_t position_ = 0;
  std::size_t size_ = 0;
  bool failed_ = false;
};

}  // namespace ombrix
