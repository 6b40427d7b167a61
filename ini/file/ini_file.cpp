#include "ini/file/ini_file.h"

#include <optional>

#include "ini/file/retry_counter.h"
#include "ini/text/ini_text.h"

namespace ombrix {
namespace {

// The file's text as the text functions take it, read with the retries every call makes.
std::optional<std::string> loadText(const std::filesystem::path& filename, FileAccess& files,
                                    RetryCounter& retries) {
  std::string text;
  if (!retries.run([&] { return files.readAll(filename, text); })) {
    return std::nullopt;
  }
  normaliseLoadedText(text);
  return text;
}

}  // namespace

std::string GetKey(const std::filesystem::path& filename, std::string_view section, std::string_view KeyName,
                   std::string_view DefaultValue, FileAccess& files) {
  if (section.empty() || KeyName.empty()) {
    return {};
  }
  RetryCounter retries;
  const std::optional<std::string> text = loadText(filename, files, retries);
  if (!text) {
    return {};
  }
  std::string value = readKeyInText(*text, section, KeyName);
  return value.empty() ? std::string(DefaultValue) : value;
}

bool HasSection(const std::filesystem::path& filename, std::string_view section, FileAccess& files) {
  if (section.empty()) {
    return false;
  }
  RetryCounter retries;
  const std::optional<std::string> text = loadText(filename, files, retries);
  return text && findSectionBlock(*text, section).has_value();
}

bool SaveKey(const std::filesystem::path& filename, std::string_view section, std::string_view KeyName,
             std::string_view StrValue, FileAccess& files) {
  if (section.empty() || KeyName.empty()) {
    return true;
  }
  RetryCounter retries;
  std::optional<std::string> text = loadText(filename, files, retries);
  if (!text) {
    return false;
  }
  saveKeyInText(*text, section, KeyName, StrValue);
  return retries.run([&] { return files.replaceContents(filename, *text); });
}

}  // namespace ombrix
