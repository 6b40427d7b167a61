#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

// The terminal test is the one call here that differs between Windows and POSIX.
#ifdef _WIN32
#include <io.h>
static bool standardErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}
#else
#include <unistd.h>
static bool standardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  ombrix::CliTerminal terminal;
  terminal.errorIsTerminal = standardErrorIsTerminal();
  return ombrix::runCli(args, std::cout, std::cerr, terminal);
}
