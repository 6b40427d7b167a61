#include "merge/line_reader.h"

#include <algorithm>

#include "ini/text/byte_search.h"

namespace ombrix {

LineReader::LineReader(std::istream& in, std::size_t bufferSize)
    : in_(&in), buffer_(std::max<std::size_t>(bufferSize, 1)), data_(buffer_.data()) {}

LineReader::LineReader(std::string_view text) : data_(text.data()), size_(text.size()) {}

bool LineReader::fill() {
  if (in_ == nullptr) {
    return false;
  }
  position_ = 0;
  size_ = 0;
  if (failed_ || !in_->good()) {
    return false;
  }
  in_->read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  size_ = static_cast<std::size_t>(in_->gcount());
  if (in_->bad()) {
    failed_ = true;
  }
  return size_ > 0;
}

bool LineReader::skipLineFeedAfterCarriageReturn() {
  if (position_ == size_ && !fill()) {
    return !failed_;
  }
  if (data_[position_] == '\n') {
    ++position_;
  }
  return true;
}

// A line that runs past the end of the buffer, or whose CR is its last byte (the LF may follow in the next
// fill), is gathered in carry_ first, because the next fill overwrites the buffer.
bool LineReader::readLineAcrossFills(std::string_view& line) {
  if (in_ == nullptr) {
    return readLastLineOfText(line);
  }
  carry_.clear();
  bool carried = false;
  while (position_ < size_ || fill()) {
    const char* const begin = buffer_.data() + position_;
    const char* const end = buffer_.data() + size_;
    const char* const lineBreak = findEitherByte(begin, end, '\r', '\n');
    if (lineBreak == end) {
      carry_.append(begin, end);
      carried = true;
      position_ = size_;
      continue;
    }
    position_ = static_cast<std::size_t>(lineBreak - buffer_.data()) + 1;
    if (carried || position_ == size_) {
      carry_.append(begin, lineBreak);
      line = carry_;
    } else {
      line = std::string_view(begin, static_cast<std::size_t>(lineBreak - begin));
    }
    return *lineBreak == '\n' || skipLineFeedAfterCarriageReturn();
  }
  line = carry_;
  return !failed_;
}

// The text's last line, or the line whose line break is the text's last byte: nothing follows to gather.
bool LineReader::readLastLineOfText(std::string_view& line) {
  const char* const begin = data_ + position_;
  const char* const end = data_ + size_;
  const char* const lineBreak = findEitherByte(begin, end, '\r', '\n');
  line = std::string_view(begin, static_cast<std::size_t>(lineBreak - begin));
  position_ = size_;
  return true;
}

}  // namespace ombrix
