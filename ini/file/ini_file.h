#pragma once

// Reading and writing one key of an INI file on disk. Every call loads the whole file and works on the
// text model of ini_text.h; a write puts the whole text back before it returns. Nothing is cached between
// calls, so each call sees the file as the last write left it.
//
// A failing file step is retried at once; the 101st failure in one call ends it: GetKey then returns the
// empty string (not DefaultValue), and SaveKey leaves the file as it was and returns false. A missing file
// counts as a file that cannot be read.

#include <filesystem>
#include <string>
#include <string_view>

#include "ini/file/file_access.h"

namespace ombrix {

// The value of KeyName in section, or DefaultValue when it is missing or empty. The empty string, without
// opening the file, when section or KeyName is empty.
std::string GetKey(const std::filesystem::path& filename, std::string_view section, std::string_view KeyName,
                   std::string_view DefaultValue, FileAccess& files = diskFileAccess());

// Sets KeyName in section to StrValue, or deletes it when StrValue is empty, and writes the tidied text
// back. Does nothing, without opening the file, when section or KeyName is empty. False when it gave up.
bool SaveKey(const std::filesystem::path& filename, std::string_view section, std::string_view KeyName,
             std::string_view StrValue, FileAccess& files = diskFileAccess());

// Whether the file holds a header of section, found as GetKey finds it. False, without opening the file,
// when section is empty, and when the file cannot be read.
bool HasSection(const std::filesystem::path& filename, std::string_view section,
                FileAccess& files = diskFileAccess());

}  // namespace ombrix
