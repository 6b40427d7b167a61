#pragma once

// Standard output and standard error on Windows. A console shows UTF-16: text written to one goes through
// WriteConsoleW, so that paths and game names read right whatever the console's code page. Redirected to a
// file or a pipe, the bytes go out as they are, as on every other system.

#include <memory>
#include <ostream>

namespace ombrix {

enum class StandardStream { Output, Error };

// A stream to the console behind the standard stream, or nullptr when that stream is not a console.
std::unique_ptr<std::ostream> openConsoleStream(StandardStream stream);

// Turns on the console's handling of terminal control sequences (the progress line clears itself with one);
// false where the console has none.
bool enableTerminalSequences(StandardStream stream);

}  // namespace ombrix
