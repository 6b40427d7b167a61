#include "cli/windows_console.h"

#include <windows.h>

#include <algorithm>
#include <streambuf>
#include <string>

#include "ini/text/utf.h"

namespace ombrix {
namespace {

HANDLE handleOf(StandardStream stream) {
  return GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool isConsole(HANDLE handle, DWORD& mode) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// Collects the bytes until a flush, so that a character is never cut in two, and writes them as UTF-16.
class ConsoleBuffer final : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}
  ~ConsoleBuffer() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      pending_ += traits_type::to_char_type(c);
    }
    return traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    return count;
  }

  int sync() override {
    const std::u16string text = mixedTextToUtf16(pending_);
    pending_.clear();
    for (std::size_t done = 0; done < text.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 16384));
      DWORD written = 0;
      if (WriteConsoleW(console_, text.data() + done, chunk, &written, nullptr) == 0 || written == 0) {
        return -1;
      }
      done += written;
    }
    return 0;
  }

 private:
  HANDLE console_;
  std::string pending_;
};

class ConsoleStream final : public std::ostream {
 public:
  explicit ConsoleStream(HANDLE console) : std::ostream(nullptr), buffer_(console) { rdbuf(&buffer_); }
  ~ConsoleStream() override { flush(); }

 private:
  ConsoleBuffer buffer_;
};

}  // namespace

std::unique_ptr<std::ostream> openConsoleStream(StandardStream stream) {
  const HANDLE handle = handleOf(stream);
  DWORD mode = 0;
  if (!isConsole(handle, mode)) {
    return nullptr;
  }
  return std::make_unique<ConsoleStream>(handle);
}

bool enableTerminalSequences(StandardStream stream) {
  const HANDLE handle = handleOf(stream);
  DWORD mode = 0;
  return isConsole(handle, mode) &&
         ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
          SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0);
}

}  // namespace ombrix
