#pragma once

// The words of every message a merge ends with, made from its report, so that both windows and the command
// line say the same thing. Paths appear quoted, as UTF-8.

#include <cstdint>
#include <string>

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

// "Backup written to 'Mine.bak'."
std::string backupMessage(const std::filesystem::path& backup);

// Keeping the user's edits: which base was used, and "2 conflicts: your values kept." or "No conflicts."
std::string baseMessage(const MergeReport& report);
std::string conflictsMessage(const MergeReport& report);

// A merge whose base could not be kept for the next one.
std::string baseNotKeptMessage(const MergeReport& report);

}  // namespace ombrix
