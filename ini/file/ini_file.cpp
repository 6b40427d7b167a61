#include "ini/file/ini_file.h"

#include "ini/file/retry_counter.h"
#include "ini/text/ini_text.h"

namespace ombrix {

std::string GetKey(const std::filesystem::path& filename, std::string_view section, std::string_view KeyName,
                   std::string_view DefaultValue, FileAccess& files) {
  if (section.empty() || KeyName.empty()) {
    return {};
  }
  RetryCounter retries;
  std::string text;
  if (!retries.run([&] { return files.readAll(filename, text); })) {
    return {};
  }
  normaliseLoadedText(text);
  std::string value = readKeyInText(text, section, KeyName);
  return value.empty() ? std::string(DefaultValue) : value;
}

bool HasSection(const std::filesystem::path& filename, std::string_view section, FileAccess& files) {
  if (section.empty()) {
    return false;
  }
  RetryCounter retries;
  std::string text;
  if (!retries.run([&] { return files.readAll(filename, text); })) {
    return false;
  }
  normaliseLoadedText(text);
  return findSectionBlock(text, section).has_value();
}

bool SaveKey(const std::filesystem::path& filename, std::string_view section, std::string_view KeyName,
             std::string_view StrValue, FileAccess& files) {
  if (section.empty() || KeyName.empty()) {
    return true;
  }
  RetryCounter retries;
  std::string text;
  if (!retries.run([&] { return files.readAll(filename, text); })) {
    return false;
  }
  normaliseLoadedText(text);
  saveKeyInText(text, section, KeyName, StrValue);
  return retries.run([&] { return files.replaceContents(filename, text); });
}

}  // namespace ombrix
