#pragma once

// What a merge asks of a path before it reads or writes: whether it names a file with content, which file
// it is, whether the running user may write it, and what its first bytes say about its encoding.

#include <cstdint>
#include <filesystem>
#include <optional>

#include "ini/text/encoding.h"

namespace ombrix {

// True when path names a regular file whose length can be read and is greater than 0.
bool fileHasContent(const std::filesystem::path& path);

enum class FileProblem { Missing, Folder, NotAFile, Empty, Unreadable };
// Why a path names no file with content, or nothing when it names one.
std::optional<FileProblem> problemWith(const std::filesystem::path& path);

// True when both paths name one existing file, whatever their spelling (links, hard links, letter case
// where the file system ignores it).
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// A file's identity, for what is kept about it by name (its lock, its base): the full path with the links
// of its existing part resolved, letter case folded on Windows, where names that differ in case name one
// file. identityHash is a hash of it, the same on every run and every machine.
std::filesystem::path identityOf(const std::filesystem::path& file);
std::uint64_t identityHash(const std::filesystem::path& file);

// The file that a write to path replaces: a symbolic link is written through to where it leads.
std::filesystem::path writtenFile(const std::filesystem::path& path);

// Whether the running user may change the file, and make new files in the folder.
bool mayWrite(const std::filesystem::path& file);
bool mayCreateIn(const std::filesystem::path& folder);

// How the file's lines end, read until its first CR LF; and whether it starts as a UTF-16 text.
LineEnds lineEndsOf(const std::filesystem::path& file);
bool startsAsUtf16(const std::filesystem::path& file);

}  // namespace ombrix
