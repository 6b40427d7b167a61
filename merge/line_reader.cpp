#include "merge/line_reader.h"

#include "ini/byte_search.h"

namespace ombrix {

LineReader::LineReader(std::istream& in) : in_(in), buffer_(kBufferSize) {}

bool LineReader::fill() {
  position_ = 0;
  size_ = 0;
  if (failed_ || !in_.good()) {
    return false;
  }
  in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  size_ = static_cast<std::size_t>(in_.gcount());
  if (in_.bad()) {
    failed_ = true;
  }
  return size_ > 0;
}

bool LineReader::atEnd() {
  return position_ == size_ && !fill();
}

bool LineReader::skipLineFeedAfterCarriageReturn() {
  if (position_ == size_ && !fill()) {
    return !failed_;
  }
  if (buffer_[position_] == '\n') {
    ++position_;
  }
  return true;
}

bool LineReader::readLine(std::string& line) {
  line.clear();
  while (position_ < size_ || fill()) {
    const char* const begin = buffer_.data() + position_;
    const char* const end = buffer_.data() + size_;
    const char* const lineBreak = findEitherByte(begin, end, '\r', '\n');
    line.append(begin, lineBreak);
    position_ = static_cast<std::size_t>(lineBreak - buffer_.data());
    if (lineBreak != end) {
      ++position_;
      return *lineBreak == '\n' || skipLineFeedAfterCarriageReturn();
    }
  }
  return !failed_;
}

}  // namespace ombrix
