#pragma once

// Paths cross between the window's QString texts and the core's std::filesystem::path here, and nowhere
// else, so that non-ASCII paths keep every character on every platform.

#include <QString>
#include <filesystem>

namespace ombrix {

inline std::filesystem::path toPath(const QString& text) {
#ifdef _WIN32
  return std::filesystem::path(text.toStdWString());
#else
  // The file system's own 8-bit encoding, as Qt's file classes use it.
  const QByteArray bytes = text.toLocal8Bit();
  return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
#endif
}

inline QString toQString(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QString::fromLocal8Bit(path.native());
#endif
}

}  // namespace ombrix
