#pragma once

// Runs ombrix-merge in the test's process with its output captured.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace ombrix::test {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline CliRun run(const std::vector<std::string>& args, CliTerminal terminal = {}) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = runCli(args, out, err, terminal);
  return {status, out.str(), err.str()};
}

}  // namespace ombrix::test
