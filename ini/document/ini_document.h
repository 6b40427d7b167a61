#pragma once

// A whole INI text held in memory for many reads and writes in a row, giving exactly the results and bytes
// that the text functions of ini_text.h give when every call loads and rewrites the text, but at a cost
// that grows with the size of the section touched, not with the size of the file.
//
// The text is kept as paragraphs: a paragraph is a run of non-empty lines followed by its empty lines (the
// first paragraph holds only the empty lines at the start of the text). A section block always lies inside
// one paragraph, every edit changes one paragraph, new sections are appended as new paragraphs, and
// paragraphs are never merged or split, so their numbers stay valid. The header texts ("[" name "]" CR,
// wherever they stand) are indexed by every name they can stand for: a line holds one name for each "["
// before its "]", so "[Game (U) [!]]" stands for "Game (U) [!]" and for "!]". The loaded ones are kept once
// per line (loaded_headers.h), the few that edits make are filed under each name. A header is found
// without searching from the start of the text, however many names share a bracket tag or "[" a line holds.
// Paragraphs are edited where the loaded bytes hold them; one that grows moves to the document's arena.
//
// A paragraph longer than kChunkBytes (a section of more than a dozen or so keys) is read as a run of chunks
// of whole lines, each a paragraph of its own that the next one continues: an edit moves the bytes of one chunk,
// not the rest of the section, and a run of many chunks keeps an index of the keys its lines begin with, so
// that a key is found without reading the section from its header.
//
// Inputs the paragraphs cannot describe (names or values holding CR or LF, runs of billions of empty lines)
// switch the document to the whole-text functions, with the same results.
//
// Reading reuses buffers of the document, so a document must not be used from two threads at once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ini/memory/name_index.h"
#include "ini/document/key_change.h"
#include "ini/document/loaded_headers.h"
#include "ini/memory/text_arena.h"
#include "ini/text/byte_search.h"

namespace ombrix {

class IniDocument {
 public:
  // bytes: the file as read; the load step's final CR LF is added here, in place when the block has room.
  // chunkBytes: the size from which a paragraph's lines go on in a new chunk; tests set it low.
  static constexpr std::size_t kChunkBytes = 512;
  explicit IniDocument(TextBlock bytes, std::size_t chunkBytes = kChunkBytes);
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  // The value, valid until the next call on the document.
  std::string_view readKey(std::string_view section, std::string_view key) const;
  // Whether the text holds a header of section, as findSectionBlock finds it; false for an empty section.
  bool hasSection(std::string_view section) const;
  // Writes as saveKeyInText does. The value by reference: a third view would go on the stack, and reading
  // it there in one piece waits for the two stores that put it there.
  void saveKey(std::string_view section, std::string_view key, const std::string_view& value);
  // What the last saveKey changed once trackChanges(true) was called; otherwise a change of kind None, and
  // the work of finding out is saved. Valid until the next saveKey.
  const KeyChange& lastChange() const;
  void trackChanges(bool track) { trackChanges_ = track; }

  // The loaded text (with the load step's CR LF) until the first saveKey, then the text as the write-back
  // after the last saveKey would have left it: as one string, or handed to emit piece by piece in order.
  std::string text() const;
  void writeTo(const std::function<void(std::string_view piece)>& emit) const;

  // Whether prefetchKey can help: section is the section found last, its keys are found through a key
  // index of their own (a large section, searched once already), and since the last call the guess that a
  // key stands on the line after the key before was wrong at least as often as right.
  bool startLookahead(std::string_view section) const;
  // Starts loading what finding key in that section will read: the slot of the key index for this key, and
  // the line of the key named kLookaheadDistance / 2 calls before, whose slot is loaded by now. A hint only.
  void prefetchKey(std::string_view key) const;
  static constexpr std::size_t kLookaheadDistance = 8;

  // False once the document has fallen back to the whole-text functions.
  bool indexed() const { return !wholeText_.has_value(); }

 private:
  // A paragraph's bytes lie in the loaded text, where it may shrink but not grow, or in the arena once an
  // edit made it longer than it was.
  struct Paragraph {
    char* data = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;  // bytes at data that belong to this paragraph
    // 32 bits keep a paragraph at 32 bytes, so that the paragraphs of 60,000 games fit in one huge page; a
    // longer run of empty lines (8 GB of them) leaves the text to the whole-text functions.
    std::uint32_t emptyLines = 0;
    // The paragraph starts with a header text whose name no earlier paragraph holds a header text of.
    bool leadsWithFirstHeader = false;
    // The paragraph is a chunk whose lines go on in the next paragraph, without an empty line between.
    bool continued = false;
    // Non-empty lines, each ending in CR LF; empty for the first paragraph.
    std::string_view content() const { return {data, size}; }
  };

  struct HeaderPlace {
    std::size_t paragraph;
    std::size_t offset;   // of the "[" in the paragraph's content
    std::size_t runLast;  // the paragraph where the section's block ends: the last chunk of its run
  };
  // Where a key's line begins.
  struct KeyLinePlace {
    std::size_t paragraph;
    std::size_t lineBegin;
  };
  // For a run of many chunks: the chunks (ascending) holding a line that begins with a name and "=", by
  // the hash of the name, letter case folded, kept as the headers are; and whether two lines of the run may
  // begin with the same name (once true, it stays true when one of them goes).
  struct RunKeys {
    NameIndex chunks;
    bool namesRepeat = false;
  };

  void parse();
  // foundLast: isFoundLast(section), which the callers need to know first.
  bool isFoundLast(std::string_view section) const;
  std::optional<HeaderPlace> findHeader(std::string_view section, bool foundLast) const {
    return foundLast ? lastHeader_ : searchHeader(section);
  }
  std::optional<HeaderPlace> searchHeader(std::string_view section) const;
  bool leadsWithHeader(std::size_t paragraph, std::string_view section) const;
  bool fitsParagraphs(std::string_view section, bool foundLast, SpecialBytes key, SpecialBytes value) const;
  std::optional<HeaderPlace> remember(std::string_view section, std::size_t paragraph,
                                      std::size_t offset) const;
  std::optional<KeyLinePlace> findKeyInBlock(const HeaderPlace& place, std::string_view key) const;
  std::optional<KeyLinePlace> keyOnNextLine(const HeaderPlace& place, const RunKeys& keys,
                                            std::string_view key) const;
  void noteLineAfter(std::size_t paragraph, std::size_t lineEnd) const;
  bool wasJustRead(const HeaderPlace& place, std::string_view key) const;
  std::optional<std::size_t> findKeyInChunk(std::size_t paragraph, const HeaderPlace& place,
                                            std::string_view key) const;
  RunKeys* keysOfRun(const HeaderPlace& place) const;
  void fileKeyName(RunKeys& keys, std::uint64_t hash, std::uint32_t paragraph, std::string_view name) const;
  void noteKeyLine(const HeaderPlace& place, std::size_t paragraph, std::string_view key, bool added);
  bool restOfRunIsEmpty(std::size_t paragraph, std::size_t runLast) const;
  void editSection(const HeaderPlace& place, std::string_view key, std::string_view value,
                   SpecialBytes keyBytes, bool newLineHasBracket);
  void saveInWholeText(std::string_view section, std::string_view key, std::string_view value);
  void appendSection(std::string_view section, std::string_view key, std::string_view value);
  // Replaces [begin, end) of the paragraph's content with the pieces, one after another.
  void replaceInParagraph(Paragraph& paragraph, std::size_t begin, std::size_t end,
                          std::initializer_list<std::string_view> with);
  void indexParagraph(std::size_t paragraph);
  void unindexParagraph(std::size_t paragraph);
  void fallBackToWholeText();
  bool isEmptyText() const { return paragraphs_.size() == 1 && paragraphs_[0].emptyLines == 0; }

  // What the document holds, and what keeps each part true:
  //
  //  - paragraphs_ in text order; together with their empty lines they are the text. A paragraph's bytes lie
  //    in loaded_ until an edit makes it longer than its room there, then in arena_. Numbers never change:
  //    paragraphs are appended (a new section), never inserted, merged or split.
  //  - runLast_[p]: the last chunk of p's run (p itself when p is not a chunk). Set by parse(), and by
  //    appendSection() for the new paragraph; an edit never changes which chunks form a run.
  //  - loadedHeaders_: the header texts ("[" ... "]" CR) of the paragraphs as read (the first
  //    loadedParagraphs_), but for those retired: the first edit that adds or removes a line holding a
  //    bracket in a chunk retires it there.
  //  - headerIndex_: for every name a header text in a retired or appended paragraph can stand for, that
  //    paragraph. Such an edit unindexes and reindexes its chunk.
  //  - runKeys_: for a run of 8 chunks or more, the chunks holding a line that begins with each key name; made on
  //    the first search of the run, kept up to date by noteKeyLine() when a line is added or removed.
  //  - lastHeader_ (with lastHeaderSection_): the place of the header found last. Reset when the headers may
  //    have changed, or when an edit in its chunk stands before it (its offset would be stale).
  //  - lastFoundParagraph_ and the leadsWithFirstHeader marks: the guess that the next section looked for
  //    leads the following paragraph. Trusted until the first edit that may add or remove a header text.
  //  - wholeText_: set once the text holds what paragraphs cannot describe; then every other part is
  //    cleared and every call goes to the whole-text functions.
  TextBlock loaded_;
  TextArena arena_;
  std::vector<Paragraph, BlockAllocator<Paragraph>> paragraphs_;
  std::size_t chunkBytes_;
  std::size_t continuedChunkBytes_;  // of the chunks after a run's first: smaller, since a key is looked for in one
  std::vector<std::uint32_t> runLast_;  // by paragraph: the last chunk of its run (itself when not chunked)
  mutable std::unordered_map<std::uint32_t, RunKeys> runKeys_;  // by the run's last chunk, once searched
  LoadedHeaders loadedHeaders_;
  std::size_t loadedParagraphs_ = 0;
  NameIndex headerIndex_;
  std::optional<std::string> wholeText_;

  // The header found last, since the keys of a section come one after another.
  mutable std::string lastHeaderSection_;
  mutable std::optional<HeaderPlace> lastHeader_;
  // A newer list names its games in the order of the user's list, so the next section looked for usually
  // leads the paragraph after the last one found. The leading-header marks stay true while no edit adds or
  // removes a header text; the first edit that may do so stops their use.
  mutable std::size_t lastFoundParagraph_ = 0;
  // Likewise the keys of a large section: where the line after the key line found or written last begins.
  mutable std::optional<KeyLinePlace> nextKeyLine_;
  // The key read last, where its section's header stands, and its line (none when the block lacks it),
  // until the next write.
  struct KeyRead {
    std::size_t paragraph;
    std::size_t offset;
    std::optional<KeyLinePlace> line;
  };
  mutable std::optional<KeyRead> lastRead_;
  mutable std::string lastReadKey_;
  // The lookahead in the section found last: its key index, and the keys named last with their hashes.
  mutable const RunKeys* lookaheadKeys_ = nullptr;
  mutable std::size_t lookaheadFrom_ = 0;
  struct Named {
    const char* key;  // the bytes of the key named: the pass hands the same ones to saveKey
    std::uint64_t hash;
  };
  mutable std::array<Named, 2 * kLookaheadDistance> lookahead_{};
  mutable std::size_t lookaheadCount_ = 0;
  mutable std::size_t guessesTried_ = 0;
  mutable std::size_t guessesRight_ = 0;
  bool leadingHeadersTrusted_ = true;
  // Reused for every call, so that reading and writing a key allocates nothing in the common case.
  mutable std::string scratchHeader_;
  mutable std::string scratchValue_;
  std::string oldValue_;  // of the key line the last write replaced or removed
  KeyChange change_;      // what the last write did, when changes are tracked
  bool trackChanges_ = false;
};

}  // namespace ombrix
