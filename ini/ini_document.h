#pragma once

// A whole INI text held in memory for many reads and writes in a row, giving exactly the results and bytes
// that the text functions of ini_text.h give when every call loads and rewrites the text, but at a cost
// that grows with the size of the section touched, not with the size of the file.
//
// The text is kept as paragraphs: a paragraph is a run of non-empty lines followed by its empty lines (the
// first paragraph holds only the empty lines at the start of the text). A section block always lies inside
// one paragraph, every edit changes one paragraph, new sections are appended as new paragraphs, and
// paragraphs are never merged or split, so their numbers stay valid. An index maps the name in each header
// text ("[" name "]" CR, wherever it stands) to the paragraphs that hold it, so a header is found without
// searching from the start of the text.
//
// Inputs the paragraphs cannot describe (names or values holding CR or LF) or that would make the index
// grow out of proportion switch the document to the whole-text functions, with the same results.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ombrix {

class IniDocument {
 public:
  // bytes: the file as read; the load step's final CR LF is added here.
  explicit IniDocument(std::string bytes);

  std::string readKey(std::string_view section, std::string_view key) const;
  void saveKey(std::string_view section, std::string_view key, std::string_view value);

  // The loaded text (with the load step's CR LF) until the first saveKey, then the text as the write-back
  // after the last saveKey would have left it.
  std::string text() const;

  // False once the document has fallen back to the whole-text functions.
  bool indexed() const { return !wholeText_.has_value(); }

 private:
  struct Paragraph {
    std::string content;  // non-empty lines, each ending in CR LF; empty for the first paragraph
    std::size_t emptyLines = 0;
  };

  // Paragraph numbers in ascending order; most names stand in one paragraph, which needs no allocation.
  class ParagraphSet {
   public:
    void insert(std::uint32_t paragraph);
    void erase(std::uint32_t paragraph);
    bool empty() const { return count_ == 0; }
    const std::uint32_t* begin() const { return count_ <= 1 ? &single_ : many_.data(); }
    const std::uint32_t* end() const { return begin() + count_; }

   private:
    std::uint32_t single_ = 0;
    std::size_t count_ = 0;
    std::vector<std::uint32_t> many_;  // all of them, once there are two or more
  };
  struct HeaderPlace {
    std::size_t paragraph;
    std::size_t offset;  // of the "[" in the paragraph's content
  };

  void parse(std::string_view text);
  std::optional<HeaderPlace> findHeader(std::string_view section) const;
  void editSection(const HeaderPlace& place, std::string_view key, std::string_view value);
  void appendSection(std::string_view section, std::string_view key, std::string_view value);
  bool indexParagraph(std::size_t paragraph);
  void unindexParagraph(std::size_t paragraph);
  void fallBackToWholeText();
  bool isEmptyText() const { return paragraphs_.size() == 1 && paragraphs_[0].emptyLines == 0; }

  std::vector<Paragraph> paragraphs_;
  std::unordered_map<std::string, ParagraphSet> headerIndex_;  // folded name -> paragraphs holding its header
  std::optional<std::string> wholeText_;

  // Reused for every call, so that reading and writing a key allocates nothing in the common case. The
  // document is therefore not safe to use from two threads at once, not even for reading.
  mutable std::string scratchName_;
  mutable std::string lastHeaderSection_;
  mutable std::optional<HeaderPlace> lastHeader_;
  mutable std::string scratchHeader_;
  mutable std::string scratchNeedle_;
  std::string scratchLine_;
};

}  // namespace ombrix
