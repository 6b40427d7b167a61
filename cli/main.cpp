#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

// The terminal test and the form of the arguments are what differ between Windows and POSIX.
#ifdef _WIN32
#include <filesystem>

#include "cli/windows_console.h"

// Windows passes the arguments as UTF-16; the ANSI ones of main() would lose letters outside the code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::u8string text = std::filesystem::path(argv[i]).u8string();
    args.emplace_back(text.begin(), text.end());
  }
  // On a console the progress line is drawn where the console can clear it again.
  const auto out = ombrix::openConsoleStream(ombrix::StandardStream::Output);
  const auto err = ombrix::openConsoleStream(ombrix::StandardStream::Error);
  ombrix::CliTerminal terminal;
  terminal.errorIsTerminal = err && ombrix::enableTerminalSequences(ombrix::StandardStream::Error);
  return ombrix::runCli(args, out ? *out : std::cout, err ? *err : std::cerr, terminal);
}
#else
#include <unistd.h>

static bool standardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  ombrix::CliTerminal terminal;
  terminal.errorIsTerminal = standardErrorIsTerminal();
  return ombrix::runCli(args, std::cout, std::cerr, terminal);
}
#endif
