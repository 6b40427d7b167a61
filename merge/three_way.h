#pragma once

// Keeping the user's own edits: a merge against the base, the newer list as it was when the user's file
// last took its keys. For each key line of the new keys, with B the base's value, M the user's value read
// through the store at that moment and N the new value (each empty when missing):
//   M == B, N != M   the user did not touch the key: N is written
//   M == B == N      nothing to do
//   M != B, N == B or N == M
//                    the user's change stands: nothing is written
//   all three differ a conflict: M stays (or N is written when the newer values are preferred)
// A game whose section the base has and the user's file lacks was deleted by the user and stays deleted.
// A value the pass writes becomes the key's base for the rest of the pass: where the new keys set a key
// twice, the second line is weighed against what the first one wrote, as a merged list would weigh them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "ini/memory/name_index.h"
#include "ini/memory/text_arena.h"
#include "ini/file/key_store.h"

namespace ombrix {

enum class ThreeWayChoice { Write, Keep, Conflict };

ThreeWayChoice decide(std::string_view base, std::string_view mine, std::string_view newer);

// The base, read by the rules of a new-keys file: the value of every key it sets, by section and key with
// letter case folded; where a key is set twice the later line wins. It holds views into the base's bytes,
// which must outlive it, and remembers which of its sections and keys the new keys still set.
//
// The keys of a section lie together, in the order of the base's lines: a lookup reads the few keys of its
// section from the last one back, so that a later line wins, and a section of many keys gets an index of
// its own the first time it is read. Keys the pass adds (a new game, a key the base lacks) are filed apart.
class BaseList {
 public:
  explicit BaseList(std::string_view text);
  explicit BaseList(std::string&& text) = delete;  // the list would outlive its text

  struct SectionRef {
    std::optional<std::uint32_t> number;  // none until the base or a write of the pass has the section
    bool inBase = false;                  // the base itself has it
  };
  // The section of that name, marked as one the new keys still have.
  SectionRef enterSection(std::string_view section);
  // The key's base value (empty when there is none), marked as one the new keys still set.
  std::string_view valueOf(const SectionRef& section, std::string_view key);
  // The pass wrote value: it is the key's base from now on.
  void took(SectionRef& section, std::string_view name, std::string_view key, std::string_view value);

  struct Dropped {
    std::string_view section;
    std::string_view key;  // empty for a whole section
    std::string_view value;
  };
  // What the base set and the new keys no longer do: whole sections, and keys of sections still there.
  std::vector<Dropped> dropped();

 private:
  // A section of more keys than this is read through an index of its own.
  static constexpr std::uint32_t kKeysReadInTurn = 16;

  struct Section {
    std::string_view name;
    std::uint64_t hash = 0;
    std::uint32_t firstKey = 0;  // its keys are keys_[firstKey, firstKey + keyCount)
    std::uint32_t keyCount = 0;
    std::int32_t ownIndex = -1;  // its index in keyIndexes_, once it has one
    bool seen = false;
    bool inBase = true;
  };
  struct Key {
    std::string_view key;
    std::string_view value;
    std::uint32_t section = 0;
    bool seen = false;
  };

  void parse(std::string_view text);
  void groupKeysBySection();
  std::uint32_t sectionNumber(std::string_view name, bool inBase = true);
  std::optional<std::uint32_t> findSection(std::string_view name, std::uint64_t hash) const;
  // The number in keys_ of the key's last line in a section of the base, or in added_ of a key the pass
  // added.
  std::optional<std::uint32_t> findBaseKey(std::uint32_t section, std::string_view key);
  std::optional<std::uint32_t> findAddedKey(std::uint32_t section, std::string_view key) const;
  std::uint64_t addedKeyHash(std::uint32_t section, std::string_view key) const;
  std::string_view kept(std::string_view text);

  // In large blocks: a base of fifty thousand games is read in a few page faults instead of thousands.
  std::vector<Section, BlockAllocator<Section>> sections_;
  NameIndex sectionIndex_;  // section numbers by the hash of the folded name
  std::uint32_t lastEntered_ = 0;
  std::vector<Key, BlockAllocator<Key>> keys_;  // grouped by section
  std::vector<NameIndex> keyIndexes_;  // of the sections of many keys: positions by the hash of the key
  std::vector<Key> added_;               // keys the pass wrote that the base has not
  NameIndex addedIndex_;               // their numbers by the hash of the folded section and key
  TextArena written_;                    // the texts of what the pass wrote
};

// A key that both the user and the newer list changed, each in another way.
struct Conflict {
  std::string section;
  std::string key;
  std::string base;
  std::string mine;
  std::string newer;
};

// The decisions of one merge pass, and what it found on the way.
class ThreeWayMerge {
 public:
  ThreeWayMerge(BaseList& base, bool preferNew) : base_(base), preferNew_(preferNew) {}

  // The pass came to a section's header line in the new keys.
  void enterSection(KeyStore& output, std::string_view section);
  // Whether the key line is written.
  bool shouldWrite(KeyStore& output, std::string_view section, std::string_view key, std::string_view value);

  std::vector<Conflict>& conflicts() { return conflicts_; }
  std::vector<std::string>& deletedGames() { return deletedGames_; }

 private:
  BaseList& base_;
  bool preferNew_;
  BaseList::SectionRef baseSection_;  // of the section the pass is in
  bool deletedByUser_ = false;
  bool started_ = false;  // keys before the first header belong to the section without a name
  std::unordered_set<std::uint32_t> reportedDeleted_;  // base sections already in deletedGames_
  std::vector<Conflict> conflicts_;
  std::vector<std::string> deletedGames_;
};

}  // namespace ombrix
