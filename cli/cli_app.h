#pragma once

// ombrix-merge: the merge command run from the command line. The logic lives here, apart from main(), so
// that tests can run it with its output captured.

#include <iosfwd>
#include <string>
#include <vector>

namespace ombrix {

// The project's version, set once in CMakeLists.txt.
inline constexpr char kVersion[] = OMBRIX_VERSION;

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// A keep-my-edits merge under --fail-on-conflict that met a conflict; the merge itself is complete.
inline constexpr int kExitConflict = 3;

struct CliTerminal {
  // Whether standard error is a terminal, so the progress line can be redrawn in place.
  bool errorIsTerminal = false;
};

// Runs ombrix-merge with args (without the program name) and returns the exit status. On Windows the
// arguments are UTF-8 (main takes them as UTF-16); elsewhere they are the bytes the system passed.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           CliTerminal terminal = {});

}  // namespace ombrix
