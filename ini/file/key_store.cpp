#include "ini/file/key_store.h"

#include <utility>

#include "ini/document/ini_document.h"
#include "ini/file/ini_file.h"
#include "ini/file/retry_counter.h"
#include "ini/text/ini_text.h"

namespace ombrix {

WholeFileKeyStore::WholeFileKeyStore(std::filesystem::path file, FileAccess& files)
    : file_(std::move(file)), files_(files) {}

std::string_view WholeFileKeyStore::readKey(std::string_view section, std::string_view key) {
  lastValue_ = GetKey(file_, section, key, "", files_);
  return lastValue_;
}

bool WholeFileKeyStore::hasSection(std::string_view section) {
  return HasSection(file_, section, files_);
}

bool WholeFileKeyStore::saveKey(std::string_view section, std::string_view key, std::string_view value) {
  return SaveKey(file_, section, key, value, files_);
}

MemoryKeyStore::MemoryKeyStore(std::filesystem::path file, FileAccess& files)
    : source_(file), target_(std::move(file)), files_(files) {}

MemoryKeyStore::MemoryKeyStore(std::filesystem::path source, std::filesystem::path target, FileAccess& files)
    : source_(std::move(source)), target_(std::move(target)), files_(files) {}

MemoryKeyStore::~MemoryKeyStore() = default;

bool MemoryKeyStore::load() {
  TextBlock bytes;
  RetryCounter retries;
  if (!retries.run([&] { return files_.readAllIntoBlock(source_, bytes, kCrLf.size()); })) {
    return false;
  }
  document_ = std::make_unique<IniDocument>(std::move(bytes));
  document_->trackChanges(trackChanges_);
  return true;
}

std::string_view MemoryKeyStore::readKey(std::string_view section, std::string_view key) {
  return document_ ? document_->readKey(section, key) : std::string_view();
}

bool MemoryKeyStore::hasSection(std::string_view section) {
  return document_ && document_->hasSection(section);
}

bool MemoryKeyStore::startLookahead(std::string_view section) {
  return document_ && document_->startLookahead(section);
}

void MemoryKeyStore::prefetchKey(std::string_view key) {
  document_->prefetchKey(key);
}

bool MemoryKeyStore::saveKey(std::string_view section, std::string_view key, std::string_view value) {
  if (document_) {
    document_->saveKey(section, key, value);
    changed_ = changed_ || (!section.empty() && !key.empty());
  }
  return true;
}

std::optional<KeyChange> MemoryKeyStore::lastChange() const {
  if (!trackChanges_) {
    return std::nullopt;
  }
  return document_ ? document_->lastChange() : KeyChange{};
}

// A file whose every key save was ignored is left as it was, as the reference store leaves it; another
// target still receives its copy.
bool MemoryKeyStore::finish() {
  if (!document_) {
    return true;
  }
  RetryCounter retries;
  bool written = true;
  if (changed_) {
    written = retries.run([&] {
      return files_.replaceContentsLike(
          target_, [this](const FileAccess::PieceSink& emit) { document_->writeTo(emit); }, source_);
    });
  } else if (target_ != source_) {
    written = retries.run([&] { return files_.copyFile(source_, target_); });
  }
  changed_ = changed_ && !written;
  return written;
}

}  // namespace ombrix
