#include "ini/text/encoding.h"

namespace ombrix {

bool LineEndScan::add(std::string_view piece) {
  for (const char c : piece) {
    if (c == '\n') {
      if (previous_ == '\r') {
        crLf_ = true;
        return false;
      }
      lineFeed_ = true;
    }
    carriageReturn_ = carriageReturn_ || c == '\r';
    previous_ = c;
  }
  return true;
}

LineEnds LineEndScan::result() const {
  return crLf_             ? LineEnds::CrLf
         : lineFeed_       ? LineEnds::OnlyLf
         : carriageReturn_ ? LineEnds::OnlyCr
                           : LineEnds::None;
}

LineEnds lineEndsIn(std::string_view bytes) {
  LineEndScan scan;
  scan.add(bytes);
  return scan.result();
}

}  // namespace ombrix
