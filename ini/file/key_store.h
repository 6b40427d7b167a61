#pragma once

// Where the merge pass reads and writes the keys of its output file.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ini/document/key_change.h"
#include "ini/file/file_access.h"

namespace ombrix {

class IniDocument;

class KeyStore {
 public:
  virtual ~KeyStore() = default;
  // The key's value, or the empty string when it is missing or empty; valid until the next call on the store.
  virtual std::string_view readKey(std::string_view section, std::string_view key) = 0;
  // Whether the file holds the section's header (false for an empty section).
  virtual bool hasSection(std::string_view section) = 0;
  // Sets the key, or deletes it when value is empty. False when the write failed (a store that writes each
  // key through); the file is then as it was before it.
  virtual bool saveKey(std::string_view section, std::string_view key, std::string_view value) = 0;
  // Puts what is still held in memory on disk. False when that failed; the file is then as it was.
  virtual bool finish() { return true; }
  // What the last saveKey changed, when the store can tell; valid until the next call on the store.
  virtual std::optional<KeyChange> lastChange() const { return std::nullopt; }
  // Hints, on which no result depends. In a section whose keys the store finds through an index of their
  // own, most of the time goes on waiting for memory: startLookahead says whether the store wants to know
  // the section's next keys ahead, and prefetchKey names them, in order, a few lines before they come.
  virtual bool startLookahead(std::string_view /*section*/) { return false; }
  virtual void prefetchKey(std::string_view /*key*/) {}
};

// The reference store: every read and write goes through GetKey/SaveKey on the file, so every key write
// is on disk before the next line is handled. Slow (each call reads and rewrites the whole file), exact.
class WholeFileKeyStore final : public KeyStore {
 public:
  explicit WholeFileKeyStore(std::filesystem::path file, FileAccess& files = diskFileAccess());
  std::string_view readKey(std::string_view section, std::string_view key) override;
  bool hasSection(std::string_view section) override;
  bool saveKey(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  std::filesystem::path file_;
  FileAccess& files_;
  std::string lastValue_;
};

// The fast store: reads the file once, works on it in memory, and writes it once when finished, with the
// bytes the reference store would have left. The result may go to another file than the one read: the
// target then ends up as a copy of the source with the merged keys, as if the source had been copied there
// first. Nothing is written to a target that is the source when no key was saved.
class MemoryKeyStore final : public KeyStore {
 public:
  explicit MemoryKeyStore(std::filesystem::path file, FileAccess& files = diskFileAccess());
  MemoryKeyStore(std::filesystem::path source, std::filesystem::path target,
                 FileAccess& files = diskFileAccess());
  ~MemoryKeyStore() override;

  // Reads the file, retrying as the reference does. False when it cannot be read.
  bool load();
  // Have lastChange() tell what each write changed (it costs a little time, so it is off until asked).
  void trackChanges() { trackChanges_ = true; }
  std::string_view readKey(std::string_view section, std::string_view key) override;
  bool hasSection(std::string_view section) override;
  bool saveKey(std::string_view section, std::string_view key, std::string_view value) override;
  bool finish() override;
  std::optional<KeyChange> lastChange() const override;
  bool startLookahead(std::string_view section) override;
  void prefetchKey(std::string_view key) override;

 private:
  std::filesystem::path source_;
  std::filesystem::path target_;
  FileAccess& files_;
  std::unique_ptr<IniDocument> document_;
  bool changed_ = false;
  bool trackChanges_ = false;
};

}  // namespace ombrix
