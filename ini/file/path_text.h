#pragma once

// Paths to and from text in the core. On Windows a narrow string is read in the ANSI code page, which
// cannot hold every letter of a path; there the core's texts are UTF-8. Elsewhere a path is its bytes.

#include <filesystem>
#include <string>
#include <string_view>

namespace ombrix {

inline std::filesystem::path pathFromText(std::string_view text) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
  return std::filesystem::path(std::string(text));
#endif
}

inline std::string textOfPath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

// A path as messages show it: in single quotes, as UTF-8.
inline std::string quotedPath(const std::filesystem::path& path) {
  return "'" + textOfPath(path) + "'";
}

}  // namespace ombrix
