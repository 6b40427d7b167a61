#pragma once

// The merge pass: reads the new-keys file line by line, follows the section each line belongs to, and
// hands every key line to the output store unless the merge policy says the output already has what it
// should keep. It counts the key writes, not the effective changes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "ini/file_access.h"
#include "merge/line_reader.h"

namespace ombrix {

enum class MergePolicy {
  ReplaceAll,    // every key gets the new value
  KeepPlayable,  // games whose Comment says they are playable are left alone
  KeepExisting,  // only keys that are missing or empty in the output are written
};

// Where the pass reads and writes the output's keys.
class KeyStore {
 public:
  virtual ~KeyStore() = default;
  // The key's value, or the empty string when it is missing or empty.
  virtual std::string readKey(std::string_view section, std::string_view key) = 0;
  // Sets the key, or deletes it when value is empty.
  virtual void saveKey(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// The reference store: every read and write goes through GetKey/SaveKey on the file, so every key write
// is on disk before the next line is handled.
class WholeFileKeyStore final : public KeyStore {
 public:
  explicit WholeFileKeyStore(std::filesystem::path file, FileAccess& files = diskFileAccess());
  std::string readKey(std::string_view section, std::string_view key) override;
  void saveKey(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  std::filesystem::path file_;
  FileAccess& files_;
};

// Receives "Processing line N" before each line is handled.
using ProgressCallback = std::function<void(std::string_view text)>;

struct PassResult {
  std::int32_t changeCount = 0;
  bool completed = true;  // false when the pass ended early on a failure
  std::string failure;    // what ended it early
};

PassResult runMergePass(LineReader& newKeys, KeyStore& output, MergePolicy policy,
                        const ProgressCallback& progress);

// Removes leading and trailing spaces (code 32) only; tabs and other white space stay.
std::string_view trimSpaces(std::string_view text);

// Whether KeepPlayable leaves a section with this Comment alone.
bool statusSaysPlayable(std::string_view comment);

}  // namespace ombrix
