#pragma once

// The words of every message a merge ends with, made from its report, so that both windows and the command
// line say the same thing. Paths appear quoted, as UTF-8.

#include <cstdint>
#include <string>
#include <vector>

#include "merge/merge_command.h"

namespace ombrix {

// "12 lines changed.": said by every merge that got as far as writing, failed ones included.
std::string changeCountMessage(std::int32_t changeCount);

// "The file with the new keys 'x.ini' does not exist." (index 0: "The file 'x.ini' ...")
std::string unusableFileMessage(const UnusableFile& file);

// "Both files are the same." and the other refusals, naming the file or folder where one is named.
std::string refusalMessage(const MergeReport& report);

// What stopped a failed merge and what it left on disk, in one or two sentences.
std::string failureMessage(const MergeReport& report);

// Who reads what a merge says: the command line names its options, the window its controls.
enum class Audience { CommandLine, Window };

struct ResultPart {
  enum class Kind {
    Base,         // keeping the user's edits: which base was used
    Backup,       // "Backup written to 'Mine.bak'."
    Count,        // "12 lines changed."
    Conflicts,    // keeping the user's edits: "2 conflicts: your values kept." or "No conflicts."
    Failure,      // what stopped a failed merge and what it left on disk
    BaseNotKept,  // a complete merge whose base could not be kept for the next one
  };
  Kind kind;
  std::string text;
};

// What a merge that got as far as writing says, each part tagged, in the order the command line prints
// them; each front end picks and orders what it shows.
std::vector<ResultPart> resultParts(const MergeReport& report, Audience audience);

}  // namespace ombrix
